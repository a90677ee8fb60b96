#include "records/piece_journal.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"

namespace velta {

namespace {

const QString kFirstLine = QStringLiteral("velta-station piece in progress 1");
const QString kFileName = QStringLiteral("piece-in-progress.journal");

QString systemReason(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

[[noreturn]] void fail(const QString& what, const QString& path, int err) {
  throw Error(QStringLiteral("Cannot %1 the piece journal '%2': %3").arg(what, path, systemReason(err)));
}

void syncFolderOf(const QString& path) {
  const int fd = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), O_RDONLY | O_DIRECTORY);
  if (fd < 0) fail(QStringLiteral("sync the folder of"), path, errno);
  const int rc = ::fsync(fd);
  const int err = errno;
  ::close(fd);
  if (rc != 0) fail(QStringLiteral("sync the folder of"), path, err);
}

// Texts are the panel's: one line each. A line break would split the entry, so none is
// written (no box the sequencer fills can hold one).
QString oneLine(QString text) { return text.replace(u'\n', u' ').replace(u'\r', u' '); }

QByteArray format(const JournaledPiece& p) {
  QStringList lines{kFirstLine,
                    QStringLiteral("written=") + p.written.toString(Qt::ISODateWithMs),
                    QStringLiteral("phases=") + QString::number(p.phases),
                    QStringLiteral("SERiNO=") + oneLine(p.serialNumber)};
  const auto& fields = DailyFileFields();
  for (size_t i = 0; i < p.values.size(); ++i) lines << fields[i + 2].name + u'=' + oneLine(p.values[i]);
  if (!p.storingInto.isEmpty()) {
    lines << QStringLiteral("storing-into=") + oneLine(p.storingInto)
          << QStringLiteral("last-sirano-before=") + QString::number(p.lastSiranoBefore);
  }
  lines << QStringLiteral("end");
  return lines.join(u'\n').toUtf8() + '\n';
}

}  // namespace

QString PieceJournalPath(const DriveMap& drives) {
  return Dataset::filePath(drives.toHost(kDataDirectory), kFileName);
}

bool PieceJournal::exists() const { return QFileInfo::exists(path_); }

void PieceJournal::write(const JournaledPiece& piece) {
  const QByteArray bytes = format(piece);
  const QString temp = path_ + QStringLiteral(".new");
  const QByteArray tempName = QFile::encodeName(temp);
  const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) fail(QStringLiteral("write"), temp, errno);
  qsizetype done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int err = n < 0 ? errno : ENOSPC;
      ::close(fd);
      ::unlink(tempName.constData());
      fail(QStringLiteral("write"), temp, err);
    }
    done += n;
  }
  if (::fdatasync(fd) != 0) {
    const int err = errno;
    ::close(fd);
    ::unlink(tempName.constData());
    fail(QStringLiteral("sync"), temp, err);
  }
  ::close(fd);
  if (::rename(tempName.constData(), QFile::encodeName(path_).constData()) != 0) {
    const int err = errno;
    ::unlink(tempName.constData());
    fail(QStringLiteral("replace"), path_, err);
  }
  syncFolderOf(path_);
}

void PieceJournal::remove() {
  if (::unlink(QFile::encodeName(path_).constData()) != 0) {
    if (errno == ENOENT) return;
    fail(QStringLiteral("remove"), path_, errno);
  }
  syncFolderOf(path_);
}

std::optional<JournaledPiece> PieceJournal::read() const {
  QFile f(path_);
  if (!f.exists()) return std::nullopt;
  if (!f.open(QIODevice::ReadOnly))
    throw Error(QStringLiteral("Cannot read the piece journal '%1': %2").arg(path_, f.errorString()));
  // A journal is a few hundred bytes; anything much larger is not one.
  const QByteArray bytes = f.read(64 * 1024);
  const auto notAJournal = [this](const QString& why) {
    return Error(QStringLiteral("'%1' is not a piece journal of this station: %2").arg(path_, why));
  };
  QStringList lines = QString::fromUtf8(bytes).split(u'\n');
  if (lines.isEmpty() || lines.first() != kFirstLine) throw notAJournal(QStringLiteral("unknown first line"));
  if (lines.size() < 2 || lines.last() != QString() || lines.at(lines.size() - 2) != QStringLiteral("end"))
    throw notAJournal(QStringLiteral("it ends before its last line"));
  lines = lines.mid(1, lines.size() - 3);

  JournaledPiece p;
  const auto& fields = DailyFileFields();
  bool seen[16] = {};
  bool hasWritten = false, hasPhases = false, hasSerial = false, hasLast = false;
  for (const QString& line : lines) {
    const qsizetype eq = line.indexOf(u'=');
    if (eq <= 0) throw notAJournal(QStringLiteral("a line without a name: '%1'").arg(line));
    const QString key = line.left(eq), value = line.mid(eq + 1);
    bool ok = true;
    if (key == u"written") {
      p.written = QDateTime::fromString(value, Qt::ISODateWithMs);
      ok = p.written.isValid();
      hasWritten = true;
    } else if (key == u"phases") {
      p.phases = value.toInt(&ok);
      ok = ok && p.phases >= 1 && p.phases <= 4;
      hasPhases = true;
    } else if (key == u"SERiNO") {
      p.serialNumber = value;
      hasSerial = true;
    } else if (key == u"storing-into") {
      p.storingInto = value;
    } else if (key == u"last-sirano-before") {
      p.lastSiranoBefore = value.toLongLong(&ok);
      ok = ok && p.lastSiranoBefore >= 0;
      hasLast = true;
    } else {
      size_t i = 0;
      while (i < p.values.size() && fields[i + 2].name != key) ++i;
      if (i == p.values.size() || seen[i]) throw notAJournal(QStringLiteral("unknown or repeated entry '%1'").arg(key));
      seen[i] = true;
      p.values[i] = value;
    }
    if (!ok) throw notAJournal(QStringLiteral("bad value in '%1'").arg(line));
  }
  for (bool s : seen)
    if (!s) throw notAJournal(QStringLiteral("a value is missing"));
  if (!hasWritten || !hasPhases || !hasSerial) throw notAJournal(QStringLiteral("an entry is missing"));
  if (p.storingInto.isEmpty() != !hasLast) throw notAJournal(QStringLiteral("the store entries are incomplete"));
  return p;
}

QString PieceJournal::keepAside(const QDateTime& when) {
  const QString aside = KeptAsideName(path_, QStringLiteral("not-stored"), when);
  Dataset::renameFile(path_, aside);
  syncFolderOf(path_);
  return aside;
}

}  // namespace velta
