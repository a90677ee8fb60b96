#pragma once
// The simulated test machine behind the item server's items: a PLC memory of coils and
// holding registers (standard map: M<n> = coil 2000 + n, R<n> = register n) with the
// machine's ladder (MachineModel, shared with velta-plc-sim) on it.
//
// Runs in the caller's thread without a thread of its own: every call first brings the
// machine up to the steady clock's time. A run is repeatable under a fixed seed and a
// test clock. Each finished piece (M6 acknowledged) is reported by one line
// "simulator: piece N finished" to the log sink.
#include <QString>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/itemserver/item_driver.h"
#include "platform/itemserver/machine_model.h"
#include "platform/itemserver/server_project.h"
#include "platform/itemserver/steady_clock.h"

namespace velta {

class SimulatorDriver : public ItemDriver {
 public:
  using LogSink = std::function<void(const QString&)>;

  // Clocks outlive the driver; log receives one line per finished piece.
  SimulatorDriver(const ServerProject& project, const SteadyClock& steady, const Clock& wall,
                  LogSink log);

  void start(const std::vector<DriverItem>& items) override;
  void connect() override;
  void disconnect() override;
  qint64 value(std::size_t item) override;
  void write(std::size_t item, qint64 raw) override;
  LinkState link() override;

  int finishedPieces() const { return machine_.finishedPieces(); }

  // Direct view of the PLC memory, for tests.
  qint64 memory(const PlcAddress& address) const;

 private:
  // The memory image as the machine sees it, by M and R number.
  class Memory : public MachineMemory {
   public:
    bool bit(int m) const override { return coils[2000 + m] != 0; }
    void setBit(int m, bool on) override { coils[2000 + m] = on ? 1 : 0; }
    void setRegister(int r, quint16 v) override { registers[r] = v; }
    std::vector<quint8> coils = std::vector<quint8>(65536, 0);
    std::vector<quint16> registers = std::vector<quint16>(65536, 0);
  };

  void advance();
  void machineWrite(const PlcAddress& address, qint64 raw);

  ServerProject project_;
  const SteadyClock& steady_;
  const Clock& wall_;
  LogSink log_;

  std::vector<DriverItem> items_;
  Memory memory_;
  MachineModel machine_;

  // Link as the program sees it: values are kept while the link is down, writes wait.
  bool up_ = false;
  quint64 session_ = 0;
  bool switchedOn_ = false;  // the machine starts with the first connect request
  std::vector<qint64> kept_;
  std::vector<std::pair<std::size_t, qint64>> pending_;
  QDateTime lastRefresh_;
  SteadyClock::Ms lastRefreshAt_{-1};
};

}  // namespace velta
