#pragma once
// The daily data files: one table per calendar day, "D:\rododezuz\data\" + date code +
// ".tkv", shown in Table1. Creating today's file, switching Table1 to it, the start-up
// opening, choosing a file in OpenDialog1, appending a test record from the PLC values
// panel, and the window caption that names the open file.
//
// Errors of the table store are not caught here: they go to the caller (velta::Error).
// UI thread only; message boxes go through OperatorDialogs and may run poll ticks.
#include <QDateTime>
#include <QString>
#include <optional>
#include <vector>

#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/operator_dialogs.h"
#include "platform/tablestore/dataset.h"
#include "platform/form_state.h"

namespace velta {

inline const QString kDataDirectory = QStringLiteral("D:\\rododezuz\\data");
inline const QString kCaptionPrefix = QStringLiteral("VELTA RUZEDIVE       Dosya Adı: ");

// The eighteen fields in order: SIRANO (auto-increment), SERiNO (text 15), HAVA .. BOY3.
const std::vector<FieldDef>& DailyFileFields();
// The primary index "siraindex" over SIRANO.
IndexDef DailyFileIndex();
// Today's table name: date code + ".tkv" (14 characters).
QString DailyTableName(const Clock& clock);

// What the daily-file operations work on; everything outlives the call.
struct DailyFileContext {
  Dataset& Table1;
  FormState& form;
  OperatorDialogs& dialogs;
  const Clock& clock;
  const DriveMap& drives;
};

// Creates today's file unless it exists, then shows "DOSYA OLUŞTURULDU" or
// "BUGÜN İÇİN DOSYA OLUŞTURULMUŞ ". A store failure shows neither.
void CreateDailyFile(const DailyFileContext& ctx);
// Close Table1, point it at the data directory and today's table name, open it, set the
// caption, ClearPlcValues. Does not create the file; when opening fails Table1 stays
// closed with today's name set and caption and panel keep their contents.
void OpenDailyFile(const DailyFileContext& ctx);
// A today's file that was not one of this station's, kept aside under aside (a host
// path in the same folder) when file (today's host path) was made anew.
struct KeptAside {
  QString file;
  QString aside;
  QString reason;  // why it could not be opened
};
// For a station running past midnight, or one whose Table1 could not be opened: creates
// today's file when it is missing (without a message), then switches Table1 to it like
// OpenDailyFile but keeps the PLC values panel, so a piece under test is stored whole in
// today's file. A today's file that is not a data file of this station (another
// program's, other fields, empty) is never deleted: it is renamed to
// "<name>.not-a-station-data-file-<yyyyMMdd-HHmmss>" and a new file made; a table of the
// previous station program, which is only ever read, likewise as
// "<name>.old-station-file-<yyyyMMdd-HHmmss>"; the result says so. Other failures (a folder that cannot be written, a busy file) raise and
// leave Table1 closed with today's name.
std::optional<KeptAside> OpenDailyFileKeepingPanel(const DailyFileContext& ctx);
// The same steps with the directory as start-up spells it (no trailing backslash).
void OpenDailyFileAtStartUp(const DailyFileContext& ctx);
// OpenDialog1: cancel changes nothing; otherwise Table1 is reopened with the chosen
// file's full path as its table name and the caption is set. An old program's file that
// could be read only in part is shown with an error box that says so (what was lost).
void SpeedButton1Click(const DailyFileContext& ctx);
// The file refused a record that was whole (no room on the disk, a folder or file that
// cannot be written, an I/O error): the same record may be stored later.
class RecordNotStored : public Error {
 public:
  using Error::Error;
};

// One new record from Edit25 (SERiNO) and Edit26 .. Edit41 (HAVA .. BOY3), posted. The
// record current before stays current (the grid does not move under the operator),
// unless it was the last one or there was none: then the new record becomes current.
// On any failure nothing is stored and no unposted record is left in Table1; a failure
// of the file to take the record raises RecordNotStored, one of the panel's values
// (a text that is no number) the store's plain Error.
void AppendTestRecord(const DailyFileContext& ctx);

// A free name beside path that says what the file is and when it was put aside:
// "<path>.<what>-<yyyyMMdd-HHmmss>", with "-2", "-3" ... when that is taken.
QString KeptAsideName(const QString& path, const QString& what, const QDateTime& when);
// Host path of today's file in the data folder.
QString TodaysFilePath(const DailyFileContext& ctx);
// Why a file may refuse to be written, in the operator's words, as far as a cheap look
// tells (the folder missing or not writable, the file read-only, the disk full);
// empty when none of these is seen.
QString DescribeFileTrouble(const QString& hostFile);

// kCaptionPrefix + the last 14 characters of the table name.
QString DailyFileCaption(const QString& tableName);

}  // namespace velta
