#pragma once
// The piece in progress, kept durable beside the data files. Every phase the sequencer
// captures is written here before its acknowledgement goes to the PLC, so a station that
// is killed or loses power in the middle of a piece finds at start-up the phases the PLC
// will not send again. One small text file an engineer can read, replaced whole (written
// beside, synced, renamed over, folder synced): after a crash it holds either the content
// before or the content after, never a mix.
//
// Errors: velta::Error naming the file and the system's reason. UI thread.
#include <QDateTime>
#include <QString>
#include <array>
#include <optional>

#include "platform/drive_map.h"

namespace velta {

struct JournaledPiece {
  QString serialNumber;            // Edit25
  std::array<QString, 16> values;  // Edit26 .. Edit41 as the panel shows them
  int phases = 0;                  // phases captured, 1 .. 4
  QDateTime written;               // the station's clock when written
  // Set just before the piece is appended to a data file: that file (host path) and its
  // highest SIRANO then (0 for none), so that a restart can tell whether the append was
  // made before the station went down. Empty / -1 otherwise.
  QString storingInto;
  qint64 lastSiranoBefore = -1;
};

class PieceJournal {
 public:
  explicit PieceJournal(QString hostPath) : path_(std::move(hostPath)) {}

  const QString& path() const { return path_; }
  bool exists() const;
  // Durable when it returns.
  void write(const JournaledPiece& piece);
  // Gone, durably; no file is fine.
  void remove();
  // The piece, or nullopt when there is no journal; raises when the file cannot be read
  // or is not a journal of this station.
  std::optional<JournaledPiece> read() const;
  // Renames the journal to a free name beside it that says it holds a piece not stored;
  // returns that name.
  QString keepAside(const QDateTime& when);

 private:
  QString path_;
};

// "D:\rododezuz\data\piece-in-progress.journal" on the host.
QString PieceJournalPath(const DriveMap& drives);

}  // namespace velta
