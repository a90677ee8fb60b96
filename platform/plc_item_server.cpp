#include "platform/plc_item_server.h"

namespace velta {

PlcItemServer& requireServer(const PlcServerRef& ref) {
  if (!ref) throw Error(QStringLiteral("Access violation: no PLC server object"));
  return *ref;
}

}  // namespace velta
