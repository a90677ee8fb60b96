#include "plantdb/plant_config.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <set>

#include <unistd.h>

#include "platform/error.h"
#include "platform/settings_line.h"

namespace velta::plantdb {

namespace {

struct LineError {
  QString text;
};

// Drops a comment that starts a line or follows a blank (as in fatekserver.fcs).
QString defaultStation() {
  char buf[256] = {};
  const QString host = gethostname(buf, sizeof buf - 1) == 0 ? QString::fromLocal8Bit(buf) : QString();
  return host.isEmpty() ? QStringLiteral("station") : host;
}

}  // namespace

PlantConfig parsePlantConfig(const QString& text, const QString& fileName) {
  PlantConfig c;
  c.fileName = fileName;
  bool inSection = false;
  bool sawSection = false;
  std::set<QString> seen;
  static const QRegularExpression stationName(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9_.-]{0,62}$"));
  const QStringList lines = text.split(u'\n');
  for (qsizetype n = 0; n < lines.size(); ++n) {
    const QString line = StripSettingsComment(lines[n]).trimmed();
    if (line.isEmpty()) continue;
    try {
      if (line.startsWith(u'[')) {
        if (!line.endsWith(u']')) throw LineError{QStringLiteral("section header without \"]\"")};
        const QString name = line.mid(1, line.size() - 2).trimmed().toLower();
        if (name != u"plant-database") throw LineError{QStringLiteral("unknown section [%1]").arg(name)};
        if (sawSection) throw LineError{QStringLiteral("[plant-database] given twice")};
        inSection = sawSection = true;
        continue;
      }
      const qsizetype eq = line.indexOf(u'=');
      if (eq < 0) throw LineError{QStringLiteral("expected key = value")};
      const QString key = line.left(eq).trimmed().toLower();
      const QString value = line.mid(eq + 1).trimmed();
      if (key.isEmpty()) throw LineError{QStringLiteral("key missing before \"=\"")};
      if (value.isEmpty()) throw LineError{QStringLiteral("no value for \"%1\"").arg(key)};
      if (!inSection) throw LineError{QStringLiteral("\"%1\" outside a section").arg(key)};
      if (!seen.insert(key).second) throw LineError{QStringLiteral("\"%1\" given twice").arg(key)};
      if (key == u"connection") {
        c.connection = value;
      } else if (key == u"station") {
        if (!stationName.match(value).hasMatch())
          throw LineError{QStringLiteral("\"%1\" is no station name (letters, digits, \"-\", \"_\", \".\"; "
                                         "at most 63)").arg(value)};
        c.station = value;
      } else if (key == u"first-day") {
        c.firstDay = QDate::fromString(value, QStringLiteral("yyyy-MM-dd"));
        if (!c.firstDay.isValid()) throw LineError{QStringLiteral("\"%1\" is no date (yyyy-MM-dd)").arg(value)};
      } else {
        throw LineError{QStringLiteral("unknown key \"%1\"").arg(key)};
      }
    } catch (const LineError& e) {
      throw Error(QStringLiteral("plant database settings \"%1\", line %2: %3").arg(fileName).arg(n + 1).arg(e.text));
    }
  }
  if (c.connection.isEmpty())
    throw Error(QStringLiteral("plant database settings \"%1\": no connection in [plant-database]").arg(fileName));
  if (c.station.isEmpty()) c.station = defaultStation();
  return c;
}

std::optional<PlantConfig> readPlantConfig(const QString& hostPath) {
  if (!QFileInfo::exists(hostPath)) return std::nullopt;
  QFile f(hostPath);
  if (!f.open(QIODevice::ReadOnly))
    throw Error(QStringLiteral("plant database settings \"%1\" cannot be opened: %2").arg(hostPath, f.errorString()));
  const QByteArray bytes = f.readAll();
  if (f.error() != QFileDevice::NoError)
    throw Error(QStringLiteral("plant database settings \"%1\" cannot be read: %2").arg(hostPath, f.errorString()));
  return parsePlantConfig(QString::fromUtf8(bytes), hostPath);
}

QString plantConfigPath(const DriveMap& drives) { return drives.toHost(kPlantDbConfigPath); }

}  // namespace velta::plantdb
