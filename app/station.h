#pragma once
// The station's logic behind the window's event table: it owns the window's working
// values, the PLC server reference and the tables, and runs every handler. The
// widgets (Form1) and the outside components are given to it, so tests run it whole
// with fakes. UI thread only.
#include "output/report_output.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/object_registry.h"
#include "platform/operator_dialogs.h"
#include "platform/plc_item_server.h"
#include "platform/regional_settings.h"
#include "platform/shutdown_service.h"
#include "platform/termination.h"
#include "ui/form_handlers.h"
#include "ui/form_state.h"

namespace velta {

// The outside components as the station reaches them; all outlive the station.
struct PlatformServices {
  OperatorDialogs& dialogs;
  ObjectRegistry& registry;
  ShutdownService& shutdown;
  TerminationRequest& termination;
  const Clock& clock;
  RegionalSettings regional;
  DriveMap drives;
};

class Station : public FormHandlers {
 public:
  explicit Station(PlatformServices services);
  ~Station() override;

  FormState& form() { return form_; }
  PlcServerRef& plcServer() { return PlcServer; }
  const PlatformServices& services() const { return s_; }

  // Report output: the report components (connect RvDataSetConnection1 to Table2), the
  // engine's windows (the program sets the Qt ones) and the print-buffer step that the
  // three report buttons run first; unset, the buttons raise an error.
  MainWindowReports& reports() { return reports_; }
  void setReportDialogs(ReportDialogs* dialogs) { reports_.RvProject1.environment().dialogs = dialogs; }
  std::function<void()> PreparePrintBuffer;

  void FormCreate() override;
  void Timer1Timer() override;
  void SpeedButton1Click() override;
  void SpeedButton5Click() override;
  void SpeedButton6Click() override;
  void SpeedButton2Click() override;
  void SpeedButton3Click() override;
  void SpeedButton4Click() override;
  void SpeedButton8Click() override;
  void SpeedButton7Click() override;
  void DBGrid1CellClick() override;
  void DBGrid1KeyUp() override;
  void DBGrid1CtrlDelete() override;

 private:
  PlatformServices s_;
  FormState form_;
  PlcServerRef PlcServer;
  MainWindowReports reports_;
  ReportOutput reportOutput_;
};

}  // namespace velta
