#pragma once
// Lays out a missing station root on the program's first start for a user, so an
// installed station needs no checkout and no script: the fixed folders (data, system,
// the desktop the report files go to) and the default station files (the PLC server
// project for the simulated machine, fatekserver.fcs, and the report project rapor.rav),
// copied from the defaults built into the program.
//
// Never overwrites or changes a file that exists; a missing piece is added beside the
// ones present. Failures do not throw: each is one line in the returned problems (the
// program goes on; opening the data file or the project then reports its own error).
// Any thread; touches only the file system under the station root.
#include <QString>
#include <QStringList>

namespace velta {

class DriveMap;

struct StationRootLayout {
  QStringList created;   // host paths of the folders and files made now
  QStringList problems;  // one line each, naming the path
};

StationRootLayout LayOutStationRoot(const DriveMap& drives);

// The default station files built into the program, as resource paths (":/station/...").
QStringList DefaultStationFiles();

}  // namespace velta
