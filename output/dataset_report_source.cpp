#include "output/dataset_report_source.h"

#include "platform/error.h"

namespace velta {

namespace {

ReportValue reportValue(const QVariant& v) {
  if (!v.isValid() || v.isNull()) return {};
  switch (v.typeId()) {
    case QMetaType::QString: return ReportValue(v.toString());
    case QMetaType::QDate: return ReportValue(v.toDate());
    case QMetaType::QTime: return ReportValue(v.toTime());
    case QMetaType::Double: return ReportValue(v.toDouble());
    case QMetaType::LongLong: return ReportValue(static_cast<double>(v.toLongLong()));
    default: return ReportValue(v.toString());
  }
}

}  // namespace

ReportRecord DatasetReportSource::currentRecord() const {
  if (!dataset_.active())
    throw Error(dataset_.name() + QStringLiteral(": Cannot perform this operation on a closed dataset"));
  ReportRecord record;
  record.reserve(static_cast<size_t>(dataset_.fieldCount()));
  for (int i = 0; i < dataset_.fieldCount(); ++i) {
    const QString& name = dataset_.field(i).name;
    record.push_back({name, reportValue(dataset_.fieldValue(name))});
  }
  return record;
}

}  // namespace velta
