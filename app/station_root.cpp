#include "app/station_root.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

#include <unistd.h>

#include "platform/drive_map.h"

static void initStationDefaults() { Q_INIT_RESOURCE(station_defaults); }

namespace velta {

namespace {

// The fixed folders of the plant layout, in the program's own path form.
const char* const kFolders[] = {
    "D:\\rododezuz\\data",
    "D:\\rododezuz\\sistem",
    "C:\\Documents and Settings\\Administrator\\Desktop",
};
const char* const kSystemFolder = "D:\\rododezuz\\sistem";
const char* const kResourceFolder = ":/station/sistem";

// Writes a temporary file and links it under the final name: link() refuses a name that
// exists, so a file that appeared meanwhile (a second instance starting) is kept, and a
// half-written default never stands under the real name.
enum class Copy { Made, AlreadyThere, Failed };

Copy copyWithoutReplacing(const QString& from, const QString& to, QString* why) {
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly)) {
    *why = in.errorString();
    return Copy::Failed;
  }
  const QByteArray bytes = in.readAll();
  const QString temp = to + QStringLiteral(".new");
  QFile::remove(temp);  // a leftover of an interrupted start
  QFile out(temp);
  if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly) || out.write(bytes) != bytes.size() ||
      !out.flush() || ::fsync(out.handle()) != 0) {
    *why = out.errorString();
    out.close();
    QFile::remove(temp);
    return Copy::Failed;
  }
  out.close();
  const int linked = ::link(QFile::encodeName(temp).constData(), QFile::encodeName(to).constData());
  const int error = errno;
  QFile::remove(temp);
  if (linked == 0) return Copy::Made;
  if (error == EEXIST) return Copy::AlreadyThere;
  *why = QString::fromLocal8Bit(std::strerror(error));
  return Copy::Failed;
}

}  // namespace

QStringList DefaultStationFiles() {
  initStationDefaults();
  QStringList files;
  for (const QString& name : QDir(QString::fromLatin1(kResourceFolder)).entryList(QDir::Files))
    files << QString::fromLatin1(kResourceFolder) + u'/' + name;
  return files;
}

StationRootLayout LayOutStationRoot(const DriveMap& drives) {
  StationRootLayout result;
  for (const char* folder : kFolders) {
    const QString host = drives.toHost(QString::fromLatin1(folder));
    if (QFileInfo(host).isDir()) continue;
    if (QDir().mkpath(host))
      result.created << host;
    else
      result.problems << QStringLiteral("cannot create the folder %1").arg(host);
  }
  const QString system = drives.toHost(QString::fromLatin1(kSystemFolder));
  for (const QString& resource : DefaultStationFiles()) {
    const QString host = system + u'/' + QFileInfo(resource).fileName();
    // A dangling link or a folder of that name is the plant's business: leave it alone.
    if (QFileInfo::exists(host) || QFileInfo(host).isSymLink()) continue;
    QString why;
    switch (copyWithoutReplacing(resource, host, &why)) {
      case Copy::Made: result.created << host; break;
      case Copy::AlreadyThere: break;
      case Copy::Failed:
        result.problems << QStringLiteral("cannot write %1: %2").arg(host, why);
        break;
    }
  }
  return result;
}

}  // namespace velta
