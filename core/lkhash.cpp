#include "core/lkhash.h"

THash1::THash1(Integer bits) {
  // 2^24 buckets already take well over 100 MB; larger requests are capped
  // rather than allowed to overflow the size.
  bits_ = bits < 0 ? 0 : (bits > 24 ? 24 : bits);
  size_ = Integer{1} << bits_;
  keys_.assign(size_, 0);
  heads_.assign(size_, nullptr);
  states_.assign(size_, kEmpty);
  values_.assign(size_, nullptr);
}

THash1::~THash1() {
  for (THash1Item* item : heads_) {
    while (item) {
      THash1Item* next = item->next;
      delete item;
      item = next;
    }
  }
}

bool THash1::Insert2(Integer key, Integer& bucket, THash1Item*& item) {
  const Integer b = HashFunc(key);
  bucket = b;
  item = nullptr;
  switch (states_[b]) {
    case kEmpty:
      keys_[b] = key;
      values_[b] = nullptr;
      states_[b] = kSingle;
      ++count_;
      return true;
    case kSingle: {
      if (keys_[b] == key) return false;
      // The key already in the bucket moves, with its value, to the head
      // of a new chain; the new key follows it.
      auto* first = new THash1Item;
      first->key = keys_[b];
      first->value = values_[b];
      auto* second = new THash1Item;
      second->key = key;
      first->next = second;
      heads_[b] = first;
      values_[b] = nullptr;
      states_[b] = kChain;
      item = second;
      ++count_;
      return true;
    }
    default: {
      THash1Item* p = heads_[b];
      for (;;) {
        if (p->key == key) {
          item = p;
          return false;
        }
        if (!p->next) break;
        p = p->next;
      }
      auto* added = new THash1Item;
      added->key = key;
      p->next = added;
      item = added;
      ++count_;
      return true;
    }
  }
}

bool THash1::Insert(Integer key) {
  Integer bucket;
  THash1Item* item;
  return Insert2(key, bucket, item);
}

bool THash1::KeyPresent(Integer key) const {
  const Integer b = HashFunc(key);
  if (states_[b] == kSingle) return keys_[b] == key;
  if (states_[b] == kChain)
    for (const THash1Item* p = heads_[b]; p; p = p->next)
      if (p->key == key) return true;
  return false;
}

void THash1::SetValue(Integer bucket, THash1Item* item, void* value) {
  if (item) {
    item->value = value;
  } else if (bucket >= 0 && bucket < size_) {
    values_[bucket] = value;
  }
}

void* THash1::GetValue(Integer bucket, THash1Item* item) const {
  if (item) return item->value;
  if (bucket >= 0 && bucket < size_) return values_[bucket];
  return nullptr;
}

bool THash1::SeekBucket(Integer b) {
  for (; b < size_; ++b) {
    if (states_[b] != kEmpty) {
      iterBucket_ = b;
      iterItem_ = states_[b] == kChain ? heads_[b] : nullptr;
      return true;
    }
  }
  iterBucket_ = size_;
  iterItem_ = nullptr;
  return false;
}

bool THash1::IterateBegin() { return SeekBucket(0); }

bool THash1::IterateNext() {
  if (iterBucket_ < 0 || iterBucket_ >= size_) return false;
  if (iterItem_ && iterItem_->next) {
    iterItem_ = iterItem_->next;
    return true;
  }
  return SeekBucket(iterBucket_ + 1);
}

void* THash1::IterateGetValue() const {
  if (iterBucket_ < 0 || iterBucket_ >= size_) return nullptr;
  return iterItem_ ? iterItem_->value : values_[iterBucket_];
}
