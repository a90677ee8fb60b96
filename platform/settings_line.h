#pragma once
// The comment rule of the station's settings files (the PLC project file, the plant
// database settings): ';' or '#' at the start of a line or after a blank begins a
// comment to the end of the line; one inside a value ("host=a#b") does not.
#include <QString>

namespace velta {

inline QString StripSettingsComment(const QString& line) {
  for (qsizetype i = 0; i < line.size(); ++i) {
    if ((line[i] == u';' || line[i] == u'#') && (i == 0 || line[i - 1].isSpace())) return line.left(i);
  }
  return line;
}

}  // namespace velta
