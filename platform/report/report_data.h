#pragma once
// What a report reads: one record of named, typed values, offered by a data source
// through a data connection. The source may be an in-memory record (tests, tools) or a
// table view (the print buffer); the report engine asks for the record at each run.
#include <QDate>
#include <QString>
#include <QTime>
#include <memory>
#include <variant>
#include <vector>

#include "platform/variant.h"

namespace velta {

// A field value: empty (no value), text, date, time of day or floating point.
class ReportValue {
 public:
  ReportValue() = default;
  ReportValue(const QString& text) : v_(text) {}
  ReportValue(const char* text) : v_(QString::fromUtf8(text)) {}
  ReportValue(QDate date) : v_(date) {}
  ReportValue(QTime time) : v_(time) {}
  ReportValue(double number) : v_(number) {}
  // Empty and null give an empty value, whole numbers and booleans a number, text a text.
  static ReportValue fromVariant(const Variant& v);

  bool isEmpty() const { return std::holds_alternative<std::monostate>(v_); }
  const QString* text() const { return std::get_if<QString>(&v_); }
  const QDate* date() const { return std::get_if<QDate>(&v_); }
  const QTime* time() const { return std::get_if<QTime>(&v_); }
  const double* number() const { return std::get_if<double>(&v_); }

 private:
  std::variant<std::monostate, QString, QDate, QTime, double> v_;
};

struct ReportField {
  QString name;
  ReportValue value;
};
using ReportRecord = std::vector<ReportField>;

// Where a data connection gets its record. currentRecord() raises Error when the data
// cannot be read (for instance a closed table). UI thread.
class ReportDataSource {
 public:
  virtual ~ReportDataSource() = default;
  virtual ReportRecord currentRecord() const = 0;
};

// A data source holding one record in memory.
class RecordDataSource : public ReportDataSource {
 public:
  RecordDataSource() = default;
  explicit RecordDataSource(ReportRecord r) : record(std::move(r)) {}
  ReportRecord currentRecord() const override { return record; }
  ReportRecord record;
};

}  // namespace velta
