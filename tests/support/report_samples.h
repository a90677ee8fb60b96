#pragma once
// Shared by the report tests: a sample print-buffer record whose sixteen values tell
// their cell apart (row r, column c holds r*10 + c + 0.25), and text extraction.
#include <QDate>
#include <QProcess>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTime>
#include <gtest/gtest.h>

#include "platform/report/report_data.h"

namespace velta::testing {

inline const char* kQuantities[] = {"HAVA", "PRES", "EN", "BOY"};

// The sample record's serial number, and the desktop folder under a station root.
inline const QString kSerial = QStringLiteral("T09032026K1405V");
inline const QString kDesktop = QStringLiteral("C/Documents and Settings/Administrator/Desktop");

inline QString fieldName(int row, int col) {  // row, col 1-based
  return QString::fromLatin1(kQuantities[col - 1]) + (row > 1 ? QString::number(row - 1) : QString());
}
inline double cellValue(int row, int col) { return row * 10 + col + 0.25; }

inline ReportRecord sampleRecord(const QString& serial = kSerial) {
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

// A value as the default report prints it: two decimals and a decimal comma.
inline QString number(double v) { return QString::number(v, 'f', 2).replace(u'.', u','); }

// The report's lines that carry the sample record, in the plain layout of pdftotext
// -layout and of the text renderer: header lines, then the four phase rows with their
// four values (each value plus offset).
inline void expectRecordLines(const QString& text, double offset) {
  const QStringList lines = text.split(u'\n');
  auto find = [&](const QString& pattern, int after) {
    const QRegularExpression re(pattern);
    for (int i = after + 1; i < lines.size(); ++i)
      if (re.match(lines[i]).hasMatch()) return i;
    return -1;
  };
  EXPECT_GE(find(QStringLiteral("SERİ NO\\s+T09032026K1405V\\s+TARİH\\s+09\\.03\\.2026"), -1), 0) << text.toStdString();
  EXPECT_GE(find(QStringLiteral("SONUÇ\\s+NEGATiF\\s+SAAT\\s+14:05"), -1), 0) << text.toStdString();
  int at = find(QStringLiteral("FAZ\\s+BASINÇ \\(bar\\)\\s+PRES \\(kg\\)\\s+EN \\(cm\\)\\s+BOY \\(cm\\)"), -1);
  ASSERT_GE(at, 0) << text.toStdString();
  for (int row = 1; row <= 4; ++row) {
    QStringList cells;
    for (int col = 1; col <= 4; ++col) cells << QRegularExpression::escape(number(cellValue(row, col) + offset));
    const int next = find(QStringLiteral("^\\s*%1\\. FAZ\\s+%2\\s*$").arg(row).arg(cells.join(QStringLiteral("\\s+"))), at);
    ASSERT_GT(next, at) << "row " << row << "\n" << text.toStdString();
    at = next;
  }
}

}  // namespace velta::testing
