// How soon the station's wire driver reads again after the PLC comes back, and what it
// costs while the PLC is away: the PLC's port is closed for an outage (the argument, in
// ms), then opened again; the time from listening to the first good refresh is
// reported (project settings as in a plant: refresh every 100 ms), with the process's
// CPU time per second of outage.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <thread>

#include "platform/itemserver/server_project.h"
#include "platform/itemserver/steady_clock.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "platform/itemserver/wire_driver.h"

namespace {

using namespace velta;
using namespace std::chrono;

double cpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void reconnect(benchmark::State& state, bool modbus) {
  PlcMemory memory;
  std::unique_ptr<PeerServer> peer;
  if (modbus) peer = std::make_unique<ModbusPeer>(memory);
  else peer = std::make_unique<NativePeer>(memory, 1);
  peer->start();
  const int port = peer->port();
  ServerProject p;
  p.driver = modbus ? QStringLiteral("modbus-tcp") : QStringLiteral("native-tcp");
  p.host = QStringLiteral("127.0.0.1");
  p.port = port;
  p.items = {{QStringLiteral("M2"), {PlcAddress::Area::Coil, 2002}},
             {QStringLiteral("R5"), {PlcAddress::Area::Register, 5}}};
  SystemSteadyClock steady;
  auto driver = makeWireDriver(p, steady, nullptr);
  auto& wire = dynamic_cast<WireDriver&>(*driver);
  driver->start({{QStringLiteral("M2"), {PlcAddress::Area::Coil, 2002}},
                 {QStringLiteral("R5"), {PlcAddress::Area::Register, 5}}});
  driver->connect();
  while (wire.goodRefreshes() == 0) std::this_thread::sleep_for(1ms);
  const milliseconds outage(state.range(0));
  double worst = 0, total = 0, cpuPerSecond = 0;
  for (auto _ : state) {
    peer->stop();
    const double cpu0 = cpuSeconds();
    std::this_thread::sleep_for(outage);
    cpuPerSecond += (cpuSeconds() - cpu0) / duration<double>(outage).count();
    const long long before = wire.goodRefreshes();
    peer->start(port);
    const auto listening = steady_clock::now();
    while (wire.goodRefreshes() == before) std::this_thread::sleep_for(100us);
    const double ms = duration<double, std::milli>(steady_clock::now() - listening).count();
    state.SetIterationTime(ms / 1000);
    worst = std::max(worst, ms);
    total += ms;
  }
  const auto n = static_cast<double>(state.iterations());
  state.counters["reconnect_ms_mean"] = total / n;
  state.counters["reconnect_ms_worst"] = worst;
  state.counters["cpu_ms_per_s_away"] = 1000 * cpuPerSecond / n;
  driver.reset();
  peer->stop();
}

void BM_ReconnectModbusTcp(benchmark::State& state) { reconnect(state, true); }
void BM_ReconnectNativeTcp(benchmark::State& state) { reconnect(state, false); }
BENCHMARK(BM_ReconnectModbusTcp)->Arg(2000)->Arg(10000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReconnectNativeTcp)->Arg(2000)->Arg(10000)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
