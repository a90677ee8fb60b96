#pragma once
// The plant database settings, "D:\rododezuz\sistem\plantdb.conf": INI-like text in the
// style of the PLC server project (one [plant-database] section, "key = value" lines,
// ";" or "#" comments at a line's start or after a blank, keys not case-sensitive and
// given once). resources/station/sistem/plantdb.conf.example documents every key.
// Errors: velta::Error naming the file and the line. Any thread; no shared state.
#include <QDate>
#include <QString>
#include <optional>

#include "platform/drive_map.h"

namespace velta::plantdb {

inline const QString kPlantDbConfigPath = QStringLiteral("D:\\rododezuz\\sistem\\plantdb.conf");

struct PlantConfig {
  QString fileName;    // the host file it was read from, for messages
  QString connection;  // a libpq connection string (required)
  QString station;     // the station's name in the plant; default: the host name
  QDate firstDay;      // daily files of earlier days are not forwarded; null: every file
};

// Parses the text; errors name fileName and the line.
PlantConfig parsePlantConfig(const QString& text, const QString& fileName);

// The file at hostPath; nullopt when there is none (no forwarding). A file that cannot
// be read or parsed is an Error naming it.
std::optional<PlantConfig> readPlantConfig(const QString& hostPath);

// The host path of the settings file of a station root.
QString plantConfigPath(const DriveMap& drives);

}  // namespace velta::plantdb
