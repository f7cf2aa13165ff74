// TfrmOption: the "Options" window. It holds the eight option lists that the
// next conversion reads (four visible audio lists, four video lists kept
// hidden in GroupBox1) and the custom profile box with Add, Save and Delete.
// Modeless: the main window stays usable while it is open. Showing it takes a
// snapshot of the nine selections; Cancel (or Esc) restores it, OK (or Enter)
// refills the main window's profile list; the title bar's close button only
// hides it.
//
// One instance, created hidden at program entry, owned by the main window
// (its parent, which must be the TFrmMainForm). User-interface thread only.
#pragma once

#include <QDialog>

#include "ProfileControls.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class TFrmMainForm;

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOption(QWidget* main_window);
  ~TfrmOption() override;

  // The option list of that control (one of the eight option lists), or null
  // for the main window's lists.
  QComboBox* OptionCombo(ListControl list) const;

  // ---- handlers ------------------------------------------------------------
  void FormShow();
  void cbbCustomProfileChange();
  void btnAddClick();
  void btnSaveClick();
  void btnDelClick();
  void btnApplyClick();
  void btnCancelClick();

  // The nine selections taken on show: the eight option lists in the order
  // video size, video bitrate, frame rate, aspect ratio, audio bitrate, sample
  // rate, volume, channels, then cbbCustomProfile (-1 for none).
  int Snapshot[9] = {-1, -1, -1, -1, -1, -1, -1, -1, -1};

  // ---- controls ------------------------------------------------------------
  QLabel* lblCustomProfile;
  QComboBox* cbbCustomProfile;
  QPushButton* btnAdd;
  QPushButton* btnSave;
  QPushButton* btnDel;
  QGroupBox* grpAdvOptions;
  QLabel* lblAudioBitrate;
  QComboBox* cbbAudioBitrate;
  QLabel* lblSample;
  QComboBox* cbbAudioSample;
  QLabel* lblVolume;
  QComboBox* cbbAudioVolumeGain;
  QLabel* lblChannels;
  QComboBox* cbbAudioChannels;
  QPushButton* btnApply;
  QPushButton* btnCancel;

  QGroupBox* GroupBox1;  // hidden, below the visible area
  QLabel* lblVideoSize;
  QComboBox* cbbVideoSize;
  QLabel* lblVideoBitrate;
  QComboBox* cbbVideoBitrate;
  QLabel* lblFrameRate;
  QComboBox* cbbFramerate;
  QLabel* lblAspectRatio;
  QComboBox* cbbAspectratio;

 protected:
  void showEvent(QShowEvent* event) override;
  // The title bar's close button hides the window and nothing more.
  void closeEvent(QCloseEvent* event) override;
  // Esc is Cancel.
  void reject() override;

 private:
  TFrmMainForm* MainForm() const;
  // Replaces the custom profile box's list with the stored profile names.
  void ReloadCustomProfiles();
  void ReloadAndSelectLast();
  // A person's typing in the custom profile box: the typed name selects the
  // entry it names, any other text selects none.
  void CustomProfileEdited(const QString& text);
};
