#include "platform/tablestore/dataset_snapshot.h"

#include <algorithm>

#include "platform/tablestore/dataset.h"
#include "platform/tablestore/sqlite_handle.h"
#include "platform/tablestore/table_file.h"

namespace velta {

using tablestore::Db;
using tablestore::Stmt;

DatasetSnapshot::DatasetSnapshot(const Dataset& view) {
  view.requireActive();
  keys_ = view.keys_;
  fields_ = view.fields_;
  regional_ = view.regional_;
  selectSql_ = "SELECT rowid";
  for (size_t i = 0; i < fields_.size(); ++i)
    selectSql_ += ", " + tablestore::quoted(view.fileColumns_[static_cast<size_t>(view.columnOf_[i])]);
  selectSql_ += QByteArray(" FROM ") + tablestore::kRecordsTable + " WHERE rowid BETWEEN ? AND ? ORDER BY rowid";
  db_ = std::make_unique<Db>();
  // Read-only: the walk can never write the file, whatever happens to the view.
  db_->open(view.openPath_, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, QStringLiteral("read"));
}

DatasetSnapshot::~DatasetSnapshot() = default;

void DatasetSnapshot::readPage() {
  const size_t nf = fields_.size();
  pageFirst_ = at_;
  const size_t end = std::min(keys_.size(), pageFirst_ + kPageSize);
  pageRows_ = end - pageFirst_;
  page_.assign(pageRows_ * nf, QVariant());
  found_.assign(pageRows_, 0);
  // One statement, run to its end here: SQLite's shared lock goes with it.
  Stmt st(*db_, selectSql_, QStringLiteral("read"));
  sqlite3_bind_int64(st.get(), 1, keys_[pageFirst_]);
  sqlite3_bind_int64(st.get(), 2, keys_[end - 1]);
  size_t k = pageFirst_;
  while (st.step()) {
    const qint64 key = sqlite3_column_int64(st.get(), 0);
    while (k < end && keys_[k] < key) ++k;  // deleted since the snapshot
    if (k >= end) break;
    if (keys_[k] != key) continue;  // not part of the snapshot
    QVariant* row = page_.data() + (k - pageFirst_) * nf;
    for (size_t i = 0; i < nf; ++i) row[i] = tablestore::columnValue(st.get(), static_cast<int>(i) + 1, fields_[i].kind);
    found_[k - pageFirst_] = 1;
    ++k;
  }
}

bool DatasetSnapshot::next(std::vector<QVariant>& values) {
  const size_t nf = fields_.size();
  while (at_ < keys_.size()) {
    if (at_ >= pageFirst_ + pageRows_) readPage();
    const size_t r = at_ - pageFirst_;
    ++at_;
    if (found_[r]) {
      values.resize(nf);
      for (size_t i = 0; i < nf; ++i) values[i] = std::move(page_[r * nf + i]);
      return true;
    }
  }
  page_.clear();
  return false;
}

QString DatasetSnapshot::valueText(int field, const QVariant& value) const {
  if (field < 0 || field >= static_cast<int>(fields_.size())) return {};
  return Dataset::valueText(fields_[static_cast<size_t>(field)], value, regional_);
}

}  // namespace velta
