#pragma once
// The station's logic behind the window's event table: it owns the window's working
// values, the PLC server reference and the tables, and runs every handler. The
// widgets (Form1) and the outside components are given to it, so tests run it whole
// with fakes. UI thread only.
#include <QObject>
#include <functional>
#include <memory>

#include "output/dataset_report_source.h"
#include "output/record_source.h"
#include "output/report_output.h"
#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/object_registry.h"
#include "platform/operator_dialogs.h"
#include "platform/plc_item_server.h"
#include "platform/progress_reporter.h"
#include "platform/regional_settings.h"
#include "platform/shutdown_service.h"
#include "platform/spreadsheet/spreadsheet_connection.h"
#include "platform/termination.h"
#include "plc/poll_cycle.h"
#include "plc/sequencer.h"
#include "records/daily_file.h"
#include "records/record_table_model.h"
#include "platform/tablestore/dataset.h"
#include "ui/form_handlers.h"
#include "platform/form_state.h"

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
  PollCycle& pollCycle() { return poll_; }

  // The spreadsheet connection of the window (connects on first use at the latest).
  SpreadsheetConnection& excelApplication1() { return ExcelApplication1; }
  // Gives the all-records export the records of Table1; while unset the export
  // does nothing (the station sets it to Table1).
  std::function<std::unique_ptr<RecordSource>()> table1RecordSource;
  // Where the all-records export shows its progress (silent when unset).
  ProgressReporter* exportProgress = nullptr;
  Dataset& table1() { return Table1; }
  // The grid's rows: the records of Table1.
  RecordTableModel& gridModel() { return gridModel_; }
  DailyFileContext dailyFile() { return {Table1, form_, s_.dialogs, s_.clock, s_.drives}; }
  // Where the sequencer's log lines go; by default stderr.
  void setSequencerLog(std::function<void(const QString& line)> log) { outlet_.log = std::move(log); }

  // FormCreate's first step: grow the window from its centre (set by the program).
  std::function<void(int durationMs)> AnimateWindow;

  // Clean-up after the event loop, in this order: the window's components (Table1 and
  // Table2 closed, ExcelApplication1 let go without quitting the spreadsheet program),
  // then PlcServer released.
  void closeWindowComponents();
  void releasePlcServer() { PlcServer.reset(); }
  // The print buffer view (opened by the first report output).
  Dataset& table2() { return Table2; }

  // Report output: the report components (RvDataSetConnection1 reads Table2), the
  // engine's windows (the program sets the Qt ones) and the print-buffer step that the
  // three report buttons run first (the print buffer; unset, the buttons raise an error).
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
  PollCycle poll_;  // after form_ and PlcServer, which it uses
  SpreadsheetConnection ExcelApplication1{s_.registry};
  // The daily data file shown in the grid (declared with the eighteen record fields).
  Dataset Table1{QStringLiteral("Table1")};
  RecordTableModel gridModel_{Table1};
  // The print buffer that the report reads through RvDataSetConnection1.
  Dataset Table2{QStringLiteral("Table2")};
  DatasetReportSource table2Report_{Table2};
  MainWindowReports reports_;
  ReportOutput reportOutput_;
  StoreTrouble storeTrouble_;
  PieceJournal pieceJournal_{PieceJournalPath(s_.drives)};
  PieceInProgress pieceInProgress_;
  SequencerOutlet outlet_;
  // Boxes the sequencer asks for are shown from the event loop after the tick; they
  // die with the station.
  QObject afterTick_;
};

}  // namespace velta
