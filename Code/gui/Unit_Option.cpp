#include "Unit_Option.h"

TfrmOption::TfrmOption(QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("frmOption");
  setWindowTitle("Options");
  setFixedSize(476, 198);
  setModal(false);
}
