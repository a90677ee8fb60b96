// Fuzz target: everything of ours that reads the PLC's native protocol off the wire.
//   - FrameScanner against a plain whole-stream model of "STX ... ETX, at most kMaxFrame
//     bytes, a new STX restarts", fed in arbitrary chunks (the result may not depend on
//     how the bytes arrived);
//   - every frame cut out goes through the request and the reply decoders; what they
//     accept must encode back to exactly the same bytes (the protocol has one spelling);
//   - what our encoders write, our decoders read back to the same elements and values;
//   - NativeLink reading the fuzzed bytes as the PLC's answer over a socket pair;
//   - PlcElement::parse on item texts.
// A finding is a crash, a sanitizer report, an exception other than the link's own
// errors, or a broken property (fuzz::broken).
#include <sys/socket.h>
#include <unistd.h>

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/itemserver/wire/fatek_codec.h"
#include "platform/itemserver/wire/native_link.h"
#include "tests/fuzz/fuzz_input.h"

namespace velta {
namespace {

using fuzz::broken;
namespace ft = fatek;

struct Scanned {
  std::vector<std::string> frames;
  int oversized = 0;
};

// The scanner's contract, written over the whole stream at once.
Scanned modelScan(std::string_view s) {
  Scanned out;
  std::size_t start = std::string_view::npos;  // position of the STX being held
  for (std::size_t k = 0; k < s.size(); ++k) {
    const char c = s[k];
    if (start == std::string_view::npos) {
      if (c == ft::kStx) start = k;
      continue;
    }
    if (c == ft::kStx) { start = k; continue; }
    if (c == ft::kEtx) {
      out.frames.emplace_back(s.substr(start, k - start + 1));
      start = std::string_view::npos;
      continue;
    }
    if (k - start + 1 >= ft::kMaxFrame) {
      ++out.oversized;
      start = std::string_view::npos;
    }
  }
  return out;
}

Scanned scanInChunks(std::string_view s, std::uint8_t chunkSeed) {
  Scanned out;
  ft::FrameScanner scanner;
  std::uint32_t lcg = chunkSeed | 1u;
  std::size_t pos = 0;
  while (pos < s.size()) {
    lcg = lcg * 1103515245u + 12345u;
    const std::size_t n = std::min<std::size_t>(s.size() - pos, 1 + (lcg >> 16) % 700);
    scanner.feed(s.substr(pos, n));
    pos += n;
    for (;;) {
      try {
        auto frame = scanner.next();
        if (!frame) break;
        if (frame->size() > ft::kMaxFrame) broken("scanner gave a frame over kMaxFrame");
        out.frames.push_back(std::move(*frame));
      } catch (const ft::FrameError& e) {
        if (e.fault() != ft::FrameFault::Oversized) broken("scanner raised other than Oversized");
        ++out.oversized;
      }
    }
  }
  return out;
}

std::string dataFor(const std::vector<PlcElement>& elements, const std::vector<std::uint16_t>& values) {
  static const char hex[] = "0123456789ABCDEF";
  std::string d;
  for (std::size_t i = 0; i < elements.size(); ++i) {
    if (elements[i].area == PlcElement::Area::Bit) {
      d += values[i] ? '1' : '0';
    } else {
      for (int shift = 12; shift >= 0; shift -= 4) d += hex[(values[i] >> shift) & 0xF];
    }
  }
  return d;
}

// Frames that decode must be the one spelling our encoders give.
void decodeFrame(const std::string& frame, const std::vector<PlcElement>& elements) {
  ft::Frame request;
  try {
    request = ft::decodeRequest(frame);
  } catch (const ft::FrameError&) {
    return;
  }
  try {
    if (request.command == ft::kMixedRead) {
      const auto asked = ft::decodeMixedReadRequest(request.data);
      if (ft::encodeMixedRead(request.station, asked) != frame) broken("mixed read request round trip");
    } else if (request.command == ft::kWriteBits || request.command == ft::kWriteRegisters) {
      const auto w = ft::decodeWriteRequest(request.command, request.data);
      std::string again;
      if (request.command == ft::kWriteBits)
        again = ft::encodeWriteBits(request.station, w.first.number,
                                    std::vector<bool>(w.values.begin(), w.values.end()));
      else
        again = ft::encodeWriteRegisters(request.station, w.first.number, w.values);
      if (again != frame) broken("write request round trip");
    } else if (request.command == ft::kDiscreteControl) {
      const auto [action, m] = ft::decodeDiscreteControl(request.data);
      if (ft::encodeDiscreteControl(request.station, action, m) != frame) broken("discrete control round trip");
    }
  } catch (const ft::FrameError&) {
  }
  try {
    const ft::Frame reply = ft::decodeReply(frame, request.station, request.command);
    if (ft::encodeReply(reply.station, reply.command, reply.error, reply.data) != frame)
      broken("reply round trip");
    const auto values = ft::decodeMixedReadData(reply.data, elements);
    if (values.size() != elements.size()) broken("mixed read data: wrong count");
    if (dataFor(elements, values) != reply.data) broken("mixed read data round trip");
  } catch (const ft::FrameError& e) {
    if (e.fault() == ft::FrameFault::ErrorReply && (e.code() < 1 || e.code() > 15))
      broken("error reply without its digit");
  }
}

// What we write, we read back.
void encodeDecode(int station, const std::vector<PlcElement>& elements,
                  const std::vector<std::uint16_t>& raw) {
  std::vector<std::uint16_t> values;
  for (std::size_t i = 0; i < elements.size(); ++i)
    values.push_back(elements[i].area == PlcElement::Area::Bit ? raw[i] & 1 : raw[i]);
  if (!elements.empty()) {
    const ft::Frame req = ft::decodeRequest(ft::encodeMixedRead(station, elements));
    if (req.station != station || req.command != ft::kMixedRead) broken("mixed read header");
    if (ft::decodeMixedReadRequest(req.data) != elements) broken("mixed read elements");
  }
  const ft::Frame rep = ft::decodeReply(ft::encodeReply(station, ft::kMixedRead, 0, dataFor(elements, values)),
                                        station, ft::kMixedRead);
  if (ft::decodeMixedReadData(rep.data, elements) != values) broken("mixed read values");

  std::vector<PlcElement> regs, bits;
  for (const auto& e : elements) (e.area == PlcElement::Area::Bit ? bits : regs).push_back(e);
  if (!regs.empty()) {
    const auto w = ft::decodeWriteRequest(
        ft::kWriteRegisters,
        ft::decodeRequest(ft::encodeWriteRegisters(station, regs[0].number, values)).data);
    if (w.first != PlcElement::reg(regs[0].number) || w.values != values) broken("register write");
  }
  if (!bits.empty()) {
    const std::vector<bool> b(values.begin(), values.end());
    const auto w = ft::decodeWriteRequest(
        ft::kWriteBits, ft::decodeRequest(ft::encodeWriteBits(station, bits[0].number, b)).data);
    std::vector<std::uint16_t> back(b.begin(), b.end());
    if (w.first != PlcElement::bit(bits[0].number) || w.values != back) broken("bit write");
    const auto action = values[0] & 1 ? ft::DiscreteAction::Set : ft::DiscreteAction::Reset;
    const auto [a, m] = ft::decodeDiscreteControl(
        ft::decodeRequest(ft::encodeDiscreteControl(station, action, bits[0].number)).data);
    if (a != action || m != bits[0].number) broken("discrete control");
  }
}

// The PLC's side is a socket pair holding the fuzzed answer; the request goes into the
// pair's buffer and stays there. Input is never thrown away before a request: the
// answer is already "on the wire" when the link asks.
class ScriptedTransport : public ByteTransport {
 public:
  explicit ScriptedTransport(std::string_view answer) : answer_(answer) {}
  ~ScriptedTransport() override {
    if (peer_ >= 0) ::close(peer_);
  }
  void open(std::chrono::milliseconds) override {
    close();
    if (peer_ >= 0) ::close(peer_);
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) failed("socketpair", errno);
    fd_ = fds[0];
    peer_ = fds[1];
    const int size = 1 << 20;
    ::setsockopt(peer_, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    std::size_t sent = 0;
    while (sent < answer_.size()) {
      const ssize_t n = ::write(peer_, answer_.data() + sent, answer_.size() - sent);
      if (n <= 0) break;
      sent += static_cast<std::size_t>(n);
    }
    ::shutdown(peer_, SHUT_WR);  // the answer ends: a read past it sees the peer gone
    answer_ = {};                // a reopened link finds the PLC silent
  }
  void discardInput() override {}
  bool reopenAfterTimeout() const override { return false; }
  QString describe() const override { return QStringLiteral("scripted"); }

 private:
  std::string_view answer_;
  int peer_ = -1;
};

void readThroughLink(int station, const std::vector<PlcElement>& elements, std::string_view answer,
                     std::uint8_t how) {
  NativeSettings s;
  s.station = station;
  s.responseTimeout = std::chrono::milliseconds(0);
  s.maxMixedElements = 1 + how % ft::kMaxMixedElements;
  NativeLink link(std::make_unique<ScriptedTransport>(answer), s);
  try {
    link.connect();
    if (elements.empty() || how & 0x80) {
      link.writeBit(how & 0x3F, how & 0x40);
      return;
    }
    const auto values = link.readMixed(elements);
    if (values.size() != elements.size()) broken("link: wrong number of values");
    for (std::size_t i = 0; i < values.size(); ++i)
      if (elements[i].area == PlcElement::Area::Bit && values[i] > 1) broken("link: bit not 0/1");
  } catch (const PlcLinkError&) {
  }
}

}  // namespace
}  // namespace velta

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace velta;
  fuzz::FuzzInput in(data, size);
  const int station = static_cast<int>(in.inRange(1, 254));
  const int count = static_cast<int>(in.inRange(0, fatek::kMaxMixedElements));
  std::vector<PlcElement> elements;
  std::vector<std::uint16_t> raw;
  for (int i = 0; i < count; ++i) {
    const bool bit = in.flag();
    const int n = static_cast<int>(in.inRange(0, bit ? 9999 : 65535));
    elements.push_back(bit ? PlcElement::bit(n) : PlcElement::reg(n));
    raw.push_back(in.bits16());
  }
  const std::uint8_t chunkSeed = in.byte();
  const std::uint8_t how = in.byte();
  const std::string_view stream = in.rest();

  const Scanned model = modelScan(stream);
  const Scanned got = scanInChunks(stream, chunkSeed);
  if (got.frames != model.frames || got.oversized != model.oversized)
    broken("scanner differs from the model",
           QStringLiteral("%1/%2 frames, %3/%4 oversized")
               .arg(got.frames.size()).arg(model.frames.size()).arg(got.oversized).arg(model.oversized));
  for (const auto& f : got.frames) decodeFrame(f, elements);

  try {
    encodeDecode(station, elements, raw);
  } catch (const PlcLinkError& e) {
    broken("our own frames do not decode", e.text());
  }
  readThroughLink(station, elements, stream, how);

  const QString item = QString::fromUtf8(stream.substr(0, 12).data(),
                                         static_cast<qsizetype>(std::min<std::size_t>(stream.size(), 12)));
  try {
    const PlcElement e = PlcElement::parse(item);
    if (PlcElement::parse(e.name()) != e) broken("element name round trip", item);
  } catch (const Error& e) {
    if (!e.text().contains(item)) broken("element error does not name the text", e.text());
  }
  return 0;
}
