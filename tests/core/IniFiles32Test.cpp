// TIniFile32 on real files in a temporary folder: what is read, and the exact
// bytes that are written.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Errors.h"
#include "IniFiles32.h"
#include "TempFolder.h"
#include "WatchedFifo.h"

namespace {

using Lines = std::vector<std::string>;

// The bytes of a file made of `lines`, each followed by CR LF.
std::string CrLf(const Lines& lines) {
  std::string bytes;
  for (const auto& line : lines) bytes += line + "\r\n";
  return bytes;
}

class IniTest : public testing::Test {
 protected:
  std::string Name() const { return dir_.Path() + "UserSettings.ini"; }
  void Write(const std::string& bytes) const { WriteBytes(Name(), bytes); }
  std::string Bytes() const { return ReadBytes(Name()); }
  bool Exists() const { return std::filesystem::exists(Name()); }

  TempFolder dir_;
};

// ---- Reading lines ----------------------------------------------------------------

struct BreakCase {
  const char* name;
  std::string bytes;
  Lines lines;
};

class LineBreakTest : public IniTest, public testing::WithParamInterface<BreakCase> {};

TEST_P(LineBreakTest, SplitsAtCrLfCrAndLf) {
  Write(GetParam().bytes);
  EXPECT_EQ(TIniFile32(Name()).Lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Cases, LineBreakTest,
                         testing::Values(BreakCase{"Empty", "", {}},
                                         BreakCase{"NoFinalBreak", "a", {"a"}},
                                         BreakCase{"FinalCrLf", "a\r\n", {"a"}},
                                         BreakCase{"Mixed", "a\r\nb\rc\nd", {"a", "b", "c", "d"}},
                                         BreakCase{"LfCrIsTwoBreaks", "a\n\rb", {"a", "", "b"}},
                                         BreakCase{"EmptyLines", "\r\r\n\n", {"", "", ""}},
                                         BreakCase{"TrailingEmptyLine", "a\n\n", {"a", ""}}),
                         [](const testing::TestParamInfo<BreakCase>& test) {
                           return std::string(test.param.name);
                         });

TEST_F(IniTest, AMissingFileReadsEmptyAndTheFirstWriteCreatesIt) {
  TIniFile32 ini(Name());
  EXPECT_EQ(ini.ReadString("USRInfo", "InitDir", "dflt"), "dflt");
  EXPECT_EQ(ini.ReadInteger("USRInfo", "Count", -3), -3);
  Lines sections = {"stale"};
  ini.ReadSections(&sections);
  EXPECT_TRUE(sections.empty());
  EXPECT_FALSE(Exists());

  ini.WriteString("USRInfo", "InitDir", "/home/u/");
  EXPECT_EQ(Bytes(), "\r\n[USRInfo]\r\nInitDir=/home/u/\r\n");
  EXPECT_EQ(TIniFile32(Name()).ReadString("USRInfo", "InitDir", ""), "/home/u/");
}

TEST_F(IniTest, EveryWriteEndsEveryLineWithCrLf) {
  Write("[S]\nk=v\rx=1");
  TIniFile32(Name()).WriteString("S", "x", "2");
  EXPECT_EQ(Bytes(), "[S]\r\nk=v\r\nx=2\r\n");
}

// ---- Sections and keys ------------------------------------------------------------

struct ReadCase {
  const char* name;
  Lines file;
  std::string section;
  std::string ident;
  std::string expected;  // "<default>" when the default comes back
};

class ReadStringTest : public IniTest, public testing::WithParamInterface<ReadCase> {};

TEST_P(ReadStringTest, FindsTheFirstEntryOfTheFirstSection) {
  Write(CrLf(GetParam().file));
  EXPECT_EQ(TIniFile32(Name()).ReadString(GetParam().section, GetParam().ident, "<default>"),
            GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadStringTest,
    testing::Values(
        ReadCase{"HeaderIgnoresCase", {"[usrinfo]", "InitDir=/x/"}, "USRInfo", "InitDir", "/x/"},
        ReadCase{"KeyHonoursCase", {"[USRInfo]", "initdir=/x/"}, "USRInfo", "InitDir", "<default>"},
        ReadCase{"IndentedHeaderIsNotFound", {"  [Name]", "k=1"}, "Name", "k", "<default>"},
        ReadCase{"PaddedHeaderIsNotFound", {"[ Name ]", "k=1"}, "Name", "k", "<default>"},
        ReadCase{"ValueIsTrimmed", {"[S]", "Key =  some value "}, "S", "Key", "some value"},
        ReadCase{"EmptyValueGivesDefault", {"[S]", "Key="}, "S", "Key", "<default>"},
        ReadCase{"OnlyTheFirstKeyCounts", {"[S]", "Key=", "Key=x"}, "S", "Key", "<default>"},
        ReadCase{"ValueKeepsLaterEquals", {"[S]", "k=a=b"}, "S", "k", "a=b"},
        ReadCase{"SemicolonIsPartOfTheKey", {"[S]", ";x=1"}, "S", ";x", "1"},
        ReadCase{"CommentStyleLineHidesNothing", {"[S]", ";x=1"}, "S", "x", "<default>"},
        ReadCase{"NextHeaderEndsTheSection", {"[A]", "[B]", "k=1"}, "A", "k", "<default>"},
        ReadCase{
            "IndentedHeaderStillEndsTheSection", {"[A]", "  [B]", "k=1"}, "A", "k", "<default>"},
        ReadCase{"BlankLineDoesNotEndTheSection", {"[A]", "   ", "k=1"}, "A", "k", "1"},
        ReadCase{"LinesBeforeTheFirstHeaderBelongNowhere", {"k=1", "[A]"}, "A", "k", "<default>"},
        ReadCase{"FirstMatchingSectionWins", {"[A]", "k=1", "[a]", "k=2"}, "a", "k", "1"},
        ReadCase{"EmptyIdentGivesDefault", {"[A]", "novalue", "=x"}, "A", "", "<default>"},
        ReadCase{"UnicodeIsComparedExactly",
                 {"[\xC3\x89t\xC3\xA9]", "k=1"},
                 "\xC3\xA9t\xC3\xA9",
                 "k",
                 "<default>"}),
    [](const testing::TestParamInfo<ReadCase>& test) { return std::string(test.param.name); });

TEST_F(IniTest, ReadSectionsListsEveryHeaderTrimmed) {
  Write(CrLf({"k=0", "[A]", "a=1", "[ Name ]", "  [B]  ", "[A]", "[]", "   "}));
  Lines sections;
  TIniFile32(Name()).ReadSections(&sections);
  EXPECT_EQ(sections, (Lines{"A", "Name", "B", "A", ""}));
}

TEST_F(IniTest, ReadSectionsNeedsAList) {
  TIniFile32 ini(Name());
  try {
    ini.ReadSections(nullptr);
    FAIL();
  } catch (const std::invalid_argument& error) {
    EXPECT_STREQ(error.what(), "Param Strings must be assigned");
  }
}

struct IntegerCase {
  std::string value;
  int32_t expected;
};

class ReadIntegerTest : public IniTest, public testing::WithParamInterface<IntegerCase> {};

TEST_P(ReadIntegerTest, ReadsDecimalAndHex) {
  Write(CrLf({"[S]", "k=" + GetParam().value}));
  EXPECT_EQ(TIniFile32(Name()).ReadInteger("S", "k", 777), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadIntegerTest,
    testing::Values(IntegerCase{"0x1F", 31}, IntegerCase{"0X1F", 31}, IntegerCase{"$1F", 31},
                    IntegerCase{"$1f", 31}, IntegerCase{"-5", -5}, IntegerCase{"+7", 7},
                    IntegerCase{" 12 ", 12}, IntegerCase{"-$1F", -31},
                    IntegerCase{"2147483647", 2147483647},
                    IntegerCase{"-2147483648", -2147483647 - 1},
                    IntegerCase{"$7FFFFFFF", 2147483647}, IntegerCase{"0x", 777},
                    IntegerCase{"12abc", 777}, IntegerCase{"", 777}, IntegerCase{"$", 777},
                    IntegerCase{"--5", 777}, IntegerCase{"0x-5", 777},
                    IntegerCase{"2147483648", 777}, IntegerCase{"$80000000", 777},
                    IntegerCase{"1.5", 777}, IntegerCase{"99999999999999999999999", 777}));

// ---- Writing ----------------------------------------------------------------------

struct WriteCase {
  const char* name;
  Lines before;
  std::string section;
  std::string ident;
  std::string value;
  Lines after;
};

class WriteStringTest : public IniTest, public testing::WithParamInterface<WriteCase> {};

TEST_P(WriteStringTest, WritesTheWholeFileBack) {
  if (!GetParam().before.empty()) Write(CrLf(GetParam().before));
  TIniFile32 ini(Name());
  ini.WriteString(GetParam().section, GetParam().ident, GetParam().value);
  EXPECT_EQ(ini.Lines, GetParam().after);
  EXPECT_EQ(Bytes(), CrLf(GetParam().after));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteStringTest,
    testing::Values(
        WriteCase{"InsertBeforeTheNextHeaderAfterEmptyLines",
                  {"", "[A]", "a=1", "", "[B]", "b=2"},
                  "A",
                  "k",
                  "3",
                  {"", "[A]", "a=1", "", "k=3", "[B]", "b=2"}},
        WriteCase{"AppendAtTheEnd", {"[A]", "a=1"}, "A", "k", "3", {"[A]", "a=1", "k=3"}},
        WriteCase{"ReplaceDropsTheOldSpacing",
                  {"[S]", "  Key = old", "x=1"},
                  "S",
                  "Key",
                  "new",
                  {"[S]", "Key=new", "x=1"}},
        WriteCase{"NewSectionStartsWithAnEmptyLine",
                  {"[A]", "a=1"},
                  "B",
                  "b",
                  "2",
                  {"[A]", "a=1", "", "[B]", "b=2"}},
        WriteCase{"PaddedHeaderGetsASecondSection",
                  {"[ Name ]", "k=1"},
                  "Name",
                  "k",
                  "2",
                  {"[ Name ]", "k=1", "", "[Name]", "k=2"}},
        WriteCase{"EmptyIdentOnAMissingSectionAddsTheHeaderOnly", {}, "S", "", "x", {"", "[S]"}},
        WriteCase{"EmptyIdentOnAnExistingSectionChangesNothing",
                  {"[S]", "novalue", "k=1"},
                  "S",
                  "",
                  "x",
                  {"[S]", "novalue", "k=1"}},
        WriteCase{"BlankAndOtherLinesStayInPlace",
                  {"[A]", "   ", "no equals here", "a=1"},
                  "A",
                  "b",
                  "2",
                  {"[A]", "   ", "no equals here", "a=1", "b=2"}},
        WriteCase{"HeaderIsFoundIgnoringCase", {"[a]", "k=1"}, "A", "k", "2", {"[a]", "k=2"}}),
    [](const testing::TestParamInfo<WriteCase>& test) { return std::string(test.param.name); });

TEST_F(IniTest, WriteIntegerWritesDecimal) {
  TIniFile32 ini(Name());
  ini.WriteInteger("S", "n", -42);
  EXPECT_EQ(Bytes(), CrLf({"", "[S]", "n=-42"}));
  EXPECT_EQ(TIniFile32(Name()).ReadInteger("S", "n", 0), -42);
}

TEST_F(IniTest, WriteStringSavesAlsoWhenNothingChanged) {
  Write("[S]\nk=1");  // LF only, no final break
  TIniFile32(Name()).WriteString("S", "", "ignored");
  EXPECT_EQ(Bytes(), "[S]\r\nk=1\r\n");
}

struct EraseCase {
  const char* name;
  Lines before;
  std::string section;
  Lines after;
};

class EraseSectionTest : public IniTest, public testing::WithParamInterface<EraseCase> {};

TEST_P(EraseSectionTest, RemovesTheSectionUpToTheNextHeader) {
  Write(CrLf(GetParam().before));
  TIniFile32 ini(Name());
  ini.EraseSection(GetParam().section);
  EXPECT_EQ(ini.Lines, GetParam().after);
  EXPECT_EQ(Bytes(), CrLf(GetParam().after));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EraseSectionTest,
    testing::Values(EraseCase{"LeavesTwoEmptyLines", {"", "[A]", "A=1"}, "A", {"", ""}},
                    EraseCase{"FirstLineHeaderInsertsNoEmptyLine",
                              {"[A]", "a=1", "", "[B]", "b=2"},
                              "A",
                              {"[B]", "b=2"}},
                    EraseCase{"MiddleSection",
                              {"[A]", "a=1", "[B]", "b=2", "junk", "", "[C]", "c=3"},
                              "b",
                              {"[A]", "a=1", "", "[C]", "c=3"}},
                    EraseCase{
                        "OnlyTheFirstOfTwo", {"[A]", "a=1", "[A]", "a=2"}, "A", {"[A]", "a=2"}}),
    [](const testing::TestParamInfo<EraseCase>& test) { return std::string(test.param.name); });

TEST_F(IniTest, ErasingAMissingSectionWritesNothing) {
  Write("[A]\na=1\n");  // not in the written form, so a rewrite would show
  TIniFile32(Name()).EraseSection("B");
  EXPECT_EQ(Bytes(), "[A]\na=1\n");
  std::filesystem::remove(Name());
  TIniFile32(Name()).EraseSection("B");
  EXPECT_FALSE(Exists());
}

// ---- Bytes that are not text, and big files ---------------------------------------

TEST_F(IniTest, BytesThatAreNotTextAreKeptUnchanged) {
  std::string odd;
  for (int c = 0; c < 256; ++c) {
    if (c != '\r' && c != '\n') odd += static_cast<char>(c);
  }
  const std::string invalid_utf8 = "\xFF\xFE\xC3(\x80";
  Write("[S]\r\n" + odd + "\r\nk=" + invalid_utf8 + "\r\n[" + invalid_utf8 + "]\r\nz=\xE9\r\n");
  TIniFile32 ini(Name());
  EXPECT_EQ(ini.ReadString("S", "k", ""), invalid_utf8);
  EXPECT_EQ(ini.ReadString(invalid_utf8, "z", ""), "\xE9");
  ini.WriteString("T", "v", invalid_utf8);
  EXPECT_EQ(Bytes(), "[S]\r\n" + odd + "\r\nk=" + invalid_utf8 + "\r\n[" + invalid_utf8 +
                         "]\r\nz=\xE9\r\n\r\n[T]\r\nv=" + invalid_utf8 + "\r\n");
}

TEST_F(IniTest, ALargeFileWithALongLineIsReadAndWritten) {
  std::string bytes = "[S]\r\n";
  for (int i = 0; i < 20000; ++i)
    bytes += "key" + std::to_string(i) + "=" + std::to_string(i) + "\n";
  const std::string long_value(4 * 1024 * 1024, 'v');
  bytes += "long=" + long_value + "\n[T]\nend=1";
  Write(bytes);
  TIniFile32 ini(Name());
  EXPECT_EQ(ini.Lines.size(), 20004u);
  EXPECT_EQ(ini.ReadString("S", "key19999", ""), "19999");
  EXPECT_EQ(ini.ReadString("S", "long", "").size(), long_value.size());
  ini.WriteString("T", "end", "2");
  EXPECT_EQ(TIniFile32(Name()).ReadString("T", "end", ""), "2");
}

TEST_F(IniTest, AFileBeyondTheSizeLimitIsRefusedWithAFileError) {
  Write("[S]\r\nk=1\r\n");
  ASSERT_EQ(::truncate(Name().c_str(), TIniFile32::kMaxFileSize + 1), 0);  // sparse
  try {
    TIniFile32 ini(Name());
    FAIL() << "no error";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(Name()), std::string::npos) << error.what();
  }
}

// ---- Failures ---------------------------------------------------------------------

struct WriteFailureCase {
  const char* name;
  std::string relative;  // inside the temporary folder
  std::string prepare;   // "file": make "blocker" a regular file first
};

class WriteFailureTest : public IniTest, public testing::WithParamInterface<WriteFailureCase> {};

TEST_P(WriteFailureTest, ThrowsAFileErrorNamingTheFileAndKeepsTheChangeInLines) {
  if (GetParam().prepare == "file") WriteBytes(dir_.Path() + "blocker", "x");
  const std::string name = dir_.Path() + GetParam().relative;
  TIniFile32 ini(name);
  try {
    ini.WriteString("USRInfo", "InitDir", "/x/");
    FAIL() << "no error";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
  }
  EXPECT_EQ(ini.Lines, (Lines{"", "[USRInfo]", "InitDir=/x/"}));
  EXPECT_EQ(ini.ReadString("USRInfo", "InitDir", ""), "/x/");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WriteFailureTest,
    testing::Values(WriteFailureCase{"MissingConfigFolder", "Config/UserSettings.ini", ""},
                    WriteFailureCase{"FolderIsAFile", "blocker/UserSettings.ini", "file"}),
    [](const testing::TestParamInfo<WriteFailureCase>& test) {
      return std::string(test.param.name);
    });

TEST_F(IniTest, AReadOnlyFileIsNotOverwritten) {
  Write(CrLf({"[S]", "k=1"}));
  ASSERT_EQ(::chmod(Name().c_str(), 0444), 0);
  if (::access(Name().c_str(), W_OK) == 0) {
    GTEST_SKIP() << "running with the right to write any file (root): no read-only file here";
  }
  TIniFile32 ini(Name());
  EXPECT_THROW(ini.WriteString("S", "k", "2"), FileError);
  EXPECT_EQ(ini.ReadString("S", "k", ""), "2");
  EXPECT_EQ(Bytes(), CrLf({"[S]", "k=1"}));
}

// ---- Names that are not regular files --------------------------------------------

// Something other than a regular file under the file's name: a FIFO that
// nobody writes to, a device that never ends or swallows everything, a folder.
// Reading must neither wait nor run on: it reads as a missing file. Writing
// is refused with a FileError naming the file, and the thing stays as it was.
struct SpecialCase {
  const char* name;
  std::function<void(const std::string& path)> make;  // not used for the FIFO
};
void PrintTo(const SpecialCase& c, std::ostream* out) { *out << c.name; }

class SpecialFileTest : public IniTest, public testing::WithParamInterface<SpecialCase> {};

TEST_P(SpecialFileTest, ReadsAsMissingAndIsNeverWritten) {
  std::unique_ptr<WatchedFifo> fifo;
  if (GetParam().make) {
    GetParam().make(Name());
  } else {
    fifo = std::make_unique<WatchedFifo>(Name());
  }
  struct stat before {};
  ASSERT_EQ(::lstat(Name().c_str(), &before), 0);

  TIniFile32 ini(Name());
  EXPECT_TRUE(ini.Lines.empty());
  EXPECT_EQ(ini.ReadString("USRInfo", "OutDir", "default"), "default");
  try {
    ini.WriteString("USRInfo", "OutDir", "/x");
    FAIL() << "no error";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(Name()), std::string::npos) << error.what();
  }
  EXPECT_EQ(ini.ReadString("USRInfo", "OutDir", ""), "/x");  // kept in Lines

  struct stat after {};
  ASSERT_EQ(::lstat(Name().c_str(), &after), 0);
  EXPECT_EQ(after.st_mode, before.st_mode);
  EXPECT_EQ(after.st_ino, before.st_ino);
  if (fifo) {
    EXPECT_FALSE(fifo->OpenedForReading());
    EXPECT_FALSE(fifo->OpenedForWriting());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SpecialFileTest,
    testing::Values(SpecialCase{"FifoWithoutWriter", nullptr},
                    SpecialCase{"LinkToDevZero",
                                [](const std::string& path) {
                                  std::filesystem::create_symlink("/dev/zero", path);
                                }},
                    SpecialCase{"LinkToDevNull",
                                [](const std::string& path) {
                                  std::filesystem::create_symlink("/dev/null", path);
                                }},
                    SpecialCase{
                        "Folder",
                        [](const std::string& path) { std::filesystem::create_directory(path); }}),
    [](const testing::TestParamInfo<SpecialCase>& test) { return std::string(test.param.name); });

TEST_F(IniTest, ALinkToARegularFileIsReadAndWrittenThrough) {
  const std::string target = dir_.Path() + "real.ini";
  WriteBytes(target, CrLf({"[S]", "k=1"}));
  std::filesystem::create_symlink(target, Name());
  TIniFile32 ini(Name());
  EXPECT_EQ(ini.ReadString("S", "k", ""), "1");
  ini.WriteString("S", "k", "2");
  EXPECT_TRUE(std::filesystem::is_symlink(Name()));
  EXPECT_EQ(ReadBytes(target), CrLf({"[S]", "k=2"}));
}

}  // namespace
