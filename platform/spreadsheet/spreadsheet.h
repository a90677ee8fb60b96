#pragma once
// The spreadsheet application as the station drives it: an automation-like object
// model with exactly the members the two spreadsheet outputs call. Every object is
// reference-counted (std::shared_ptr) and released by dropping the reference; a
// child keeps its application alive. Values travel as Variant; a text that spells a
// number in the regional format becomes a number cell, every other text stays text.
// Any member may fail with velta::Error (an automation error). UI thread only.
#include <memory>

#include "platform/object_registry.h"
#include "platform/variant.h"

namespace velta {

// The last row and column of a sheet.
inline constexpr int kSheetLastRow = 1048576;
inline constexpr int kSheetLastColumn = 16384;

class SpreadsheetFont;
class SpreadsheetWindow;
class SpreadsheetWorkbook;
class SpreadsheetWorkbooks;
class SpreadsheetWorksheet;

// A cell, a column or all columns of a sheet. Only what the outputs use is offered:
// Value2, Next and Font on a single cell; Columns(n) and ColumnWidth on columns.
class SpreadsheetRange {
 public:
  virtual ~SpreadsheetRange() = default;
  virtual void putValue2(const Variant& value) = 0;
  virtual std::shared_ptr<SpreadsheetRange> Next() = 0;  // the cell to the right
  virtual std::shared_ptr<SpreadsheetFont> Font() = 0;
  virtual std::shared_ptr<SpreadsheetRange> Columns(const Variant& index) = 0;  // 1-based
  virtual void putColumnWidth(const Variant& width) = 0;  // in characters, 0 .. 255
};

class SpreadsheetFont {
 public:
  virtual ~SpreadsheetFont() = default;
  virtual void putBold(const Variant& bold) = 0;
  virtual void putSize(const Variant& points) = 0;  // 1 .. 409
};

class SpreadsheetWindow {
 public:
  virtual ~SpreadsheetWindow() = default;
  // The window's caption; it also becomes the workbook file's document title.
  virtual void putCaption(const Variant& caption) = 0;
};

class SpreadsheetWorksheet {
 public:
  virtual ~SpreadsheetWorksheet() = default;
  // Rows 1 .. kSheetLastRow, columns 1 .. kSheetLastColumn.
  virtual std::shared_ptr<SpreadsheetRange> Cells(const Variant& row, const Variant& column) = 0;
  virtual void putCells(const Variant& row, const Variant& column, const Variant& value) = 0;
  virtual std::shared_ptr<SpreadsheetRange> Columns() = 0;
};

class SpreadsheetWorkbook {
 public:
  virtual ~SpreadsheetWorkbook() = default;
  virtual std::shared_ptr<SpreadsheetWorksheet> WorkSheets(const Variant& index) = 0;  // 1-based
};

class SpreadsheetWorkbooks {
 public:
  virtual ~SpreadsheetWorkbooks() = default;
  // A new workbook with one empty sheet; it becomes the active one, its cell A1 active.
  virtual std::shared_ptr<SpreadsheetWorkbook> Add() = 0;
  // The same with a template argument: a whole number (the kind of sheet) is accepted,
  // anything else is an error.
  virtual std::shared_ptr<SpreadsheetWorkbook> Add(const Variant& templateArg) = 0;
  virtual std::shared_ptr<SpreadsheetWorkbook> Item(const Variant& index) = 0;  // 1-based
};

class SpreadsheetApplication : public AutomationObject {
 public:
  virtual void putVisible(const Variant& visible) = 0;
  virtual std::shared_ptr<SpreadsheetWorkbooks> Workbooks() = 0;
  // Workbooks(index): the same as Workbooks()->Item(index).
  virtual std::shared_ptr<SpreadsheetWorkbook> Workbooks(const Variant& index) = 0;
  // The window, sheet and cell of the active workbook; an error when there is none.
  virtual std::shared_ptr<SpreadsheetWindow> ActiveWindow() = 0;
  virtual std::shared_ptr<SpreadsheetWorksheet> ActiveSheet() = 0;
  virtual std::shared_ptr<SpreadsheetRange> ActiveCell() = 0;
  // A cell of the active sheet by its A1-style name; both corners must name one cell.
  virtual std::shared_ptr<SpreadsheetRange> Range(const Variant& cell1, const Variant& cell2) = 0;

  // The stand-in's own hand-over point (no member of the program it stands for): every
  // workbook made so far is written to its file and given to the desktop's spreadsheet
  // program; it then belongs to the operator and leaves this application. The same
  // happens by itself when the last reference to the application is released. Never
  // throws: a failure is shown to the operator with the file's name.
  virtual void HandOverWorkbooks() noexcept = 0;
};

}  // namespace velta
