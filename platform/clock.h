#pragma once
// The PC's local wall clock. Date and time are separate reads, as the serial number
// reads them; tests set any instant. UI thread.
#include <QDate>
#include <QTime>

namespace velta {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDate currentDate() const = 0;
  virtual QTime currentTime() const = 0;
};

class SystemClock : public Clock {
 public:
  QDate currentDate() const override { return QDate::currentDate(); }
  QTime currentTime() const override { return QTime::currentTime(); }
};

}  // namespace velta
