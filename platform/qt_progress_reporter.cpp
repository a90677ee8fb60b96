#include "platform/qt_progress_reporter.h"

#include <QProgressDialog>

namespace velta {

QtProgressReporter::QtProgressReporter(QWidget* parent) : parent_(parent) {}
QtProgressReporter::~QtProgressReporter() = default;

void QtProgressReporter::begin(const QString& label, qint64 total) {
  total_ = total;
  dialog_ = std::make_unique<QProgressDialog>(label, QString(), 0, 1000, parent_);
  dialog_->setWindowModality(Qt::WindowModal);
  dialog_->setCancelButton(nullptr);
  dialog_->setMinimumDuration(500);
  dialog_->setValue(0);
}

void QtProgressReporter::advance(qint64 done) {
  if (!dialog_) return;
  // Scaled to 0..1000 so that any record count fits the dialog's int range.
  dialog_->setValue(total_ > 0 ? static_cast<int>(done * 1000 / total_) : 1000);
}

void QtProgressReporter::end() { dialog_.reset(); }

}  // namespace velta
