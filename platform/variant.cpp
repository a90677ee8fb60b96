#include "platform/variant.h"

namespace velta {

QString Variant::describe() const {
  switch (type()) {
    case Type::Empty: return QStringLiteral("empty");
    case Type::Null: return QStringLiteral("null");
    case Type::Bool: return asBool() ? QStringLiteral("boolean true") : QStringLiteral("boolean false");
    case Type::Int: return QStringLiteral("integer %1").arg(asInt());
    case Type::Double: return QStringLiteral("double %1").arg(asDouble(), 0, 'g', 17);
    case Type::Text: return QStringLiteral("text \"%1\"").arg(asText());
  }
  return {};
}

}  // namespace velta
