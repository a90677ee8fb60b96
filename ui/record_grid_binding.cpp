#include "ui/record_grid_binding.h"

#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QTableView>

#include "platform/tablestore/dataset.h"

namespace velta {

RecordGridBinding::RecordGridBinding(QTableView& view, Dataset& dataset)
    : QObject(&view), view_(view), dataset_(dataset) {
  view_.setSelectionBehavior(QAbstractItemView::SelectRows);
  view_.setSelectionMode(QAbstractItemView::SingleSelection);
  connect(view_.selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current, const QModelIndex&) {
            if (current.isValid()) viewMoved(current.row());
          });
  connect(&dataset_, &Dataset::currentChanged, this, [this](int index) { datasetMoved(index); });
  view_.installEventFilter(this);
  datasetMoved(dataset_.recNo());
}

bool RecordGridBinding::eventFilter(QObject* watched, QEvent* event) {
  if (watched != &view_ || event->type() != QEvent::KeyPress || !view_.model()) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  if (key->modifiers() & ~Qt::KeypadModifier) return false;
  const int rows = view_.model()->rowCount();
  if (rows == 0) return false;
  const int row = std::max(0, view_.currentIndex().row());
  int target = -1;
  switch (key->key()) {
    case Qt::Key_Home: target = 0; break;
    case Qt::Key_End: target = rows - 1; break;
    case Qt::Key_Left: target = std::max(0, row - 1); break;
    case Qt::Key_Right: target = std::min(rows - 1, row + 1); break;
    default: return false;  // Up, Down, Page Up and Page Down: the view's own moves
  }
  const int column = std::max(0, view_.currentIndex().column());
  view_.selectionModel()->setCurrentIndex(view_.model()->index(target, column),
                                          QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
  view_.scrollTo(view_.currentIndex());
  return true;
}

void RecordGridBinding::viewMoved(int row) {
  // The view also moves its current index by itself while rows come and go; those moves
  // are the dataset's own and must not be fed back.
  if (syncing_ || dataset_.isChanging() || !dataset_.active() || row == dataset_.recNo()) return;
  syncing_ = true;
  try {
    dataset_.moveTo(row);
  } catch (...) {
    // A pending change that cannot be posted keeps the dataset where it is; the view goes
    // back there (a Qt slot must not let an error through).
    syncing_ = false;
    datasetMoved(dataset_.recNo());
    return;
  }
  syncing_ = false;
}

void RecordGridBinding::datasetMoved(int index) {
  if (syncing_) return;
  syncing_ = true;
  QAbstractItemModel* model = view_.model();
  if (index < 0 || !model || index >= model->rowCount()) {
    view_.selectionModel()->clear();
  } else {
    const int column = std::max(0, view_.currentIndex().column());
    const QModelIndex target = model->index(index, column);
    view_.selectionModel()->setCurrentIndex(
        target, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    view_.scrollTo(target);
  }
  syncing_ = false;
}

}  // namespace velta
