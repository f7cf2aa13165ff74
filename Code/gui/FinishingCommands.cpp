#include "FinishingCommands.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>

#include "ApplicationContext.h"
#include "FinishingForm.h"
#include "HookSuggestionRunner.h"
#include "UnitCustomProc.h"
#include "Unit_Convert.h"
#include "Unit_Option.h"
#include "WaveformView.h"

FinishingCommands::FinishingCommands(TFrmMainForm& form, TApplicationContext& context,
                                     WaveformView& view)
    : QObject(&form),
      form_(form),
      context_(context),
      options_(form.frmOption),
      options_object_(form.frmOption),
      hooks_(new HookSuggestionRunner(form, context, view)) {
  connect(&view, &WaveformView::finishingSettingsRequested, this,
          &FinishingCommands::ShowFinishingSettings);
  // The settings are read at start-up after this is made, and may have
  // loudness on: the Options window is brought up to date as it opens.
  if (options_ != nullptr) options_->installEventFilter(this);
  ShowVolumeOverride();
}

bool FinishingCommands::eventFilter(QObject* watched, QEvent* event) {
  // Compared as a plain address: the filter also sees the events of the
  // windows' teardown, when neither the main window's members nor the
  // Options window's own class may be touched.
  if (watched == options_object_ && event->type() == QEvent::Show) ShowVolumeOverride();
  return QObject::eventFilter(watched, event);
}

void FinishingCommands::ShowFinishingSettings() {
  if (context_.CustomProc == nullptr) return;
  if (form_window_ == nullptr) {
    form_window_ = new FinishingForm(
        &form_, context_.Ui,
        [this](const FinishingSettings& settings) { ApplyFinishingSettings(settings); });
  }
  form_window_->ShowSettings(context_.CustomProc->Finishing);
}

void FinishingCommands::ApplyFinishingSettings(const FinishingSettings& settings) {
  // Kept only once stored, so that what the program uses is what it will
  // read at the next start.
  WriteFinishingSettings(context_.AppDir, settings);
  context_.CustomProc->Finishing = settings;
  ShowVolumeOverride();
}

void FinishingCommands::ShowVolumeOverride() {
  TfrmOption* options = options_;
  if (options == nullptr || context_.CustomProc == nullptr) return;
  const FinishingSettings& settings = context_.CustomProc->Finishing;
  QComboBox* volume = options->cbbAudioVolumeGain;
  if (volume_note_ == nullptr) {
    volume_tip_ = volume->toolTip();
    volume_label_tip_ = options->lblVolume->toolTip();
    // Under the two rows of lists, inside the group.
    volume_note_ = new QLabel(options->grpAdvOptions);
    volume_note_->setObjectName("lblVolumeOverridden");
    volume_note_->setGeometry(8, 86, 444, 16);
    volume_note_->setStyleSheet("color: #2ec4b6; font-size: 11px;");
  }
  const bool on = settings.NormalizeLoudness;
  const QString note = QString("Normalize loudness (%1 LUFS) replaces the volume")
                           .arg(QString::number(settings.LoudnessTarget, 'g', 4));
  volume->setEnabled(!on);
  volume->setToolTip(on ? note : volume_tip_);
  options->lblVolume->setToolTip(on ? note : volume_label_tip_);
  volume_note_->setText(note);
  volume_note_->setVisible(on);
}
