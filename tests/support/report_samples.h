#pragma once
// Shared by the report tests: a sample print-buffer record whose sixteen values tell
// their cell apart (row r, column c holds r*10 + c + 0.25), and text extraction.
#include <QDate>
#include <QProcess>
#include <QString>
#include <QTime>

#include "platform/report/report_data.h"

namespace velta::testing {

inline const char* kQuantities[] = {"HAVA", "PRES", "EN", "BOY"};

inline QString fieldName(int row, int col) {  // row, col 1-based
  return QString::fromLatin1(kQuantities[col - 1]) + (row > 1 ? QString::number(row - 1) : QString());
}
inline double cellValue(int row, int col) { return row * 10 + col + 0.25; }

inline ReportRecord sampleRecord(const QString& serial = QStringLiteral("T09032026K1405V")) {
  ReportRecord r = {{"SERiNO", serial}, {"TARiH", QDate(2026, 3, 9)}, {"SAAT", QTime(14, 5)},
                    {"SONUC", "NEGATiF"}};
  for (int row = 1; row <= 4; ++row)
    for (int col = 1; col <= 4; ++col) r.push_back({fieldName(row, col), cellValue(row, col)});
  return r;
}

// The text of a PDF as pdftotext lays it out (-layout keeps the rows of a table on one line).
inline QString pdfText(const QString& path) {
  QProcess p;
  p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                         QStringLiteral("UTF-8"), path, QStringLiteral("-")});
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return QStringLiteral("<pdftotext failed>");
  return QString::fromUtf8(p.readAllStandardOutput());
}

}  // namespace velta::testing
