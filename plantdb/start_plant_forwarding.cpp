#include "plantdb/start_plant_forwarding.h"

#include <cstdio>

#include "plantdb/position_store.h"
#include "platform/station_log.h"
#include "records/daily_file.h"

namespace velta::plantdb {

ForwarderSettings stationForwarderSettings(const DriveMap& drives, PlantConfig config) {
  ForwarderSettings s;
  s.config = std::move(config);
  s.dataDir = drives.toHost(kDataDirectory);
  s.positionPath = drives.toHost(kPositionFilePath);
  return s;
}

std::unique_ptr<PlantForwarder> StartPlantForwarding(const DriveMap& drives) {
  std::optional<PlantConfig> config;
  try {
    config = readPlantConfig(plantConfigPath(drives));
  } catch (const Error& e) {
    LogLine(e.text() + QStringLiteral("; records are not forwarded to the plant database"));
    return nullptr;
  }
  if (!config) return nullptr;
  auto forwarder = std::make_unique<PlantForwarder>(stationForwarderSettings(drives, std::move(*config)));
  forwarder->start();
  return forwarder;
}

}  // namespace velta::plantdb
