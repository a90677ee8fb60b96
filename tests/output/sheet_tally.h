#pragma once
// A spreadsheet application for exports too large to record call by call: it keeps a
// tally of one workbook (its heading row, how many rows below it were written, the
// texts of the last one) and refuses a cell past the sheet's last row or column, as
// the stand-in does. Registered as the spreadsheet's identifier in a registry.
#include <QRegularExpression>
#include <QStringList>
#include <memory>

#include "platform/error.h"
#include "platform/object_registry.h"
#include "platform/spreadsheet/spreadsheet.h"
#include "platform/spreadsheet/spreadsheet_application.h"

namespace velta::test {

struct SheetTally {
  QStringList heading;
  int lastRow = 0;           // highest row a value went to
  QStringList lastRowTexts;  // the values of that row, left to right
  int handOvers = 0;
};

class TallySpreadsheet : public SpreadsheetApplication,
                         public SpreadsheetWorkbooks,
                         public SpreadsheetWorkbook,
                         public SpreadsheetWindow,
                         public std::enable_shared_from_this<TallySpreadsheet> {
 public:
  explicit TallySpreadsheet(SheetTally& tally) : tally_(tally) {}

  static void registerIn(ObjectRegistry& registry, SheetTally& tally) {
    registry.registerClass(kSpreadsheetProgId, [&tally] { return std::make_shared<TallySpreadsheet>(tally); });
  }

  void putVisible(const Variant&) override {}
  std::shared_ptr<SpreadsheetWorkbooks> Workbooks() override { return shared_from_this(); }
  std::shared_ptr<SpreadsheetWorkbook> Workbooks(const Variant&) override { return shared_from_this(); }
  std::shared_ptr<SpreadsheetWindow> ActiveWindow() override { return shared_from_this(); }
  std::shared_ptr<SpreadsheetWorksheet> ActiveSheet() override { throw Error("not offered"); }
  std::shared_ptr<SpreadsheetRange> ActiveCell() override { return std::make_shared<Cell>(tally_, 1, 1); }
  std::shared_ptr<SpreadsheetRange> Range(const Variant& cell1, const Variant& cell2) override {
    static const QRegularExpression a1(QStringLiteral("^A([0-9]+)$"));
    const auto m = a1.match(cell1.asText());
    const qint64 row = m.hasMatch() ? m.captured(1).toLongLong() : 0;
    if (cell1.asText() != cell2.asText() || row < 1 || row > kSheetLastRow)
      throw Error(QStringLiteral("Range %1 is not the name of a cell").arg(cell1.describe()));
    return std::make_shared<Cell>(tally_, static_cast<int>(row), 1);
  }
  void HandOverWorkbooks() noexcept override { ++tally_.handOvers; }

  std::shared_ptr<SpreadsheetWorkbook> Add() override { return shared_from_this(); }
  std::shared_ptr<SpreadsheetWorkbook> Add(const Variant&) override { return shared_from_this(); }
  std::shared_ptr<SpreadsheetWorkbook> Item(const Variant&) override { return shared_from_this(); }
  std::shared_ptr<SpreadsheetWorksheet> WorkSheets(const Variant&) override { throw Error("not offered"); }
  void putCaption(const Variant&) override {}

 private:
  class Cell : public SpreadsheetRange {
   public:
    Cell(SheetTally& tally, int row, int column) : tally_(tally), row_(row), column_(column) {}
    void putValue2(const Variant& value) override {
      if (row_ == 1) {
        tally_.heading << value.asText();
        return;
      }
      if (row_ != tally_.lastRow) tally_.lastRowTexts.clear();
      tally_.lastRow = row_;
      tally_.lastRowTexts << value.asText();
    }
    std::shared_ptr<SpreadsheetRange> Next() override {
      if (column_ >= kSheetLastColumn) throw Error("no cell to the right");
      return std::make_shared<Cell>(tally_, row_, column_ + 1);
    }
    std::shared_ptr<SpreadsheetFont> Font() override { throw Error("not offered"); }
    std::shared_ptr<SpreadsheetRange> Columns(const Variant&) override { throw Error("not offered"); }
    void putColumnWidth(const Variant&) override { throw Error("not offered"); }

   private:
    SheetTally& tally_;
    int row_, column_;
  };

  SheetTally& tally_;
};

}  // namespace velta::test
