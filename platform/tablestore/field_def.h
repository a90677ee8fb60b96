#pragma once
// Field and index definitions of a table in the table store.
#include <QString>
#include <vector>

namespace velta {

enum class FieldKind {
  Text,     // text with a maximum length (FieldDef::size characters)
  Float,    // 64-bit floating point
  Date,     // calendar date
  Time,     // time of day
  AutoInc,  // auto-increment integer, numbered by the store at posting
  Integer,  // plain integer; a declared Integer field also accepts an AutoInc field
};

struct FieldDef {
  QString name;
  FieldKind kind = FieldKind::Text;
  int size = 0;  // maximum length of a Text field; 0 otherwise
};

// The one index a table may have: a primary index over one field.
struct IndexDef {
  QString name;
  QString field;
};

QString fieldKindName(FieldKind kind);

}  // namespace velta
