#pragma once
// ProgressReporter for tests: records every call as a line ("begin <label> <total>",
// "advance <done>", "end").
#include <QStringList>

#include "platform/progress_reporter.h"

namespace velta {

class RecordingProgress : public ProgressReporter {
 public:
  QStringList calls;
  void begin(const QString& label, qint64 total) override {
    calls << QStringLiteral("begin %1 %2").arg(label).arg(total);
  }
  void advance(qint64 done) override { calls << QStringLiteral("advance %1").arg(done); }
  void end() override { calls << QStringLiteral("end"); }
};

}  // namespace velta
