#pragma once
// A table of the previous station program (a Paradox table) as a table file of this
// store: the fields checked against the declared ones by name and kind (the same errors
// as opening a table file: "Field 'X' not found in '...'", "Type mismatch for field ...",
// raised as ForeignFileError), the records in the order of the auto-increment field
// (its numbers kept, gaps included), every value and every empty field as they were.
// The source is only read. The new file is built under a temporary name beside its
// destination and takes its name only when whole; an existing file is never replaced.
// Errors: velta::Error naming the file. Any thread; no shared state.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

#include "platform/tablestore/field_def.h"

namespace velta::legacy {

struct LegacyCopy {
  qint64 records = 0;
  QStringList problems;  // a partial read of the source (see paradox_table.h); empty when whole
};

// durable: every write synced (a file that is kept); a scratch copy skips the syncs.
LegacyCopy CopyLegacyTable(const QString& sourcePath, const QString& destPath, const std::vector<FieldDef>& fields,
                           const std::optional<IndexDef>& primaryIndex, bool durable);

}  // namespace velta::legacy
