// FinishingCommands: the finishing commands of the main window. The waveform
// view's "Finishing" button (and F6) opens the finishing settings window; its
// OK writes Config/Finishing.ini and updates TCustomProc::Finishing, which
// the command lines and new rows read. With loudness normalization on, the
// Options window's volume list is shown as overridden (disabled, with a note
// naming the target): its value, the profiles and the other configuration
// files stay as they are, and the list looks as before once it is off.
// "Suggest hook" (and F7) is run by the HookSuggestionRunner it holds.
//
// A child of the main window, made with the waveform editor; the windows and
// TCustomProc belong to the program. User-interface thread only.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include "FinishingSettings.h"

class FinishingForm;
class HookSuggestionRunner;
class QLabel;
class TApplicationContext;
class TFrmMainForm;
class TfrmOption;
class WaveformView;

class FinishingCommands : public QObject {
  Q_OBJECT

 public:
  FinishingCommands(TFrmMainForm& form, TApplicationContext& context, WaveformView& view);

  // Opens the finishing settings window with the settings in use.
  void ShowFinishingSettings();
  // Writes `settings` to Config/Finishing.ini (throws FileError when it
  // cannot), then makes them the settings in use and shows the volume list
  // accordingly.
  void ApplyFinishingSettings(const FinishingSettings& settings);
  // The Options window's volume list as the settings in use want it.
  void ShowVolumeOverride();

  // Null until the window is first opened.
  FinishingForm* Form() const { return form_window_; }
  HookSuggestionRunner& Hooks() const { return *hooks_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TFrmMainForm& form_;
  TApplicationContext& context_;
  // The Options window (made before the main window's preview is wired).
  QPointer<TfrmOption> options_;
  const QObject* options_object_;  // the same, only to recognise its events
  FinishingForm* form_window_ = nullptr;
  HookSuggestionRunner* hooks_;
  // The volume list's own tooltips, given back when loudness is off again.
  QString volume_tip_;
  QString volume_label_tip_;
  QLabel* volume_note_ = nullptr;
};
