// TAppFunc (log, program folder), TStrFunc and TFileFunc (file names, folder
// listings, free output names), on real temporary folders.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <filesystem>
#include <string>
#include <vector>

#include "Errors.h"
#include "TempFolder.h"
#include "UtilityObjects.h"

namespace fs = std::filesystem;

namespace {

// True when `text` has the length of `shape` and the same characters, where
// each "9" of the shape stands for any digit.
bool MatchesShape(const std::string& text, const std::string& shape) {
  if (text.size() != shape.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (shape[i] == '9' ? !digit : text[i] != shape[i]) return false;
  }
  return true;
}

// ---- Names ----------------------------------------------------------------------

struct LastPartCase {
  std::string text;
  char separator;
  std::string expected;
};

class GetLastPartTest : public testing::TestWithParam<LastPartCase> {};

TEST_P(GetLastPartTest, GivesTheTextAfterTheLastSeparator) {
  EXPECT_EQ(TStrFunc::GetLastPart(GetParam().text, GetParam().separator), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, GetLastPartTest,
                         testing::Values(LastPartCase{"x.y.z", '.', "z"},
                                         LastPartCase{"abc", '.', "abc"},
                                         LastPartCase{"abc.", '.', ""}, LastPartCase{"", '.', ""},
                                         LastPartCase{"/a/b/c.mp3", '/', "c.mp3"}));

struct NameCase {
  std::string file_name;
  std::string path;
  std::string title;
};

class FileNameTest : public testing::TestWithParam<NameCase> {};

TEST_P(FileNameTest, SplitsAtTheLastSlashOnly) {
  EXPECT_EQ(TFileFunc::GetFilePath(GetParam().file_name), GetParam().path);
  EXPECT_EQ(TFileFunc::GetFileTitle(GetParam().file_name), GetParam().title);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FileNameTest,
    testing::Values(NameCase{"/out/song.mp3", "/out/", "song"}, NameCase{"/out/.mp3", "/out/", ""},
                    NameCase{"/out/readme", "/out/", ""}, NameCase{"/out/a.b.mp3", "/out/", "a.b"},
                    NameCase{"/out/song.", "/out/", "song"},
                    // A "." in a folder name is not an extension.
                    NameCase{"/d.x/readme", "/d.x/", ""},
                    // ":" is an ordinary character in Linux names.
                    NameCase{"/m/C:song.mp3", "/m/", "C:song"}, NameCase{"song.mp3", "", "song"},
                    NameCase{"/", "/", ""}, NameCase{"", "", ""}));

// ---- Folder listing -------------------------------------------------------------

class FolderTest : public testing::Test {
 protected:
  void File(const std::string& name) { WriteBytes(dir_.Path() + name, "x"); }
  void Folder(const std::string& name) { fs::create_directory(dir_.Path() + name); }
  std::string Path() const { return dir_.Path(); }

  TempFolder dir_;
};

TEST_F(FolderTest, ListsFilesHiddenFoldersAndLinksButNotPlainSubfolders) {
  File("a.mp3");
  File("b.MP3");
  File("noext");
  File(".hidden");
  Folder("plain");
  Folder("plain.old");
  Folder(".cfg");
  fs::create_directory_symlink(Path() + "plain", Path() + "link");
  const std::vector<std::string> expected = {Path() + ".cfg",  Path() + ".hidden",
                                             Path() + "a.mp3", Path() + "b.MP3",
                                             Path() + "link",  Path() + "noext"};
  EXPECT_EQ(TFileFunc::GetFileList(Path(), ""), expected);
}

TEST_F(FolderTest, FiltersByTheExactExtensionOfTheName) {
  File("a.mp3");
  File("b.MP3");
  File("c.mp3.wav");
  File("mp3");
  EXPECT_EQ(TFileFunc::GetFileList(Path(), ".mp3"), std::vector<std::string>{Path() + "a.mp3"});
  EXPECT_EQ(TFileFunc::GetFileList(Path(), ".wav"), std::vector<std::string>{Path() + "c.mp3.wav"});
}

TEST_F(FolderTest, ADotInTheFolderNameIsNoExtension) {
  Folder("x.y");
  WriteBytes(Path() + "x.y/readme", "x");
  EXPECT_TRUE(TFileFunc::GetFileList(Path() + "x.y/", ".y").empty());
  EXPECT_EQ(TFileFunc::GetFileList(Path() + "x.y/", "").size(), 1u);
}

TEST_F(FolderTest, AMissingFolderGivesAnEmptyList) {
  EXPECT_TRUE(TFileFunc::GetFileList(Path() + "missing/", "").empty());
  EXPECT_TRUE(TFileFunc::GetFileList("", "").empty());
}

// ---- Free output names ----------------------------------------------------------

struct UniqueCase {
  const char* name;
  std::vector<std::string> files;
  std::vector<std::string> folders;
  std::string wanted;  // name inside the folder
  std::string expected;
};

class UniqueNameTest : public FolderTest, public testing::WithParamInterface<UniqueCase> {};

TEST_P(UniqueNameTest, PicksTheFirstFreeTitle) {
  for (const auto& f : GetParam().files) File(f);
  for (const auto& f : GetParam().folders) Folder(f);
  TFileFunc files;
  EXPECT_EQ(files.GetUniqueFileName(Path() + GetParam().wanted), Path() + GetParam().expected);
  EXPECT_EQ(files.BaseTitle, TFileFunc::GetFileTitle(GetParam().wanted));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UniqueNameTest,
    testing::Values(
        UniqueCase{"EmptyFolder", {}, {}, "song.mp3", "song.mp3"},
        UniqueCase{"OtherExtensionClashes", {"song.mp3"}, {}, "song.amr", "song_1.amr"},
        UniqueCase{"NumberFollowsTheHighestTaken",
                   {"song.mp3", "song_1.wav"},
                   {},
                   "song.amr",
                   "song_2.amr"},
        UniqueCase{"FirstGapIsTaken", {"song.mp3", "song_2.mp3"}, {}, "song.mp3", "song_1.mp3"},
        UniqueCase{
            "FreeTitleIsKeptDespiteNumberedOnes", {"song_1.mp3"}, {}, "song.mp3", "song.mp3"},
        UniqueCase{"CaseMatters", {"Song.mp3"}, {}, "song.amr", "song.amr"},
        UniqueCase{"NameWithoutExtensionHasEmptyTitle", {"song"}, {}, "song.amr", "song.amr"},
        UniqueCase{"PlainSubfolderDoesNotCount", {}, {"song.old"}, "song.amr", "song.amr"},
        UniqueCase{"HiddenSubfolderCounts", {}, {".x.old"}, ".x.amr", ".x_1.amr"},
        UniqueCase{"TenFollowsNine",
                   {"song.mp3", "song_1.mp3", "song_2.mp3", "song_3.mp3", "song_4.mp3",
                    "song_5.mp3", "song_6.mp3", "song_7.mp3", "song_8.mp3", "song_9.mp3"},
                   {},
                   "song.mp3",
                   "song_10.mp3"},
        UniqueCase{"NumberedWantedGetsOneSuffix", {"song_7.mp3"}, {}, "song_7.mp3", "song_7_1.mp3"},
        UniqueCase{"NumberedWantedCountsOn",
                   {"song_7.mp3", "song_7_1.mp3"},
                   {},
                   "song_7.mp3",
                   "song_7_2.mp3"},
        UniqueCase{"EmptyTitleInEmptyFolder", {}, {}, ".mp3", ".mp3"},
        UniqueCase{"EmptyTitleTaken", {"readme"}, {}, ".mp3", "_1.mp3"},
        UniqueCase{"BlanksQuotesAndLetters",
                   {"my \"best\" chanson \xC3\xA9t\xC3\xA9.mp3"},
                   {},
                   "my \"best\" chanson \xC3\xA9t\xC3\xA9.amr",
                   "my \"best\" chanson \xC3\xA9t\xC3\xA9_1.amr"}),
    [](const testing::TestParamInfo<UniqueCase>& test) { return std::string(test.param.name); });

TEST_F(FolderTest, AMissingFolderGivesTheWantedNameUnchanged) {
  TFileFunc files;
  EXPECT_EQ(files.GetUniqueFileName(Path() + "missing/song.mp3"), Path() + "missing/song.mp3");
}

// MakeUniqueFileName on its own, with a BaseTitle left from another search and
// a clashing title that carries no number: it must still end.
TEST_F(FolderTest, AStaleBaseTitleStillEnds) {
  File("song.mp3");
  File("song_x.mp3");
  TFileFunc files;
  files.BaseTitle = "other";
  EXPECT_EQ(files.MakeUniqueFileName(Path() + "song.mp3"), Path() + "song_1.mp3");
  EXPECT_EQ(files.MakeUniqueFileName(Path() + "song_x.mp3"), Path() + "song_x_1.mp3");
}

TEST_F(FolderTest, AHugeNumberIsCountedOnWithoutOverflow) {
  File("song_99999999999999999999.mp3");
  TFileFunc files;
  files.BaseTitle = "song";
  EXPECT_EQ(files.MakeUniqueFileName(Path() + "song_99999999999999999999.mp3"),
            Path() + "song_100000000000000000000.mp3");
}

// ---- Log ------------------------------------------------------------------------

TEST(AppFunc, GetAppPathEndsInASlash) {
  EXPECT_EQ(TAppFunc("/opt/tonbrix").GetAppPath(), "/opt/tonbrix/");
  EXPECT_EQ(TAppFunc("/opt/tonbrix/").GetAppPath(), "/opt/tonbrix/");
}

TEST(AppFunc, TheDefaultProgramFolderHoldsThisProgram) {
  const std::string folder = ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(fs::exists(folder + "UtilityObjectsTest"));
  EXPECT_EQ(TAppFunc().GetAppPath(), folder);
}

TEST(AppFunc, WriteLogCreatesThenAppendsWholeLines) {
  TempFolder app;
  TAppFunc log(app.Path());
  log.SetTimeStampFormatter([] { return std::string("09/12/24 22:41:07"); });
  log.WriteLog("Output directory /home/u/Tonbrix/");
  EXPECT_EQ(ReadBytes(app.Path() + "log.txt"),
            "Tessaly 09/12/24 22:41:07|Output directory /home/u/Tonbrix/\r\n");
  log.WriteLog("a|b|c");
  EXPECT_EQ(ReadBytes(app.Path() + "log.txt"),
            "Tessaly 09/12/24 22:41:07|Output directory /home/u/Tonbrix/\r\n"
            "Tessaly 09/12/24 22:41:07|a|b|c\r\n");
}

TEST(AppFunc, WriteLogKeepsEarlierContent) {
  TempFolder app;
  WriteBytes(app.Path() + "log.txt", "earlier line without break");
  TAppFunc(app.Path()).WriteLog("next");
  const std::string text = ReadBytes(app.Path() + "log.txt");
  EXPECT_EQ(text.rfind("earlier line without break", 0), 0u);
  EXPECT_TRUE(text.ends_with("\r\n") && text.find("|next\r\n") != std::string::npos) << text;
  EXPECT_EQ(text.find("Tessaly"), std::string("earlier line without break").size());
}

// The default stamp is strftime's %x %X under the environment's LC_TIME,
// without changing the process-wide locale.
TEST(AppFunc, TheDefaultStampUsesTheEnvironmentLocale) {
  TempFolder app;
  const char* saved = std::getenv("LC_ALL");
  const std::string saved_value = saved ? saved : "";
  setenv("LC_ALL", "C", 1);
  const std::string global_before = std::setlocale(LC_TIME, nullptr);
  TAppFunc(app.Path()).WriteLog("x|y");
  EXPECT_EQ(std::setlocale(LC_TIME, nullptr), global_before);
  if (saved) {
    setenv("LC_ALL", saved_value.c_str(), 1);
  } else {
    unsetenv("LC_ALL");
  }
  const std::string line = ReadBytes(app.Path() + "log.txt");
  EXPECT_TRUE(MatchesShape(line, "Tessaly 99/99/99 99:99:99|x|y\r\n")) << line;
}

TEST(AppFunc, WriteLogFailsWithAFileErrorNamingTheLog) {
  TempFolder app;
  const std::string missing = app.Path() + "gone/";
  try {
    TAppFunc(missing).WriteLog("lost");
    FAIL() << "no error";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(missing + "log.txt"), std::string::npos)
        << error.what();
  }
}

}  // namespace
