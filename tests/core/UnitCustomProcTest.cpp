// The engine command line: segment look-ups, the output folder, VideoFile.avs,
// the line shapes and the argument list, on a real temporary program folder
// and output folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "Errors.h"
#include "TempFolder.h"
#include "UnitCustomProc.h"

namespace fs = std::filesystem;

namespace {

using Args = std::vector<std::string>;

// The builder never talks to the person in front of the screen.
class NoUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string& text, MessageIcon, MessageButtons) override {
    ADD_FAILURE() << "message box: " << text;
    return IDOK;
  }
  bool BrowseForFolder(const std::string&, const std::string&, std::string&) override {
    ADD_FAILURE() << "folder browser";
    return false;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    ADD_FAILURE() << "input box";
    return std::nullopt;
  }
  void ProcessMessages() override {}
  void Pause(int) override {}
};

const char kStamp[] = "09/12/24 22:41:07";

class CommandLineTest : public testing::Test {
 protected:
  CommandLineTest()
      : app_dir_(root_.Path() + "Conv/"),
        out_(root_.Path() + "Tonbrix"),
        app_((fs::create_directory(app_dir_), app_dir_)),
        common_(app_, sys_, ui_),
        inputs_(ConversionInputsData::WithDefaults()),
        proc_(common_, app_, files_, inputs_) {
    app_.SetTimeStampFormatter([] { return std::string(kStamp); });
    inputs_.OutputFolder = out_;
  }

  void Row(const std::string& file, const std::string& start, const std::string& end) {
    inputs_.Rows.push_back({"True", file, "1 MB", "00:03:00", start, end, ""});
  }
  void Select(OptionListId id, const std::string& item) {
    OptionList& list = inputs_.List(id);
    const auto at = std::find(list.Items.begin(), list.Items.end(), item);
    ASSERT_NE(at, list.Items.end()) << item;
    list.ItemIndex = static_cast<int>(at - list.Items.begin());
  }
  std::string Log() const { return ReadBytes(app_dir_ + "log.txt"); }
  static std::string LogLine(const std::string& message) {
    return std::string("Tessaly ") + kStamp + "|" + message + "\r\n";
  }

  TempFolder root_;
  std::string app_dir_;
  std::string out_;  // the folder box text, without the final "/"
  TAppFunc app_;
  TSysFunc sys_;
  NoUserInterface ui_;
  TCommonLib common_;
  TFileFunc files_;
  ConversionInputsData inputs_;
  TCustomProc proc_;
};

// ---- The worked examples ----------------------------------------------------------

TEST_F(CommandLineTest, Mp3WorkedExample) {
  const std::string source = "/home/user/Music/song.mp3";
  Row(source, "00:00:30", "00:01:00");
  Select(OptionListId::AudioBitrate, "128");
  Select(OptionListId::AudioVolumeGain, "100");
  Select(OptionListId::AudioChannels, "2 channels, Stereo");
  Select(OptionListId::AudioSample, "44100");

  const std::string line = proc_.BuildCommandLine(source);

  const std::string engine = app_dir_ + "evc.exe";
  const std::string output = out_ + "/song.mp3";
  EXPECT_EQ(line, engine +
                      " -y -i \"/home/user/Music/song.mp3\" -acodec mp3 -vn -ab 128 -vol 100 -ac 2"
                      " -ar 44100 -ss 00:00:30 -t 30 \"" +
                      output + "\"");
  EXPECT_EQ(proc_.CommandLine, line);
  EXPECT_EQ(proc_.LastCommand.Line, line);
  EXPECT_EQ(
      proc_.LastCommand.Arguments,
      (Args{engine, "-y",  "-i", source, "-acodec", "mp3", "-vn",      "-ab", "128", "-vol",
            "100",  "-ac", "2",  "-ar",  "44100",   "-ss", "00:00:30", "-t",  "30",  output}));
  EXPECT_EQ(proc_.StartTime, "00:00:30");
  EXPECT_EQ(proc_.Duration, "30");

  const TConvertParameterStruct& p = common_.ConvertParameter;
  EXPECT_EQ(p.ConverterPath, engine);
  EXPECT_EQ(p.SourceFile, source);
  EXPECT_EQ(p.CodecOption, " -acodec mp3 -vn");
  EXPECT_EQ(p.VideoBitrate, " -b 128");
  EXPECT_EQ(p.VideoSize, " -s 176x144");
  EXPECT_EQ(p.FrameRate, " -r 15");
  EXPECT_EQ(p.AspectRatio, " -aspect 4:3");
  EXPECT_EQ(p.Reserved, "");
  EXPECT_EQ(p.AudioBitrate, " -ab 128");
  EXPECT_EQ(p.AudioVolume, " -vol 100");
  EXPECT_EQ(p.AudioChannels, " -ac 2");
  EXPECT_EQ(p.AudioSampleRate, " -ar 44100");
  EXPECT_EQ(p.FormatOption, "");
  EXPECT_EQ(p.SegmentOption, " -ss 00:00:30 -t 30");
  EXPECT_EQ(p.OutputFolder, out_ + "/");
  EXPECT_EQ(p.FileTitle, "song");
  EXPECT_EQ(p.OutputExtension, ".mp3");

  EXPECT_TRUE(fs::is_directory(out_));
  EXPECT_EQ(Log(), LogLine("Output directory " + out_ + "/"));
  EXPECT_EQ(ReadBytes(app_dir_ + "VideoFile.avs"),
            "DirectShowSource(\"/home/user/Music/song.mp3\", fps=29.9700898503294, "
            "convertfps=true)\r\n");
}

TEST_F(CommandLineTest, AmrWorkedExample) {
  const std::string source = "/home/user/Music/song.mp3";
  Row(source, "00:00:30", "00:01:00");
  inputs_.OutputType = 1;
  Select(OptionListId::VideoSize, "176x144");
  Select(OptionListId::VideoBitrate, "128");
  Select(OptionListId::AudioBitrate, "16");
  Select(OptionListId::AudioVolumeGain, "100");

  EXPECT_EQ(proc_.BuildCommandLine(source),
            app_dir_ +
                "evc.exe -y -i \"/home/user/Music/song.mp3\" -acodec amr_nb -s 176x144 -b 128"
                " -ab 16 -vol 100 -ac 1 -ar 8000 -ss 00:00:30 -t 30 \"" +
                out_ + "/song.amr\"");
  EXPECT_EQ(proc_.LastCommand.Arguments, (Args{app_dir_ + "evc.exe",
                                               "-y",
                                               "-i",
                                               source,
                                               "-acodec",
                                               "amr_nb",
                                               "-s",
                                               "176x144",
                                               "-b",
                                               "128",
                                               "-ab",
                                               "16",
                                               "-vol",
                                               "100",
                                               "-ac",
                                               "1",
                                               "-ar",
                                               "8000",
                                               "-ss",
                                               "00:00:30",
                                               "-t",
                                               "30",
                                               out_ + "/song.amr"}));
}

// ---- Every output type with the default option selections -------------------------

struct TypeCase {
  int type;
  std::string middle;  // between the quoted source and the quoted output
  std::string extension;
};

class OutputTypeTest : public CommandLineTest, public testing::WithParamInterface<TypeCase> {};

TEST_P(OutputTypeTest, TakesItsShapeCodecAndExtension) {
  Row("/m/a.wav", "00:00:00", "00:00:10");
  inputs_.OutputType = GetParam().type;
  EXPECT_EQ(proc_.BuildCommandLine("/m/a.wav"), app_dir_ + "evc.exe -y -i \"/m/a.wav\"" +
                                                    GetParam().middle + " \"" + out_ + "/a" +
                                                    GetParam().extension + "\"");
  EXPECT_EQ(common_.ConvertParameter.OutputExtension, GetParam().extension);
}

INSTANTIATE_TEST_SUITE_P(
    Types, OutputTypeTest,
    testing::Values(
        TypeCase{0, " -acodec mp3 -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 10", ".mp3"},
        TypeCase{1,
                 " -acodec amr_nb -s 176x144 -b 128 -ab 48 -vol 200 -ac 1 -ar 8000"
                 " -ss 00:00:00 -t 10",
                 ".amr"},
        TypeCase{2, " -acodec aac -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 10", ".aac"},
        TypeCase{3, " -acodec ac3 -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 10", ".ac3"},
        TypeCase{4, " -acodec aac -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 10", ".m4a"},
        TypeCase{5, " -acodec vorbis -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 10",
                 ".ogg"},
        TypeCase{6, " -acodec pcm_s16le -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:00 -t 10",
                 ".wav"},
        // No output type selected: every per-type fragment falls back, and the
        // fallback codec option takes the video shape.
        TypeCase{-1,
                 " -vcodec xvid -acodec mp3 -b 128 -s 176x144 -r 15 -aspect 4:3 -ab 48 -vol 200"
                 " -ac 2 -ar 44100 -ss 00:00:00 -t 10",
                 ".avi"}));

// ---- Line shapes, straight from the pieces ----------------------------------------

TConvertParameterStruct Pieces(const std::string& codec, const std::string& extension) {
  TConvertParameterStruct p;
  p.ConverterPath = "/opt/t/evc.exe";
  p.SourceFile = "/m/s.mp3";
  p.CodecOption = codec;
  p.VideoBitrate = " -b 128";
  p.VideoSize = " -s 176x144";
  p.FrameRate = " -r 15";
  p.AspectRatio = " -aspect 4:3";
  p.AudioBitrate = " -ab 16";
  p.AudioVolume = " -vol 100";
  p.AudioChannels = " -ac 2";
  p.AudioSampleRate = " -ar 44100";
  p.FormatOption = " -f 3gp";
  p.SegmentOption = " -ss 00:00:01 -t 5";
  p.OutputExtension = extension;
  return p;
}

struct ShapeCase {
  const char* name;
  std::string codec;
  std::string extension;
  std::string middle;  // empty: no line
};

class LineShapeTest : public testing::TestWithParam<ShapeCase> {};

TEST_P(LineShapeTest, JoinsThePiecesOfTheShape) {
  int asked = 0;
  const auto command =
      TCustomProc::AssembleCommandLine(Pieces(GetParam().codec, GetParam().extension), [&] {
        ++asked;
        return std::string("/o/s") + GetParam().extension;
      });
  if (GetParam().middle.empty()) {
    EXPECT_FALSE(command.has_value());
    EXPECT_EQ(asked, 0);
    return;
  }
  ASSERT_TRUE(command.has_value());
  EXPECT_EQ(command->Line, "/opt/t/evc.exe -y -i \"/m/s.mp3\"" + GetParam().middle + " \"/o/s" +
                               GetParam().extension + "\"");
  EXPECT_EQ(asked, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, LineShapeTest,
    testing::Values(
        ShapeCase{"Video", " -vcodec xvid -acodec mp3", ".avi",
                  " -vcodec xvid -acodec mp3 -b 128 -s 176x144 -r 15 -aspect 4:3 -ab 16 -vol 100"
                  " -ac 2 -ar 44100 -f 3gp -ss 00:00:01 -t 5"},
        ShapeCase{"Target", " -target vcd", ".mpg", " -target vcd -ss 00:00:01 -t 5"},
        ShapeCase{"NarrowBand3gp", " -acodec amr_nb", ".3gp",
                  " -acodec amr_nb -s 176x144 -b 128 -ab 16 -vol 100 -ac 1 -ar 8000 -f 3gp"
                  " -ss 00:00:01 -t 5"},
        ShapeCase{"NarrowBand3g2", " -acodec amr_nb", ".3g2",
                  " -acodec amr_nb -s 176x144 -b 128 -ab 16 -vol 100 -ac 1 -ar 8000 -f 3gp"
                  " -ss 00:00:01 -t 5"},
        ShapeCase{"ExtensionComparedWithCase", " -acodec amr_nb", ".AMR",
                  " -acodec amr_nb -ab 16 -vol 100 -ac 2 -ar 44100 -f 3gp -ss 00:00:01 -t 5"},
        ShapeCase{"KeyIsTrimmed", "\t -acodec mp3  ", ".mp3",
                  "\t -acodec mp3   -ab 16 -vol 100 -ac 2 -ar 44100 -f 3gp -ss 00:00:01 -t 5"},
        ShapeCase{"NoneFails", " -none", ".mp3", ""},
        ShapeCase{"UnknownFails", " -codec mp3", ".mp3", ""},
        ShapeCase{"EmptyFails", "", ".mp3", ""}),
    [](const testing::TestParamInfo<ShapeCase>& test) { return std::string(test.param.name); });

// ---- Segment look-ups ---------------------------------------------------------------

struct SegmentCase {
  const char* name;
  std::vector<std::array<std::string, 3>> rows;  // file, start, end
  std::string source;
  std::string start;
  std::string duration;
  int64_t seconds;
};

class SegmentTest : public CommandLineTest, public testing::WithParamInterface<SegmentCase> {};

TEST_P(SegmentTest, ReadsTheRowOfTheFile) {
  for (const auto& r : GetParam().rows) Row(r[0], r[1], r[2]);
  EXPECT_EQ(proc_.GetSegmentStart(GetParam().source), GetParam().start);
  EXPECT_EQ(proc_.GetSegmentDuration(GetParam().source), GetParam().duration);
  EXPECT_EQ(proc_.GetSegmentSeconds(GetParam().source), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SegmentTest,
    testing::Values(
        SegmentCase{"NoRows", {}, "/m/a.mp3", "", "", 0},
        SegmentCase{"OtherFile", {{"/m/b.mp3", "00:00:01", "00:00:02"}}, "/m/a.mp3", "", "", 0},
        SegmentCase{
            "OneRow", {{"/m/a.mp3", "00:00:30", "00:01:00"}}, "/m/a.mp3", "00:00:30", "30", 30},
        SegmentCase{"LettersAToZIgnoreCase",
                    {{"/M/SONG.mp3", "00:00:00", "01:00:00"}},
                    "/m/song.MP3",
                    "00:00:00",
                    "3600",
                    3600},
        SegmentCase{"OtherLettersMustMatch",
                    {{"/m/\xC3\x89t\xC3\xA9.mp3", "00:00:00", "00:00:05"}},
                    "/m/\xC3\xA9t\xC3\xA9.mp3",
                    "",
                    "",
                    0},
        SegmentCase{"LastRowWins",
                    {{"/m/a.mp3", "00:00:10", "00:00:20"}, {"/m/a.mp3", "00:01:00", "00:01:30"}},
                    "/m/a.mp3",
                    "00:01:00",
                    "30",
                    30},
        SegmentCase{"EndBeforeStartIsNegative",
                    {{"/m/a.mp3", "00:00:30", "00:00:10"}},
                    "/m/a.mp3",
                    "00:00:30",
                    "-20",
                    -20},
        SegmentCase{
            "EmptyStartCountsAsZero", {{"/m/a.mp3", "", "00:00:40"}}, "/m/a.mp3", "", "40", 40},
        SegmentCase{"MalformedTimeKeepsTheEarlierRowsValue",
                    {{"/m/a.mp3", "00:00:10", "00:00:20"}, {"/m/a.mp3", "bad", "00:00:50"}},
                    "/m/a.mp3",
                    "bad",
                    "40",
                    40},
        SegmentCase{"HoursBeyondTwoDigits",
                    {{"/m/a.mp3", "00:00:00", "100:00:00"}},
                    "/m/a.mp3",
                    "00:00:00",
                    "360000",
                    360000}),
    [](const testing::TestParamInfo<SegmentCase>& test) { return std::string(test.param.name); });

TEST_F(CommandLineTest, ATimePartThatIsNoNumberEndsTheBuild) {
  Row("/m/a.mp3", "00:xx:00", "00:01:00");
  EXPECT_THROW(proc_.GetSegmentSeconds("/m/a.mp3"), ConversionError);
  try {
    proc_.BuildCommandLine("/m/a.mp3");
    FAIL() << "no error";
  } catch (const ConversionError& error) {
    EXPECT_NE(std::string(error.what()).find("xx"), std::string::npos) << error.what();
  }
  EXPECT_FALSE(fs::exists(app_dir_ + "VideoFile.avs"));
}

// The custom profile is applied once per matching row, before the option
// lists are read.
TEST_F(CommandLineTest, TheCustomProfileIsAppliedBeforeTheOptionsAreRead) {
  Row("/m/a.mp3", "00:00:00", "00:00:10");
  Row("/m/other.mp3", "00:00:00", "00:00:10");
  Row("/M/A.mp3", "00:00:05", "00:00:10");
  int calls = 0;
  inputs_.CustomProfile = [&calls](ConversionInputsData& data) {
    ++calls;
    data.List(OptionListId::AudioBitrate).ItemIndex = 8;  // "224"
  };
  const std::string line = proc_.BuildCommandLine("/m/a.mp3");
  EXPECT_EQ(calls, 2);
  EXPECT_NE(line.find(" -ab 224 "), std::string::npos) << line;
  EXPECT_NE(line.find(" -ss 00:00:05 -t 5 "), std::string::npos) << line;
}

// ---- Edge cases of the line ---------------------------------------------------------

TEST_F(CommandLineTest, NoVolumeGivesTwoBlanksAndNoEmptyArgument) {
  Row("/m/a.mp3", "00:00:00", "00:00:10");
  inputs_.List(OptionListId::AudioVolumeGain).ItemIndex = -1;
  const std::string line = proc_.BuildCommandLine("/m/a.mp3");
  EXPECT_NE(line.find(" -ab 48  -ac 2 "), std::string::npos) << line;
  EXPECT_EQ(common_.ConvertParameter.AudioVolume, " ");
  const Args& args = proc_.LastCommand.Arguments;
  EXPECT_EQ(std::count(args.begin(), args.end(), ""), 0);
  EXPECT_EQ(std::count(args.begin(), args.end(), "-vol"), 0);
}

TEST_F(CommandLineTest, AnEmptyStartCellConvertsTheWholeFile) {
  Row("/m/a.mp3", "", "00:00:40");
  const std::string line = proc_.BuildCommandLine("/m/a.mp3");
  EXPECT_EQ(line.find("-ss"), std::string::npos) << line;
  EXPECT_EQ(line.find("-t "), std::string::npos) << line;
  EXPECT_EQ(common_.ConvertParameter.SegmentOption, "");
}

TEST_F(CommandLineTest, AFileNotInTheListGivesNoSegment) {
  const std::string line = proc_.BuildCommandLine("/m/unlisted.mp3");
  EXPECT_EQ(line.find("-ss"), std::string::npos) << line;
  EXPECT_EQ(proc_.StartTime, "");
  EXPECT_EQ(proc_.Duration, "");
}

TEST_F(CommandLineTest, ANegativeLengthIsPassedOn) {
  Row("/m/a.mp3", "00:00:30", "00:00:10");
  EXPECT_NE(proc_.BuildCommandLine("/m/a.mp3").find(" -ss 00:00:30 -t -20 \""), std::string::npos);
}

struct OutputNameCase {
  const char* name;
  std::vector<std::string> existing;
  std::string source;
  std::string expected;  // name in the output folder
};

class OutputNameTest : public CommandLineTest,
                       public testing::WithParamInterface<OutputNameCase> {};

TEST_P(OutputNameTest, NamesAFreeFileInTheOutputFolder) {
  fs::create_directories(out_);
  for (const auto& f : GetParam().existing) WriteBytes(out_ + "/" + f, "x");
  Row(GetParam().source, "00:00:00", "00:00:10");
  proc_.BuildCommandLine(GetParam().source);
  EXPECT_EQ(proc_.LastCommand.Arguments.back(), out_ + "/" + GetParam().expected);
  EXPECT_EQ(files_.BaseTitle, TFileFunc::GetFileTitle(GetParam().source));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OutputNameTest,
    testing::Values(
        OutputNameCase{"Free", {}, "/m/song.mp3", "song.mp3"},
        OutputNameCase{"SameName", {"song.mp3"}, "/m/song.mp3", "song_1.mp3"},
        OutputNameCase{"OtherExtensionCounts", {"song.wav"}, "/m/song.mp3", "song_1.mp3"},
        OutputNameCase{"Numbered", {"song.mp3", "song_1.wav"}, "/m/song.mp3", "song_2.mp3"},
        OutputNameCase{"CaseDiffers", {"Song.mp3"}, "/m/song.mp3", "song.mp3"},
        OutputNameCase{"SourceWithoutDot", {}, "/m/readme", ".mp3"}),
    [](const testing::TestParamInfo<OutputNameCase>& test) {
      return std::string(test.param.name);
    });

// Blanks, quotes and non-ASCII letters in the program folder, the source and
// the output folder: each path stays one argument.
TEST_F(CommandLineTest, PathsWithBlanksQuotesAndLettersStayOneArgument) {
  TempFolder root;
  const std::string app_dir = root.Path() + "My Conv/";
  fs::create_directory(app_dir);
  TAppFunc app(app_dir);
  TCommonLib common(app, sys_, ui_);
  const std::string out = root.Path() + "R\xC3\xA9sultats \"new\"";
  inputs_.OutputFolder = out + "/";
  const std::string source = "/m/My \"best\" chanson \xC3\xA9t\xC3\xA9 -y.mp3";
  Row(source, "00:00:01", "00:00:03");
  TCustomProc proc(common, app, files_, inputs_);
  const std::string line = proc.BuildCommandLine(source);
  const std::string output = out + "/My \"best\" chanson \xC3\xA9t\xC3\xA9 -y.mp3";
  EXPECT_EQ(line, app_dir + "evc.exe -y -i \"" + source +
                      "\" -acodec mp3 -vn -ab 48 -vol 200 -ac 2 -ar 44100 -ss 00:00:01 -t 2 \"" +
                      output + "\"");
  const Args& args = proc.LastCommand.Arguments;
  ASSERT_EQ(args.size(), 20u);
  EXPECT_EQ(args[0], app_dir + "evc.exe");
  EXPECT_EQ(args[3], source);
  EXPECT_EQ(args[19], output);
  EXPECT_TRUE(fs::is_directory(out));
  EXPECT_EQ(ReadBytes(app_dir + "VideoFile.avs"),
            "DirectShowSource(\"" + source + "\", fps=29.9700898503294, convertfps=true)\r\n");
}

// ---- The output folder --------------------------------------------------------------

class OutputFolderTextTest : public CommandLineTest,
                             public testing::WithParamInterface<std::string> {};

TEST_P(OutputFolderTextTest, EndsInASlashAndIsCreatedWithItsParents) {
  inputs_.OutputFolder = out_ + GetParam();
  EXPECT_EQ(proc_.GetOutputFolder(), out_ + "/deep/er/");
  EXPECT_TRUE(fs::is_directory(out_ + "/deep/er"));
  EXPECT_EQ(Log(), LogLine("Output directory " + out_ + "/deep/er/"));
}

INSTANTIATE_TEST_SUITE_P(WithAndWithoutSlash, OutputFolderTextTest,
                         testing::Values("/deep/er", "/deep/er/"));

TEST_F(CommandLineTest, AFolderThatCannotBeCreatedIsLoggedAndTheBuildGoesOn) {
  WriteBytes(root_.Path() + "blocker", "x");
  inputs_.OutputFolder = root_.Path() + "blocker/out";
  Row("/m/a.mp3", "00:00:00", "00:00:10");
  const std::string line = proc_.BuildCommandLine("/m/a.mp3");
  EXPECT_EQ(Log(), LogLine("Output directory error. ->" + root_.Path() + "blocker/out/"));
  EXPECT_EQ(proc_.LastCommand.Arguments.back(), root_.Path() + "blocker/out/a.mp3");
  EXPECT_TRUE(line.ends_with(" \"" + root_.Path() + "blocker/out/a.mp3\"")) << line;
}

TEST_F(CommandLineTest, AScriptFileThatCannotBeWrittenEndsTheBuild) {
  fs::create_directory(app_dir_ + "VideoFile.avs");  // a folder in its place
  Row("/m/a.mp3", "00:00:00", "00:00:10");
  EXPECT_THROW(proc_.BuildCommandLine("/m/a.mp3"), FileError);
}

TEST_F(CommandLineTest, EveryBuildRewritesTheScriptFile) {
  Row("/m/a.mp3", "00:00:00", "00:00:10");
  Row("/m/b.mp3", "00:00:00", "00:00:10");
  proc_.BuildCommandLine("/m/a.mp3");
  proc_.BuildCommandLine("/m/b.mp3");
  EXPECT_EQ(ReadBytes(app_dir_ + "VideoFile.avs"),
            "DirectShowSource(\"/m/b.mp3\", fps=29.9700898503294, convertfps=true)\r\n");
  EXPECT_EQ(common_.ConvertParameter.SourceFile, "/m/b.mp3");
  EXPECT_EQ(common_.ConvertParameter.FileTitle, "b");
}

// ---- The row's fades and the loudness target ----------------------------------------

struct FinishingCase {
  std::string name;
  std::string type;       // "mp3" or "amr"
  std::string end;        // the row's End (Start is 00:00:30)
  RowFades fades;         // of the row
  bool loudness;          // NormalizeLoudness
  double target;          // LoudnessTarget
  std::string finishing;  // expected between the segment and the output path
};

class FinishingLineTest : public CommandLineTest,
                          public testing::WithParamInterface<FinishingCase> {};

// The options come after the segment and before the output path, in the line
// and in the arguments; without them the line is that of the worked examples.
TEST_P(FinishingLineTest, PutsTheRowsFinishingBeforeTheOutputPath) {
  const FinishingCase& c = GetParam();
  const std::string source = "/home/user/Music/song.mp3";
  Row(source, "00:00:30", c.end);
  inputs_.Fades.push_back(c.fades);
  proc_.Finishing.NormalizeLoudness = c.loudness;
  proc_.Finishing.LoudnessTarget = c.target;
  std::string before = " -acodec mp3 -vn -ab 128 -vol 100 -ac 2 -ar 44100";
  std::string output = out_ + "/song.mp3";
  if (c.type == "amr") {
    inputs_.OutputType = 1;
    Select(OptionListId::VideoSize, "176x144");
    Select(OptionListId::VideoBitrate, "128");
    Select(OptionListId::AudioBitrate, "16");
    Select(OptionListId::AudioVolumeGain, "100");
    before = " -acodec amr_nb -s 176x144 -b 128 -ab 16 -vol 100 -ac 1 -ar 8000";
    output = out_ + "/song.amr";
  } else {
    Select(OptionListId::AudioBitrate, "128");
    Select(OptionListId::AudioVolumeGain, "100");
    Select(OptionListId::AudioChannels, "2 channels, Stereo");
    Select(OptionListId::AudioSample, "44100");
  }
  const std::string segment = " -ss 00:00:30 -t " + std::to_string(proc_.GetSegmentSeconds(source));
  const std::string line = proc_.BuildCommandLine(source);
  EXPECT_EQ(line, app_dir_ + "evc.exe -y -i \"" + source + "\"" + before + segment + c.finishing +
                      " \"" + output + "\"");
  // The arguments are the line's words, the paths whole.
  Args expected{app_dir_ + "evc.exe", "-y", "-i", source};
  std::istringstream words(before + segment + c.finishing);
  for (std::string word; words >> word;) expected.push_back(word);
  expected.push_back(output);
  EXPECT_EQ(proc_.LastCommand.Arguments, expected);
  EXPECT_EQ(proc_.CommandLine, line);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FinishingLineTest,
    testing::Values(
        FinishingCase{"Nothing", "mp3", "00:01:00", {}, false, -14, ""},
        FinishingCase{
            "FadesOnly", "mp3", "00:01:00", {2.5, 3}, false, -14, " -fadein 2.5 -fadeout 3"},
        FinishingCase{"FadeOutOnly", "mp3", "00:01:00", {0, 4.2}, false, -14, " -fadeout 4.2"},
        FinishingCase{"LoudnessOnly", "mp3", "00:01:00", {}, true, -14, " -loudnorm -14"},
        FinishingCase{"FadesAndLoudness",
                      "mp3",
                      "00:01:00",
                      {1.5, 2},
                      true,
                      -16.5,
                      " -fadein 1.5 -fadeout 2 -loudnorm -16.5"},
        FinishingCase{"NarrowBand",
                      "amr",
                      "00:01:00",
                      {1, 1},
                      true,
                      -14,
                      " -fadein 1 -fadeout 1 -loudnorm -14"},
        // A part typed shorter than its fades: each is held to half the part.
        FinishingCase{
            "HeldToHalfThePart", "mp3", "00:00:35", {4, 2}, false, -14, " -fadein 2.5 -fadeout 2"},
        FinishingCase{"HeldToThirtySeconds",
                      "mp3",
                      "00:03:00",
                      {45, 30},
                      false,
                      -14,
                      " -fadein 30 -fadeout 30"}),
    [](const testing::TestParamInfo<FinishingCase>& test) { return test.param.name; });

// Two rows of the same file (names differing in case): the segment and the
// fades both come from the last one.
TEST_F(CommandLineTest, TheFadesComeFromTheRowThatGivesTheSegment) {
  Row("/m/a.mp3", "00:00:00", "00:00:40");
  Row("/M/A.MP3", "00:00:10", "00:00:30");
  inputs_.Fades = {RowFades{5, 5}, RowFades{1.2, 0}};
  const std::string line = proc_.BuildCommandLine("/m/a.mp3");
  EXPECT_NE(line.find(" -ss 00:00:10 -t 20 -fadein 1.2 \""), std::string::npos) << line;
  EXPECT_EQ(line.find("-fadeout"), std::string::npos) << line;
}

// The settings are read at each build, not copied when the builder is made.
TEST_F(CommandLineTest, AChangedLoudnessSettingCountsFromTheNextBuild) {
  Row("/m/a.mp3", "00:00:00", "00:00:40");
  EXPECT_EQ(proc_.BuildCommandLine("/m/a.mp3").find("-loudnorm"), std::string::npos);
  proc_.Finishing.NormalizeLoudness = true;
  proc_.Finishing.LoudnessTarget = -20;
  EXPECT_NE(proc_.BuildCommandLine("/m/a.mp3").find(" -t 40 -loudnorm -20 \""), std::string::npos);
}

}  // namespace
