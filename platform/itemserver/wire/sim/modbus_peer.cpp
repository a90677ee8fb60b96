#include "platform/itemserver/wire/sim/modbus_peer.h"

#include <modbus/modbus.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <string>

namespace velta {

void ModbusPeer::serve(int fd) {
  modbus_t* ctx = modbus_new_tcp("127.0.0.1", port());
  if (!ctx) return;
  modbus_set_socket(ctx, fd);
  uint8_t query[MODBUS_TCP_MAX_ADU_LENGTH];
  while (!stopping()) {
    const int rc = modbus_receive(ctx, query);
    if (rc < 0) break;  // closed, or bytes that are no Modbus request
    if (rc == 0) continue;
    const int function = query[modbus_get_header_length(ctx)];
    const auto fault = beginRequest(function == 5 || function == 6 || function == 15 || function == 16);
    if (fault) {
      if (fault->kind == PeerFault::Kind::Drop) break;
      if (fault->kind == PeerFault::Kind::Exception) {
        modbus_reply_exception(ctx, query, static_cast<unsigned>(fault->code));
        continue;
      }
      if (fault->kind == PeerFault::Kind::Garbage) {
        if (!sendAll(fd, fault->garbage)) break;
        if (!fault->thenReply) continue;
      }
    }
    // A padded reply leaves as one segment, frame and junk together, as a PLC sends it.
    const std::string junk = trailingJunk();
    const int cork = junk.empty() ? 0 : 1;
    if (cork) ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &cork, sizeof cork);
    int sent = 0;
    memory_.withMapping([&](modbus_mapping_t* map) { sent = modbus_reply(ctx, query, rc, map); });
    if (sent < 0) break;
    if (cork) {
      if (!sendAll(fd, junk)) break;
      const int uncork = 0;
      ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &uncork, sizeof uncork);
    }
  }
  modbus_set_socket(ctx, -1);
  modbus_free(ctx);
}

}  // namespace velta
