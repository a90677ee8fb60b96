#include "platform/itemserver/wire/sim/native_peer.h"

#include <poll.h>
#include <unistd.h>

#include "platform/itemserver/wire/fatek_codec.h"

namespace velta {

namespace {
constexpr int kErrRange = 3;
constexpr int kErrCommand = 4;
constexpr char kHex[] = "0123456789ABCDEF";
}  // namespace

std::string NativePeer::answer(const std::string& requestFrame) {
  fatek::Frame req;
  try {
    req = fatek::decodeRequest(requestFrame);
  } catch (const fatek::FrameError&) {
    return {};
  }
  if (req.station != station_) return {};
  auto reply = [&](int err, const std::string& data = {}) {
    return fatek::encodeReply(station_, req.command, err, data);
  };
  try {
    switch (req.command) {
      case fatek::kMixedRead: {
        std::string data;
        for (const auto& e : fatek::decodeMixedReadRequest(req.data)) {
          if (e.area == PlcElement::Area::Bit) {
            if (!memory_.hasBit(e.number)) return reply(kErrRange);
            data += memory_.bit(e.number) ? '1' : '0';
          } else {
            if (!memory_.hasRegister(e.number)) return reply(kErrRange);
            const std::uint16_t v = memory_.reg(e.number);
            for (int shift = 12; shift >= 0; shift -= 4) data += kHex[(v >> shift) & 0xF];
          }
        }
        return reply(0, data);
      }
      case fatek::kDiscreteControl: {
        const auto [action, m] = fatek::decodeDiscreteControl(req.data);
        if (!memory_.hasBit(m)) return reply(kErrRange);
        memory_.setBit(m, action == fatek::DiscreteAction::Set);
        return reply(0);
      }
      case fatek::kWriteBits:
      case fatek::kWriteRegisters: {
        const auto w = fatek::decodeWriteRequest(req.command, req.data);
        const int last = w.first.number + static_cast<int>(w.values.size()) - 1;
        const bool bits = req.command == fatek::kWriteBits;
        if (bits ? !memory_.hasBit(last) : !memory_.hasRegister(last)) return reply(kErrRange);
        for (std::size_t i = 0; i < w.values.size(); ++i) {
          const int n = w.first.number + static_cast<int>(i);
          if (bits)
            memory_.setBit(n, w.values[i] != 0);
          else
            memory_.setReg(n, w.values[i]);
        }
        return reply(0);
      }
      default:
        return reply(kErrCommand);
    }
  } catch (const fatek::FrameError&) {
    return reply(kErrCommand);
  }
}

void NativePeer::serve(int fd) {
  fatek::FrameScanner scanner;
  char buf[256];
  while (!stopping()) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0) return;
    scanner.feed(std::string_view(buf, static_cast<std::size_t>(n)));
    for (;;) {
      std::optional<std::string> frame;
      try {
        frame = scanner.next();
      } catch (const fatek::FrameError&) {
        continue;  // an oversized run of bytes: dropped, go on scanning
      }
      if (!frame) break;
      bool isWrite = false;
      try {
        const int command = fatek::decodeRequest(*frame).command;
        isWrite = command == fatek::kDiscreteControl || command == fatek::kWriteBits || command == fatek::kWriteRegisters;
      } catch (const fatek::FrameError&) {
      }
      const auto fault = beginRequest(isWrite);
      std::string out;
      if (fault) {
        if (fault->kind == PeerFault::Kind::Drop) return;
        if (fault->kind == PeerFault::Kind::Exception) {
          try {
            const auto req = fatek::decodeRequest(*frame);
            out = fatek::encodeReply(req.station, req.command, fault->code, {});
          } catch (const fatek::FrameError&) {
          }
        } else if (fault->kind == PeerFault::Kind::Garbage) {
          out = fault->garbage;
          if (fault->thenReply) out += answer(*frame);
        }
      } else {
        out = answer(*frame) + trailingJunk();
      }
      if (!out.empty() && !sendAll(fd, out)) return;
    }
  }
}

}  // namespace velta
