#pragma once
// Maps the program's fixed Windows paths ("D:\rododezuz\data") to the host. On
// Windows paths stand as they are; elsewhere X:\a\b becomes <station root>/X/a/b.
// A native host path (from the file dialog) passes unchanged.
#include <QString>

namespace velta {

class DriveMap {
 public:
  // The environment variable that moves the station root.
  static constexpr const char* kRootVariable = "VELTA_STATION_ROOT";

  explicit DriveMap(QString stationRoot);
  // Root from VELTA_STATION_ROOT, else the per-user data folder.
  static DriveMap fromEnvironment();

  const QString& stationRoot() const { return root_; }
  QString toHost(const QString& path) const;

 private:
  QString root_;
};

}  // namespace velta
