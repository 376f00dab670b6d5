#include "data/kestrune/rle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace pellucor::data::kestrune {
namespace {

std::vector<uint8_t> B(std::string_view s) {
  return {s.begin(), s.end()};
}

std::vector<uint8_t> Pack(const std::vector<uint8_t>& text) {
  std::vector<uint8_t> out;
  EXPECT_TRUE(RlePack(text, &out));
  return out;
}

std::vector<uint8_t> Unpack(const std::vector<uint8_t>& packed, size_t length) {
  std::vector<uint8_t> out(length, 0xEE);
  const RleUnpackResult r = RleUnpack(packed, out);
  EXPECT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.consumed, packed.size());
  return out;
}

TEST(RleTest, PacksHandBuiltTexts) {
  // A topic padded with blanks: the literals up to the first blank, then 51 more blanks, then
  // the closing group.
  std::string topic = "Buy milk" + std::string(52, ' ') + "X";
  std::vector<uint8_t> want = {9};
  for (char c : std::string("Buy milk ")) want.push_back(static_cast<uint8_t>(c));
  want.insert(want.end(), {51, 1, 'X'});
  EXPECT_EQ(Pack(B(topic)), want);
  EXPECT_EQ(Unpack(want, topic.size()), B(topic));

  // A text that ends in a run closes with an empty group; one that starts with a run carries
  // just its first byte.
  EXPECT_EQ(Pack(B("aaaa")), (std::vector<uint8_t>{1, 'a', 3, 0}));
  EXPECT_EQ(Pack(B("xyzzzzzab")), (std::vector<uint8_t>{3, 'x', 'y', 'z', 4, 2, 'a', 'b'}));
  // Two runs, and runs of three that stay literal in between.
  EXPECT_EQ(Pack(B("aaaabbbcccccd")),
            (std::vector<uint8_t>{1, 'a', 3, 4, 'b', 'b', 'b', 'c', 4, 1, 'd'}));
}

TEST(RleTest, CountsAreBase128LowBitsFirst) {
  std::vector<uint8_t> text(1 + 200, 0);  // one zero and 200 repeats of it
  text.push_back(7);
  // Repeat count 200 = 0x48 + 0x80 (continuation), then 0x01.
  EXPECT_EQ(Pack(text), (std::vector<uint8_t>{1, 0, 0xC8, 0x01, 1, 7}));
  std::vector<uint8_t> long_literals;
  for (int i = 0; i < 300; ++i) long_literals.push_back(static_cast<uint8_t>(i % 3));
  long_literals.insert(long_literals.end(), 5, 9);
  const std::vector<uint8_t> packed = Pack(long_literals);
  // 301 literals: 301 = 0x2D | 0x80, then 0x02.
  ASSERT_GE(packed.size(), 2u);
  EXPECT_EQ(packed[0], 0xAD);
  EXPECT_EQ(packed[1], 0x02);
  EXPECT_EQ(Unpack(packed, long_literals.size()), long_literals);
}

TEST(RleTest, TextWithoutRunOfFourIsNotPacked) {
  std::vector<uint8_t> out = {42};
  EXPECT_FALSE(RlePack(B("aaabbbcccabc   d"), &out));
  EXPECT_EQ(out, (std::vector<uint8_t>{42})) << "the output is left as it was";
  EXPECT_FALSE(RlePack({}, &out));
}

TEST(RleTest, RandomTextsRoundTrip) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 500; ++round) {
    std::vector<uint8_t> text;
    const int pieces = static_cast<int>(rng() % 40);
    for (int p = 0; p < pieces; ++p) {
      const uint8_t b = static_cast<uint8_t>(rng() % 4);  // few symbols: many runs
      const size_t len = rng() % 3 == 0 ? rng() % 400 : rng() % 5;
      text.insert(text.end(), len, b);
    }
    std::vector<uint8_t> packed;
    if (!RlePack(text, &packed)) continue;
    EXPECT_EQ(Unpack(packed, text.size()), text) << "round " << round;
  }
}

TEST(RleTest, DamagedInputIsRefusedWithinBounds) {
  std::vector<uint8_t> out(6);
  // Literals beyond the unpacked length, or beyond the packed text.
  EXPECT_EQ(RleUnpack(std::vector<uint8_t>{7, 1, 2, 3, 4, 5, 6, 7}, out).error,
            kErrUnpackLiteralOverrun);
  EXPECT_EQ(RleUnpack(std::vector<uint8_t>{4, 1, 2}, out).error, kErrUnpackLiteralOverrun);
  // A repeat beyond the unpacked length, a repeat with nothing before it, a missing count.
  EXPECT_EQ(RleUnpack(std::vector<uint8_t>{1, 'a', 9}, out).error, kErrUnpackRepeatOverrun);
  EXPECT_EQ(RleUnpack(std::vector<uint8_t>{0, 5}, out).error, kErrUnpackRepeatOverrun);
  EXPECT_EQ(RleUnpack(std::vector<uint8_t>{2, 'a', 'b'}, out).error, kErrUnpackRepeatOverrun);
  // An endless count.
  EXPECT_EQ(RleUnpack(std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0x01}, out).error,
            kErrUnpackLiteralOverrun);
  // A text whose last repeat completes the output needs no closing group.
  EXPECT_TRUE(RleUnpack(std::vector<uint8_t>{1, 'a', 5}, out).ok());
  EXPECT_EQ(out, B("aaaaaa"));
}

}  // namespace
}  // namespace pellucor::data::kestrune

namespace pellucor::data::kestrune {
namespace {

// Reading a packed text in pieces, some passed over, gives the bytes of the whole unpacking.
TEST(RleTest, ReaderGivesTheUnpackedTextPieceByPiece) {
  std::mt19937 rng(11);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> text(rng() % 3000);
    for (size_t i = 0; i < text.size();) {
      const size_t run = rng() % 3 == 0 ? 1 + rng() % 200 : 1;
      const uint8_t b = static_cast<uint8_t>(rng() % 4 == 0 ? rng() : ' ');
      for (size_t j = 0; j < run && i < text.size(); ++j) text[i++] = b;
    }
    std::vector<uint8_t> packed;
    const bool is_packed = RlePack(text, &packed);
    if (!is_packed) packed = text;
    RleReader reader(packed, text.size(), is_packed);
    size_t at = 0;
    while (at < text.size()) {
      const size_t n = std::min<size_t>(text.size() - at, 1 + rng() % 300);
      if (rng() % 3 == 0) {
        ASSERT_TRUE(reader.Read(n, nullptr));
      } else {
        std::vector<uint8_t> piece(n);
        ASSERT_TRUE(reader.Read(n, piece.data())) << round << " at " << at;
        ASSERT_TRUE(std::equal(piece.begin(), piece.end(), text.begin() + at)) << round;
      }
      at += n;
    }
    uint8_t extra = 0;
    EXPECT_FALSE(reader.Read(1, &extra));  // nothing past the end
  }
}

}  // namespace
}  // namespace pellucor::data::kestrune
