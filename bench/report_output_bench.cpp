// One PDF report from the PDF button to the closed file on the desktop, with the default
// report project; the print buffer step is an in-memory stand-in without the operator's
// message. Goal: well under 100 ms.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "output/report_output.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/report/scripted_report_dialogs.h"

namespace {

using namespace velta;

void BM_PdfButtonToClosedFile(benchmark::State& state) {
  QTemporaryDir root;
  const QString desktop = root.path() + QStringLiteral("/C/Documents and Settings/Administrator/Desktop");
  QDir().mkpath(desktop);
  QDir().mkpath(root.path() + QStringLiteral("/D/rododezuz/sistem"));
  QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/rapor.rav"),
              root.path() + QStringLiteral("/D/rododezuz/sistem/rapor.rav"));
  FormState form;
  ScriptedDialogs dialogs;
  ScriptedReportDialogs reportDialogs;
  MainWindowReports reports(ReportEnvironment{DriveMap(root.path()), u',', &reportDialogs});
  RecordDataSource printBuffer;
  reports.RvDataSetConnection1.setDataSet(&printBuffer);
  const char* names[] = {"HAVA", "PRES", "EN", "BOY"};
  form.setText(ctl::Edit6, QStringLiteral("T09032026K1405V"));
  ReportOutput output(form, dialogs, reports, [&] {
    ReportRecord r;
    r.push_back({QStringLiteral("SERiNO"), ReportValue(form.text(ctl::Edit6))});
    r.push_back({QStringLiteral("TARiH"), ReportValue(QDate(2026, 3, 9))});
    r.push_back({QStringLiteral("SAAT"), ReportValue(QTime(14, 5))});
    r.push_back({QStringLiteral("SONUC"), ReportValue(QStringLiteral("NEGATiF"))});
    for (int i = 0; i < 16; ++i)
      r.push_back({QString::fromLatin1(names[i % 4]) + (i >= 4 ? QString::number(i / 4) : QString()),
                   ReportValue(10.0 * i + 0.25)});
    printBuffer.record = r;
  });
  for (auto _ : state) {
    output.SpeedButton2Click();
    reportDialogs.statusTexts.clear();
    reportDialogs.statusTitles.clear();
  }
  if (!QFile::exists(desktop + QStringLiteral("/T09032026K1405V.pdf"))) state.SkipWithError("no PDF written");
}
BENCHMARK(BM_PdfButtonToClosedFile)->Unit(benchmark::kMillisecond);

}  // namespace
