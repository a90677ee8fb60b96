#include "tools/legacy_conversion.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/error.h"
#include "platform/tablestore/legacy/legacy_copy.h"
#include "platform/tablestore/legacy/paradox_table.h"
#include "records/daily_file.h"

namespace velta::conversion {

namespace {

QString systemError(int err) { return QString::fromLocal8Bit(std::strerror(err)); }

// Enough for both signatures: SQLite's 16 bytes and the Paradox header's first 0x3A.
constexpr qint64 kHeadBytes = 100;

}  // namespace

QStringList SourceFiles(const QString& fileOrFolder) {
  const QFileInfo info(fileOrFolder);
  if (!info.isDir()) return {fileOrFolder};
  const QDir folder(fileOrFolder);
  QStringList names;
  // Hidden and system entries too: every file of the folder is looked at; isFile()
  // then leaves out sockets, pipes, devices and dangling links.
  for (const QFileInfo& entry : folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort))
    if (entry.isFile() && entry.fileName().endsWith(QStringLiteral(".tkv"), Qt::CaseInsensitive))
      names << entry.fileName();
  // Plain code-unit order: the same on every machine, whatever its locale.
  std::sort(names.begin(), names.end());
  QStringList paths;
  for (const QString& name : names) paths << folder.filePath(name);
  return paths;
}

FileOutcome ConvertFile(const QString& source, const QString& intoFolder) {
  FileOutcome out;
  out.source = source;
  out.destination = QDir(intoFolder).filePath(QFileInfo(source).fileName());
  const auto refuse = [&out](const QString& why) {
    out.kind = FileOutcome::Kind::Refused;
    out.reason = why;
    return out;
  };

  struct stat src {};
  if (::stat(QFile::encodeName(source).constData(), &src) != 0) {
    const int err = errno;
    return refuse(err == ENOENT ? QStringLiteral("no such file or folder") : systemError(err));
  }
  // A pipe or a device would block the read or never end; only plain files are tables.
  if (!S_ISREG(src.st_mode)) return refuse(QStringLiteral("not a regular file"));

  QByteArray head;
  {
    QFile f(source);
    if (!f.open(QIODevice::ReadOnly)) return refuse(QStringLiteral("cannot be read: %1").arg(f.errorString()));
    head = f.read(kHeadBytes);
    if (f.error() != QFileDevice::NoError) return refuse(QStringLiteral("cannot be read: %1").arg(f.errorString()));
  }
  if (head.isEmpty()) return refuse(QStringLiteral("the file is empty; it holds no table"));
  if (head.startsWith(QByteArray("SQLite format 3\0", 16))) {
    out.kind = FileOutcome::Kind::Skipped;
    out.reason = QStringLiteral("already a data file of this station (new format); copy it as it is");
    return out;
  }
  if (!legacy::looksLikeParadox(head))
    return refuse(QStringLiteral("neither an old daily file (Paradox table) nor a data file of this station"));

  // lstat: a dangling link in the target folder is a name that is taken too.
  struct stat dst {};
  if (::lstat(QFile::encodeName(out.destination).constData(), &dst) == 0) {
    struct stat target {};
    if (::stat(QFile::encodeName(out.destination).constData(), &target) == 0 && target.st_dev == src.st_dev &&
        target.st_ino == src.st_ino)
      return refuse(QStringLiteral("source and destination '%1' are the same file").arg(out.destination));
    return refuse(QStringLiteral("'%1' already exists; it is left as it is").arg(out.destination));
  }

  try {
    const legacy::LegacyCopy copy =
        legacy::CopyLegacyTable(source, out.destination, DailyFileFields(), DailyFileIndex(), true);
    out.kind = FileOutcome::Kind::Converted;
    out.records = copy.records;
    out.problems = copy.problems;
  } catch (const std::exception& e) {
    return refuse(exceptionText(e));
  }
  return out;
}

QString OutcomeLine(const FileOutcome& outcome) {
  switch (outcome.kind) {
    case FileOutcome::Kind::Converted: {
      // One arg() call: a '%' in a path is never taken for a place of the next value.
      QString line = QStringLiteral("converted %1: %2 records -> %3")
                         .arg(outcome.source, QString::number(outcome.records), outcome.destination);
      if (!outcome.problems.isEmpty())
        line += QStringLiteral(" (partial read: %1 %2, listed on stderr)")
                    .arg(QString::number(outcome.problems.size()),
                         outcome.problems.size() == 1 ? QStringLiteral("problem") : QStringLiteral("problems"));
      return line;
    }
    case FileOutcome::Kind::Skipped: return QStringLiteral("skipped %1: %2").arg(outcome.source, outcome.reason);
    case FileOutcome::Kind::Refused: break;
  }
  return QStringLiteral("refused %1: %2").arg(outcome.source, outcome.reason);
}

}  // namespace velta::conversion
