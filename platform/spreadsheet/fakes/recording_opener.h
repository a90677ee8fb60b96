#pragma once
// DesktopOpener for tests: records the files it was asked to open; fails with
// failWith's text when that is set.
#include <QString>
#include <QStringList>

#include "platform/error.h"
#include "platform/spreadsheet/desktop_opener.h"

namespace velta {

class RecordingOpener : public DesktopOpener {
 public:
  QStringList opened;
  QString failWith;
  void open(const QString& hostPath) override {
    opened << hostPath;
    if (!failWith.isEmpty()) throw Error(failWith);
  }
};

}  // namespace velta
