#include "io/lkmarkers.h"

#include <algorithm>
#include <cstring>

namespace {

void WriteInt32(TStream* S, Integer V) { S->WriteBuffer(&V, 4); }

// Bytes left between the stream's position and its end.
Int64 Remaining(TStream* S) {
  const Int64 left = S->GetSize() - S->GetPosition();
  return left < 0 ? 0 : left;
}

Integer ReadInt32(TStream* S) {
  Integer v = 0;
  if (S->Read(&v, 4) != 4) throw EReadError("Stream read error");
  return v;
}

Byte ReadByte(TStream* S) {
  Byte v = 0;
  if (S->Read(&v, 1) != 1) throw EReadError("Stream read error");
  return v;
}

}  // namespace

// ---------------------------------------------------------------------------
// TLKMarkerList

std::unique_ptr<TMemoryStream> TLKMarkerList::MakePayload(const void* Data, Integer Length) {
  auto s = std::make_unique<TMemoryStream>();
  if (Length > 0 && Data != nullptr) s->WriteBuffer(Data, Length);
  s->SetPosition(0);
  return s;
}

const TLKMarkerList::Item& TLKMarkerList::At(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  return FItems[static_cast<std::size_t>(Index)];
}

Byte TLKMarkerList::GetMarkerType(Integer Index) const { return At(Index).Code; }

const Byte* TLKMarkerList::GetMarkerData(Integer Index) const {
  return static_cast<const Byte*>(At(Index).Data->GetMemory());
}

Integer TLKMarkerList::GetMarkerLength(Integer Index) const {
  return static_cast<Integer>(At(Index).Data->GetSize());
}

TMemoryStream* TLKMarkerList::GetMarkerStream(Integer Index) {
  TMemoryStream* s = At(Index).Data.get();
  s->SetPosition(0);
  return s;
}

Integer TLKMarkerList::IndexOf(Byte Code) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].Code == Code) return static_cast<Integer>(i);
  return -1;
}

Integer TLKMarkerList::AddMarker(Byte Code, const void* Data, Integer Length) {
  if (Length < 0 || Length > LKMaxMarkerPayload) return -1;
  FItems.push_back(Item{Code, MakePayload(Data, Length)});
  return GetCount() - 1;
}

bool TLKMarkerList::InsertMarker(Integer Index, const void* Data, Byte Code, Integer Length) {
  if (Index < 0 || Index > GetCount()) ListIndexError(Index);
  if (Length < 0 || Length > LKMaxMarkerPayload) return false;
  FItems.insert(FItems.begin() + Index, Item{Code, MakePayload(Data, Length)});
  return true;
}

bool TLKMarkerList::SetMarker(Integer Index, Byte Code, const void* Data, Integer Length) {
  At(Index);
  if (Length < 0 || Length > LKMaxMarkerPayload) return false;
  Item& it = FItems[static_cast<std::size_t>(Index)];
  it.Data = MakePayload(Data, Length);
  it.Code = Code;
  return true;
}

void TLKMarkerList::DeleteMarker(Integer Index) {
  At(Index);
  FItems.erase(FItems.begin() + Index);
}

void TLKMarkerList::Assign(const TLKMarkerList* Source) {
  if (Source == nullptr || Source == this) return;
  std::vector<Item> copy;
  copy.reserve(Source->FItems.size());
  for (const Item& it : Source->FItems)
    copy.push_back(Item{it.Code, MakePayload(it.Data->GetMemory(), static_cast<Integer>(it.Data->GetSize()))});
  FItems = std::move(copy);
}

void TLKMarkerList::Sort() {
  std::stable_sort(FItems.begin(), FItems.end(), [](const Item& a, const Item& b) { return a.Code < b.Code; });
}

void TLKMarkerList::SaveToStream(TStream* Stream) const {
  const Byte version = 0;
  Stream->WriteBuffer(&version, 1);
  WriteInt32(Stream, GetCount());
  for (const Item& it : FItems) {
    Stream->WriteBuffer(&it.Code, 1);
    const Integer n = static_cast<Integer>(it.Data->GetSize());
    WriteInt32(Stream, n);
    if (n > 0) Stream->WriteBuffer(it.Data->GetMemory(), n);
  }
}

void TLKMarkerList::LoadFromStream(TStream* Stream) {
  ReadByte(Stream);  // version
  const Integer count = ReadInt32(Stream);
  // Each marker takes at least its code byte and its length.
  if (count < 0 || count > Remaining(Stream) / 5)
    throw EReadError("Marker count " + std::to_string(count) + " exceeds the stream");
  std::vector<Item> items;
  items.reserve(static_cast<std::size_t>(count));
  for (Integer i = 0; i < count; ++i) {
    const Byte code = ReadByte(Stream);
    const Integer n = ReadInt32(Stream);
    if (n < 0 || n > LKMaxMarkerPayload || n > Remaining(Stream))
      throw EReadError("Marker length " + std::to_string(n) + " is invalid or exceeds the stream");
    auto data = std::make_unique<TMemoryStream>();
    if (n > 0) {
      data->SetSize(n);
      Stream->ReadBuffer(data->GetMemory(), n);
    }
    data->SetPosition(0);
    items.push_back(Item{code, std::move(data)});
  }
  FItems = std::move(items);
}

// ---------------------------------------------------------------------------
// TLKIPTCInfoList

const TLKIPTCInfoList::Item& TLKIPTCInfoList::At(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  return FItems[static_cast<std::size_t>(Index)];
}

TLKIPTCInfoList::Item& TLKIPTCInfoList::At(Integer Index) {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
  return FItems[static_cast<std::size_t>(Index)];
}

Integer TLKIPTCInfoList::GetRecordNumber(Integer Index) const { return At(Index).Record; }
Integer TLKIPTCInfoList::GetDataSet(Integer Index) const { return At(Index).DataSet; }

String TLKIPTCInfoList::GetStrings(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) return String();
  return FItems[static_cast<std::size_t>(Index)].Bytes;
}

void TLKIPTCInfoList::SetRecordNumber(Integer Index, Integer Value) {
  At(Index).Record = Value;
  FChangedSinceRead = true;
}

void TLKIPTCInfoList::SetDataSet(Integer Index, Integer Value) {
  At(Index).DataSet = Value;
  FChangedSinceRead = true;
}

void TLKIPTCInfoList::SetStrings(Integer Index, const String& Text) {
  At(Index).Bytes = Text;
  FChangedSinceRead = true;
}

Integer TLKIPTCInfoList::AddStringItem(Integer Record, Integer DataSet, const String& Text) {
  FItems.push_back(Item{Record, DataSet, Text});
  FChangedSinceRead = true;
  return GetCount() - 1;
}

Integer TLKIPTCInfoList::AddBufferItem(Integer Record, Integer DataSet, const void* Buffer, Integer Length) {
  String bytes;
  if (Buffer != nullptr && Length > 0) bytes.assign(static_cast<const char*>(Buffer), static_cast<std::size_t>(Length));
  return AddStringItem(Record, DataSet, bytes);
}

void TLKIPTCInfoList::InsertStringItem(Integer Index, Integer Record, Integer DataSet, const String& Text) {
  if (Index < 0 || Index > GetCount()) ListIndexError(Index);
  FItems.insert(FItems.begin() + Index, Item{Record, DataSet, Text});
  FChangedSinceRead = true;
}

Integer TLKIPTCInfoList::IndexOf(Integer Record, Integer DataSet) const {
  for (std::size_t i = 0; i < FItems.size(); ++i)
    if (FItems[i].Record == Record && FItems[i].DataSet == DataSet) return static_cast<Integer>(i);
  return -1;
}

void TLKIPTCInfoList::DeleteItem(Integer Index) {
  At(Index);
  FItems.erase(FItems.begin() + Index);
  FChangedSinceRead = true;
}

void TLKIPTCInfoList::Clear() {
  FItems.clear();
  FChangedSinceRead = true;
}

void TLKIPTCInfoList::Assign(const TLKIPTCInfoList* Source) {
  if (Source == nullptr) return;
  if (Source != this) FItems = Source->FItems;
  FChangedSinceRead = true;
}

void TLKIPTCInfoList::SaveToStream(TStream* Stream) const {
  WriteInt32(Stream, 0);
  WriteInt32(Stream, GetCount());
  for (const Item& it : FItems) {
    WriteInt32(Stream, it.Record);
    WriteInt32(Stream, it.DataSet);
    const Integer n = static_cast<Integer>(it.Bytes.size());
    WriteInt32(Stream, n);
    if (n > 0) Stream->WriteBuffer(it.Bytes.data(), n);
  }
}

void TLKIPTCInfoList::LoadFromStream(TStream* Stream) {
  ReadInt32(Stream);  // version
  const Integer count = ReadInt32(Stream);
  // Each item takes at least its three numbers.
  if (count < 0 || count > Remaining(Stream) / 12)
    throw EReadError("IPTC item count " + std::to_string(count) + " exceeds the stream");
  std::vector<Item> items;
  items.reserve(static_cast<std::size_t>(count));
  for (Integer i = 0; i < count; ++i) {
    Item it;
    it.Record = ReadInt32(Stream);
    it.DataSet = ReadInt32(Stream);
    const Integer n = ReadInt32(Stream);
    if (n < 0 || n > Remaining(Stream))
      throw EReadError("IPTC item length " + std::to_string(n) + " is invalid or exceeds the stream");
    it.Bytes.resize(static_cast<std::size_t>(n));
    if (n > 0) Stream->ReadBuffer(it.Bytes.data(), n);
    items.push_back(std::move(it));
  }
  FItems = std::move(items);
  FChangedSinceRead = true;
}

std::vector<Byte> TLKIPTCInfoList::SaveToStandardBuffer(bool WithHeader) const {
  std::vector<Byte> buf;
  if (FItems.empty()) return buf;
  if (WithHeader) {
    static const char kHeader[] = "Photoshop 3.0";  // 13 characters and the zero byte
    buf.insert(buf.end(), kHeader, kHeader + 14);
    const Byte rest[] = {'8', 'B', 'I', 'M', 0x04, 0x04, 0, 0, 0, 0, 0, 0};
    buf.insert(buf.end(), rest, rest + sizeof rest);
  } else {
    const Byte version[] = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02};
    buf.insert(buf.end(), version, version + sizeof version);
  }
  UInt64 total = 0;
  for (const Item& it : FItems) {
    const std::size_t n = it.Bytes.size();
    if ((it.Record == 2 && it.DataSet == 0) || n == 0) continue;
    buf.push_back(0x1C);
    buf.push_back(static_cast<Byte>(it.Record));
    buf.push_back(static_cast<Byte>(it.DataSet));
    if (n < 32768) {
      buf.push_back(static_cast<Byte>(n >> 8));
      buf.push_back(static_cast<Byte>(n));
      total += 5;
    } else {
      const Byte ext[] = {0x80, 0x04, static_cast<Byte>(n >> 24), static_cast<Byte>(n >> 16),
                          static_cast<Byte>(n >> 8), static_cast<Byte>(n)};
      buf.insert(buf.end(), ext, ext + sizeof ext);
      total += 9;
    }
    buf.insert(buf.end(), it.Bytes.begin(), it.Bytes.end());
    total += n;
  }
  if (WithHeader) {
    const auto t = static_cast<DWORD>(total);
    buf[22] = static_cast<Byte>(t >> 24);
    buf[23] = static_cast<Byte>(t >> 16);
    buf[24] = static_cast<Byte>(t >> 8);
    buf[25] = static_cast<Byte>(t);
  }
  if (buf.size() % 2 != 0) buf.push_back(0);
  return buf;
}

void TLKIPTCInfoList::LoadFromStandardBuffer(const void* Buffer, Integer Length) {
  Clear();
  if (Buffer == nullptr || Length <= 0) return;
  const auto* b = static_cast<const Byte*>(Buffer);
  const Int64 len = Length;
  Int64 p = 0;
  while (p < len && b[p] != 0x1C) ++p;
  while (p + 1 < len && b[p + 1] == 0x1C) ++p;
  // Lengths are taken unsigned and every item must lie inside the buffer.
  while (p < len && b[p] == 0x1C && p + 5 < len) {
    const Byte record = b[p + 1];
    const Byte dataset = b[p + 2];
    UInt64 n = 0;
    Int64 data = 0;
    if ((b[p + 3] & 0x80) != 0) {
      if (p + 9 > len) break;
      n = (UInt64{b[p + 5]} << 24) | (UInt64{b[p + 6]} << 16) | (UInt64{b[p + 7]} << 8) | b[p + 8];
      data = p + 9;
    } else {
      n = (UInt64{b[p + 3]} << 8) | b[p + 4];
      data = p + 5;
    }
    if (n > static_cast<UInt64>(len - data)) break;
    AddBufferItem(record, dataset, b + data, static_cast<Integer>(n));
    p = data + static_cast<Int64>(n);
  }
  FChangedSinceRead = false;
}
