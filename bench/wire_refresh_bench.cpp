// One full refresh of the station's PLC items against loopback peers: requests on the
// wire per refresh (counted by the peer) and the time it takes, per protocol.
#include <benchmark/benchmark.h>

#include "platform/itemserver/wire/modbus_link.h"
#include "platform/itemserver/wire/native_link.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"

namespace {

using namespace velta;

std::vector<PlcElement> stationItems() {
  std::vector<PlcElement> v;
  for (int m : {0, 2, 3, 4, 5, 6, 7, 8}) v.push_back(PlcElement::bit(m));
  for (int r : {5, 7, 8, 10, 11}) v.push_back(PlcElement::reg(r));
  return v;
}

void refresh(benchmark::State& state, PeerServer& peer, PlcLink& link) {
  const ReadPlan plan = link.planReads(stationItems());
  link.connect();
  const int before = peer.requestCount();
  std::size_t values = 0;
  for (auto _ : state) {
    const PlcValues v = link.read(plan);
    values += v.size();
    benchmark::DoNotOptimize(values);
  }
  const double requests = static_cast<double>(peer.requestCount() - before);
  state.counters["requests_per_refresh"] = requests / static_cast<double>(state.iterations());
  state.counters["planned_requests"] = static_cast<double>(plan.requests.size());
}

void BM_RefreshModbusTcp(benchmark::State& state) {
  PlcMemory memory;
  ModbusPeer peer(memory);
  peer.start();
  ModbusSettings s;
  s.port = peer.port();
  ModbusLink link(s);
  refresh(state, peer, link);
}
BENCHMARK(BM_RefreshModbusTcp)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_RefreshNativeTcp(benchmark::State& state) {
  PlcMemory memory;
  NativePeer peer(memory, 1);
  peer.start();
  NativeLink link(std::make_unique<TcpTransport>("127.0.0.1", peer.port()), NativeSettings{});
  refresh(state, peer, link);
}
BENCHMARK(BM_RefreshNativeTcp)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PlanAndEncodeMixedRead(benchmark::State& state) {
  for (auto _ : state) {
    const ReadPlan plan = planMixedReads(stationItems());
    benchmark::DoNotOptimize(fatek::encodeMixedRead(1, plan.requests.front().elements));
  }
}
BENCHMARK(BM_PlanAndEncodeMixedRead);

}  // namespace

BENCHMARK_MAIN();
