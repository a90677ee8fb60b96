#pragma once
// Hands a written file to the desktop's program for its kind (the spreadsheet program
// for .xlsx). open() returns once the program has been started; it throws Error when
// no program can open the file. UI thread only.
#include <QString>

namespace velta {

class DesktopOpener {
 public:
  virtual ~DesktopOpener() = default;
  virtual void open(const QString& hostPath) = 0;
};

// The freedesktop way: asks xdg-mime for the program that opens the file's type and
// starts xdg-open detached. No program for the type, or no xdg-utils, is an error.
class XdgDesktopOpener : public DesktopOpener {
 public:
  void open(const QString& hostPath) override;
};

}  // namespace velta
