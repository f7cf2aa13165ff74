// TfrmOption: the "Options" window with the audio options of the next
// conversion and the custom profiles. Modeless: the main window stays usable
// while it is open. Its lists come with the profiles.
//
// One instance, created hidden at program entry, owned by the main window.
// User-interface thread only.
#pragma once

#include <QDialog>

class TfrmOption : public QDialog {
  Q_OBJECT

 public:
  explicit TfrmOption(QWidget* main_window);
};
