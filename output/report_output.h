#pragma once
// Report output of the record in the detail panel: printer (the engine's output-options
// dialog), PDF file and HTML file on the desktop named after the serial number.
// UI thread. Errors are raised as velta::Error for the general error display.
#include <QString>
#include <functional>

#include "platform/operator_dialogs.h"
#include "platform/report/report_components.h"
#include "platform/form_state.h"

namespace velta {

inline const QString kReportProjectFile = QStringLiteral("D:\\rododezuz\\sistem\\rapor.rav");
inline const QString kReportFolder =
    QStringLiteral("C:\\Documents and Settings\\Administrator\\Desktop\\");

// The main window's report components with their design-time settings: RvProject1
// with no stored project and Engine unset, RvSystem1 with the engine's defaults,
// the three renderers and RvDataSetConnection1 (its DataSet is the print buffer view,
// connected by whoever owns Table2).
struct MainWindowReports {
  explicit MainWindowReports(ReportEnvironment env);
  MainWindowReports(const MainWindowReports&) = delete;
  MainWindowReports& operator=(const MainWindowReports&) = delete;

  RvRenderPDF RvRenderPDF1;
  RvRenderHTML RvRenderHTML1;
  RvRenderText RvRenderText1;
  RvDataSetConnection RvDataSetConnection1;
  RvSystem RvSystem1;
  RvProject RvProject1;

  void setTrace(const ReportTrace& trace);  // on RvProject1 and RvSystem1
};

// Raises Error (Turkish) when the serial number cannot be a file name: empty, a path
// separator, a drive colon, "..", control characters, characters that Windows refuses
// in file names (< > " | ? *), a trailing dot or blank, or a reserved device name.
void checkReportFileName(const QString& serial);

class ReportOutput {
 public:
  // preparePrintBuffer fills the print buffer from the detail panel (shows its own
  // message) or raises; an unset one raises a clear error when a button is pressed.
  ReportOutput(FormState& form, OperatorDialogs& dialogs, MainWindowReports& reports,
               std::function<void()> preparePrintBuffer);

  void setPreparePrintBuffer(std::function<void()> f) { preparePrintBuffer_ = std::move(f); }

  void SpeedButton6Click();  // printer: always the output-options dialog
  void SpeedButton2Click();  // PDF on the desktop
  void SpeedButton3Click();  // HTML on the desktop

 private:
  bool guard();  // false (after "KAYIT ŞEÇ ") when no record is shown
  void prepareAndOpen();
  void fileOutput(ReportRenderer& renderer, const QString& extension);

  FormState& form_;
  OperatorDialogs& dialogs_;
  MainWindowReports& reports_;
  std::function<void()> preparePrintBuffer_;
};

}  // namespace velta
