#pragma once
// The main window's one connection to the spreadsheet application (ExcelApplication1):
// made once through the registry ("Excel.Application"; the stand-in has no running
// instance to attach to, so it always starts one) and kept for the life of the
// window. Dropping it lets the application go without asking it to quit; workbooks
// already handed over stay with the operator. UI thread only.
#include <memory>

#include "platform/object_registry.h"
#include "platform/spreadsheet/spreadsheet.h"

namespace velta {

class SpreadsheetConnection {
 public:
  explicit SpreadsheetConnection(const ObjectRegistry& registry) : registry_(registry) {}

  // Connects unless connected; throws Error when the application cannot be created.
  void Connect();
  bool connected() const { return app_ != nullptr; }
  // The connected application; connects first when that has not happened yet.
  SpreadsheetApplication& application();
  void Disconnect() { app_.reset(); }

 private:
  const ObjectRegistry& registry_;
  std::shared_ptr<SpreadsheetApplication> app_;
};

}  // namespace velta
