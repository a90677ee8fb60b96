#pragma once
// Failures of a PLC link. Every link operation raises PlcLinkError; its kind tells the
// refresh thread what happened: ConnectionLost and Timeout mean the link is down or
// suspect (show Update 0, try again later), ExceptionReply means the PLC answered but
// refused the request (the link stays up), Protocol means the bytes on the wire made no
// sense (the link has resynchronised or will reopen on the next call).
#include "platform/error.h"

namespace velta {

enum class PlcLinkErrorKind { ConnectionLost, Timeout, ExceptionReply, Protocol };

class PlcLinkError : public Error {
 public:
  PlcLinkError(PlcLinkErrorKind kind, const QString& text, int code = 0)
      : Error(text), kind_(kind), code_(code) {}
  PlcLinkErrorKind kind() const noexcept { return kind_; }
  // Modbus exception code or the native protocol's error digit; 0 otherwise.
  int code() const noexcept { return code_; }
  // True when the caller should treat the link as down (no answer from the PLC).
  bool linkDown() const noexcept {
    return kind_ == PlcLinkErrorKind::ConnectionLost || kind_ == PlcLinkErrorKind::Timeout;
  }

 private:
  PlcLinkErrorKind kind_;
  int code_;
};

const char* plcLinkErrorKindName(PlcLinkErrorKind kind);

}  // namespace velta
