// The program for the window tests that convert: a program folder in a
// temporary folder holding copies of the built evc.exe, Res.dll and Form.dll
// and an empty Config/ (so log.txt, VideoFile.avs and the settings land
// there), the windows created as program entry does, the process-wide objects
// made by InitApplication (without the splash), a launcher and a power switch
// that only record, the option lists filled and the list and batch connected.
// Real widgets on the offscreen platform.
#pragma once

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>
#include <memory>

#include "AppStartup.h"
#include "FfmpegMediaGraph.h"
#include "QtUserInterface.h"
#include "RecordingLauncher.h"
#include "RecordingPowerSwitch.h"
#include "TonbrixProgram.h"
#include "Unit_Convert.h"

class AppRig {
 public:
  AppRig() {
    for (const char* name : {"Res.dll", "Form.dll", "evc.exe"}) {
      const QString target = folder_.filePath(name);
      QFile::copy(QStringLiteral(TONBRIX_APP_DIR) + name, target);
      QFile::setPermissions(target, QFile::permissions(QStringLiteral(TONBRIX_APP_DIR) + name));
    }
    QDir(folder_.path()).mkdir("Config");
    context =
        std::make_unique<TApplicationContext>(AppDir(), TONBRIX_APP_DIR "tonbrix", ui, launcher);
    program = std::make_unique<TonbrixProgram>(
        *context, std::make_unique<FfmpegMediaGraph>(FfmpegMediaGraph::Output::Silent));
    Form().PowerOffSwitch = &power;
    InitApplication(*context, Form());
    // The set-up steps of the main window's show handler, without the splash.
    Form().InitOptionLists();
    Form().ApplyProfile();
    Form().ConnectSourceList();
  }

  std::string AppDir() const { return (folder_.path() + "/").toStdString(); }
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
