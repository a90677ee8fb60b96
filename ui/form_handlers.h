#pragma once
// The window's event table: Form1 calls one of these for each event. Every handler but
// Timer1Timer runs under the general error display (Form1 catches and shows errors);
// Timer1Timer has its own guard. UI thread.
namespace velta {

class FormHandlers {
 public:
  virtual ~FormHandlers() = default;
  virtual void FormCreate() = 0;
  virtual void FormDestroy() {}
  virtual void Timer1Timer() = 0;
  virtual void SpeedButton1Click() = 0;  // open a data file
  virtual void SpeedButton5Click() = 0;  // delete the current record
  virtual void SpeedButton6Click() = 0;  // printed report
  virtual void SpeedButton2Click() = 0;  // PDF report
  virtual void SpeedButton3Click() = 0;  // HTML report
  virtual void SpeedButton4Click() = 0;  // all records to a spreadsheet
  virtual void SpeedButton8Click() = 0;  // one-record spreadsheet sheet
  virtual void SpeedButton7Click() = 0;  // PLC connect (SpeedButton9 and SpeedButton7)
  virtual void DBGrid1CellClick() = 0;
  virtual void DBGrid1KeyUp() = 0;
  virtual void DBGrid1CtrlDelete() = 0;  // the grid's own delete with "Delete record?"
};

}  // namespace velta
