#pragma once
// A Modbus TCP client on a plain socket for tests of simulated peers, so every byte the
// peer sends is seen as sent: a reply, nothing within a wait, a closed connection, or
// bytes that are no reply to the request. One thread.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>

namespace velta::test {

class RawModbus {
 public:
  enum class Got { Reply, Nothing, Closed, Junk };
  struct Answer {
    Got got;
    std::string bytes;
  };
  ~RawModbus() { close(); }
  bool connect(int port) {
    close();
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return true;
    close();
    return false;
  }
  bool connected() const { return fd_ >= 0; }
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // One request (function code and data) and what came back within wait.
  Answer exchange(const std::string& pdu, std::chrono::milliseconds wait = std::chrono::milliseconds(2000)) {
    const int tid = ++tid_ & 0xFFFF;
    std::string frame{char(tid >> 8), char(tid & 0xFF), 0, 0, char((pdu.size() + 1) >> 8),
                      char((pdu.size() + 1) & 0xFF), 1};
    frame += pdu;
    if (::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
      return {Got::Closed, {}};
    std::string in;
    const auto until = std::chrono::steady_clock::now() + wait;
    for (;;) {
      if (in.size() >= 6 && in.size() == 6 + ((std::size_t(std::uint8_t(in[4])) << 8) | std::uint8_t(in[5]))) break;
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
      pollfd p{fd_, POLLIN, 0};
      if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
        return {in.empty() ? Got::Nothing : Got::Junk, in};
      char buf[256];
      const ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
      if (n <= 0) return {in.empty() ? Got::Closed : Got::Junk, in};
      in.append(buf, static_cast<std::size_t>(n));
    }
    const bool ours = std::uint8_t(in[0]) == (tid >> 8) && std::uint8_t(in[1]) == (tid & 0xFF) && in[2] == 0 &&
                      in[3] == 0 && in.size() > 7 && in[7] == pdu[0];
    return {ours ? Got::Reply : Got::Junk, in};
  }
  static std::string readHandshakeBits() { return {1, char(2002 >> 8), char(2002 & 0xFF), 0, 5}; }
  static std::string acknowledge(int m) {
    const int coil = 2000 + m;
    return {5, char(coil >> 8), char(coil & 0xFF), 0, 0};
  }

 private:
  int fd_ = -1;
  int tid_ = 0;
};

}  // namespace velta::test
