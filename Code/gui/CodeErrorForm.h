// TFrmCodeErrorForm: the "Error Info" dialog shown for an added file whose
// length cannot be read, with a link to the help page's section on the formats
// Tonbrix can read and what to install for the others.
//
// Created for each use by ShowCodeErrorForm, owned by the main window. User-
// interface thread only.
#pragma once

#include <QDialog>
#include <QLabel>

#include "ShellLauncher.h"

class QPushButton;

// A label that reports clicks: the dialog's link.
class TLinkLabel : public QLabel {
  Q_OBJECT

 public:
  using QLabel::QLabel;

 signals:
  void clicked();

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override;
};

class TFrmCodeErrorForm : public QDialog {
  Q_OBJECT

 public:
  // `app_dir`: the program folder, where the help page lies.
  TFrmCodeErrorForm(ShellLauncher& launcher, UserInterface& ui, const QString& app_dir,
                    QWidget* owner);

  // Opens the codec help in the default browser (or says where it is); the
  // dialog stays open.
  void Label2Click();

  QLabel* Image1;
  QLabel* Label1;
  TLinkLabel* Label2;
  QPushButton* BitBtn1;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void PlaceLink();

  ShellLauncher& launcher_;
  UserInterface& ui_;
  QString app_dir_;
};

// Shows a new codec-missing dialog modally over `owner`; returns its result
// (QDialog::Accepted for OK).
int ShowCodeErrorForm(ShellLauncher& launcher, UserInterface& ui, const QString& app_dir,
                      QWidget* owner);
