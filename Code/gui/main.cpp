// Program entry: the application object titled "Tonbrix", the main window, and
// the message loop.
#include <QApplication>

#include "Unit_Convert.h"

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Tonbrix");
  QApplication::setApplicationDisplayName("Tonbrix");

  TFrmMainForm main_form;
  main_form.show();
  return app.exec();
}
