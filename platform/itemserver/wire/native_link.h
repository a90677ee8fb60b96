#pragma once
// The PLC's native ASCII protocol over a byte transport (TCP, port 500 by default, or a
// serial line). Reads all elements with mixed reads (command 48), sets and resets bits
// with discrete control (42) and writes registers with continuous writes (47).
//
// Each request waits for its reply until responseTimeout; bytes before STX are skipped
// and input left over from earlier exchanges is dropped before a request is sent.
// Over TCP a time-out reopens the connection (a late reply can then never be taken for
// the next request); over a serial line, and after replies that make no sense, the input
// is flushed, and after failuresBeforeReopen failures in a row the transport is reopened.
// Reconnection waits for the back-off (ReconnectBackoff: every failed exchange doubles
// it, a refused connection attempt keeps it, a whole good refresh resets it).
// A non-zero error digit raises ExceptionReply with the digit as code; the link stays up.
#include <chrono>
#include <memory>

#include "platform/itemserver/wire/byte_transport.h"
#include "platform/itemserver/wire/fatek_codec.h"
#include "platform/itemserver/wire/plc_link.h"
#include "platform/itemserver/wire/reconnect_backoff.h"

namespace velta {

struct NativeSettings {
  int station = 1;  // 1..254
  std::chrono::milliseconds responseTimeout{500};
  std::chrono::milliseconds connectTimeout{1000};
  int failuresBeforeReopen = 3;
  int maxMixedElements = fatek::kMaxMixedElements;
  ReconnectBackoff::Settings backoff{};
};

inline constexpr int kNativeDefaultPort = 500;

class NativeLink : public PlcLink {
 public:
  NativeLink(std::unique_ptr<ByteTransport> transport, NativeSettings settings);

  void connect() override;
  void close() override;
  bool isOpen() const override { return transport_->isOpen(); }
  std::vector<bool> readBits(int first, int count) override;
  std::vector<std::uint16_t> readRegisters(int first, int count) override;
  std::vector<std::uint16_t> readMixed(const std::vector<PlcElement>& elements) override;
  void writeBit(int m, bool value) override;
  void writeRegister(int r, std::uint16_t value) override;
  ReadPlan planReads(const std::vector<PlcElement>& elements) const override;
  QString describe() const override;

  // Continuous writes (commands 45 and 47), up to 64 elements each.
  void writeBits(int first, const std::vector<bool>& values) override;
  void writeRegisters(int first, const std::vector<std::uint16_t>& values) override;
  // Bytes skipped while looking for STX since the link was made.
  std::size_t garbageSkipped() const { return scanner_.discarded(); }

 protected:
  void refreshSucceeded() override { backoff_.succeeded(); }

 private:
  fatek::Frame transact(const std::string& request, int command);
  void openNow();
  void afterFailure(const PlcLinkError& e);
  void drop();
  void checkCount(std::size_t n) const;

  std::unique_ptr<ByteTransport> transport_;
  NativeSettings settings_;
  fatek::FrameScanner scanner_;
  ReconnectBackoff backoff_;
  int failuresInRow_ = 0;
  bool exchangedSinceOpen_ = false;
};

}  // namespace velta
