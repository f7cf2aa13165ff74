#include "Unit_Option.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

#include "GuiErrors.h"
#include "Unit_Convert.h"

namespace {

QLabel* MakeLabel(const char* name, const char* text, QWidget* parent, const QRect& geometry) {
  auto* label = new QLabel(QString::fromLatin1(text), parent);
  label->setObjectName(name);
  label->setGeometry(geometry);
  return label;
}

// A drop-down list without free text.
QComboBox* MakeList(const char* name, QWidget* parent, const QRect& geometry) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  combo->setGeometry(geometry);
  return combo;
}

QPushButton* MakeButton(const char* name, const char* text, QWidget* parent,
                        const QRect& geometry) {
  auto* button = new QPushButton(QString::fromLatin1(text), parent);
  button->setObjectName(name);
  button->setGeometry(geometry);
  button->setAutoDefault(false);
  return button;
}

constexpr char kProfileFile[] = "UserProfileInfo.ini";

// The smaller type a dialog of this size needs; the colours, the buttons and
// the arrows come from the program's one look (AppTheme.h).
const char kOptionStyle[] = R"(
  QLabel { color: #c9d2e6; font-size: 11px; }
  QGroupBox {
    color: #c9d2e6; font-size: 12px; border: 1px solid #34415c; border-radius: 6px;
    margin-top: 8px;
  }
  QGroupBox::title { subcontrol-origin: margin; left: 10px; padding: 0 4px; }
  QComboBox { font-size: 11px; padding: 1px 4px; }
  QComboBox::drop-down { width: 16px; }
)";

// The option lists in the order of the snapshot taken on show.
constexpr ListControl kSnapshotOrder[8] = {
    ListControl::VideoSize,       ListControl::VideoBitrate, ListControl::Framerate,
    ListControl::Aspectratio,     ListControl::AudioBitrate, ListControl::AudioSample,
    ListControl::AudioVolumeGain, ListControl::AudioChannels};

}  // namespace

TfrmOption::TfrmOption(QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                               Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                               Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("frmOption");
  setWindowTitle("Options");
  setFixedSize(476, 198);
  setModal(false);
  setStyleSheet(kOptionStyle);

  lblCustomProfile = MakeLabel("lblCustomProfile", "Custom Profile:", this, {12, 16, 96, 24});
  cbbCustomProfile = new QComboBox(this);
  cbbCustomProfile->setObjectName("cbbCustomProfile");
  cbbCustomProfile->setGeometry(110, 14, 168, 28);
  cbbCustomProfile->setEditable(true);
  cbbCustomProfile->setInsertPolicy(QComboBox::NoInsert);
  // Typing selects only the entry it names exactly; no completion.
  cbbCustomProfile->setCompleter(nullptr);
  btnAdd = MakeButton("btnAdd", "Add", this, {286, 14, 56, 28});
  btnSave = MakeButton("btnSave", "Save", this, {348, 14, 56, 28});
  btnDel = MakeButton("btnDel", "Delete", this, {410, 14, 56, 28});

  grpAdvOptions = new QGroupBox("Advanced Options", this);
  grpAdvOptions->setObjectName("grpAdvOptions");
  grpAdvOptions->setGeometry(8, 50, 460, 104);
  lblAudioBitrate =
      MakeLabel("lblAudioBitrate", "Audio Bitrate(kbps):", grpAdvOptions, {8, 26, 128, 24});
  cbbAudioBitrate = MakeList("cbbAudioBitrate", grpAdvOptions, {136, 24, 54, 26});
  lblSample = MakeLabel("lblSample", "Audio Sample(khz):", grpAdvOptions, {198, 26, 118, 24});
  cbbAudioSample = MakeList("cbbAudioSample", grpAdvOptions, {316, 24, 136, 26});
  lblVolume = MakeLabel("lblVolume", "Audio Volume(%):", grpAdvOptions, {8, 62, 128, 24});
  cbbAudioVolumeGain = MakeList("cbbAudioVolumeGain", grpAdvOptions, {136, 60, 54, 26});
  lblChannels = MakeLabel("lblChannels", "Audio Channels:", grpAdvOptions, {198, 62, 118, 24});
  cbbAudioChannels = MakeList("cbbAudioChannels", grpAdvOptions, {316, 60, 136, 26});

  btnApply = MakeButton("btnApply", "OK", this, {318, 162, 72, 28});
  btnApply->setDefault(true);
  btnCancel = MakeButton("btnCancel", "Cancel", this, {396, 162, 72, 28});

  // The video options: filled, set by profiles and read by the command line,
  // never shown.
  GroupBox1 = new QGroupBox("GroupBox1", this);
  GroupBox1->setObjectName("GroupBox1");
  GroupBox1->setGeometry(8, 210, 460, 104);
  lblVideoSize = MakeLabel("lblVideoSize", "Video Size:", GroupBox1, {10, 26, 122, 24});
  cbbVideoSize = MakeList("cbbVideoSize", GroupBox1, {132, 24, 82, 28});
  lblVideoBitrate =
      MakeLabel("lblVideoBitrate", "Video Bitrate(kbps):", GroupBox1, {226, 26, 110, 24});
  cbbVideoBitrate = MakeList("cbbVideoBitrate", GroupBox1, {336, 24, 110, 28});
  lblFrameRate = MakeLabel("lblFrameRate", "Frame Rate(fps):", GroupBox1, {10, 64, 122, 24});
  cbbFramerate = MakeList("cbbFramerate", GroupBox1, {132, 62, 82, 28});
  lblAspectRatio = MakeLabel("lblAspectRatio", "Aspect Ratio:", GroupBox1, {226, 64, 110, 24});
  cbbAspectratio = MakeList("cbbAspectratio", GroupBox1, {336, 62, 110, 28});
  for (QWidget* hidden : std::initializer_list<QWidget*>{
           lblVideoSize, cbbVideoSize, lblVideoBitrate, cbbVideoBitrate, lblFrameRate, cbbFramerate,
           lblAspectRatio, cbbAspectratio, GroupBox1}) {
    hidden->setVisible(false);
  }

  connect(cbbCustomProfile, &QComboBox::activated, this, &TfrmOption::cbbCustomProfileChange);
  connect(cbbCustomProfile->lineEdit(), &QLineEdit::textEdited, this,
          &TfrmOption::CustomProfileEdited);
  connect(btnAdd, &QPushButton::clicked, this, &TfrmOption::btnAddClick);
  connect(btnSave, &QPushButton::clicked, this, &TfrmOption::btnSaveClick);
  connect(btnDel, &QPushButton::clicked, this, &TfrmOption::btnDelClick);
  connect(btnApply, &QPushButton::clicked, this, &TfrmOption::btnApplyClick);
  connect(btnCancel, &QPushButton::clicked, this, &TfrmOption::btnCancelClick);
}

TfrmOption::~TfrmOption() {
  // The dialog's own destructor hides it, which takes the focus from the
  // profile name; an editable combo box reports that as activated, and the
  // handler must not run on a half-destroyed window.
  cbbCustomProfile->disconnect(this);
  cbbCustomProfile->lineEdit()->disconnect(this);
}

QComboBox* TfrmOption::OptionCombo(ListControl list) const {
  switch (list) {
    case ListControl::AudioBitrate:
      return cbbAudioBitrate;
    case ListControl::AudioSample:
      return cbbAudioSample;
    case ListControl::AudioChannels:
      return cbbAudioChannels;
    case ListControl::AudioVolumeGain:
      return cbbAudioVolumeGain;
    case ListControl::VideoSize:
      return cbbVideoSize;
    case ListControl::VideoBitrate:
      return cbbVideoBitrate;
    case ListControl::Framerate:
      return cbbFramerate;
    case ListControl::Aspectratio:
      return cbbAspectratio;
    case ListControl::OutputFiletype:
    case ListControl::Profile:
      break;
  }
  return nullptr;
}

TFrmMainForm* TfrmOption::MainForm() const { return qobject_cast<TFrmMainForm*>(parentWidget()); }

void TfrmOption::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // A window coming back from the task bar is no new showing.
  if (event->spontaneous()) return;
  if (TFrmMainForm* main = MainForm()) RunHandler(main->Context().Ui, [this] { FormShow(); });
}

void TfrmOption::closeEvent(QCloseEvent* event) { event->accept(); }

void TfrmOption::reject() { btnCancelClick(); }

void TfrmOption::ReloadCustomProfiles() {
  TFrmMainForm* main = MainForm();
  if (main == nullptr || main->Context().CommonLib == nullptr) return;
  main->Profiles().SetCustomProfileNames(
      main->Context().CommonLib->GetConfigSections(kProfileFile));
}

void TfrmOption::ReloadAndSelectLast() {
  ReloadCustomProfiles();
  ProfileControls& controls = MainForm()->Profiles();
  controls.SelectCustomProfile(static_cast<int>(controls.CustomProfileNames().size()) - 1);
}

void TfrmOption::FormShow() {
  TFrmMainForm* main = MainForm();
  if (main == nullptr) return;
  ReloadCustomProfiles();
  ProfileControls& controls = main->Profiles();
  // With no name in the box, the custom profile chosen in the main window is
  // shown as selected (nothing for a built-in quality); it is not applied.
  if (controls.CustomProfileText().empty()) {
    controls.SelectCustomProfile(main->cbbProfile->currentIndex() - 5);
  }
  for (int i = 0; i < 8; ++i) Snapshot[i] = OptionCombo(kSnapshotOrder[i])->currentIndex();
  Snapshot[8] = cbbCustomProfile->currentIndex();
}

void TfrmOption::CustomProfileEdited(const QString& text) {
  const int named = cbbCustomProfile->findText(text, Qt::MatchExactly);
  if (named != cbbCustomProfile->currentIndex()) {
    const QSignalBlocker quiet(cbbCustomProfile);
    const int cursor = cbbCustomProfile->lineEdit()->cursorPosition();
    cbbCustomProfile->setCurrentIndex(named);
    cbbCustomProfile->setEditText(text);
    cbbCustomProfile->lineEdit()->setCursorPosition(cursor);
  }
  cbbCustomProfileChange();
}

void TfrmOption::cbbCustomProfileChange() {
  TFrmMainForm* main = MainForm();
  if (main == nullptr || main->Context().CustomProc == nullptr) return;
  RunHandler(main->Context().Ui, [main] { main->Context().CustomProc->ApplyCustomProfile(); });
}

void TfrmOption::btnAddClick() {
  TFrmMainForm* main = MainForm();
  if (main == nullptr || main->Context().CustomProc == nullptr) return;
  RunHandler(main->Context().Ui, [this, main] {
    main->Context().CustomProc->AddCustomProfile();
    ReloadAndSelectLast();
  });
}

void TfrmOption::btnSaveClick() {
  TFrmMainForm* main = MainForm();
  if (main == nullptr || main->Context().CustomProc == nullptr) return;
  RunHandler(main->Context().Ui, [this, main] {
    main->Context().CustomProc->SaveCustomProfile();
    ReloadAndSelectLast();
  });
}

void TfrmOption::btnDelClick() {
  TFrmMainForm* main = MainForm();
  if (main == nullptr || main->Context().CustomProc == nullptr) return;
  RunHandler(main->Context().Ui, [this, main] {
    main->Context().CustomProc->DeleteCustomProfile();
    // An empty list selects nothing and so clears the text as well.
    ReloadAndSelectLast();
  });
}

void TfrmOption::btnApplyClick() {
  TFrmMainForm* main = MainForm();
  if (main != nullptr && main->Context().CustomProc != nullptr) {
    RunHandler(main->Context().Ui, [main] {
      main->Profiles().ClearItems(ListControl::Profile);
      main->Context().CustomProc->FillProfiles(ListControl::Profile);
    });
  }
  hide();
}

void TfrmOption::btnCancelClick() {
  TFrmMainForm* main = MainForm();
  if (main != nullptr) {
    ProfileControls& controls = main->Profiles();
    for (int i = 0; i < 8; ++i) controls.SetItemIndex(kSnapshotOrder[i], Snapshot[i]);
    controls.SelectCustomProfile(Snapshot[8]);
  }
  hide();
}
