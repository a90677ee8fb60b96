#pragma once
// The independent truth for stored records: the registers the simulated machine held
// when it set each phase's bit (exact readings name their piece and phase), and each
// record held against them. A record's piece is the load's grams (the piece number
// modulo 1000).
#include <QStringList>
#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <mutex>

#include "platform/itemserver/wire/sim/plc_memory.h"
#include "platform/itemserver/wire/sim/sim_machine.h"

namespace velta::test {

class MachineTruth {
 public:
  struct Held {
    double air, load, width, length;  // in the units the station stores
  };

  // Records from now on what machine sets in memory; both outlive the truth's use.
  void watch(SimMachine& machine, const PlcMemory& memory) {
    machine.onBitSet([this, &memory](int piece, int bit) {
      if (bit > 5) return;
      const quint32 load = memory.reg(10) | (static_cast<quint32>(memory.reg(11)) << 16);
      std::lock_guard lock(mutex_);
      held_[{piece, bit}] = {memory.reg(5) / 1000.0, load / 1000.0, memory.reg(7) / 10.0, memory.reg(8) / 100.0};
    });
  }

  static int pieceOf(const QStringList& record) {
    return static_cast<int>(std::llround(record[2].toDouble() * 1000)) % 1000;
  }

  // The values of a stored record (SERiNO, then the sixteen) that differ from what the
  // machine held for its piece's phases, each one a test failure naming it.
  int wrongValues(const QStringList& record) const {
    const int piece = pieceOf(record);
    int wrong = 0;
    std::lock_guard lock(mutex_);
    for (int bit = 2; bit <= 5; ++bit) {
      const auto it = held_.find({piece, bit});
      if (it == held_.end()) {
        ADD_FAILURE() << "piece " << piece << ": the machine never set M" << bit;
        wrong += 4;
        continue;
      }
      const double want[4] = {it->second.air, it->second.load, it->second.width, it->second.length};
      for (int q = 0; q < 4; ++q) {
        const QString& stored = record[1 + 4 * (bit - 2) + q];
        if (std::abs(stored.toDouble() - want[q]) <= 1e-9) continue;
        ++wrong;
        ADD_FAILURE() << "piece " << piece << " phase " << bit - 1 << " value " << q << ": stored "
                      << stored.toStdString() << ", machine held " << want[q];
      }
    }
    return wrong;
  }

 private:
  mutable std::mutex mutex_;
  std::map<std::pair<int, int>, Held> held_;  // (piece, bit 2..5)
};

}  // namespace velta::test
