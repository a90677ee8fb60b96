// The native protocol's frames, from byte strings.
#include <gtest/gtest.h>

#include "platform/itemserver/wire/fatek_codec.h"

namespace velta::fatek {
namespace {

std::string stx(std::string s) { return std::string(1, kStx) + s; }

// A reply frame with a checksum computed by hand-written arithmetic, independent of the codec.
std::string replyWithSum(const std::string& body) {
  std::string f = stx(body);
  unsigned sum = 0;
  for (unsigned char c : f) sum += c;
  char hex[3];
  std::snprintf(hex, sizeof hex, "%02X", sum & 0xFF);
  return f + hex + kEtx;
}

TEST(FatekCodec, ChecksumIsTheByteSumFromStxInUpperCaseHex) {
  // STX + "01" + "48": 0x02 + 0x30 + 0x31 + 0x34 + 0x38 = 0xCF
  EXPECT_EQ(checksum(stx("0148")), "CF");
  // Sums wrap at 8 bits: 0x02 + 5 * 'F' (0x46) = 0x160 -> 0x60
  EXPECT_EQ(checksum(stx("FFFFF")), "60");
}

TEST(FatekCodec, ElementNamesHaveFourDigitsForBitsAndFiveForRegisters) {
  EXPECT_EQ(elementName(PlcElement::bit(2)), "M0002");
  EXPECT_EQ(elementName(PlcElement::reg(5)), "R00005");
  EXPECT_EQ(elementName(PlcElement::reg(12345)), "R12345");
  EXPECT_EQ(parseElementName("M0008"), PlcElement::bit(8));
  EXPECT_EQ(parseElementName("R00011"), PlcElement::reg(11));
  EXPECT_THROW(elementName(PlcElement::bit(10000)), PlcLinkError);
  EXPECT_THROW(parseElementName("M00008"), FrameError);
  EXPECT_THROW(parseElementName("X0008"), FrameError);
}

TEST(FatekCodec, EncodesTheStationRequests) {
  const std::string mixed = encodeMixedRead(1, {PlcElement::bit(0), PlcElement::bit(2), PlcElement::reg(5)});
  EXPECT_EQ(mixed, replyWithSum("014803M0000M0002R00005"));
  EXPECT_EQ(encodeDiscreteControl(1, DiscreteAction::Reset, 3), replyWithSum("01424M0003"));
  EXPECT_EQ(encodeDiscreteControl(0x1F, DiscreteAction::Set, 6), replyWithSum("1F423M0006"));
  EXPECT_EQ(encodeWriteBits(1, 2, {true, false, true}), replyWithSum("014503M0002101"));
  EXPECT_EQ(encodeWriteRegisters(1, 5, {0x1770, 0xABCD}), replyWithSum("014702R000051770ABCD"));
}

TEST(FatekCodec, DecodesAValidReplyAndItsMixedData) {
  const auto f = decodeReply(replyWithSum("01480" "1" "0" "1770" "FFFF"), 1, kMixedRead);
  EXPECT_EQ(f.station, 1);
  EXPECT_EQ(f.error, 0);
  EXPECT_EQ(f.data, "101770FFFF");
  const auto v = decodeMixedReadData(f.data, {PlcElement::bit(0), PlcElement::bit(1), PlcElement::reg(5),
                                              PlcElement::reg(6)});
  EXPECT_EQ(v, (std::vector<std::uint16_t>{1, 0, 0x1770, 0xFFFF}));
  EXPECT_TRUE(decodeReply(replyWithSum("01420"), 1, kDiscreteControl).data.empty());
}

struct BadReply {
  const char* name;
  std::string bytes;
  FrameFault fault;
};

class FatekBadReply : public ::testing::TestWithParam<BadReply> {};

TEST_P(FatekBadReply, GivesItsOwnFault) {
  const BadReply& c = GetParam();
  try {
    decodeReply(c.bytes, 1, kMixedRead);
    FAIL() << "decoded " << c.name;
  } catch (const FrameError& e) {
    EXPECT_EQ(e.fault(), c.fault) << c.name << ": " << e.what();
    EXPECT_EQ(e.kind(), c.fault == FrameFault::ErrorReply ? PlcLinkErrorKind::ExceptionReply
                                                          : PlcLinkErrorKind::Protocol);
  }
}

std::string withSum(std::string f, const char* sum) { return f + sum + kEtx; }

INSTANTIATE_TEST_SUITE_P(
    Faults, FatekBadReply,
    ::testing::Values(
        BadReply{"wrong checksum", withSum(stx("014801"), "00"), FrameFault::BadChecksum},
        // The sum of STX "01480" is 0xFF; the protocol spells it in upper case.
        BadReply{"lower-case checksum", withSum(stx("01480"), "ff"), FrameFault::BadChecksum},
        BadReply{"wrong station", replyWithSum("0248010"), FrameFault::WrongStation},
        BadReply{"wrong command echo", replyWithSum("0147010"), FrameFault::WrongCommand},
        BadReply{"error digit", replyWithSum("01482"), FrameFault::ErrorReply},
        BadReply{"empty", "", FrameFault::Truncated},
        BadReply{"cut after the header", stx("0148"), FrameFault::Truncated},
        BadReply{"short frame with ETX", stx("01\x03"), FrameFault::Truncated},
        BadReply{"missing ETX", replyWithSum("01480101").substr(0, 11), FrameFault::MissingEtx},
        BadReply{"garbage before STX", "xx" + replyWithSum("01480"), FrameFault::GarbageBeforeStx},
        BadReply{"no STX at all", "hello", FrameFault::GarbageBeforeStx},
        BadReply{"bytes after ETX", replyWithSum("01480") + "zz", FrameFault::Oversized},
        BadReply{"oversized", replyWithSum("01480" + std::string(kMaxFrame, '0')), FrameFault::Oversized},
        BadReply{"non-hex station", replyWithSum("0G480"), FrameFault::BadData}),
    [](const auto& p) {
      std::string n = p.param.name;
      for (auto& ch : n)
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return n;
    });

TEST(FatekCodec, ErrorReplyCarriesTheDigit) {
  try {
    decodeReply(replyWithSum("0148A"), 1, kMixedRead);
    FAIL();
  } catch (const FrameError& e) {
    EXPECT_EQ(e.code(), 10);
  }
}

TEST(FatekCodec, MixedDataOfTheWrongLengthOrFormIsRejected) {
  const std::vector<PlcElement> asked{PlcElement::bit(2), PlcElement::reg(5)};
  const struct {
    std::string data;
    FrameFault fault;
  } cases[] = {
      {"1177", FrameFault::Truncated},
      {"117700", FrameFault::Oversized},
      {"21770", FrameFault::BadData},   // a bit is 0 or 1
      {"117G0", FrameFault::BadData},   // register in hex
      {"117a0", FrameFault::BadData},   // upper case only
  };
  for (const auto& c : cases) {
    try {
      decodeMixedReadData(c.data, asked);
      ADD_FAILURE() << c.data;
    } catch (const FrameError& e) {
      EXPECT_EQ(e.fault(), c.fault) << c.data;
    }
  }
}

TEST(FatekCodec, RequestsDecodeBackToWhatWasEncoded) {
  const std::vector<PlcElement> elements{PlcElement::bit(0), PlcElement::bit(8), PlcElement::reg(5),
                                         PlcElement::reg(11)};
  const auto mixed = decodeRequest(encodeMixedRead(7, elements));
  EXPECT_EQ(mixed.station, 7);
  EXPECT_EQ(mixed.command, kMixedRead);
  EXPECT_EQ(decodeMixedReadRequest(mixed.data), elements);

  const auto ctl = decodeRequest(encodeDiscreteControl(1, DiscreteAction::Reset, 6));
  EXPECT_EQ(decodeDiscreteControl(ctl.data), std::make_pair(DiscreteAction::Reset, 6));

  const auto regs = decodeRequest(encodeWriteRegisters(1, 10, {1, 0xFFFF}));
  const auto w = decodeWriteRequest(regs.command, regs.data);
  EXPECT_EQ(w.first, PlcElement::reg(10));
  EXPECT_EQ(w.values, (std::vector<std::uint16_t>{1, 0xFFFF}));

  EXPECT_THROW(decodeMixedReadRequest("03M0000M0001"), FrameError);  // fewer names than counted
  EXPECT_THROW(decodeWriteRequest(kWriteBits, "02M0002101"), FrameError);  // more values than counted
}

TEST(FrameScanner, SkipsGarbageAndCutsFramesAcrossReads) {
  const std::string a = replyWithSum("01480"), b = replyWithSum("01481");
  FrameScanner s;
  s.feed(std::string("\xff\x00noise", 7));
  s.feed(a.substr(0, 4));
  EXPECT_FALSE(s.next());
  s.feed(a.substr(4) + "zz" + b);
  EXPECT_EQ(s.next(), a);
  EXPECT_EQ(s.next(), b);
  EXPECT_FALSE(s.next());
  EXPECT_EQ(s.discarded(), 7u + 2u);
}

TEST(FrameScanner, RestartsAtANewStxAndBoundsAFrameWithoutEtx) {
  const std::string good = replyWithSum("01480");
  FrameScanner s;
  s.feed(stx("0148") + good);  // a broken frame, then a whole one
  EXPECT_EQ(s.next(), good);

  FrameScanner t;
  t.feed(stx(std::string(kMaxFrame + 10, '0')) + good);
  try {
    t.next();
    FAIL();
  } catch (const FrameError& e) {
    EXPECT_EQ(e.fault(), FrameFault::Oversized);
  }
  EXPECT_EQ(t.next(), good);  // the scanner goes on after the oversized run
}

}  // namespace
}  // namespace velta::fatek
