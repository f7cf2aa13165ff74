#include "QtSourceFileDialog.h"

#include <QFileDialog>

QtSourceFileDialog::QtSourceFileDialog(QFileDialog* dialog, QObject* parent)
    : QObject(parent), dialog_(dialog) {}

void QtSourceFileDialog::SetInitialDir(const std::string& folder) {
  dialog_->setDirectory(QString::fromStdString(folder));
}

std::vector<std::string> QtSourceFileDialog::Execute() {
  std::vector<std::string> names;
  dialog_->selectNameFilter(dialog_->nameFilters().value(0));
  if (dialog_->exec() != QDialog::Accepted) return names;
  for (const QString& file : dialog_->selectedFiles()) names.push_back(file.toStdString());
  return names;
}
