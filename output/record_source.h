#pragma once
// The records of an open data file as the all-records export reads them: the table's
// name, its field names (display labels) in field order, and a forward walk over a
// snapshot of its records in the table's order, each as the field texts the table
// gives (the texts the grid shows; empty text for a field without a value). The
// snapshot is taken when snapshot() is called and does not move the table's cursor,
// so the grid's current record stays put; later changes to the table do not show in
// a walk already taken. A source should stream its snapshot (for instance a read
// transaction) rather than copy it, so that a large file costs bounded memory.
// Failures throw Error. UI thread only.
#include <QString>
#include <QStringList>
#include <memory>

namespace velta {

class RecordWalk {
 public:
  virtual ~RecordWalk() = default;
  virtual qint64 count() const = 0;  // records in the snapshot
  // The next record's field texts, one per field in field order; false at the end.
  virtual bool next(QStringList& fieldTexts) = 0;
};

class RecordSource {
 public:
  virtual ~RecordSource() = default;
  virtual QString tableName() const = 0;
  virtual QStringList fieldNames() const = 0;
  virtual std::unique_ptr<RecordWalk> snapshot() = 0;
};

}  // namespace velta
