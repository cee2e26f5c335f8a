// TIFF directory walk and tag value readers.
#include "codecs/tiff/tiffdir.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <set>

#include "core/lkbytereader.h"

namespace {

// A chain longer than this is taken as damaged: no real file holds so many
// pages, and the cap bounds the work a hostile chain can cause.
constexpr Integer kMaxDirectories = 65536;

Word Get16(const Byte* p, bool le) { return le ? LKGetLE16(p) : LKGetBE16(p); }

DWORD Get32(const Byte* p, bool le) { return le ? LKGetLE32(p) : LKGetBE32(p); }

uint64_t Get64(const Byte* p, bool le) {
  const uint64_t a = Get32(p, le), b = Get32(p + 4, le);
  return le ? (b << 32) | a : (a << 32) | b;
}

Int64 StreamSize(const TTIFFEnv& Env) {
  try {
    return Env.Stream ? Env.Stream->GetSize() : 0;
  } catch (...) {
    return 0;
  }
}

// Whether Count bytes at Base + Offset lie inside the stream: values are
// sized from what the entry declares only after this says the data is there.
bool Holds(const TTIFFEnv& Env, Int64 Offset, Int64 Count) {
  const Int64 size = StreamSize(Env);
  const Int64 pos = Env.Base + Offset;
  return Offset >= 0 && Count >= 0 && Env.Base >= 0 && pos <= size && Count <= size - pos;
}

// Reads Count bytes at Base + Offset; false (nothing read) when any of them
// lies outside the stream or the stream delivers fewer.
bool ReadAt(const TTIFFEnv& Env, Int64 Offset, void* Buffer, Int64 Count) {
  if (!Env.Stream || Count < 0 || Count > std::numeric_limits<Integer>::max()) return false;
  const Int64 size = StreamSize(Env);
  if (Offset < 0 || Env.Base < 0 || Env.Base > size) return false;
  const Int64 pos = Env.Base + Offset;
  if (pos > size || Count > size - pos) return false;
  if (Count == 0) return true;
  try {
    Env.Stream->SetPosition(pos);
    return Env.Stream->Read(Buffer, static_cast<Integer>(Count)) == static_cast<Integer>(Count);
  } catch (...) {
    return false;
  }
}

// The 4 bytes of the entry's value field in file order.
void EntryBytes(const TTIFFEnv& Env, const TTIFFTAG& T, Byte Out[4]) {
  const DWORD v = T.Value;
  if (Env.LittleEndian) {
    Out[0] = Byte(v), Out[1] = Byte(v >> 8), Out[2] = Byte(v >> 16), Out[3] = Byte(v >> 24);
  } else {
    Out[0] = Byte(v >> 24), Out[1] = Byte(v >> 16), Out[2] = Byte(v >> 8), Out[3] = Byte(v);
  }
}

// Bytes of the whole value: count x element size (1 for unknown types).
Int64 ValueBytes(const TTIFFTAG& T) {
  const Word size = LKTagSize(T.FieldType);
  return Int64{T.Count} * (size ? size : 1);
}

const TTIFFTAG* Find(const TTIFFEnv& Env, Word Tag) {
  const Integer i = TIFFFindTAG(Tag, Env);
  return i >= 0 ? &Env.Tags[static_cast<size_t>(i)] : nullptr;
}

// Reads the bytes of element N (in file order) into Out; false when N is
// outside the count or the element outside the stream.
bool ElementBytes(const TTIFFEnv& Env, const TTIFFTAG& T, Int64 N, Byte* Out) {
  const Word size = LKTagSize(T.FieldType);
  if (size == 0 || N < 0 || N >= Int64{T.Count}) return false;
  if (ValueBytes(T) <= 4) {
    Byte b[4];
    EntryBytes(Env, T, b);
    std::memcpy(Out, b + N * size, size);
    return true;
  }
  return ReadAt(Env, Int64{T.Value} + N * size, Out, size);
}

// One element of any numeric type as a real.
double DecodeReal(Word Type, const Byte* p, bool le) {
  switch (Type) {
    case ttByte:
    case ttAscii:
    case ttUndefined: return p[0];
    case ttSByte: return static_cast<int8_t>(p[0]);
    case ttShort: return Get16(p, le);
    case ttSShort: return static_cast<int16_t>(Get16(p, le));
    case ttLong: return Get32(p, le);
    case ttSLong: return static_cast<int32_t>(Get32(p, le));
    case ttRational: {
      const DWORD n = Get32(p, le), d = Get32(p + 4, le);
      return static_cast<double>(n) / (d == 0 ? 1.0 : static_cast<double>(d));
    }
    case ttSRational: {
      const int32_t n = static_cast<int32_t>(Get32(p, le)), d = static_cast<int32_t>(Get32(p + 4, le));
      return static_cast<double>(n) / (d == 0 ? 1.0 : static_cast<double>(d));
    }
    case ttFloat: {
      const DWORD bits = Get32(p, le);
      float f;
      std::memcpy(&f, &bits, 4);
      return f;
    }
    case ttDouble: {
      const uint64_t bits = Get64(p, le);
      double d;
      std::memcpy(&d, &bits, 8);
      return d;
    }
    default: return 0;
  }
}

// Reads the whole value into Data (count x element size bytes, file order).
bool ReadValue(const TTIFFEnv& Env, const TTIFFTAG& T, std::vector<Byte>& Data) {
  Data.clear();
  const Int64 n = ValueBytes(T);
  if (n <= 4) {
    Byte b[4];
    EntryBytes(Env, T, b);
    Data.assign(b, b + n);
    return true;
  }
  // Checked before allocating, so a huge count costs nothing.
  if (!Holds(Env, T.Value, n)) return false;
  Data.resize(static_cast<size_t>(n));
  if (!ReadAt(Env, T.Value, Data.data(), n)) {
    Data.clear();
    return false;
  }
  return true;
}

TTIFFTAG DecodeEntry(const Byte* p, bool le) {
  return TTIFFTAG{Get16(p, le), Get16(p + 2, le), Get32(p + 4, le), Get32(p + 8, le)};
}

}  // namespace

Integer TIFFFindTAG(Word Tag, const TTIFFEnv& Env) {
  for (size_t i = 0; i < Env.Tags.size(); ++i) {
    if (Env.Tags[i].Tag == Tag) return static_cast<Integer>(i);
  }
  return -1;
}

DWORD TIFFGetDataLength(const TTIFFEnv& Env, Word Tag) {
  const TTIFFTAG* t = Find(Env, Tag);
  return t ? t->Count : 0;
}

Integer TIFFReadSingleValDef(const TTIFFEnv& Env, Word Tag, Integer Default) {
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t) return Default;
  const Word size = LKTagSize(t->FieldType);
  if (size == 0 || size > 4 || t->Count == 0 || ValueBytes(*t) > 4) return static_cast<Integer>(t->Value);
  Byte b[4];
  EntryBytes(Env, *t, b);
  switch (t->FieldType) {
    case ttByte:
    case ttAscii:
    case ttUndefined: return b[0];
    case ttSByte: return static_cast<int8_t>(b[0]);
    case ttShort: return Get16(b, Env.LittleEndian);
    case ttSShort: return static_cast<int16_t>(Get16(b, Env.LittleEndian));
    default: return static_cast<Integer>(t->Value);
  }
}

double TIFFReadRationalIndex(const TTIFFEnv& Env, Word Tag, Integer N) {
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t) return 0;
  Byte b[8];
  if (!ElementBytes(Env, *t, N, b)) return 0;
  return DecodeReal(t->FieldType, b, Env.LittleEndian);
}

double TIFFReadSingleRational(const TTIFFEnv& Env, Word Tag) { return TIFFReadRationalIndex(Env, Tag, 0); }

Integer TIFFReadIndexValN(const TTIFFEnv& Env, Word Tag, Integer N) {
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t || (t->FieldType != ttShort && t->FieldType != ttLong)) return 0;
  Byte b[4];
  if (!ElementBytes(Env, *t, N, b)) return 0;
  return t->FieldType == ttShort ? Integer{Get16(b, Env.LittleEndian)}
                                 : static_cast<Integer>(Get32(b, Env.LittleEndian));
}

Integer TIFFReadArrayIntegers(const TTIFFEnv& Env, std::vector<Integer>& Values, Word Tag) {
  Values.clear();
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t || (t->FieldType != ttShort && t->FieldType != ttLong) || t->Count == 0) return 0;
  std::vector<Byte> data;
  if (!ReadValue(Env, *t, data)) return 0;
  const size_t size = LKTagSize(t->FieldType);
  Values.resize(t->Count);
  for (size_t i = 0; i < Values.size(); ++i) {
    const Byte* p = data.data() + i * size;
    Values[i] = size == 2 ? Integer{Get16(p, Env.LittleEndian)} : static_cast<Integer>(Get32(p, Env.LittleEndian));
  }
  return static_cast<Integer>(t->Count);
}

bool TIFFReadRawData(const TTIFFEnv& Env, Word Tag, std::vector<Byte>& Data) {
  Data.clear();
  const TTIFFTAG* t = Find(Env, Tag);
  return t && ReadValue(Env, *t, Data);
}

void TIFFReadMiniString(const TTIFFEnv& Env, Word Tag, String& Text) {
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t) {
    Text.clear();
    return;
  }
  if (t->Count < 1 || t->Count > 4) return;
  Byte b[4];
  EntryBytes(Env, *t, b);
  Text.assign(reinterpret_cast<const char*>(b), t->Count);
}

void TIFFReadString(const TTIFFEnv& Env, Word Tag, String& Text) {
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t) {
    Text.clear();
    return;
  }
  if (t->Count <= 4) {
    TIFFReadMiniString(Env, Tag, Text);
    return;
  }
  if (t->Count > LKTIFF_MAXSTRING || !Holds(Env, t->Value, t->Count)) return;
  String s(t->Count, '\0');
  if (!ReadAt(Env, t->Value, s.data(), t->Count)) return;
  if (!s.empty() && s.back() == '\0') s.pop_back();
  Text = std::move(s);
}

void TIFFReadWideString(const TTIFFEnv& Env, Word Tag, std::u16string& Text) {
  const TTIFFTAG* t = Find(Env, Tag);
  if (!t) {
    Text.clear();
    return;
  }
  if (t->Count > LKTIFF_MAXSTRING) return;
  Byte b[4];
  std::vector<Byte> data;
  const Byte* p = b;
  if (t->Count <= 4) {
    EntryBytes(Env, *t, b);
  } else {
    if (!Holds(Env, t->Value, t->Count)) return;
    data.resize(t->Count);
    if (!ReadAt(Env, t->Value, data.data(), t->Count)) return;
    p = data.data();
  }
  std::u16string s(t->Count / 2, u'\0');
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
  if (!s.empty() && s.back() == u'\0') s.pop_back();
  Text = std::move(s);
}

bool TIFFReadIFD(Integer Index, Int64 Offset, TTIFFEnv& Env, Integer& Count) {
  Env.Tags.clear();
  Count = 0;
  const Int64 size = StreamSize(Env);
  std::set<Int64> visited;
  Int64 off = Offset;
  bool loaded = false;
  while (off > 0 && Count < kMaxDirectories && visited.insert(off).second) {
    Byte nb[2];
    if (!ReadAt(Env, off, nb, 2)) break;
    const Int64 n = Get16(nb, Env.LittleEndian);
    if (n == 0) break;
    const Int64 entries = off + 2;
    if (Count == Index) {
      // Only whole entries that lie in the stream are taken.
      const Int64 avail = std::max<Int64>(0, size - (Env.Base + entries)) / 12;
      const Int64 take = std::min(n, avail);
      std::vector<Byte> raw(static_cast<size_t>(take * 12));
      if (take > 0 && ReadAt(Env, entries, raw.data(), take * 12)) {
        Env.Tags.resize(static_cast<size_t>(take));
        for (Int64 i = 0; i < take; ++i)
          Env.Tags[static_cast<size_t>(i)] = DecodeEntry(raw.data() + i * 12, Env.LittleEndian);
        loaded = true;
      }
    }
    Byte next[4];
    if (!ReadAt(Env, entries + n * 12, next, 4)) break;
    ++Count;
    const Int64 nextOff = Get32(next, Env.LittleEndian);
    if (nextOff == off || nextOff < 8 || Env.Base + nextOff >= size) break;
    off = nextOff;
  }
  return loaded;
}

bool TIFFLoadTags(TStream* Stream, Integer& Count, Integer Index, TTIFFEnv& Env, bool Relative) {
  Env = TTIFFEnv{};
  Env.Stream = Stream;
  Count = 0;
  if (!Stream) return false;
  Byte h[8];
  Int64 pos = 0;
  try {
    pos = Stream->GetPosition();
    if (Stream->Read(h, 8) != 8) return false;
  } catch (...) {
    return false;
  }
  if (h[0] == 'I' && h[1] == 'I') Env.LittleEndian = true;
  else if (h[0] == 'M' && h[1] == 'M') Env.LittleEndian = false;
  else return false;
  Env.Base = Relative ? pos : 0;
  const DWORD first = Get32(h + 4, Env.LittleEndian);
  if (first == 0) return false;
  return TIFFReadIFD(Index, first, Env, Count);
}

void TIFFFreeTags(TTIFFEnv& Env) {
  Env.Tags.clear();
  Env.Tags.shrink_to_fit();
}

bool TIFFLoadSubIFD(const TTIFFEnv& Parent, Word PointerTag, TTIFFEnv& Sub) {
  Sub = TTIFFEnv{};
  Sub.Stream = Parent.Stream;
  Sub.LittleEndian = Parent.LittleEndian;
  Sub.Base = Parent.Base;
  const TTIFFTAG* t = Find(Parent, PointerTag);
  if (!t) return false;
  // A pointer is one LONG (or the IFD type 13, which has the same layout).
  const Int64 off = (t->FieldType == ttShort) ? TIFFReadSingleValDef(Parent, PointerTag, 0) : Int64{t->Value};
  if (off <= 0) return false;
  Integer count = 0;
  // Only the directory itself: a sub-directory's chain is not followed.
  return TIFFReadIFD(0, off, Sub, count);
}

namespace {

// Loads the first directory of the TIFF that starts at the stream's current
// position (offsets relative to it) and runs Test on it; the position is
// restored.
template <class F>
bool ProbeFirstDirectory(TStream* Stream, bool CheckHeader, F Test) {
  if (!Stream) return false;
  Int64 pos = 0;
  bool result = false;
  try {
    pos = Stream->GetPosition();
    const Int64 size = Stream->GetSize();
    Byte h[9];
    const bool ok = Stream->Read(h, 9) == 9;
    Stream->SetPosition(pos);
    if (ok || !CheckHeader) {
      bool headerOk = true;
      if (CheckHeader) {
        const Int64 left = size - pos;
        if (left <= 8) headerOk = false;
        else if (h[0] == 'I' && h[1] == 'I') headerOk = Int64{Get32(h + 4, true)} < left;
        else if (h[0] == 'M' && h[1] == 'M') headerOk = Int64{Get32(h + 4, false)} < left && h[8] != 0xBA;
        else headerOk = false;
      }
      // Offsets count from where the TIFF starts, so an embedded one probes
      // the same as a file of its own.
      TTIFFEnv env;
      Integer count = 0;
      if (headerOk && TIFFLoadTags(Stream, count, 0, env, true)) result = Test(env);
    }
    Stream->SetPosition(pos);
  } catch (...) {
    try {
      Stream->SetPosition(pos);
    } catch (...) {
    }
    result = false;
  }
  return result;
}

}  // namespace

bool IsTIFFStream(TStream* Stream) {
  return ProbeFirstDirectory(Stream, true, [](const TTIFFEnv& env) {
    return TIFFFindTAG(256, env) >= 0 && TIFFFindTAG(257, env) >= 0;
  });
}

bool IsDNGStream(TStream* Stream) {
  return ProbeFirstDirectory(Stream, false, [](const TTIFFEnv& env) {
    const Integer dng = TIFFFindTAG(50706, env);
    if (dng >= 0 && env.Tags[static_cast<size_t>(dng)].FieldType == ttByte &&
        env.Tags[static_cast<size_t>(dng)].Count == 4)
      return true;
    const Integer ph = TIFFFindTAG(262, env);
    if (ph >= 0 && env.Tags[static_cast<size_t>(ph)].FieldType == ttShort &&
        env.Tags[static_cast<size_t>(ph)].Count == 1) {
      const Integer v = TIFFReadSingleValDef(env, 262, 0);
      if (v == 32803 || v == 34892) return true;
    }
    return TIFFFindTAG(330, env) >= 0 && TIFFFindTAG(37398, env) >= 0 && TIFFFindTAG(256, env) >= 0 &&
           TIFFFindTAG(257, env) >= 0 && TIFFReadSingleValDef(env, 256, 0) < 200 &&
           TIFFReadSingleValDef(env, 257, 0) < 200;
  });
}
