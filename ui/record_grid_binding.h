#pragma once
// Keeps a QTableView's current row and a Dataset's current record in step both ways:
// the operator's moves and clicks in the view move the dataset; the dataset's own moves
// (append, delete, open, navigation) move the view's current row and select it. The
// view's model must be a RecordTableModel over the same dataset. UI thread only; the
// view and the dataset must outlive the binding (it is a child of the view).
// With whole-row selection the grid's keys move by record: Up/Left and Down/Right one
// record, Page Up/Down a page, Home and End to the first and last record.
#include <QObject>

class QTableView;

namespace velta {

class Dataset;

class RecordGridBinding : public QObject {
  Q_OBJECT
 public:
  RecordGridBinding(QTableView& view, Dataset& dataset);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void viewMoved(int row);
  void datasetMoved(int index);

  QTableView& view_;
  Dataset& dataset_;
  bool syncing_ = false;
};

}  // namespace velta
