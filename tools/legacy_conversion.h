#pragma once
// Moving the previous station program's daily files (Paradox tables) into a data folder
// of this station: each one becomes a table file of the same name in the target folder,
// every SIRANO, value and empty field kept. Files are told by their first bytes, not by
// their names. A source is only read; a file in the target folder is never replaced; a
// file that is already a table file of this store is skipped (it can be copied as it is).
// Errors never escape: each file ends converted, skipped or refused with the reason.
// Any thread; no shared state.
#include <QString>
#include <QStringList>
#include <vector>

namespace velta::conversion {

struct FileOutcome {
  enum class Kind { Converted, Skipped, Refused };
  Kind kind = Kind::Refused;
  QString source;       // as named on the command line, or joined to its folder
  QString destination;  // the new file (converted) or the one it would have been
  qint64 records = 0;   // converted: records in the new file
  QStringList problems; // converted from a damaged source: what its partial read lost
  QString reason;       // skipped or refused: why, in one line
};

// The files an argument names: a file itself (whatever its name), or every regular file
// in a folder whose name ends in ".tkv" in any case, in name order. A name that is
// neither gives itself, to be refused by ConvertFile.
QStringList SourceFiles(const QString& fileOrFolder);

// Converts one file into intoFolder (which must exist). The source is never changed.
FileOutcome ConvertFile(const QString& source, const QString& intoFolder);

// The stdout line of an outcome:
//   converted SOURCE: N records -> DEST
//   converted SOURCE: N records -> DEST (partial read: P problem(s), listed on stderr)
//   skipped SOURCE: REASON
//   refused SOURCE: REASON
QString OutcomeLine(const FileOutcome& outcome);

}  // namespace velta::conversion
