#pragma once
// Modbus TCP and Modbus RTU links through libmodbus.
// Address map: M bits are coils from coilBase (M0 = coil 2000, zero-based addresses;
// function codes 1, 5, 15), R registers are holding registers from registerBase
// (R0 = register 0; function codes 3, 6, 16).
//
// Recovery (libmodbus's own error recovery stays off):
// - connection errors (reset, broken pipe, refused) drop the connection; the next call
//   reconnects after the back-off (ReconnectBackoff: every failed exchange doubles it, a
//   refused connection attempt keeps it, a whole good refresh resets it);
// - over TCP, bytes left in the socket (junk after a reply) are thrown away before each
//   request, so they are never read as the next reply;
// - a time-out or an unreadable reply over TCP drops the connection too, because only a
//   new connection guarantees that a late reply is never taken for the next request;
// - over RTU a time-out or bad frame flushes the line before the next request, and
//   after timeoutsBeforeReopen time-outs in a row the port is reopened;
// - an exception reply leaves the link up.
#include <chrono>
#include <string>

#include "platform/itemserver/wire/plc_link.h"
#include "platform/itemserver/wire/reconnect_backoff.h"
#include "platform/itemserver/wire/serial_settings.h"

struct _modbus;

namespace velta {

struct ModbusSettings {
  enum class Mode { Tcp, Rtu };
  Mode mode = Mode::Tcp;
  std::string host = "127.0.0.1";  // TCP: host name or address
  int port = 502;                  // TCP
  SerialSettings serial{"/dev/ttyS0", 19200, 'N', 8, 1};  // RTU
  int unitId = 1;
  std::chrono::milliseconds responseTimeout{500};
  std::chrono::milliseconds byteTimeout{100};
  int timeoutsBeforeReopen = 3;  // RTU
  int coilBase = 2000;
  int registerBase = 0;
  BlockLimits blocks{};
  ReconnectBackoff::Settings backoff{};
};

class ModbusLink : public PlcLink {
 public:
  explicit ModbusLink(ModbusSettings settings);
  ~ModbusLink() override;
  ModbusLink(const ModbusLink&) = delete;
  ModbusLink& operator=(const ModbusLink&) = delete;

  void connect() override;
  void close() override;
  bool isOpen() const override { return open_; }
  std::vector<bool> readBits(int first, int count) override;
  std::vector<std::uint16_t> readRegisters(int first, int count) override;
  void writeBit(int m, bool value) override;
  void writeRegister(int r, std::uint16_t value) override;
  void writeBits(int first, const std::vector<bool>& values) override;
  void writeRegisters(int first, const std::vector<std::uint16_t>& values) override;
  ReadPlan planReads(const std::vector<PlcElement>& elements) const override;
  QString describe() const override;

  const ModbusSettings& settings() const { return settings_; }

 private:
  void ensureOpen();
  void openNow();
  void checkRange(int first, int count, int base, int max) const;
  [[noreturn]] void fail(int err, const char* operation);
  void succeeded();
  void drop();
  void refreshSucceeded() override { backoff_.succeeded(); }

  ModbusSettings settings_;
  _modbus* ctx_ = nullptr;
  bool open_ = false;
  bool flushBeforeNext_ = false;
  bool exchangedSinceOpen_ = false;
  int timeoutsInRow_ = 0;
  ReconnectBackoff backoff_;
};

}  // namespace velta
