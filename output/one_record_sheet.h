#pragma once
// The record in the detail panel as a small formatted sheet in a new spreadsheet
// application (SpeedButton8, "SEÇİLİ KAYDI EXCELE AKTAR"): heading block A2..A5
// (serial number, date, time, result) in bold 12 pt, the quantities' headings in
// B7..E7 in bold 12 pt, the sixteen values in B8..E11, column A 35 wide and B..E 20.
// Reads only Edit6 and Edit9..Edit24; creates "Excel.Application" through the
// registry for every click and keeps no reference after it returns. Automation
// failures propagate as Error (no closing message then). UI thread only.
#include "platform/object_registry.h"
#include "platform/operator_dialogs.h"
#include "platform/form_state.h"

namespace velta {

void SpeedButton8Click(FormState& form, const ObjectRegistry& registry, OperatorDialogs& dialogs);

}  // namespace velta
