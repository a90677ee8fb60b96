#pragma once
// The simulated test machine's ladder, over a memory image of M bits and R registers.
// One model serves both the built-in simulator driver and the velta-plc-sim tool, so a
// station sees the same machine whichever way it reaches it.
//
// Data transfer M0 and label printer M8 as the settings say; a test piece every piece
// interval, whose phase bits M2, M3, M4, M5 and end-of-piece bit M6 are set one after the
// other, each only after the station has acknowledged the one before (written 0) and a
// phase interval has passed; readings in R5 (air pressure, 0.001 bar), R7 (width,
// 0.1 cm), R8 (length, 0.01 cm) and R10/R11 (load, 0.001 kg, low and high 16 bits) that
// follow the piece through its phases, with noise. M7 is set only when the settings ask
// for a shutdown after a number of pieces.
//
// Each piece carries a unique reading: the last three digits of the raw load (the grams)
// are the piece number modulo 1000, free of noise, so stored records can be matched to
// pieces one to one (the load "525.007" belongs to piece 7).
//
// The model has no thread and no clock of its own: step(now) brings it up to now. An
// acknowledgement is seen by step() finding the bit being worked on back at 0. Readings
// depend only on the seed, the piece and the time (100 ms samples).
#include <QtGlobal>
#include <chrono>
#include <functional>

namespace velta {

struct MachineSettings {
  quint64 seed = 1;
  int pieceIntervalMs = 4000;  // from one piece's end acknowledged to the next piece's M2
  int phaseIntervalMs = 1000;  // from a phase acknowledged to the next phase bit
  bool dataTransfer = true;    // M0
  bool labelPrinter = true;    // M8
  int shutdownAfterPieces = 0;  // sets M7 once this many pieces are finished; 0: never
  // Readings without noise that name their piece and phase, held from the previous
  // acknowledgement until the phase's own, so a test can tell every stored value's
  // moment: with n = piece mod 1000 and p = the phase (1..4; 0 between phases of no
  // piece and while M6 waits), R5 = 10000p + n, R7 = 10000p + 5000 + n,
  // R8 = 10000p + 2000 + n, load = (1000p + n) * 1000 + n. A phase's readings stand
  // at least a phase interval before its bit.
  bool exactReadings = false;
};

// The machine's view of the PLC memory, by M and R number.
class MachineMemory {
 public:
  virtual ~MachineMemory() = default;
  virtual bool bit(int m) const = 0;
  virtual void setBit(int m, bool on) = 0;
  virtual void setRegister(int r, quint16 value) = 0;
};

// The piece number (1 ..) a raw load carries, by its noise-free last three digits.
inline int pieceOfLoad(quint32 rawLoad) { return static_cast<int>(rawLoad % 1000); }

class MachineModel {
 public:
  using Ms = std::chrono::milliseconds;
  // memory outlives the model; finished(n) is called once per finished piece.
  MachineModel(const MachineSettings& settings, MachineMemory& memory, Ms now,
               std::function<void(int piece)> finished = {});

  // Sees acknowledgements, sets the bit that is due and updates the readings.
  void step(Ms now);
  // Restarts the wait for the first piece from now (the machine is switched on).
  void switchOn(Ms now);
  // Called by step() right after it set a handshake bit (2..6) for piece, with the
  // readings of that moment already in the memory.
  void onBitSet(std::function<void(int piece, int bit)> observer) { onBitSet_ = std::move(observer); }

  int finishedPieces() const { return finished_; }
  int piece() const { return piece_; }  // the piece in work (or next), from 1
  // The bit (2..6) set and waiting for its acknowledgement; 0 when none is.
  int waitingOn() const { return bitSet_ ? 2 + stage_ : 0; }

 private:
  void acknowledged(Ms now);
  void updateReadings(Ms now);

  MachineSettings settings_;
  MachineMemory& memory_;
  std::function<void(int)> onFinished_;
  std::function<void(int, int)> onBitSet_;

  // Stage 0..4 is the bit M2..M6 being worked on.
  int piece_ = 1;
  int stage_ = 0;
  bool bitSet_ = false;
  Ms dueAt_{0};  // when the bit of the current stage is set
  int pressShown_ = 0;  // exact readings: the phase whose readings stand (1..4), 0 for none
  Ms pressShownAt_{0};  // since when
  int finished_ = 0;
  long long lastSample_ = -1;
};

}  // namespace velta
