// MainFormProfileControls: the profile controls (ProfileControls) over the
// main window's output type and profile lists, its Options button, check
// boxes and output folder box, and the Options window's option lists and
// custom profile box. Selections set through it run no change handler.
//
// Created by the main window when the lists are first filled, owned by it
// (a child object). User-interface thread only.
#pragma once

#include <QObject>

#include "ProfileControls.h"

class QComboBox;
class TFrmMainForm;

class MainFormProfileControls : public QObject, public ProfileControls {
 public:
  explicit MainFormProfileControls(TFrmMainForm& form);

  OptionList List(ListControl list) const override;
  void AppendItems(ListControl list, const std::vector<std::string>& items) override;
  void ClearItems(ListControl list) override;
  void SetItemIndex(ListControl list, int index) override;
  bool ListEnabled(ListControl list) const override;
  void SetListEnabled(ListControl list, bool enabled) override;
  std::vector<std::string> CustomProfileNames() const override;
  void SetCustomProfileNames(const std::vector<std::string>& names) override;
  int CustomProfileIndex() const override;
  void SelectCustomProfile(int index) override;
  std::string CustomProfileText() const override;
  void SetCustomProfileText(const std::string& text) override;
  bool OptionsButtonEnabled() const override;
  void SetOptionsButtonEnabled(bool enabled) override;
  bool ShowOutputDirectoryChecked() const override;
  void SetShowOutputDirectoryChecked(bool checked) override;
  bool ShutdownChecked() const override;
  void SetShutdownChecked(bool checked) override;
  std::string OutputFolderText() const override;
  void SetOutputFolderText(const std::string& text) override;

 private:
  // The combo box of a list; throws std::logic_error while the Options window
  // is not there.
  QComboBox* Combo(ListControl list) const;
  QComboBox* CustomBox() const;

  TFrmMainForm& form_;
};
