#include "Unit_Convert.h"

TFrmMainForm::TFrmMainForm(QWidget* parent) : QWidget(parent) {
  setWindowTitle("Tonbrix");
  resize(692, 456);
}
