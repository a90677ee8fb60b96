#include "platform/spreadsheet/spreadsheet_connection.h"

#include "platform/spreadsheet/spreadsheet_application.h"

namespace velta {

void SpreadsheetConnection::Connect() {
  if (!app_) app_ = registry_.createAs<SpreadsheetApplication>(kSpreadsheetProgId);
}

SpreadsheetApplication& SpreadsheetConnection::application() {
  Connect();
  return *app_;
}

}  // namespace velta
