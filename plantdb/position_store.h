#pragma once
// Where the forwarder stands, kept in a small SQLite file of its own
// ("D:\rododezuz\sistem\plantdb-position.sqlite"): for each daily file the highest SIRANO
// the plant database has confirmed, how many of that file's records it held as not
// deleted when last looked, and the file's signature when it was last seen through; the identity of the
// plant database those figures belong to; and the forwarder's state line for
// "velta-plantdb status". A position is only ever advanced after the server confirmed
// the commit, so losing it costs a resend (idempotent), never a gap. A damaged file is
// moved aside and started afresh: every position is then asked of the server.
//
// Errors: velta::Error naming the file. One owner thread; not thread-safe.
#include <QString>
#include <memory>
#include <optional>

namespace velta::plantdb {

inline const QString kPositionFilePath = QStringLiteral("D:\\rododezuz\\sistem\\plantdb-position.sqlite");

struct FilePosition {
  qint64 sirano = 0;   // every record up to it is in the plant database
  qint64 live = 0;     // records up to sirano the database held as not deleted, when last looked
  QString signature;   // the file's signature when it was last forwarded whole
};

class PositionStore {
 public:
  // Opens or makes the file; a damaged one is renamed "<path>.damaged-<yyyyMMdd-HHmmss>"
  // (started afresh: startedAfresh() is true).
  explicit PositionStore(const QString& hostPath);
  ~PositionStore();
  PositionStore(const PositionStore&) = delete;
  PositionStore& operator=(const PositionStore&) = delete;

  bool startedAfresh() const { return afresh_; }
  const QString& path() const { return path_; }

  // The plant database (and station name) the positions belong to; setting another one
  // drops them all.
  QString databaseId() const;
  void setDatabaseId(const QString& id);

  std::optional<FilePosition> position(const QString& dayFile) const;
  void setPosition(const QString& dayFile, const FilePosition& p);
  void forget(const QString& dayFile);

  void setStateLine(const QString& line);
  // The state line kept in a position file, read without changing it; nullopt when
  // there is no such file or it holds none.
  static std::optional<QString> readStateLine(const QString& hostPath);

 private:
  struct Db;
  void openOrMake();
  QString path_;
  bool afresh_ = false;
  std::unique_ptr<Db> db_;
};

}  // namespace velta::plantdb
