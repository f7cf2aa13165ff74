// TFrmInitFileForm: the small busy window ("Installing File...") that covers
// the adding of source files chosen in the open dialog. Shown modally; 300 ms
// after it appears it adds the files it was handed, then closes itself, while
// a spinner at the end of its text turns once a second.
//
// One instance, created hidden at program entry and owned by the main window.
// User-interface thread only.
#pragma once

#include <QDialog>
#include <QStringList>
#include <functional>

#include "UserInterface.h"

class QFrame;
class QLabel;
class QTimer;

class TFrmInitFileForm : public QDialog {
  Q_OBJECT

 public:
  TFrmInitFileForm(UserInterface& ui, QWidget* main_window);

  // Takes over the names of the files to add.
  void SetFileList(QStringList files);

  // The adding itself: the source list's AddSourceFiles and SaveInitDir. An
  // error it raises goes to the error report; the window closes either way.
  std::function<void(const QStringList&)> AddFiles;

  // The spinner text of a step (1..4): "Installing File...  |" and so on.
  static QString StepText(int step);

  QFrame* bsSkinPanel1;
  QLabel* Image1;
  QLabel* lblInfo;
  QTimer* Timer1;
  QTimer* Timer2;

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  void Timer1Timer();
  void Timer2Timer();

  UserInterface& ui_;
  int FStep = 1;
  QStringList FFileList;
};
