#include "ui/db_grid.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

#include "ui/window_fonts.h"

namespace velta {
namespace {

constexpr int kSerialColumnWidth = 200;
constexpr int kValueColumnWidth = 130;
constexpr int kFirstValueColumn = 2;   // HAVA
constexpr int kFirstHiddenColumn = 6;  // HAVA1; HAVA1 .. BOY3 stay out of sight
const QColor kTitleBackground(0, 64, 128);
const QColor kRowHighlight(0, 0, 128);

}  // namespace

DbGrid::DbGrid(QWidget* parent) : QTableView(parent) {
  const QFont gridFont = fonts::msSansSerif(16, true);
  setFont(gridFont);

  QPalette pal = palette();
  pal.setColor(QPalette::Base, Qt::black);
  pal.setColor(QPalette::AlternateBase, Qt::black);
  pal.setColor(QPalette::Text, QColor(0, 255, 0));
  pal.setColor(QPalette::Window, QColor(192, 192, 192));  // styles derive the grid lines from it
  // The current row stays highlighted while another control has the focus.
  for (auto group : {QPalette::Active, QPalette::Inactive}) {
    pal.setColor(group, QPalette::Highlight, kRowHighlight);
    pal.setColor(group, QPalette::HighlightedText, Qt::white);
  }
  setPalette(pal);
  setGridStyle(Qt::SolidLine);
  setShowGrid(true);

  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setTabKeyNavigation(true);  // Tab / Shift+Tab walk the cells
  setWordWrap(false);
  setCornerButtonEnabled(false);

  verticalHeader()->hide();
  verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  verticalHeader()->setMinimumSectionSize(1);
  verticalHeader()->setDefaultSectionSize(QFontMetrics(gridFont).height() + 4);

  QHeaderView* titles = horizontalHeader();
  titles->setSectionResizeMode(QHeaderView::Fixed);
  titles->setSectionsMovable(false);
  titles->setSectionsClickable(false);
  titles->setHighlightSections(false);
  titles->setDefaultAlignment(Qt::AlignCenter);
  titles->setFont(gridFont);
  titles->setMinimumSectionSize(1);
  titles->setStyleSheet(QStringLiteral(
      "QHeaderView { background-color: black; } "  // beyond the last title: the grid's own black
      "QHeaderView::section { background-color: rgb(0,64,128); color: white; "
      "border: 0px; border-right: 1px solid rgb(192,192,192); border-bottom: 1px solid rgb(192,192,192); "
      "padding: 1px; }"));
  titles->setFixedHeight(QFontMetrics(gridFont).height() + 6);
}

void DbGrid::bindRecordModel(QAbstractItemModel* model) {
  if (QAbstractItemModel* old = this->model()) disconnect(old, nullptr, this, nullptr);
  setModel(model);
  if (!model) return;
  connect(model, &QAbstractItemModel::modelReset, this, &DbGrid::applyColumnLayout);
  connect(model, &QAbstractItemModel::columnsInserted, this, &DbGrid::applyColumnLayout);
  connect(model, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex&, int first, int) {
    if (first == 0) applyColumnLayout();  // the first row tells the SIRANO column's font
  });
  applyColumnLayout();
}

QFont DbGrid::columnFont(int column) const {
  QAbstractItemModel* m = model();
  if (m && m->rowCount() > 0) {
    const QVariant f = m->index(0, column).data(Qt::FontRole);
    if (f.canConvert<QFont>()) return f.value<QFont>();
  }
  return font();
}

void DbGrid::applyColumnLayout() {
  QAbstractItemModel* m = model();
  if (!m) return;
  const int columns = m->columnCount();
  if (columns > 0) {
    const QFontMetrics digits(columnFont(0));
    QFont titleFont = horizontalHeader()->font();
    const QVariant hf = m->headerData(0, Qt::Horizontal, Qt::FontRole);
    if (hf.canConvert<QFont>()) titleFont = hf.value<QFont>();
    const QString title = m->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString();
    const int width = std::max(digits.horizontalAdvance(QStringLiteral("0000000000")) + 4,
                               QFontMetrics(titleFont).horizontalAdvance(title) + 4);
    setColumnWidth(0, width);
  }
  if (columns > 1) setColumnWidth(1, kSerialColumnWidth);
  for (int c = kFirstValueColumn; c < std::min(columns, kFirstHiddenColumn); ++c)
    setColumnWidth(c, kValueColumnWidth);
  for (int c = 0; c < columns; ++c) setColumnHidden(c, c >= kFirstHiddenColumn);
}

void DbGrid::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Delete && (event->modifiers() & Qt::ControlModifier)) {
    event->accept();
    emit ctrlDeletePressed();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Insert:
    case Qt::Key_Delete:
      event->accept();  // the grid neither inserts nor deletes by itself
      return;
    default:
      break;
  }
  QTableView::keyPressEvent(event);
}

void DbGrid::keyReleaseEvent(QKeyEvent* event) {
  QTableView::keyReleaseEvent(event);
  if (event->isAutoRepeat()) return;
  emit keyReleased();
}

void DbGrid::keyboardSearch(const QString&) {
  // Typing moves nothing: the current record changes only by navigation keys or clicks.
}

void DbGrid::mousePressEvent(QMouseEvent* event) {
  pressOnRow_ = event->button() == Qt::LeftButton && indexAt(event->position().toPoint()).isValid();
  if (event->button() != Qt::LeftButton) {
    event->accept();  // only the left button moves the current record
    return;
  }
  QTableView::mousePressEvent(event);
}

void DbGrid::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) {
    event->accept();
    return;
  }
  QTableView::mouseReleaseEvent(event);
  const bool click = pressOnRow_ && event->button() == Qt::LeftButton &&
                     indexAt(event->position().toPoint()).isValid();
  pressOnRow_ = false;
  if (click) emit cellClicked();
}

}  // namespace velta
