// Answers a modal box in a test, without a person: a message box, an input box
// or the folder browser that the code under test opens next.
//
// Arm the answer before the call that opens the box; the box's own event loop
// runs the answer:
//
//   auto answer = ModalAnswer::PressButton(QMessageBox::Yes);
//   int code = ShowMsgBox(ui, "Stop converting?", 2);   // opens, is answered
//   QVERIFY(answer->Answered());
//   QCOMPARE(answer->Seen().title, QString("Tonbrix"));
//
//   auto name = ModalAnswer::TypeText("My profile");   // or CancelInput()
//   auto folder = ModalAnswer::ChooseFolder("/tmp/out"); // or CancelFolder()
//
// An answer waits for a modal widget of its kind (QMessageBox, QInputDialog,
// QFileDialog) to become the active modal widget, records what the box showed
// (Seen) and answers it once. When no such box opens within the timeout it
// gives up and Answered() stays false, so a test that expects no box can check
// that too. A message box without the wanted button is closed with done(-1)
// and recorded as ButtonMissing, so a wrong box never hangs a test.
//
// Use on the user-interface thread of a QApplication (the offscreen platform
// serves). The returned object must be kept while the box may open.
//
// Qt's file dialogs remember their history and last folder in the user's
// QtProject.conf, shared by every test on the machine; a folder another test
// visited (say /proc) can make the next dialog read a file that never ends.
// Call UsePrivateQtSettings() at the top of main, before the QApplication is
// made, in every test that opens a file dialog (TONBRIX_QTEST_MAIN does).
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>

// Points Qt's per-user settings (XDG_CONFIG_HOME) at a fresh folder of this
// test run, removed when the process exits.
void UsePrivateQtSettings();

// QTEST_MAIN with private Qt settings (include <QtTest> before using it).
#define TONBRIX_QTEST_MAIN(TestObject) \
  QTEST_MAIN_WRAPPER(TestObject, UsePrivateQtSettings(); QTEST_MAIN_SETUP())

class ModalAnswer : public QObject {
 public:
  // What the answered box showed.
  struct Box {
    QString kind;   // "QMessageBox", "QInputDialog" or "QFileDialog"
    QString title;  // window title
    QString text;   // message text, input prompt, or the browser's start folder
    QString value;  // the input box's initial text
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool folders_only = false;  // the folder browser shows folders only
    bool modal = false;         // the box was application modal
  };

  static std::shared_ptr<ModalAnswer> PressButton(QMessageBox::StandardButton button,
                                                  int timeout_ms = 10000);
  static std::shared_ptr<ModalAnswer> TypeText(const QString& text, int timeout_ms = 10000);
  static std::shared_ptr<ModalAnswer> CancelInput(int timeout_ms = 10000);
  static std::shared_ptr<ModalAnswer> ChooseFolder(const QString& folder, int timeout_ms = 10000);
  static std::shared_ptr<ModalAnswer> CancelFolder(int timeout_ms = 10000);

  bool Answered() const { return answered_; }
  bool ButtonMissing() const { return button_missing_; }
  const Box& Seen() const { return seen_; }

 private:
  enum class Action { Press, Type, CancelInput, Choose, CancelFolder };
  ModalAnswer(Action action, QMessageBox::StandardButton button, QString text, int timeout_ms);
  static std::shared_ptr<ModalAnswer> Arm(Action action, QMessageBox::StandardButton button,
                                          const QString& text, int timeout_ms);
  void Poll();

  Action action_;
  QMessageBox::StandardButton button_;
  QString text_;
  QTimer poll_;
  QTimer give_up_;
  bool answered_ = false;
  bool button_missing_ = false;
  Box seen_;
};
