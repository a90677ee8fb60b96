#include "platform/itemserver/wire/plc_link_error.h"

namespace velta {

const char* plcLinkErrorKindName(PlcLinkErrorKind kind) {
  switch (kind) {
    case PlcLinkErrorKind::ConnectionLost: return "connection lost";
    case PlcLinkErrorKind::Timeout: return "time-out";
    case PlcLinkErrorKind::ExceptionReply: return "exception reply";
    case PlcLinkErrorKind::Protocol: return "protocol error";
  }
  return "?";
}

}  // namespace velta
