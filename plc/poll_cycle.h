#pragma once
// The poll cycle, run every 200 ms by Timer1: keep the PLC link asked for, show its
// state, obey the PLC's shutdown command, run the test-cycle sequencer, show the
// data-transfer and label-printer indicators, read the measuring registers into the
// four live readings and fill the status bar.
//
// Between ticks it keeps one fact: where the live readings came from. The sequencer
// copies the readings the previous tick showed, so a phase may be captured only when
// those came over the link that is up now, without a gap since (the first refresh after
// a reconnection brings a phase bit together with its registers, while the readouts
// still show the values from before the gap), and never on the first tick after
// start-up or "PLC BAĞLAN" (the readouts then hold their initial texts).
//
// Timer1Timer runs the whole tick under one guard: any failure (a server call, no
// server object, a value that cannot be converted, the sequencer and what it calls)
// abandons the rest of the tick, requests the application's termination and writes one
// line with the reason to the failure sink; nothing is shown to the operator.
// SpeedButton7Click lets its errors through to the window. UI thread only.
#include <QString>
#include <functional>

#include "platform/object_registry.h"
#include "platform/plc_item_server.h"
#include "platform/regional_settings.h"
#include "platform/shutdown_service.h"
#include "platform/termination.h"
#include "platform/form_state.h"

namespace velta {

// The server project file handed to the PLC item server at start-up and on reconnection.
inline const QString kPlcProjectPath = QStringLiteral("D:\\rododezuz\\sistem\\fatekserver.fcs");

inline const QString kConnectionDown = QStringLiteral("PLC BAĞLANTISI YOK");
inline const QString kConnectionUp = QStringLiteral("PLC BAĞLANTISI TAMAM");
inline const QString kShutdownCommandText = QStringLiteral("Bilgisayar kapat komutu");
inline const QString kTransferOff = QStringLiteral("VERİ TRANSFERİ KAPALI");
inline const QString kTransferOn = QStringLiteral("VERİ TRANSFERİ AÇIK");
inline const QString kPrinterOff = QStringLiteral("ETİKET YAZICI KAPALI");
inline const QString kPrinterOn = QStringLiteral("ETİKET YAZICI AÇIK");
// Status bar panel 2.
inline const QString kMakerBanner = QStringLiteral("VELTA RUZEDIVE TEST SİSTEMİ");

class PollCycle {
 public:
  using FailureSink = std::function<void(const QString& reason)>;

  // Everything given outlives the cycle; server is the station's PlcServer reference.
  PollCycle(FormState& form, PlcServerRef& server, const ObjectRegistry& registry,
            ShutdownService& shutdown, TerminationRequest& termination,
            const RegionalSettings& regional);

  // RunTestCycle, called at step 4 of every tick; none set: that step does nothing.
  void setTestCycle(std::function<void()> runTestCycle) { testCycle_ = std::move(runTestCycle); }
  // During a tick: whether the readouts as they stand (shown by the previous tick) came
  // from a good refresh of the link's present session, so a phase may be captured.
  bool readoutsCapturable() const { return readoutsCapturable_; }
  // Where the guard's one line goes; by default stderr.
  void setFailureSink(FailureSink sink) { failureSink_ = std::move(sink); }
  // A tick failed and asked the program to end (its exit status then says so).
  bool tickFailed() const { return tickFailed_; }
  // The PLC has ordered the PC to power off (M7 at 1), which ends the program.
  bool shutdownOrdered() const { return shutdownOrdered_; }

  void Timer1Timer();
  // A new server object replaces PlcServer, opens the project and is asked to connect.
  void SpeedButton7Click();

 private:
  void tick();
  Variant read(const char* item);
  bool is(const char* item, int v);

  FormState& form_;
  PlcServerRef& server_;
  const ObjectRegistry& registry_;
  ShutdownService& shutdown_;
  TerminationRequest& termination_;
  const RegionalSettings& regional_;
  std::function<void()> testCycle_;
  FailureSink failureSink_;

  // Where the readouts shown by the last tick came from.
  struct ReadingsSource {
    std::weak_ptr<PlcItemServer> server;
    quint64 session = 0;
    bool linkUp = false;
  } shown_;
  bool readoutsCapturable_ = false;
  bool tickFailed_ = false;
  bool shutdownOrdered_ = false;  // the PLC has ordered the power-off (M7)
};

}  // namespace velta
