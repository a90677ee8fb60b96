#include "platform/error.h"

namespace velta {

QString errorDisplayText(const QString& message) {
  if (!message.isEmpty() && message.back().unicode() > u'.') return message + u'.';
  return message;
}

QString exceptionText(const std::exception& e) {
  if (auto* err = dynamic_cast<const Error*>(&e)) return err->text();
  return QString::fromUtf8(e.what());
}

}  // namespace velta
