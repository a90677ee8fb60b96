#pragma once
// The print buffer "D:\rododezuz\sistem\Print.db": a one-record table that the report
// reads through Table2. PreparePrintBuffer creates it on first use and refills its record
// from the detail panel (Edit6, Edit9 .. Edit24) with FillPrintBuffer.
//
// Table2 must have been given PrintBufferFields() and the regional settings (the date
// text is read with the regional date separator and short date order, the time text
// with the regional time separator, the values with the decimal separator).
//
// Errors go to the caller as velta::Error: "'%s' is not a valid date", "'%s' is not a
// valid time", "'%s' is not a valid floating point value for field '%s'" (then nothing is
// posted and no message is shown) and the table store's own. UI thread only.
#include <QString>
#include <vector>

#include "platform/drive_map.h"
#include "platform/operator_dialogs.h"
#include "platform/tablestore/dataset.h"
#include "platform/form_state.h"

namespace velta {

inline const QString kSystemDirectory = QStringLiteral("D:\\rododezuz\\sistem");
inline const QString kPrintBufferTable = QStringLiteral("Print");
inline const QString kPrintBufferFile = QStringLiteral("D:\\rododezuz\\sistem\\Print.db");
inline const QString kPrintBufferFilled = QStringLiteral("Kayıtlar aktarıldı ");
inline const QString kPrintBufferResult = QStringLiteral("NEGATiF");

// SERiNO (text 15), TARiH (date), SAAT (time), SONUC (text 10), HAVA .. BOY3 (float).
const std::vector<FieldDef>& PrintBufferFields();

// What the print buffer works on; everything outlives the call.
struct PrintBufferContext {
  Dataset& Table2;
  const FormState& form;
  OperatorDialogs& dialogs;
  const DriveMap& drives;
};

// Creates Print.db (no index, nothing shown) when missing, then FillPrintBuffer. A
// Print.db of the previous station program is first renamed to
// "Print.db.old-station-file-<yyyyMMdd-HHmmss>" (never deleted; one stderr line). On
// return Table2 is open on the file and its first record holds the detail panel's values,
// posted, and the operator has closed "Kayıtlar aktarıldı ".
void PreparePrintBuffer(const PrintBufferContext& ctx);

// Reopens Table2 on the file, overwrites its first record (adds one to an empty table)
// with Edit6, the date and time cut from it, "NEGATiF" and Edit9 .. Edit24, posts it and
// shows "Kayıtlar aktarıldı ". On an error the change is dropped and nothing is shown.
void FillPrintBuffer(const PrintBufferContext& ctx);

}  // namespace velta
