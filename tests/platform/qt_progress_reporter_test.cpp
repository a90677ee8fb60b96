#include <QProgressDialog>
#include <QWidget>
#include <gtest/gtest.h>

#include "platform/qt_progress_reporter.h"

namespace velta {
namespace {

TEST(QtProgressReporter, ModalBoxWithTheCountUntilTheEnd) {
  QWidget window;
  window.show();
  QtProgressReporter progress(&window);
  progress.begin(QStringLiteral("Kayıtlar aktarılıyor (100000 kayıt)"), 100000);
  auto* box = window.findChild<QProgressDialog*>();
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->labelText(), QStringLiteral("Kayıtlar aktarılıyor (100000 kayıt)"));
  EXPECT_EQ(box->windowModality(), Qt::WindowModal);
  progress.advance(50000);
  EXPECT_EQ(box->value(), box->maximum() / 2);
  progress.end();
  EXPECT_EQ(window.findChild<QProgressDialog*>(), nullptr);
}

}  // namespace
}  // namespace velta
