// Probing: the duration every accepted input type gets in the source list,
// the render codes, and damaged files.
#include <gtest/gtest.h>

#include <chrono>

#include "MediaFixtures.h"
#include "MediaProbe.h"

using media_fixtures::Fixtures;
using media_fixtures::kSoundMs;

class ProbeSoundTest : public testing::TestWithParam<media_fixtures::SoundFile> {};

TEST_P(ProbeSoundTest, MeasuresTheTrueLength) {
  const MediaInfo info = ProbeMedia(Fixtures::Get().Path(GetParam().name));
  EXPECT_EQ(info.render_result, kRenderOk);
  // Encoders pad the last frame; no format adds more than a tenth of a second.
  EXPECT_GE(info.duration_ms, kSoundMs - 20);
  EXPECT_LE(info.duration_ms, kSoundMs + 100);
  EXPECT_EQ(info.duration_ms / 1000, 12);
  EXPECT_EQ(info.sample_rate, 44100);
  EXPECT_EQ(info.channels, 2);
}

INSTANTIATE_TEST_SUITE_P(EveryInputType, ProbeSoundTest,
                         testing::ValuesIn(media_fixtures::SoundFiles()), [](const auto& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

TEST(ProbeMedia, CountsAVbrMp3WithoutHeaderInsteadOfTrustingTheBitrate) {
  const MediaInfo info = ProbeMedia(Fixtures::Get().Path("vbr_noxing.mp3"));
  EXPECT_TRUE(info.duration_counted);
  EXPECT_EQ(info.duration_ms / 1000, 12);
}

TEST(ProbeMedia, TakesTheLengthAVbrMp3HeaderTells) {
  const MediaInfo info = ProbeMedia(Fixtures::Get().Path("vbr_xing.mp3"));
  EXPECT_FALSE(info.duration_counted);
  EXPECT_EQ(info.duration_ms / 1000, 12);
}

TEST(ProbeMedia, AFileWithoutAudioOpensButIsNotPlayable) {
  const MediaInfo info = ProbeMedia(Fixtures::Get().Path("video_only.mkv"));
  EXPECT_EQ(info.render_result, kRenderNoAudioStream);
  EXPECT_EQ(info.duration_ms, 0);
}

TEST(ProbeMedia, AZeroLengthWavIsPlayableAndLastsNothing) {
  const MediaInfo info = ProbeMedia(Fixtures::Get().Path("zero.wav"));
  EXPECT_EQ(info.render_result, kRenderOk);
  EXPECT_EQ(info.duration_ms, 0);
}

class ProbeUnopenableTest : public testing::TestWithParam<const char*> {};

TEST_P(ProbeUnopenableTest, RaisesAnErrorNamingTheFile) {
  const std::string name = GetParam();
  const std::string path = name[0] == '/' ? name : Fixtures::Get().Path(name);
  try {
    ProbeMedia(path);
    FAIL() << "no error for " << path;
  } catch (const MediaError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
}

INSTANTIATE_TEST_SUITE_P(BadFiles, ProbeUnopenableTest,
                         testing::Values("empty.mp3", "text.mp3", "truncated.m4a",
                                         "/nonexistent/no such file.mp3"));

TEST(ProbeMedia, ATruncatedMp3KeepsTheLengthItsHeaderTells) {
  // The file's own header is all there is to go by without reading it through;
  // the preview then reports the end early (see the graph's tests).
  const MediaInfo info = ProbeMedia(Fixtures::Get().Path("truncated.mp3"));
  EXPECT_EQ(info.render_result, kRenderOk);
  EXPECT_EQ(info.duration_ms / 1000, 12);
}

TEST(ProbeMedia, ADeviceThatNeverEndsIsAbandonedInBoundedTime) {
  // /dev/zero reads forever; probing it must still come back.
  const auto start = std::chrono::steady_clock::now();
  try {
    const MediaInfo info = ProbeMedia("/dev/zero");
    EXPECT_NE(info.render_result, kRenderOk);
  } catch (const MediaError&) {
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, kMediaCallTimeLimit * 2);
}
