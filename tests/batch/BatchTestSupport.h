// The batch without windows: a TCustomProc over plain inputs in a temporary
// program folder, with a recorder of the windows it drives and of the
// after-job actions, a user interface that runs the engine's queued output
// whenever the batch lets events run, and (unless asked for the real machine)
// a fake of the machine's processes.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../core/TempFolder.h"
#include "../list/ListFixtures.h"
#include "../support/FakeProcessEnv.h"
#include "../support/RecordingPowerSwitch.h"
#include "UnitCustomProc.h"

namespace batch_test {

class RecordingWindows : public BatchWindows {
 public:
  explicit RecordingWindows(TCustomProc*& proc, list_test::ScriptedUi& ui) : proc_(proc), ui_(ui) {}

  void ShowProgressWindow() override {
    ++ShowCalls;
    if (!Shown) {
      ++FormShows;  // the show handler runs only for a hidden window
      proc_->ProgressFormShow();
    }
    Shown = true;
  }
  void HideProgressWindow() override { Shown = false; }
  void SetMainWindowEnabled(bool enabled) override { MainEnabled = enabled; }
  void ProgressChanged() override { ++ProgressChanges; }
  bool ShowOutputDirectoryWhenDone() const override { return ShowOutputDirectory; }
  bool ShutdownWhenDone() const override { return Shutdown; }
  void EndApplication() override { ++Ended; }
  OutputProcedure ToUiThread(OutputProcedure procedure) override {
    return [this, procedure](const std::string& chunk) {
      ui_.Post([procedure, chunk] { procedure(chunk); });
    };
  }

  bool ShowOutputDirectory = true;
  bool Shutdown = false;
  bool Shown = false;
  bool MainEnabled = true;
  int ShowCalls = 0;
  int FormShows = 0;
  int ProgressChanges = 0;
  int Ended = 0;

 private:
  TCustomProc*& proc_;
  list_test::ScriptedUi& ui_;
};

// A program folder (without an engine unless one is copied in), an output
// folder and the controller wired to the recorders. Its processes are the
// fake's (`processes`, on the clock of the user interface's pauses) unless
// the rig is made over the real machine.
class BatchRig {
 public:
  enum class Machine { Fake, Real };

  explicit BatchRig(Machine machine = Machine::Fake)
      : app(program.Path()),
        sys(machine == Machine::Real ? ProcessEnv::Default() : processes),
        common(app, sys, ui),
        inputs(ConversionInputsData::WithDefaults()),
        proc_(common, app, files, inputs),
        windows(proc_pointer_, ui) {
    proc_pointer_ = &proc_;
    common.AppPath = program.Path();
    inputs.OutputFolder = output.Path();
    proc_.SetBatchWindows(&windows);
    common.SetPowerSwitch(&power);
    common.SetFolderOpener([this](const std::string& folder) { OpenedFolders.push_back(folder); });
    processes.Clock = [this] { return static_cast<int>(ui.PausedMs); };
  }

  TCustomProc& Proc() { return proc_; }

  // Appends a row with a whole segment of `duration` ("00:00:05").
  void AddRow(const std::string& file, bool checked, const std::string& start = "00:00:00",
              const std::string& end = "00:00:05") {
    list.AppendRow({checked ? "True" : "False", file, "1 KB", end, start, end, end});
    inputs.Rows.push_back({checked ? "True" : "False", file, "1 KB", end, start, end, end});
  }

  // The "parameter: " lines of log.txt, without the stamp.
  std::vector<std::string> ParameterLines() const {
    std::ifstream log(program.Path() + "log.txt");
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(log, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      const auto at = line.find("|parameter: ");
      if (at != std::string::npos) lines.push_back(line.substr(at + 12));
    }
    return lines;
  }

  TempFolder program;
  TempFolder output;
  TAppFunc app;
  fake_process::Env processes;
  TSysFunc sys;
  TFileFunc files;
  list_test::ScriptedUi ui;
  TCommonLib common;
  ConversionInputsData inputs;
  SourceFileList list;
  RecordingPowerSwitch power;
  std::vector<std::string> OpenedFolders;

 private:
  TCustomProc* proc_pointer_ = nullptr;
  TCustomProc proc_;

 public:
  RecordingWindows windows;
};

}  // namespace batch_test
