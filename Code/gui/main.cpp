// Program entry: the application object titled "Tonbrix", the windows, and the
// message loop. Nothing of the program exists before main runs: the process-
// wide objects are made by the splash's InitApplication.
#include <QApplication>
#include <filesystem>
#include <iostream>

#include "Artwork.h"
#include "CommandLineTools.h"
#include "FfmpegMediaGraph.h"
#include "FileVersion.h"
#include "PowerSwitch.h"
#include "QtUserInterface.h"
#include "ShellLauncher.h"
#include "TonbrixProgram.h"
#include "Unit_Convert.h"

// The program file's version, read back by GetFileVersionText for the title.
TONBRIX_EMBED_FILE_VERSION(TONBRIX_FILE_VERSION)

int main(int argc, char* argv[]) {
  // The command-line tools run before the application object exists, so they
  // need no display; without their arguments the program starts as always.
  if (const std::optional<int> tool = RunCommandLineTool(argc, argv, std::cout, std::cerr)) {
    return *tool;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tonbrix");
  QApplication::setWindowIcon(QIcon(artwork::Picture("logo", QSize(64, 64), 2)));

  QtUserInterface ui(QStringLiteral("Tonbrix"));
  DesktopLauncher launcher;
  std::error_code error;
  const std::filesystem::path program = std::filesystem::read_symlink("/proc/self/exe", error);
  TApplicationContext context(ProgramFolder(), program.string(), ui, launcher);

  TonbrixProgram tonbrix(context, std::make_unique<FfmpegMediaGraph>());
  // The real power-off request exists only here: tests never reach it.
  SystemPowerSwitch power;
  tonbrix.MainForm().PowerOffSwitch = &power;
  return tonbrix.Run();
}
