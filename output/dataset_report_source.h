#pragma once
// Offers the current record of a table view (Table2, the print buffer) to the report
// engine: every field of the view by its name, typed as text, date, time of day or
// number; a field without a value, or every field when the table has no current record,
// is empty. currentRecord() raises "<view>: Cannot perform this operation on a closed
// dataset" while the view is closed. The view must outlive the source. UI thread.
#include "platform/report/report_data.h"
#include "platform/tablestore/dataset.h"

namespace velta {

class DatasetReportSource : public ReportDataSource {
 public:
  explicit DatasetReportSource(const Dataset& dataset) : dataset_(dataset) {}
  ReportRecord currentRecord() const override;

 private:
  const Dataset& dataset_;
};

}  // namespace velta
