// The scale run in little: the station's logic against the networked simulated machine
// with a handful of link faults of every kind at varying handshake points, on the fast
// clock; every record held against the registers the machine held when it set each
// phase's bit. The long runs (10,000 pieces, a simulated day) are velta-piece-run's.
#include <gtest/gtest.h>

#include "tools/piece_run/piece_run.h"

namespace velta::piecerun {
namespace {

class PieceRun : public ::testing::TestWithParam<bool> {};

TEST_P(PieceRun, EveryPieceIsStoredOnceWithWhatTheMachineHeldThroughLinkFaults) {
  Options o;
  o.pieces = 300;
  o.faultEvery = 30;
  o.modbus = GetParam();
  o.seed = o.modbus ? 3 : 4;
  const Result r = run(o);
  SCOPED_TRACE(summary(o, r));
  EXPECT_EQ(r.piecesFinished, 300);
  EXPECT_GE(r.faultsMade, 9);
  EXPECT_EQ(r.records.records, 300);
  EXPECT_EQ(r.records.lost, 0);
  EXPECT_EQ(r.records.doubled, 0);
  EXPECT_EQ(r.records.wrongValues, 0);
  EXPECT_EQ(r.records.wrongSerial, 0);
  EXPECT_EQ(r.stalls, 0);
  EXPECT_EQ(r.tickFailures, 0);
  EXPECT_TRUE(r.good()) << r.why;
}

INSTANTIATE_TEST_SUITE_P(Protocols, PieceRun, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) { return p.param ? "Modbus" : "Native"; });

TEST(PieceRunOverMidnight, EachRecordIsInTheFileOfTheDayItsPieceFinished) {
  Options o;
  o.pieces = 1;
  o.hours = 0.4;  // 23:40 to 00:04
  o.start = QDateTime(QDate(2026, 12, 9), QTime(23, 40));
  o.faultEvery = 40;
  const Result r = run(o);
  SCOPED_TRACE(summary(o, r));
  EXPECT_EQ(r.records.records, r.piecesFinished);
  EXPECT_TRUE(r.records.good());
  EXPECT_EQ(r.records.wrongFile, 0);
  ASSERT_EQ(r.records.perFile.size(), 2u) << "midnight was not crossed with pieces on both sides";
  EXPECT_GT(r.records.perFile.at(QStringLiteral("T09122026K.tkv")), 100);
  EXPECT_GT(r.records.perFile.at(QStringLiteral("T10122026K.tkv")), 10);
}

}  // namespace
}  // namespace velta::piecerun
