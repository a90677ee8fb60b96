#pragma once
// The application's termination request: the program leaves its event loop once
// control returns there, then cleans up as after a normal close. UI thread.
namespace velta {

class TerminationRequest {
 public:
  virtual ~TerminationRequest() = default;
  virtual void requestTermination() = 0;
};

}  // namespace velta
