#pragma once
// A loopback TCP server for a simulated PLC, one thread per connection, with faults
// that a test (or the simulator tool) can inject: delay the next reply, drop the
// connection, answer with an exception/error reply, send garbage. Subclasses speak the
// protocol. Every public method may be called from any thread.
#include <atomic>
#include <chrono>
#include <deque>
#include <list>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <condition_variable>

#include "platform/itemserver/wire/sim/plc_memory.h"

namespace velta {

struct PeerFault {
  enum class Kind { Delay, Drop, Exception, Garbage };
  Kind kind = Kind::Delay;
  std::chrono::milliseconds delay{0};  // Delay: the reply comes this late
  int code = 2;                        // Exception: Modbus exception code / native error digit
  std::string garbage;                 // Garbage: bytes sent in place of (or before) the reply
  bool thenReply = false;              // Garbage: send the real reply after the garbage

  static PeerFault delayed(std::chrono::milliseconds d) { return {Kind::Delay, d, 0, {}, false}; }
  static PeerFault drop() { return {Kind::Drop, {}, 0, {}, false}; }
  static PeerFault exception(int c) { return {Kind::Exception, {}, c, {}, false}; }
  static PeerFault junk(std::string bytes, bool thenReply) {
    return {Kind::Garbage, {}, 0, std::move(bytes), thenReply};
  }
};

class PeerServer {
 public:
  explicit PeerServer(PlcMemory& memory) : memory_(memory) {}
  virtual ~PeerServer();
  PeerServer(const PeerServer&) = delete;
  PeerServer& operator=(const PeerServer&) = delete;

  // Listens on host:port (port 0: any free port); raises velta::Error when it cannot.
  void start(int port = 0, const std::string& host = "127.0.0.1");
  // Closes the listener and every connection and waits for their threads.
  void stop();
  bool running() const { return listenFd_ >= 0; }
  int port() const { return port_; }

  // Closes every open connection (the listener stays).
  void dropConnections();
  // Faults for the next requests, one request each, in order.
  void injectFault(PeerFault fault);
  // Forgets the injected faults that no request has met yet.
  void discardPendingFaults();
  // A delay before every reply from now on (0: none).
  void setReplyDelay(std::chrono::milliseconds d) { replyDelayMs_ = static_cast<int>(d.count()); }
  // From now on every write request is refused with this exception code / error digit,
  // while reads are answered (0: writes are made again).
  void refuseWrites(int code) { refuseWritesCode_ = code; }
  // Bytes sent after every reply from now on (empty: none), as a peer that pads frames.
  void setTrailingJunk(std::string bytes) {
    std::lock_guard lock(mutex_);
    trailingJunk_ = std::move(bytes);
  }

  int requestCount() const { return requests_; }  // requests received since start
  int connectionCount() const { return connections_; }

 protected:
  // Serves one connection until it closes; fd is closed by the caller.
  virtual void serve(int fd) = 0;
  // Called by serve() for each request received: counts it, waits out delays and
  // returns the fault to apply to it, if any (Delay faults are already waited out).
  std::optional<PeerFault> beginRequest(bool isWrite = false);
  std::string trailingJunk() const {
    std::lock_guard lock(mutex_);
    return trailingJunk_;
  }
  // Sends all of bytes; false when the connection is gone.
  static bool sendAll(int fd, const std::string& bytes);
  bool stopping() const { return stopping_; }

  PlcMemory& memory_;

 private:
  struct Connection {
    std::thread thread;
    std::atomic<bool> done{false};
  };
  void acceptLoop();
  void sleepUnlessStopped(std::chrono::milliseconds d);
  void reap(bool all);

  int listenFd_ = -1;
  int port_ = 0;
  std::thread acceptThread_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> requests_{0};
  std::atomic<int> connections_{0};
  std::atomic<int> replyDelayMs_{0};
  std::atomic<int> refuseWritesCode_{0};
  std::string trailingJunk_;  // guarded by mutex_

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<PeerFault> faults_;
  std::set<int> openFds_;
  std::list<Connection> conns_;
};

}  // namespace velta
