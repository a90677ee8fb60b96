// The piece journal as a file: what is written is read back the same, a journal that
// cannot be written raises and leaves the last good one, and a file that is not a
// journal is refused rather than read as one.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "platform/error.h"
#include "records/piece_journal.h"
#include "tests/support/temp_station.h"

namespace velta::test {
namespace {

JournaledPiece piece(int phases) {
  JournaledPiece p;
  p.serialNumber = QStringLiteral("T09122026K1405V");
  for (size_t i = 0; i < p.values.size(); ++i)
    p.values[i] = i < static_cast<size_t>(4 * phases) ? QString::number(1.5 + static_cast<double>(i), 'f', 3) : QString();
  p.phases = phases;
  p.written = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 30, 200));
  return p;
}

void expectSame(const JournaledPiece& a, const JournaledPiece& b) {
  EXPECT_EQ(a.serialNumber, b.serialNumber);
  EXPECT_EQ(a.values, b.values);
  EXPECT_EQ(a.phases, b.phases);
  EXPECT_EQ(a.written, b.written);
  EXPECT_EQ(a.storingInto, b.storingInto);
  EXPECT_EQ(a.lastSiranoBefore, b.lastSiranoBefore);
}

TEST(PieceJournal, WhatIsWrittenIsReadBackAndReplacedWhole) {
  OpenTempDir dir;
  PieceJournal journal(dir.file("piece-in-progress.journal"));
  EXPECT_FALSE(journal.read().has_value());
  journal.write(piece(2));
  expectSame(*journal.read(), piece(2));
  JournaledPiece storing = piece(4);
  storing.storingInto = dir.file("T09122026K.tkv");
  storing.lastSiranoBefore = 41;
  journal.write(storing);
  expectSame(*journal.read(), storing);
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"piece-in-progress.journal"}) << "nothing beside it";
  journal.remove();
  EXPECT_FALSE(journal.exists());
  EXPECT_NO_THROW(journal.remove()) << "no journal is fine";
}

TEST(PieceJournal, AFailedWriteRaisesNamingTheFileAndKeepsTheLastGoodOne) {
  PermissionBitsApply permissionBits;  // read-only folders are read-only for root too
  OpenTempDir dir;
  PieceJournal journal(dir.file("piece-in-progress.journal"));
  journal.write(piece(1));
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  try {
    journal.write(piece(2));
    ADD_FAILURE() << "a read-only folder took the journal";
  } catch (const Error& e) {
    EXPECT_TRUE(e.text().contains(dir.file("piece-in-progress.journal"))) << e.text().toStdString();
  }
  QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
  expectSame(*journal.read(), piece(1));
}

TEST(PieceJournal, AFileThatIsNotAWholeJournalIsRefused) {
  OpenTempDir dir;
  PieceJournal journal(dir.file("piece-in-progress.journal"));
  journal.write(piece(3));
  QFile f(journal.path());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray whole = f.readAll();
  f.close();
  const QByteArray cases[] = {
      QByteArray(),                                                   // empty
      whole.left(whole.size() / 2),                                   // cut short
      QByteArray(whole).replace("phases=3", "phases=7"),              // impossible value
      QByteArray(whole).replace("HAVA1=", "HAVA9="),                  // unknown entry
      QByteArray(whole).replace("velta-station piece", "other piece"),  // another program's
  };
  for (const QByteArray& bytes : cases) {
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
    f.close();
    EXPECT_THROW(journal.read(), Error) << bytes.toStdString();
  }
}

}  // namespace
}  // namespace velta::test
