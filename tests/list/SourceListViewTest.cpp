// The source list window: dxTreeSourceFileInfo over the rows, and the main
// window's list commands (open dialog with the busy window, drops, remove,
// Delete, clear, drag out), with real files and the real media graph.
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "AppRig.h"
#include "InitFileForm.h"
#include "ListFixtures.h"
#include "ModalAnswer.h"
#include "PictureButton.h"
#include "SourceListView.h"

namespace {

// Accepts the next modal dialog that is not a message box (the codec-missing
// dialog), counting them.
class DialogCloser {
 public:
  DialogCloser() {
    poll_.setInterval(20);
    QObject::connect(&poll_, &QTimer::timeout, [this] {
      QWidget* modal = QApplication::activeModalWidget();
      auto* dialog = qobject_cast<QDialog*>(modal);
      if (dialog == nullptr || qobject_cast<QMessageBox*>(modal) != nullptr ||
          qobject_cast<TFrmInitFileForm*>(modal) != nullptr || seen_.contains(dialog)) {
        return;
      }
      seen_.append(dialog);
      ++Closed;
      static_cast<QDialog*>(dialog)->accept();
    });
    poll_.start();
  }
  int Closed = 0;

 private:
  QTimer poll_;
  QList<QDialog*> seen_;
};

QStringList Names(const SourceFileList& list) {
  QStringList names;
  for (int row = 0; row < list.RowCount(); ++row) {
    names << QString::fromStdString(list.Cell(row, SourceColumn::FileName));
  }
  return names;
}

}  // namespace

class SourceListViewTest : public QObject {
  Q_OBJECT

 private:
  QTemporaryDir sounds_;
  QString Sound(const QString& name) { return sounds_.filePath(name); }

 private slots:
  void initTestCase() {
    list_test::MakeTone(Sound("a.mp3").toStdString(), 3.2, "libmp3lame");
    list_test::MakeTone(Sound("b.wav").toStdString(), 2.1);
    list_test::MakeTone(Sound("c d.ogg").toStdString(), 4.0, "libvorbis");
    QFile broken(Sound("broken.mp3"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("no sound here");
  }

  void columnsCaptionsAndProportions() {
    SourceFileList* list = nullptr;
    TSourceListView view(nullptr);
    list = &view.List();
    view.resize(566, 179);
    view.show();
    QCOMPARE(view.objectName(), QString("dxTreeSourceFileInfo"));
    QCOMPARE(view.columnCount(), 7);
    const QStringList captions = {"",           "File Name", "File Size", "Duration",
                                  "Start Time", "End Time",  "Cut Time"};
    for (int column = 0; column < 7; ++column) {
      QCOMPARE(view.model()->headerData(column, Qt::Horizontal).toString(), captions[column]);
    }
    QCOMPARE(view.selectionMode(), QAbstractItemView::ExtendedSelection);
    QVERIFY(view.dragEnabled());
    QVERIFY(!view.rootIsDecorated());
    QVERIFY(view.header()->sectionsMovable());
    // 16 : 68 : 28 ... over the list's width.
    int total = 0;
    for (int column = 0; column < 7; ++column) total += view.columnWidth(column);
    QVERIFY(qAbs(total - view.viewport()->width()) <= 7);
    QVERIFY(qAbs(view.columnWidth(1) * 16 - view.columnWidth(0) * 68) <= 68);
    QVERIFY(qAbs(view.columnWidth(2) - view.columnWidth(5)) <= 1);
    view.resize(800, 179);
    QVERIFY(view.columnWidth(1) > 220);
    Q_UNUSED(list);
  }

  void checkBoxesAndTimeEditorsWriteTheRows() {
    TSourceListView view(nullptr);
    view.resize(566, 179);
    view.show();
    SourceFileList& list = view.List();
    list.AppendRow({"True", "/m/a.mp3", "1 KB", "00:00:30", "00:00:00", "00:00:30", "00:00:30"});
    QSignalSpy edited(&view, &TSourceListView::dxTreeSourceFileInfoEdited);
    QSignalSpy start_change(&view, &TSourceListView::dxtrlSourceFileStartTimeChange);
    QAbstractItemModel* model = view.model();

    QCOMPARE(model->data(model->index(0, 0), Qt::CheckStateRole).toInt(), int(Qt::Checked));
    QVERIFY(model->flags(model->index(0, 0)) & Qt::ItemIsUserCheckable);
    QVERIFY(model->setData(model->index(0, 0), Qt::Unchecked, Qt::CheckStateRole));
    QCOMPARE(list.Cell(0, SourceColumn::CheckStatus), std::string("False"));
    QCOMPARE(edited.count(), 1);
    // Only the check box and the two times can be changed.
    for (int column : {1, 2, 3, 6}) {
      QVERIFY(!(model->flags(model->index(0, column)) & Qt::ItemIsEditable));
      QVERIFY(!model->setData(model->index(0, column), "x", Qt::EditRole));
    }

    view.edit(model->index(0, 4));
    auto* editor = view.findChild<QLineEdit*>("dxtrlSourceFileStartTimeEditor");
    QVERIFY(editor != nullptr);
    QCOMPARE(editor->text(), QString("00:00:00"));
    QCOMPARE(editor->selectedText(), QString("00:00:00"));
    QTest::keyClicks(editor, "00:00:12");
    QVERIFY(start_change.count() > 0);
    QCOMPARE(start_change.last().at(1).toString(), QString("00:00:12"));
    // What the view does when the person presses Return in the editor.
    emit view.itemDelegate()->commitData(editor);
    QCOMPARE(list.Cell(0, SourceColumn::StartTime), std::string("00:00:12"));
    QCOMPARE(edited.count(), 2);
    QCOMPARE(edited.last().at(1).toInt(), 4);
  }

  void selectionFlowsBothWaysAndSurvivesRemovals() {
    TSourceListView view(nullptr);
    view.show();
    SourceFileList& list = view.List();
    for (const char* name : {"a", "b", "c", "d"})
      list.AppendRow({"True", name, "", "", "", "", ""});
    QItemSelectionModel* selection = view.selectionModel();
    selection->select(view.model()->index(1, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->select(view.model()->index(3, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
    selection->setCurrentIndex(view.model()->index(3, 1), QItemSelectionModel::NoUpdate);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{1, 3}));
    QCOMPARE(list.FocusedRow(), 3);

    // A row deleted from the list leaves the others' selection alone.
    list.DeleteRow(0);
    QCOMPARE(list.SelectedRows(), (std::vector<int>{0, 2}));
    QCOMPARE(selection->selectedRows().size(), 2);
    QCOMPARE(list.FocusedRow(), 2);
    list.ClearSelection();
    list.SetSelected(1, true);
    QCOMPARE(selection->selectedRows().size(), 1);
    QCOMPARE(selection->selectedRows().at(0).row(), 1);
  }

  void qtFilterFromTheDialogFilter_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("trailing empty pattern")
        << "Supported Files|*.aac;*.mp3;|WAV Audio Files (*.wav)|*.wav"
        << QStringList{"Supported Files (*.aac *.mp3)", "WAV Audio Files (*.wav) (*.wav)"};
    QTest::newRow("two patterns") << "MP2, MP3 Auido Files (*.mp2, mp3)|*.mp2;*.mp3"
                                  << QStringList{"MP2, MP3 Auido Files (*.mp2, mp3) (*.mp2 *.mp3)"};
    QTest::newRow("empty") << "" << QStringList{};
  }
  void qtFilterFromTheDialogFilter() {
    QFETCH(QString, filter);
    QFETCH(QStringList, expected);
    QCOMPARE(QtFilterFromDialogFilter(filter), expected);
  }

  void openDialogAddsThroughTheBusyWindow() {
    AppRig rig;
    QFileDialog* dialog = rig.Form().dlgOpenSourceFile;
    QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFiles);
    QVERIFY(dialog->nameFilters().at(0).startsWith("Supported Files (*.aac *.ac3 *.m4a"));
    QCOMPARE(dialog->nameFilters().size(), 9);
    dialog->setOption(QFileDialog::DontUseNativeDialog);

    bool busy_seen = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
      if (rig.Form().FrmInitFileForm->isVisible()) busy_seen = true;
      if (!dialog->isVisible()) return;
      // Typed into the dialog's name box, as full names.
      auto* name_box = dialog->findChild<QLineEdit*>("fileNameEdit");
      if (name_box == nullptr) return;
      name_box->setText(QString("\"%1\" \"%2\" \"%1\"").arg(Sound("b.wav"), Sound("a.mp3")));
      static_cast<QDialog*>(dialog)->accept();
    });
    poll.start();
    auto unexpected_box = ModalAnswer::PressButton(QMessageBox::Ok, 60000);
    rig.Form().btnOpenFileClick();
    poll.stop();
    QVERIFY2(!unexpected_box->Answered(), qPrintable(unexpected_box->Seen().text));
    QVERIFY(busy_seen);
    QCOMPARE(Names(rig.List()), (QStringList{Sound("b.wav"), Sound("a.mp3")}));
    QCOMPARE(rig.List().SelectedRows(), std::vector<int>{0});
  }

  void dropsKeepTheirOrderAndUnmeasurableFilesGetTheCodecDialog() {
    AppRig rig;
    DialogCloser closer;
    rig.Form().FormDropFiles({Sound("c d.ogg"), Sound("broken.mp3"), Sound("a.mp3")});
    QCOMPARE(Names(rig.List()), (QStringList{Sound("c d.ogg"), Sound("a.mp3")}));
    QCOMPARE(closer.Closed, 1);
    QCOMPARE(rig.List().Cell(0, SourceColumn::Duration), std::string("00:00:04"));
    QCOMPARE(rig.Form().dxTreeSourceFileInfo->model()->rowCount(), 2);
  }

  void removeDeleteKeyClearAndDragOut() {
    AppRig rig;
    rig.Form().FormDropFiles({Sound("a.mp3"), Sound("b.wav"), Sound("c d.ogg")});
    SourceFileList& list = rig.List();
    TSourceListView* view = rig.Form().dxTreeSourceFileInfo;

    // The remove button: the row before the focused one takes the focus.
    list.ClearSelection();
    list.SetSelected(2, true);
    list.SetFocusedRow(2);
    rig.Form().btnRemoveFile->click();
    QCOMPARE(Names(list), (QStringList{Sound("a.mp3"), Sound("b.wav")}));
    QCOMPARE(list.FocusedRow(), 1);
    QCOMPARE(list.SelectedRows(), std::vector<int>{1});

    // Delete in the list removes the selection.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Delete);
    QCOMPARE(Names(list), QStringList{Sound("a.mp3")});

    // Rows dropped back on the list stay; dropped anywhere else they go.
    list.SetSelected(0, true);
    rig.Form().dxTreeSourceFileInfoEndDrag(view->viewport());
    QCOMPARE(list.RowCount(), 1);
    rig.Form().dxTreeSourceFileInfoEndDrag(nullptr);
    QCOMPARE(list.RowCount(), 0);
    QCOMPARE(rig.Form().Panel2->width(), 2);

    rig.Form().FormDropFiles({Sound("a.mp3"), Sound("b.wav")});
    rig.Form().btnClearFile->click();
    QCOMPARE(list.RowCount(), 0);
    QCOMPARE(view->model()->rowCount(), 0);
  }
};

QTEST_MAIN(SourceListViewTest)
#include "SourceListViewTest.moc"
