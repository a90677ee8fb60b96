#pragma once
// The station's own spreadsheet application behind the SpreadsheetApplication
// interface. Workbooks live in memory only as far as they must: rows stream to the
// workbook's .xlsx file (libxlsxwriter, constant memory) once enough cells are
// waiting and a later row is written, so a workbook of any size costs bounded memory.
// A row already streamed cannot change again (an error, never a silent loss).
// At the hand-over (HandOverWorkbooks, or the release of the last reference) each
// workbook is completed in <unsavedFolder>/KitapN.xlsx (a name never used before) and
// opened through the DesktopOpener; when that fails the operator gets an error box
// that names the file. UI thread only.
#include <QString>
#include <memory>

#include "platform/object_registry.h"
#include "platform/operator_dialogs.h"
#include "platform/regional_settings.h"
#include "platform/spreadsheet/desktop_opener.h"
#include "platform/spreadsheet/spreadsheet.h"

namespace velta {

// What every application object needs; dialogs and opener must outlive the objects.
struct SpreadsheetEnvironment {
  OperatorDialogs& dialogs;
  DesktopOpener& opener;
  RegionalSettings regional;
  QString unsavedFolder;  // host folder for workbooks handed to the operator
  QString errorCaption;   // caption of the hand-over error box
};

// The folder for unsaved workbooks under a station root.
QString unsavedWorkbooksFolder(const QString& stationRoot);

// Cells waiting in memory before rows are streamed to the file.
inline constexpr int kSpreadsheetStreamWindowCells = 4096;

std::shared_ptr<SpreadsheetApplication> makeSpreadsheetApplication(const SpreadsheetEnvironment& env);

// Registers "Excel.Application": every create gives a new application object.
void registerSpreadsheetApplication(ObjectRegistry& registry, const SpreadsheetEnvironment& env);

inline const QString kSpreadsheetProgId = QStringLiteral("Excel.Application");

}  // namespace velta
