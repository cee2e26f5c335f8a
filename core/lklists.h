// Small containers and streams shared across the library: the value lists
// with a record of what changed (the scanner parameters keep capability
// values in them, the magic wand collects points), a growable byte array,
// the length-prefixed string and string-list stream form, a stream that
// only counts, and a read-only stream over a caller's memory block.
#pragma once

#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// What changed in a list since it was last cleared.
enum TLKListChange : Byte {
  lklItems = 0,         ///< the items or their number
  lklRange = 1,         ///< the range minimum, maximum or step
  lklCurrentValue = 2,  ///< the current value
};
/// A set of TLKListChange (one byte; bit n stands for ordinal n).
using TLKListChanges = TLKSet<TLKListChange>;

/// A contiguous array of fixed-size items with a record of what changed.
/// Every change of the items or their number adds lklItems, whether or not
/// a value differs; only Clear empties the record.
class TLKList : public TObject {
 public:
  /// An empty list with item size 0 and no changes.
  TLKList() = default;
  ~TLKList() override = default;

  /// Resizes the list to N items, keeping the first min(count, N); new
  /// items are zero. Adds lklItems. Raises EListError for N < 0.
  virtual void SetCount(Integer N);
  /// Appends a copy of the item (item size bytes); returns its index.
  Integer AddItem(const void* Item);
  /// Inserts a copy of the item before Index; at or beyond the count the
  /// same as AddItem. Raises EListError for Index < 0.
  void InsertItem(Integer Index, const void* Item);
  /// Removes the item at Index; ignored outside 0 .. count - 1.
  virtual void Delete(Integer Index);
  /// Index of the first item whose bytes equal those of Item, -1 if none.
  Integer IndexOfItem(const void* Item) const;
  /// Address of the item at Index inside the array; EListError outside
  /// 0 .. count - 1. The address is valid until the next change of count.
  void* BaseGetItem(Integer Index);
  const void* BaseGetItem(Integer Index) const;
  /// Copies Item over the item at Index and adds lklItems; ignored outside
  /// 0 .. count - 1.
  void BaseSetItem(Integer Index, const void* Item);
  /// Count 0, no items, no changes; the item size stays.
  virtual void Clear();
  /// Takes the count, item size, changes and a copy of the items of Source
  /// (nothing when Source is null or this list).
  virtual void Assign(const TLKList* Source);

  Integer GetCount() const { return FCount; }
  Integer GetItemSize() const { return FItemSize; }
  TLKListChanges GetChanges() const { return FChanges; }
  /// Replaces the record of changes (a reader puts back what a caller had
  /// changed before it read the values anew).
  void SetChanges(TLKListChanges Value) { FChanges = Value; }

 protected:
  void CheckIndex(Integer Index) const;

  Integer FCount = 0;
  Integer FItemSize = 0;
  std::vector<Byte> FItems;
  TLKListChanges FChanges;
};

/// A list of values of type T with a range (minimum, maximum, step) and a
/// current value; the base of TLKDoubleList and TLKIntegerList.
template <typename T>
class TLKRangeList : public TLKList {
 public:
  /// Appends Value; returns its index.
  Integer Add(T Value) { return AddItem(&Value); }
  /// Inserts Value before Index (appends at or beyond the count).
  void Insert(Integer Index, T Value) { InsertItem(Index, &Value); }
  /// The value at Index; EListError outside 0 .. count - 1.
  T GetItem(Integer Index) const;
  /// Replaces the value at Index; ignored outside 0 .. count - 1.
  void SetItem(Integer Index, T Value) { BaseSetItem(Index, &Value); }
  /// Index of the first item with exactly the same bytes (so 0.0 and -0.0
  /// differ), -1 if none.
  Integer IndexOf(T Value) const { return IndexOfItem(&Value); }

  T GetRangeMin() const { return FRangeMin; }
  T GetRangeMax() const { return FRangeMax; }
  T GetRangeStep() const { return FRangeStep; }
  T GetCurrentValue() const { return FCurrentValue; }
  /// Each range setter stores the value and adds lklRange.
  void SetRangeMin(T Value);
  void SetRangeMax(T Value);
  void SetRangeStep(T Value);
  /// Stores the value and adds lklCurrentValue.
  void SetCurrentValue(T Value);

  /// The base Clear, then the item size of T and range and current value 0.
  void Clear() override;
  /// The base Assign, then the range and current value of Source, which
  /// must be a list of the same class: otherwise EConvertError "Invalid
  /// class typecast" is raised after the items were copied.
  void Assign(const TLKList* Source) override;

 protected:
  TLKRangeList() { TLKRangeList::Clear(); }

 private:
  T FRangeMin{}, FRangeMax{}, FRangeStep{}, FCurrentValue{};
};

/// A list of 8-byte reals with a range and a current value.
class TLKDoubleList : public TLKRangeList<double> {
 public:
  TLKDoubleList() = default;
};

/// A list of signed 32-bit integers with a range and a current value.
class TLKIntegerList : public TLKRangeList<Integer> {
 public:
  TLKIntegerList() = default;
};

/// A list of records of a size given at creation.
class TLKRecordList : public TLKList {
 public:
  /// An empty list of records of ItemSize bytes (EListError when negative).
  explicit TLKRecordList(Integer ItemSize);
  /// Address of the record at Index; EListError outside 0 .. count - 1.
  void* GetItem(Integer Index) { return BaseGetItem(Index); }
  /// Copies Record over the record at Index; ignored outside 0 .. count - 1.
  void SetItem(Integer Index, const void* Record) { BaseSetItem(Index, Record); }
  /// Appends a copy of Record; returns its index.
  Integer Add(const void* Record) { return AddItem(Record); }
  /// Inserts a copy of Record before Index (appends at or beyond the count).
  void Insert(Integer Index, const void* Record) { InsertItem(Index, Record); }
  /// Index of the first record with the same bytes, -1 if none.
  Integer IndexOf(const void* Record) const { return IndexOfItem(Record); }
};

/// A growable byte buffer that grows and shrinks in steps of 8192 bytes:
/// after a reallocation the block has one step of room beyond the length,
/// and it shrinks only when the length falls more than a step below the
/// capacity.
class TLKByteArray : public TObject {
 public:
  /// Length 0 in a block of one step.
  TLKByteArray();

  /// Sets the length to N (bytes beyond the old length are zero). Raises
  /// EListError for N < 0 and EOutOfMemory when the block cannot be had.
  void SetSize(Integer N);
  /// Appends one byte.
  void AddByte(Byte B);
  /// Appends up to N bytes read from Stream at its position; returns the
  /// number read (0 for N <= 0). Never grows beyond what the stream holds.
  Integer AppendFromStream(TStream* Stream, Integer N);
  /// Length 0 and a fresh block of one step.
  void Clear();

  Integer GetSize() const { return FSize; }
  Integer GetCapacity() const { return FCapacity; }
  Byte* GetData() { return FData.get(); }
  const Byte* GetData() const { return FData.get(); }

 private:
  void Reallocate(Integer NewCapacity, Integer Keep);

  Integer FSize = 0;
  Integer FCapacity = 0;
  Integer FStep = 8192;
  std::unique_ptr<Byte[]> FData;
};

/// Writes S as a signed 32-bit little-endian byte count followed by its
/// bytes. Raises EWriteError when the stream takes fewer bytes.
void SaveStringToStream(TStream* Stream, const String& S);
/// Reads a string written by SaveStringToStream into S. Raises EReadError
/// when the stream ends early or the count is negative or larger than what
/// the stream still holds; S is unchanged then.
void LoadStringFromStream(TStream* Stream, String& S);
/// Writes a signed 32-bit little-endian count, then every string by
/// SaveStringToStream, in list order.
void SaveStringListToStream(TStream* Stream, const TStrings* List);
/// Reads a list written by SaveStringListToStream: empties List and adds
/// the strings in order. Raises EReadError for a count or length that
/// cannot fit in what the stream still holds or a stream that ends early;
/// List is unchanged then.
void LoadStringListFromStream(TStream* Stream, TStrings* List);

/// A stream that stores nothing and only counts: reads and writes advance
/// the position and raise the size, so after a codec wrote into it its
/// size is the number of bytes the output would take. Seeking from the end
/// counts backwards: the new position is size - offset.
class TNulStream : public TStream {
 public:
  TNulStream() = default;
  /// Leaves Buffer untouched, advances the position by Count and raises the
  /// size to it; returns Count (0 for Count < 0).
  Integer Read(void* Buffer, Integer Count) override;
  /// As Read.
  Integer Write(const void* Buffer, Integer Count) override;
  /// From the beginning: Offset; from the current position: position +
  /// Offset (both raise the size to the position); from the end: size -
  /// Offset, leaving the size; any other origin changes nothing. Returns
  /// the position, or -1 (unchanged) when it would overflow.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;

 private:
  Int64 FPosition = 0;
  Int64 FSize = 0;
};

/// A read-only stream over a memory block that the caller owns and that
/// must outlive the stream. Reading and seeking work as for any memory
/// stream; writing and size changes do nothing.
class TLKMemStream : public TCustomMemoryStream {
 public:
  /// Shows Size bytes at Buffer (nothing for a null Buffer or Size < 0).
  TLKMemStream(const void* Buffer, Int64 Size);
  /// Does nothing.
  void SetSize(Int64 NewSize) override;
  /// Writes nothing; returns 0.
  Integer Write(const void* Buffer, Integer Count) override;
};
