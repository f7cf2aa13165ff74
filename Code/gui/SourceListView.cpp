#include "SourceListView.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QStyleOptionFrame>
#include <QStyledItemDelegate>
#include <QUrl>
#include <QValidator>
#include <algorithm>
#include <optional>

#include "TypedTime.h"

namespace {

constexpr int kStartColumn = static_cast<int>(SourceColumn::StartTime);
constexpr int kEndColumn = static_cast<int>(SourceColumn::EndTime);
constexpr int kCheckColumn = static_cast<int>(SourceColumn::CheckStatus);

// Rows dragged inside Tonbrix carry this type beside their files' URLs, so
// that the program's own windows can tell them from files dropped from
// outside.
const char kRowsMimeType[] = "application/x-tonbrix-source-rows";

bool IsTimeColumn(int column) { return column == kStartColumn || column == kEndColumn; }

// Keeps a time editor to digits and ":"; a finished time out of range gets
// through, so that committing it can say why it is refused.
class TimeCellValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    switch (typed_time::Check(input.toStdString())) {
      case typed_time::State::Acceptable:
        return Acceptable;
      case typed_time::State::Intermediate:
        return Intermediate;
      case typed_time::State::Invalid:
        break;
    }
    return Invalid;
  }
};

// Start Time and End Time are edited as hh:mm:ss; every cell gets grid lines
// on its right and bottom edges.
class SourceListDelegate : public QStyledItemDelegate {
 public:
  explicit SourceListDelegate(TSourceListView* view) : QStyledItemDelegate(view), view_(view) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                        const QModelIndex& index) const override {
    if (!IsTimeColumn(index.column())) {
      return QStyledItemDelegate::createEditor(parent, option, index);
    }
    auto* editor = new QLineEdit(parent);
    editor->setObjectName(index.column() == kStartColumn ? "dxtrlSourceFileStartTimeEditor"
                                                         : "dxtrlSourceFileEndTimeEditor");
    // The window's padded field look would leave no room for the digits.
    editor->setStyleSheet(
        "QLineEdit { padding: 0px 2px; border: 1px solid #2ec4b6; border-radius: 0px; }");
    editor->setValidator(new TimeCellValidator(editor));
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
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr) {
      QStyledItemDelegate::setEditorData(editor, index);
      return;
    }
    // Once typing has begun, the cell's text never replaces the typed one.
    if (line->isModified()) return;
    line->setText(index.data(Qt::EditRole).toString());
    // Typing replaces the whole time.
    line->selectAll();
  }

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr) {
      QStyledItemDelegate::setModelData(editor, model, index);
      return;
    }
    const std::string typed = line->text().trimmed().toStdString();
    if (typed.empty()) {
      model->setData(index, QString(), Qt::EditRole);
      return;
    }
    if (const std::optional<std::string> cell = typed_time::CellText(typed)) {
      model->setData(index, QString::fromStdString(*cell), Qt::EditRole);
      return;
    }
    // Nothing of the list changes for a text that is not a time.
    emit view_->timeRefused(QString::fromStdString(typed_time::Refusal(typed)));
  }

  // The editor is at least wide enough for "00:00:00".
  void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (line == nullptr) {
      QStyledItemDelegate::updateEditorGeometry(editor, option, index);
      return;
    }
    QRect rect = option.rect;
    rect.setWidth(std::max(rect.width(), TimeEditorWidth(*line)));
    const int right_edge = view_->viewport()->width();
    if (rect.right() >= right_edge) rect.moveRight(right_edge - 1);
    editor->setGeometry(rect);
  }

  // Enter commits whatever was typed, so that a text that is not a time is
  // refused with a reason instead of being ignored.
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* line = qobject_cast<QLineEdit*>(object);
    if (line != nullptr && event->type() == QEvent::KeyPress) {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        emit commitData(line);
        emit closeEditor(line, QAbstractItemDelegate::NoHint);
        return true;
      }
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

  // A long path gives up its folders, not the song's own name; the whole
  // path is the cell's tooltip.
  void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == static_cast<int>(SourceColumn::FileName)) {
      option->textElideMode = Qt::ElideLeft;
    }
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
  static int TimeEditorWidth(const QLineEdit& line) {
    QStyleOptionFrame frame;
    frame.initFrom(&line);
    frame.rect = line.rect();
    frame.lineWidth = line.hasFrame()
                          ? line.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, &line)
                          : 0;
    const QMargins margins = line.textMargins();
    // The line edit's own inner margin of 2 on each side, and the cursor.
    const int text = line.fontMetrics().horizontalAdvance(QStringLiteral("00:00:00")) +
                     margins.left() + margins.right() + 2 * 2 + 2;
    return line.style()
        ->sizeFromContents(QStyle::CT_LineEdit, &frame, QSize(text, line.fontMetrics().height()),
                           &line)
        .width();
  }

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
  if (section != kCheckColumn) return {};
  // Column 0 has a tick box instead of a caption: ticked when every row is,
  // mixed when some are.
  const Qt::CheckState state = CheckedRows();
  if (role == Qt::CheckStateRole) return state;
  if (role == Qt::DecorationRole) {
    switch (state) {
      case Qt::Checked:
        return QIcon(":/artwork/check.svg");
      case Qt::PartiallyChecked:
        return QIcon(":/artwork/check_mixed.svg");
      case Qt::Unchecked:
        break;
    }
    return QIcon(":/artwork/uncheck.svg");
  }
  if (role == Qt::ToolTipRole) return QStringLiteral("Tick or untick every file");
  return {};
}

Qt::CheckState SourceListModel::CheckedRows() const {
  int checked = 0;
  for (int row = 0; row < list_.RowCount(); ++row) {
    if (list_.Cell(row, SourceColumn::CheckStatus) == "True") ++checked;
  }
  if (checked == 0) return Qt::Unchecked;
  return checked == list_.RowCount() ? Qt::Checked : Qt::PartiallyChecked;
}

void SourceListModel::SetAllChecked(bool checked) {
  for (int row = 0; row < list_.RowCount(); ++row) {
    list_.SetCell(row, SourceColumn::CheckStatus, checked ? "True" : "False");
  }
}

Qt::ItemFlags SourceListModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::ItemIsDropEnabled;
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
  if (index.column() == kCheckColumn) flags |= Qt::ItemIsUserCheckable;
  if (index.column() == kStartColumn || index.column() == kEndColumn) flags |= Qt::ItemIsEditable;
  return flags;
}

// Rows leave the list as copies of their files at most: a file manager must
// never be offered to move (or delete) the person's songs.
Qt::DropActions SourceListModel::supportedDragActions() const { return Qt::CopyAction; }

Qt::DropActions SourceListModel::supportedDropActions() const { return Qt::CopyAction; }

QStringList SourceListModel::mimeTypes() const { return {"text/uri-list", kRowsMimeType}; }

// The dragged rows travel as their files, so that a file manager or another
// program can take a copy, and as the program's own row type.
QMimeData* SourceListModel::mimeData(const QModelIndexList& indexes) const {
  QList<QUrl> urls;
  QList<int> rows;
  for (const QModelIndex& index : indexes) {
    if (!rows.contains(index.row())) rows.append(index.row());
  }
  std::sort(rows.begin(), rows.end());
  QStringList row_texts;
  for (int row : rows) {
    urls.append(
        QUrl::fromLocalFile(QString::fromStdString(list_.Cell(row, SourceColumn::FileName))));
    row_texts.append(QString::number(row));
  }
  auto* mime = new QMimeData;
  mime->setUrls(urls);
  mime->setData(kRowsMimeType, row_texts.join(',').toUtf8());
  return mime;
}

bool IsSourceRowsDrag(const QMimeData* mime) {
  return mime != nullptr && mime->hasFormat(kRowsMimeType);
}

void SourceListModel::RowsInserted(int first, int last) {
  // The rows are already in the list: they were appended at its end.
  beginInsertRows({}, first, last);
  endInsertRows();
  emit headerDataChanged(Qt::Horizontal, kCheckColumn, kCheckColumn);
  emit listSelectionChanged();
}

void SourceListModel::RowsRemoved(int, int) {
  // The rows are already gone, so the view starts afresh; the selection is
  // then shown again from the list.
  beginResetModel();
  endResetModel();
  emit headerDataChanged(Qt::Horizontal, kCheckColumn, kCheckColumn);
  emit listSelectionChanged();
}

void SourceListModel::CellChanged(int row, SourceColumn column) {
  const QModelIndex cell = index(row, static_cast<int>(column));
  emit dataChanged(cell, cell);
  if (column == SourceColumn::CheckStatus) {
    emit headerDataChanged(Qt::Horizontal, kCheckColumn, kCheckColumn);
  }
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
  // A time cell opens its editor on a double click, a click on a selected
  // row, or F2; not on the first click of a double click (the second would
  // land in the editor and select one field).
  setEditTriggers(QAbstractItemView::SelectedClicked | QAbstractItemView::DoubleClicked |
                  QAbstractItemView::EditKeyPressed);
  setDragEnabled(true);
  setAcceptDrops(true);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DragDrop);
  header()->setSectionsMovable(true);
  header()->setStretchLastSection(false);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  // The tick box in the header ticks every row, or unticks them all when
  // every row is ticked already.
  header()->setSectionsClickable(true);
  header()->setHighlightSections(false);
  connect(header(), &QHeaderView::sectionClicked, this, [this](int section) {
    if (section != kCheckColumn) return;
    model_->SetAllChecked(model_->CheckedRows() != Qt::Checked);
  });

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

void TSourceListView::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
  QTreeView::closeEditor(editor, hint);
  // The focus the list lost while the editor was open shows now.
  ShowListSelection();
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
  // Moving the view's current cell would close an open time editor in the
  // middle of typing (a change in the Start Time editor takes the list's
  // focus away); the view catches up when the editor closes.
  if (state() == QAbstractItemView::EditingState) {
    syncing_ = false;
    return;
  }
  if (current != selectionModel()->currentIndex()) {
    selectionModel()->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
  }
  syncing_ = false;
}

void TSourceListView::startDrag(Qt::DropActions) {
  const QModelIndexList rows = selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  auto* drag = new QDrag(this);
  drag->setMimeData(model_->mimeData(rows));
  drag->exec(Qt::CopyAction, Qt::CopyAction);
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
