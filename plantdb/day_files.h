#pragma once
// The station's daily data files as the forwarder reads them: which files there are,
// and their records in SIRANO order. A file of this station (SQLite) is opened
// read-only for each read and closed again, waiting at most lockWaitMs for the
// station's own lock, so the station's store never waits for the forwarder; a table of
// the previous program (Paradox) is read whole and kept until it changes.
//
// Errors: FileBusy when the station holds the file (try again later), velta::Error
// naming the file for anything else (not a daily file, damaged, unreadable).
// One owner thread; not thread-safe.
#include <QDate>
#include <QString>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "platform/error.h"

namespace velta::plantdb {

class FileBusy : public Error {
 public:
  using Error::Error;
};

struct DayFile {
  QString name;       // "T09032026K.tkv" as in the folder
  QString path;       // host path
  QDate day;          // from the name
  QString signature;  // size, modification time, SQLite change counter: a change means "look again"
};

// The day a daily file's name gives ("T" ddMMyyyy "K.tkv", any case); null for any other name.
QDate dayOfFileName(const QString& name);

// The daily files in dataDir from firstDay on (every one when firstDay is null), in day
// order. A missing folder has none.
std::vector<DayFile> listDayFiles(const QString& dataDir, const QDate& firstDay);

struct SourceRecord {
  qint64 sirano = 0;
  std::optional<QString> serino;
  std::array<std::optional<double>, 16> values;  // HAVA .. BOY3; nullopt: empty
};

class DayFileReader {
 public:
  explicit DayFileReader(int lockWaitMs = 50);
  ~DayFileReader();

  // At most limit records with SIRANO above after, in SIRANO order.
  std::vector<SourceRecord> read(const DayFile& file, qint64 after, int limit);
  // Every SIRANO up to upTo, ascending.
  std::vector<qint64> sironos(const DayFile& file, qint64 upTo);
  // How many records have SIRANO above after.
  qint64 countAfter(const DayFile& file, qint64 after);

 private:
  struct Legacy;
  const Legacy& legacy(const DayFile& file);
  int lockWaitMs_;
  std::unique_ptr<Legacy> legacy_;
};

}  // namespace velta::plantdb
