#include "runtime/queue/record_codec.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace pellucor::runtime::queue_detail {
namespace {

std::vector<uint8_t> Decoded(const std::vector<uint8_t>& input, size_t record_size,
                             size_t* produced) {
  std::vector<uint8_t> record(record_size, 0xEE);
  *produced = DecodeRecord(input, record);
  return record;
}

void ExpectRoundTrip(const std::vector<uint8_t>& record) {
  std::vector<uint8_t> encoded;
  EncodeRecord(record, &encoded);
  size_t produced = 0;
  EXPECT_EQ(Decoded(encoded, record.size(), &produced), record);
  EXPECT_EQ(produced, record.size());
}

// Run lengths chosen around every boundary of the count forms: 63/64 (short and two-byte
// forms), 12287/12288 (the largest count below 48 * 256 and the first that needs a longer form),
// 65535/65536 (two-byte and four-byte counts).
TEST(RecordCodec, RoundTripsRunsAtEveryCountBoundary) {
  for (size_t run : {1u, 2u, 3u, 63u, 64u, 65u, 300u, 12287u, 12288u, 65535u, 65536u, 70000u}) {
    SCOPED_TRACE(run);
    std::vector<uint8_t> repeat(run, 'x');
    ExpectRoundTrip(repeat);
    std::vector<uint8_t> literal(run);
    for (size_t i = 0; i < run; ++i) literal[i] = static_cast<uint8_t>(i * 7 + i / 256);
    ExpectRoundTrip(literal);
    std::vector<uint8_t> mixed = literal;
    mixed.insert(mixed.begin() + static_cast<std::ptrdiff_t>(run / 2), run, ' ');
    ExpectRoundTrip(mixed);
  }
}

TEST(RecordCodec, RoundTripsRandomRecordsAndCompressesBlankPadding) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> record(128 + rng() % 2000);
    for (size_t i = 0; i < record.size();) {
      const size_t len = 1 + rng() % 40;
      const bool run = rng() % 2;
      const uint8_t b = static_cast<uint8_t>(rng());
      for (size_t k = 0; k < len && i < record.size(); ++k, ++i) {
        record[i] = run ? b : static_cast<uint8_t>(rng());
      }
    }
    ExpectRoundTrip(record);
  }
  // A list-box row: a short text in a long blank-padded field.
  std::vector<uint8_t> row(6144, ' ');
  std::copy_n("Buy milk", 8, row.begin());
  std::vector<uint8_t> encoded;
  EncodeRecord(row, &encoded);
  EXPECT_LT(encoded.size(), 32u);
}

// Items written by hand in each count form, as another writer of the format would write them.
TEST(RecordCodec, DecodesEveryCountForm) {
  size_t produced = 0;
  // literal 3, repeat 2 of 'z', repeat 0 (no-op)
  auto r = Decoded({0x83, 'a', 'b', 'c', 0x02, 'z', 0x00, 'q'}, 5, &produced);
  EXPECT_EQ(produced, 5u);
  EXPECT_EQ(std::string(r.begin(), r.end()), "abczz");
  // medium count: low bits 1, next byte 4 -> 260
  r = Decoded({0x41, 0x04, '-'}, 260, &produced);
  EXPECT_EQ(produced, 260u);
  EXPECT_EQ(r, std::vector<uint8_t>(260, '-'));
  // low bits above 48: two-byte count 0x0105 = 261, as a literal of the bytes that follow
  std::vector<uint8_t> in = {0x80 | 0x40 | 50, 0x05, 0x01};
  for (int i = 0; i < 261; ++i) in.push_back(static_cast<uint8_t>(i));
  r = Decoded(in, 261, &produced);
  EXPECT_EQ(produced, 261u);
  EXPECT_EQ(r[260], 4);
  // low bits equal 48: four-byte count 70000
  r = Decoded({0x40 | 48, 0x70, 0x11, 0x01, 0x00, 'k'}, 70000, &produced);
  EXPECT_EQ(produced, 70000u);
  EXPECT_EQ(r.back(), 'k');
}

TEST(RecordCodec, UnreadableInputsGiveLengthZero) {
  size_t produced = 1;
  Decoded({0x05, 'a'}, 4, &produced);  // repeat past the record
  EXPECT_EQ(produced, 0u);
  Decoded({0x84, 'a', 'b'}, 8, &produced);  // literal past the input
  EXPECT_EQ(produced, 0u);
  Decoded({0x03}, 8, &produced);  // repeat without its byte
  EXPECT_EQ(produced, 0u);
  Decoded({0x41}, 300, &produced);  // medium count without its second byte
  EXPECT_EQ(produced, 0u);
  Decoded({0x40 | 48, 1, 0}, 300, &produced);  // four-byte count cut short
  EXPECT_EQ(produced, 0u);
  Decoded({0x40 | 48, 0xFF, 0xFF, 0xFF, 0xFF, 'x'}, 300, &produced);  // huge count
  EXPECT_EQ(produced, 0u);
  // The input ends early: decoding stops and reports what it produced.
  Decoded({0x02, 'a'}, 8, &produced);
  EXPECT_EQ(produced, 2u);
}

TEST(RecordCodec, LimitStopsOnceThePrefixIsDecoded) {
  std::vector<uint8_t> record(1000);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i % 251);
  std::vector<uint8_t> encoded;
  EncodeRecord(record, &encoded);
  std::vector<uint8_t> out(1000, 0);
  const size_t produced = DecodeRecord(encoded, out, 10);
  EXPECT_GE(produced, 10u);
  EXPECT_TRUE(std::equal(out.begin(), out.begin() + 10, record.begin()));
}

}  // namespace
}  // namespace pellucor::runtime::queue_detail
