// QtSourceFileDialog: the main window's open dialog (dlgOpenSourceFile) as the
// list operations see it (SourceFileDialog). A child QObject of the main
// window; the QFileDialog belongs to the main window too. User-interface
// thread only.
#pragma once

#include <QObject>
#include <string>
#include <vector>

#include "SourceListEditor.h"

class QFileDialog;

class QtSourceFileDialog : public QObject, public SourceFileDialog {
 public:
  QtSourceFileDialog(QFileDialog* dialog, QObject* parent);

  void SetInitialDir(const std::string& folder) override;
  // The chosen files; none when the dialog was cancelled. The first filter
  // ("Supported Files") is chosen again at every opening.
  std::vector<std::string> Execute() override;

 private:
  QFileDialog* dialog_;
};
