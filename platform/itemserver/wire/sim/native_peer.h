#pragma once
// A server of the PLC's native protocol over a PlcMemory (commands 42, 45, 47, 48).
// Frames for another station and frames it cannot read are ignored, as a PLC on a
// shared line does; requests for elements it does not have get error digit 3 and
// unknown commands error digit 4.
#include "platform/itemserver/wire/sim/peer_server.h"

namespace velta {

class NativePeer : public PeerServer {
 public:
  NativePeer(PlcMemory& memory, int station) : PeerServer(memory), station_(station) {}
  ~NativePeer() override { stop(); }

  // The reply frame for one request frame, or empty when it is to be ignored.
  std::string answer(const std::string& requestFrame);

 protected:
  void serve(int fd) override;

 private:
  int station_;
};

}  // namespace velta
