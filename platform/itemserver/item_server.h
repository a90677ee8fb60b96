#pragma once
// Our PLC item server, the object behind "FaconSvr.FaconServer". OpenProject reads the
// server project file (a fixed Windows path, mapped to the host by the DriveMap) and
// starts its driver; items are then read and written by name:
// - group "Channel0.Station0.Group0": the M and R items of the project's table (0/1 and
//   0 .. 65535 as whole numbers), "Update" (1 while the link is up, 0 while down) and
//   "UpdateTime" (time of the last good refresh as "hh:mm:ss.zzz", empty before it);
// - group "System": "Connect" written 1 asks for the link, written 0 drops it; read, it
//   is 1 while the link is up.
// Group and item names are matched without regard to case. Unknown groups or items and
// values an item cannot hold raise Error naming them. Until a project has opened (the
// file missing or broken) the server is a link that is down: every item of the group
// reads 0 ("UpdateTime" empty), writes and "Connect" go nowhere, so the station shows
// "PLC BAĞLANTISI YOK" and captures nothing until "PLC BAĞLAN" opens a good file.
// GetItem never waits on the wire. UI thread only.
#include <QHash>
#include <functional>
#include <memory>

#include "platform/clock.h"
#include "platform/drive_map.h"
#include "platform/itemserver/item_driver.h"
#include "platform/itemserver/server_project.h"
#include "platform/itemserver/steady_clock.h"
#include "platform/object_registry.h"
#include "platform/plc_item_server.h"

namespace velta {

// What a server needs from outside; clocks outlive every server made with them.
struct ItemServerEnvironment {
  DriveMap drives;
  const SteadyClock* steady = nullptr;  // null: the system's steady clock
  const Clock* wall = nullptr;          // null: the system's wall clock
  std::function<void(const QString&)> log;  // driver lines; null: one line each to stderr
};

class ItemServer : public PlcItemServer, public LinkSessions {
 public:
  explicit ItemServer(ItemServerEnvironment env);
  ~ItemServer() override;

  void OpenProject(const QString& projectPath) override;
  Variant GetItem(const QString& group, const QString& item) override;
  void SetItem(const QString& group, const QString& item, const Variant& value) override;
  // The open driver's link session (0 with no project open).
  quint64 linkSession() override;

  // The open project's driver (null before OpenProject succeeds), for tests.
  ItemDriver* driver() const { return driver_.get(); }

 private:
  std::size_t itemIndex(const QString& group, const QString& item) const;
  ItemDriver& openDriver() const;

  ItemServerEnvironment env_;
  std::unique_ptr<ItemDriver> driver_;
  std::vector<DriverItem> items_;
  QHash<QString, std::size_t> index_;  // upper-case name -> table index
};

// The driver a project names; Error for a driver this build does not have.
std::unique_ptr<ItemDriver> makeItemDriver(const ServerProject& project,
                                           const ItemServerEnvironment& env);

// Registers "FaconSvr.FaconServer": every creation gives a new ItemServer.
void registerItemServer(ObjectRegistry& registry, const DriveMap& drives);
void registerItemServer(ObjectRegistry& registry, ItemServerEnvironment env);

}  // namespace velta
