#include "platform/itemserver/wire/sim/peer_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/error.h"

namespace velta {

PeerServer::~PeerServer() { stop(); }

void PeerServer::start(int port, const std::string& host) {
  stop();
  stopping_ = false;
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw Error(QStringLiteral("socket: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
  int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<uint16_t>(port));
  if (::inet_pton(AF_INET, host.c_str(), &a.sin_addr) != 1 ||
      ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0) {
    const int err = errno;
    ::close(fd);
    throw Error(QStringLiteral("%1:%2 dinlenemiyor: %3")
                    .arg(QString::fromStdString(host)).arg(port).arg(QString::fromLocal8Bit(std::strerror(err))));
  }
  socklen_t len = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  listenFd_ = fd;
  acceptThread_ = std::thread([this] { acceptLoop(); });
}

void PeerServer::stop() {
  if (listenFd_ < 0) return;
  stopping_ = true;
  wake_.notify_all();
  if (acceptThread_.joinable()) acceptThread_.join();
  ::close(listenFd_);
  listenFd_ = -1;
  dropConnections();
  reap(true);
  std::lock_guard lock(mutex_);
  faults_.clear();
}

void PeerServer::dropConnections() {
  std::lock_guard lock(mutex_);
  for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  wake_.notify_all();
}

void PeerServer::injectFault(PeerFault fault) {
  std::lock_guard lock(mutex_);
  faults_.push_back(std::move(fault));
}

void PeerServer::discardPendingFaults() {
  std::lock_guard lock(mutex_);
  faults_.clear();
}

void PeerServer::reap(bool all) {
  std::list<Connection> finished;
  {
    std::lock_guard lock(mutex_);
    for (auto it = conns_.begin(); it != conns_.end();) {
      auto next = std::next(it);
      if (all || it->done) finished.splice(finished.end(), conns_, it);
      it = next;
    }
  }
  for (auto& c : finished) c.thread.join();
}

void PeerServer::acceptLoop() {
  while (!stopping_) {
    reap(false);
    pollfd p{listenFd_, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    std::lock_guard lock(mutex_);
    openFds_.insert(fd);
    conns_.emplace_back();
    Connection& c = conns_.back();
    c.thread = std::thread([this, fd, &c] {
      serve(fd);
      {
        std::lock_guard inner(mutex_);
        openFds_.erase(fd);
        ::close(fd);
      }
      c.done = true;
    });
  }
}

void PeerServer::sleepUnlessStopped(std::chrono::milliseconds d) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, d, [this] { return stopping_.load(); });
}

std::optional<PeerFault> PeerServer::beginRequest(bool isWrite) {
  ++requests_;
  std::optional<PeerFault> fault;
  {
    std::lock_guard lock(mutex_);
    if (isWrite && refuseWritesCode_ != 0) {
      fault = PeerFault::exception(refuseWritesCode_);
    } else if (!faults_.empty()) {
      fault = std::move(faults_.front());
      faults_.pop_front();
    }
  }
  const auto always = std::chrono::milliseconds(replyDelayMs_.load());
  if (always.count() > 0) sleepUnlessStopped(always);
  if (fault && fault->kind == PeerFault::Kind::Delay) {
    sleepUnlessStopped(fault->delay);
    fault.reset();
  }
  return fault;
}

bool PeerServer::sendAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n <= 0) {
      if (n < 0 && errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace velta
