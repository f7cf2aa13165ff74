// Fuzzes the batch's reading of the engine's output: the chunks the engine
// prints become the progress window's bars (TCustomProc::EngineOutputCallback
// and actRefreshProgressExecute). Whatever the engine prints, a bar stays in
// its range and nothing crashes.
//
// Input layout: the first byte picks the line shape (bit 0: a "-vcodec" line
// instead of "-acodec", bit 1: a ".3gp" output) and the job counters (bits
// 2-7); the rest, split at NUL, is the segment length text (TCustomProc::
// Duration) followed by the chunks, fed in order.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "UnitCustomProc.h"
#include "Unit_CommonLib.h"
#include "UserInterface.h"
#include "UtilityObjects.h"

namespace {

// Reading the progress asks no questions and lets no events run; the batch's
// windows are only told that Progress changed.
class SilentUi : public UserInterface {
 public:
  int MessageBox(const std::string&, MessageIcon, MessageButtons) override { return IDNO; }
  bool BrowseForFolder(const std::string&, const std::string&, std::string&) override {
    return false;
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    return std::nullopt;
  }
  void ProcessMessages() override {}
  void Pause(int) override {}
};

class CountingWindows : public BatchWindows {
 public:
  void ShowProgressWindow() override {}
  void HideProgressWindow() override {}
  void SetMainWindowEnabled(bool) override {}
  void ProgressChanged() override { ++changes; }
  bool ShowOutputDirectoryWhenDone() const override { return false; }
  bool ShutdownWhenDone() const override { return false; }
  void EndApplication() override {}
  OutputProcedure ToUiThread(OutputProcedure procedure) override { return procedure; }
  int changes = 0;
};

void CheckBars(const ConvertingProgress& p) {
  const int fileTop = p.FileMax < p.FileMin ? p.FileMin : p.FileMax;
  if (p.FilePosition < p.FileMin || p.FilePosition > fileTop) {
    fuzz::Fail("file bar at " + std::to_string(p.FilePosition) + " outside " +
               std::to_string(p.FileMin) + ".." + std::to_string(p.FileMax));
  }
  if (p.TotalPosition < 0 || p.TotalPosition > p.TotalMax) {
    fuzz::Fail("total bar at " + std::to_string(p.TotalPosition) + " outside 0.." +
               std::to_string(p.TotalMax));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t shape = data[0];
  std::vector<std::string> pieces(1);
  for (size_t i = 1; i < size; ++i) {
    if (data[i] == 0) {
      pieces.emplace_back();
    } else {
      pieces.back().push_back(static_cast<char>(data[i]));
    }
  }

  SilentUi ui;
  TAppFunc app(fuzz::ScratchFolder());
  TSysFunc sys;
  TFileFunc files;
  TCommonLib common(app, sys, ui);
  common.AppPath = fuzz::ScratchFolder();
  ConversionInputsData inputs = ConversionInputsData::WithDefaults();
  TCustomProc proc(common, app, files, inputs);
  CountingWindows windows;
  proc.SetBatchWindows(&windows);

  TConvertParameterStruct& parameter = common.ConvertParameter;
  parameter.SourceFile = "/music/song.mp3";
  parameter.CodecOption = (shape & 1) ? " -vcodec mpeg4" : " -acodec mp3 -vn";
  parameter.OutputExtension = (shape & 2) ? ".3gp" : ".mp3";
  proc.TotalCount = 1 + ((shape >> 2) & 7);
  proc.CurrentIndex = (shape >> 5) % proc.TotalCount;
  proc.Duration = pieces[0];

  for (size_t i = 1; i < pieces.size(); ++i) {
    proc.EngineOutputCallback(pieces[i]);
    if (proc.Progress.Status != pieces[i]) fuzz::Fail("the status bar lost the chunk");
    CheckBars(proc.Progress);
  }
  if (windows.changes != static_cast<int>(pieces.size()) - 1)
    fuzz::Fail("a chunk reached no window");
  return 0;
}
