#include "AppStartup.h"

#include <QCoreApplication>
#include <algorithm>
#include <filesystem>

#include "CompanionLibrary.h"
#include "DesktopTimeStamp.h"
#include "FileVersion.h"
#include "MainFormInputs.h"
#include "TonbrixCompanion.h"
#include "Unit_Convert.h"

void TApplicationContext::Terminate() {
  Terminated = true;
  // Ends the running message loop, if there is one; before the loop runs the
  // flag keeps it from starting. (exit() would instead make every later modal
  // box return at once, hiding the boxes still to come.)
  QCoreApplication::quit();
}

void TApplicationContext::EndAtOnce() {
  Terminated = true;
  // quit() would first close every window, running their close handlers.
  QCoreApplication::exit(0);
}

void InitApplication(TApplicationContext& context, TFrmMainForm& main_form) {
  // TCommonLib keeps the log and the process table it is given, and the
  // controller keeps all of them, so the utility objects come first.
  context.AppFunc = std::make_unique<TAppFunc>(context.AppDir);
  context.AppFunc->SetTimeStampFormatter(DesktopTimeStamp());
  context.SysFunc = std::make_unique<TSysFunc>();
  context.StrFunc = std::make_unique<TStrFunc>();
  context.FileFunc = std::make_unique<TFileFunc>();
  context.CommonLib = std::make_unique<TCommonLib>(*context.AppFunc, *context.SysFunc, context.Ui);
  context.CustomProc = std::make_unique<TCustomProc>(*context.CommonLib, *context.AppFunc,
                                                     *context.FileFunc, main_form.Inputs());
  // The one wiring step, before anything can reach the objects: the list,
  // the batch, the profiles and the preview work on the window's controls.
  main_form.WireProgramObjects();

  CheckSupportFiles(context);
  context.Ui.ProcessMessages();
  LoadSoftInfo(context);
  context.SoftInfo.AppPath = context.AppDir;
  context.CustomProc->Finishing = ReadFinishingSettings(context.AppDir);

  main_form.SetTitle(
      QString::fromStdString(context.SoftInfo.ProductName + " " + context.SoftInfo.VersionText));
}

bool CheckSupportFiles(TApplicationContext& context) {
  bool all_there = true;
  for (const char* name : kCompanionFiles) {
    std::error_code error;
    if (std::filesystem::exists(context.AppDir + name, error)) continue;
    all_there = false;
    ShowMsgBox(context.Ui,
               std::string("'") + name + "' is not found. Please reinstall this program.", 1);
    context.Terminate();
  }
  return all_there;
}

void LoadSoftInfo(TApplicationContext& context) {
  RecSoftInfo& info = context.SoftInfo;
  CompanionLibrary res(context.AppDir + "Res.dll");
  const auto load_string = res.Function<TonbrixLoadStringProc>(kResLoadStringExport);
  auto text = [&](unsigned id) -> std::string {
    // The string table's buffer: 254 characters, at most 253 of them text.
    char buffer[254] = {};
    if (load_string == nullptr) return {};
    const int count = load_string(id, buffer, sizeof buffer);
    if (count <= 0) return {};
    return std::string(buffer, std::min(static_cast<size_t>(count), sizeof buffer - 1));
  };
  info.CompanyName = text(0);
  info.ProductName = text(1);
  info.ResText2 = text(2);
  info.HomePage = text(4);
  info.EMail = text(5);
  info.ResText7 = text(7);
  info.VersionText = GetFileVersionText(context.ProgramFile);
}
