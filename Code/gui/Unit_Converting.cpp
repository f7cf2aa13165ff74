#include "Unit_Converting.h"

TfrmConverting::TfrmConverting(QWidget* main_window)
    : QDialog(main_window, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName("frmConverting");
  setWindowTitle("Converting");
  setFixedSize(420, 190);
}
