#include "platform/itemserver/wire/byte_transport.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/itemserver/wire/plc_link_error.h"

namespace velta {

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

speed_t baudConstant(int baud) {
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return 0;
  }
}

}  // namespace

ByteTransport::~ByteTransport() { close(); }

void ByteTransport::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void ByteTransport::drop() {
  if (fd_ >= 0) {
    const linger hard{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);  // fails harmlessly on a tty
  }
  close();
}

void ByteTransport::failed(const char* what, int err) {
  close();
  throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                     QStringLiteral("%1: %2: %3").arg(describe(), QLatin1String(what),
                                                      QString::fromLocal8Bit(std::strerror(err))));
}

void ByteTransport::write(std::string_view bytes, std::chrono::milliseconds timeout) {
  if (fd_ < 0) failed("write", ENOTCONN);
  const auto deadline = Clock::now() + timeout;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == ENOTSOCK) {  // serial line
      const ssize_t w = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (w > 0) {
        done += static_cast<std::size_t>(w);
        continue;
      }
      if (w < 0 && errno != EAGAIN && errno != EINTR) failed("write", errno);
    } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
      failed("write", errno);
    }
    pollfd p{fd_, POLLOUT, 0};
    if (::poll(&p, 1, remainingMs(deadline)) == 0)
      throw PlcLinkError(PlcLinkErrorKind::Timeout, QStringLiteral("%1: write time-out").arg(describe()));
  }
}

std::size_t ByteTransport::read(char* buffer, std::size_t max, std::chrono::milliseconds timeout) {
  if (fd_ < 0) failed("read", ENOTCONN);
  pollfd p{fd_, POLLIN, 0};
  const int r = ::poll(&p, 1, static_cast<int>(std::max<long long>(0, timeout.count())));
  if (r < 0) {
    if (errno == EINTR) return 0;
    failed("read", errno);
  }
  if (r == 0) return 0;
  const ssize_t n = ::read(fd_, buffer, max);
  if (n > 0) return static_cast<std::size_t>(n);
  if (n == 0) failed("read", ECONNRESET);  // peer closed
  if (errno == EAGAIN || errno == EINTR) return 0;
  failed("read", errno);
}

void ByteTransport::discardInput() {
  if (fd_ < 0) return;
  char buf[512];
  for (;;) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) return;
    const ssize_t n = ::read(fd_, buf, sizeof buf);
    if (n == 0) failed("read", ECONNRESET);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) return;
      failed("read", errno);
    }
  }
}

QString TcpTransport::describe() const {
  return QStringLiteral("%1:%2").arg(QString::fromStdString(host_)).arg(port_);
}

void TcpTransport::open(std::chrono::milliseconds timeout) {
  close();
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const std::string service = std::to_string(port_);
  if (const int rc = ::getaddrinfo(host_.c_str(), service.c_str(), &hints, &list); rc != 0)
    throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                       QStringLiteral("%1: %2").arg(describe(), QString::fromLocal8Bit(gai_strerror(rc))));
  const auto deadline = Clock::now() + timeout;
  int lastErr = ECONNREFUSED;
  for (addrinfo* a = list; a && fd_ < 0; a = a->ai_next) {
    const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) {
      lastErr = errno;
      continue;
    }
    int rc = ::connect(s, a->ai_addr, a->ai_addrlen);
    if (rc < 0 && errno == EINPROGRESS) {
      pollfd p{s, POLLOUT, 0};
      rc = ::poll(&p, 1, remainingMs(deadline));
      if (rc == 0) {
        lastErr = ETIMEDOUT;
        rc = -1;
      } else if (rc > 0) {
        int err = 0;
        socklen_t len = sizeof err;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &err, &len);
        if (err != 0) {
          lastErr = err;
          rc = -1;
        } else {
          rc = 0;
        }
      } else {
        lastErr = errno;
      }
    } else if (rc < 0) {
      lastErr = errno;
    }
    if (rc == 0) {
      int one = 1;
      ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
      fd_ = s;
    } else {
      ::close(s);
    }
  }
  ::freeaddrinfo(list);
  if (fd_ < 0) failed("connect", lastErr);
}

QString SerialTransport::describe() const {
  return QStringLiteral("%1 %2 %3%4%5")
      .arg(QString::fromStdString(settings_.device)).arg(settings_.baud).arg(settings_.dataBits)
      .arg(QChar(settings_.parity)).arg(settings_.stopBits);
}

void SerialTransport::open(std::chrono::milliseconds) {
  close();
  const speed_t speed = baudConstant(settings_.baud);
  if (speed == 0 || settings_.dataBits < 5 || settings_.dataBits > 8 ||
      (settings_.stopBits != 1 && settings_.stopBits != 2) ||
      (settings_.parity != 'N' && settings_.parity != 'E' && settings_.parity != 'O'))
    throw PlcLinkError(PlcLinkErrorKind::ConnectionLost,
                       QStringLiteral("%1: geçersiz seri hat ayarları").arg(describe()));
  const int fd = ::open(settings_.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) failed("open", errno);
  fd_ = fd;
  termios t{};
  if (::tcgetattr(fd_, &t) != 0) failed("tcgetattr", errno);
  ::cfmakeraw(&t);
  ::cfsetispeed(&t, speed);
  ::cfsetospeed(&t, speed);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  static constexpr tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  t.c_cflag |= sizes[settings_.dataBits - 5] | CLOCAL | CREAD;
  if (settings_.parity != 'N') t.c_cflag |= PARENB;
  if (settings_.parity == 'O') t.c_cflag |= PARODD;
  if (settings_.stopBits == 2) t.c_cflag |= CSTOPB;
  t.c_cc[VMIN] = 0;
  t.c_cc[VTIME] = 0;
  if (::tcsetattr(fd_, TCSANOW, &t) != 0) failed("tcsetattr", errno);
  ::tcflush(fd_, TCIOFLUSH);
}

void SerialTransport::discardInput() {
  if (fd_ >= 0) ::tcflush(fd_, TCIFLUSH);
  ByteTransport::discardInput();
}

}  // namespace velta
