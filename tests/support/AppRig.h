// The program for the window tests: a program folder in a temporary folder
// holding copies of the built evc.exe, Res.dll, Form.dll and Help.html and an
// empty Config/ (so log.txt, VideoFile.avs and the settings land there), and
// the program started the way program entry starts it: the windows created in
// their order, the main window shown through its show handler (the splash,
// InitApplication, the option lists, the drop target, the first profile).
// Only the launcher and the power switch are recorders. Real widgets on the
// offscreen platform. `before_start` may write settings files into the
// program folder (its path ends in "/") before the program reads them.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <functional>
#include <memory>

#include "FfmpegMediaGraph.h"
#include "ProcessTable.h"
#include "QtUserInterface.h"
#include "RecordingLauncher.h"
#include "RecordingPowerSwitch.h"
#include "TonbrixProgram.h"
#include "Unit_Convert.h"

class AppRig {
 public:
  explicit AppRig(const std::function<void(const std::string& app_dir)>& before_start = {}) {
    for (const char* name : {"Res.dll", "Form.dll", "evc.exe", "Help.html"}) {
      const QString target = folder_.filePath(name);
      QFile::copy(QStringLiteral(TONBRIX_APP_DIR) + name, target);
      QFile::setPermissions(target, QFile::permissions(QStringLiteral(TONBRIX_APP_DIR) + name));
    }
    QDir(folder_.path()).mkdir("Config");
    if (before_start) before_start(AppDir());
    context =
        std::make_unique<TApplicationContext>(AppDir(), TONBRIX_APP_DIR "tonbrix", ui, launcher);
    program = std::make_unique<TonbrixProgram>(
        *context, std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent));
    Form().PowerOffSwitch = &power;
    program->ShowMainWindow();
  }

  std::string AppDir() const { return (folder_.path() + "/").toStdString(); }
  // True while this rig's own evc.exe runs. Engines of other test runs or
  // other users on the machine carry the same name but are not this
  // program's, and Stop leaves them alone.
  bool EngineRunning() const {
    const std::string engine = AppDir() + "evc.exe";
    for (const ProcessEntry& entry : ListProcesses()) {
      if (ExePathMatches(entry, engine)) return true;
    }
    return false;
  }
  TFrmMainForm& Form() { return program->MainForm(); }
  SourceFileList& List() { return Form().SourceFiles(); }

  QtUserInterface ui;
  RecordingLauncher launcher;
  RecordingPowerSwitch power;
  std::unique_ptr<TApplicationContext> context;
  std::unique_ptr<TonbrixProgram> program;

 private:
  QTemporaryDir folder_;
};
