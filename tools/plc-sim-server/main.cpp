// velta-plc-sim: the simulated test machine of the item server's simulator driver (the
// same machine model), served over Modbus TCP and over the PLC's native protocol on
// loopback, for running the station with a wire driver but without a PLC.
//
//   velta-plc-sim [--modbus-port N] [--native-port N] [--station N] [--seed N]
//                 [--piece-interval-ms N] [--phase-gap-ms N] [--host ADDR] [link faults]
//
// Link faults (see the usage text) are made by a SimFaultPlan at points of the handshake
// of every N-th piece, one line each: "simulator: fault ... at piece N (...)".
//
// Defaults: Modbus TCP on 127.0.0.1:1502, native protocol on 127.0.0.1:1500, station 1.
// A port of 0 leaves that protocol off. Prints "simulator: piece N finished" for every
// piece whose end bit the station acknowledged; the last three digits of each piece's
// raw load (R10/R11, the grams) are its number modulo 1000. Runs until interrupted.
#include <chrono>
#include <csignal>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/error.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "platform/itemserver/wire/sim/sim_fault_plan.h"
#include "platform/itemserver/wire/sim/sim_machine.h"

namespace {

volatile std::sig_atomic_t quit = 0;
void onSignal(int) { quit = 1; }

int usage(const char* why) {
  std::fprintf(stderr,
               "velta-plc-sim: %s\n"
               "usage: velta-plc-sim [--modbus-port N] [--native-port N] [--station N] [--seed N]\n"
               "                     [--piece-interval-ms N] [--phase-gap-ms N] [--host ADDR]\n"
               "link faults, each in every N-th piece (N >= 1) at a POINT of its handshake:\n"
               "  --drop-every-pieces N     close every connection (POINT: --drop-at, default between)\n"
               "  --drop-closed-ms D        ... and keep the port closed D ms (default 0: reconnect at once)\n"
               "  --silent-every-pieces N   accept connections but answer nothing for --silent-ms D\n"
               "                            (default 1000; POINT: --silent-at, default wait:M3)\n"
               "  --slow-every-pieces N     answer --slow-ms D late (default 200) for --slow-for-ms S\n"
               "                            (default 2000; POINT: --slow-at, default ack:M2)\n"
               "  --garbage-every-pieces N  answer the next request with bytes that are no reply\n"
               "                            (POINT: --garbage-at, default wait:M4)\n"
               "  --fault-seed S            seed of the garbage bytes and of the points 'any' draws\n"
               "POINT: between (after M6 is acknowledged), ack:M2 .. ack:M5 (just after that bit's\n"
               "acknowledgement), wait:M2 .. wait:M6 (just after the bit is set, while it waits),\n"
               "any (drawn anew for every piece hit).\n",
               why);
  return 2;
}

bool number(const char* text, int min, int max, int& out) {
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (!*text || *end || v < min || v > max) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  int modbusPort = 1502, nativePort = 1500, station = 1, pieceMs = 4000, gapMs = 1000;
  int seed = static_cast<int>(std::time(nullptr) % 1'000'000);
  std::string host = "127.0.0.1";
  int faultSeed = 1;
  struct Fault {
    const char* name;
    velta::SimFaultRule rule;
    bool on = false;
  };
  Fault drop{"drop", {velta::SimFaultKind::Drop, 1, 0, velta::SimFaultPoint::betweenPieces(), {}, {}}};
  Fault silent{"silent", {velta::SimFaultKind::Silent, 1, 0, velta::SimFaultPoint::waiting(3),
                          std::chrono::milliseconds(1000), {}}};
  Fault slow{"slow", {velta::SimFaultKind::Slow, 1, 0, velta::SimFaultPoint::acknowledged(2),
                      std::chrono::milliseconds(2000), std::chrono::milliseconds(200)}};
  Fault garbage{"garbage", {velta::SimFaultKind::Garbage, 1, 0, velta::SimFaultPoint::waiting(4), {}, {}}};
  const auto every = [](const char* v, Fault& f) {
    f.on = number(v, 1, 1'000'000, f.rule.everyPieces);
    return f.on;
  };
  const auto point = [](const char* v, Fault& f) {
    const auto p = velta::parseSimFaultPoint(v);
    if (p) f.rule.at = *p;
    return p.has_value();
  };
  const auto millis = [](const char* v, std::chrono::milliseconds& out) {
    int n = 0;
    if (!number(v, 0, 3'600'000, n)) return false;
    out = std::chrono::milliseconds(n);
    return true;
  };
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--help" || a == "-h") return usage("simulated PLC"), 0;
    if (i + 1 >= argc) return usage(("missing value after " + a).c_str());
    const char* v = argv[++i];
    bool ok = true;
    if (a == "--modbus-port") ok = number(v, 0, 65535, modbusPort);
    else if (a == "--native-port") ok = number(v, 0, 65535, nativePort);
    else if (a == "--station") ok = number(v, 1, 254, station);
    else if (a == "--piece-interval-ms") ok = number(v, 100, 3'600'000, pieceMs);
    else if (a == "--phase-gap-ms") ok = number(v, 0, 600'000, gapMs);
    else if (a == "--seed") ok = number(v, 0, 2'000'000'000, seed);
    else if (a == "--host") host = v;
    else if (a == "--drop-every-pieces") ok = every(v, drop);
    else if (a == "--drop-at") ok = point(v, drop);
    else if (a == "--drop-closed-ms") ok = millis(v, drop.rule.duration);
    else if (a == "--silent-every-pieces") ok = every(v, silent);
    else if (a == "--silent-at") ok = point(v, silent);
    else if (a == "--silent-ms") ok = millis(v, silent.rule.duration);
    else if (a == "--slow-every-pieces") ok = every(v, slow);
    else if (a == "--slow-at") ok = point(v, slow);
    else if (a == "--slow-ms") ok = millis(v, slow.rule.replyDelay);
    else if (a == "--slow-for-ms") ok = millis(v, slow.rule.duration);
    else if (a == "--garbage-every-pieces") ok = every(v, garbage);
    else if (a == "--garbage-at") ok = point(v, garbage);
    else if (a == "--fault-seed") ok = number(v, 0, 2'000'000'000, faultSeed);
    else return usage(("unknown option " + a).c_str());
    if (!ok) return usage(("bad value for " + a).c_str());
  }

  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::signal(SIGPIPE, SIG_IGN);

  velta::PlcMemory memory(256, 256, 2000);
  velta::ModbusPeer modbus(memory);
  velta::NativePeer native(memory, station);
  try {
    if (modbusPort) {
      modbus.start(modbusPort, host);
      std::printf("simulator: modbus-tcp on %s:%d (M0 = coil 2000, R0 = register 0)\n", host.c_str(), modbus.port());
    }
    if (nativePort) {
      native.start(nativePort, host);
      std::printf("simulator: native protocol on %s:%d, station %d\n", host.c_str(), native.port(), station);
    }
  } catch (const velta::Error& e) {
    std::fprintf(stderr, "velta-plc-sim: %s\n", e.what());
    return 1;
  }
  std::fflush(stdout);

  velta::MachineSettings settings;
  settings.seed = static_cast<quint64>(seed);
  settings.pieceIntervalMs = pieceMs;
  settings.phaseIntervalMs = gapMs;
  velta::SimMachine machine(memory, settings,
                            [](int n) {
                              std::printf("simulator: piece %d finished\n", n);
                              std::fflush(stdout);
                            });
  std::vector<velta::PeerServer*> peers;
  if (modbusPort) peers.push_back(&modbus);
  if (nativePort) peers.push_back(&native);
  velta::SimFaultPlan faults(peers, static_cast<quint64>(faultSeed), host);
  for (const Fault* f : {&drop, &silent, &slow, &garbage})
    if (f->on) faults.add(f->rule);
  while (!quit) {
    machine.step();
    faults.afterStep(machine);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  modbus.stop();
  native.stop();
  return 0;
}
