#include "platform/itemserver/wire/sim/sim_fault_plan.h"

#include <algorithm>
#include <cstdio>

#include "platform/error.h"

namespace velta {

namespace {

constexpr int kPoints = 10;  // between pieces, M2..M5 acknowledged, M2..M6 waiting

SimFaultPoint pointNumber(int i) {
  if (i == 0) return SimFaultPoint::betweenPieces();
  if (i <= 4) return SimFaultPoint::acknowledged(1 + i);
  return SimFaultPoint::waiting(i - 3);
}

std::string ms(std::chrono::milliseconds d) { return std::to_string(d.count()) + " ms"; }

}  // namespace

std::optional<SimFaultPoint> parseSimFaultPoint(const std::string& text) {
  if (text == "between") return SimFaultPoint::betweenPieces();
  if (text == "any") return SimFaultPoint::any();
  const auto bitAfter = [&](const std::string& prefix) -> int {
    if (text.size() != prefix.size() + 2 || text.compare(0, prefix.size(), prefix) != 0) return 0;
    if (text[prefix.size()] != 'M' && text[prefix.size()] != 'm') return 0;
    const char d = text[prefix.size() + 1];
    return d >= '2' && d <= '6' ? d - '0' : 0;
  };
  if (const int b = bitAfter("ack:")) return SimFaultPoint::acknowledged(b);
  if (const int b = bitAfter("wait:")) return SimFaultPoint::waiting(b);
  return std::nullopt;
}

std::string describe(SimFaultPoint point) {
  switch (point.kind) {
    case SimFaultPoint::Kind::Acknowledged:
      return point.bit == 6 ? "between pieces" : "M" + std::to_string(point.bit) + " acknowledged";
    case SimFaultPoint::Kind::Waiting: return "M" + std::to_string(point.bit) + " waiting";
    case SimFaultPoint::Kind::Any: return "any point";
  }
  return {};
}

SimFaultPlan::SimFaultPlan(std::vector<PeerServer*> peers, quint64 seed, std::string host)
    : peers_(std::move(peers)), host_(std::move(host)), ports_(peers_.size(), 0), rng_(seed),
      report_([](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
      }) {}

SimFaultPlan::~SimFaultPlan() = default;

void SimFaultPlan::add(const SimFaultRule& rule) {
  if (rule.everyPieces < 1) throw Error(QStringLiteral("a fault rule needs every >= 1 pieces"));
  rules_.push_back(rule);
  armed_.emplace_back();  // takes effect from the next piece entered
}

bool SimFaultPlan::quiet() const { return !closedUntil_ && !silentUntil_ && !slowUntil_; }

void SimFaultPlan::afterStep(const SimMachine& machine, Clock::time_point now) {
  observe(machine.piecesFinished(), machine.waitingOn(), now);
}

void SimFaultPlan::observe(int piecesFinished, int waitingOn, Clock::time_point now) {
  endTimed(now);
  if (!started_) {
    started_ = true;
    piece_ = piecesFinished + 1;
    waiting_ = 0;
    enterPiece(piece_);
  }
  if (waitingOn == waiting_ && piecesFinished + 1 == piece_) return;
  // The bit that waited is gone: the machine saw its acknowledgement.
  if (waiting_ != 0 && waitingOn != waiting_) {
    const int acked = waiting_;
    waiting_ = 0;
    reached(SimFaultPoint::acknowledged(acked), piece_, now);
  }
  if (piecesFinished + 1 != piece_) {
    piece_ = piecesFinished + 1;
    enterPiece(piece_);
  }
  if (waitingOn != 0 && waitingOn != waiting_) {
    waiting_ = waitingOn;
    reached(SimFaultPoint::waiting(waitingOn), piece_, now);
  }
}

void SimFaultPlan::enterPiece(int piece) {
  for (std::size_t i = 0; i < rules_.size(); ++i) {
    const SimFaultRule& r = rules_[i];
    armed_[i].reset();
    if (piece % r.everyPieces != r.offset % r.everyPieces) continue;
    if (r.at.kind == SimFaultPoint::Kind::Any)
      armed_[i] = pointNumber(static_cast<int>(std::uniform_int_distribution<int>(0, kPoints - 1)(rng_)));
    else
      armed_[i] = r.at;
  }
}

void SimFaultPlan::reached(SimFaultPoint point, int piece, Clock::time_point now) {
  for (std::size_t i = 0; i < rules_.size(); ++i) {
    if (!armed_[i] || *armed_[i] != point) continue;
    armed_[i].reset();
    make(rules_[i], point, piece, now);
  }
}

void SimFaultPlan::make(const SimFaultRule& rule, SimFaultPoint point, int piece, Clock::time_point now) {
  SimFaultMade made{rule.kind, piece, point, {}};
  std::string what;
  switch (rule.kind) {
    case SimFaultKind::Drop:
      if (rule.duration.count() > 0 && !closedUntil_) {
        for (std::size_t i = 0; i < peers_.size(); ++i) {
          if (!peers_[i]->running()) continue;
          ports_[i] = peers_[i]->port();
          peers_[i]->stop();
        }
        closedUntil_ = now + rule.duration;
        what = "drop (connections closed, port closed for " + ms(rule.duration) + ")";
      } else {
        for (PeerServer* p : peers_) p->dropConnections();
        what = "drop (connections closed)";
      }
      break;
    case SimFaultKind::Silent:
      silenceAll(rule.duration);
      silentUntil_ = std::max(silentUntil_.value_or(now), now + rule.duration);
      what = "silent (connections accepted, no replies for " + ms(rule.duration) + ")";
      break;
    case SimFaultKind::Slow:
      for (PeerServer* p : peers_) p->setReplyDelay(rule.replyDelay);
      slowUntil_ = now + rule.duration;
      what = "slow (replies " + ms(rule.replyDelay) + " late for " + ms(rule.duration) + ")";
      break;
    case SimFaultKind::Garbage:
      made.garbage = garbageBytes();
      if (silentUntil_) garbageInSilence_.push_back(made.garbage);
      else
        for (PeerServer* p : peers_) p->injectFault(PeerFault::junk(made.garbage, false));
      what = "garbage (" + std::to_string(made.garbage.size()) + " bytes instead of a reply)";
      break;
  }
  made_.push_back(std::move(made));
  if (report_) report_("simulator: fault " + what + " at piece " + std::to_string(piece) + " (" + describe(point) + ")");
}

// Unanswered requests, one injected fault each: a client waits at least a millisecond
// (its response time-out) on a request it gets no reply to, so it cannot send more than
// one request per millisecond of silence on a connection.
void SimFaultPlan::silenceAll(std::chrono::milliseconds d) {
  const long long count = std::min<long long>(d.count() + 8, 1'000'000);
  for (PeerServer* p : peers_)
    for (long long i = 0; i < count; ++i) p->injectFault(PeerFault::junk({}, false));
}

void SimFaultPlan::endTimed(Clock::time_point now) {
  if (closedUntil_ && now >= *closedUntil_) {
    bool allOpen = true;
    for (std::size_t i = 0; i < peers_.size(); ++i) {
      if (peers_[i]->running() || ports_[i] == 0) continue;
      try {
        peers_[i]->start(ports_[i], host_);
      } catch (const Error&) {
        allOpen = false;  // the port is not free yet: tried again at the next step
      }
    }
    if (allOpen) {
      closedUntil_.reset();
      // A silence that outlasts the closed port holds on the new connections.
      if (silentUntil_ && now < *silentUntil_)
        silenceAll(std::chrono::duration_cast<std::chrono::milliseconds>(*silentUntil_ - now));
    }
  }
  if (silentUntil_ && now >= *silentUntil_) {
    silentUntil_.reset();
    for (PeerServer* p : peers_) {
      p->discardPendingFaults();
      for (const std::string& g : garbageInSilence_) p->injectFault(PeerFault::junk(g, false));
    }
    garbageInSilence_.clear();
  }
  if (slowUntil_ && now >= *slowUntil_) {
    slowUntil_.reset();
    for (PeerServer* p : peers_) p->setReplyDelay(std::chrono::milliseconds(0));
  }
}

std::string SimFaultPlan::garbageBytes() {
  const int n = std::uniform_int_distribution<int>(5, 12)(rng_);
  std::string bytes;
  std::uniform_int_distribution<int> byte(0, 255);
  while (static_cast<int>(bytes.size()) < n) {
    const int b = byte(rng_);
    if (b == 0x02 || b == 0x03) continue;  // the native protocol's frame marks
    bytes.push_back(static_cast<char>(b));
  }
  return bytes;
}

}  // namespace velta
