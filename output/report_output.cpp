#include "output/report_output.h"

#include "platform/error.h"

namespace velta {

MainWindowReports::MainWindowReports(ReportEnvironment env)
    : RvProject1(QStringLiteral("RvProject1"), std::move(env)) {
  RvProject1.addConnection(&RvDataSetConnection1);
  RvProject1.addRenderer(&RvRenderPDF1);
  RvProject1.addRenderer(&RvRenderHTML1);
  RvProject1.addRenderer(&RvRenderText1);
}

void MainWindowReports::setTrace(const ReportTrace& trace) {
  RvProject1.trace = trace;
  RvSystem1.trace = trace;
}

void checkReportFileName(const QString& serial) {
  QString why;
  static const QString forbidden = QStringLiteral("/\\:<>\"|?*");
  for (QChar c : serial) {
    if (c.unicode() < 0x20 || c.unicode() == 0x7F || c.category() == QChar::Other_Control ||
        c.category() == QChar::Other_Format || c.isSurrogate()) {
      why = QStringLiteral("kontrol karakteri var");
      break;
    }
    if (forbidden.contains(c)) {
      why = QStringLiteral("\"%1\" karakteri var").arg(c);
      break;
    }
  }
  if (why.isEmpty()) {
    static const QStringList reserved = {
        QStringLiteral("CON"),  QStringLiteral("PRN"),  QStringLiteral("AUX"),  QStringLiteral("NUL"),
        QStringLiteral("COM1"), QStringLiteral("COM2"), QStringLiteral("COM3"), QStringLiteral("COM4"),
        QStringLiteral("COM5"), QStringLiteral("COM6"), QStringLiteral("COM7"), QStringLiteral("COM8"),
        QStringLiteral("COM9"), QStringLiteral("LPT1"), QStringLiteral("LPT2"), QStringLiteral("LPT3"),
        QStringLiteral("LPT4"), QStringLiteral("LPT5"), QStringLiteral("LPT6"), QStringLiteral("LPT7"),
        QStringLiteral("LPT8"), QStringLiteral("LPT9")};
    if (serial.isEmpty())
      why = QStringLiteral("boş");
    else if (serial.contains(QStringLiteral("..")))
      why = QStringLiteral("\"..\" var");
    else if (serial.endsWith(u'.') || serial.endsWith(u' ') || serial.startsWith(u' '))
      why = QStringLiteral("başında ya da sonunda boşluk veya nokta var");
    else if (reserved.contains(serial.section(u'.', 0, 0), Qt::CaseInsensitive))
      why = QStringLiteral("aygıt adı");
  }
  if (why.isEmpty()) return;
  QString shown;
  for (QChar c : serial)
    shown += c.isPrint() && !c.isSurrogate() ? QString(c)
                                             : QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QChar(u'0'));
  throw Error(QStringLiteral("Seri numarası \"%1\" dosya adı olamaz (%2); rapor dosyası yazılmadı")
                  .arg(shown, why));
}

ReportOutput::ReportOutput(FormState& form, OperatorDialogs& dialogs, MainWindowReports& reports,
                           std::function<void()> preparePrintBuffer)
    : form_(form), dialogs_(dialogs), reports_(reports),
      preparePrintBuffer_(std::move(preparePrintBuffer)) {}

bool ReportOutput::guard() {
  if (form_.text(ctl::Edit6) == u" ") {
    dialogs_.showMessage(kApplicationTitle, QStringLiteral("KAYIT ŞEÇ "));
    return false;
  }
  return true;
}

void ReportOutput::prepareAndOpen() {
  if (!preparePrintBuffer_)
    throw Error(QStringLiteral("PreparePrintBuffer is not connected: the print buffer cannot be filled"));
  preparePrintBuffer_();
  reports_.RvProject1.Close();
  reports_.RvProject1.ClearStoredProject();
  reports_.RvProject1.setProjectFile(kReportProjectFile);
}

void ReportOutput::SpeedButton6Click() {
  if (!guard()) return;
  prepareAndOpen();
  // Engine and the file-output settings stay as they are; the run gets an output
  // system of its own, so the operator always chooses in "Output Options" and the
  // last file run's file is never overwritten behind the operator's back.
  reports_.RvProject1.ExecuteOnOwnSystem();
}

void ReportOutput::SpeedButton2Click() { fileOutput(reports_.RvRenderPDF1, QStringLiteral(".pdf")); }

void ReportOutput::SpeedButton3Click() { fileOutput(reports_.RvRenderHTML1, QStringLiteral(".html")); }

void ReportOutput::fileOutput(ReportRenderer& renderer, const QString& extension) {
  if (!guard()) return;
  // The serial number becomes a file name: refuse it before anything is written. An
  // empty box goes on to the print buffer, which decides (and is checked again below).
  if (!form_.text(ctl::Edit6).isEmpty()) checkReportFileName(form_.text(ctl::Edit6));
  prepareAndOpen();
  RvSystem& sys = reports_.RvSystem1;
  sys.setDefaultDest(ReportDestination::rdFile);
  sys.setDoNativeOutput(false);
  sys.setRenderObject(&renderer);
  const QString serial = form_.text(ctl::Edit6);
  checkReportFileName(serial);
  sys.setOutputFileName(kReportFolder + serial + extension);
  sys.setSystemSetups(sys.SystemSetups() & ~SetupPermissions(ssAllowSetup));
  reports_.RvProject1.setEngine(&sys);
  reports_.RvProject1.Execute();
}

}  // namespace velta
