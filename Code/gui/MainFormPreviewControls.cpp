#include "MainFormPreviewControls.h"

#include <QLabel>
#include <QSlider>

#include "MarkerBar.h"
#include "Unit_Convert.h"

MainFormPreviewControls::MainFormPreviewControls(TFrmMainForm& form) : form_(form) {}

std::string MainFormPreviewControls::CurrentTimeText() const {
  return form_.pnlCurTime->text().toStdString();
}

void MainFormPreviewControls::SetCurrentTimeText(const std::string& text) {
  form_.pnlCurTime->setText(QString::fromStdString(text));
}

bool MainFormPreviewControls::LogoVisible() const { return !form_.panLogo->isHidden(); }

void MainFormPreviewControls::SetLogoVisible(bool visible) { form_.panLogo->setVisible(visible); }

void MainFormPreviewControls::SetTickerPosition(int position) {
  form_.dstrckbrMainform->setValue(position);
}

int MainFormPreviewControls::StartImageWidth() const {
  return form_.MarkerBar()->StartImageWidth();
}

void MainFormPreviewControls::SetStartImageWidth(int width) {
  form_.MarkerBar()->SetStartImageWidth(width);
}

int MainFormPreviewControls::EndImageWidth() const { return form_.MarkerBar()->EndImageWidth(); }

void MainFormPreviewControls::SetEndImageWidth(int width) {
  form_.MarkerBar()->SetEndImageWidth(width);
}

int MainFormPreviewControls::StartHandleLeft() const { return form_.Splitter1->x(); }

int MainFormPreviewControls::EndHandleLeft() const { return form_.Splitter2->x(); }

void MainFormPreviewControls::RepaintEndHandle() { form_.Splitter2->update(); }

void MainFormPreviewControls::ShowWaveformOf(const std::string& file) {
  form_.MarkerBar()->ShowWaveformOf(QString::fromStdString(file));
}
