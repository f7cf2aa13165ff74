// TCustomProc: the program's controller. This file holds the engine command
// line side: the segment look-ups of a source file and BuildCommandLine, which
// turns a source file, its segment, the chosen output type, the option lists
// and the output folder into the engine's command line (the logged text and
// the argument list the engine is started with).
//
// The controller reads the windows through ConversionInputs, which the main
// window implements over its widgets and tests implement over plain data.
//
// One instance for the whole run, created at start-up; every member is used on
// the user-interface thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AdvanceSystem.h"
#include "EngineCommand.h"
#include "FormatTables.h"
#include "MediaGraph.h"
#include "PreviewControls.h"
#include "ProfileControls.h"
#include "SegmentMarker.h"
#include "SourceFileList.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

// The eight option lists of the Options window.
enum class OptionListId : int {
  AudioBitrate,     // cbbAudioBitrate
  AudioSample,      // cbbAudioSample
  AudioChannels,    // cbbAudioChannels
  AudioVolumeGain,  // cbbAudioVolumeGain
  VideoSize,        // cbbVideoSize (hidden)
  VideoBitrate,     // cbbVideoBitrate (hidden)
  Framerate,        // cbbFramerate (hidden)
  Aspectratio,      // cbbAspectratio (hidden)
};

// What the command-line builder reads from the windows. Every call is made on
// the user-interface thread, while a build runs.
class ConversionInputs {
 public:
  virtual ~ConversionInputs() = default;

  // The rows of dxTreeSourceFileInfo, first to last, and the text of one cell.
  virtual int SourceRowCount() const = 0;
  virtual std::string SourceCell(int row, SourceColumn column) const = 0;

  // The selected index of cbbOutputFiletype (0 MP3 ... 6 WAV).
  virtual int OutputTypeIndex() const = 0;

  // The items and the current selection of one option list.
  virtual OptionList Options(OptionListId list) const = 0;

  // The text of the output folder box edtOutputFolder.
  virtual std::string OutputFolderText() const = 0;

  // Applies the custom profile selected in the Options window to the option
  // lists. Called by GetSegmentStart for every row of the file, so the option
  // lists must be read after it.
  virtual void ApplyCustomProfile() = 0;
};

// ConversionInputs over plain data: rows of seven cells, the output type, the
// eight lists and the folder text, with the custom-profile step supplied as a
// function. For callers that have no windows (tests, tools).
class ConversionInputsData : public ConversionInputs {
 public:
  std::vector<std::vector<std::string>> Rows;  // seven cells each
  int OutputType = 0;
  OptionList Lists[8];
  std::string OutputFolder;
  std::function<void(ConversionInputsData&)> CustomProfile;  // may be empty

  // Every list filled from its table with its default selection.
  static ConversionInputsData WithDefaults();

  OptionList& List(OptionListId id) { return Lists[static_cast<int>(id)]; }

  int SourceRowCount() const override;
  std::string SourceCell(int row, SourceColumn column) const override;
  int OutputTypeIndex() const override;
  OptionList Options(OptionListId list) const override;
  std::string OutputFolderText() const override;
  void ApplyCustomProfile() override;
};

// ---- Batch conversion ----
// What the progress window TfrmConverting shows, written by the batch.
struct ConvertingProgress {
  std::string CurFileName;                         // lblCurFileName
  std::string Persent = "Current: 1, Total: ...";  // lblPersent, the job counter
  std::string Status;                              // statState's panel: the latest chunk
  int FileMin = 0;                                 // ProgressBar1, the per-file bar
  int FileMax = 100;
  int FilePosition = 0;
  int TotalMax = 100;  // pbTotal, the overall bar
  int TotalPosition = 0;
};

// The windows as the batch drives them. The main window implements it over
// the progress window, its own enabled state and its two check boxes; tests
// implement it without windows. User-interface thread only.
class BatchWindows {
 public:
  virtual ~BatchWindows() = default;
  // Shows the progress window; when it was hidden, its show handler runs first.
  virtual void ShowProgressWindow() = 0;
  virtual void HideProgressWindow() = 0;
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  // TCustomProc::Progress changed.
  virtual void ProgressChanged() = 0;
  virtual bool ShowOutputDirectoryWhenDone() const = 0;  // chkShowOutputDirectory
  virtual bool ShutdownWhenDone() const = 0;             // chkShutdown
  // Ends the application at once (after the power-off request).
  virtual void EndApplication() = 0;
  // Wraps `procedure` so that calls from the worker thread only queue the
  // chunk and the procedure runs on the user-interface thread, chunk by chunk
  // in order, whenever window events run.
  virtual OutputProcedure ToUiThread(OutputProcedure procedure) = 0;
};

// A folder as the person or the settings file wrote it, made absolute: a
// leading "~" or "~user" becomes that home folder, and any other relative
// folder is taken inside the home folder (as the default output folder is), so
// the program and the engine, which runs in the program folder, mean the same
// folder wherever the program was started. An absolute or empty text is
// returned unchanged.
std::string AbsoluteFolder(const std::string& folder);

class TCustomProc {
 public:
  TCustomProc(TCommonLib& common, TAppFunc& app, TFileFunc& files, ConversionInputs& inputs);

  // The segment of the job being built (start text, whole seconds as decimal
  // text); written by every build, read by the progress window.
  std::string StartTime;
  std::string Duration;
  // The line of the last build (empty when no line shape fitted) and the
  // arguments the engine is to be started with.
  std::string CommandLine;
  EngineCommand LastCommand;

  // Builds the engine command line for `source`: fills ConvertParameter,
  // StartTime and Duration, creates the output folder, writes VideoFile.avs in
  // the program folder and picks a free output name. Returns the line, or
  // empty text when the codec option fits no line shape. Throws
  // ConversionError for a segment time that is no number and FileError when
  // VideoFile.avs or the log cannot be written.
  std::string BuildCommandLine(const std::string& source);

  // The start cell of the file's row (the last matching row wins); empty when
  // no row matches. Applies the selected custom profile once per matching row.
  std::string GetSegmentStart(const std::string& source);
  // End minus start of the file's row in whole seconds, as decimal text
  // (empty when no row matches) or as a number (0 when no row matches).
  std::string GetSegmentDuration(const std::string& source);
  int64_t GetSegmentSeconds(const std::string& source);

  // The output folder box's text made absolute (see AbsoluteFolder) and
  // ending in "/", created with its parents; logs "Output directory " +
  // folder, or "Output directory error. ->" + folder when it could not be
  // created.
  std::string GetOutputFolder();

  // Joins the pieces of `p` in the line shape its codec option chooses
  // ("-vcodec", "-target", "-acodec" narrow band for .amr/.3gp/.3g2 or plain
  // audio); `output_path` is asked for the output path only when a shape
  // fits. No value when none fits.
  static std::optional<EngineCommand> AssembleCommandLine(
      const TConvertParameterStruct& p, const std::function<std::string()>& output_path);

  // ---- Batch conversion (CustomProcBatch.cpp) ----
  // Jobs finished in the running batch (the 0-based number of the current
  // one), checked rows counted at its start, the list row it is at, and the
  // progress refreshes seen in the current job.
  int CurrentIndex = 0;
  int TotalCount = 0;
  int RowIndex = 0;
  int RefreshCount = 0;
  // Set by Stop; lives until the end of the batch.
  bool StopRequested = false;
  // What the progress window shows; the window mirrors it on ProgressChanged.
  ConvertingProgress Progress;

  // Connects the windows the batch drives; the main window does it once at
  // start-up. ConvertAll and the progress handlers throw std::logic_error
  // until then. Not owned.
  void SetBatchWindows(BatchWindows* windows) { batch_windows_ = windows; }

  // Converts every row of `list` whose first cell reads "True", one engine run
  // after the other, with the progress window up and the main window
  // disabled; then the after-job actions unless Stop was pressed. Runs the
  // window events nested inside its pauses. An error while building a job
  // ends the batch with the windows restored and goes on to the caller.
  void ConvertAll(const SourceFileList& list);
  bool BatchRunning() const { return batch_list_ != nullptr; }

  // One chunk of engine output, on the user-interface thread.
  void EngineOutputCallback(const std::string& chunk);
  // Every piece of the job's engine output, in order, each before the chunk
  // that ends with it (the chunks skip pieces of a backlog); user-interface
  // thread. A line that begins with the engine's "evc.exe: " gives its
  // reason for refusing the job: the whole line, however long and in however
  // many pieces it came, is logged as "Convert error. ->" + line and shown in
  // the status bar in place of the chunk that ended it.
  void EngineOutputRead(const std::string& piece);
  // The job's engine has ended and all its output was read: a reason line
  // without a final line break counts as well.
  void EngineOutputEnded();
  // Moves the bars from the status text (the latest chunk).
  void actRefreshProgressExecute();
  // The progress window's show handler: file name, counter, empty bars.
  void ProgressFormShow();
  // Stop: asks "Are you sure you want to stop the work ? "; on Yes ends the
  // engine and makes the current job the last, without after-job actions.
  void btnStop1Click();
  // The progress window's close box: asks "Are you sure to stop processing ?";
  // on Yes ends the engine and makes the current job the last. The window
  // hides whatever the answer.
  void ProgressFormClose();

  // ---- Profiles and user settings (CustomProcProfiles.cpp, CustomProcSettings.cpp) ----
  // The controls they work on, connected once at start-up by the main window;
  // until then every operation below throws std::logic_error.
  void SetProfileControls(ProfileControls* controls);
  // Fills cbbOutputFiletype, cbbProfile, the eight option lists and the custom
  // profile box, then LoadUserSettings.
  void InitOptionLists();
  // Appends the five qualities and the custom profile names to `list` (not
  // cleared) and selects "Normal Quality".
  void FillProfiles(ListControl list = ListControl::Profile);
  // Applies the chosen output type and profile to the option lists.
  void ApplyProfile();
  // The stored profile string of the entry selected in cbbCustomProfile; empty
  // when none is selected.
  std::string ReadCustomProfile();
  // Applies the custom profile selected in cbbCustomProfile. A stored field
  // that is no integer changes no list: the profile's entry is deselected (so
  // later conversions are not stopped by it again) and ConversionError names
  // the profile and the field.
  void ApplyCustomProfile();
  // The Options window's Add, Save and Delete. Throw FileError when a file
  // under Config/ cannot be written.
  void AddCustomProfile();
  void SaveCustomProfile();
  void DeleteCustomProfile();
  // Config/UserSettings.ini: the two check boxes and the output folder.
  // SaveUserSettings throws FileError when the file cannot be written.
  void LoadUserSettings();
  void SaveUserSettings();
  // The open dialog's folder ($HOME/ by default), and storing the folder of the
  // file the dialog returned (nothing for a name without a folder).
  std::string ReadInitDir();
  void SaveInitDir(const std::string& chosen_file_name);

  // ---- Preview player and segment marker (CustomProcPreview.cpp, CustomProcMarker.cpp) ----
  // The preview graph, the source list and the preview's controls, connected
  // once at start-up; until then every operation below throws
  // std::logic_error. None of them is owned.
  void SetPreviewCollaborators(MediaGraph* graph, SourceFileList* list, PreviewControls* controls);

  // The preview was last started, not paused or stopped.
  bool IsPlaying = false;
  // MarkerReady, MarkerDuration, PreviewStartSeconds and EndMarkerText.
  TMarkerState Marker;

  // Run, Pause or Stop the preview graph when it is active; nothing at all
  // while it is inactive. A media error is caught and shows the logo.
  void ResumePreview();
  void PausePreview();
  void StopPreview();
  // Loads `file_name` in the preview graph and starts it, at
  // PreviewStartSeconds once the marker has been placed. A file that does not
  // render fully logs "Playing Video error." and plays nothing.
  void OpenPreview(const std::string& file_name);
  // The ticker, once a second while the preview runs: shows the position,
  // pauses at EndMarkerText, stops at the end of the file.
  void PreviewTimer(int64_t current_pos_ms, int64_t stop_pos_ms);

  // Places the marker bar for the selected rows (a row whose file is loaded
  // in the preview is skipped); stops the preview for any other row.
  void SyncMarkerToSelection();
  // The start handle has moved: the selected rows take its time as Start
  // Time (held a second before each row's end), and a running preview moves
  // there.
  void SetStartTimeAndPlay();
  // The end handle has moved: the selected rows take its time as End Time
  // (held within the file and a second after the start), which also becomes
  // EndMarkerText.
  void Splitter2Moved();
  // A press on the image before the start handle (Panel2) or after the end
  // handle (Panel3): moves that handle outward by the press's nudge step.
  void NudgeStartHandle(segment_marker::MouseButton button,
                        const segment_marker::PressState& state);
  void NudgeEndHandle(segment_marker::MouseButton button, const segment_marker::PressState& state);
  // A committed cell edit: every selected row gets 0 <= start < end <=
  // duration, a part of at least one second, and Cut Time = end - start. A start or end cell that
  // is not a time hh:mm:ss is treated as cleared, every row is still treated, and then
  // ConversionError names the first such cell.
  void SourceFileInfoEdited();
  // A change in the Start Time editor: a selected row that has the focus
  // loses it.
  void SourceFileStartTimeChange();
  // An edge of the part dragged or nudged in the waveform editor to `second`
  // (CustomProcWaveform.cpp): the selected rows take it by the typed-time
  // rules, the marker's handles follow, and once `finished` a running
  // preview moves to a new start.
  void MoveWaveformEdge(segment_marker::Edge edge, int64_t second, bool finished);
  // A time cell in whole seconds, or `fallback` when it does not read as one.
  static int64_t CellSeconds(const SourceFileList& list, int row, SourceColumn column,
                             int64_t fallback);

 private:
  ProfileControls& Controls() const;
  std::string ConfigFile(const std::string& name) const;
  // The selected indexes of the six profile lists joined by "|".
  std::string CurrentProfileString() const;
  ProfileControls* profile_controls_ = nullptr;

  // Writes a row's Start, End and Cut Time for `part`.
  void SetPartCells(SourceFileList& list, int row, const segment_marker::Part& part);
  // Visits the rows whose file name cell equals `source` without regard to
  // the case of A-Z, first to last.
  void ForEachRowOf(const std::string& source, const std::function<void(int row)>& visit) const;
  // End minus start seconds of the last matching row; false when none matches.
  bool SegmentSeconds(const std::string& source, int64_t& seconds) const;
  void WriteScriptFile() const;

  TCommonLib& common_;
  TAppFunc& app_;
  TFileFunc& files_;
  ConversionInputs& inputs_;

  // ---- Batch conversion ----
  BatchWindows& Windows() const;
  void RunJob(const std::string& source);
  void FreeWorker();
  void EndBatch();
  // A complete line of engine output: logged and kept for the status bar when
  // it is the engine's reason.
  void EngineLineEnded();
  std::string engine_line_;    // the job's output since its last line break
  std::string engine_reason_;  // a reason line the status bar has not shown yet
  BatchWindows* batch_windows_ = nullptr;
  const SourceFileList* batch_list_ = nullptr;
  std::unique_ptr<TAdvanceSystem> worker_;

  // ---- Preview player and segment marker ----
  MediaGraph& PreviewGraph() const;
  SourceFileList& PreviewList() const;
  PreviewControls& PreviewView() const;
  // The running preview moves to `seconds`, when the marker is placed and the
  // graph is active; a failing seek is ignored.
  void SeekRunningPreview(int64_t seconds);
  MediaGraph* preview_graph_ = nullptr;
  SourceFileList* preview_list_ = nullptr;
  PreviewControls* preview_controls_ = nullptr;
};
