#pragma once
// Frames of the PLC's native ASCII protocol; pure functions, no I/O.
//
//   request: STX, station (2 hex), command (2 hex), data, checksum (2 hex), ETX
//   reply:   STX, station (2 hex), command (2 hex), error digit, data, checksum, ETX
//
// The checksum is the 8-bit sum of every byte from STX to the last data character, as
// two upper-case hex digits. Element names: a letter and four digits for bits ("M0002"),
// a letter and five digits for registers ("R00005").
//
// Commands used by the station:
//   0x48 mixed read      data: count (2 hex), then the element names;
//                        reply data: per element one digit for a bit, 4 hex for a register
//   0x42 discrete control data: action digit (3 set, 4 reset), bit name
//   0x45 write bits      data: count (2 hex), first bit name, one digit per bit
//   0x47 write registers data: count (2 hex), first register name, 4 hex per register
//
// Decoding failures raise FrameError (a PlcLinkError of kind Protocol, or ExceptionReply
// for a non-zero error digit) with a FrameFault telling exactly what was wrong.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/itemserver/wire/plc_element.h"
#include "platform/itemserver/wire/plc_link_error.h"

namespace velta::fatek {

inline constexpr char kStx = 0x02;
inline constexpr char kEtx = 0x03;
inline constexpr std::size_t kMaxFrame = 600;     // bytes, STX to ETX
inline constexpr int kMaxMixedElements = 64;      // elements per mixed read
inline constexpr int kMaxWriteCount = 64;         // elements per continuous write

enum Command : std::uint8_t {
  kDiscreteControl = 0x42,
  kWriteBits = 0x45,
  kWriteRegisters = 0x47,
  kMixedRead = 0x48,
};

enum class DiscreteAction : int { Set = 3, Reset = 4 };

enum class FrameFault {
  GarbageBeforeStx,  // bytes before STX (or no STX at all)
  MissingEtx,        // long enough, but the last byte is not ETX
  Truncated,         // shorter than a frame, or data shorter than the request asks for
  Oversized,         // longer than kMaxFrame, bytes after ETX, or more data than asked for
  BadChecksum,
  WrongStation,
  WrongCommand,
  ErrorReply,        // the PLC's error digit is not 0 (code() holds it)
  BadData,           // characters that do not belong where they stand
};

const char* frameFaultName(FrameFault fault);

class FrameError : public PlcLinkError {
 public:
  FrameError(FrameFault fault, const QString& text, int code = 0);
  FrameFault fault() const noexcept { return fault_; }

 private:
  FrameFault fault_;
};

struct Frame {
  int station = 0;
  int command = 0;
  int error = 0;     // replies only
  std::string data;  // between the header and the checksum
};

std::string checksum(std::string_view stxToData);  // two upper-case hex digits
std::string elementName(const PlcElement& e);      // "M0002", "R00005"
PlcElement parseElementName(std::string_view name);  // throws FrameError BadData

std::string encodeRequest(int station, int command, std::string_view data);
std::string encodeReply(int station, int command, int errorDigit, std::string_view data);

std::string encodeMixedRead(int station, const std::vector<PlcElement>& elements);
std::string encodeDiscreteControl(int station, DiscreteAction action, int m);
std::string encodeWriteBits(int station, int firstM, const std::vector<bool>& values);
std::string encodeWriteRegisters(int station, int firstR, const std::vector<std::uint16_t>& values);

// One complete frame, exactly (nothing before STX, nothing after ETX).
Frame decodeReply(std::string_view bytes, int station, int command);
Frame decodeRequest(std::string_view bytes);

// The data of a mixed-read reply for the elements asked for, in their order.
std::vector<std::uint16_t> decodeMixedReadData(std::string_view data,
                                               const std::vector<PlcElement>& elements);
// Request data parsers (for peers and simulators).
std::vector<PlcElement> decodeMixedReadRequest(std::string_view data);
struct WriteRequest {
  PlcElement first;
  std::vector<std::uint16_t> values;  // bits as 0/1
};
WriteRequest decodeWriteRequest(int command, std::string_view data);
std::pair<DiscreteAction, int> decodeDiscreteControl(std::string_view data);

// Cuts frames out of a byte stream: skips bytes before STX (resynchronising), restarts
// at a new STX seen before ETX, and never holds more than kMaxFrame bytes.
class FrameScanner {
 public:
  void feed(std::string_view bytes);
  // The next complete frame (STX..ETX), if one has arrived. Raises FrameError Oversized
  // when a frame grows past kMaxFrame without ETX (the bytes are dropped).
  std::optional<std::string> next();
  std::size_t discarded() const { return discarded_; }  // bytes skipped so far
  bool midFrame() const { return !buffer_.empty(); }
  void clear() { buffer_.clear(); pending_.clear(); }

 private:
  std::string pending_;  // bytes fed, not yet scanned
  std::string buffer_;   // from STX on
  std::size_t discarded_ = 0;
};

}  // namespace velta::fatek
