#pragma once
// Faults at random moments on a simulated PLC peer, from a thread of its own: dropped
// connections, replies later than any time-out, exception and error replies, garbage,
// dropped requests and the PLC going away and coming back on the same port. The seed
// makes the sequence of faults repeatable (their moments follow the real clock). A fault
// that no request met before the next one comes has passed, as a burst of noise does:
// faults piling up while the station waits out its reconnection delay would meet every
// attempt in turn and keep the link down for good, which no PLC does.
#include <atomic>
#include <chrono>
#include <random>
#include <thread>

#include "platform/error.h"
#include "platform/itemserver/wire/sim/peer_server.h"

namespace velta::test {

class WireFaultInjector {
 public:
  WireFaultInjector(PeerServer& peer, unsigned seed, int exceptionCode)
      : peer_(peer), thread_([this, seed, exceptionCode] { run(seed, exceptionCode); }) {}
  ~WireFaultInjector() { stop(); }
  void stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  int injected() const { return injected_; }

 private:
  void run(unsigned seed, int exceptionCode) {
    using namespace std::chrono_literals;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> pause(80, 300), kind(0, 5);
    while (!stop_) {
      std::this_thread::sleep_for(std::chrono::milliseconds(pause(rng)));
      if (stop_) break;
      peer_.discardPendingFaults();
      ++injected_;
      switch (kind(rng)) {
        case 0: peer_.dropConnections(); break;
        case 1: peer_.injectFault(PeerFault::delayed(250ms)); break;
        case 2: peer_.injectFault(PeerFault::exception(exceptionCode)); break;
        case 3: peer_.injectFault(PeerFault::junk("\x02zz\x03garbage", false)); break;
        case 4: peer_.injectFault(PeerFault::drop()); break;
        case 5: restart(); break;
      }
    }
  }
  void restart() {
    using namespace std::chrono_literals;
    const int port = peer_.port();
    peer_.stop();
    std::this_thread::sleep_for(20ms);
    while (!peer_.running()) {
      try {
        peer_.start(port);
      } catch (const Error&) {
        std::this_thread::sleep_for(5ms);
      }
    }
  }

  PeerServer& peer_;
  std::atomic<bool> stop_{false};
  std::atomic<int> injected_{0};
  std::thread thread_;
};

}  // namespace velta::test
