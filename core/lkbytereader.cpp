#include "core/lkbytereader.h"

#include <algorithm>
#include <cstring>

TLKByteReader::TLKByteReader(TStream& Stream) : FStream(&Stream) {
  FBase = Stream.Position();
  const Int64 size = Stream.Size() - FBase;
  FSize = size > 0 ? size : 0;
}

TLKByteReader::TLKByteReader(TStream& Stream, Int64 Length) : TLKByteReader(Stream) {
  FSize = std::clamp<Int64>(Length, 0, FSize);
}

TLKByteReader::TLKByteReader(const void* Data, size_t Size)
    : FData(static_cast<const Byte*>(Data)), FSize(Data ? static_cast<Int64>(Size) : 0) {}

size_t TLKByteReader::Fetch(Int64 Pos, void* Buffer, size_t Count) {
  if (Pos < 0 || Pos >= FSize || Count == 0) return 0;
  const size_t n = static_cast<size_t>(std::min<Int64>(static_cast<Int64>(Count), FSize - Pos));
  if (FData) {
    std::memcpy(Buffer, FData + Pos, n);
    return n;
  }
  if (FStream->Seek(FBase + Pos, soBeginning) != FBase + Pos) return 0;
  size_t got = 0;
  auto* out = static_cast<Byte*>(Buffer);
  while (got < n) {
    const size_t ask = std::min<size_t>(n - got, 1u << 30);
    const Integer r = FStream->Read(out + got, static_cast<Integer>(ask));
    if (r <= 0) break;
    got += static_cast<size_t>(r);
  }
  return got;
}

bool TLKByteReader::Seek(Int64 Pos) {
  if (Pos < 0 || Pos > FSize) {
    FPos = FSize;
    FFailed = true;
    return false;
  }
  FPos = Pos;
  return true;
}

bool TLKByteReader::Skip(Int64 Count) {
  if (Count < 0 || Count > Remaining()) {
    FPos = FSize;
    FFailed = true;
    return false;
  }
  FPos += Count;
  return true;
}

bool TLKByteReader::Read(void* Buffer, size_t Count) {
  const size_t got = Fetch(FPos, Buffer, Count);
  if (got == Count) {
    FPos += static_cast<Int64>(got);
    return true;
  }
  std::memset(static_cast<Byte*>(Buffer) + got, 0, Count - got);
  FPos = FSize;
  FFailed = true;
  return false;
}

size_t TLKByteReader::ReadSome(void* Buffer, size_t Count) {
  const size_t got = Fetch(FPos, Buffer, Count);
  FPos += static_cast<Int64>(got);
  return got;
}

bool TLKByteReader::PeekAt(Int64 Pos, void* Buffer, size_t Count) {
  const size_t got = Fetch(Pos, Buffer, Count);
  if (got == Count) return true;
  std::memset(static_cast<Byte*>(Buffer) + got, 0, Count - got);
  FFailed = true;
  return false;
}

Byte TLKByteReader::U8() {
  Byte b = 0;
  return Read(&b, 1) ? b : 0;
}

Word TLKByteReader::U16LE() {
  Byte b[2];
  return Read(b, 2) ? LKGetLE16(b) : 0;
}

Word TLKByteReader::U16BE() {
  Byte b[2];
  return Read(b, 2) ? LKGetBE16(b) : 0;
}

Cardinal TLKByteReader::U32LE() {
  Byte b[4];
  return Read(b, 4) ? LKGetLE32(b) : 0;
}

Cardinal TLKByteReader::U32BE() {
  Byte b[4];
  return Read(b, 4) ? LKGetBE32(b) : 0;
}

Byte TLKByteReader::U8At(Int64 Pos) {
  Byte b = 0;
  return PeekAt(Pos, &b, 1) ? b : 0;
}

Word TLKByteReader::U16LEAt(Int64 Pos) {
  Byte b[2];
  return PeekAt(Pos, b, 2) ? LKGetLE16(b) : 0;
}

Word TLKByteReader::U16BEAt(Int64 Pos) {
  Byte b[2];
  return PeekAt(Pos, b, 2) ? LKGetBE16(b) : 0;
}

Cardinal TLKByteReader::U32LEAt(Int64 Pos) {
  Byte b[4];
  return PeekAt(Pos, b, 4) ? LKGetLE32(b) : 0;
}

Cardinal TLKByteReader::U32BEAt(Int64 Pos) {
  Byte b[4];
  return PeekAt(Pos, b, 4) ? LKGetBE32(b) : 0;
}
