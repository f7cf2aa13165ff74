// MainFormPreviewControls: the main window's preview controls as TCustomProc's
// preview and marker see them (PreviewControls): the time label, the logo,
// the ticker, the marker bar's images and handles. Owned by the main window,
// which it reads and does not own. User-interface thread only.
#pragma once

#include <string>

#include "PreviewControls.h"

class TFrmMainForm;

class MainFormPreviewControls : public PreviewControls {
 public:
  explicit MainFormPreviewControls(TFrmMainForm& form);

  std::string CurrentTimeText() const override;
  void SetCurrentTimeText(const std::string& text) override;
  bool LogoVisible() const override;
  void SetLogoVisible(bool visible) override;
  void SetTickerPosition(int position) override;
  int StartImageWidth() const override;
  void SetStartImageWidth(int width) override;
  int EndImageWidth() const override;
  void SetEndImageWidth(int width) override;
  int StartHandleLeft() const override;
  int EndHandleLeft() const override;
  void RepaintEndHandle() override;
  void ShowWaveformOf(const std::string& file) override;

 private:
  TFrmMainForm& form_;
};
