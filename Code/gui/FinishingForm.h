// FinishingForm: the "Finishing settings" window. It shows the default fade-in
// and fade-out of new rows and the loudness normalization with its target,
// and hands the values to its owner on OK; Cancel (or Esc) leaves everything
// as it was. Where the values are kept is the owner's business
// (FinishingCommands writes Config/Finishing.ini).
//
// Window-modal over the main window, opened without a nested event loop. A
// child of the main window; user-interface thread only.
#pragma once

#include <QDialog>
#include <functional>

#include "FinishingSettings.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class UserInterface;

class FinishingForm : public QDialog {
  Q_OBJECT

 public:
  // `apply` takes the values on OK; when it throws, the reason is shown in a
  // message box through `ui` and the window stays open with the values.
  using Apply = std::function<void(const FinishingSettings&)>;
  FinishingForm(QWidget* parent, UserInterface& ui, Apply apply);

  // Fills the controls from `settings` and opens the window.
  void ShowSettings(const FinishingSettings& settings);
  // What the controls hold now.
  FinishingSettings Values() const;

  void btnOkClick();

  QDoubleSpinBox* spnFadeIn;
  QDoubleSpinBox* spnFadeOut;
  QCheckBox* chkNormalizeLoudness;
  QDoubleSpinBox* spnLoudnessTarget;
  QLabel* lblFadeNote;
  QPushButton* btnOk;
  QPushButton* btnCancel;

 private:
  UserInterface& ui_;
  Apply apply_;
};
