#include "output/one_record_sheet.h"

#include <array>

#include "platform/spreadsheet/spreadsheet.h"
#include "platform/spreadsheet/spreadsheet_application.h"

namespace velta {

namespace {

// The serial-number cut: date text dd.MM.yyyy and time text hh:mm from characters
// 2-3, 4-5, 6-9, 11-12 and 13-14 of the text, each a plain substring (empty or short
// when the text is). Kept local and small; records/ will offer the shared one.
struct SerialCut {
  QString date;
  QString time;
};

SerialCut cutSerial(const QString& s) {
  auto piece = [&s](qsizetype start1, qsizetype length) { return s.mid(start1 - 1, length); };
  return {piece(2, 2) + u'.' + piece(4, 2) + u'.' + piece(6, 4), piece(11, 2) + u':' + piece(13, 2)};
}

const QString kNoRecordMessage = QStringLiteral("KAYIT ŞEÇ ");
const QString kDoneMessage = QStringLiteral("Kayıtlar aktarıldı ");
const std::array<QString, 4> kValueHeadings = {QStringLiteral("HAVA (Bar)"), QStringLiteral("YÜK (Kg)"),
                                               QStringLiteral("EN  (Cm)"), QStringLiteral("BOY  (Cm)")};

}  // namespace

void SpeedButton8Click(FormState& form, const ObjectRegistry& registry, OperatorDialogs& dialogs) {
  if (form.text(ctl::Edit6) == QStringLiteral(" ")) {
    dialogs.showMessage(kApplicationTitle, kNoRecordMessage);
    return;
  }
  // The only reference to the new application; it goes on every way out of here,
  // and with it the application hands its workbook to the operator.
  const std::shared_ptr<SpreadsheetApplication> excel = registry.createAs<SpreadsheetApplication>(kSpreadsheetProgId);
  excel->putVisible(true);
  excel->Workbooks()->Add();

  const SerialCut cut = cutSerial(form.text(ctl::Edit6));

  {
    const auto columns = excel->Workbooks(1)->WorkSheets(1)->Columns();
    columns->Columns(1)->putColumnWidth(35);
    for (int col = 2; col <= 5; ++col) columns->Columns(col)->putColumnWidth(20);
  }

  auto bold = [&](int row, int col) { excel->ActiveSheet()->Cells(row, col)->Font()->putBold(true); };
  auto size12 = [&](int row, int col) { excel->ActiveSheet()->Cells(row, col)->Font()->putSize(12); };
  auto put = [&](int row, int col, const QString& text) { excel->ActiveSheet()->putCells(row, col, text); };

  for (int row = 2; row <= 5; ++row) bold(row, 1);
  for (int row = 2; row <= 5; ++row) size12(row, 1);
  put(2, 1, QStringLiteral("SERİNO  : ") + form.text(ctl::Edit6));
  put(3, 1, QStringLiteral("TARİH  : ") + cut.date);
  put(4, 1, QStringLiteral("SAAT  : ") + cut.time);
  put(5, 1, QStringLiteral("SONUÇ  : NEGATiF"));

  for (int col = 2; col <= 5; ++col) bold(7, col);
  for (int col = 2; col <= 5; ++col) size12(7, col);
  for (int col = 2; col <= 5; ++col) put(7, col, kValueHeadings[static_cast<size_t>(col - 2)]);

  // Edit9..Edit24: four phases by four quantities, row by row.
  for (int phase = 0; phase < 4; ++phase)
    for (int q = 0; q < 4; ++q) put(8 + phase, 2 + q, form.text(ctl::Edit9 + phase * 4 + q));

  dialogs.showMessage(kApplicationTitle, kDoneMessage);
}

}  // namespace velta
