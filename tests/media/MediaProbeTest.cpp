// Probing: the duration every accepted input type gets in the source list,
// the render codes, and damaged files.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

#include "../core/TempFolder.h"
#include "../core/WatchedFifo.h"
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
                         testing::ValuesIn(media_fixtures::SoundFiles()), [](const auto& test) {
                           std::string name = test.param.name;
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

// ---- Inputs that never end or never come ------------------------------------------

// What this process has read so far, all files together (the kernel's count
// of bytes returned by read()).
int64_t BytesReadByThisProcess() {
  std::ifstream io("/proc/self/io");
  for (std::string key; io >> key;) {
    int64_t value = 0;
    io >> value;
    if (key == "rchar:") return value;
  }
  ADD_FAILURE() << "no rchar in /proc/self/io";
  return 0;
}

// The most a refused file may cost: the reading budgets of opening and
// analysing, with room to spare.
constexpr int64_t kMostReadForNothing = 64 << 20;

constexpr int64_t kGigabyte = int64_t{1} << 30;

struct EndlessCase {
  const char* label;
  const char* name;
  std::function<void(const std::string& path)> make;  // none: a watched FIFO
};
void PrintTo(const EndlessCase& c, std::ostream* out) { *out << c.label; }

class EndlessInputTest : public testing::TestWithParam<EndlessCase> {};

// A file of zeros as big as a film, a device that never ends, a FIFO nobody
// writes to: probing gives up with an error naming the file (or a result that
// is not playable) after reading a few megabytes at most, and never opens
// what is not a regular file.
TEST_P(EndlessInputTest, IsRefusedAfterReadingAFewMegabytesAtMost) {
  TempFolder folder;
  const std::string path = folder.Path() + GetParam().name;
  std::unique_ptr<WatchedFifo> fifo;
  if (GetParam().make) {
    GetParam().make(path);
  } else {
    fifo = std::make_unique<WatchedFifo>(path);
  }
  const int64_t before = BytesReadByThisProcess();
  try {
    const MediaInfo info = ProbeMedia(path);
    EXPECT_NE(info.render_result, kRenderOk);
  } catch (const MediaError& e) {
    EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
  }
  EXPECT_LT(BytesReadByThisProcess() - before, kMostReadForNothing);
  if (fifo) {
    EXPECT_FALSE(fifo->OpenedForReading());
    EXPECT_FALSE(fifo->OpenedForWriting());
  }
}

// A gigabyte of zeros that takes no disk space (a sparse file).
void Zeros(const std::string& path) {
  std::ofstream{path};
  std::filesystem::resize_file(path, kGigabyte);
}
void LinkToDevZero(const std::string& path) { std::filesystem::create_symlink("/dev/zero", path); }

INSTANTIATE_TEST_SUITE_P(Inputs, EndlessInputTest,
                         testing::Values(EndlessCase{"GigabyteOfZerosMp3", "zeros.mp3", Zeros},
                                         EndlessCase{"GigabyteOfZerosAc3", "zeros.ac3", Zeros},
                                         EndlessCase{"GigabyteOfZerosAac", "zeros.aac", Zeros},
                                         EndlessCase{"LinkToDevZeroMp3", "zero.mp3", LinkToDevZero},
                                         EndlessCase{"LinkToDevZeroAc3", "zero.ac3", LinkToDevZero},
                                         EndlessCase{"FifoWithoutWriter", "x.mp3", nullptr},
                                         EndlessCase{"Folder", "album.mp3",
                                                     [](const std::string& path) {
                                                       std::filesystem::create_directory(path);
                                                     }}),
                         [](const testing::TestParamInfo<EndlessCase>& test) {
                           return std::string(test.param.label);
                         });

// A song followed by a gigabyte of zeros whose length has to be counted: the
// count ends a few megabytes into the padding with the song's own length.
TEST(ProbeMedia, ASongPaddedWithZerosIsCountedUpToThePadding) {
  TempFolder folder;
  const std::string path = folder.Path() + "padded.mp3";
  std::filesystem::copy_file(Fixtures::Get().Path("vbr_noxing.mp3"), path);
  std::filesystem::resize_file(path, kGigabyte);
  const int64_t before = BytesReadByThisProcess();
  const MediaInfo info = ProbeMedia(path);
  EXPECT_LT(BytesReadByThisProcess() - before, kMostReadForNothing);
  EXPECT_EQ(info.render_result, kRenderOk);
  EXPECT_TRUE(info.duration_counted);
  EXPECT_EQ(info.duration_ms / 1000, 12);
}

// A name is only ever a local file's name: a network address is not reached.
TEST(ProbeMedia, ANetworkAddressIsAFileNameThatDoesNotExist) {
  const std::string address = "udp://127.0.0.1:9";
  try {
    ProbeMedia(address);
    FAIL() << "no error";
  } catch (const MediaError& e) {
    EXPECT_NE(std::string(e.what()).find("No such file or directory"), std::string::npos)
        << e.what();
  }
}
