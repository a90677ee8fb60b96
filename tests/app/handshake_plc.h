#pragma once
// A PLC program for the scripted item server: one piece after another, each phase's
// air pressure set a scan before its bit, the next step only once the station has
// acknowledged the bit (written 0), as the machine's ladder does. The air pressure names
// the piece and the phase, so each stored value can be checked against what the PLC held
// for that phase.
#include <QString>
#include <QStringList>
#include <map>

#include "platform/variant.h"

namespace velta::test {

class HandshakePlc {
 public:
  // R5 for a piece's phase (1 .. 4): base + 10 * piece + phase.
  explicit HandshakePlc(int base = 1000) : base_(base) {}

  int airPressureRegister(int piece, int phase) const { return base_ + 10 * piece + phase; }
  // The air pressures of a piece's four phases as the station stores them.
  QStringList airPressures(int piece) const {
    QStringList a;
    for (int p = 1; p <= 4; ++p) a << QString::number(airPressureRegister(piece, p) / 1000.0);
    return a;
  }

  // One scan over the server's items: one step of the handshake at most.
  void scan(std::map<QString, Variant>& items) {
    const QString bit = bitName(stage_);
    if (bitUp_) {
      if (items[bit] == Variant(1)) return;  // the station has not acknowledged it yet
      bitUp_ = false;
      readingsUp_ = false;
      if (++stage_ == 5) {
        stage_ = 0;
        ++finished_;
        ++piece_;
      }
      return;
    }
    if (!readingsUp_) {
      if (stage_ < 4) items["R5"] = Variant(airPressureRegister(piece_, stage_ + 1));
      readingsUp_ = true;
      return;
    }
    items[bit] = Variant(1);
    bitUp_ = true;
  }

  // The PLC goes on from piece's stage (0 .. 3: phase 1 .. 4, 4: end of piece), its
  // readings and bit up, as a PLC that was already there when the station started.
  void standAt(std::map<QString, Variant>& items, int piece, int stage) {
    piece_ = piece;
    finished_ = piece - 1;
    stage_ = stage;
    if (stage < 4) items["R5"] = Variant(airPressureRegister(piece, stage + 1));
    items[bitName(stage)] = Variant(1);
    readingsUp_ = bitUp_ = true;
  }

  static QString bitName(int stage) { return QStringLiteral("M%1").arg(stage + 2); }
  int piece() const { return piece_; }        // the piece in work, from 1
  int stage() const { return stage_; }        // 0 .. 4: M2 .. M6 being worked on
  bool bitUp() const { return bitUp_; }       // that stage's bit is set
  int finished() const { return finished_; }  // pieces whose M6 was acknowledged

 private:
  int base_;
  int piece_ = 1;
  int stage_ = 0;
  bool readingsUp_ = false;
  bool bitUp_ = false;
  int finished_ = 0;
};

}  // namespace velta::test
