// Helpers of the preview tests: sound files of chosen lengths made with the
// ffmpeg tool, source rows in the shape the list gives them, the command-line
// builder's view of a SourceFileList, and a controller wired to a real preview
// graph (silent output) and plain-data controls.
#pragma once

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTemporaryDir>
#include <QThread>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

#include "FfmpegMediaGraph.h"
#include "PreviewControls.h"
#include "SourceFileList.h"
#include "UnitCustomProc.h"
#include "Unit_CommonLib.h"
#include "UtilityObjects.h"

namespace preview_test {

// A 440 Hz tone of `seconds` in the folder of the test build, made the first
// time it is asked for (written under a temporary name, then renamed, so tests
// running side by side never see half a file). The extension picks the format.
inline std::string SoundFile(int seconds, const std::string& extension) {
  const std::filesystem::path folder = std::filesystem::path(TONBRIX_PREVIEW_FIXTURE_DIR);
  std::filesystem::create_directories(folder);
  const std::string name = "tone_" + std::to_string(seconds) + "s." + extension;
  const std::filesystem::path target = folder / name;
  if (std::filesystem::exists(target)) return target.string();
  const std::filesystem::path part = folder / (".part-" + std::to_string(::getpid()) + "-" + name);
  const std::string codec = extension == "mp3" ? "-c:a libmp3lame -b:a 128k" : "-c:a pcm_s16le";
  const std::string format = extension == "mp3" ? "mp3" : "wav";
  const std::string command =
      "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i \"sine=f=440:d=" +
      std::to_string(seconds) + ":r=44100\" -ac 2 " + codec + " -f " + format + " \"" +
      part.string() + "\"";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
  std::filesystem::rename(part, target);
  return target.string();
}

// A song-like file for looking at: noise that swells and falls with a beat,
// 3 minutes, MP3.
inline std::string SongFile() {
  const std::filesystem::path target =
      std::filesystem::path(TONBRIX_PREVIEW_FIXTURE_DIR) / "swelling_song.mp3";
  if (std::filesystem::exists(target)) return target.string();
  std::filesystem::create_directories(target.parent_path());
  const std::filesystem::path part =
      target.parent_path() / (".part-" + std::to_string(::getpid()) + "-swelling_song.mp3");
  const std::string command =
      "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "
      "\"anoisesrc=d=180:a=0.9:r=44100,volume='(0.25+0.75*abs(sin(t/19)))*(0.55+0.45*"
      "gt(mod(t,0.5),0.25))':eval=frame\" -ac 2 -c:a libmp3lame -b:a 128k -f mp3 \"" +
      part.string() + "\"";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("ffmpeg failed: " + command);
  std::filesystem::rename(part, target);
  return target.string();
}

// A row as the list adds it, with the segment given.
inline SourceRow Row(const std::string& file, const std::string& duration, const std::string& start,
                     const std::string& end, const std::string& cut) {
  return SourceRow{"True", file, "1 MB", duration, start, end, cut};
}

// Runs pending events like the program does; a box would be a fault here.
class EventLoopUserInterface : public UserInterface {
 public:
  int MessageBox(const std::string& text, MessageIcon, MessageButtons) override {
    throw std::logic_error("unexpected message box: " + text);
  }
  bool BrowseForFolder(const std::string&, const std::string&, std::string&) override {
    throw std::logic_error("unexpected folder browser");
  }
  std::optional<std::string> InputBox(const std::string&, const std::string&,
                                      const std::string&) override {
    throw std::logic_error("unexpected input box");
  }
  void ProcessMessages() override { QCoreApplication::processEvents(); }
  void Pause(int milliseconds) override { QThread::msleep(milliseconds); }
};

// The command-line builder reads the same rows as the marker writes.
class ListInputs : public ConversionInputsData {
 public:
  explicit ListInputs(const SourceFileList& list) : list_(list) {}
  int SourceRowCount() const override { return list_.RowCount(); }
  std::string SourceCell(int row, SourceColumn column) const override {
    return list_.Cell(row, column);
  }

 private:
  const SourceFileList& list_;
};

// A controller with everything it needs: the log in a temporary program
// folder, the real preview graph on the silent output, plain-data controls.
struct Controller {
  Controller()
      : app(folder.path().toStdString() + "/"),
        common(app, sys, ui),
        inputs(list),
        graph(FfmpegMediaGraph::Output::Silent),
        proc(common, app, files, inputs) {
    proc.SetPreviewCollaborators(&graph, &list, &controls);
    graph.SetOnTimer(
        [this](MediaGraph&, int64_t current, int64_t stop) { proc.PreviewTimer(current, stop); });
  }

  std::string Log() const {
    std::ifstream in(folder.filePath("log.txt").toStdString());
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

  QTemporaryDir folder;
  EventLoopUserInterface ui;
  TAppFunc app;
  TSysFunc sys;
  TFileFunc files;
  TCommonLib common;
  SourceFileList list;
  ListInputs inputs;
  FfmpegMediaGraph graph;
  PreviewControlsData controls;
  TCustomProc proc;
};

}  // namespace preview_test
