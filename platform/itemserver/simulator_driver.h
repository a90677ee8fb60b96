#pragma once
// The simulated test machine behind the item server's items: a PLC memory of coils and
// holding registers (standard map: M<n> = coil 2000 + n, R<n> = register n) and the
// machine's ladder on it. Data transfer M0 and label printer M8 as the project says; a
// test piece every piece interval, whose phase bits M2, M3, M4, M5 and end-of-piece bit
// M6 are set one after the other, each only after the program has acknowledged the one
// before (written 0) and a phase interval has passed; readings in R5 (air pressure,
// 0.001 bar), R7 (width, 0.1 cm), R8 (length, 0.01 cm) and R10/R11 (load, 0.001 kg, low
// and high 16 bits) that follow the piece through its phases, with noise. M7 is set only
// when the project asks for a shutdown after a number of pieces.
//
// Runs in the caller's thread without a thread of its own: every call first brings the
// machine up to the steady clock's time. Readings depend only on the seed, the piece
// and the time (100 ms samples), so a run is repeatable under a fixed seed and a test
// clock. Each finished piece (M6 acknowledged) is reported by one line
// "simulator: piece N finished" to the log sink.
#include <QString>
#include <functional>
#include <vector>

#include "platform/clock.h"
#include "platform/itemserver/item_driver.h"
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

  int finishedPieces() const { return finished_; }

  // Direct view of the PLC memory, for tests.
  qint64 memory(const PlcAddress& address) const;

 private:
  void advance();
  void machineWrite(const PlcAddress& address, qint64 raw);
  void updateReadings(SteadyClock::Ms now);
  void setCoil(int index, bool on) { coils_[index] = on ? 1 : 0; }
  void setRegister(int index, qint64 v) { registers_[index] = static_cast<quint16>(v); }

  ServerProject project_;
  const SteadyClock& steady_;
  const Clock& wall_;
  LogSink log_;

  std::vector<DriverItem> items_;
  std::vector<quint8> coils_ = std::vector<quint8>(65536, 0);
  std::vector<quint16> registers_ = std::vector<quint16>(65536, 0);

  // Link as the program sees it: values are kept while the link is down, writes wait.
  bool up_ = false;
  std::vector<qint64> kept_;
  std::vector<std::pair<std::size_t, qint64>> pending_;
  QDateTime lastRefresh_;
  SteadyClock::Ms lastRefreshAt_{-1};

  // The machine's sequence: stage 0..4 is the bit M2..M6 being worked on.
  int piece_ = 1;
  int stage_ = 0;
  bool bitSet_ = false;
  SteadyClock::Ms dueAt_{0};  // when the bit of the current stage is set
  int finished_ = 0;
  long long lastSample_ = -1;
};

}  // namespace velta
