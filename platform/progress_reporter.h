#pragma once
// Shows the operator how far a long operation has got (a modal progress box in the
// program). begin() before the first step, advance() with the steps done so far,
// end() on every way out. Inside advance() the event loop may run (timer ticks).
// UI thread only.
#include <QString>

namespace velta {

class ProgressReporter {
 public:
  virtual ~ProgressReporter() = default;
  virtual void begin(const QString& label, qint64 total) = 0;
  virtual void advance(qint64 done) = 0;
  virtual void end() = 0;
};

// For callers that have no box to show.
class SilentProgress : public ProgressReporter {
 public:
  void begin(const QString&, qint64) override {}
  void advance(qint64) override {}
  void end() override {}
};

}  // namespace velta
