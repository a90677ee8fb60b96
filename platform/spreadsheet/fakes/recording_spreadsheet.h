#pragma once
// A spreadsheet application for tests: every "Excel.Application" created through the
// registry is a new instance that records each member call (in one list for all
// instances, in call order) and keeps what was put into its workbooks. Calls can be
// made to fail, creation too; live objects are counted so that tests see every
// reference released.
//
// Call lines: Visible=True, Workbooks, Workbooks.Add(), Workbooks.Add(1), Workbooks(1),
// Workbook(1).WorkSheets(1), Sheet.Columns, Columns.Columns(2), Column(2).ColumnWidth=20,
// ActiveSheet, Sheet.Cells(2,1), Cell(2,1).Font, Font(2,1).Bold=True, Font(2,1).Size=12,
// Sheet.Cells(2,1)="text", ActiveWindow, Window(1).Caption="text", ActiveCell,
// Cell(1,1).Value2="text", Cell(1,1).Next, Range("A2","A2"), HandOverWorkbooks.
// Arguments: whole numbers as digits, booleans True/False, texts in double quotes,
// other values by Variant::describe().
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "platform/object_registry.h"
#include "platform/spreadsheet/spreadsheet.h"

namespace velta {

class RecordingSpreadsheet : public std::enable_shared_from_this<RecordingSpreadsheet> {
 public:
  using Cell = std::pair<int, int>;  // row, column
  struct Workbook {
    QString caption;
    std::map<Cell, Variant> values;
    std::set<Cell> bold;
    std::map<Cell, Variant> sizes;
    std::map<int, Variant> widths;
  };
  struct Instance {
    bool visible = false;
    std::deque<Workbook> workbooks;
    int handOvers = 0;
  };

  QStringList calls;
  std::deque<Instance> instances;
  int liveObjects = 0;
  // A call for which this returns true is recorded and then fails with an Error.
  std::function<bool(const QString& call)> failIf;
  bool failCreate = false;

  static QString arg(const Variant& v);
  void registerIn(ObjectRegistry& registry);

  // Internal: records the call and raises the scripted failure.
  void record(const QString& call);
};

}  // namespace velta
