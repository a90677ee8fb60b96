#pragma once
// A table view on one table file of the table store (one SQLite database per file),
// with the cursor semantics the station asks of it: open/close, a current record,
// first/next/end test, bookmarks, append/insert/edit/post/cancel, delete, and field
// values as text by the number-text rule.
//
// File format: one SQLite database holding the table "records" with the fields as
// columns in order (VARCHAR(n), DOUBLE, DATE as yyyy-MM-dd, TIME as hh:mm:ss, an
// auto-increment field as INTEGER PRIMARY KEY AUTOINCREMENT, so numbers are never
// reused). Rollback journal and synchronous=FULL: a posted record survives a crash or a
// power loss. Browsing order is the row key order (the primary index where there is one).
//
// Paths: the directory and a full-path table name are host paths (map fixed Windows
// paths with DriveMap first). A table name without an extension gets ".db". The table
// name is kept exactly as given.
//
// Memory: only the ordered row keys are held (8 bytes a record); field values are read
// in small pages on demand and a few pages are cached.
//
// Errors: velta::Error. Errors about the view itself carry its name and ": " in front
// ("Table1: Cannot perform this operation on a closed dataset"); errors of a file name
// the file. A file that fails the checks at opening is not written to, and the view
// stays closed; a file that is no table file of this store, or holds other fields than
// the declared ones, raises ForeignFileError. UI thread only; signals are emitted
// synchronously.
#include <QByteArray>
#include <QDate>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QTime>
#include <QVariant>
#include <list>
#include <memory>
#include <optional>
#include <vector>

#include "platform/error.h"
#include "platform/regional_settings.h"
#include "platform/tablestore/field_def.h"

namespace velta {

namespace tablestore {
class Db;
}

// Opening found a file that is not one of ours: not a table file of this store (another
// program's file, an empty file, a damaged header), or a table whose fields differ from
// the declared ones. Waiting does not mend it, unlike a busy or unwritable file.
class ForeignFileError : public Error {
 public:
  using Error::Error;
};

class Dataset : public QObject {
  Q_OBJECT
 public:
  enum class State { Inactive, Browse, Edit, Insert };

  explicit Dataset(QString name, QObject* parent = nullptr);
  ~Dataset() override;

  const QString& name() const { return name_; }

  // Regional settings for field texts (decimal, date and time separators, date order).
  void setRegional(const RegionalSettings& regional) { regional_ = regional; }
  const RegionalSettings& regional() const { return regional_; }

  // Declared fields: an opened file must have each of them with its kind (and length).
  // Without declared fields the view takes the file's own fields.
  void setFieldDefs(std::vector<FieldDef> fields);

  // Directory and table name; changing either while open raises.
  void setDirectory(const QString& hostDirectory);
  const QString& directory() const { return directory_; }
  void setTableName(const QString& tableName);
  const QString& tableName() const { return tableName_; }
  // The host path of the file that directory and table name give.
  QString filePath() const;
  static QString filePath(const QString& directory, const QString& tableName);

  // File test: true when a file of that name exists.
  static bool fileExists(const QString& hostPath);
  // True when the file is a table of the previous station program (a Paradox table),
  // told by its first bytes; false for anything else or a file that cannot be read.
  static bool isOldProgramTable(const QString& hostPath);
  // Creates an empty table file; refuses to replace an existing file. Fields in order;
  // an optional primary index over one AutoInc or Integer field. The view is not opened.
  static void createTable(const QString& directory, const QString& tableName,
                          const std::vector<FieldDef>& fields,
                          const std::optional<IndexDef>& primaryIndex = std::nullopt);

  // Gives a file a new name in the same file system without ever replacing a file
  // (Error naming both when the new name is taken or the move fails); the directory
  // is synced, so the move survives a power loss.
  static void renameFile(const QString& hostPath, const QString& newHostPath);

  // After opening, the first record is current. Opening an open view does nothing.
  void open();
  // Drops an unposted change. Closing a closed view does nothing.
  void close();
  bool active() const { return state_ != State::Inactive; }
  // How long a call waits for another program's lock on the file before it fails
  // (2 s by default, so a brief lock does not fail an append); for the open file and
  // every later opening.
  void setLockWaitMs(int ms);
  // A table of the previous station program (a Paradox table) opens read-only: its
  // records are read whole into a scratch table file when it is opened; every change
  // raises. readProblems() says what a damaged one lost (empty when it was read whole).
  bool readOnly() const { return readOnly_; }
  const QStringList& readProblems() const { return readProblems_; }
  State state() const { return state_; }

  // Navigation. A pending change is posted first when modified, else dropped.
  void first();
  void next();
  void prior();
  void last();
  bool eof() const { return eof_; }
  bool isEmpty() const;
  int recordCount() const;  // raises when closed
  int recNo() const;        // index of the current record, -1 when there is none
  void moveTo(int index);   // index into browsing order, clamped

  // Bookmark of the current record (empty when there is none). Restoring an empty
  // bookmark changes nothing; a bookmark of a record no longer there raises.
  QByteArray bookmark() const;
  void gotoBookmark(const QByteArray& bookmark);

  // Editing. append/insert start a new record (an unchanged pending new record is
  // dropped, a changed one posted); edit opens the current record, or starts a new one
  // on an empty table; post stores the pending record (a failed post stores nothing and
  // keeps the record pending); cancel drops it.
  void append();
  void insert();
  void edit();
  void post();
  // As post(), but a record being inserted does not become current: the record that
  // was current before append() stays current (no currentChanged), so a view on it
  // neither moves its highlight nor scrolls.
  void postKeepingCurrent();
  void cancel();
  bool modified() const { return modified_; }
  // Removes the current record; the next, else the previous becomes current. A pending
  // new record is dropped instead.
  void deleteRecord();
  // Deletes the record a bookmark names (read when the operator confirmed), wherever the
  // view has moved meanwhile; raises "Record not found" when it is gone. An empty
  // bookmark deletes the current record as deleteRecord does.
  void deleteBookmarked(const QByteArray& bookmark);

  // Fields of the open view (the declared ones, else the file's).
  int fieldCount() const { return static_cast<int>(fields_.size()); }
  const FieldDef& field(int i) const { return fields_.at(static_cast<size_t>(i)); }
  int fieldIndex(const QString& name) const;  // raises "Field 'X' not found"

  // Field values of the current record (or of the pending one while editing). No value
  // is an empty text / invalid QVariant. Text writes keep at most the maximum length.
  QString fieldText(const QString& name) const;
  void setFieldText(const QString& name, const QString& text);
  QVariant fieldValue(const QString& name) const;
  void setFieldDate(const QString& name, const QDate& date);
  // A date or time text read in the given form, by the rules of a date or time field's
  // text; Error "'%s' is not a valid date" / "... time" for a text that is none.
  static QDate parseDate(const QString& text, const RegionalSettings& form);
  static QTime parseTime(const QString& text, const RegionalSettings& form);
  void setFieldTime(const QString& name, const QTime& time);
  void clearField(const QString& name);

  // Values of the record at index in browsing order, without moving the current record;
  // for the grid. Values are QVariant: qlonglong, double, QString, QDate, QTime, or
  // invalid for no value.
  std::vector<QVariant> recordAt(int index) const;
  QVariant valueAt(int index, int fieldIndex) const;
  // The display text of one value by the field's kind (number-text rule for floats).
  QString valueText(int fieldIndex, const QVariant& value) const;
  // The same for a field of a given kind under given regional settings.
  static QString valueText(const FieldDef& field, const QVariant& value, const RegionalSettings& regional);

  // True while the view is changing its records and telling its observers.
  bool isChanging() const { return changing_ > 0; }

 signals:
  void aboutToReset();  // open, close
  void reset();
  void recordAboutToBeInserted(int index);
  void recordInserted(int index);
  void recordAboutToBeRemoved(int index);
  void recordRemoved(int index);
  void recordChanged(int index);
  void currentChanged(int index);  // -1 when there is no current record

 private:
  friend class DatasetSnapshot;  // copies the keys, fields and file of the open view
  using Row = std::vector<QVariant>;
  struct Page {
    int first = 0;
    std::vector<Row> rows;
  };
  static constexpr int kPageSize = 64;
  static constexpr size_t kPagesKept = 8;

  Error viewError(const QString& text) const;
  void requireActive() const;
  void requireNotEmpty() const;
  void requireWritable() const;
  void checkBrowseMode();
  void setCurrent(int index);
  void postRecord(bool insertedBecomesCurrent);
  void startNew();
  void loadKeys();
  const Row& rowAt(int index) const;
  void invalidateCache() const { pages_.clear(); }
  void validateFile(const QString& path);
  void setValue(int field, QVariant value);
  static QString formatDate(const QDate& d, const RegionalSettings& regional);
  static QString formatTime(const QTime& t, const RegionalSettings& regional);
  QDate parseDate(const QString& text) const { return parseDate(text, regional_); }
  QTime parseTime(const QString& text) const { return parseTime(text, regional_); }

  QString name_;
  RegionalSettings regional_;
  std::vector<FieldDef> declared_;
  std::vector<FieldDef> fields_;
  std::vector<int> columnOf_;  // SQL column of each view field in the stored table
  std::vector<QString> fileColumns_;
  int autoIncField_ = -1;
  QString directory_;
  QString tableName_;
  QString openPath_;  // the file the view reads (the scratch copy of a read-only one)
  std::unique_ptr<QTemporaryDir> scratch_;
  bool readOnly_ = false;
  int lockWaitMs_ = 2000;
  QStringList readProblems_;

  std::unique_ptr<tablestore::Db> db_;
  State state_ = State::Inactive;
  std::vector<qint64> keys_;
  int current_ = -1;
  bool eof_ = true;
  Row buffer_;
  bool modified_ = false;
  int changing_ = 0;
  mutable std::list<Page> pages_;  // most recently used first
};

}  // namespace velta
