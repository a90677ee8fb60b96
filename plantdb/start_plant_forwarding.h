#pragma once
// The station's one hook for the plant database: reads D:\rododezuz\sistem\plantdb.conf
// and starts the forwarder on its own thread. No file: null, nothing started, nothing
// said. A bad file: one line on stderr naming the file and the line, null. The
// forwarder stops when the returned object is destroyed. Call on any thread, once.
#include <memory>

#include "plantdb/plant_forwarder.h"
#include "platform/drive_map.h"

namespace velta::plantdb {

// The settings a station root gives (the data folder and the position file mapped).
ForwarderSettings stationForwarderSettings(const DriveMap& drives, PlantConfig config);

std::unique_ptr<PlantForwarder> StartPlantForwarding(const DriveMap& drives);

}  // namespace velta::plantdb
