#include "core/lklists.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

namespace {

constexpr Integer kMaxInteger = std::numeric_limits<Integer>::max();

[[noreturn]] void RaiseListIndex(Integer Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

// Bytes a stream still holds after its position, or -1 when it cannot tell.
Int64 BytesLeft(TStream* Stream) {
  const Int64 size = Stream->GetSize();
  const Int64 pos = Stream->GetPosition();
  if (size < 0 || pos < 0) return -1;
  return std::max<Int64>(size - pos, 0);
}

void WriteInt32LE(TStream* Stream, Integer Value) {
  const auto u = static_cast<std::uint32_t>(Value);
  const Byte bytes[4] = {static_cast<Byte>(u), static_cast<Byte>(u >> 8), static_cast<Byte>(u >> 16),
                         static_cast<Byte>(u >> 24)};
  Stream->WriteBuffer(bytes, 4);
}

Integer ReadInt32LE(TStream* Stream) {
  Byte bytes[4];
  Stream->ReadBuffer(bytes, 4);
  return static_cast<Integer>(std::uint32_t{bytes[0]} | (std::uint32_t{bytes[1]} << 8) |
                              (std::uint32_t{bytes[2]} << 16) | (std::uint32_t{bytes[3]} << 24));
}

// Reads one length-prefixed string. The length is checked against what the
// stream still holds, and the bytes arrive in bounded chunks, so a corrupt
// length in a stream that cannot tell its size still allocates no more
// than what actually arrives.
String ReadLengthPrefixed(TStream* Stream) {
  const Integer len = ReadInt32LE(Stream);
  if (len < 0) throw EReadError("Invalid string length " + std::to_string(len) + " in stream");
  const Int64 left = BytesLeft(Stream);
  if (left >= 0 && len > left)
    throw EReadError("String length " + std::to_string(len) + " exceeds the " + std::to_string(left) +
                     " bytes left in the stream");
  String s;
  constexpr Integer kChunk = 1 << 20;
  for (Integer done = 0; done < len;) {
    const Integer n = std::min(kChunk, len - done);
    s.resize(static_cast<std::size_t>(done) + static_cast<std::size_t>(n));
    Stream->ReadBuffer(s.data() + done, n);
    done += n;
  }
  return s;
}

}  // namespace

// ---------------------------------------------------------------------------
// TLKList

void TLKList::CheckIndex(Integer Index) const {
  if (Index < 0 || Index >= FCount) RaiseListIndex(Index);
}

void TLKList::SetCount(Integer N) {
  if (N < 0) throw EListError("List count out of bounds (" + std::to_string(N) + ")");
  FItems.resize(static_cast<std::size_t>(N) * static_cast<std::size_t>(FItemSize));
  FCount = N;
  FChanges.Include(lklItems);
}

Integer TLKList::AddItem(const void* Item) {
  if (FCount == kMaxInteger) throw EListError("List capacity out of bounds");
  SetCount(FCount + 1);
  const Integer index = FCount - 1;
  if (FItemSize > 0) std::memcpy(BaseGetItem(index), Item, static_cast<std::size_t>(FItemSize));
  FChanges.Include(lklItems);
  return index;
}

void TLKList::InsertItem(Integer Index, const void* Item) {
  if (Index < 0) RaiseListIndex(Index);
  if (Index >= FCount) {
    AddItem(Item);
    return;
  }
  const auto size = static_cast<std::size_t>(FItemSize);
  const auto at = FItems.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(Index) * size);
  const auto* bytes = static_cast<const Byte*>(Item);
  FItems.insert(at, bytes, bytes + size);
  ++FCount;
  FChanges.Include(lklItems);
}

void TLKList::Delete(Integer Index) {
  if (Index < 0 || Index >= FCount) return;
  const auto size = static_cast<std::size_t>(FItemSize);
  const auto at = FItems.begin() + static_cast<std::ptrdiff_t>(static_cast<std::size_t>(Index) * size);
  FItems.erase(at, at + static_cast<std::ptrdiff_t>(size));
  --FCount;
  FChanges.Include(lklItems);
}

Integer TLKList::IndexOfItem(const void* Item) const {
  const auto size = static_cast<std::size_t>(FItemSize);
  for (Integer i = 0; i < FCount; ++i)
    if (std::memcmp(FItems.data() + static_cast<std::size_t>(i) * size, Item, size) == 0) return i;
  return -1;
}

void* TLKList::BaseGetItem(Integer Index) {
  CheckIndex(Index);
  return FItems.data() + static_cast<std::size_t>(Index) * static_cast<std::size_t>(FItemSize);
}

const void* TLKList::BaseGetItem(Integer Index) const {
  CheckIndex(Index);
  return FItems.data() + static_cast<std::size_t>(Index) * static_cast<std::size_t>(FItemSize);
}

void TLKList::BaseSetItem(Integer Index, const void* Item) {
  if (Index < 0 || Index >= FCount) return;
  if (FItemSize > 0) std::memcpy(BaseGetItem(Index), Item, static_cast<std::size_t>(FItemSize));
  FChanges.Include(lklItems);
}

void TLKList::Clear() {
  FCount = 0;
  FItems.clear();
  FItems.shrink_to_fit();
  FChanges = TLKListChanges();
}

void TLKList::Assign(const TLKList* Source) {
  if (Source == nullptr || Source == this) return;
  FCount = Source->FCount;
  FItemSize = Source->FItemSize;
  FChanges = Source->FChanges;
  FItems = Source->FItems;
}

// ---------------------------------------------------------------------------
// TLKRangeList

template <typename T>
T TLKRangeList<T>::GetItem(Integer Index) const {
  T value;
  std::memcpy(&value, BaseGetItem(Index), sizeof(T));
  return value;
}

template <typename T>
void TLKRangeList<T>::SetRangeMin(T Value) {
  FRangeMin = Value;
  FChanges.Include(lklRange);
}

template <typename T>
void TLKRangeList<T>::SetRangeMax(T Value) {
  FRangeMax = Value;
  FChanges.Include(lklRange);
}

template <typename T>
void TLKRangeList<T>::SetRangeStep(T Value) {
  FRangeStep = Value;
  FChanges.Include(lklRange);
}

template <typename T>
void TLKRangeList<T>::SetCurrentValue(T Value) {
  FCurrentValue = Value;
  FChanges.Include(lklCurrentValue);
}

template <typename T>
void TLKRangeList<T>::Clear() {
  TLKList::Clear();
  FItemSize = sizeof(T);
  FRangeMin = FRangeMax = FRangeStep = FCurrentValue = T{};
}

template <typename T>
void TLKRangeList<T>::Assign(const TLKList* Source) {
  if (Source == nullptr || Source == this) return;
  TLKList::Assign(Source);
  const auto* src = dynamic_cast<const TLKRangeList<T>*>(Source);
  if (src == nullptr || typeid(*src) != typeid(*this)) throw EConvertError("Invalid class typecast");
  FRangeMin = src->FRangeMin;
  FRangeMax = src->FRangeMax;
  FRangeStep = src->FRangeStep;
  FCurrentValue = src->FCurrentValue;
}

template class TLKRangeList<double>;
template class TLKRangeList<Integer>;

// ---------------------------------------------------------------------------
// TLKRecordList

TLKRecordList::TLKRecordList(Integer ItemSize) {
  if (ItemSize < 0) throw EListError("Invalid record size (" + std::to_string(ItemSize) + ")");
  FItemSize = ItemSize;
}

// ---------------------------------------------------------------------------
// TLKByteArray

TLKByteArray::TLKByteArray() { Clear(); }

void TLKByteArray::Reallocate(Integer NewCapacity, Integer Keep) {
  std::unique_ptr<Byte[]> block;
  try {
    block = std::make_unique<Byte[]>(static_cast<std::size_t>(NewCapacity));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
  if (Keep > 0) std::memcpy(block.get(), FData.get(), static_cast<std::size_t>(Keep));
  FData = std::move(block);
  FCapacity = NewCapacity;
}

void TLKByteArray::SetSize(Integer N) {
  if (N < 0) throw EListError("Byte array size out of bounds (" + std::to_string(N) + ")");
  if (N > kMaxInteger - FStep) throw EOutOfMemory("Out of memory");
  if (N > FSize) {
    if (N > FCapacity) Reallocate(N + FStep, FSize);
    // Bytes past the old length may hold data of an earlier, longer length.
    std::memset(FData.get() + FSize, 0, static_cast<std::size_t>(N - FSize));
  } else if (N < FCapacity - FStep) {
    Reallocate(N + FStep, N);
  }
  FSize = N;
}

void TLKByteArray::AddByte(Byte B) {
  SetSize(FSize + 1);
  FData[static_cast<std::size_t>(FSize) - 1] = B;
}

Integer TLKByteArray::AppendFromStream(TStream* Stream, Integer N) {
  if (Stream == nullptr || N <= 0) return 0;
  // Grow only by what the stream can still deliver.
  const Int64 left = BytesLeft(Stream);
  if (left >= 0) N = static_cast<Integer>(std::min<Int64>(N, left));
  if (N == 0) return 0;
  const Integer old = FSize;
  SetSize(static_cast<Integer>(std::min<Int64>(Int64{old} + N, kMaxInteger - FStep)));
  const Integer room = FSize - old;
  Integer got = 0;
  while (got < room) {
    const Integer n = Stream->Read(FData.get() + old + got, room - got);
    if (n <= 0) break;
    got += std::min(n, room - got);
  }
  if (got < room) SetSize(old + got);
  return got;
}

void TLKByteArray::Clear() {
  FData.reset();
  FSize = 0;
  Reallocate(FStep, 0);
}

// ---------------------------------------------------------------------------
// String stream form

void SaveStringToStream(TStream* Stream, const String& S) {
  if (S.size() > static_cast<std::size_t>(kMaxInteger))
    throw EWriteError("String too long for the stream form");
  WriteInt32LE(Stream, static_cast<Integer>(S.size()));
  if (!S.empty()) Stream->WriteBuffer(S.data(), static_cast<Int64>(S.size()));
}

void LoadStringFromStream(TStream* Stream, String& S) { S = ReadLengthPrefixed(Stream); }

void SaveStringListToStream(TStream* Stream, const TStrings* List) {
  const Integer count = List != nullptr ? List->Count() : 0;
  WriteInt32LE(Stream, count);
  for (Integer i = 0; i < count; ++i) SaveStringToStream(Stream, List->Strings(i));
}

void LoadStringListFromStream(TStream* Stream, TStrings* List) {
  const Integer count = ReadInt32LE(Stream);
  if (count < 0) throw EReadError("Invalid string count " + std::to_string(count) + " in stream");
  // Every string takes at least its 4-byte length.
  const Int64 left = BytesLeft(Stream);
  if (left >= 0 && Int64{count} * 4 > left)
    throw EReadError("String count " + std::to_string(count) + " exceeds what the " +
                     std::to_string(left) + " bytes left in the stream can hold");
  std::vector<String> strings;
  if (left >= 0) strings.reserve(static_cast<std::size_t>(count));
  for (Integer i = 0; i < count; ++i) strings.push_back(ReadLengthPrefixed(Stream));
  if (List == nullptr) return;
  List->Clear();
  for (const String& s : strings) List->Add(s);
}

// ---------------------------------------------------------------------------
// TNulStream

Integer TNulStream::Read(void*, Integer Count) {
  if (Count < 0) return 0;
  Int64 next;
  if (__builtin_add_overflow(FPosition, Int64{Count}, &next)) return 0;
  FPosition = next;
  if (FPosition >= FSize) FSize = FPosition;
  return Count;
}

Integer TNulStream::Write(const void* Buffer, Integer Count) {
  return Read(const_cast<void*>(Buffer), Count);
}

Int64 TNulStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  Int64 next;
  switch (Origin) {
    case soBeginning:
      FPosition = Offset;
      break;
    case soCurrent:
      if (__builtin_add_overflow(FPosition, Offset, &next)) return -1;
      FPosition = next;
      break;
    case soEnd:
      if (__builtin_sub_overflow(FSize, Offset, &next)) return -1;
      FPosition = next;
      return FPosition;
    default:
      return FPosition;
  }
  if (FPosition >= FSize) FSize = FPosition;
  return FPosition;
}

// ---------------------------------------------------------------------------
// TLKMemStream

TLKMemStream::TLKMemStream(const void* Buffer, Int64 Size) {
  if (Buffer != nullptr && Size > 0) SetPointer(const_cast<void*>(Buffer), Size);
}

void TLKMemStream::SetSize(Int64) {}

Integer TLKMemStream::Write(const void*, Integer) { return 0; }
