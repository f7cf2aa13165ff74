// evc.exe against bad input. Every case runs the real engine as a child
// process, bounded in time, and checks what a person converting a broken file
// relies on: a failure is a non-zero exit with one line "evc.exe: reason",
// never a signal or a hang; no partial output and no temporary file are left
// in the output folder; the source file keeps every byte.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "BadInputCorpus.h"

namespace {

namespace fs = std::filesystem;
using namespace bad_input;

const std::string kEngine = std::string(TONBRIX_APP_DIR) + "evc.exe";
constexpr auto kTimeLimit = std::chrono::seconds(120);

struct RunResult {
  bool exited = false;  // ended by exit(), not by a signal or the time limit
  int exitCode = -1;
  int signal = 0;
  bool timedOut = false;
  std::string output;  // stdout and stderr together
};

struct ChildLimits {
  std::optional<rlim_t> fileSize;  // RLIMIT_FSIZE in bytes
  std::optional<uid_t> runAs;      // drop root to this user first
  std::string engine = kEngine;    // a copy this user can reach, for runAs
  std::chrono::seconds timeLimit = kTimeLimit;
};

// Runs evc.exe with the arguments, never through a shell. The child's output
// goes to a file so that a chatty engine cannot block on a full pipe.
RunResult RunEngine(const std::vector<std::string>& arguments, const std::string& logFile,
                    const ChildLimits& limits = {}) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(limits.engine.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int null = open("/dev/null", O_RDONLY);
    if (log < 0 || null < 0) _exit(120);
    dup2(null, 0);
    dup2(log, 1);
    dup2(log, 2);
    if (limits.fileSize) {
      const rlimit limit{*limits.fileSize, *limits.fileSize};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(121);
    }
    if (limits.runAs) {
      if (setgid(*limits.runAs) != 0 || setuid(*limits.runAs) != 0) _exit(122);
    }
    execv(argv[0], argv.data());
    _exit(123);
  }
  RunResult result;
  if (pid < 0) return result;
  const auto deadline = std::chrono::steady_clock::now() + limits.timeLimit;
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      result.timedOut = true;
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  if (!result.timedOut) {
    result.exited = WIFEXITED(status);
    if (result.exited) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  }
  result.output = ReadBytes(logFile);
  return result;
}

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename());
  return names;
}

std::string LastLine(const std::string& text) {
  std::string trimmed = text;
  while (!trimmed.empty() && (trimmed.back() == '\n' || trimmed.back() == '\r')) trimmed.pop_back();
  const auto at = trimmed.find_last_of('\n');
  return at == std::string::npos ? trimmed : trimmed.substr(at + 1);
}

// The engine lines Tonbrix builds for three output types.
struct OutputType {
  std::string extension;
  std::vector<std::string> options;
};
const OutputType kMp3{
    ".mp3", {"-acodec", "mp3", "-vn", "-ab", "128", "-vol", "100", "-ac", "2", "-ar", "44100"}};
const OutputType kAmr{".amr",
                      {"-acodec", "amr_nb", "-ab", "12", "-vol", "100", "-ac", "1", "-ar", "8000"}};
const OutputType kM4a{
    ".m4a", {"-acodec", "aac", "-vn", "-ab", "128", "-vol", "100", "-ac", "2", "-ar", "44100"}};

void PrintTo(const OutputType& type, std::ostream* out) { *out << type.extension; }

std::vector<std::string> EngineLine(const std::string& source, const OutputType& type,
                                    const std::string& output) {
  std::vector<std::string> line{"-y", "-i", source};
  line.insert(line.end(), type.options.begin(), type.options.end());
  line.push_back(output);
  return line;
}

// Checks a run the engine must refuse: a reason, no file left behind.
void ExpectCleanFailure(const RunResult& run, const std::string& outputFolder) {
  EXPECT_TRUE(FolderEntries(outputFolder).empty())
      << "left behind: " << testing::PrintToString(FolderEntries(outputFolder));
  EXPECT_FALSE(run.timedOut) << "the engine hung";
  EXPECT_EQ(run.signal, 0) << "the engine died of signal " << run.signal << "\n" << run.output;
  ASSERT_TRUE(run.exited);
  EXPECT_NE(run.exitCode, 0);
  const std::string reason = LastLine(run.output);
  EXPECT_EQ(reason.rfind("evc.exe: ", 0), 0u) << "no one-line reason:\n" << run.output;
  EXPECT_GT(reason.size(), std::string("evc.exe: ").size());
}

// ---- broken sources --------------------------------------------------------

class BrokenSource : public testing::TestWithParam<std::tuple<BadSource, OutputType>> {};

TEST_P(BrokenSource, IsRefusedWithAReasonAndLeavesNothing) {
  const auto& [bad, type] = GetParam();
  TempFolder folder;
  const std::string source = folder.Path() + bad.fileName;
  WriteBytes(source, bad.bytes());
  const std::string before = Fingerprint(source);
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);
  const std::string output = outputFolder + "/ring" + type.extension;

  const RunResult run = RunEngine(EngineLine(source, type, output), folder.Path() + "engine.log");

  EXPECT_EQ(Fingerprint(source), before) << "the source file changed";
  if (bad.whenConverted == Outcome::AcceptedOrRefused && run.exited && run.exitCode == 0) {
    // A cut-short stream may still hold whole frames: then the ringtone is
    // those frames, complete, and nothing else lies in the folder.
    EXPECT_EQ(FolderEntries(outputFolder), std::vector<std::string>{"ring" + type.extension});
    EXPECT_GT(fs::file_size(output), 0u);
    return;
  }
  ExpectCleanFailure(run, outputFolder);
}

INSTANTIATE_TEST_SUITE_P(Corpus, BrokenSource,
                         testing::Combine(testing::ValuesIn(BadSources()),
                                          testing::Values(kMp3, kAmr, kM4a)),
                         [](const auto& test) {
                           return std::get<0>(test.param).label + "_to_" +
                                  std::get<1>(test.param).extension.substr(1);
                         });

// ---- sources that never end, block or lie ---------------------------------

// Each must end soon with its own reason: a device or a network address is
// never read, a pipe that brings nothing is given up after a few seconds, a
// file of zeros after a few MB without audio (before, /dev/zero ran for ever
// while the engine's memory grew by gigabytes).
struct EndlessSource {
  std::string label;
  // Makes the source in the folder (ending in "/"); returns its path.
  std::function<std::string(const std::string& folder)> make;
  std::string reasonPart;
};

void PrintTo(const EndlessSource& source, std::ostream* out) { *out << source.label; }

std::string SymlinkToDevZero(const std::string& folder, const std::string& name) {
  fs::create_symlink("/dev/zero", folder + name);
  return folder + name;
}

// Zeros without end, kept small on disk: a sparse file of 64 MB.
std::string SparseZeros(const std::string& folder, const std::string& name) {
  const std::string path = folder + name;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ftruncate(fd, 64 << 20) != 0) throw std::runtime_error("cannot make " + path);
  close(fd);
  return path;
}

class NeverEndingSource : public testing::TestWithParam<EndlessSource> {};

TEST_P(NeverEndingSource, EndsSoonWithItsReason) {
  TempFolder folder;
  const std::string source = GetParam().make(folder.Path());
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);
  ChildLimits limits;
  limits.timeLimit = std::chrono::seconds(30);

  const RunResult run = RunEngine(EngineLine(source, kMp3, outputFolder + "/ring.mp3"),
                                  folder.Path() + "engine.log", limits);

  ExpectCleanFailure(run, outputFolder);
  EXPECT_NE(LastLine(run.output).find(GetParam().reasonPart), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    Sources, NeverEndingSource,
    testing::Values(
        EndlessSource{"dev_zero_named_mp3",
                      [](const std::string& f) { return SymlinkToDevZero(f, "x.mp3"); },
                      "it is a device"},
        EndlessSource{"dev_zero_named_ac3",
                      [](const std::string& f) { return SymlinkToDevZero(f, "x.ac3"); },
                      "it is a device"},
        EndlessSource{"zeros_named_mp3",
                      [](const std::string& f) { return SparseZeros(f, "x.mp3"); },
                      "no audio could be decoded"},
        EndlessSource{"zeros_named_ac3",
                      [](const std::string& f) { return SparseZeros(f, "x.ac3"); },
                      "no audio could be decoded"},
        EndlessSource{"fifo_without_writer",
                      [](const std::string& f) {
                        const std::string path = f + "x.mp3";
                        if (mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("mkfifo");
                        return path;
                      },
                      "nothing arrived"},
        EndlessSource{"udp_address",
                      [](const std::string&) { return std::string("udp://127.0.0.1:9/x.mp3"); },
                      "network addresses are not read"},
        EndlessSource{"http_address",
                      [](const std::string&) { return std::string("http://127.0.0.1:9/x.mp3"); },
                      "network addresses are not read"},
        // Sources whose header lies: a reason a person can act on, not the
        // library's "Invalid argument".
        EndlessSource{"wav_with_255_channels",
                      [](const std::string& f) {
                        WriteBytes(f + "wide.wav", WavHeader(44100, 255, 255 * 2 * 1000) +
                                                       std::string(255 * 2 * 1000, '\0'));
                        return f + "wide.wav";
                      },
                      "255 channels"},
        EndlessSource{"id3_tag_longer_than_the_file",
                      [](const std::string& f) {
                        // 10 header bytes, then a syncsafe size of 100 MB.
                        const std::string header{'I', 'D', '3', 3, 0, 0, 0x2f, 0x68, 0x59, 0x00};
                        WriteBytes(f + "tagged.mp3", header + ReadBytes(Sources::Get().mp3));
                        return f + "tagged.mp3";
                      },
                      "ID3 tag claims"}),
    [](const auto& test) { return test.param.label; });

// ---- file names ------------------------------------------------------------

struct NameCase {
  std::string label;
  std::string name;  // the song's file name, also the ringtone's title
};

void PrintTo(const NameCase& name, std::ostream* out) { *out << name.label; }

class OddName : public testing::TestWithParam<NameCase> {};

// A good song under an odd name converts: the name reaches the engine as one
// argument and comes back unchanged in the output name.
TEST_P(OddName, ConvertsUnderItsOwnName) {
  TempFolder folder;
  const std::string source = folder.Path() + GetParam().name + ".mp3";
  fs::copy_file(Sources::Get().mp3, source);
  const std::string before = Fingerprint(source);
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);
  const std::string output = outputFolder + "/" + GetParam().name + ".m4a";

  const RunResult run = RunEngine(EngineLine(source, kM4a, output), folder.Path() + "engine.log");

  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(FolderEntries(outputFolder), std::vector<std::string>{GetParam().name + ".m4a"});
  EXPECT_EQ(Fingerprint(source), before);
}

INSTANTIATE_TEST_SUITE_P(Names, OddName,
                         testing::Values(NameCase{"blanks", "  my  song  "},
                                         NameCase{"double_quotes", "say \"hello\""},
                                         NameCase{"single_quotes", "it's mine"},
                                         NameCase{"leading_dash", "-y -i song"},
                                         NameCase{"leading_dashes", "--help"},
                                         NameCase{"non_ascii", "Żółć über Déjà vu 東京 🎵"},
                                         NameCase{"shell_characters", "$(touch x); `ls` & | > <"},
                                         // With ".m4a" the name is 243 bytes: the longest whose
                                         // engine temporary name (12 bytes more) still fits.
                                         NameCase{"long_name", std::string(239, 'a')}),
                         [](const auto& test) { return test.param.label; });

// The longest name a file system takes (255 bytes) is a good output name; the
// engine's temporary name must not be what makes it fail.
TEST(OddNameLimit, NameOfTheFullLengthConverts) {
  TempFolder folder;
  const std::string title(251, 'b');
  const std::string source = folder.Path() + "song.mp3";
  fs::copy_file(Sources::Get().mp3, source);
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);

  const RunResult run = RunEngine(EngineLine(source, kMp3, outputFolder + "/" + title + ".mp3"),
                                  folder.Path() + "engine.log");

  ASSERT_TRUE(run.exited) << run.output;
  EXPECT_EQ(run.exitCode, 0) << run.output;
  EXPECT_EQ(FolderEntries(outputFolder), std::vector<std::string>{title + ".mp3"});
}

// A name longer than any file system takes is refused with a reason.
TEST(OddNameLimit, NameBeyondTheLimitIsRefused) {
  TempFolder folder;
  const std::string source = folder.Path() + "song.mp3";
  fs::copy_file(Sources::Get().mp3, source);
  const std::string before = Fingerprint(source);
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);

  const RunResult run =
      RunEngine(EngineLine(source, kMp3, outputFolder + "/" + std::string(300, 'c') + ".mp3"),
                folder.Path() + "engine.log");

  ExpectCleanFailure(run, outputFolder);
  EXPECT_EQ(Fingerprint(source), before);
}

// ---- where the output cannot be written ----------------------------------

// The folder is read-only for the person converting. Root may write anywhere,
// so as root the engine runs as "nobody", who owns nothing here.
TEST(UnwritableOutput, ReadOnlyFolderIsRefused) {
  TempFolder folder;
  chmod(folder.Path().c_str(), 0755);
  const std::string source = folder.Path() + "song.mp3";
  fs::copy_file(Sources::Get().mp3, source);
  chmod(source.c_str(), 0644);
  const std::string before = Fingerprint(source);
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);
  chmod(outputFolder.c_str(), 0555);
  const std::string log = folder.Path() + "engine.log";
  ChildLimits limits;
  if (geteuid() == 0) {
    limits.runAs = 65534;
    // The build may lie in a private folder (a clone in /root): "nobody"
    // runs a copy of the engine from this test's own folder.
    limits.engine = folder.Path() + "evc.exe";
    fs::copy_file(kEngine, limits.engine);
    chmod(limits.engine.c_str(), 0755);
  }

  const RunResult run =
      RunEngine(EngineLine(source, kMp3, outputFolder + "/ring.mp3"), log, limits);

  chmod(outputFolder.c_str(), 0755);
  ExpectCleanFailure(run, outputFolder);
  EXPECT_EQ(Fingerprint(source), before);
}

// The output grows past what the process may write (ulimit -f): the engine
// must fail with a reason and remove its temporary file, not be killed by
// SIGXFSZ half-way through.
TEST(UnwritableOutput, FileSizeLimitIsRefusedWithoutPartialFile) {
  TempFolder folder;
  const std::string source = folder.Path() + "song.mp3";
  fs::copy_file(Sources::Get().mp3, source);
  const std::string before = Fingerprint(source);
  const std::string outputFolder = folder.Path() + "out";
  fs::create_directory(outputFolder);
  ChildLimits limits;
  limits.fileSize = 16 * 1024;  // three seconds of WAV need about 500 kB

  const OutputType wav{".wav", {"-acodec", "pcm_s16le", "-vn", "-ac", "2", "-ar", "44100"}};
  const RunResult run = RunEngine(EngineLine(source, wav, outputFolder + "/ring.wav"),
                                  folder.Path() + "engine.log", limits);

  ExpectCleanFailure(run, outputFolder);
  EXPECT_EQ(Fingerprint(source), before);
}

// A full disk: a 64 kB tmpfs mounted for the test (needs root; elsewhere the
// test says why it did not run).
TEST(UnwritableOutput, FullDiskIsRefusedWithoutPartialFile) {
  TempFolder folder;
  const std::string source = folder.Path() + "song.mp3";
  fs::copy_file(Sources::Get().mp3, source);
  const std::string before = Fingerprint(source);
  const std::string disk = folder.Path() + "disk";
  fs::create_directory(disk);
  if (mount("tonbrix-full", disk.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tiny file system here: " << std::strerror(errno);
  }
  struct Unmount {
    std::string path;
    ~Unmount() { umount2(path.c_str(), MNT_DETACH); }
  } unmount{disk};

  const OutputType wav{".wav", {"-acodec", "pcm_s16le", "-vn", "-ac", "2", "-ar", "44100"}};
  const RunResult run =
      RunEngine(EngineLine(source, wav, disk + "/ring.wav"), folder.Path() + "engine.log");

  ExpectCleanFailure(run, disk);
  EXPECT_EQ(Fingerprint(source), before);
}

}  // namespace
