#include "output/dataset_record_source.h"

#include <vector>

#include "platform/tablestore/dataset_snapshot.h"

namespace velta {

namespace {

class DatasetWalk : public RecordWalk {
 public:
  explicit DatasetWalk(const Dataset& view) : snapshot_(view) {}

  qint64 count() const override { return snapshot_.count(); }
  bool next(QStringList& fieldTexts) override {
    if (!snapshot_.next(values_)) return false;
    fieldTexts.resize(static_cast<qsizetype>(values_.size()));
    for (size_t i = 0; i < values_.size(); ++i)
      fieldTexts[static_cast<qsizetype>(i)] = snapshot_.valueText(static_cast<int>(i), values_[i]);
    return true;
  }

 private:
  DatasetSnapshot snapshot_;
  std::vector<QVariant> values_;
};

}  // namespace

QStringList DatasetRecordSource::fieldNames() const {
  QStringList names;
  for (int i = 0; i < view_.fieldCount(); ++i) names << view_.field(i).name;
  return names;
}

std::unique_ptr<RecordWalk> DatasetRecordSource::snapshot() { return std::make_unique<DatasetWalk>(view_); }

}  // namespace velta
