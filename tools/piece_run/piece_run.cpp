#include "tools/piece_run/piece_run.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <thread>

#include "app/station.h"
#include "platform/fakes/fake_platform.h"
#include "platform/fakes/scripted_dialogs.h"
#include "platform/itemserver/item_server.h"
#include "platform/itemserver/wire/sim/modbus_peer.h"
#include "platform/itemserver/wire/sim/native_peer.h"
#include "platform/itemserver/wire/sim/sim_fault_plan.h"
#include "platform/itemserver/wire/sim/sim_machine.h"

namespace velta::piecerun {

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

constexpr qint64 kTickMs = 200;  // the station's poll period
// A phase's readings stand two ticks before its bit: a tick that shows readings a
// reconnect brought from just before the last step is followed by one that shows them
// fresh, as a PLC's readings stand many refreshes before its bit.
constexpr int kPhaseIntervalMs = 400;
constexpr int kPieceIntervalMs = 400;      // piece runs: the next piece soon after
constexpr int kSoakPieceIntervalMs = 4600;  // soak: about 10,500 pieces a day
constexpr auto kLinkDownPace = 20ms;        // real time a tick waits for a link that is down
constexpr auto kStallAfter = 10s;           // the item server never showed the machine

const QString kGroup = QString::fromLatin1(kItemGroup);

bool isOne(PlcItemServer& s, const char* item) {
  const Variant v = s.GetItem(kGroup, QLatin1StringView(item));
  return v.type() == Variant::Type::Int && v.asInt() == 1;
}

// The item server holds what the machine holds: handshake bits and readings.
bool serverShows(PlcItemServer& s, const PlcMemory& m) {
  static const char* const bits[] = {"M2", "M3", "M4", "M5", "M6"};
  static const char* const regs[] = {"R5", "R7", "R8", "R10", "R11"};
  static const int regNumbers[] = {5, 7, 8, 10, 11};
  for (int i = 0; i < 5; ++i) {
    const Variant v = s.GetItem(kGroup, QLatin1StringView(bits[i]));
    if (v.type() != Variant::Type::Int || v.asInt() != (m.bit(2 + i) ? 1 : 0)) return false;
  }
  for (int i = 0; i < 5; ++i) {
    const Variant v = s.GetItem(kGroup, QLatin1StringView(regs[i]));
    if (v.type() != Variant::Type::Int || v.asInt() != m.reg(regNumbers[i])) return false;
  }
  return true;
}

void writeProject(const QString& root, bool modbus, int port) {
  QDir().mkpath(root + "/D/rododezuz/data");
  QDir().mkpath(root + "/D/rododezuz/sistem");
  QFile f(root + "/D/rododezuz/sistem/fatekserver.fcs");
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) throw Error(QStringLiteral("cannot write %1").arg(f.fileName()));
  f.write(QStringLiteral("[server]\ndriver = %1\nhost = 127.0.0.1\nport = %2\n%3 = 1\n"
                         "refresh-period-ms = 2\nresponse-timeout-ms = 50\nconnect-timeout-ms = 200\n"
                         "write-timeout-ms = 50\nrefused-write-retry-ms = 50\n")
              .arg(modbus ? "modbus-tcp" : "native-tcp")
              .arg(port)
              .arg(modbus ? "unit-id" : "station")
              .toUtf8());
}

// A fault every `every` pieces, the kinds in turn, each at a point drawn per piece.
void planFaults(SimFaultPlan& plan, int every) {
  if (every <= 0) return;
  const SimFaultRule rules[] = {
      {SimFaultKind::Drop, 0, 0, SimFaultPoint::any(), 0ms, 0ms},
      {SimFaultKind::Silent, 0, 0, SimFaultPoint::any(), 200ms, 0ms},
      {SimFaultKind::Drop, 0, 0, SimFaultPoint::any(), 150ms, 0ms},
      {SimFaultKind::Slow, 0, 0, SimFaultPoint::any(), 300ms, 30ms},
      {SimFaultKind::Garbage, 0, 0, SimFaultPoint::any(), 0ms, 0ms},
  };
  const int kinds = static_cast<int>(std::size(rules));
  for (int i = 0; i < kinds; ++i) {
    SimFaultRule r = rules[i];
    r.everyPieces = every * kinds;
    r.offset = every * (i + 1);
    plan.add(r);
  }
}

}  // namespace

bool Result::good() const { return why.empty(); }

Result run(const Options& o) {
  const auto out = o.out ? o.out : [](const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
  };
  Result result;
  result.soak = o.hours > 0;
  const auto realStart = Steady::now();

  std::optional<QTemporaryDir> temp;
  QString root = o.root;
  if (root.isEmpty()) {
    temp.emplace();
    root = temp->path();
  }
  const QString dataFolder = root + "/D/rododezuz/data";
  if (!QDir(dataFolder).entryList({QStringLiteral("T*.tkv")}, QDir::Files).isEmpty()) {
    result.why = "the data folder " + dataFolder.toStdString() + " already holds data files";
    return result;
  }

  const QDateTime start =
      o.start.isValid() ? o.start : QDateTime(QDate(2026, 12, 9), result.soak ? QTime(12, 0) : QTime(6, 0));
  const qint64 endMs = result.soak ? static_cast<qint64>(o.hours * 3600 * 1000) : 0;
  MachineSettings ms;
  ms.seed = o.seed;
  ms.exactReadings = true;
  ms.phaseIntervalMs = kPhaseIntervalMs;
  ms.pieceIntervalMs = result.soak ? kSoakPieceIntervalMs : kPieceIntervalMs;
  // Every piece's ledger entry is made now, before the warm-up is measured.
  const qint64 shortestPiece = ms.pieceIntervalMs + 4LL * ms.phaseIntervalMs;
  const int room = std::max<qint64>(o.pieces, result.soak ? endMs / shortestPiece : 0) + 16;
  PieceLedger ledger(start, room);

  PlcMemory memory(256, 256, 2000);
  std::unique_ptr<PeerServer> peer;
  if (o.modbus) peer = std::make_unique<ModbusPeer>(memory);
  else peer = std::make_unique<NativePeer>(memory, 1);
  peer->start();
  writeProject(root, o.modbus, peer->port());

  qint64 simMs = 0;
  FakeClock clock(start.date(), start.time());
  const Steady::time_point machineZero = Steady::time_point{} + 24h;  // the machine's own time line
  int finished = 0;
  qint64 lastFinishMs = 0;
  SimMachine machine(
      memory, ms,
      [&](int n) {
        finished = n;
        lastFinishMs = simMs;
        ledger.finished(n, simMs);
      },
      machineZero);
  machine.onBitSet([&](int piece, int bit) { ledger.bitSet(piece, bit, memory, simMs); });

  SimFaultPlan plan({peer.get()}, o.seed * 7919 + 1);
  plan.setReport([&](const std::string& line) { out(line); });
  planFaults(plan, o.faultEvery);

  ScriptedDialogs dialogs;
  ObjectRegistry registry;
  RecordingShutdown shutdown;
  RecordingTermination termination;
  registerItemServer(registry, ItemServerEnvironment{DriveMap(root), nullptr, &clock,
                                                     [&](const QString& line) { out(line.toStdString()); }});
  auto station = std::make_unique<Station>(
      PlatformServices{dialogs, registry, shutdown, termination, clock, RegionalSettings{}, DriveMap(root)});
  station->pollCycle().setFailureSink([&](const QString& why) {
    ++result.tickFailures;
    out("poll tick failed: " + why.toStdString());
  });
  // The station's log lines (one per stored piece among them): the first few shown.
  int logLines = 0;
  station->setSequencerLog([&](const QString& line) {
    if (++logLines <= 3) out("velta-station: " + line.toStdString() + (logLines == 3 ? " (further lines counted)" : ""));
  });
  station->FormCreate();
  const std::size_t boxesAtStart = dialogs.shown.size();
  PlcItemServer& server = requireServer(station->plcServer());

  int prevWaiting = 0;
  std::size_t faultsSeen = 0;
  auto lastFaultAt = Steady::now();
  const int warmAt = std::max(1, o.pieces / 20);
  bool warmTaken = false;
  int nextProgress = 1000;
  // A steady moment for the figures: between pieces, no fault in effect, the link up for
  // a while (so the peer has let go of the threads of closed connections).
  const auto steadyMoment = [&] {
    return machine.waitingOn() == 0 && plan.quiet() && Steady::now() - lastFaultAt > 500ms && isOne(server, "Update");
  };
  const auto done = [&] {
    if (finished < o.pieces) return false;
    return !result.soak || simMs >= endMs;
  };

  int settleTicks = 0;
  while (termination.requests == 0 && result.tickFailures == 0) {
    if (done()) {
      if (!result.soak || steadyMoment() || ++settleTicks > 500) break;
    }
    // The clock jumps over the wait between pieces (soak), stopping well before the next
    // piece's readings come.
    qint64 dt = kTickMs;
    if (result.soak && machine.waitingOn() == 0 && prevWaiting == 0 && finished > 0) {
      const qint64 quietUntil = lastFinishMs + ms.pieceIntervalMs - ms.phaseIntervalMs - 3 * kTickMs;
      if (quietUntil - simMs > kTickMs) dt = quietUntil - simMs;
    }
    simMs += dt;
    const QDateTime now = start.addMSecs(simMs);
    clock.set(now.date(), now.time());
    machine.step(machineZero + std::chrono::milliseconds(simMs));
    const int waiting = machine.waitingOn();
    if (prevWaiting != 0 && waiting != prevWaiting)
      ledger.acknowledged(prevWaiting == 6 ? finished : finished + 1, prevWaiting, simMs);
    prevWaiting = waiting;
    plan.afterStep(machine);
    if (plan.made().size() != faultsSeen) {
      faultsSeen = plan.made().size();
      lastFaultAt = Steady::now();
    }

    // Until the item server shows the step (or knows the link is down).
    const auto waitFrom = Steady::now();
    for (;;) {
      const bool up = isOne(server, "Update");
      if (up && serverShows(server, memory)) break;
      const auto waited = Steady::now() - waitFrom;
      if (!up && waited > kLinkDownPace) {
        ++result.ticksLinkDown;
        break;
      }
      if (waited > kStallAfter) {
        ++result.stalls;
        out("the item server did not show the machine for " + std::to_string(kStallAfter.count()) + " s");
        break;
      }
      std::this_thread::sleep_for(100us);
    }
    station->Timer1Timer();
    QCoreApplication::processEvents();

    if (result.soak && !warmTaken && finished >= warmAt && steadyMoment()) {
      std::this_thread::sleep_for(200ms);
      result.warm = sampleProcess();
      warmTaken = true;
      out("after the warm-up (" + std::to_string(finished) + " pieces): " + describe(result.warm));
    }
    if (finished >= nextProgress) {
      nextProgress += 1000;
      out("piece " + std::to_string(finished) + ": " + now.toString(Qt::ISODate).toStdString() + ", " +
          std::to_string(plan.made().size()) + " faults, " +
          std::to_string(std::chrono::duration_cast<std::chrono::seconds>(Steady::now() - realStart).count()) +
          " s" + (result.soak ? ", " + describe(sampleProcess()) : std::string()));
    }
    if (finished > ledger.capacity()) {
      result.why = "more pieces than the ledger has room for";
      break;
    }
  }
  if (result.soak) {
    std::this_thread::sleep_for(200ms);
    result.end = sampleProcess();
  }
  result.stationLogLines = logLines;
  if (auto* sessions = dynamic_cast<LinkSessions*>(&server)) result.linkSessions = sessions->linkSession();
  result.operatorBoxes = static_cast<int>(dialogs.shown.size() - boxesAtStart);
  for (std::size_t i = boxesAtStart; i < dialogs.shown.size(); ++i)
    out("box: " + dialogs.shown[i].text.toStdString());
  station->closeWindowComponents();
  station->releasePlcServer();
  station.reset();
  peer->stop();

  result.piecesFinished = finished;
  result.faultsMade = static_cast<int>(plan.made().size());
  result.simulatedHours = simMs / 3.6e6;
  result.records = ledger.check(dataFolder, finished);
  result.seconds = std::chrono::duration<double>(Steady::now() - realStart).count();

  // What makes the run good, each named when it fails.
  std::string why = result.why;
  const auto need = [&](bool ok, const std::string& what) {
    if (!ok && why.empty()) why = what;
  };
  need(result.tickFailures == 0, "a poll tick failed");
  need(termination.requests == 0, "the station asked to end");
  need(finished >= o.pieces, "fewer pieces finished than asked for");
  need(!result.soak || simMs >= endMs, "the soak ended early");
  need(result.stalls == 0, "the item server stalled");
  need(o.faultEvery <= 0 || result.faultsMade >= finished / o.faultEvery - 1, "fewer faults than planned");
  need(result.records.good(), "records lost, doubled or wrong");
  need(result.records.records == finished, "records and finished pieces differ");
  need(result.operatorBoxes == 0, "the station showed a box");
  if (result.soak) {
    need(warmTaken, "no steady moment after the warm-up");
    need(result.end.residentBytes - result.warm.residentBytes <= 1024 * 1024, "resident memory grew by more than 1 MB");
    need(result.end.descriptors == result.warm.descriptors, "open descriptors changed");
    need(result.end.threads == result.warm.threads, "threads changed");
  }
  result.why = why;
  return result;
}

std::string summary(const Options& o, const Result& r) {
  std::string s;
  const auto line = [&](const std::string& l) { s += l + "\n"; };
  line(std::string("protocol:          ") + (o.modbus ? "modbus-tcp" : "native-tcp"));
  line("simulated time:    " + std::to_string(r.simulatedHours) + " h");
  line("real time:         " + std::to_string(r.seconds) + " s");
  line("pieces finished:   " + std::to_string(r.piecesFinished));
  line("faults injected:   " + std::to_string(r.faultsMade));
  line("records stored:    " + std::to_string(r.records.records));
  line("lost:              " + std::to_string(r.records.lost));
  line("doubled:           " + std::to_string(r.records.doubled));
  line("wrong:             " + std::to_string(r.records.wrong) + " records (" + std::to_string(r.records.wrongValues) +
       " values)");
  line("in another day's file: " + std::to_string(r.records.wrongFile));
  line("serial numbers off: " + std::to_string(r.records.wrongSerial));
  line("item server stalls: " + std::to_string(r.stalls));
  line("station log lines: " + std::to_string(r.stationLogLines));
  line("link sessions:     " + std::to_string(r.linkSessions) + " (ticks with the link down: " +
       std::to_string(r.ticksLinkDown) + ")");
  if (r.soak) {
    line("after warm-up:     " + describe(r.warm));
    line("at the end:        " + describe(r.end));
    const long long grew = r.end.residentBytes - r.warm.residentBytes, sqlite = r.end.sqliteBytes - r.warm.sqliteBytes;
    line("resident growth:   " + std::to_string(grew / 1024) + " kB, of it SQLite's heap " + std::to_string(sqlite / 1024) +
         " kB, the rest " + std::to_string((grew - std::max(0LL, sqlite)) / 1024) + " kB");
  }
  for (const auto& [file, n] : r.records.perFile) line("  " + file.toStdString() + ": " + std::to_string(n) + " records");
  for (const std::string& p : r.records.firstProblems) line("  " + p);
  line(r.good() ? "result: good" : "result: NOT good: " + r.why);
  return s;
}

}  // namespace velta::piecerun
