#include "data/kestrune/page_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>

#include "data/kestrune/entry_kinds.h"
#include "data/kestrune/rle.h"
#include "runtime/core/fatal.h"

namespace pellucor::data::kestrune {
namespace {

using V = std::vector<uint8_t>;

V B(std::string_view s) {
  return {s.begin(), s.end()};
}

V Key(uint32_t record) {
  V k;
  DataKey(1, record, &k);
  return k;
}

// Checks that a decoded page holds the same entries as the one encoded.
void ExpectSamePage(const Page& a, const Page& b) {
  ASSERT_EQ(a.count(), b.count());
  EXPECT_EQ(a.level(), b.level());
  EXPECT_EQ(a.size_account(), b.size_account());
  for (size_t i = 0; i < a.count(); ++i) {
    EXPECT_EQ(V(a.Key(i).begin(), a.Key(i).end()), V(b.Key(i).begin(), b.Key(i).end()));
    EXPECT_EQ(V(a.Data(i).begin(), a.Data(i).end()), V(b.Data(i).begin(), b.Data(i).end()));
    if (!a.is_leaf()) {
      EXPECT_EQ(a.Child(i), b.Child(i));
    }
  }
}

TEST(PageCodecTest, LeafMatchesHandBuiltBytes) {
  Page page;
  page.Insert(0, Key(2), B("AB"));
  page.Insert(1, Key(3), B("AC"));
  EXPECT_EQ(page.size_account(), 13u + 2 * (5 + 11));
  V stored;
  const PageEncodeResult r = EncodePage(page, 2, &stored);
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(r.packed);
  EXPECT_EQ(r.blocks, 1u);
  V want = {0x00, 0x04, 0x00, 0x00,  // own offset 512 + 2 * 256
            0x21, 0x00, 0x21, 0x00,  // stored and unpacked length 33
            0x2D, 0x00,              // size account 45
            0x02, 0x00, 0x00,        // two entries, leaf
            // first entry: both lengths (total 11, key 9), no shared prefix
            0xC0, 0x0B, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x01, 0xF3, 0x00, 0x00, 0x00, 0x02, 'A',
            'B',
            // second entry: same lengths, 8 bytes shared with the first
            0x08, 0x03, 'A', 'C'};
  want.resize(256, 0xB0);
  EXPECT_EQ(stored, want);

  Page back;
  const PageDecodeResult d = DecodePage(stored, &back);
  ASSERT_TRUE(d.ok()) << d.error;
  EXPECT_EQ(d.prefix.own_offset, 1024u);
  ExpectSamePage(page, back);
}

TEST(PageCodecTest, InnerPageCarriesChildNumbersInItsPrefix) {
  Page page(1);
  page.Insert(0, Key(2), {}, 7);
  page.Insert(1, Key(9), B("ignored on inner pages"), 12);
  EXPECT_EQ(page.Data(1).size(), 0u);
  V stored;
  ASSERT_TRUE(EncodePage(page, 0, &stored).ok());
  V want = {0x00, 0x02, 0x00, 0x00, 0x25, 0x00, 0x25, 0x00, 0x31, 0x00, 0x02,
            0x00, 0x01, 0x07, 0x00, 0x00, 0x00, 0x0C, 0x00, 0x00, 0x00,  // children 7 and 12
            0xC0, 0x09, 0x00, 0x09, 0x00, 0x00, 0x00, 0x00, 0x01, 0xF3, 0x00,
            0x00, 0x00, 0x02, 0x08, 0x09};
  want.resize(256, 0xB0);
  EXPECT_EQ(stored, want);
  Page back;
  ASSERT_TRUE(DecodePage(stored, &back).ok());
  ExpectSamePage(page, back);
}

// A note record: topic STRING(60), done BYTE, two DATEs, memo STRING(5050), archive BYTE.
V NoteRecord(const std::string& topic, const std::string& memo) {
  V r(5120, ' ');
  std::copy(topic.begin(), topic.end(), r.begin());
  r[60] = 0;
  std::fill(r.begin() + 61, r.begin() + 69, 0);
  r[61] = 14, r[62] = 3, r[63] = 0xE8, r[64] = 0x07;
  std::copy(memo.begin(), memo.end(), r.begin() + 69);
  r[5119] = 0;
  return r;
}

TEST(PageCodecTest, LeafOfMostlyBlankNotesIsStoredPacked) {
  Page page;
  page.Insert(0, Key(5), NoteRecord("Buy milk", "Two litres, the blue one."));
  page.Insert(1, Key(6), NoteRecord("Call the dentist", "Before Friday"));
  V stored;
  const PageEncodeResult r = EncodePage(page, 3, &stored);
  ASSERT_TRUE(r.ok());
  EXPECT_TRUE(r.packed);
  EXPECT_EQ(r.unpacked_length, 13u + (5 + 9 + 5120) + (1 + 9 + 5120 - 8));
  EXPECT_LT(r.blocks, 2u) << "two 5120-byte records of blanks fit one block packed";
  EXPECT_EQ(stored.size(), r.blocks * kBlockSize);

  // Each long run of blanks is one literal blank and a repeat count: the memo of the first
  // record ends "one." then one blank, then 5050 - 25 - 1 repeats (two count bytes).
  const std::string tail = "one. ";
  const auto at = std::search(stored.begin(), stored.end(), tail.begin(), tail.end());
  ASSERT_NE(at, stored.end());
  const size_t repeats = 5050 - 25 - 1;
  EXPECT_EQ(at[5], static_cast<uint8_t>((repeats & 0x7F) | 0x80));
  EXPECT_EQ(at[6], static_cast<uint8_t>(repeats >> 7));

  Page back;
  const PageDecodeResult d = DecodePage(stored, &back);
  ASSERT_TRUE(d.ok()) << d.error;
  EXPECT_EQ(d.prefix.stored_length, r.stored_length);
  EXPECT_EQ(d.prefix.unpacked_length, r.unpacked_length);
  ExpectSamePage(page, back);
}

// The worked example of docs/kestrune-format.md: the document shows exactly these bytes.
TEST(PageCodecTest, WorkedExampleOfTheFormatDocument) {
  Page page;
  const auto add = [&](const V& key, const V& data) {
    page.Insert(page.LowerBound(key), key, data);
  };
  V k, d;
  NameDirectoryKey("NOTES", &k);
  NumberData(1, &d);
  add(k, d);
  CounterKey(1, kDataCounter, &k);
  CounterData({2, 0}, &d);
  add(k, d);
  DataKey(1, 2, &k);
  add(k, NoteRecord("Buy milk", "Two litres."));
  DataKey(1, 3, &k);
  add(k, NoteRecord("Call the dentist", ""));
  KeyEntryKey(1, 0, B("BUY"), Duplicates::kDup, 2, &k);
  NumberData(2, &d);
  add(k, d);
  V stored;
  const PageEncodeResult r = EncodePage(page, 4, &stored);
  ASSERT_TRUE(r.ok());
  V want = {0x00, 0x06, 0x00, 0x00, 0x89, 0x00, 0x4A, 0x28, 0x60, 0x28, 0x05, 0x00, 0x00, 0x05,
            0xC0, 0x10, 0x00, 0x0C, 0x00, 0x03, 0x20, 0x01, 0x00, 0x42, 0x55, 0x59, 0x00, 0x00,
            0x00, 0x02, 0x00, 0x00, 0x00, 0x02, 0xC4, 0x09, 0x14, 0x09, 0x00, 0xF3, 0x00, 0x00,
            0x00, 0x02, 0x42, 0x75, 0x79, 0x20, 0x6D, 0x69, 0x6C, 0x6B, 0x20, 0x33, 0x06, 0x00,
            0x0E, 0x03, 0xE8, 0x07, 0x00, 0x03, 0x0C, 0x54, 0x77, 0x6F, 0x20, 0x6C, 0x69, 0x74,
            0x72, 0x65, 0x73, 0x2E, 0x20, 0xAE, 0x27, 0x14, 0x00, 0x08, 0x03, 0x43, 0x61, 0x6C,
            0x6C, 0x20, 0x74, 0x68, 0x65, 0x20, 0x64, 0x65, 0x6E, 0x74, 0x69, 0x73, 0x74, 0x20,
            0x2B, 0x06, 0x00, 0x0E, 0x03, 0xE8, 0x07, 0x00, 0x03, 0x01, 0x20, 0xB9, 0x27, 0x0A,
            0x00, 0xC4, 0x0E, 0x00, 0x06, 0x00, 0xF6, 0xF3, 0x02, 0x00, 0x06, 0x0D, 0x80, 0x0A,
            0x00, 0xFE, 0x4E, 0x4F, 0x54, 0x45, 0x53, 0x00, 0x00, 0x00, 0x01};
  ASSERT_EQ(want.size(), 137u);
  want.resize(256, 0xB0);
  EXPECT_EQ(stored, want);
  EXPECT_EQ(BlocksFor(r.unpacked_length), 41u);
}

TEST(PageCodecTest, PackingOnlyWhenItSavesABlock) {
  // No run of four anywhere (a table number without zero bytes): stored as is.
  Page page;
  for (uint32_t i = 0; i < 30; ++i) {
    V k;
    DataKey(0x0A0B0C0D, 0x01020300 + i * 7, &k);
    page.Insert(i, k, B("abcabcabc"));
  }
  V stored;
  PageEncodeResult r = EncodePage(page, 1, &stored);
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(r.packed);
  EXPECT_EQ(r.stored_length, r.unpacked_length);

  // A run that packs, but not by a whole block: stored as is too.
  Page small;
  small.Insert(0, Key(1), B("zzzzzzzzzzzzzzzzzzzz"));
  r = EncodePage(small, 1, &stored);
  ASSERT_TRUE(r.ok());
  EXPECT_FALSE(r.packed);
  EXPECT_EQ(r.stored_length, r.unpacked_length);
  Page back;
  ASSERT_TRUE(DecodePage(stored, &back).ok());
  ExpectSamePage(small, back);
}

TEST(PageCodecTest, SharedPrefixIsCappedAt63) {
  Page page;
  const V key1(100, 'k');
  V key2 = key1;
  key2[99] = 'l';
  page.Insert(0, key1, {});
  page.Insert(1, key2, {});
  V stored;
  ASSERT_TRUE(EncodePage(page, 0, &stored, PackMode::kNeverPack).ok());
  const size_t second = 13 + 5 + 100;
  EXPECT_EQ(stored[second], 63) << "same lengths, prefix capped";
  EXPECT_EQ(stored[second + 1], 'k');
  Page back;
  ASSERT_TRUE(DecodePage(stored, &back).ok());
  ExpectSamePage(page, back);
}

TEST(PageCodecTest, OversizedPageIsRefused) {
  Page page;
  std::mt19937 rng(7);
  for (uint32_t i = 0; i < 3; ++i) {
    V data(5500);
    for (auto& b : data) b = static_cast<uint8_t>(rng());
    page.Insert(i, Key(i), data);
  }
  V stored;
  EXPECT_EQ(EncodePage(page, 0, &stored).error, kErrPageTooLarge);
}

TEST(PageCodecTest, DamagedPagesGiveTheirNumbers) {
  Page page;
  page.Insert(0, Key(2), B("AB"));
  page.Insert(1, Key(3), B("AC"));
  V stored;
  ASSERT_TRUE(EncodePage(page, 2, &stored).ok());
  Page back;
  {
    V bad = stored;
    bad[10] = 3;  // one entry more than the bytes hold
    EXPECT_EQ(DecodePage(bad, &back).error, kErrEntriesLength);
    EXPECT_TRUE(back.empty());
  }
  {
    V bad = stored;
    bad[10] = 1;  // one entry less: bytes left over
    EXPECT_EQ(DecodePage(bad, &back).error, kErrEntriesLength);
  }
  {
    V bad = stored;
    bad[29] = 0x3F;  // the second entry shares more than the first one holds
    EXPECT_EQ(DecodePage(bad, &back).error, kErrEntriesLength);
  }
  {
    V bad = stored;
    bad[13] = 0x80;  // first entry without its key length
    EXPECT_EQ(DecodePage(bad, &back).error, kErrEntriesLength);
  }
  {
    V bad = stored;
    bad[4] = 0x00, bad[5] = 0x3C;  // stored length of 60 blocks
    bad[6] = 0x00, bad[7] = 0x3C;
    EXPECT_EQ(DecodePage(bad, &back).error, kErrPageTooLarge);
  }
  EXPECT_EQ(DecodePage(V(stored.begin(), stored.begin() + 20), &back).error, kErrEntriesLength);
  EXPECT_EQ(DecodePage(V(5, 0), &back).error, kErrEntriesLength);

  // A packed page whose packed text overruns its unpacked length.
  Page notes;
  notes.Insert(0, Key(5), NoteRecord("x", "y"));
  ASSERT_TRUE(EncodePage(notes, 3, &stored).ok());
  V bad = stored;
  bad[6] = static_cast<uint8_t>(bad[6] - 1);  // unpacked length one short
  const int32_t e = DecodePage(bad, &back).error;
  EXPECT_TRUE(e == kErrUnpackLiteralOverrun || e == kErrUnpackRepeatOverrun) << e;
}

TEST(PageCodecTest, RandomPagesRoundTripAndSurviveDamage) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    const uint8_t level = round % 4 == 0 ? 1 : 0;
    Page page(level);
    std::set<V> keys;
    const size_t n = rng() % 60;
    while (keys.size() < n) {
      V k;
      DataKey(rng() % 3, rng() % 50, &k);
      k.resize(k.size() + rng() % 6, static_cast<uint8_t>(rng() % 3));
      keys.insert(k);
    }
    for (const V& k : keys) {
      V data(rng() % 120, static_cast<uint8_t>(rng() % 2 ? ' ' : rng()));
      for (size_t j = 0; j < data.size(); j += 1 + rng() % 10)
        data[j] = static_cast<uint8_t>(rng());
      page.Insert(page.count(), k, data, static_cast<uint32_t>(rng()));
    }
    V stored;
    const PageEncodeResult r = EncodePage(page, round, &stored);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_LE(r.unpacked_length, page.size_account());
    Page back;
    ASSERT_TRUE(DecodePage(stored, &back).ok()) << "round " << round;
    ExpectSamePage(page, back);
    // Damage must give an error or some page, never a read out of bounds.
    for (int k = 0; k < 20; ++k) {
      V bad = stored;
      bad[rng() % std::min<size_t>(bad.size(), r.stored_length + 1)] = static_cast<uint8_t>(rng());
      (void)DecodePage(bad, &back);
      (void)DecodePage(V(stored.begin(), stored.begin() + rng() % stored.size()), &back);
    }
  }
}

TEST(PageTest, KeepsOrderAccountAndSplitRule) {
  Page page;
  EXPECT_EQ(page.size_account(), kPagePrefixSize);
  for (uint32_t i : {5u, 1u, 9u, 3u}) page.Insert(page.LowerBound(Key(i)), Key(i), B("data"));
  ASSERT_EQ(page.count(), 4u);
  for (size_t i = 1; i < page.count(); ++i) EXPECT_LT(CompareKeys(page.Key(i - 1), page.Key(i)), 0);
  size_t at = 0;
  EXPECT_TRUE(page.Find(Key(9), &at));
  EXPECT_EQ(at, 3u);
  EXPECT_FALSE(page.Find(Key(4), &at));
  EXPECT_EQ(page.UpperBound(Key(3)), 2u);
  EXPECT_EQ(page.size_account(), 13u + 4 * (5 + 13));

  page.ReplaceData(1, B("longer data"));
  EXPECT_EQ(V(page.Data(1).begin(), page.Data(1).end()), B("longer data"));
  EXPECT_EQ(page.size_account(), 13u + 3 * 18 + (5 + 9 + 11));
  page.Erase(0);
  EXPECT_EQ(page.size_account(), 13u + 2 * 18 + (5 + 9 + 11));

  // The split rule: 21 entries once the account reaches 4097, or 15095 whatever the count.
  Page many;
  const V data(200, 'd');
  while (many.count() < 20)
    many.Insert(many.count(), Key(static_cast<uint32_t>(many.count())), data);
  EXPECT_GE(many.size_account(), 4097u);
  EXPECT_FALSE(many.NeedsSplit());
  many.Insert(many.count(), Key(100), data);
  EXPECT_TRUE(many.NeedsSplit());
  Page big;
  big.Insert(0, Key(1), V(7500, 'a'));
  EXPECT_FALSE(big.NeedsSplit());
  big.Insert(1, Key(2), V(7570, 'b'));
  EXPECT_TRUE(big.NeedsSplit());

  Page right;
  const size_t before = many.size_account();
  many.MoveTailTo(many.count() / 2, &right);
  EXPECT_EQ(many.count() + right.count(), 21u);
  EXPECT_EQ(many.size_account() + right.size_account() - kPagePrefixSize, before);
  EXPECT_EQ(V(right.Key(0).begin(), right.Key(0).end()), Key(10));
}

TEST(PageTest, EntryBeyondItsLengthFieldStopsInsteadOfBeingCut) {
  const runtime::HaltHook previous = runtime::SetHaltHook(runtime::HaltHookThrows());
  Page page;
  try {
    page.Insert(0, Key(1), V(0x10000, 'x'));
    ADD_FAILURE() << "an entry of 65545 bytes was taken";
  } catch (const runtime::HaltException& stop) {
    EXPECT_NE(stop.text.find("(1678)"), std::string::npos) << stop.text;
  }
  runtime::SetHaltHook(previous);
  EXPECT_TRUE(page.empty());
}

TEST(PageTest, ManyRewritesKeepEntriesIntact) {
  // Rewriting entries leaves garbage in the arena; compaction must keep every entry whole.
  Page page;
  for (uint32_t i = 0; i < 40; ++i) page.Insert(i, Key(i), V(100, static_cast<uint8_t>(i)));
  for (int round = 0; round < 50; ++round) {
    for (uint32_t i = 0; i < 40; ++i) {
      page.ReplaceData(i, V(100 + round % 3, static_cast<uint8_t>(i + round)));
    }
  }
  page.Replace(3, page.Key(3), page.Data(4));  // from its own arena
  for (uint32_t i = 0; i < 40; ++i) {
    EXPECT_EQ(V(page.Key(i).begin(), page.Key(i).end()), Key(i));
    const uint8_t want = static_cast<uint8_t>((i == 3 ? 4 : i) + 49);
    for (uint8_t b : page.Data(i)) ASSERT_EQ(b, want) << i;
  }
}

TEST(PageTest, KeyOrderIsBytewiseUnsignedThenShorterFirst) {
  EXPECT_LT(CompareKeys(B("ab"), B("abc")), 0);
  EXPECT_GT(CompareKeys(V{0x80}, V{0x7F, 0xFF}), 0);
  EXPECT_EQ(CompareKeys(B("abc"), B("abc")), 0);
  EXPECT_LT(CompareKeys({}, B("a")), 0);
}

}  // namespace
}  // namespace pellucor::data::kestrune

namespace pellucor::data::kestrune {
namespace {

// One entry found on the stored page without building it: the same data as the full decode
// gives, for every key of random leaves (packed and not, with shared prefixes and long blank
// runs), absent keys absent, and a short buffer filled as far as it goes.
TEST(PageCodecTest, EntriesFoundInStoredLeavesMatchTheDecodedPage) {
  std::mt19937 rng(5);
  for (int round = 0; round < 150; ++round) {
    Page page(0);
    std::set<V> keys;
    const size_t n = 1 + rng() % 40;
    while (keys.size() < n) {
      V k;
      DataKey(1, rng() % 400, &k);
      k.resize(k.size() + rng() % 70, static_cast<uint8_t>('a' + rng() % 2));
      keys.insert(k);
    }
    for (const V& k : keys) {
      V data(rng() % 300, ' ');
      for (size_t j = 0; j < data.size(); j += 1 + rng() % 40)
        data[j] = static_cast<uint8_t>(rng());
      page.Insert(page.count(), k, data);
    }
    V stored;
    ASSERT_TRUE(EncodePage(page, 1, &stored,
                           round % 3 == 0 ? PackMode::kNeverPack : PackMode::kPackWhenSmaller)
                    .ok());
    for (size_t i = 0; i < page.count(); ++i) {
      const auto key = page.Key(i);
      const auto want = page.Data(i);
      V out(400, 0xEE);
      size_t length = 0;
      ASSERT_EQ(FindInStoredLeaf(stored, key, out, &length), StoredLookup::kFound)
          << "round " << round << " entry " << i;
      ASSERT_EQ(length, want.size());
      EXPECT_TRUE(std::equal(want.begin(), want.end(), out.begin())) << round << " " << i;
      EXPECT_EQ(out[want.size()], 0xEE);  // nothing written past the data
      V small(7, 0);
      ASSERT_EQ(FindInStoredLeaf(stored, key, small, &length), StoredLookup::kFound);
      EXPECT_TRUE(std::equal(small.begin(), small.begin() + std::min<size_t>(7, want.size()),
                             want.begin()));
    }
    V absent;
    DataKey(1, 999, &absent);
    size_t length = 0;
    V out(10);
    EXPECT_EQ(FindInStoredLeaf(stored, absent, out, &length), StoredLookup::kAbsent);
    // Damage never reads out of bounds; whatever it gives, it gives without a crash.
    for (int k = 0; k < 20; ++k) {
      V bad = stored;
      bad[13 + rng() % (bad.size() - 13)] = static_cast<uint8_t>(rng());
      (void)FindInStoredLeaf(bad, page.Key(rng() % page.count()), out, &length);
    }
  }
  // Inner pages are left to the full decode.
  Page inner(1);
  inner.Insert(0, Key(1), {}, 7);
  V stored;
  ASSERT_TRUE(EncodePage(inner, 0, &stored).ok());
  size_t length = 0;
  V out(4);
  EXPECT_EQ(FindInStoredLeaf(stored, Key(1), out, &length), StoredLookup::kUnreadable);
}

}  // namespace
}  // namespace pellucor::data::kestrune
