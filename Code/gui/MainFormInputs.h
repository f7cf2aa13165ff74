// MainFormInputs: what the command-line builder reads from the windows, taken
// from the main window's controls (the source list, the output type, the
// output folder box) and the Options window's option lists.
//
// Owned by the main window; user-interface thread only.
#pragma once

#include <functional>

#include "UnitCustomProc.h"

class TFrmMainForm;

class MainFormInputs : public ConversionInputs {
 public:
  explicit MainFormInputs(TFrmMainForm& form) : form_(form) {}

  int SourceRowCount() const override;
  std::string SourceCell(int row, SourceColumn column) const override;
  RowFades SourceFades(int row) const override;
  int OutputTypeIndex() const override;
  // The list of that name on the Options window; empty while it has none.
  OptionList Options(OptionListId list) const override;
  std::string OutputFolderText() const override;
  // TCustomProc::ApplyCustomProfile: the custom profile selected in the
  // Options window. Throws std::logic_error before TCustomProc exists.
  void ApplyCustomProfile() override;

 private:
  TFrmMainForm& form_;
};
