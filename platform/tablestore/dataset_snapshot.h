#pragma once
// The records of an open Dataset as they are at one moment, for a long forward walk
// (the all-records export) that must neither move the view's cursor nor hold the file.
//
// Taking a snapshot copies the record keys in browsing order (8 bytes a record), the
// view's fields and regional settings and the file's path; nothing is read yet. next()
// reads the records in pages, each page by one short statement on a read-only
// connection of the snapshot's own, stepped to its end within the call: between calls
// no statement, read transaction or lock is held, so the view (or anyone) may append to
// the file while the walker lets events through. Records appended after the snapshot
// are not part of it; a record deleted since is skipped. The view may close, or open
// another file, meanwhile: the walk goes on over the file it started on.
//
// Errors: velta::Error; taking a snapshot of a closed view raises the view's own
// "<name>: Cannot perform this operation on a closed dataset"; a file that cannot be
// read names the file. UI thread only.
#include <QString>
#include <QVariant>
#include <memory>
#include <vector>

#include "platform/regional_settings.h"
#include "platform/tablestore/field_def.h"

namespace velta {

class Dataset;
namespace tablestore {
class Db;
}

class DatasetSnapshot {
 public:
  explicit DatasetSnapshot(const Dataset& view);
  ~DatasetSnapshot();
  DatasetSnapshot(const DatasetSnapshot&) = delete;
  DatasetSnapshot& operator=(const DatasetSnapshot&) = delete;

  // Records taken (those deleted since included).
  qint64 count() const { return static_cast<qint64>(keys_.size()); }
  // The view's fields in order.
  const std::vector<FieldDef>& fields() const { return fields_; }
  // The next record's values in field order (as Dataset::recordAt gives them); false
  // at the end.
  bool next(std::vector<QVariant>& values);
  // A value's text exactly as the view shows it (Dataset::valueText).
  QString valueText(int field, const QVariant& value) const;

  // Records read by one statement.
  static constexpr int kPageSize = 256;

 private:
  void readPage();

  std::vector<qint64> keys_;
  std::vector<FieldDef> fields_;
  QByteArray selectSql_;
  RegionalSettings regional_;
  std::unique_ptr<tablestore::Db> db_;
  std::vector<QVariant> page_;  // values of the rows of keys_[pageFirst_ ..], row after row
  std::vector<char> found_;     // per page row: still in the file
  size_t pageFirst_ = 0;
  size_t pageRows_ = 0;
  size_t at_ = 0;  // next key to hand out
};

}  // namespace velta
