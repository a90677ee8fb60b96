// Before the test program's QApplication exists: headless, on one large screen.
#include <QByteArray>
#include <QtGlobal>

namespace {
const bool kLargeScreen = [] {
  qputenv("QT_QPA_PLATFORM", QByteArray("offscreen:configfile=" VELTA_UI_SCREEN_CONFIG));
  return true;
}();
}  // namespace
