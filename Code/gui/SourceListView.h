// The source list on the screen: dxTreeSourceFileInfo, a view over the
// window-free SourceFileList model. Seven columns with their captions, a
// check box in column 0 ("True"/"False"), hh:mm:ss editors in Start Time and
// End Time that commit only whole, valid times, grid lines, several selected rows,
// column widths spread in the proportions 16, 68, 28, 28, 28, 28, 28, rows
// that can be dragged out (as copies of their files at most), a header tick
// box for every row, and files dropped on it handed on.
//
// The model owns the SourceFileList (and the view owns the model), so the rows
// live as long as the list window. The person's selection and focus go to the
// list, and every change of the list shows at once. User-interface thread only.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QTreeView>

#include "SourceFileList.h"

class QMimeData;

class SourceListModel : public QAbstractTableModel, public SourceFileList::Observer {
  Q_OBJECT

 public:
  explicit SourceListModel(QObject* parent = nullptr);
  ~SourceListModel() override;

  static const QStringList& Captions();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  Qt::DropActions supportedDragActions() const override;
  Qt::DropActions supportedDropActions() const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

  SourceFileList& List() { return list_; }
  // Checked when every row is ticked, unchecked when none is (or there are no
  // rows), partially checked otherwise.
  Qt::CheckState CheckedRows() const;
  void SetAllChecked(bool checked);

  // SourceFileList::Observer
  void RowsInserted(int first, int last) override;
  void RowsRemoved(int first, int last) override;
  void CellChanged(int row, SourceColumn column) override;
  void SelectionChanged() override;

 signals:
  // A committed edit of a cell by the person (a check box or a time editor).
  void cellEdited(int row, int column);
  // The list's selection or focus changed.
  void listSelectionChanged();

 private:
  SourceFileList list_;
};

class TSourceListView : public QTreeView {
  Q_OBJECT

 public:
  static constexpr int kProportions[7] = {16, 68, 28, 28, 28, 28, 28};

  explicit TSourceListView(QWidget* parent);

  SourceListModel* Model() const { return model_; }
  SourceFileList& List() { return model_->List(); }
  int columnCount() const { return model_->columnCount(); }

  // Spreads the column widths over the list's width in their proportions.
  void SpreadColumns();

 signals:
  // dxTreeSourceFileInfoEdited: a cell edit was committed (check box, Start
  // Time, End Time); the new text is already in the list.
  void dxTreeSourceFileInfoEdited(int row, int column);
  // dxtrlSourceFileStartTimeChange: the text in an open Start Time editor
  // changed.
  void dxtrlSourceFileStartTimeChange(int row, const QString& text);
  // dxTreeSourceFileInfoEndDrag: a drag of rows ended; `target` is the widget
  // the rows were dropped on (nullptr outside the program or nowhere).
  void dxTreeSourceFileInfoEndDrag(QObject* target);
  // Files from outside were dropped on the list, in drop order.
  void filesDropped(const QStringList& files);
  // A typed Start or End Time was not a time; `reason` says why. The list
  // is unchanged.
  void timeRefused(const QString& reason);
  // The person clicked in the list or pressed / released a key in it.
  void listClicked();
  void listKeyDown(int key);
  void listKeyUp(int key);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void startDrag(Qt::DropActions actions) override;
  void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void ViewSelectionChanged();
  void ViewCurrentChanged(const QModelIndex& current);
  void ShowListSelection();

  SourceListModel* model_;
  // Set while the view is being made to show the list's selection, so that
  // this does not flow back into the list.
  bool syncing_ = false;
};

// Whether a drag carries rows of a Tonbrix source list (rather than files
// from outside).
bool IsSourceRowsDrag(const QMimeData* mime);

// Qt's filter syntax for an open dialog's "Caption|patterns|..." filter text:
// "Caption (patterns)" entries, patterns separated by blanks, empty ones dropped.
QStringList QtFilterFromDialogFilter(const QString& filter);
