#pragma once
// Reader for the daily data files of the previous station program: Paradox tables,
// read whole into memory. The header is parsed through pxlib after it has been checked
// byte by byte here (pxlib trusts whatever it reads); the data blocks are read here,
// along the block chain, so that a damaged block or chain costs only its own records.
// The primary index file beside a table is never used: it may be missing or stale.
//
// Values by kind: Alpha -> QString (decoded from the table's code page), Number ->
// double, Short/Long/AutoInc -> qlonglong, Date -> QDate, Time -> QTime, Logical -> bool,
// Other -> the field's raw bytes as QByteArray. An empty field (all zero bytes) is an
// invalid QVariant; a stored 0 is a value, never empty.
//
// Errors: velta::Error naming the file for a file that cannot be read as a table at
// all (missing, empty, not a Paradox table, an index file, a damaged or encrypted
// header). Damage that can be skipped (a damaged block, a broken block chain, a file
// cut short inside its data, a byte the code page does not define, a value no Paradox
// program writes) leaves a partial read, each loss described in ParadoxTable::problems.
// Any thread; no shared state.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <vector>

namespace velta::legacy {

enum class ParadoxKind { Alpha, Number, Short, Long, AutoInc, Date, Time, Logical, Other };

struct ParadoxField {
  QString name;
  ParadoxKind kind;
  int size;    // bytes in a record
  int pxType;  // Paradox field type code (pxfAlpha, pxfNumber, ...); Currency reads as Number
};

struct ParadoxTable {
  std::vector<ParadoxField> fields;
  int codePage = 0;                            // as the header gives it (0: none given)
  std::vector<std::vector<QVariant>> records;  // in the order the data blocks hold them
  QStringList problems;                        // a partial read: what was skipped and why (empty when whole)
};

// True when the first bytes (at least 0x3A) look like a Paradox table header.
bool looksLikeParadox(const QByteArray& head);

// Reads every record of the table at hostPath (see above for values and errors).
ParadoxTable readParadoxTable(const QString& hostPath);

}  // namespace velta::legacy
