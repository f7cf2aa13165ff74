// The main window's part in the profiles and the user settings: filling the
// lists at start, the output type and profile handlers, saving the settings
// at close, and the profile controls over the widgets.
#include "MainFormProfiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <stdexcept>

#include "GuiErrors.h"
#include "PictureButton.h"
#include "Unit_Convert.h"
#include "Unit_Option.h"

namespace {

QString FromText(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

// ---- MainFormProfileControls ------------------------------------------------------

MainFormProfileControls::MainFormProfileControls(TFrmMainForm& form)
    : QObject(&form), form_(form) {}

QComboBox* MainFormProfileControls::Combo(ListControl list) const {
  if (list == ListControl::OutputFiletype) return form_.cbbOutputFiletype;
  if (list == ListControl::Profile) return form_.cbbProfile;
  if (form_.frmOption == nullptr) throw std::logic_error("The Options window is not there");
  return form_.frmOption->OptionCombo(list);
}

QComboBox* MainFormProfileControls::CustomBox() const {
  if (form_.frmOption == nullptr) throw std::logic_error("The Options window is not there");
  return form_.frmOption->cbbCustomProfile;
}

OptionList MainFormProfileControls::List(ListControl list) const {
  const QComboBox* combo = Combo(list);
  OptionList result;
  for (int i = 0; i < combo->count(); ++i) result.Items.push_back(combo->itemText(i).toStdString());
  result.ItemIndex = combo->currentIndex();
  return result;
}

void MainFormProfileControls::AppendItems(ListControl list, const std::vector<std::string>& items) {
  QComboBox* combo = Combo(list);
  const QSignalBlocker quiet(combo);
  for (const std::string& item : items) combo->addItem(FromText(item));
}

void MainFormProfileControls::ClearItems(ListControl list) {
  QComboBox* combo = Combo(list);
  const QSignalBlocker quiet(combo);
  combo->clear();
}

void MainFormProfileControls::SetItemIndex(ListControl list, int index) {
  QComboBox* combo = Combo(list);
  const QSignalBlocker quiet(combo);
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

bool MainFormProfileControls::ListEnabled(ListControl list) const {
  return Combo(list)->isEnabled();
}

void MainFormProfileControls::SetListEnabled(ListControl list, bool enabled) {
  Combo(list)->setEnabled(enabled);
}

std::vector<std::string> MainFormProfileControls::CustomProfileNames() const {
  const QComboBox* box = CustomBox();
  std::vector<std::string> names;
  for (int i = 0; i < box->count(); ++i) names.push_back(box->itemText(i).toStdString());
  return names;
}

void MainFormProfileControls::SetCustomProfileNames(const std::vector<std::string>& names) {
  QComboBox* box = CustomBox();
  const QSignalBlocker quiet(box);
  const QString text = box->currentText();
  box->clear();
  for (const std::string& name : names) box->addItem(FromText(name));
  box->setCurrentIndex(-1);
  box->setEditText(text);
}

int MainFormProfileControls::CustomProfileIndex() const { return CustomBox()->currentIndex(); }

void MainFormProfileControls::SelectCustomProfile(int index) {
  QComboBox* box = CustomBox();
  const QSignalBlocker quiet(box);
  box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
  if (box->currentIndex() < 0) box->setEditText(QString());
}

std::string MainFormProfileControls::CustomProfileText() const {
  return CustomBox()->currentText().toStdString();
}

void MainFormProfileControls::SetCustomProfileText(const std::string& text) {
  QComboBox* box = CustomBox();
  const QSignalBlocker quiet(box);
  box->setEditText(FromText(text));
}

bool MainFormProfileControls::OptionsButtonEnabled() const { return form_.btnOptions->isEnabled(); }

void MainFormProfileControls::SetOptionsButtonEnabled(bool enabled) {
  form_.btnOptions->setEnabled(enabled);
}

bool MainFormProfileControls::ShowOutputDirectoryChecked() const {
  return form_.chkShowOutputDirectory->isChecked();
}

void MainFormProfileControls::SetShowOutputDirectoryChecked(bool checked) {
  form_.chkShowOutputDirectory->setChecked(checked);
}

bool MainFormProfileControls::ShutdownChecked() const { return form_.chkShutdown->isChecked(); }

void MainFormProfileControls::SetShutdownChecked(bool checked) {
  form_.chkShutdown->setChecked(checked);
}

std::string MainFormProfileControls::OutputFolderText() const {
  return form_.edtOutputFolder->text().toStdString();
}

void MainFormProfileControls::SetOutputFolderText(const std::string& text) {
  form_.edtOutputFolder->setText(FromText(text));
}

// ---- TFrmMainForm ---------------------------------------------------------------

ProfileControls& TFrmMainForm::Profiles() {
  if (profile_controls_ == nullptr) {
    profile_controls_ = new MainFormProfileControls(*this);
    // A person's choice only: selections set by the program emit no
    // activated signal.
    connect(cbbOutputFiletype, &QComboBox::activated, this, &TFrmMainForm::cbbOutputFiletypeChange);
    connect(cbbProfile, &QComboBox::activated, this, &TFrmMainForm::cbbProfileChange);
  }
  return *profile_controls_;
}

void TFrmMainForm::InitOptionLists() {
  if (context_.CustomProc == nullptr) return;  // the start-up ended before the objects
  context_.CustomProc->InitOptionLists();
}

void TFrmMainForm::ApplyProfile() {
  if (context_.CustomProc != nullptr) context_.CustomProc->ApplyProfile();
}

void TFrmMainForm::cbbOutputFiletypeChange() {
  RunHandler(context_.Ui, [this] { ApplyProfile(); });
}

void TFrmMainForm::cbbProfileChange() {
  RunHandler(context_.Ui, [this] { ApplyProfile(); });
}

// Closing must end the program whatever happens here: a settings file that
// cannot be written (Config/ missing or read-only) is logged, not shown.
void TFrmMainForm::SaveUserSettingsAtClose() {
  if (context_.CustomProc == nullptr) return;
  try {
    context_.CustomProc->SaveUserSettings();
  } catch (const std::exception& error) {
    try {
      if (context_.AppFunc != nullptr) {
        context_.AppFunc->WriteLog(std::string("Save user settings error. ->") + error.what());
      }
    } catch (...) {
      // No log either: nothing more can be done on the way out.
    }
  }
}
