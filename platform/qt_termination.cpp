#include "platform/qt_termination.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace velta {

void QtTermination::requestTermination() {
  // Queued: the current handler runs to its end before the loop leaves.
  QMetaObject::invokeMethod(QCoreApplication::instance(), [] { QCoreApplication::exit(0); },
                            Qt::QueuedConnection);
}

}  // namespace velta
