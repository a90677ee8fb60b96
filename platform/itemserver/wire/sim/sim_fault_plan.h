#pragma once
// Link faults of a simulated PLC, made at chosen points of the machine's handshake, for
// velta-plc-sim and for runs and tests of the station against the simulated machine.
//
// Each rule names a fault, the pieces it hits (every N-th, from an offset) and the point
// of the piece: just after a bit's acknowledgement was seen by the machine (after M6:
// between pieces), just after a bit was set (the bit waits), or a point drawn anew for
// every piece hit (from the plan's seed). The faults:
// - Drop: every open connection is closed; with a duration the port also stays closed
//   (connections refused) that long.
// - Silent: connections are accepted but no request is answered for the duration.
// - Slow: every reply comes replyDelay late for the duration.
// - Garbage: the next request is answered with bytes that are no reply (drawn from the
//   seed; never the native protocol's STX/ETX, so they can never form a frame).
// One report line per fault made: "simulator: fault <what> at piece N (<point>)".
//
// afterStep() is called after every step of the machine, from the machine's thread; the
// time it is given is the one the durations are measured in (the wire's steady time in
// velta-plc-sim, any time line in tests). The peers outlive the plan.
#include <QtGlobal>
#include <chrono>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "platform/itemserver/wire/sim/peer_server.h"
#include "platform/itemserver/wire/sim/sim_machine.h"

namespace velta {

enum class SimFaultKind { Drop, Silent, Slow, Garbage };

// A point of a piece's handshake.
struct SimFaultPoint {
  enum class Kind { Acknowledged, Waiting, Any };
  Kind kind = Kind::Acknowledged;
  int bit = 6;  // 2..6; Acknowledged 6 is "between pieces"

  static SimFaultPoint betweenPieces() { return {Kind::Acknowledged, 6}; }
  static SimFaultPoint acknowledged(int bit) { return {Kind::Acknowledged, bit}; }
  static SimFaultPoint waiting(int bit) { return {Kind::Waiting, bit}; }
  static SimFaultPoint any() { return {Kind::Any, 0}; }
  bool operator==(const SimFaultPoint&) const = default;
};

// "between", "ack:M3" (M2..M6), "wait:M4" (M2..M6) or "any"; nullopt for anything else.
std::optional<SimFaultPoint> parseSimFaultPoint(const std::string& text);
std::string describe(SimFaultPoint point);  // "between pieces", "M3 acknowledged", "M4 waiting"

struct SimFaultRule {
  SimFaultKind kind = SimFaultKind::Drop;
  int everyPieces = 1;  // hits pieces p with p % everyPieces == offset % everyPieces (p from 1)
  int offset = 0;
  SimFaultPoint at = SimFaultPoint::betweenPieces();
  std::chrono::milliseconds duration{0};    // Drop: port closed; Silent: no replies; Slow: the span
  std::chrono::milliseconds replyDelay{0};  // Slow
};

struct SimFaultMade {
  SimFaultKind kind;
  int piece;
  SimFaultPoint at;     // the point it was made at (never Any)
  std::string garbage;  // Garbage: the bytes sent
};

class SimFaultPlan {
 public:
  using Clock = std::chrono::steady_clock;
  // peers: every server of the machine's memory (both protocols of velta-plc-sim);
  // host: where they listen, for reopening a closed port.
  explicit SimFaultPlan(std::vector<PeerServer*> peers, quint64 seed = 1, std::string host = "127.0.0.1");
  ~SimFaultPlan();
  SimFaultPlan(const SimFaultPlan&) = delete;
  SimFaultPlan& operator=(const SimFaultPlan&) = delete;

  void add(const SimFaultRule& rule);
  // Where the report lines go (default: stdout, flushed).
  void setReport(std::function<void(const std::string& line)> report) { report_ = std::move(report); }

  // Sees the handshake move (bits set, acknowledgements seen) and makes the faults due;
  // ends the timed ones whose duration is over.
  void afterStep(const SimMachine& machine, Clock::time_point now = Clock::now());
  // The same from the machine's progress: pieces finished and the bit waiting (0: none).
  void observe(int piecesFinished, int waitingOn, Clock::time_point now);

  const std::vector<SimFaultMade>& made() const { return made_; }
  // No timed fault in effect (port open, answering, no reply delay).
  bool quiet() const;

 private:
  void enterPiece(int piece);
  void reached(SimFaultPoint point, int piece, Clock::time_point now);
  void make(const SimFaultRule& rule, SimFaultPoint point, int piece, Clock::time_point now);
  void endTimed(Clock::time_point now);
  void silenceAll(std::chrono::milliseconds d);
  std::string garbageBytes();

  std::vector<PeerServer*> peers_;
  std::string host_;
  std::vector<int> ports_;  // per peer, for reopening
  std::mt19937_64 rng_;
  std::vector<SimFaultRule> rules_;
  std::vector<std::optional<SimFaultPoint>> armed_;  // per rule: its point in the present piece
  std::function<void(const std::string&)> report_;
  std::vector<SimFaultMade> made_;

  bool started_ = false;
  int piece_ = 1;     // the piece in work
  int waiting_ = 0;   // the bit waiting at the last observation
  std::optional<Clock::time_point> closedUntil_, silentUntil_, slowUntil_;
  std::vector<std::string> garbageInSilence_;  // queued behind the silence, sent after it
};

}  // namespace velta
