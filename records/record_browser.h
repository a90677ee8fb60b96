#pragma once
// The record browser: copying Table1's current record into the detail panel (Edit6 and
// Edit9 .. Edit24) and deleting records, from the toolbar (SpeedButton5) and with
// Ctrl+Delete in the grid.
//
// A deletion keeps hold of the record that was current when the operator pressed the
// button or Ctrl+Delete: poll ticks run while the confirmation box waits and may append a
// record (which becomes current) or switch Table1 to another file. After the answer the
// confirmed record is deleted if Table1 still has the same file open; otherwise nothing
// is deleted and the operator is told so (kFileChangedNothingDeleted). A file of the
// previous station program (open read-only) is never asked about: the operator is told
// at once that its records cannot be deleted (kLegacyFileReadOnly).
//
// Errors of the table store go to the caller as velta::Error (for instance
// "Table1: Cannot perform this operation on an empty dataset"). Boxes go through
// OperatorDialogs. UI thread only.
#include <QString>

#include "platform/operator_dialogs.h"
#include "platform/tablestore/dataset.h"
#include "platform/form_state.h"

namespace velta {

inline const QString kSelectRecord = QStringLiteral("Kayıt Seç");
inline const QString kDeleteCaption = QStringLiteral("SiL");
inline const QString kDeleteQuestion = QStringLiteral("Seçili Kaydı Silmek İstetiğinizden Eminmisiniz");
inline const QString kRecordDeleted = QStringLiteral("Kayıt Silindi");
inline const QString kGridDeleteCaption = QStringLiteral("Confirm");
inline const QString kGridDeleteQuestion = QStringLiteral("Delete record?");
inline const QString kFileChangedNothingDeleted =
    QStringLiteral("Onay beklenirken açık veri dosyası değişti; hiçbir kayıt silinmedi.");
inline const QString kLegacyFileReadOnly =
    QStringLiteral("Bu dosya eski istasyon programının veri dosyası: kayıtları yalnızca okunur, silinemez.");

// What the browser works on; everything outlives the call.
struct RecordBrowserContext {
  Dataset& Table1;
  FormState& form;
  OperatorDialogs& dialogs;
};

// Edit6 := SERiNO, Edit9 .. Edit24 := HAVA .. BOY3 by the number-text rule (empty for no
// value). Without a current record (empty file, or Table1 closed) every box, Edit6
// included, becomes empty.
void ShowSelectedRecord(Dataset& Table1, FormState& form);

// Toolbar delete: "Kayıt Seç" while Edit6 is exactly " "; otherwise the Yes/No box
// "SiL"; on Yes the confirmed record is deleted and "Kayıt Silindi" shown. The detail
// panel is left as it is.
void SpeedButton5Click(const RecordBrowserContext& ctx);

// The grid's Ctrl+Delete: only when Table1 is open and holds a record; "Delete record?"
// with OK and Cancel under the caption "Confirm"; on OK the confirmed record is deleted
// without a further message. The detail panel is neither read nor changed.
void DBGrid1CtrlDelete(const RecordBrowserContext& ctx);

}  // namespace velta
