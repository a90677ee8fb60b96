#pragma once
// Posts the quit request to the event loop, as closing the window would.
#include "platform/termination.h"

namespace velta {

class QtTermination : public TerminationRequest {
 public:
  void requestTermination() override;
};

}  // namespace velta
