// The finishing settings in Config/Finishing.ini on real files, and the
// options they add to an engine command line, checked against the engine's
// own parser.
#include <gtest/gtest.h>

#include <filesystem>

#include "EngineOptions.h"
#include "Errors.h"
#include "FinishingSettings.h"
#include "TempFolder.h"

namespace {

class FinishingSettingsFile : public testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(folder_.Path() + "Config"); }
  std::string File() const { return folder_.Path() + "Config/Finishing.ini"; }
  TempFolder folder_;
};

void ExpectDefaults(const FinishingSettings& s) {
  EXPECT_EQ(s.FadeInSeconds, 0);
  EXPECT_EQ(s.FadeOutSeconds, 0);
  EXPECT_FALSE(s.NormalizeLoudness);
  EXPECT_EQ(s.LoudnessTarget, -14);
}

TEST_F(FinishingSettingsFile, AMissingFileGivesTheDefaults) {
  ExpectDefaults(ReadFinishingSettings(folder_.Path()));
  EXPECT_FALSE(std::filesystem::exists(File()));  // reading never makes the file
}

TEST_F(FinishingSettingsFile, AFolderInPlaceOfTheFileGivesTheDefaults) {
  std::filesystem::create_directories(File());
  ExpectDefaults(ReadFinishingSettings(folder_.Path()));
}

TEST_F(FinishingSettingsFile, WritesItsOwnKeysAndReadsThemBack) {
  FinishingSettings written;
  written.FadeInSeconds = 1.5;
  written.FadeOutSeconds = 3;
  written.NormalizeLoudness = true;
  written.LoudnessTarget = -16.5;
  WriteFinishingSettings(folder_.Path(), written);
  // TIniFile32 opens a new section with an empty line, at the top of a file too.
  EXPECT_EQ(ReadBytes(File()),
            "\r\n[Finishing]\r\nFadeIn=1.5\r\nFadeOut=3\r\nNormalizeLoudness=1\r\n"
            "LoudnessTarget=-16.5\r\n");
  const FinishingSettings read = ReadFinishingSettings(folder_.Path());
  EXPECT_EQ(read.FadeInSeconds, 1.5);
  EXPECT_EQ(read.FadeOutSeconds, 3);
  EXPECT_TRUE(read.NormalizeLoudness);
  EXPECT_EQ(read.LoudnessTarget, -16.5);
}

TEST_F(FinishingSettingsFile, EachBadValueFallsBackToItsDefaultAlone) {
  WriteBytes(File(),
             "[Finishing]\r\nFadeIn=2,5\r\nFadeOut=2.25\r\nNormalizeLoudness=yes\r\n"
             "LoudnessTarget=-3\r\n");
  FinishingSettings read = ReadFinishingSettings(folder_.Path());
  EXPECT_EQ(read.FadeInSeconds, 0);
  EXPECT_EQ(read.FadeOutSeconds, 2.25);
  EXPECT_FALSE(read.NormalizeLoudness);
  EXPECT_EQ(read.LoudnessTarget, -14);
  WriteBytes(File(), "[Finishing]\r\nFadeIn=31\r\nFadeOut=nan\r\nLoudnessTarget=-30\r\n");
  read = ReadFinishingSettings(folder_.Path());
  EXPECT_EQ(read.FadeInSeconds, 0);
  EXPECT_EQ(read.FadeOutSeconds, 0);
  EXPECT_EQ(read.LoudnessTarget, -30);
}

TEST_F(FinishingSettingsFile, AnUnwritableFolderIsAFileErrorNamingTheFile) {
  std::filesystem::remove_all(folder_.Path() + "Config");
  WriteBytes(folder_.Path() + "Config", "a file where the folder should be");
  try {
    WriteFinishingSettings(folder_.Path(), FinishingSettings{});
    FAIL() << "written";
  } catch (const FileError& error) {
    EXPECT_NE(std::string(error.what()).find("Finishing.ini"), std::string::npos) << error.what();
  }
}

struct FragmentCase {
  double fadeIn, fadeOut;
  bool normalize;
  double target;
  std::string want;
};
class FinishingFragmentCase : public testing::TestWithParam<FragmentCase> {};
TEST_P(FinishingFragmentCase, AddsOnlyWhatIsUsed) {
  const FragmentCase& c = GetParam();
  FinishingSettings settings;
  settings.NormalizeLoudness = c.normalize;
  settings.LoudnessTarget = c.target;
  EXPECT_EQ(FinishingFragment(c.fadeIn, c.fadeOut, settings), c.want);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, FinishingFragmentCase,
    testing::Values(FragmentCase{0, 0, false, -14, ""},
                    FragmentCase{0.0001, 0, false, -14, ""},  // under a millisecond
                    FragmentCase{2, 0, false, -14, " -fadein 2"},
                    FragmentCase{0, 3.5, false, -14, " -fadeout 3.5"},
                    FragmentCase{1.25, 0.5, true, -14, " -fadein 1.25 -fadeout 0.5 -loudnorm -14"},
                    FragmentCase{0, 0, true, -23.5, " -loudnorm -23.5"},
                    FragmentCase{1.0 / 3, 0, false, -14, " -fadein 0.333"},
                    FragmentCase{45, -2, true, -40, " -fadein 30 -loudnorm -30"},
                    FragmentCase{0, 0, true, 0, " -loudnorm -5"}));

TEST(AppendFinishing, GoesBeforeTheOutputInTheLineAndTheArguments) {
  EngineCommand command;
  command.Line =
      "/app/evc.exe -y -i \"/music/a b.mp3\" -acodec mp3 -ab 128 -ss 10 -t 30 "
      "\"/out/a b.mp3\"";
  command.Arguments = {
      "/app/evc.exe", "-y", "-i", "/music/a b.mp3", "-acodec", "mp3", "-ab", "128", "-ss",
      "10",           "-t", "30", "/out/a b.mp3"};
  FinishingSettings settings;
  settings.NormalizeLoudness = true;
  AppendFinishing(command, 2, 3, settings);
  EXPECT_EQ(command.Line,
            "/app/evc.exe -y -i \"/music/a b.mp3\" -acodec mp3 -ab 128 -ss 10 -t 30 -fadein 2 "
            "-fadeout 3 -loudnorm -14 \"/out/a b.mp3\"");
  // The engine reads the arguments as meant.
  const std::vector<std::string> arguments(command.Arguments.begin() + 1, command.Arguments.end());
  const evc::EngineOptions options = evc::ParseEngineOptions(arguments);
  EXPECT_EQ(options.output, "/out/a b.mp3");
  EXPECT_EQ(options.fadeInSeconds, 2);
  EXPECT_EQ(options.fadeOutSeconds, 3);
  EXPECT_EQ(options.loudnessTarget, -14);
}

TEST(AppendFinishing, NothingUsedLeavesTheCommandAsItWas) {
  EngineCommand command{"/app/evc.exe -y -i \"a.mp3\" \"b.mp3\"",
                        {"/app/evc.exe", "-y", "-i", "a.mp3", "b.mp3"}};
  const EngineCommand before = command;
  AppendFinishing(command, 0, 0, FinishingSettings{});
  EXPECT_EQ(command.Line, before.Line);
  EXPECT_EQ(command.Arguments, before.Arguments);
}

}  // namespace
