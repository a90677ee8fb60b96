#pragma once
// Automation-like value as the PLC item server and the spreadsheet model pass it:
// empty, null, boolean, whole number, floating point or text.
#include <QString>
#include <cstdint>
#include <variant>

namespace velta {

class Variant {
 public:
  enum class Type { Empty, Null, Bool, Int, Double, Text };

  Variant() = default;  // empty
  Variant(bool b) : v_(b) {}
  Variant(int i) : v_(static_cast<qint64>(i)) {}
  Variant(qint64 i) : v_(i) {}
  Variant(double d) : v_(d) {}
  Variant(const QString& s) : v_(s) {}
  Variant(const char* s) : v_(QString::fromUtf8(s)) {}
  static Variant null() { Variant v; v.v_ = NullTag{}; return v; }

  Type type() const { return static_cast<Type>(v_.index()); }
  bool isEmpty() const { return type() == Type::Empty; }
  bool isNull() const { return type() == Type::Null; }

  // Accessors for the held alternative; calling the wrong one is a programming error.
  bool asBool() const { return std::get<bool>(v_); }
  qint64 asInt() const { return std::get<qint64>(v_); }
  double asDouble() const { return std::get<double>(v_); }
  const QString& asText() const { return std::get<QString>(v_); }

  // For diagnostics: type and value, e.g. "text \"12.5\"".
  QString describe() const;

  bool operator==(const Variant& o) const { return v_ == o.v_; }

 private:
  struct NullTag { bool operator==(const NullTag&) const { return true; } };
  std::variant<std::monostate, NullTag, bool, qint64, double, QString> v_;
};

}  // namespace velta
