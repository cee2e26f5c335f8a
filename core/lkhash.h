// A small set of 32-bit integer keys with one pointer value per key, used by
// the colour-counting and palette routines. Keys are placed by their low
// bits; a bucket holds one key itself and turns into a chain of items when a
// second key arrives. Keys are never removed.
#pragma once

#include <vector>

#include "core/hylkdefs.h"

/// One key of a THash1 chain, with its value and the next item of the chain.
class THash1Item : public TObject {
 public:
  Integer key = 0;
  THash1Item* next = nullptr;
  void* value = nullptr;
};

/// Integer hash set of 2^bits buckets. A bucket is empty, holds one key (and
/// its value) itself, or heads a chain of THash1Item in insertion order.
/// Iteration visits buckets in index order and each chain from its head.
class THash1 : public TObject {
 public:
  /// 2^bits empty buckets (bits limited to 0..24), count 0.
  explicit THash1(Integer bits);
  /// Frees every chain item.
  ~THash1() override;

  /// Bucket of a key: its low `bits` bits.
  Integer HashFunc(Integer key) const { return key & (size_ - 1); }

  /// Stores the key unless it is present. Returns true when it was stored.
  /// Either way `bucket` and `item` give where the key now sits: the bucket
  /// index and the chain item that holds it (nil when the bucket holds the
  /// key itself), for SetValue and GetValue.
  bool Insert2(Integer key, Integer& bucket, THash1Item*& item);
  /// Insert2 without the position.
  bool Insert(Integer key);
  /// True when the key is stored.
  bool KeyPresent(Integer key) const;

  /// Sets the value of `item` when given, else of bucket `bucket`. A bucket
  /// index outside the table is ignored.
  void SetValue(Integer bucket, THash1Item* item, void* value);
  /// The value of `item` when given, else of bucket `bucket`; nil for a
  /// bucket index outside the table.
  void* GetValue(Integer bucket, THash1Item* item) const;

  /// Restarts the iteration at the first key; false when the set is empty.
  bool IterateBegin();
  /// Moves to the next key (rest of the current chain, then the next
  /// non-empty bucket); false at the end.
  bool IterateNext();
  /// The value at the iteration position; nil before IterateBegin or after
  /// the end.
  void* IterateGetValue() const;

  /// Number of keys stored.
  Integer GetCount() const { return count_; }
  /// Number of buckets (2^bits).
  Integer GetSize() const { return size_; }

 private:
  enum : Byte { kEmpty = 0, kSingle = 1, kChain = 2 };
  // Per bucket: the key (state kSingle), the chain head (state kChain), the
  // state, and the value of a key held in the bucket itself.
  std::vector<Integer> keys_;
  std::vector<THash1Item*> heads_;
  std::vector<Byte> states_;
  std::vector<void*> values_;
  Integer bits_ = 0;
  Integer size_ = 1;
  Integer iterBucket_ = -1;
  THash1Item* iterItem_ = nullptr;
  Integer count_ = 0;

  // Moves the iteration to the first key at or after bucket b.
  bool SeekBucket(Integer b);
};
