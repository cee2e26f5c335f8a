#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <vector>

#include "core/lkhash.h"

namespace {

void* Tag(std::intptr_t v) { return reinterpret_cast<void*>(v); }
std::intptr_t Untag(void* p) { return reinterpret_cast<std::intptr_t>(p); }

// Inserts each key with its own value (key + 1000) and returns the values in
// iteration order.
std::vector<std::intptr_t> IterationOrder(THash1& hash) {
  std::vector<std::intptr_t> order;
  for (bool more = hash.IterateBegin(); more; more = hash.IterateNext()) order.push_back(Untag(hash.IterateGetValue()));
  return order;
}

void InsertWithValue(THash1& hash, Integer key) {
  Integer bucket;
  THash1Item* item;
  ASSERT_TRUE(hash.Insert2(key, bucket, item));
  hash.SetValue(bucket, item, Tag(key + 1000));
}

TEST(THash1, KeysSharingLowBitsChainInInsertionOrder) {
  THash1 hash(4);
  EXPECT_EQ(hash.GetSize(), 16);
  EXPECT_EQ(hash.HashFunc(19), 3);
  InsertWithValue(hash, 5);
  InsertWithValue(hash, 3);
  InsertWithValue(hash, 19);  // joins 3 in bucket 3, after it
  InsertWithValue(hash, 35);
  EXPECT_EQ(hash.GetCount(), 4);
  EXPECT_EQ(IterationOrder(hash), (std::vector<std::intptr_t>{1003, 1019, 1035, 1005}));
  for (Integer k : {3, 5, 19, 35}) EXPECT_TRUE(hash.KeyPresent(k)) << k;
  for (Integer k : {51, 4, -13}) EXPECT_FALSE(hash.KeyPresent(k)) << k;
}

TEST(THash1, ValueOfTheFirstKeyMovesIntoTheChain) {
  THash1 hash(4);
  Integer bucket;
  THash1Item* item;
  ASSERT_TRUE(hash.Insert2(3, bucket, item));
  EXPECT_EQ(bucket, 3);
  EXPECT_EQ(item, nullptr);  // held by the bucket itself
  hash.SetValue(bucket, item, Tag(7));
  ASSERT_TRUE(hash.Insert2(19, bucket, item));
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->key, 19);
  hash.SetValue(bucket, item, Tag(8));
  // The first key kept its value when it moved to the chain head.
  EXPECT_EQ(IterationOrder(hash), (std::vector<std::intptr_t>{7, 8}));
}

TEST(THash1, PresentKeyIsNotInsertedAgainAndReportsWhereItSits) {
  THash1 hash(4);
  InsertWithValue(hash, 3);
  InsertWithValue(hash, 19);
  Integer bucket = -1;
  THash1Item* item = nullptr;
  EXPECT_FALSE(hash.Insert2(19, bucket, item));
  EXPECT_EQ(Untag(hash.GetValue(bucket, item)), 1019);
  EXPECT_FALSE(hash.Insert2(3, bucket, item));
  EXPECT_EQ(Untag(hash.GetValue(bucket, item)), 1003);
  EXPECT_FALSE(hash.Insert(3));
  EXPECT_EQ(hash.GetCount(), 2);
}

TEST(THash1, EmptySetAndBadPositions) {
  THash1 hash(13);
  EXPECT_FALSE(hash.IterateBegin());
  EXPECT_FALSE(hash.IterateNext());
  EXPECT_EQ(hash.IterateGetValue(), nullptr);
  hash.SetValue(-1, nullptr, Tag(1));  // ignored, no write outside the table
  hash.SetValue(1 << 13, nullptr, Tag(1));
  EXPECT_EQ(hash.GetValue(1 << 13, nullptr), nullptr);
  EXPECT_EQ(hash.GetCount(), 0);
  THash1 tiny(-3);  // a negative size request gives one bucket
  EXPECT_EQ(tiny.GetSize(), 1);
  EXPECT_TRUE(tiny.Insert(-5));
  EXPECT_TRUE(tiny.Insert(7));
  EXPECT_TRUE(tiny.KeyPresent(-5));
  EXPECT_EQ(tiny.GetCount(), 2);
}

// Colour keys (24-bit, as the counting routines use them) and negative
// keys against a reference set: every key is found once, in bucket order,
// with its own value, and iteration stops at the end.
TEST(THash1, MatchesAReferenceSet) {
  std::mt19937 rng(42);
  THash1 hash(8);
  std::map<Integer, std::vector<Integer>> byBucket;  // keys per bucket in insertion order
  std::set<Integer> keys;
  for (int i = 0; i < 5000; ++i) {
    const Integer key = i % 5 == 0 ? -static_cast<Integer>(rng() % 100000) : static_cast<Integer>(rng() & 0xFFFFFF);
    Integer bucket;
    THash1Item* item;
    const bool added = hash.Insert2(key, bucket, item);
    EXPECT_EQ(added, keys.insert(key).second);
    EXPECT_EQ(bucket, key & 255);
    if (added) {
      hash.SetValue(bucket, item, Tag(key));
      byBucket[key & 255].push_back(key);
    }
  }
  EXPECT_EQ(hash.GetCount(), static_cast<Integer>(keys.size()));
  std::vector<std::intptr_t> expected;
  for (const auto& [b, list] : byBucket)
    for (Integer k : list) expected.push_back(k);
  EXPECT_EQ(IterationOrder(hash), expected);
  EXPECT_FALSE(hash.IterateNext());
}

}  // namespace
