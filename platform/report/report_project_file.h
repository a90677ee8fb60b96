#pragma once
// The report project file: a text file a plant engineer edits. INI-like sections, '#'
// or ';' starting a comment line outside templates:
//
//   [project]
//   active = <name of the report to run>      (else the first report)
//
//   [report <name>]
//   page = A4 | A5 | A3 | Letter | Legal | <width>x<height>   (millimetres)
//   orientation = portrait | landscape
//   margins = <all> | <top> <right> <bottom> <left>           (millimetres)
//   font = <family>, <size in points>
//   date-format = dd.MM.yyyy                  (Qt date format)
//   time-format = hh:mm                       (Qt time format)
//   number-format = fixed <decimals> | general (the number-text rule, as the grid shows it)
//   number-format.<FIELD> = fixed <decimals> | general
//   decimal-separator = , | . | regional
//   template = <<END
//   ...XHTML layout, mustache tags {{RvDataSetConnection1.SERiNO}}...
//   END
//
// The template is XHTML in the subset that Qt's rich text renders; it must be well
// formed (use &#160; rather than &nbsp;). Connection and field names in tags match
// without regard to case; an empty field is false for sections ({{^HAVA}}-{{/HAVA}}).
//
// The station reads the file in its own process at every report press, so what a file
// may cost is bounded: at most kMaxReportProjectBytes, sections nested at most
// kMaxTemplateNesting deep (the template engine's memory grows with size times depth)
// and elements at most kMaxElementNesting deep (so does the layout's time). A limit
// passed is an Error naming the file and the limit.
#include <QChar>
#include <QHash>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>
#include <vector>

namespace velta {

inline constexpr qint64 kMaxReportProjectBytes = 1024 * 1024;
inline constexpr int kMaxTemplateNesting = 32;  // sections inside sections
inline constexpr int kMaxElementNesting = 64;   // XHTML elements inside elements

struct ReportDefinition {
  QString name;
  QPageSize pageSize{QPageSize::A4};
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  QMarginsF marginsMm{20, 20, 20, 20};  // left, top, right, bottom
  QString fontFamily = QStringLiteral("DejaVu Sans");
  double fontPointSize = 10;
  QString dateFormat = QStringLiteral("dd.MM.yyyy");
  QString timeFormat = QStringLiteral("hh:mm");
  int decimals = -1;                 // fixed decimals; -1: as many as needed
  QHash<QString, int> fieldDecimals;  // case-folded field name -> decimals (-1 general)
  QChar decimalSeparator;            // null: the user's regional separator
  QString templateText;
  int templateLine = 0;  // line of the template's first line in the file

  QPageLayout pageLayout() const;
};

struct ReportProjectDefinition {
  QString activeName;
  std::vector<ReportDefinition> reports;
  // The report named active, else the first. Raises Error when there is none.
  const ReportDefinition& activeReport(const QString& displayName) const;
};

// Parses the file's text; displayName names the file in errors:
// "Report project "<displayName>", line <n>: <what>". A text longer than
// kMaxReportProjectBytes characters is refused (reportProjectTooLarge).
ReportProjectDefinition parseReportProject(const QString& text, const QString& displayName);

// The error for a project file of `size` bytes (or characters) over the limit.
QString reportProjectTooLarge(const QString& displayName, qint64 size);

}  // namespace velta
