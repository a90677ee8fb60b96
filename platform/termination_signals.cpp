#include "platform/termination_signals.h"

#include <QSocketNotifier>
#include <csignal>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace velta {

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
int pipeFds[2] = {-1, -1};
struct sigaction previous[2];

extern "C" void onTerminationSignal(int signalNumber) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(signalNumber);
  // Async-signal-safe; a full pipe drops the byte (one is enough to end the program).
  [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], &byte, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> onSignal) : onSignal_(std::move(onSignal)) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, pipeFds) != 0) return;
  notifier_ = std::make_unique<QSocketNotifier>(pipeFds[0], QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    unsigned char byte = 0;
    while (::read(pipeFds[0], &byte, 1) == 1)
      if (onSignal_) onSignal_(byte);
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  notifier_.reset();
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
  pipeFds[0] = pipeFds[1] = -1;
}

}  // namespace velta
