#pragma once
// ProgressReporter as a window-modal QProgressDialog without a cancel button; it
// shows itself only when the operation lasts longer than a moment.
#include <QPointer>
#include <QWidget>
#include <memory>

#include "platform/progress_reporter.h"

class QProgressDialog;

namespace velta {

class QtProgressReporter : public ProgressReporter {
 public:
  explicit QtProgressReporter(QWidget* parent = nullptr);
  ~QtProgressReporter() override;
  void setParent(QWidget* parent) { parent_ = parent; }

  void begin(const QString& label, qint64 total) override;
  void advance(qint64 done) override;
  void end() override;

 private:
  QPointer<QWidget> parent_;
  std::unique_ptr<QProgressDialog> dialog_;
  qint64 total_ = 0;
};

}  // namespace velta
