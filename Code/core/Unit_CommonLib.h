// TCommonLib: the program's shared operations and the pieces of the current
// job's engine command line. One instance for the whole run, created at
// start-up; used on the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "UserInterface.h"
#include "UtilityObjects.h"

class MediaGraph;
class PowerSwitch;
class TAdvanceSystem;
class SourceFileList;

// ---- Source list: the open dialog as the list operations see it ----------
// The application implements it with QFileDialog; tests with prepared names.
class SourceFileDialog {
 public:
  virtual ~SourceFileDialog() = default;
  virtual void SetInitialDir(const std::string& folder) = 0;
  // Runs the dialog: the chosen full names in the dialog's order, or nothing
  // when the person cancelled.
  virtual std::vector<std::string> Execute() = 0;
};

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

  // The program folder, ending in "/".
  std::string AppPath;
  TConvertParameterStruct ConvertParameter;

  // ---- Text helpers -------------------------------------------------------

  // The pieces between separators; empty pieces are kept except a trailing
  // one: "a::b" -> a, "", b; ":a" -> "", a; "a:" -> a; "" -> nothing.
  static std::vector<std::string> SplitString(const std::string& text, char separator);

  // Tolerant reading of a number: keeps digits, the first ".", the first "+"
  // and the first "-". Throws ConversionError for what still does not convert.
  static double TextToNumber(const std::string& text);

  // Whole seconds as hh:mm:ss, hours unbounded; zero and below give 00:00:00.
  static std::string SecondsToTimeText(int64_t seconds);

  // value div divisor in decimal, zero-padded on the left to `width`.
  static std::string FormatTimeField(int64_t width, int64_t divisor, int64_t value);

  // "1.5 KB", "4.76 MB": cut (not rounded) to two decimals.
  static std::string FormatFileSize(int64_t bytes);

  // The three ways a time text is read back, all giving whole seconds.
  // Tolerant: at least three ":" pieces, each read by TextToNumber and cut
  // toward zero. Strict: exactly three pieces, each a decimal integer.
  // Fixed-position: characters 1-2, 4-5 and 7-8 of "hh:mm:ss". The tolerant
  // and strict readings leave `seconds` unchanged and return false when the
  // text has another number of pieces. A piece that does not convert, or a
  // time beyond the 64-bit range, throws ConversionError naming the text.
  static bool ReadTimeTolerant(const std::string& text, int64_t& seconds);
  static bool ReadTimeStrict(const std::string& text, int64_t& seconds);
  static int64_t ReadTimeFixed(const std::string& text);

  // ---- Engine command-line fragments ---------------------------------------
  // Each takes the items of a list and its selected index (-1 for none) and
  // gives one fragment; an empty or missing item gives the fallback. The
  // format option has no fallback: "none" or a missing item gives no fragment.
  static std::string GetCodecOption(const std::vector<std::string>& items, int index);
  static std::string GetVideoBitrateOption(const std::vector<std::string>& items, int index);
  static std::string GetVideoSizeOption(const std::vector<std::string>& items, int index);
  static std::string GetFrameRateOption(const std::vector<std::string>& items, int index);
  static std::string GetAspectOption(const std::vector<std::string>& items, int index);
  static std::string GetAudioBitrateOption(const std::vector<std::string>& items, int index);
  static std::string GetVolumeOption(const std::vector<std::string>& items, int index);
  static std::string GetAudioChannelsOption(const std::vector<std::string>& items, int index);
  static std::string GetSampleRateOption(const std::vector<std::string>& items, int index);
  static std::string GetFormatOption(const std::vector<std::string>& items, int index);
  static std::string GetOutputExtension(const std::vector<std::string>& items, int index);

  // ---- Processes -----------------------------------------------------------

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
  void KillEngineProcesses(const std::string& engine_path, TAdvanceSystem* runner);
  bool EnableDebugPrivilege();
  bool SetPrivilege(int token, const std::string& privilege, bool enable);

  // ---- Support services ----------------------------------------------------

  // A box with one OK button; kind 0 error, 1 warning, 2 question,
  // 3 information. False, and no box, for any other kind.
  bool ShowMsg(const std::string& text, int kind);
  // Returns unused memory to the system and lets pending window events run.
  void ClearMemory();

  // ---- Configuration files (CommonLibConfig.cpp) ---------------------------
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

  // ---- Source list ---------------------------------------------------------
  // (CommonLibSourceFiles.cpp)

  // What the list operations need beyond the list. NewMediaGraph makes the
  // throwaway graph of one AddSourceFiles call; the others may stay empty.
  struct SourceListServices {
    std::function<std::unique_ptr<MediaGraph>()> NewMediaGraph;
    std::function<void()> ShowCodeErrorForm;      // the codec-missing dialog, modal
    std::function<void()> SyncMarkerToSelection;  // the marker follows the selection
  };
  void SetSourceListServices(SourceListServices services);

  // Appends a row for each name that is new (exact comparison), has a source
  // extension and a duration of at least one second; a file without one gets
  // the codec-missing dialog and no row. Then the first row is selected and
  // the marker follows. Throws FileError, without adding that row, when a
  // file's size cannot be read; throws std::logic_error without services.
  void AddSourceFiles(SourceFileList& list, const std::vector<std::string>& names);
  // Runs the dialog in `folder`; the chosen names (repeats dropped when
  // `drop_repeats`), empty when cancelled.
  static std::vector<std::string> OpenSourceFiles(SourceFileDialog& dialog, bool drop_repeats,
                                                  const std::string& folder);
  // Each text once, first occurrences in their order.
  static std::vector<std::string> RemoveDuplicates(const std::vector<std::string>& texts);
  // Deletes the selected rows; the row just before the focused one becomes
  // focused and selected unless it went too.
  void RemoveSelectedFiles(SourceFileList& list);
  // Deletes every row; false when that failed.
  bool ClearFileList(SourceFileList& list);
  // Size in bytes; throws FileError naming the file when it cannot be read.
  static int64_t GetFileSize(const std::string& file_name);
  // Whole seconds (cut toward zero) as `graph` measures the file; 0 on any
  // failure.
  static int64_t GetMediaDuration(const std::string& file_name, MediaGraph& graph);
  // The extension test of adding: ".mp3" and the other source types, any case.
  static bool IsSourceFileName(const std::string& file_name);

  // ---- Batch conversion ----------------------------------------------------
  // (CommonLibBatch.cpp)

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
  void SetPowerSwitch(PowerSwitch* power) { power_ = power; }
  void SetFolderOpener(std::function<void(const std::string&)> opener) {
    folder_opener_ = std::move(opener);
  }

 private:
  TAppFunc& app_;
  TSysFunc& sys_;
  UserInterface& ui_;

  // True while `runner`'s engine runs under the file name `name`; logs the
  // look-up miss otherwise.
  bool EngineRunsAs(const TAdvanceSystem* runner, const std::string& name);

  // ---- Source list and batch conversion ----
  SourceListServices source_services_;
  PowerSwitch* power_ = nullptr;
  std::function<void(const std::string&)> folder_opener_;
};

// A box with OK (kind 1), Yes/No (2) or Yes/No/Cancel (3) and the information
// icon; returns the button code, or 0 and no box for any other kind.
int ShowMsgBox(UserInterface& ui, const std::string& text, int kind);

// The folder browser (folders only). A `folder` that is not an existing
// directory is cleared first; it receives the chosen folder. False on cancel.
bool BrowseForFolder(UserInterface& ui, const std::string& title, const std::string& root,
                     std::string& folder);
