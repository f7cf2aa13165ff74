#include "FinishingForm.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "GuiErrors.h"

namespace {

QDoubleSpinBox* MakeSpin(const QString& name, double lowest, double highest, double step,
                         const QString& suffix, QWidget* parent) {
  auto* spin = new QDoubleSpinBox(parent);
  spin->setObjectName(name);
  // Typed values read with a "." whatever the desktop's language, as the
  // engine and the settings file write them.
  spin->setLocale(QLocale::c());
  spin->setDecimals(1);
  spin->setRange(lowest, highest);
  spin->setSingleStep(step);
  spin->setSuffix(suffix);
  spin->setAccelerated(true);
  spin->setMinimumWidth(110);
  return spin;
}

}  // namespace

FinishingForm::FinishingForm(QWidget* parent, UserInterface& ui, Apply apply)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint),
      ui_(ui),
      apply_(std::move(apply)) {
  setObjectName("frmFinishing");
  setWindowTitle("Finishing settings");
  setWindowModality(Qt::WindowModal);

  spnFadeIn = MakeSpin("spnFadeIn", 0, FinishingSettings::kMostFadeSeconds, 0.1, " s", this);
  spnFadeOut = MakeSpin("spnFadeOut", 0, FinishingSettings::kMostFadeSeconds, 0.1, " s", this);
  chkNormalizeLoudness = new QCheckBox("Normalize loudness", this);
  chkNormalizeLoudness->setObjectName("chkNormalizeLoudness");
  spnLoudnessTarget = MakeSpin("spnLoudnessTarget", FinishingSettings::kLowestTarget,
                               FinishingSettings::kHighestTarget, 1, " LUFS", this);
  lblFadeNote = new QLabel(
      "New default fades apply to rows added afterwards.\n"
      "Loudness normalization replaces the volume of the Options window.",
      this);
  lblFadeNote->setObjectName("lblFadeNote");
  btnOk = new QPushButton("OK", this);
  btnOk->setObjectName("btnOk");
  btnOk->setDefault(true);
  btnCancel = new QPushButton("Cancel", this);
  btnCancel->setObjectName("btnCancel");

  auto* fields = new QGridLayout;
  const auto add_row = [&](int row, const QString& text, QWidget* field) {
    auto* label = new QLabel(text, this);
    label->setBuddy(field);
    fields->addWidget(label, row, 0);
    fields->addWidget(field, row, 1);
  };
  add_row(0, "Default &fade-in:", spnFadeIn);
  add_row(1, "Default fade-&out:", spnFadeOut);
  fields->addWidget(chkNormalizeLoudness, 2, 0, 1, 2);
  add_row(3, "Loudness &target:", spnLoudnessTarget);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(btnOk);
  buttons->addWidget(btnCancel);
  auto* column = new QVBoxLayout(this);
  column->addLayout(fields);
  column->addWidget(lblFadeNote);
  column->addLayout(buttons);
  column->setSizeConstraint(QLayout::SetFixedSize);

  connect(chkNormalizeLoudness, &QCheckBox::toggled, spnLoudnessTarget, &QWidget::setEnabled);
  connect(btnOk, &QPushButton::clicked, this, &FinishingForm::btnOkClick);
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void FinishingForm::ShowSettings(const FinishingSettings& settings) {
  spnFadeIn->setValue(settings.FadeInSeconds);
  spnFadeOut->setValue(settings.FadeOutSeconds);
  chkNormalizeLoudness->setChecked(settings.NormalizeLoudness);
  spnLoudnessTarget->setValue(settings.LoudnessTarget);
  spnLoudnessTarget->setEnabled(settings.NormalizeLoudness);
  open();
  raise();
  activateWindow();
  spnFadeIn->setFocus();
}

FinishingSettings FinishingForm::Values() const {
  FinishingSettings settings;
  settings.FadeInSeconds = spnFadeIn->value();
  settings.FadeOutSeconds = spnFadeOut->value();
  settings.NormalizeLoudness = chkNormalizeLoudness->isChecked();
  settings.LoudnessTarget = spnLoudnessTarget->value();
  return settings;
}

void FinishingForm::btnOkClick() {
  // A half-typed value counts as typed, as it does in the list's cells.
  for (QDoubleSpinBox* spin : {spnFadeIn, spnFadeOut, spnLoudnessTarget}) spin->interpretText();
  bool applied = false;
  RunHandler(ui_, [&] {
    apply_(Values());
    applied = true;
  });
  if (applied) accept();
}
