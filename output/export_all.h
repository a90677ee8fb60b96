#pragma once
// All records of the open data file into a new workbook of the connected spreadsheet
// application (SpeedButton4, "TÜM KAYITLARI EXCELE AKTAR"): the window caption is the
// last 14 characters of the table name, row 1 holds the field names from the active
// cell rightwards, row n (from 2) the (n-1)-th record's field texts from "A"+n. Every
// value goes as text. The records come from a snapshot, so the table's cursor never
// moves. Progress is reported per record; the workbook is handed to the operator on
// every way out (what was written stays). Automation and source failures propagate as
// Error; there is no closing message. UI thread only.
//
// A sheet ends at row kSheetLastRow: records past it are not written (the walk stops
// there) and the result counts them, so the caller can tell the operator; one sheet
// with one heading row stays the workbook's shape.
#include "output/record_source.h"
#include "platform/progress_reporter.h"
#include "platform/spreadsheet/spreadsheet_connection.h"

namespace velta {

// The caption the export gives the new workbook's window.
QString exportWindowCaption(const QString& tableName);

struct ExportAllResult {
  qint64 exported = 0;   // records written, rows 2 .. exported + 1
  qint64 leftOut = 0;    // records that did not fit on the sheet
};

ExportAllResult SpeedButton4Click(SpreadsheetConnection& ExcelApplication1, RecordSource& Table1,
                                  ProgressReporter& progress);

// What the operator is told when records did not fit (empty when all did).
QString exportLeftOutText(const ExportAllResult& result);

}  // namespace velta
