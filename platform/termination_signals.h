#pragma once
// SIGTERM and SIGHUP (a service manager stopping the station, the user logging out)
// turned into a call on the UI thread, so the program can take the same clean way out as
// when its window is closed. The handler only writes a byte to a pipe; the call is made
// from the event loop. While an instance lives it owns the two signals; its destructor
// puts back the handlers that were there before. One instance at a time; UI thread.
#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace velta {

class TerminationSignals : public QObject {
  Q_OBJECT
 public:
  // onSignal(signalNumber) runs on the UI thread, once per signal received.
  explicit TerminationSignals(std::function<void(int)> onSignal);
  ~TerminationSignals() override;
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;

 private:
  std::function<void(int)> onSignal_;
  std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace velta
