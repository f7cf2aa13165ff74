#include "EngineCommandBuilder.h"

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "Errors.h"
#include "PartFades.h"
#include "TextHelpers.h"

namespace {

bool SameFileName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (upper(a[i]) != upper(b[i])) return false;
  }
  return true;
}

// The engine's arguments that a fragment such as " -ab 128" stands for: its
// blank-separated words. A fragment of blanks only stands for none.
void AppendWords(std::vector<std::string>& arguments, const std::string& fragment) {
  std::size_t at = 0;
  while (at < fragment.size()) {
    const auto start = fragment.find_first_not_of(' ', at);
    if (start == std::string::npos) break;
    auto end = fragment.find(' ', start);
    if (end == std::string::npos) end = fragment.size();
    arguments.push_back(fragment.substr(start, end - start));
    at = end;
  }
}

// The line and the arguments grow together: a fragment is added to both as it
// is, a quoted path goes into the line between double quotes and into the
// arguments as one argument, whatever it holds.
class CommandAssembler {
 public:
  explicit CommandAssembler(const std::string& engine) {
    command_.Line = engine;
    command_.Arguments.push_back(engine);
  }
  // " -y -i " + quoted source, the opening of every line.
  void Input(const std::string& source) {
    Fragment(" -y -i ");
    Quoted(source);
  }
  void Fragment(const std::string& text) {
    command_.Line += text;
    AppendWords(command_.Arguments, text);
  }
  // The output path after one blank, in double quotes.
  void Output(const std::string& path) {
    command_.Line += ' ';
    Quoted(path);
  }
  EngineCommand Take() { return std::move(command_); }

 private:
  void Quoted(const std::string& path) {
    command_.Line += '"' + path + '"';
    command_.Arguments.push_back(path);
  }
  EngineCommand command_;
};

// The home folder of the person running the program: $HOME, or the
// password database's entry when it is not set.
std::string OwnHomeFolder() {
  const char* home = std::getenv("HOME");
  std::string folder = home != nullptr ? home : "";
  if (folder.empty()) {
    if (const passwd* entry = ::getpwuid(::getuid()); entry != nullptr && entry->pw_dir != nullptr)
      folder = entry->pw_dir;
  }
  return folder;
}

}  // namespace

std::string AbsoluteFolder(const std::string& folder) {
  if (folder.empty() || folder.front() == '/') return folder;
  // A home folder and what follows it, without a doubled "/" when the home
  // folder is the root.
  const auto under = [](std::string home, const std::string& rest) {
    while (home.size() > 1 && home.back() == '/') home.pop_back();
    if (rest.empty()) return home;
    return (home == "/" ? std::string() : home) + rest;
  };
  if (folder.front() == '~') {
    const std::size_t slash = folder.find('/');
    const std::string user =
        folder.substr(1, slash == std::string::npos ? std::string::npos : slash - 1);
    const std::string rest = slash == std::string::npos ? std::string() : folder.substr(slash);
    if (user.empty()) return under(OwnHomeFolder(), rest);
    if (const passwd* entry = ::getpwnam(user.c_str());
        entry != nullptr && entry->pw_dir != nullptr)
      return under(entry->pw_dir, rest);
    // "~name" of nobody known is an ordinary folder name.
  }
  return under(OwnHomeFolder(), "/" + folder);
}

EngineCommandBuilder::EngineCommandBuilder(TCommonLib& common, TAppFunc& app, TFileFunc& files,
                                           ConversionInputs& inputs,
                                           const FinishingSettings& finishing)
    : common_(common), app_(app), files_(files), inputs_(inputs), finishing_(finishing) {}

void EngineCommandBuilder::ForEachRowOf(const std::string& source,
                                        const std::function<void(int row)>& visit) const {
  const int rows = inputs_.SourceRowCount();
  for (int row = 0; row < rows; ++row) {
    if (SameFileName(inputs_.SourceCell(row, SourceColumn::FileName), source)) visit(row);
  }
}

std::string EngineCommandBuilder::GetSegmentStart(const std::string& source) {
  std::string start;
  ForEachRowOf(source, [&](int row) {
    start = inputs_.SourceCell(row, SourceColumn::StartTime);
    inputs_.ApplyCustomProfile();
  });
  return start;
}

// A time cell without exactly three ":" pieces leaves its value as the
// previous matching row left it (0 before the first).
bool EngineCommandBuilder::SegmentSeconds(const std::string& source, int64_t& seconds) const {
  bool matched = false;
  int64_t start = 0;
  int64_t end = 0;
  ForEachRowOf(source, [&](int row) {
    matched = true;
    TCommonLib::ReadTimeStrict(inputs_.SourceCell(row, SourceColumn::StartTime), start);
    TCommonLib::ReadTimeStrict(inputs_.SourceCell(row, SourceColumn::EndTime), end);
  });
  if (!matched) return false;
  if (__builtin_sub_overflow(end, start, &seconds)) {
    throw ConversionError("The segment of \"" + source + "\" is out of range");
  }
  return true;
}

RowFades EngineCommandBuilder::SegmentFades(const std::string& source, int64_t part_seconds) const {
  RowFades fades;
  bool matched = false;
  ForEachRowOf(source, [&](int row) {
    matched = true;
    fades = inputs_.SourceFades(row);
  });
  return matched ? part_fades::FadesForPart(fades, part_seconds) : RowFades{};
}

std::string EngineCommandBuilder::GetSegmentDuration(const std::string& source) {
  int64_t seconds = 0;
  return SegmentSeconds(source, seconds) ? std::to_string(seconds) : std::string();
}

int64_t EngineCommandBuilder::GetSegmentSeconds(const std::string& source) {
  int64_t seconds = 0;
  return SegmentSeconds(source, seconds) ? seconds : 0;
}

// A folder that cannot be created is logged as such; the build goes on with
// the folder's name, and the engine reports the failure to write there.
std::string EngineCommandBuilder::GetOutputFolder() {
  std::string folder = AbsoluteFolder(inputs_.OutputFolderText());
  if (folder.empty() || folder.back() != '/') folder += '/';
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const bool exists = std::filesystem::is_directory(folder, error);
  app_.WriteLog(exists ? "Output directory " + folder : "Output directory error. ->" + folder);
  return folder;
}

// VideoFile.avs: one line with CR LF, rewritten by every build. The engine is
// never given this file; it is kept for the tools that read it.
void EngineCommandBuilder::WriteScriptFile() const {
  const std::string name = common_.AppPath + "VideoFile.avs";
  const std::string text = "DirectShowSource(\"" + common_.ConvertParameter.SourceFile +
                           "\", fps=29.9700898503294, convertfps=true)\r\n";
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) throw MakeFileError("Cannot create file", name, errno);
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int failure = errno;
      ::close(fd);
      throw MakeFileError("Cannot write file", name, failure);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) throw MakeFileError("Cannot write file", name, errno);
}

std::string EngineCommandBuilder::BuildCommandLine(const std::string& source) {
  TConvertParameterStruct& p = common_.ConvertParameter;
  CommandLine.clear();
  LastCommand = EngineCommand{};

  // The segment comes first: GetSegmentStart applies the custom profile, which
  // changes the option lists read below.
  StartTime = GetSegmentStart(source);
  Duration = GetSegmentDuration(source);
  p.SegmentOption =
      !StartTime.empty() && !Duration.empty() ? " -ss " + StartTime + " -t " + Duration : "";
  p.SourceFile = source;

  const int type = inputs_.OutputTypeIndex();
  const auto list = [this](OptionListId id) { return inputs_.Options(id); };
  p.CodecOption = TCommonLib::GetCodecOption(GetAudioCodecList(), type);
  const OptionList video_bitrate = list(OptionListId::VideoBitrate);
  p.VideoBitrate = TCommonLib::GetVideoBitrateOption(video_bitrate.Items, video_bitrate.ItemIndex);
  const OptionList video_size = list(OptionListId::VideoSize);
  p.VideoSize = TCommonLib::GetVideoSizeOption(video_size.Items, video_size.ItemIndex);
  const OptionList frame_rate = list(OptionListId::Framerate);
  p.FrameRate = TCommonLib::GetFrameRateOption(frame_rate.Items, frame_rate.ItemIndex);
  const OptionList aspect = list(OptionListId::Aspectratio);
  p.AspectRatio = TCommonLib::GetAspectOption(aspect.Items, aspect.ItemIndex);
  const OptionList bitrate = list(OptionListId::AudioBitrate);
  p.AudioBitrate = TCommonLib::GetAudioBitrateOption(bitrate.Items, bitrate.ItemIndex);
  const OptionList volume = list(OptionListId::AudioVolumeGain);
  p.AudioVolume = TCommonLib::GetVolumeOption(volume.Items, volume.ItemIndex);
  const OptionList channels = list(OptionListId::AudioChannels);
  p.AudioChannels = TCommonLib::GetAudioChannelsOption(channels.Items, channels.ItemIndex);
  const OptionList sample = list(OptionListId::AudioSample);
  p.AudioSampleRate = TCommonLib::GetSampleRateOption(sample.Items, sample.ItemIndex);
  p.FormatOption = TCommonLib::GetFormatOption(GetFormatList(), type);

  p.OutputFolder = GetOutputFolder();
  p.FileTitle = TFileFunc::GetFileTitle(source);
  p.OutputExtension = TCommonLib::GetOutputExtension(GetExtensionList(), type);
  WriteScriptFile();
  p.ConverterPath = common_.AppPath + "evc.exe";

  const auto output = [&] {
    return files_.GetUniqueFileName(p.OutputFolder + p.FileTitle + p.OutputExtension);
  };
  if (std::optional<EngineCommand> command = AssembleCommandLine(p, output)) {
    LastCommand = std::move(*command);
    const RowFades fades = SegmentFades(source, GetSegmentSeconds(source));
    AppendFinishing(LastCommand, fades.FadeInSeconds, fades.FadeOutSeconds, finishing_);
    CommandLine = LastCommand.Line;
  } else if (text_helpers::TrimBlanks(p.CodecOption).substr(0, 5) == "-none") {
    app_.WriteLog("Create convert parameter failure.");
  }
  return CommandLine;
}

std::optional<EngineCommand> EngineCommandBuilder::AssembleCommandLine(
    const TConvertParameterStruct& p, const std::function<std::string()>& output_path) {
  const std::string key = text_helpers::TrimBlanks(p.CodecOption).substr(0, 7);
  CommandAssembler line(p.ConverterPath);
  if (key == "-vcodec") {
    line.Input(p.SourceFile);
    for (const std::string* fragment :
         {&p.CodecOption, &p.VideoBitrate, &p.VideoSize, &p.FrameRate, &p.AspectRatio,
          &p.AudioBitrate, &p.AudioVolume, &p.AudioChannels, &p.AudioSampleRate, &p.FormatOption,
          &p.SegmentOption}) {
      line.Fragment(*fragment);
    }
  } else if (key == "-target") {
    line.Input(p.SourceFile);
    line.Fragment(p.CodecOption);
    line.Fragment(p.SegmentOption);
  } else if (key == "-acodec") {
    line.Input(p.SourceFile);
    line.Fragment(p.CodecOption);
    const std::string& ext = p.OutputExtension;
    if (ext == ".3gp" || ext == ".3g2" || ext == ".amr") {
      // Narrow band: video size before video bitrate, and always mono at 8 kHz.
      for (const std::string* fragment :
           {&p.VideoSize, &p.VideoBitrate, &p.AudioBitrate, &p.AudioVolume}) {
        line.Fragment(*fragment);
      }
      line.Fragment(" -ac 1 -ar 8000");
    } else {
      for (const std::string* fragment :
           {&p.AudioBitrate, &p.AudioVolume, &p.AudioChannels, &p.AudioSampleRate}) {
        line.Fragment(*fragment);
      }
    }
    line.Fragment(p.FormatOption);
    line.Fragment(p.SegmentOption);
  } else {
    return std::nullopt;
  }
  // The free output name is worked out last, only for a line that is made.
  line.Output(output_path());
  return line.Take();
}
