#include "platform/drive_map.h"

#include <QDir>
#include <QStandardPaths>

namespace velta {

DriveMap::DriveMap(QString stationRoot) : root_(QDir::cleanPath(std::move(stationRoot))) {}

DriveMap DriveMap::fromEnvironment() {
  QString root = qEnvironmentVariable(kRootVariable);
  if (root.isEmpty())
    root = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/velta-station");
  return DriveMap(root);
}

QString DriveMap::toHost(const QString& path) const {
#ifdef Q_OS_WIN
  return path;
#else
  const bool drivePath = path.size() >= 2 && path[0].isLetter() && path[0].unicode() < 128 &&
                         path[1] == u':';
  if (!drivePath) return path;
  QString rest = path.mid(2);
  rest.replace(u'\\', u'/');
  while (rest.startsWith(u'/')) rest.remove(0, 1);
  QString host = root_ + u'/' + path[0].toUpper();
  if (!rest.isEmpty()) host += u'/' + rest;
  // Keep a trailing separator: callers append file names to directory paths.
  if (rest.isEmpty() && (path.endsWith(u'\\') || path.endsWith(u'/'))) host += u'/';
  return host;
#endif
}

}  // namespace velta
