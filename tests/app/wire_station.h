#pragma once
// The real station (FormCreate, then Timer1Timer with the real sequencer) on the real
// item server, over the wire to a simulated PLC on loopback, for the link fault tests: a
// temporary station root whose PLC project names the peer, the fakes around the station,
// and the station itself once started.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

#include "app/station.h"
#include "platform/itemserver/item_server.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "tests/app/station_fixture.h"

namespace velta::test {

// A simulated PLC on loopback for memory, speaking Modbus TCP or the native protocol
// (station 1), listening on a free port.
inline std::unique_ptr<PeerServer> startPeer(PlcMemory& memory, bool modbus) {
  std::unique_ptr<PeerServer> peer;
  if (modbus) peer = std::make_unique<ModbusPeer>(memory);
  else peer = std::make_unique<NativePeer>(memory, 1);
  peer->start();
  return peer;
}

class WireStation {
 public:
  // Fast settings for loopback: refresh every 10 ms, short time-outs.
  WireStation(bool modbus, int port) {
    QDir().mkpath(root.path() + "/D/rododezuz/data");
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    QFile f(root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
    if (!f.open(QIODevice::WriteOnly)) throw std::runtime_error("cannot write the project file");
    f.write(QStringLiteral("[server]\ndriver = %1\nhost = 127.0.0.1\nport = %2\n"
                           "refresh-period-ms = 10\nresponse-timeout-ms = 100\n"
                           "connect-timeout-ms = 200\nwrite-timeout-ms = 50\nrefused-write-retry-ms = 50\n")
                .arg(modbus ? "modbus-tcp" : "native-tcp")
                .arg(port)
                .toUtf8());
    registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), nullptr, &clock, {}});
  }

  // FormCreate with the failures of ticks collected in failures.
  Station& start() {
    station = std::make_unique<Station>(PlatformServices{dialogs, registry, shutdown, termination, clock,
                                                         RegionalSettings{}, DriveMap(root.path())});
    station->pollCycle().setFailureSink([this](const QString& r) { failures << r; });
    station->FormCreate();
    return *station;
  }
  // One tick, the clock 200 ms on.
  void tick() {
    clock.time = clock.time.addMSecs(200);
    station->Timer1Timer();
  }
  // The program's clean-up: files closed, the server (and its link) released.
  void finish() {
    station->closeWindowComponents();
    station->releasePlcServer();
  }
  std::vector<QStringList> todaysRecords() const {
    return storedRecords(root.path() + "/D/rododezuz/data/" + DailyTableName(clock));
  }

  QTemporaryDir root;
  FakeClock clock{QDate(2026, 12, 9), QTime(10, 0, 0)};
  QStringList failures;
  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  std::unique_ptr<Station> station;
};

}  // namespace velta::test
