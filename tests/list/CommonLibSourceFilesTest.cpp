// TCommonLib's source-list operations on the window-free list, with the real
// FFmpeg media graph probing real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <tuple>

#include "../core/TempFolder.h"
#include "../core/WatchedFifo.h"
#include "Errors.h"
#include "FfmpegMediaGraph.h"
#include "ListFixtures.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"

namespace {

using list_test::MakeTone;
using list_test::ScriptedUi;

// Files made once for the whole suite.
class Sounds {
 public:
  static const Sounds& Get() {
    static const Sounds sounds;
    return sounds;
  }
  std::string Path(const std::string& name) const { return folder_.Path() + name; }

 private:
  Sounds() {
    MakeTone(Path("song.mp3"), 3.4, "libmp3lame");
    MakeTone(Path("tone.wav"), 2.0);
    MakeTone(Path("voice.ogg"), 65.0, "libvorbis");
    MakeTone(Path("short.mp3"), 0.6, "libmp3lame");
    std::filesystem::copy_file(Path("song.mp3"), Path("upper.MP3"));
    std::filesystem::copy_file(Path("song.mp3"), Path("song.mp3.txt"));
    std::filesystem::copy_file(Path("song.mp3"), Path("noextension"));
    std::ofstream(Path("broken.mp3")) << "this is no sound at all";
  }
  TempFolder folder_;
};

class SourceFilesTest : public ::testing::Test {
 protected:
  SourceFilesTest() : app_(folder_.Path()), common_(app_, sys_, ui_) {
    TCommonLib::SourceListServices services;
    services.NewMediaGraph = [this] {
      ++graphs_made_;
      return std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent);
    };
    services.ShowCodeErrorForm = [this] { ++codec_dialogs_; };
    services.SyncMarkerToSelection = [this] {
      synced_selection_ = list_.SelectedRows();
      ++syncs_;
    };
    common_.SetSourceListServices(services);
  }

  std::string Sound(const std::string& name) const { return Sounds::Get().Path(name); }
  void Add(const std::vector<std::string>& names) { common_.AddSourceFiles(list_, names); }

  TempFolder folder_;
  TAppFunc app_;
  TSysFunc sys_;
  ScriptedUi ui_;
  TCommonLib common_;
  SourceFileList list_;
  int graphs_made_ = 0;
  int codec_dialogs_ = 0;
  int syncs_ = 0;
  std::vector<int> synced_selection_;
};

TEST_F(SourceFilesTest, NewRowHoldsTheFileItsSizeAndDurationAndAWholeSegment) {
  Add({Sound("voice.ogg")});
  ASSERT_EQ(list_.RowCount(), 1);
  const std::string size = TCommonLib::FormatFileSize(
      static_cast<int64_t>(std::filesystem::file_size(Sound("voice.ogg"))));
  const SourceRow expected = {"True",     Sound("voice.ogg"), size,      "00:01:05",
                              "00:00:00", "00:01:05",         "00:01:05"};
  for (int column = 0; column < kSourceColumnCount; ++column) {
    EXPECT_EQ(list_.Cell(0, static_cast<SourceColumn>(column)), expected[column]) << column;
  }
  EXPECT_EQ(codec_dialogs_, 0);
  EXPECT_TRUE(ui_.Boxes.empty());
}

// Each new row starts with the default fades as they are when it is added;
// rows already there keep theirs.
TEST_F(SourceFilesTest, NewRowsStartWithTheDefaultFadesOfTheirMoment) {
  RowFades defaults{1.5, 2};
  TCommonLib::SourceListServices services;
  services.NewMediaGraph = [] {
    return std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent);
  };
  services.DefaultFades = [&defaults] { return defaults; };
  common_.SetSourceListServices(services);
  Add({Sound("voice.ogg")});
  defaults = RowFades{0, 4};
  Add({Sound("tone.wav")});
  ASSERT_EQ(list_.RowCount(), 2);
  EXPECT_EQ(list_.Fades(0), (RowFades{1.5, 2}));
  EXPECT_EQ(list_.Fades(1), (RowFades{0, 4}));
}

TEST_F(SourceFilesTest, OneGraphServesEveryProbeOfACall) {
  Add({Sound("song.mp3"), Sound("tone.wav"), Sound("voice.ogg")});
  EXPECT_EQ(graphs_made_, 1);
  EXPECT_EQ(list_.RowCount(), 3);
}

struct NameCase {
  const char* name;
  bool added;
  int codec_dialogs;
};

class NameTest : public SourceFilesTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(NameTest, ExtensionAndDurationDecideWhetherARowIsAdded) {
  Add({Sound(GetParam().name)});
  EXPECT_EQ(list_.RowCount(), GetParam().added ? 1 : 0);
  EXPECT_EQ(codec_dialogs_, GetParam().codec_dialogs);
  EXPECT_TRUE(ui_.Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Names, NameTest,
    ::testing::Values(NameCase{"song.mp3", true, 0}, NameCase{"upper.MP3", true, 0},
                      NameCase{"tone.wav", true, 0}, NameCase{"song.mp3.txt", false, 0},
                      NameCase{"noextension", false, 0},
                      // Shorter than a second, or no sound at all.
                      NameCase{"short.mp3", false, 1}, NameCase{"broken.mp3", false, 1},
                      NameCase{"missing.mp3", false, 1}));

TEST_F(SourceFilesTest, ExactRepeatIsSkippedButAnotherLetterCaseIsANewRow) {
  Add({Sound("song.mp3"), Sound("song.mp3")});
  Add({Sound("song.mp3")});
  EXPECT_EQ(list_.RowCount(), 1);
  // The same file under a name differing in case only (the folder's case).
  std::string other_case = Sound("song.mp3");
  other_case.replace(other_case.size() - 8, 4, "SONG");
  std::filesystem::copy_file(Sound("song.mp3"), other_case,
                             std::filesystem::copy_options::skip_existing);
  Add({other_case});
  EXPECT_EQ(list_.RowCount(), 2);
  EXPECT_EQ(codec_dialogs_, 0);
}

TEST_F(SourceFilesTest, EveryUnmeasurableFileGetsOneDialogAndTheOthersAreStillAdded) {
  Add({Sound("broken.mp3"), Sound("song.mp3"), Sound("short.mp3"), Sound("tone.wav")});
  EXPECT_EQ(codec_dialogs_, 2);
  ASSERT_EQ(list_.RowCount(), 2);
  EXPECT_EQ(list_.Cell(0, SourceColumn::FileName), Sound("song.mp3"));
  EXPECT_EQ(list_.Cell(1, SourceColumn::FileName), Sound("tone.wav"));
}

TEST_F(SourceFilesTest, FirstRowIsSelectedAndTheMarkerFollowsEvenWhenNothingWasAdded) {
  Add({});
  EXPECT_EQ(syncs_, 0);  // an empty list selects nothing
  Add({Sound("song.mp3"), Sound("tone.wav")});
  EXPECT_EQ(syncs_, 1);
  EXPECT_EQ(synced_selection_, std::vector<int>{0});
  list_.SetSelected(0, false);
  list_.SetSelected(1, true);
  Add({});  // a cancelled dialog still selects the first row
  EXPECT_EQ(syncs_, 2);
  EXPECT_EQ(synced_selection_, (std::vector<int>{0, 1}));
}

// A graph that measures every file as five seconds long, so that a file
// whose size cannot be read gets as far as the size.
class FiveSecondGraph : public MediaGraph {
 public:
  bool Active() const override { return active_; }
  void SetActive(bool active) override { active_ = active; }
  void Clear() override {}
  int RenderFile(const std::string&) override { return kRenderOk; }
  int64_t Duration() override { return 5000; }
  void Run() override {}
  void Pause() override {}
  void Stop() override {}
  GraphState State() const override { return GraphState::Stopped; }
  int64_t CurrentPosition() override { return 0; }
  void SeekTo(int64_t) override {}
  void SetOnTimer(TimerHandler) override {}
  int TimerInterval() const override { return 1000; }
  void SetTimerInterval(int) override {}

 private:
  bool active_ = false;
};

// Measures every file as five seconds long, and removes `vanishing` while it
// measures it, as if another program deleted it just then.
class VanishingGraph : public FiveSecondGraph {
 public:
  explicit VanishingGraph(std::string vanishing) : vanishing_(std::move(vanishing)) {}
  int RenderFile(const std::string& path) override {
    if (path == vanishing_) std::filesystem::remove(path);
    return kRenderOk;
  }

 private:
  std::string vanishing_;
};

TEST_F(SourceFilesTest, FileWhoseSizeCannotBeReadLeavesNoRowBehind) {
  const std::string gone = folder_.Path() + "gone.mp3";
  std::filesystem::copy_file(Sound("song.mp3"), gone);
  TCommonLib::SourceListServices services;
  services.NewMediaGraph = [gone] { return std::make_unique<VanishingGraph>(gone); };
  common_.SetSourceListServices(services);
  try {
    Add({Sound("song.mp3"), gone, Sound("tone.wav")});
    FAIL() << "no error for an unreadable size";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find(gone), std::string::npos) << error.what();
  }
  ASSERT_EQ(list_.RowCount(), 1);
  EXPECT_EQ(list_.Cell(0, SourceColumn::FileName), Sound("song.mp3"));
}

// Names of songs that are no regular files: a FIFO nobody writes to, links to
// a device that never ends, a folder. Each gets the codec-missing dialog and no
// row, without being opened (a FIFO would hold the window for good), whatever
// the media graph would say of it: with the real graph and with one that
// measures every file as five seconds long.
struct SpecialCase {
  const char* label;
  const char* name;
  std::function<void(const std::string& path)> make;  // none: a watched FIFO
};
void PrintTo(const SpecialCase& c, std::ostream* out) { *out << c.label; }

class NotARegularFileTest : public SourceFilesTest,
                            public ::testing::WithParamInterface<std::tuple<SpecialCase, bool>> {};

TEST_P(NotARegularFileTest, GetsTheCodecDialogAndNoRowWithoutBeingOpened) {
  const auto& [special, real_graph] = GetParam();
  if (!real_graph) {
    TCommonLib::SourceListServices services;
    services.NewMediaGraph = [] { return std::make_unique<FiveSecondGraph>(); };
    services.ShowCodeErrorForm = [this] { ++codec_dialogs_; };
    common_.SetSourceListServices(services);
  }
  const std::string path = folder_.Path() + special.name;
  std::unique_ptr<WatchedFifo> fifo;
  if (special.make) {
    special.make(path);
  } else {
    fifo = std::make_unique<WatchedFifo>(path);
  }

  Add({path, Sound("tone.wav")});

  EXPECT_EQ(codec_dialogs_, 1);
  ASSERT_EQ(list_.RowCount(), 1);
  EXPECT_EQ(list_.Cell(0, SourceColumn::FileName), Sound("tone.wav"));
  if (fifo) {
    EXPECT_FALSE(fifo->OpenedForReading());
    EXPECT_FALSE(fifo->OpenedForWriting());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Specials, NotARegularFileTest,
    ::testing::Combine(::testing::Values(SpecialCase{"Fifo", "x.mp3", nullptr},
                                         SpecialCase{"LinkToDevZeroMp3", "zero.mp3",
                                                     [](const std::string& path) {
                                                       std::filesystem::create_symlink("/dev/zero",
                                                                                       path);
                                                     }},
                                         SpecialCase{"LinkToDevZeroAc3", "zero.ac3",
                                                     [](const std::string& path) {
                                                       std::filesystem::create_symlink("/dev/zero",
                                                                                       path);
                                                     }},
                                         SpecialCase{"Folder", "album.mp3",
                                                     [](const std::string& path) {
                                                       std::filesystem::create_directory(path);
                                                     }}),
                       ::testing::Bool()),
    [](const auto& test) {
      return std::string(std::get<0>(test.param).label) +
             (std::get<1>(test.param) ? "RealGraph" : "FiveSecondGraph");
    });

TEST_F(SourceFilesTest, AddingWithoutAMediaServiceIsAClearError) {
  common_.SetSourceListServices({});
  EXPECT_THROW(Add({Sound("song.mp3")}), std::logic_error);
  EXPECT_EQ(list_.RowCount(), 0);
}

TEST(GetFileSize, ReadsTheSizeAndNamesTheFileItCannotRead) {
  TempFolder folder;
  const std::string file = folder.Path() + "data.bin";
  std::ofstream(file) << std::string(3000, 'x');
  EXPECT_EQ(TCommonLib::GetFileSize(file), 3000);
  try {
    TCommonLib::GetFileSize(folder.Path() + "none.bin");
    FAIL();
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find("none.bin"), std::string::npos);
  }
}

TEST(GetMediaDuration, WholeSecondsTowardZeroAndZeroOnFailure) {
  FfmpegMediaGraph graph(FfmpegMediaGraph::Output::Silent);
  const Sounds& sounds = Sounds::Get();
  EXPECT_EQ(TCommonLib::GetMediaDuration(sounds.Path("song.mp3"), graph), 3);
  EXPECT_EQ(TCommonLib::GetMediaDuration(sounds.Path("broken.mp3"), graph), 0);
  // A failed probe leaves the graph usable for the next one.
  EXPECT_EQ(TCommonLib::GetMediaDuration(sounds.Path("voice.ogg"), graph), 65);
}

struct DuplicateCase {
  std::vector<std::string> in;
  std::vector<std::string> out;
};

class RemoveDuplicatesTest : public ::testing::TestWithParam<DuplicateCase> {};

TEST_P(RemoveDuplicatesTest, KeepsFirstOccurrencesInOrder) {
  EXPECT_EQ(TCommonLib::RemoveDuplicates(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RemoveDuplicatesTest,
    ::testing::Values(DuplicateCase{{}, {}},
                      DuplicateCase{{"a", "b", "a", "c", "b"}, {"a", "b", "c"}},
                      DuplicateCase{{"/x/A.mp3", "/x/a.mp3"}, {"/x/A.mp3", "/x/a.mp3"}},
                      DuplicateCase{{"b", "b", "b"}, {"b"}}));

class PreparedDialog : public SourceFileDialog {
 public:
  std::vector<std::string> Chosen;
  std::string Folder;
  void SetInitialDir(const std::string& folder) override { Folder = folder; }
  std::vector<std::string> Execute() override { return Chosen; }
};

TEST(OpenSourceFiles, StartsInTheFolderAndDropsRepeatsOnlyWhenAsked) {
  PreparedDialog dialog;
  dialog.Chosen = {"/m/b.mp3", "/m/a.mp3", "/m/b.mp3"};
  EXPECT_EQ(TCommonLib::OpenSourceFiles(dialog, true, "/m/"),
            (std::vector<std::string>{"/m/b.mp3", "/m/a.mp3"}));
  EXPECT_EQ(dialog.Folder, "/m/");
  EXPECT_EQ(TCommonLib::OpenSourceFiles(dialog, false, "/n/").size(), 3u);
  dialog.Chosen.clear();  // cancelled
  EXPECT_TRUE(TCommonLib::OpenSourceFiles(dialog, true, "/m/").empty());
}

// ---- removing rows -------------------------------------------------------------

struct RemoveCase {
  const char* label;
  int rows;
  std::vector<int> selected;
  int focused;
  std::vector<std::string> remaining;  // file names of the rows left
  int focused_after;                   // -1: no row focused
};

void PrintTo(const RemoveCase& c, std::ostream* out) { *out << c.label; }

class RemoveSelectedTest : public ::testing::TestWithParam<RemoveCase> {};

TEST_P(RemoveSelectedTest, SelectedRowsGoAndTheRowBeforeTheFocusedOneTakesTheFocus) {
  const RemoveCase& c = GetParam();
  TempFolder folder;
  TAppFunc app(folder.Path());
  TSysFunc sys;
  ScriptedUi ui;
  TCommonLib common(app, sys, ui);
  SourceFileList list;
  for (int row = 0; row < c.rows; ++row) {
    list.AppendRow({"True", std::string(1, static_cast<char>('a' + row)), "", "", "", "", ""});
  }
  for (int row : c.selected) list.SetSelected(row, true);
  list.SetFocusedRow(c.focused);

  common.RemoveSelectedFiles(list);

  std::vector<std::string> names;
  for (int row = 0; row < list.RowCount(); ++row)
    names.push_back(list.Cell(row, SourceColumn::FileName));
  EXPECT_EQ(names, c.remaining);
  EXPECT_EQ(list.FocusedRow(), c.focused_after);
  if (c.selected.empty()) return;  // nothing happened
  if (c.focused_after >= 0) {
    EXPECT_EQ(list.SelectedRows(), std::vector<int>{c.focused_after});
  } else {
    EXPECT_TRUE(list.SelectedRows().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, RemoveSelectedTest,
    ::testing::Values(RemoveCase{"NothingSelected", 3, {}, 1, {"a", "b", "c"}, 1},
                      RemoveCase{"FocusedMiddle", 4, {2}, 2, {"a", "b", "d"}, 1},
                      RemoveCase{"FocusedFirst", 3, {0}, 0, {"b", "c"}, -1},
                      RemoveCase{"RowBeforeRemovedToo", 4, {1, 2}, 2, {"a", "d"}, -1},
                      RemoveCase{"SeveralAfterTheRowBefore", 5, {2, 4}, 4, {"a", "b", "d"}, 2},
                      RemoveCase{"NoFocus", 3, {1}, -1, {"a", "c"}, -1},
                      RemoveCase{"FocusOnUnselectedRow", 4, {0, 3}, 2, {"b", "c"}, 0},
                      RemoveCase{"All", 3, {0, 1, 2}, 1, {}, -1}),
    [](const auto& test) { return std::string(test.param.label); });

TEST(ClearFileList, DeletesEveryRow) {
  TempFolder folder;
  TAppFunc app(folder.Path());
  TSysFunc sys;
  ScriptedUi ui;
  TCommonLib common(app, sys, ui);
  SourceFileList list;
  EXPECT_TRUE(common.ClearFileList(list));
  list.AppendRow({"True", "a", "", "", "", "", ""});
  list.AppendRow({"False", "b", "", "", "", "", ""});
  list.SetSelected(1, true);
  list.SetFocusedRow(1);
  EXPECT_TRUE(common.ClearFileList(list));
  EXPECT_EQ(list.RowCount(), 0);
  EXPECT_EQ(list.FocusedRow(), -1);
}

}  // namespace
