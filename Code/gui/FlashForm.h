// TFrmFlashForm: the splash window that covers the initialisation. It shows
// Res.dll's picture, runs InitApplication 250 ms after it appears and closes
// itself once the initialisation is done and at least two seconds have passed.
//
// Created for each use by ShowFlashForm, owned by the main window. User-
// interface thread only.
#pragma once

#include <QDialog>
#include <QImage>
#include <functional>

#include "ApplicationContext.h"

class QLabel;
class QTimer;
class TFrmMainForm;

class TFrmFlashForm : public QDialog {
  Q_OBJECT

 public:
  // The picture's pixels are drawn two to a window pixel: it is made for 2x
  // screens and stays sharp on them.
  static constexpr int kPictureRatio = 2;

  // `initialise` runs on the first Timer1 tick.
  TFrmFlashForm(const QImage& picture, std::function<void()> initialise, UserInterface& ui,
                QWidget* owner);

  int Ticks() const { return FTicks; }

  // Shows the splash modally and returns once it has closed, with its result.
  int exec() override;

  QLabel* ImgFlash;
  QTimer* Timer1;
  QTimer* Timer2;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void Timer1Timer();
  void Timer2Timer();

  std::function<void()> initialise_;
  UserInterface& ui_;
  int FTicks = 0;
};

// Shows the splash modally with the picture of the program folder's Res.dll
// and returns when it has closed. Without a picture to show (Res.dll missing
// or without one) the initialisation runs at once, uncovered, and reports the
// missing file itself.
void ShowFlashForm(TApplicationContext& context, TFrmMainForm& main_form);
