#pragma once
// The record grid's model over a Dataset: one row per record in browsing (SIRANO)
// order, one column per field, following appends, deletions, changes and re-opens at
// once. Values are read lazily through the dataset's small page cache, so a file of any
// size opens at once. Numbers show by the number-text rule, empty fields as empty cells.
// Not editable. UI thread only; the dataset must outlive the model.
#include <QAbstractTableModel>
#include <QFont>
#include <QStringList>

#include "platform/tablestore/dataset.h"

namespace velta {

class RecordTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  // titles: column titles in field order; a missing title shows the field name.
  explicit RecordTableModel(Dataset& dataset, QStringList titles = DailyGridTitles(),
                            QObject* parent = nullptr);

  // "SIRANO", "SERiNO", "HAVA (bar)", "PRES  (kg)", "EN   (cm)", "BOY  (cm)".
  static QStringList DailyGridTitles();
  // The grid's font: MS Sans Serif (or its substitute), 16 px, bold.
  static QFont GridFont();

  Dataset& dataset() const { return dataset_; }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;

 private:
  Dataset& dataset_;
  QStringList titles_;
  QFont font_;
};

}  // namespace velta
