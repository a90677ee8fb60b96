#include "tools/piece_run/piece_truth.h"

#include <QDir>
#include <cmath>
#include <map>

#include "platform/tablestore/dataset.h"
#include "records/daily_file.h"
#include "records/date_code.h"

namespace velta::piecerun {

namespace {

constexpr std::size_t kProblemsKept = 10;

// The date a daily file's name (T09122026K.tkv) stands for; invalid for other names.
QDate dateOfFile(const QString& name) {
  if (name.size() < 10 || !name.startsWith(u'T')) return {};
  return QDate::fromString(name.mid(1, 8), QStringLiteral("ddMMyyyy"));
}

void note(RecordCheck& c, const std::string& problem) {
  if (c.firstProblems.size() < kProblemsKept) c.firstProblems.push_back(problem);
}

}  // namespace

PieceLedger::PieceLedger(QDateTime start, int maxPieces)
    : start_(std::move(start)), pieces_(static_cast<std::size_t>(maxPieces) + 1) {}

void PieceLedger::bitSet(int piece, int bit, const PlcMemory& memory, qint64 simMs) {
  if (piece > capacity()) return;
  PieceTruth& t = pieces_[static_cast<std::size_t>(piece)];
  if (bit == 2) t.m2SetMs = simMs;
  if (bit == 6) t.m6SetMs = simMs;
  if (bit < 2 || bit > 5) return;
  const int i = bit - 2;
  t.air[i] = memory.reg(5);
  t.width[i] = memory.reg(7);
  t.length[i] = memory.reg(8);
  t.load[i] = memory.reg(10) | (static_cast<quint32>(memory.reg(11)) << 16);
}

void PieceLedger::acknowledged(int piece, int bit, qint64 simMs) {
  if (piece <= capacity() && bit == 2) pieces_[static_cast<std::size_t>(piece)].m2AckedMs = simMs;
}

void PieceLedger::finished(int piece, qint64 simMs) {
  if (piece <= capacity()) pieces_[static_cast<std::size_t>(piece)].finishedMs = simMs;
}

RecordCheck PieceLedger::check(const QString& dataFolder, int piecesFinished) const {
  RecordCheck c;
  std::map<QDate, QString> files;
  for (const QString& name : QDir(dataFolder).entryList({QStringLiteral("T*.tkv")}, QDir::Files))
    if (dateOfFile(name).isValid()) files[dateOfFile(name)] = name;
  int last = 0;  // the piece of the record before
  for (const auto& [fileDate, name] : files) {
    Dataset t(QStringLiteral("Check"));
    t.setFieldDefs(DailyFileFields());
    t.setTableName(dataFolder + u'/' + name);
    t.open();
    for (t.first(); !t.eof(); t.next()) {
      ++c.records;
      ++c.perFile[name];
      const auto text = [&](int f) { return t.fieldText(t.field(f).name); };
      const QString serial = text(1);
      const int grams = static_cast<int>(std::llround(text(3).toDouble() * 1000)) % 1000;
      if (last > 0 && grams == last % 1000) {
        ++c.doubled;
        note(c, "piece " + std::to_string(last) + " stored again in " + name.toStdString());
        continue;
      }
      const int piece = last + 1 + ((grams - (last + 1) % 1000) % 1000 + 1000) % 1000;
      if (piece > piecesFinished || piece > capacity()) {
        ++c.wrong;
        note(c, "a record of no finished piece (grams " + std::to_string(grams) + ") in " + name.toStdString());
        continue;
      }
      c.lost += piece - last - 1;
      if (piece - last - 1 > 0) note(c, "pieces " + std::to_string(last + 1) + ".." + std::to_string(piece - 1) + " lost");
      last = piece;
      const PieceTruth& p = pieces_[static_cast<std::size_t>(piece)];
      // Stored values against the registers the machine held when it set the phase's bit,
      // in the units the station stores (0.001 bar, 0.001 kg, 0.1 cm, 0.01 cm).
      int wrongHere = 0;
      for (int i = 0; i < 4; ++i) {
        const double want[4] = {p.air[i] / 1000.0, p.load[i] / 1000.0, p.width[i] / 10.0, p.length[i] / 100.0};
        for (int q = 0; q < 4; ++q) {
          const QString got = text(2 + 4 * i + q);
          if (std::abs(got.toDouble() - want[q]) <= 1e-9) continue;
          ++wrongHere;
          note(c, "piece " + std::to_string(piece) + " phase " + std::to_string(i + 1) + " value " +
                      std::to_string(q) + ": stored " + got.toStdString() + ", machine held " + std::to_string(want[q]));
        }
      }
      c.wrongValues += wrongHere;
      if (wrongHere) ++c.wrong;
      // The file of the day the piece was stored: between its end bit and the machine
      // seeing that acknowledged (either day when midnight fell between).
      if (fileDate != when(p.m6SetMs).date() && fileDate != when(p.finishedMs).date()) {
        ++c.wrongFile;
        note(c, "piece " + std::to_string(piece) + " in " + name.toStdString() + ", finished " +
                    when(p.finishedMs).toString(Qt::ISODate).toStdString());
      }
      // The serial number: the minute phase 1 was captured, between M2 set and seen acknowledged.
      const SerialCut cut = cutSerialNumber(serial);
      const QDateTime stamped = QDateTime::fromString(cut.date + u' ' + cut.time, QStringLiteral("dd.MM.yyyy hh:mm"));
      const QDateTime from = when(p.m2SetMs), to = when(p.m2AckedMs);
      const QDateTime fromMinute(from.date(), QTime(from.time().hour(), from.time().minute()));
      if (!stamped.isValid() || stamped < fromMinute || stamped > to) {
        ++c.wrongSerial;
        note(c, "piece " + std::to_string(piece) + " serial " + serial.toStdString() + ", phase 1 between " +
                    from.toString(Qt::ISODate).toStdString() + " and " + to.toString(Qt::ISODate).toStdString());
      }
    }
    t.close();
  }
  if (piecesFinished > last) {
    c.lost += piecesFinished - last;
    note(c, "pieces " + std::to_string(last + 1) + ".." + std::to_string(piecesFinished) + " lost at the end");
  }
  return c;
}

}  // namespace velta::piecerun
