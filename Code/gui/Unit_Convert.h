// TFrmMainForm: the main window.
#pragma once

#include <QWidget>

class TFrmMainForm : public QWidget {
  Q_OBJECT

 public:
  explicit TFrmMainForm(QWidget* parent = nullptr);
};
