// Fuzz target: the report project file (rapor.rav) and what a report press does with it:
// parse, fill the active report's template with a print-buffer record, check the XHTML
// and lay it out in pages. Properties: every refusal is a velta::Error naming the
// project; an accepted project has an active report with a template; a filled document
// has at least one page. Cost is bounded by the limits of the file and of the template
// (libFuzzer's -rss_limit_mb and -timeout find an input that escapes them).
#include <QDate>
#include <QGuiApplication>
#include <QString>
#include <QTime>

#include "platform/error.h"
#include "platform/report/report_document.h"
#include "platform/report/report_project_file.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;

const QString kProject = QStringLiteral("D:\\rododezuz\\sistem\\rapor.rav");

void ensureApplication() {
  static int argc = 1;
  static char name[] = "report_project_fuzz";
  static char* argv[] = {name, nullptr};
  if (!QGuiApplication::instance()) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QGuiApplication(argc, argv);  // lives for the whole run
  }
}

// A record as the print buffer holds one: text, date, time, numbers and empty fields,
// with markup characters in a text so that escaping is exercised.
std::vector<ReportConnectionData> printBufferRecord() {
  ReportRecord r;
  r.push_back({QStringLiteral("SERiNO"), ReportValue(QStringLiteral("A<7>&'\"12"))});
  r.push_back({QStringLiteral("TARiH"), ReportValue(QDate(2026, 12, 9))});
  r.push_back({QStringLiteral("SAAT"), ReportValue(QTime(14, 3, 7))});
  r.push_back({QStringLiteral("SONUC"), ReportValue(QStringLiteral("UYGUN"))});
  const char* quantities[] = {"HAVA", "PRES", "EN", "BOY"};
  int k = 0;
  for (const char* suffix : {"", "1", "2", "3"})
    for (const char* q : quantities) {
      const QString name = QString::fromLatin1(q) + QString::fromLatin1(suffix);
      r.push_back({name, k % 5 == 4 ? ReportValue() : ReportValue(1.25 * k - 3.5e-7 * k * k)});
      ++k;
    }
  return {{QStringLiteral("RvDataSetConnection1"), r}};
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  ensureApplication();
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  static const auto record = printBufferRecord();
  try {
    const ReportProjectDefinition project = parseReportProject(text, kProject);
    const ReportDefinition& report = project.activeReport(kProject);
    if (report.templateText.trimmed().isEmpty()) broken("accepted a report without a template");
    const QChar regional = size % 2 ? QChar(u',') : QChar(u'.');
    const ReportDocument doc(report, record, regional, kProject);
    if (doc.pageCount() < 1) broken("a filled report without pages");
  } catch (const Error& e) {
    if (!e.text().contains(kProject)) broken("report error does not name the project", e.text());
  }
  return 0;
}
