#pragma once
// A Modbus TCP server over a PlcMemory, answering through libmodbus (modbus_reply on the
// memory's mapping): coils from the memory's coil base, holding registers from 0.
#include "platform/itemserver/wire/sim/peer_server.h"

namespace velta {

class ModbusPeer : public PeerServer {
 public:
  using PeerServer::PeerServer;
  ~ModbusPeer() override { stop(); }

 protected:
  void serve(int fd) override;
};

}  // namespace velta
