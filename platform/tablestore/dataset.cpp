#include "platform/tablestore/dataset.h"

#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/tablestore/sqlite_handle.h"
#include "platform/tablestore/table_file.h"
#include "platform/number_text.h"

namespace velta {

using tablestore::Db;
using tablestore::Stmt;

namespace {

const char* const kTable = tablestore::kRecordsTable;
using tablestore::columnValue;
using tablestore::quoted;
using tablestore::bindValue;

// Counts the view's nested notifications, so observers can tell own changes apart.
struct ChangingScope {
  int& depth;
  explicit ChangingScope(int& d) : depth(d) { ++depth; }
  ~ChangingScope() { --depth; }
};

}  // namespace

QString fieldKindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::Text: return QStringLiteral("String");
    case FieldKind::Float: return QStringLiteral("Float");
    case FieldKind::Date: return QStringLiteral("Date");
    case FieldKind::Time: return QStringLiteral("Time");
    case FieldKind::AutoInc: return QStringLiteral("AutoInc");
    case FieldKind::Integer: return QStringLiteral("Integer");
  }
  return QStringLiteral("Unknown");
}

Dataset::Dataset(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

Dataset::~Dataset() = default;

Error Dataset::viewError(const QString& text) const { return Error(name_ + QStringLiteral(": ") + text); }

void Dataset::requireActive() const {
  if (!active()) throw viewError(QStringLiteral("Cannot perform this operation on a closed dataset"));
}

void Dataset::requireNotEmpty() const {
  if (keys_.empty()) throw viewError(QStringLiteral("Cannot perform this operation on an empty dataset"));
}

void Dataset::setLockWaitMs(int ms) {
  lockWaitMs_ = ms;
  if (db_) sqlite3_busy_timeout(db_->get(), ms);
}

void Dataset::requireWritable() const {
  if (readOnly_) throw viewError(QStringLiteral("Cannot modify a read-only dataset"));
}

void Dataset::setFieldDefs(std::vector<FieldDef> fields) {
  if (active()) throw viewError(QStringLiteral("Cannot perform this operation on an open dataset"));
  declared_ = std::move(fields);
  fields_ = declared_;
}

void Dataset::setDirectory(const QString& hostDirectory) {
  if (active()) throw viewError(QStringLiteral("Cannot perform this operation on an open dataset"));
  directory_ = hostDirectory;
}

void Dataset::setTableName(const QString& tableName) {
  if (active()) throw viewError(QStringLiteral("Cannot perform this operation on an open dataset"));
  tableName_ = tableName;
}

void Dataset::loadKeys() {
  keys_.clear();
  Stmt st(*db_, QByteArray("SELECT rowid FROM ") + kTable + " ORDER BY rowid", QStringLiteral("read"));
  while (st.step()) keys_.push_back(sqlite3_column_int64(st.get(), 0));
}

void Dataset::open() {
  if (active()) return;
  ChangingScope scope(changing_);
  emit aboutToReset();
  try {
    validateFile(filePath());
    loadKeys();
  } catch (...) {
    db_.reset();
    keys_.clear();
    fields_ = declared_;
    openPath_.clear();
    scratch_.reset();
    readOnly_ = false;
    readProblems_.clear();
    emit reset();
    throw;
  }
  invalidateCache();
  state_ = State::Browse;
  current_ = keys_.empty() ? -1 : 0;
  eof_ = keys_.empty();
  emit reset();
  emit currentChanged(current_);
}

void Dataset::close() {
  if (!active()) return;
  ChangingScope scope(changing_);
  emit aboutToReset();
  db_.reset();
  keys_.clear();
  invalidateCache();
  buffer_.clear();
  modified_ = false;
  state_ = State::Inactive;
  current_ = -1;
  eof_ = true;
  fields_ = declared_;
  openPath_.clear();
  scratch_.reset();
  readOnly_ = false;
  readProblems_.clear();
  emit reset();
  emit currentChanged(-1);
}

bool Dataset::isEmpty() const { return !active() || keys_.empty(); }

int Dataset::recordCount() const {
  requireActive();
  return static_cast<int>(keys_.size());
}

int Dataset::recNo() const { return current_; }

void Dataset::setCurrent(int index) {
  if (index == current_) return;
  current_ = index;
  emit currentChanged(index);
}

void Dataset::checkBrowseMode() {
  if (state_ == State::Edit || state_ == State::Insert) {
    if (modified_) post();
    else cancel();
  }
}

void Dataset::first() {
  requireActive();
  checkBrowseMode();
  setCurrent(keys_.empty() ? -1 : 0);
  eof_ = keys_.empty();
}

void Dataset::next() {
  requireActive();
  checkBrowseMode();
  if (current_ + 1 < static_cast<int>(keys_.size())) {
    setCurrent(current_ + 1);
    eof_ = false;
  } else {
    eof_ = true;
  }
}

void Dataset::prior() {
  requireActive();
  checkBrowseMode();
  if (current_ > 0) setCurrent(current_ - 1);
  eof_ = keys_.empty();
}

void Dataset::last() {
  requireActive();
  checkBrowseMode();
  setCurrent(static_cast<int>(keys_.size()) - 1);
  eof_ = true;
}

void Dataset::moveTo(int index) {
  requireActive();
  checkBrowseMode();
  if (keys_.empty()) return;
  setCurrent(std::clamp(index, 0, static_cast<int>(keys_.size()) - 1));
  eof_ = false;
}

QByteArray Dataset::bookmark() const {
  if (!active() || current_ < 0) return {};
  const qint64 key = keys_[static_cast<size_t>(current_)];
  return QByteArray(reinterpret_cast<const char*>(&key), sizeof key);
}

void Dataset::gotoBookmark(const QByteArray& bookmark) {
  if (bookmark.isEmpty()) return;
  requireActive();
  checkBrowseMode();
  qint64 key = 0;
  if (bookmark.size() != sizeof key) throw viewError(QStringLiteral("Invalid bookmark"));
  std::memcpy(&key, bookmark.constData(), sizeof key);
  const auto it = std::lower_bound(keys_.begin(), keys_.end(), key);
  if (it == keys_.end() || *it != key) throw viewError(QStringLiteral("Record not found"));
  setCurrent(static_cast<int>(it - keys_.begin()));
  eof_ = false;
}

void Dataset::startNew() {
  buffer_.assign(fields_.size(), QVariant());
  modified_ = false;
  state_ = State::Insert;
}

void Dataset::append() {
  requireActive();
  requireWritable();
  checkBrowseMode();
  startNew();
}

void Dataset::insert() { append(); }

void Dataset::edit() {
  requireActive();
  requireWritable();
  if (state_ == State::Edit || state_ == State::Insert) return;
  if (keys_.empty()) {
    startNew();
    return;
  }
  buffer_ = rowAt(current_);
  modified_ = false;
  state_ = State::Edit;
}

void Dataset::post() { postRecord(true); }

void Dataset::postKeepingCurrent() { postRecord(false); }

void Dataset::postRecord(bool insertedBecomesCurrent) {
  requireActive();
  if (state_ != State::Edit && state_ != State::Insert)
    throw viewError(QStringLiteral("Dataset not in edit or insert mode"));
  QByteArray cols, params;
  std::vector<int> bound;
  for (size_t i = 0; i < fields_.size(); ++i) {
    if (static_cast<int>(i) == autoIncField_) continue;
    bound.push_back(static_cast<int>(i));
  }
  if (state_ == State::Insert) {
    QByteArray sql = QByteArray("INSERT INTO ") + kTable;
    if (bound.empty()) {
      sql += " DEFAULT VALUES";
    } else {
      for (size_t k = 0; k < bound.size(); ++k) {
        if (k) { cols += ", "; params += ", "; }
        cols += quoted(fileColumns_[static_cast<size_t>(columnOf_[static_cast<size_t>(bound[k])])]);
        params += '?';
      }
      sql += " (" + cols + ") VALUES (" + params + ")";
    }
    Stmt st(*db_, sql, QStringLiteral("store the record in"));
    for (size_t k = 0; k < bound.size(); ++k)
      bindValue(st.get(), static_cast<int>(k) + 1, buffer_[static_cast<size_t>(bound[k])],
                fields_[static_cast<size_t>(bound[k])].kind);
    st.step();
    const qint64 key = sqlite3_last_insert_rowid(db_->get());
    const auto pos = static_cast<int>(std::lower_bound(keys_.begin(), keys_.end(), key) - keys_.begin());
    ChangingScope scope(changing_);
    state_ = State::Browse;
    buffer_.clear();
    modified_ = false;
    emit recordAboutToBeInserted(pos);
    keys_.insert(keys_.begin() + pos, key);
    invalidateCache();
    if (current_ >= pos) ++current_;  // the same record stays current until moved below
    emit recordInserted(pos);
    if (insertedBecomesCurrent || current_ < 0) setCurrent(pos);
    eof_ = false;
    return;
  }

  QByteArray sql = QByteArray("UPDATE ") + kTable + " SET ";
  for (size_t k = 0; k < bound.size(); ++k) {
    if (k) sql += ", ";
    sql += quoted(fileColumns_[static_cast<size_t>(columnOf_[static_cast<size_t>(bound[k])])]) + " = ?";
  }
  sql += " WHERE rowid = ?";
  if (!bound.empty()) {
    Stmt st(*db_, sql, QStringLiteral("store the record in"));
    for (size_t k = 0; k < bound.size(); ++k)
      bindValue(st.get(), static_cast<int>(k) + 1, buffer_[static_cast<size_t>(bound[k])],
                fields_[static_cast<size_t>(bound[k])].kind);
    sqlite3_bind_int64(st.get(), static_cast<int>(bound.size()) + 1, keys_[static_cast<size_t>(current_)]);
    st.step();
  }
  ChangingScope scope(changing_);
  state_ = State::Browse;
  buffer_.clear();
  modified_ = false;
  invalidateCache();
  emit recordChanged(current_);
}

void Dataset::cancel() {
  if (state_ != State::Edit && state_ != State::Insert) return;
  state_ = State::Browse;
  buffer_.clear();
  modified_ = false;
}

void Dataset::deleteRecord() {
  requireActive();
  requireWritable();
  if (state_ == State::Insert) {
    cancel();
    return;
  }
  cancel();
  requireNotEmpty();
  const int index = current_;
  const qint64 key = keys_[static_cast<size_t>(index)];
  {
    Stmt st(*db_, QByteArray("DELETE FROM ") + kTable + " WHERE rowid = ?", QStringLiteral("delete the record in"));
    sqlite3_bind_int64(st.get(), 1, key);
    st.step();
  }
  ChangingScope scope(changing_);
  emit recordAboutToBeRemoved(index);
  keys_.erase(keys_.begin() + index);
  invalidateCache();
  current_ = index < static_cast<int>(keys_.size()) ? index : static_cast<int>(keys_.size()) - 1;
  eof_ = keys_.empty();
  emit recordRemoved(index);
  emit currentChanged(current_);  // another record is current even where the index is the same
}

void Dataset::deleteBookmarked(const QByteArray& bookmark) {
  gotoBookmark(bookmark);
  deleteRecord();
}

int Dataset::fieldIndex(const QString& name) const {
  for (size_t i = 0; i < fields_.size(); ++i)
    if (fields_[i].name == name) return static_cast<int>(i);
  throw viewError(QStringLiteral("Field '%1' not found").arg(name));
}

const Dataset::Row& Dataset::rowAt(int index) const {
  const int first = index / kPageSize * kPageSize;
  for (auto it = pages_.begin(); it != pages_.end(); ++it) {
    if (it->first == first) {
      pages_.splice(pages_.begin(), pages_, it);
      return pages_.front().rows[static_cast<size_t>(index - first)];
    }
  }
  const int end = std::min(first + kPageSize, static_cast<int>(keys_.size()));
  Page page;
  page.first = first;
  page.rows.assign(static_cast<size_t>(end - first), Row(fields_.size()));
  QByteArray sql = "SELECT rowid";
  for (size_t i = 0; i < fields_.size(); ++i)
    sql += ", " + quoted(fileColumns_[static_cast<size_t>(columnOf_[i])]);
  sql += QByteArray(" FROM ") + kTable + " WHERE rowid BETWEEN ? AND ? ORDER BY rowid";
  Stmt st(*db_, sql, QStringLiteral("read"));
  sqlite3_bind_int64(st.get(), 1, keys_[static_cast<size_t>(first)]);
  sqlite3_bind_int64(st.get(), 2, keys_[static_cast<size_t>(end - 1)]);
  int k = first;
  while (st.step()) {
    const qint64 key = sqlite3_column_int64(st.get(), 0);
    while (k < end && keys_[static_cast<size_t>(k)] < key) ++k;  // removed by someone else
    if (k >= end) break;
    if (keys_[static_cast<size_t>(k)] != key) continue;  // added by someone else
    Row& row = page.rows[static_cast<size_t>(k - first)];
    for (size_t i = 0; i < fields_.size(); ++i)
      row[i] = columnValue(st.get(), static_cast<int>(i) + 1, fields_[i].kind);
    ++k;
  }
  pages_.push_front(std::move(page));
  while (pages_.size() > kPagesKept) pages_.pop_back();
  return pages_.front().rows[static_cast<size_t>(index - first)];
}

std::vector<QVariant> Dataset::recordAt(int index) const {
  requireActive();
  if (index < 0 || index >= static_cast<int>(keys_.size()))
    throw viewError(QStringLiteral("Record index %1 out of range").arg(index));
  return rowAt(index);
}

QVariant Dataset::valueAt(int index, int field) const {
  requireActive();
  if (index < 0 || index >= static_cast<int>(keys_.size()) || field < 0 || field >= fieldCount()) return {};
  return rowAt(index)[static_cast<size_t>(field)];
}

QVariant Dataset::fieldValue(const QString& name) const {
  requireActive();
  const int i = fieldIndex(name);
  if (state_ == State::Edit || state_ == State::Insert) return buffer_[static_cast<size_t>(i)];
  if (current_ < 0) return {};
  return rowAt(current_)[static_cast<size_t>(i)];
}

QString Dataset::fieldText(const QString& name) const {
  const QVariant v = fieldValue(name);
  return valueText(fieldIndex(name), v);
}

QString Dataset::formatDate(const QDate& d, const RegionalSettings& regional) {
  const QString sep(regional.dateSeparator);
  const QString dd = QStringLiteral("%1").arg(d.day(), 2, 10, QLatin1Char('0'));
  const QString mm = QStringLiteral("%1").arg(d.month(), 2, 10, QLatin1Char('0'));
  const QString yyyy = QStringLiteral("%1").arg(d.year(), 4, 10, QLatin1Char('0'));
  switch (regional.shortDateOrder) {
    case RegionalSettings::DateOrder::DayMonthYear: return dd + sep + mm + sep + yyyy;
    case RegionalSettings::DateOrder::MonthDayYear: return mm + sep + dd + sep + yyyy;
    case RegionalSettings::DateOrder::YearMonthDay: return yyyy + sep + mm + sep + dd;
  }
  return {};
}

QString Dataset::formatTime(const QTime& t, const RegionalSettings& regional) {
  const QString sep(regional.timeSeparator);
  const auto two = [](int v) { return QStringLiteral("%1").arg(v, 2, 10, QLatin1Char('0')); };
  return two(t.hour()) + sep + two(t.minute()) + sep + two(t.second());
}

namespace {
bool allDigits(const QString& s) {
  if (s.isEmpty()) return false;
  for (QChar c : s)
    if (c < u'0' || c > u'9') return false;
  return true;
}
}  // namespace

QDate Dataset::parseDate(const QString& text, const RegionalSettings& form) {
  const Error bad(QStringLiteral("'%1' is not a valid date").arg(text));
  const QStringList parts = text.trimmed().split(form.dateSeparator);
  if (parts.size() != 3) throw bad;
  for (const QString& p : parts)
    if (!allDigits(p) || p.size() > 4) throw bad;
  int d = 0, m = 0, y = 0;
  switch (form.shortDateOrder) {
    case RegionalSettings::DateOrder::DayMonthYear: d = parts[0].toInt(); m = parts[1].toInt(); y = parts[2].toInt(); break;
    case RegionalSettings::DateOrder::MonthDayYear: m = parts[0].toInt(); d = parts[1].toInt(); y = parts[2].toInt(); break;
    case RegionalSettings::DateOrder::YearMonthDay: y = parts[0].toInt(); m = parts[1].toInt(); d = parts[2].toInt(); break;
  }
  const QString& yearText = form.shortDateOrder == RegionalSettings::DateOrder::YearMonthDay ? parts[0] : parts[2];
  if (yearText.size() <= 2) y += y < 50 ? 2000 : 1900;
  const QDate date(y, m, d);
  if (!date.isValid() || y < 1) throw bad;
  return date;
}

QTime Dataset::parseTime(const QString& text, const RegionalSettings& form) {
  const Error bad(QStringLiteral("'%1' is not a valid time").arg(text));
  const QStringList parts = text.trimmed().split(form.timeSeparator);
  if (parts.size() < 2 || parts.size() > 3) throw bad;
  for (const QString& p : parts)
    if (!allDigits(p) || p.size() > 2) throw bad;
  const QTime t(parts[0].toInt(), parts[1].toInt(), parts.size() == 3 ? parts[2].toInt() : 0);
  if (!t.isValid()) throw bad;
  return t;
}

QString Dataset::valueText(int fieldIndex, const QVariant& value) const {
  if (fieldIndex < 0 || fieldIndex >= fieldCount()) return {};
  return valueText(fields_[static_cast<size_t>(fieldIndex)], value, regional_);
}

QString Dataset::valueText(const FieldDef& field, const QVariant& value, const RegionalSettings& regional) {
  if (!value.isValid()) return {};
  switch (field.kind) {
    case FieldKind::Text: return value.toString();
    case FieldKind::Float: return NumberToText(value.toDouble(), regional.decimalSeparator);
    case FieldKind::AutoInc:
    case FieldKind::Integer: return QString::number(value.toLongLong());
    case FieldKind::Date: return formatDate(value.toDate(), regional);
    case FieldKind::Time: return formatTime(value.toTime(), regional);
  }
  return {};
}

void Dataset::setValue(int field, QVariant value) {
  buffer_[static_cast<size_t>(field)] = std::move(value);
  modified_ = true;
}

void Dataset::setFieldText(const QString& name, const QString& text) {
  requireActive();
  const int i = fieldIndex(name);
  if (state_ != State::Edit && state_ != State::Insert)
    throw viewError(QStringLiteral("Dataset not in edit or insert mode"));
  const FieldDef& f = fields_[static_cast<size_t>(i)];
  if (i == autoIncField_) throw Error(QStringLiteral("Field '%1' cannot be modified").arg(name));
  switch (f.kind) {
    case FieldKind::Text:
      setValue(i, text.isEmpty() ? QVariant() : QVariant(text.left(f.size)));
      return;
    case FieldKind::Float: {
      const auto v = TextToNumber(text, regional_.decimalSeparator, name);
      setValue(i, v ? QVariant(*v) : QVariant());
      return;
    }
    case FieldKind::AutoInc:
    case FieldKind::Integer: {
      const QString t = text.trimmed();
      if (t.isEmpty()) {
        setValue(i, QVariant());
        return;
      }
      bool ok = false;
      const qlonglong v = t.toLongLong(&ok);
      if (!ok) throw Error(QStringLiteral("'%1' is not a valid integer value for field '%2'").arg(text, name));
      setValue(i, v);
      return;
    }
    case FieldKind::Date:
      setValue(i, text.trimmed().isEmpty() ? QVariant() : QVariant(parseDate(text)));
      return;
    case FieldKind::Time:
      setValue(i, text.trimmed().isEmpty() ? QVariant() : QVariant(parseTime(text)));
      return;
  }
}

void Dataset::setFieldDate(const QString& name, const QDate& date) {
  requireActive();
  const int i = fieldIndex(name);
  if (state_ != State::Edit && state_ != State::Insert)
    throw viewError(QStringLiteral("Dataset not in edit or insert mode"));
  if (fields_[static_cast<size_t>(i)].kind != FieldKind::Date)
    throw viewError(QStringLiteral("Field '%1' is not a date field").arg(name));
  setValue(i, date.isValid() ? QVariant(date) : QVariant());
}

void Dataset::setFieldTime(const QString& name, const QTime& time) {
  requireActive();
  const int i = fieldIndex(name);
  if (state_ != State::Edit && state_ != State::Insert)
    throw viewError(QStringLiteral("Dataset not in edit or insert mode"));
  if (fields_[static_cast<size_t>(i)].kind != FieldKind::Time)
    throw viewError(QStringLiteral("Field '%1' is not a time field").arg(name));
  setValue(i, time.isValid() ? QVariant(time) : QVariant());
}

void Dataset::clearField(const QString& name) {
  requireActive();
  const int i = fieldIndex(name);
  if (state_ != State::Edit && state_ != State::Insert)
    throw viewError(QStringLiteral("Dataset not in edit or insert mode"));
  if (i == autoIncField_) throw Error(QStringLiteral("Field '%1' cannot be modified").arg(name));
  setValue(i, QVariant());
}

}  // namespace velta
