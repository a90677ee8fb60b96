// The item server's wire drivers against loopback peers:
// - requests on the wire per refresh of the station's full item set (counted by the
//   peer, per good refresh of the driver), per protocol;
// - the CPU time of one poll tick (Timer1Timer with an empty sequencer step, as in
//   tick_bench) on the UI thread with a wire driver, beside the same tick on the
//   built-in simulator driver in the same run (compare BM_TickSimulator with
//   BM_TickModbusTcp / BM_TickNativeTcp).
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <thread>

#include "platform/fakes/fake_platform.h"
#include "platform/itemserver/item_server.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "platform/itemserver/wire_driver.h"
#include "plc/poll_cycle.h"

namespace {

using namespace velta;
using namespace std::chrono_literals;

enum class Driver { Simulator, ModbusTcp, NativeTcp };

// A station root whose project selects the driver; peers on loopback for wire drivers.
struct Setup {
  explicit Setup(Driver d) : memory(256, 256, 2000) {
    QDir().mkpath(root.path() + "/D/rododezuz/sistem");
    QString project;
    if (d == Driver::Simulator) {
      QFile::copy(QStringLiteral(VELTA_SOURCE_DIR "/resources/station/sistem/fatekserver.fcs"),
                  root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
    } else {
      if (d == Driver::ModbusTcp) peer = std::make_unique<ModbusPeer>(memory);
      else peer = std::make_unique<NativePeer>(memory, 1);
      peer->start();
      memory.setBit(0, true);
      memory.setReg(5, 6543);
      QFile f(root.path() + "/D/rododezuz/sistem/fatekserver.fcs");
      f.open(QIODevice::WriteOnly);
      f.write(QStringLiteral("[server]\ndriver = %1\nhost = 127.0.0.1\nport = %2\n")
                  .arg(d == Driver::ModbusTcp ? "modbus-tcp" : "native-tcp")
                  .arg(peer->port())
                  .toUtf8());
    }
    registerItemServer(registry, ItemServerEnvironment{DriveMap(root.path()), nullptr, nullptr,
                                                       [](const QString&) {}});
    server = registry.createAs<PlcItemServer>(QString::fromLatin1(kPlcServerProgId));
    server->OpenProject(kPlcProjectPath);
    server->SetItem("System", "Connect", "1");
    if (peer) {
      while (server->GetItem(kItemGroup, "Update").asInt() != 1) std::this_thread::sleep_for(1ms);
    }
  }
  ~Setup() {
    server.reset();
    if (peer) peer->stop();
  }
  WireDriver* wire() { return dynamic_cast<WireDriver*>(dynamic_cast<ItemServer&>(*server).driver()); }

  QTemporaryDir root;
  PlcMemory memory;
  std::unique_ptr<PeerServer> peer;
  ObjectRegistry registry;
  PlcServerRef server;
};

void requestsPerRefresh(benchmark::State& state, Driver d) {
  Setup s(d);
  WireDriver* w = s.wire();
  const int requestsBefore = s.peer->requestCount();
  const long long refreshesBefore = w->goodRefreshes();
  for (auto _ : state) {
    const long long n = w->goodRefreshes();
    while (w->goodRefreshes() == n) std::this_thread::sleep_for(200us);
  }
  const double refreshes = static_cast<double>(w->goodRefreshes() - refreshesBefore);
  // A refresh in progress at the end may have sent part of its requests: at most one
  // refresh's worth of extra requests, shared out over all of them.
  state.counters["requests_per_refresh"] = (s.peer->requestCount() - requestsBefore) / refreshes;
  state.counters["planned_requests"] = static_cast<double>(w->plannedRequests());
}

void BM_RequestsPerRefreshModbusTcp(benchmark::State& st) { requestsPerRefresh(st, Driver::ModbusTcp); }
void BM_RequestsPerRefreshNativeTcp(benchmark::State& st) { requestsPerRefresh(st, Driver::NativeTcp); }
BENCHMARK(BM_RequestsPerRefreshModbusTcp)->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RequestsPerRefreshNativeTcp)->Iterations(50)->UseRealTime()->Unit(benchmark::kMillisecond);

void tick(benchmark::State& state, Driver d) {
  Setup s(d);
  FormState form;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  const RegionalSettings regional;
  PollCycle poll(form, s.server, s.registry, shutdown, termination, regional);
  poll.setTestCycle([] {});
  int failures = 0;
  poll.setFailureSink([&](const QString&) { ++failures; });
  for (auto _ : state) poll.Timer1Timer();
  if (failures || termination.requests) state.SkipWithError("the tick failed");
  benchmark::DoNotOptimize(form.text(ctl::Edit2));
}

void BM_TickSimulator(benchmark::State& st) { tick(st, Driver::Simulator); }
void BM_TickModbusTcp(benchmark::State& st) { tick(st, Driver::ModbusTcp); }
void BM_TickNativeTcp(benchmark::State& st) { tick(st, Driver::NativeTcp); }
BENCHMARK(BM_TickSimulator);
BENCHMARK(BM_TickModbusTcp);
BENCHMARK(BM_TickNativeTcp);

}  // namespace
