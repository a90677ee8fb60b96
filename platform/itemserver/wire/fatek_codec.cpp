#include "platform/itemserver/wire/fatek_codec.h"

#include <cstdio>

namespace velta::fatek {

namespace {

constexpr std::size_t kMinRequest = 1 + 2 + 2 + 2 + 1;  // STX station cmd sum ETX
constexpr std::size_t kMinReply = kMinRequest + 1;      // + error digit
constexpr char kHex[] = "0123456789ABCDEF";

[[noreturn]] void raise(FrameFault fault, const QString& detail, int code = 0) {
  throw FrameError(fault, QStringLiteral("PLC çerçevesi: %1 (%2)")
                              .arg(QLatin1String(frameFaultName(fault)), detail), code);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Upper-case hex digits only: the checksum and the numbers of this protocol.
int parseHex(std::string_view s, FrameFault fault, const char* what) {
  int v = 0;
  for (char c : s) {
    const int d = hexValue(c);
    if (d < 0) raise(fault, QStringLiteral("%1 is not hex").arg(QLatin1String(what)));
    v = v * 16 + d;
  }
  return v;
}

int parseDecimal(std::string_view s) {
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') raise(FrameFault::BadData, QStringLiteral("element number"));
    v = v * 10 + (c - '0');
  }
  return v;
}

std::string hex2(int v) { return {kHex[(v >> 4) & 0xF], kHex[v & 0xF]}; }
std::string hex4(int v) { return hex2((v >> 8) & 0xFF) + hex2(v & 0xFF); }

std::string frame(int station, int command, std::string_view afterCommand) {
  std::string f;
  f.reserve(afterCommand.size() + 8);
  f += kStx;
  f += hex2(station);
  f += hex2(command);
  f += afterCommand;
  f += checksum(f);
  f += kEtx;
  return f;
}

std::size_t elementNameLength(char letter) {
  return letter == 'M' ? 5 : letter == 'R' ? 6 : 0;
}

// Common frame checks; returns the part between STX and the checksum.
std::string_view checkFrame(std::string_view b, std::size_t minSize) {
  if (b.empty()) raise(FrameFault::Truncated, QStringLiteral("no bytes"));
  if (b.front() != kStx) raise(FrameFault::GarbageBeforeStx, QStringLiteral("first byte is not STX"));
  if (b.size() > kMaxFrame) raise(FrameFault::Oversized, QStringLiteral("%1 bytes").arg(b.size()));
  const auto etx = b.find(kEtx);
  if (etx == std::string_view::npos) {
    if (b.size() < minSize) raise(FrameFault::Truncated, QStringLiteral("%1 bytes").arg(b.size()));
    raise(FrameFault::MissingEtx, QStringLiteral("no ETX"));
  }
  if (etx + 1 != b.size()) raise(FrameFault::Oversized, QStringLiteral("bytes after ETX"));
  if (b.size() < minSize) raise(FrameFault::Truncated, QStringLiteral("%1 bytes").arg(b.size()));
  const std::string_view sum = b.substr(b.size() - 3, 2);
  const std::string_view body = b.substr(0, b.size() - 3);
  if (hexValue(sum[0]) < 0 || hexValue(sum[1]) < 0 || checksum(body) != sum)
    raise(FrameFault::BadChecksum,
          QStringLiteral("got %1, expected %2")
              .arg(QString::fromLatin1(sum.data(), static_cast<qsizetype>(sum.size())),
                   QString::fromStdString(checksum(body))));
  return body.substr(1);
}

}  // namespace

const char* frameFaultName(FrameFault fault) {
  switch (fault) {
    case FrameFault::GarbageBeforeStx: return "garbage before STX";
    case FrameFault::MissingEtx: return "missing ETX";
    case FrameFault::Truncated: return "truncated";
    case FrameFault::Oversized: return "oversized";
    case FrameFault::BadChecksum: return "wrong checksum";
    case FrameFault::WrongStation: return "wrong station";
    case FrameFault::WrongCommand: return "wrong command";
    case FrameFault::ErrorReply: return "error reply";
    case FrameFault::BadData: return "bad data";
  }
  return "?";
}

FrameError::FrameError(FrameFault fault, const QString& text, int code)
    : PlcLinkError(fault == FrameFault::ErrorReply ? PlcLinkErrorKind::ExceptionReply
                                                   : PlcLinkErrorKind::Protocol,
                   text, code),
      fault_(fault) {}

std::string checksum(std::string_view stxToData) {
  unsigned sum = 0;
  for (char c : stxToData) sum += static_cast<unsigned char>(c);
  return hex2(static_cast<int>(sum & 0xFF));
}

std::string elementName(const PlcElement& e) {
  const bool bit = e.area == PlcElement::Area::Bit;
  if (e.number < 0 || e.number > (bit ? 9999 : 99999))
    throw PlcLinkError(PlcLinkErrorKind::Protocol,
                       QStringLiteral("%1: the native protocol cannot name it").arg(e.name()));
  char buf[12];
  std::snprintf(buf, sizeof buf, bit ? "M%04d" : "R%05d", e.number);
  return buf;
}

PlcElement parseElementName(std::string_view name) {
  if (name.empty() || elementNameLength(name[0]) != name.size())
    raise(FrameFault::BadData, QStringLiteral("element name"));
  const int n = parseDecimal(name.substr(1));
  return name[0] == 'M' ? PlcElement::bit(n) : PlcElement::reg(n);
}

std::string encodeRequest(int station, int command, std::string_view data) {
  return frame(station, command, data);
}

std::string encodeReply(int station, int command, int errorDigit, std::string_view data) {
  std::string rest(1, kHex[errorDigit & 0xF]);
  rest += data;
  return frame(station, command, rest);
}

std::string encodeMixedRead(int station, const std::vector<PlcElement>& elements) {
  std::string data = hex2(static_cast<int>(elements.size()));
  for (const auto& e : elements) data += elementName(e);
  return encodeRequest(station, kMixedRead, data);
}

std::string encodeDiscreteControl(int station, DiscreteAction action, int m) {
  std::string data(1, static_cast<char>('0' + static_cast<int>(action)));
  data += elementName(PlcElement::bit(m));
  return encodeRequest(station, kDiscreteControl, data);
}

std::string encodeWriteBits(int station, int firstM, const std::vector<bool>& values) {
  std::string data = hex2(static_cast<int>(values.size())) + elementName(PlcElement::bit(firstM));
  for (bool v : values) data += v ? '1' : '0';
  return encodeRequest(station, kWriteBits, data);
}

std::string encodeWriteRegisters(int station, int firstR, const std::vector<std::uint16_t>& values) {
  std::string data = hex2(static_cast<int>(values.size())) + elementName(PlcElement::reg(firstR));
  for (auto v : values) data += hex4(v);
  return encodeRequest(station, kWriteRegisters, data);
}

Frame decodeReply(std::string_view bytes, int station, int command) {
  const std::string_view body = checkFrame(bytes, kMinReply);
  Frame f;
  f.station = parseHex(body.substr(0, 2), FrameFault::BadData, "station");
  f.command = parseHex(body.substr(2, 2), FrameFault::BadData, "command");
  if (f.station != station)
    raise(FrameFault::WrongStation, QStringLiteral("%1 instead of %2").arg(f.station).arg(station));
  if (f.command != command)
    raise(FrameFault::WrongCommand,
          QStringLiteral("%1 instead of %2").arg(f.command, 2, 16).arg(command, 2, 16));
  f.error = parseHex(body.substr(4, 1), FrameFault::BadData, "error digit");
  if (f.error != 0) raise(FrameFault::ErrorReply, QStringLiteral("error %1").arg(f.error, 0, 16), f.error);
  f.data = std::string(body.substr(5));
  return f;
}

Frame decodeRequest(std::string_view bytes) {
  const std::string_view body = checkFrame(bytes, kMinRequest);
  Frame f;
  f.station = parseHex(body.substr(0, 2), FrameFault::BadData, "station");
  f.command = parseHex(body.substr(2, 2), FrameFault::BadData, "command");
  f.data = std::string(body.substr(4));
  return f;
}

std::vector<std::uint16_t> decodeMixedReadData(std::string_view data,
                                               const std::vector<PlcElement>& elements) {
  std::vector<std::uint16_t> values;
  values.reserve(elements.size());
  std::size_t pos = 0;
  for (const auto& e : elements) {
    const std::size_t width = e.area == PlcElement::Area::Bit ? 1 : 4;
    if (pos + width > data.size())
      raise(FrameFault::Truncated, QStringLiteral("%1 data characters").arg(data.size()));
    const std::string_view field = data.substr(pos, width);
    if (width == 1 && field[0] != '0' && field[0] != '1')
      raise(FrameFault::BadData, QStringLiteral("bit value"));
    values.push_back(static_cast<std::uint16_t>(parseHex(field, FrameFault::BadData, "register value")));
    pos += width;
  }
  if (pos != data.size())
    raise(FrameFault::Oversized, QStringLiteral("%1 data characters, %2 expected").arg(data.size()).arg(pos));
  return values;
}

std::vector<PlcElement> decodeMixedReadRequest(std::string_view data) {
  if (data.size() < 2) raise(FrameFault::Truncated, QStringLiteral("count"));
  const int count = parseHex(data.substr(0, 2), FrameFault::BadData, "count");
  if (count < 1 || count > kMaxMixedElements) raise(FrameFault::BadData, QStringLiteral("count"));
  std::vector<PlcElement> elements;
  std::size_t pos = 2;
  for (int i = 0; i < count; ++i) {
    if (pos >= data.size()) raise(FrameFault::Truncated, QStringLiteral("element names"));
    const std::size_t len = elementNameLength(data[pos]);
    if (len == 0) raise(FrameFault::BadData, QStringLiteral("element name"));
    if (pos + len > data.size()) raise(FrameFault::Truncated, QStringLiteral("element names"));
    elements.push_back(parseElementName(data.substr(pos, len)));
    pos += len;
  }
  if (pos != data.size()) raise(FrameFault::Oversized, QStringLiteral("element names"));
  return elements;
}

WriteRequest decodeWriteRequest(int command, std::string_view data) {
  if (data.size() < 2) raise(FrameFault::Truncated, QStringLiteral("count"));
  const int count = parseHex(data.substr(0, 2), FrameFault::BadData, "count");
  if (count < 1 || count > kMaxWriteCount) raise(FrameFault::BadData, QStringLiteral("count"));
  const char letter = command == kWriteBits ? 'M' : 'R';
  const std::size_t nameLen = elementNameLength(letter);
  const std::size_t width = command == kWriteBits ? 1 : 4;
  if (data.size() < 2 + nameLen) raise(FrameFault::Truncated, QStringLiteral("first element"));
  if (data[2] != letter) raise(FrameFault::BadData, QStringLiteral("element kind"));
  WriteRequest w{parseElementName(data.substr(2, nameLen)), {}};
  const std::string_view values = data.substr(2 + nameLen);
  if (values.size() < width * static_cast<std::size_t>(count))
    raise(FrameFault::Truncated, QStringLiteral("values"));
  if (values.size() > width * static_cast<std::size_t>(count))
    raise(FrameFault::Oversized, QStringLiteral("values"));
  for (int i = 0; i < count; ++i) {
    const auto field = values.substr(static_cast<std::size_t>(i) * width, width);
    if (width == 1 && field[0] != '0' && field[0] != '1')
      raise(FrameFault::BadData, QStringLiteral("bit value"));
    w.values.push_back(static_cast<std::uint16_t>(parseHex(field, FrameFault::BadData, "value")));
  }
  return w;
}

std::pair<DiscreteAction, int> decodeDiscreteControl(std::string_view data) {
  if (data.size() != 6) raise(FrameFault::BadData, QStringLiteral("discrete control data"));
  if (data[0] != '3' && data[0] != '4') raise(FrameFault::BadData, QStringLiteral("action"));
  const PlcElement e = parseElementName(data.substr(1));
  if (e.area != PlcElement::Area::Bit) raise(FrameFault::BadData, QStringLiteral("element kind"));
  return {static_cast<DiscreteAction>(data[0] - '0'), e.number};
}

void FrameScanner::feed(std::string_view bytes) { pending_.append(bytes); }

std::optional<std::string> FrameScanner::next() {
  std::size_t i = 0;
  std::optional<std::string> out;
  for (; i < pending_.size(); ++i) {
    const char c = pending_[i];
    if (buffer_.empty()) {
      if (c == kStx)
        buffer_ += c;
      else
        ++discarded_;
      continue;
    }
    if (c == kStx) {  // a new frame starts: what we held was a broken one
      discarded_ += buffer_.size();
      buffer_.assign(1, c);
      continue;
    }
    buffer_ += c;
    if (c == kEtx) {
      out = std::move(buffer_);
      buffer_.clear();
      ++i;
      break;
    }
    if (buffer_.size() >= kMaxFrame) {
      discarded_ += buffer_.size();
      buffer_.clear();
      pending_.erase(0, i + 1);
      raise(FrameFault::Oversized, QStringLiteral("no ETX within %1 bytes").arg(kMaxFrame));
    }
  }
  pending_.erase(0, i);
  return out;
}

}  // namespace velta::fatek
