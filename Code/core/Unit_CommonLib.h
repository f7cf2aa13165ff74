// TCommonLib: the program's shared operations and the pieces of the current
// job's engine command line. A facade: each operation forwards to the helper
// that does the work (TextHelpers, TimeText, OptionFragments, EngineProcesses,
// MessageBoxes, ConfigFiles, SourceListEditor, AfterBatchActions); it owns
// those helpers and keeps the shared state (the program folder, the current
// job's command-line pieces, the file in the preview). One instance for the
// whole run, created at start-up; used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "AfterBatchActions.h"
#include "ConfigFiles.h"
#include "EngineProcesses.h"
#include "MessageBoxes.h"
#include "OptionFragments.h"
#include "SourceListEditor.h"
#include "TextHelpers.h"
#include "TimeText.h"
#include "UserInterface.h"
#include "UtilityObjects.h"

class MediaGraph;
class PowerSwitch;
class EngineRun;
class SourceFileList;

// The pieces of the current job's engine command line; rewritten by every
// build (except Reserved) and read back by the progress window.
struct TConvertParameterStruct {
  std::string ConverterPath;    // program folder + "evc.exe"
  std::string SourceFile;       // the source path as passed in
  std::string CodecOption;      // " -acodec mp3 -vn"
  std::string VideoBitrate;     // " -b 128"
  std::string VideoSize;        // " -s 176x144"
  std::string FrameRate;        // " -r 15"
  std::string AspectRatio;      // " -aspect 4:3"
  std::string Reserved;         // never written
  std::string AudioBitrate;     // " -ab 128"
  std::string AudioVolume;      // " -vol 200", or " " without a volume
  std::string AudioChannels;    // " -ac 2"
  std::string AudioSampleRate;  // " -ar 44100"
  std::string FormatOption;     // " -f FMT", or empty
  std::string SegmentOption;    // " -ss 00:00:30 -t 30", or empty
  std::string OutputFolder;     // always ends in "/"
  std::string FileTitle;        // source name without folder and extension
  std::string OutputExtension;  // ".mp3"
};

class TCommonLib {
 public:
  TCommonLib(TAppFunc& app, TSysFunc& sys, UserInterface& ui);
  // Its helpers hold references into it.
  TCommonLib(const TCommonLib&) = delete;
  TCommonLib& operator=(const TCommonLib&) = delete;

  // The program folder, ending in "/".
  std::string AppPath;
  TConvertParameterStruct ConvertParameter;

  // ---- Text helpers (TextHelpers.h, TimeText.h) ---------------------------
  static std::vector<std::string> SplitString(const std::string& text, char separator) {
    return text_helpers::SplitString(text, separator);
  }
  static double TextToNumber(const std::string& text) { return text_helpers::TextToNumber(text); }
  static std::string SecondsToTimeText(int64_t seconds) {
    return time_text::SecondsToTimeText(seconds);
  }
  static std::string FormatTimeField(int64_t width, int64_t divisor, int64_t value) {
    return time_text::FormatTimeField(width, divisor, value);
  }
  static std::string FormatFileSize(int64_t bytes) { return text_helpers::FormatFileSize(bytes); }
  static bool ReadTimeTolerant(const std::string& text, int64_t& seconds) {
    return time_text::ReadTimeTolerant(text, seconds);
  }
  static bool ReadTimeStrict(const std::string& text, int64_t& seconds) {
    return time_text::ReadTimeStrict(text, seconds);
  }
  static int64_t ReadTimeFixed(const std::string& text) { return time_text::ReadTimeFixed(text); }

  // ---- Engine command-line fragments (OptionFragments.h) -------------------
  using Items = std::vector<std::string>;
  static std::string GetCodecOption(const Items& items, int index) {
    return option_fragments::GetCodecOption(items, index);
  }
  static std::string GetVideoBitrateOption(const Items& items, int index) {
    return option_fragments::GetVideoBitrateOption(items, index);
  }
  static std::string GetVideoSizeOption(const Items& items, int index) {
    return option_fragments::GetVideoSizeOption(items, index);
  }
  static std::string GetFrameRateOption(const Items& items, int index) {
    return option_fragments::GetFrameRateOption(items, index);
  }
  static std::string GetAspectOption(const Items& items, int index) {
    return option_fragments::GetAspectOption(items, index);
  }
  static std::string GetAudioBitrateOption(const Items& items, int index) {
    return option_fragments::GetAudioBitrateOption(items, index);
  }
  static std::string GetVolumeOption(const Items& items, int index) {
    return option_fragments::GetVolumeOption(items, index);
  }
  static std::string GetAudioChannelsOption(const Items& items, int index) {
    return option_fragments::GetAudioChannelsOption(items, index);
  }
  static std::string GetSampleRateOption(const Items& items, int index) {
    return option_fragments::GetSampleRateOption(items, index);
  }
  static std::string GetFormatOption(const Items& items, int index) {
    return option_fragments::GetFormatOption(items, index);
  }
  static std::string GetOutputExtension(const Items& items, int index) {
    return option_fragments::GetOutputExtension(items, index);
  }

  // ---- Processes (EngineProcesses.h) ---------------------------------------

  // As TSysFunc::GetProcessIdByName; logs "Get Process id error." on 0.
  int GetProcessIdByName(const std::string& exe_name);
  // Ends every process of that name; false (and a log line) when none was
  // found or the last termination failed. Matches the executable's file name
  // or its whole path, ignoring case. SIGTERM first (the engine removes its
  // unfinished output), SIGKILL after 1.5 s; returns once they are gone.
  // Stop does not use it: a name may belong to other programs' processes.
  bool TerminateProcessByName(const std::string& name);
  // Ends the engine `runner` started (none when null) while it runs under the
  // file name of `engine_path` or under "evc.exe": SIGTERM, SIGKILL after
  // 1.5 s. Processes this program did not start are never touched, whatever
  // their name. Each of the two names' passes logs "Get Process id error."
  // once it finds no such engine; "Terminate process error." when an attempt
  // failed. Gives up on a name after 5 attempts or 10 s, logging "Engine
  // process could not be ended: " + name. Pauses and lets window events run.
  void KillEngineProcesses(const std::string& engine_path, EngineRun* runner);
  // Linux has no debug or shutdown privilege to switch on (a process may
  // signal those of its own user, logind decides about powering off): these
  // succeed without doing anything.
  bool EnableDebugPrivilege();
  bool SetPrivilege(int token, const std::string& privilege, bool enable);

  // ---- Support services (MessageBoxes.h) -----------------------------------

  // A box with one OK button; kind 0 error, 1 warning, 2 question,
  // 3 information. False, and no box, for any other kind.
  bool ShowMsg(const std::string& text, int kind);
  // Returns unused memory to the system and lets pending window events run.
  void ClearMemory();

  // ---- Configuration files (ConfigFiles.h) ---------------------------------
  // The section names of AppPath + "Config/" + file_name, in file order.
  std::vector<std::string> GetConfigSections(const std::string& file_name) const;
  // ReadString(name, name, "") on AppPath + "Config/" + file_name.
  std::string ReadConfigValue(const std::string& file_name, const std::string& name) const;

  // ---- Preview ---------------------------------------------------------------

  // Full name of the file loaded in the preview graph; empty when none.
  std::string PreviewFile;
  // Moves `graph` to `milliseconds` from the file's beginning (absolute), the
  // stop position unchanged. Only called while a file is loaded in the graph.
  static void SeekTo(MediaGraph& graph, int64_t milliseconds);

  TAppFunc& AppFunc() { return app_; }
  UserInterface& Ui() { return ui_; }
  // The process look-up, and through it the processes, signals and engine
  // starts of this program.
  TSysFunc& SysFunc() { return sys_; }

  // ---- Source list (SourceListEditor.h) ------------------------------------
  using SourceListServices = ::SourceListServices;
  void SetSourceListServices(SourceListServices services);
  void AddSourceFiles(SourceFileList& list, const std::vector<std::string>& names);
  static std::vector<std::string> OpenSourceFiles(SourceFileDialog& dialog, bool drop_repeats,
                                                  const std::string& folder) {
    return SourceListEditor::OpenSourceFiles(dialog, drop_repeats, folder);
  }
  static std::vector<std::string> RemoveDuplicates(const std::vector<std::string>& texts) {
    return SourceListEditor::RemoveDuplicates(texts);
  }
  void RemoveSelectedFiles(SourceFileList& list);
  bool ClearFileList(SourceFileList& list);
  static int64_t GetFileSize(const std::string& file_name) {
    return SourceListEditor::GetFileSize(file_name);
  }
  static int64_t GetMediaDuration(const std::string& file_name, MediaGraph& graph) {
    return SourceListEditor::GetMediaDuration(file_name, graph);
  }
  static bool IsSourceFileName(const std::string& file_name) {
    return SourceListEditor::IsSourceFileName(file_name);
  }

  // ---- Batch conversion (AfterBatchActions.h) ------------------------------

  // The warning "Please add media files you want to convert into the list."
  void ShowNoFilesMessage();
  // The desktop's file manager on `folder`, through the opener set below (the
  // application's launcher); only logged while none is set.
  void OpenFolderInExplorer(const std::string& folder);
  // Asks the system to power off through the switch set below; with none set
  // nothing happens but a log line. The results are not tested.
  void ShutdownComputer();
  bool EnableShutdownPrivilege();
  void PowerOffWindows();
  // Not owned; the program gives the real switch, tests a recorder or none.
  void SetPowerSwitch(PowerSwitch* power) { after_batch_.SetPowerSwitch(power); }
  void SetFolderOpener(std::function<void(const std::string&)> opener) {
    after_batch_.SetFolderOpener(std::move(opener));
  }

 private:
  TAppFunc& app_;
  TSysFunc& sys_;
  UserInterface& ui_;
  EngineProcesses processes_;
  ConfigFiles config_;
  SourceListEditor source_list_;
  AfterBatchActions after_batch_;
};
