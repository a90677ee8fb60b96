#include "platform/report/report_data.h"

namespace velta {

ReportValue ReportValue::fromVariant(const Variant& v) {
  switch (v.type()) {
    case Variant::Type::Empty:
    case Variant::Type::Null: return {};
    case Variant::Type::Bool: return ReportValue(v.asBool() ? 1.0 : 0.0);
    case Variant::Type::Int: return ReportValue(static_cast<double>(v.asInt()));
    case Variant::Type::Double: return ReportValue(v.asDouble());
    case Variant::Type::Text: return ReportValue(v.asText());
  }
  return {};
}

}  // namespace velta
