// velta-report-sample <project file> <output.pdf|.html|.txt>: renders the active report
// of a report project over a sample print-buffer record, so that a plant engineer can
// check an edited layout without the machine.
#include <QFileInfo>
#include <QGuiApplication>
#include <QTextStream>

#include "platform/drive_map.h"
#include "platform/error.h"
#include "platform/report/report_components.h"

int main(int argc, char** argv) {
  using namespace velta;
  QGuiApplication app(argc, argv);
  QTextStream err(stderr);
  if (argc != 3) {
    err << "usage: velta-report-sample <project file> <output.pdf|.html|.txt>\n";
    return 2;
  }
  const QString project = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
  const QString output = QFileInfo(QString::fromLocal8Bit(argv[2])).absoluteFilePath();
  ReportRecord record = {{"SERiNO", "T09032026K1405V"}, {"TARiH", QDate(2026, 3, 9)},
                         {"SAAT", QTime(14, 5)},        {"SONUC", "NEGATiF"}};
  const char* names[] = {"HAVA", "PRES", "EN", "BOY"};
  const double base[] = {6.2, 1480.5, 42.35, 118.6};
  for (int phase = 0; phase < 4; ++phase)
    for (int q = 0; q < 4; ++q)
      record.push_back({QString::fromLatin1(names[q]) + (phase ? QString::number(phase) : QString()),
                        base[q] + phase * (q == 1 ? 12.25 : 0.15)});
  RecordDataSource source(record);
  RvDataSetConnection connection;
  connection.setDataSet(&source);
  RvRenderPDF pdf;
  RvRenderHTML html;
  RvRenderText text;
  RvProject rv(QStringLiteral("RvProject1"), ReportEnvironment{DriveMap(QString()), u',', nullptr});
  rv.addConnection(&connection);
  rv.addRenderer(&pdf);
  rv.addRenderer(&html);
  rv.addRenderer(&text);
  rv.setProjectFile(project);
  RvSystem sys;
  const QString suffix = QFileInfo(output).suffix().toLower();
  sys.setDefaultDest(ReportDestination::rdFile);
  sys.setDoNativeOutput(false);
  sys.setRenderObject(suffix == u"pdf" ? static_cast<ReportRenderer*>(&pdf)
                      : suffix == u"txt" ? static_cast<ReportRenderer*>(&text)
                                          : static_cast<ReportRenderer*>(&html));
  sys.setOutputFileName(output);
  sys.setSystemSetups(sys.SystemSetups() & ~SetupPermissions(ssAllowSetup));
  sys.Options &= ~SystemOptions(soShowStatus);
  rv.setEngine(&sys);
  try {
    rv.Execute();
  } catch (const std::exception& e) {
    err << exceptionText(e) << '\n';
    return 1;
  }
  return 0;
}
