// A launcher for tests: records the addresses it is asked to open (help page,
// home page, output folder) instead of starting a browser or file manager.
#pragma once

#include <QUrl>
#include <vector>

#include "ShellLauncher.h"

class RecordingLauncher : public ShellLauncher {
 public:
  bool OpenUrl(const QUrl& url) override {
    Opened.push_back(url);
    return !Fails;
  }
  std::vector<QUrl> Opened;
  // Set to stand for a desktop without a browser or file manager.
  bool Fails = false;
};
