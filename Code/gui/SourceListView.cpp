#include "SourceListView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QUrl>

namespace {

constexpr int kStartColumn = static_cast<int>(SourceColumn::StartTime);
constexpr int kEndColumn = static_cast<int>(SourceColumn::EndTime);
constexpr int kCheckColumn = static_cast<int>(SourceColumn::CheckStatus);

// Start Time and End Time are edited as a time of day, hh:mm:ss; every cell
// gets grid lines on its right and bottom edges.
class SourceListDelegate : public QStyledItemDelegate {
 public:
  explicit SourceListDelegate(TSourceListView* view) : QStyledItemDelegate(view), view_(view) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    if (index.column() != kStartColumn && index.column() != kEndColumn) {
      return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(index.column() == kStartColumn ? "dxtrlSourceFileStartTimeEditor"
                                                         : "dxtrlSourceFileEndTimeEditor");
    editor->setInputMask("00:00:00");
    if (index.column() == kStartColumn) {
      const int row = index.row();
      QObject::connect(editor, &QLineEdit::textEdited, view_,
                       [view = view_, row](const QString& text) {
                         emit view->dxtrlSourceFileStartTimeChange(row, text);
                       });
    }
    return editor;
  }

  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      line->setText(index.data(Qt::EditRole).toString());
      return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    if (auto* line = qobject_cast<QLineEdit*>(editor)) {
      model->setData(index, line->text(), Qt::EditRole);
      return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
  }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyledItemDelegate::paint(painter, option, index);
    painter->save();
    painter->setPen(QColor(0x2a, 0x33, 0x47));
    painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
    painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
    painter->restore();
  }

 private:
  TSourceListView* view_;
};

}  // namespace

// ---- SourceListModel ----------------------------------------------------------

SourceListModel::SourceListModel(QObject* parent) : QAbstractTableModel(parent) {
  list_.SetObserver(this);
}

SourceListModel::~SourceListModel() { list_.SetObserver(nullptr); }

const QStringList& SourceListModel::Captions() {
  static const QStringList captions = {"",           "File Name", "File Size", "Duration",
                                       "Start Time", "End Time",  "Cut Time"};
  return captions;
}

int SourceListModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : list_.RowCount();
}

int SourceListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kSourceColumnCount;
}

QVariant SourceListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= list_.RowCount()) return {};
  const auto column = static_cast<SourceColumn>(index.column());
  const QString text = QString::fromStdString(list_.Cell(index.row(), column));
  if (column == SourceColumn::CheckStatus) {
    if (role == Qt::CheckStateRole) return text == "True" ? Qt::Checked : Qt::Unchecked;
    if (role == Qt::EditRole) return text;
    return {};
  }
  if (role == Qt::DisplayRole || role == Qt::EditRole) return text;
  if (role == Qt::ToolTipRole && column == SourceColumn::FileName) return text;
  return {};
}

bool SourceListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= list_.RowCount()) return false;
  const int column = index.column();
  if (column == kCheckColumn && role == Qt::CheckStateRole) {
    const bool checked = value.toInt() == Qt::Checked;
    list_.SetCell(index.row(), SourceColumn::CheckStatus, checked ? "True" : "False");
  } else if ((column == kStartColumn || column == kEndColumn) && role == Qt::EditRole) {
    list_.SetCell(index.row(), static_cast<SourceColumn>(column), value.toString().toStdString());
  } else {
    return false;
  }
  emit cellEdited(index.row(), column);
  return true;
}

QVariant SourceListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= kSourceColumnCount) return {};
  if (role == Qt::DisplayRole) return Captions()[section];
  // Column 0 has a picture instead of a caption.
  if (role == Qt::DecorationRole && section == kCheckColumn) return QIcon(":/artwork/check.svg");
  return {};
}

Qt::ItemFlags SourceListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  if (index.column() == kCheckColumn) flags |= Qt::ItemIsUserCheckable;
  if (index.column() == kStartColumn || index.column() == kEndColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

Qt::DropActions SourceListModel::supportedDragActions() const {
  return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions SourceListModel::supportedDropActions() const {
  return Qt::MoveAction | Qt::CopyAction;
}

QStringList SourceListModel::mimeTypes() const { return {"text/uri-list"}; }

// The dragged rows travel as their files, so that a file manager or another
// program can take them.
QMimeData* SourceListModel::mimeData(const QModelIndexList& indexes) const {
  QList<QUrl> urls;
  QList<int> rows;
  for (const QModelIndex& index : indexes) {
    if (!rows.contains(index.row())) rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  for (int row : rows) {
    urls.append(
        QUrl::fromLocalFile(QString::fromStdString(list_.Cell(row, SourceColumn::FileName))));
  }
  auto* mime = new QMimeData;
  mime->setUrls(urls);
  return mime;
}

void SourceListModel::RowsInserted(int first, int last) {
  // The rows are already in the list: they were appended at its end.
  beginInsertRows({}, first, last);
  endInsertRows();
  emit listSelectionChanged();
}

void SourceListModel::RowsRemoved(int, int) {
  // The rows are already gone, so the view starts afresh; the selection is
  // then shown again from the list.
  beginResetModel();
  endResetModel();
  emit listSelectionChanged();
}

void SourceListModel::CellChanged(int row, SourceColumn column) {
  const QModelIndex cell = index(row, static_cast<int>(column));
  emit dataChanged(cell, cell);
}

void SourceListModel::SelectionChanged() { emit listSelectionChanged(); }

// ---- TSourceListView ------------------------------------------------------------

TSourceListView::TSourceListView(QWidget* parent)
    : QTreeView(parent), model_(new SourceListModel(this)) {
  setObjectName("dxTreeSourceFileInfo");
  setModel(model_);
  setItemDelegate(new SourceListDelegate(this));
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setAllColumnsShowFocus(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::SelectedClicked |
                  QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
  header()->setSectionsMovable(true);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);

  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &TSourceListView::ViewSelectionChanged);
  connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
          &TSourceListView::ViewCurrentChanged);
  connect(model_, &SourceListModel::listSelectionChanged, this,
          &TSourceListView::ShowListSelection);
  // While the model catches up with the list, whatever the view does to its
  // own selection must not flow back into the list.
  connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, [this] { syncing_ = true; });
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { syncing_ = false; });
  connect(model_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] { syncing_ = true; });
  connect(model_, &QAbstractItemModel::rowsInserted, this, [this] { syncing_ = false; });
  connect(model_, &SourceListModel::cellEdited, this, &TSourceListView::dxTreeSourceFileInfoEdited);
  SpreadColumns();
}

void TSourceListView::SpreadColumns() {
  int total = 0;
  for (int share : kProportions) total += share;
  const int usable = std::max(viewport()->width(), width() - 4);
  int used = 0;
  for (int column = 0; column < kSourceColumnCount; ++column) {
    const int width =
        column == kSourceColumnCount - 1 ? usable - used : usable * kProportions[column] / total;
    setColumnWidth(column, width);
    used += width;
  }
}

void TSourceListView::resizeEvent(QResizeEvent* event) {
  QTreeView::resizeEvent(event);
  SpreadColumns();
}

void TSourceListView::ViewSelectionChanged() {
  if (syncing_) return;
  SourceFileList& list = List();
  const QModelIndexList rows = selectionModel()->selectedRows();
  std::vector<bool> selected(static_cast<size_t>(list.RowCount()), false);
  for (const QModelIndex& index : rows) {
    if (index.row() < list.RowCount()) selected[static_cast<size_t>(index.row())] = true;
  }
  syncing_ = true;
  for (int row = 0; row < list.RowCount(); ++row) list.SetSelected(row, selected[row]);
  syncing_ = false;
}

void TSourceListView::ViewCurrentChanged(const QModelIndex& current) {
  if (syncing_) return;
  syncing_ = true;
  List().SetFocusedRow(current.isValid() && current.row() < List().RowCount() ? current.row() : -1);
  syncing_ = false;
}

void TSourceListView::ShowListSelection() {
  if (syncing_) return;
  syncing_ = true;
  SourceFileList& list = List();
  QItemSelection selection;
  for (int row : list.SelectedRows()) {
    selection.select(model_->index(row, 0), model_->index(row, kSourceColumnCount - 1));
  }
  selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
  const int focused = list.FocusedRow();
  const QModelIndex current = focused >= 0 ? model_->index(focused, 1) : QModelIndex();
  if (current != selectionModel()->currentIndex()) {
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  }
  syncing_ = false;
}

void TSourceListView::startDrag(Qt::DropActions actions) {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(model_->mimeData(rows));
  drag->exec(actions, Qt::MoveAction);
  emit dxTreeSourceFileInfoEndDrag(drag->target());
}

void TSourceListView::dragEnterEvent(QDragEnterEvent* event) { event->acceptProposedAction(); }

void TSourceListView::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void TSourceListView::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  // Own rows dropped back on the list stay where they are.
  if (event->source() == this) return;
  QStringList files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) files.append(url.toLocalFile());
  }
  if (!files.isEmpty()) emit filesDropped(files);
}

void TSourceListView::keyPressEvent(QKeyEvent* event) {
  emit listKeyDown(event->key());
  QTreeView::keyPressEvent(event);
}

void TSourceListView::keyReleaseEvent(QKeyEvent* event) {
  QTreeView::keyReleaseEvent(event);
  emit listKeyUp(event->key());
}

void TSourceListView::mouseReleaseEvent(QMouseEvent* event) {
  QTreeView::mouseReleaseEvent(event);
  emit listClicked();
}

QStringList QtFilterFromDialogFilter(const QString& filter) {
  const QStringList parts = filter.split('|');
  QStringList entries;
  for (int i = 0; i + 1 < parts.size(); i += 2) {
    QStringList patterns;
    for (const QString& pattern : parts[i + 1].split(';')) {
      if (!pattern.trimmed().isEmpty()) patterns.append(pattern.trimmed());
    }
    entries.append(parts[i] + " (" + patterns.join(' ') + ")");
  }
  return entries;
}
