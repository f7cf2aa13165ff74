// TfrmConverting: the progress window of a batch conversion ("Converting").
// Its bars, texts and Stop button come with the batch conversion.
//
// One instance, created hidden at program entry, owned by the main window.
// User-interface thread only.
#pragma once

#include <QDialog>

class TfrmConverting : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmConverting(QWidget* main_window);
};
