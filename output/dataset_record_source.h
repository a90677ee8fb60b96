#pragma once
// The open data file of a Dataset view (Table1) as the all-records export reads it:
// the view's table name as set, its fields' names in field order (no field has a
// display label of its own), and a snapshot of the records present when snapshot() is
// called, in browsing order, each field as the view's text for it (SIRANO in decimal,
// SERiNO as stored, floats by the number-text rule, empty text for no value).
//
// The walk streams the file in pages (DatasetSnapshot): memory stays bounded, no read
// transaction or lock is held between records, so a poll tick may append to the same
// file while the export lets events through; the view's cursor never moves. A closed
// view fails at snapshot() with "<name>: Cannot perform this operation on a closed
// dataset". The view must outlive the source. UI thread only.
#include "output/record_source.h"
#include "platform/tablestore/dataset.h"

namespace velta {

class DatasetRecordSource : public RecordSource {
 public:
  explicit DatasetRecordSource(const Dataset& view) : view_(view) {}

  QString tableName() const override { return view_.tableName(); }
  QStringList fieldNames() const override;
  std::unique_ptr<RecordWalk> snapshot() override;

 private:
  const Dataset& view_;
};

}  // namespace velta
