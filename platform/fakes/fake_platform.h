#pragma once
// Small recording stand-ins for the shutdown service, the termination request and the
// clock, for tests.
#include <QDate>
#include <QTime>
#include <functional>

#include "platform/clock.h"
#include "platform/shutdown_service.h"
#include "platform/termination.h"

namespace velta {

class RecordingShutdown : public ShutdownService {
 public:
  int powerOffRequests = 0;
  std::function<void()> onRequest;  // e.g. to log the order of events
  void requestPowerOff() override {
    ++powerOffRequests;
    if (onRequest) onRequest();
  }
};

class RecordingTermination : public TerminationRequest {
 public:
  int requests = 0;
  std::function<void()> onRequest;
  void requestTermination() override {
    ++requests;
    if (onRequest) onRequest();
  }
};

// A clock that stands still at a set instant until moved. beforeDateRead runs before
// each date read, so a test can let midnight pass between the time read and the date
// read of one serial number.
class FakeClock : public Clock {
 public:
  FakeClock() = default;
  FakeClock(QDate d, QTime t) : date(d), time(t) {}
  QDate date{2026, 12, 9};
  QTime time{12, 0, 0};
  std::function<void(FakeClock&)> beforeDateRead;

  QDate currentDate() const override {
    if (beforeDateRead) beforeDateRead(const_cast<FakeClock&>(*this));
    return date;
  }
  QTime currentTime() const override { return time; }
  void set(QDate d, QTime t) { date = d; time = t; }
};

}  // namespace velta
