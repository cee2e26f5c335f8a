// TIFF LZW coder. The decoder keeps its string table as (prefix code, last
// byte, length) triples and writes each string backwards into a growing
// output buffer, so no entry needs an allocation of its own; the encoder
// finds (prefix, byte) pairs in an open-addressing hash table kept at most
// half full, so a lookup rarely probes more than once or twice.
#include "codecs/tiff/tifflzw.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "io/lkparams.h"

namespace {

constexpr int kClear = 256;
constexpr int kEnd = 257;
constexpr int kFirstFree = 258;
constexpr int kTableSize = 4097;

struct TIFFLZWDecoderState {
  const Byte* Input = nullptr;
  Int64 InputBits = 0;     // bits of input data
  Int64 BitPos = 0;        // next bit to read
  int Width = 9;           // current code width
  int Prev = -1;           // previous code, -1 right after creation or a clear
  int Next = kFirstFree;   // next free code
  bool Ended = false;      // end code or end of data met
  bool Error = false;
  size_t RowLen = 0;
  size_t Start = 0;        // first byte of Buffer not handed out yet
  size_t Fill_ = 0;        // bytes of Buffer in use; the rest is room
  size_t Base = 0;         // bytes dropped from the front of Buffer so far
  std::vector<Byte> Buffer;
  // String table: entries 0..255 stand for themselves. Prefix and last byte
  // sit together, as a string is walked through both.
  struct TLink {
    int Prefix;
    Byte Last;
  };
  std::vector<TLink> Links;
  std::vector<int> Length;
  std::vector<Byte> First;
  // Where each code's string was last written, counted from the start of
  // the output: a string still in Buffer is copied from there instead of
  // walked through its prefixes.
  std::vector<size_t> At;
  size_t LastAt = 0;  // where the last string was written

  TIFFLZWDecoderState() : Links(kTableSize), Length(kTableSize), First(kTableSize), At(kTableSize, 0) {
    for (int i = 0; i < 256; ++i) {
      Links[i] = {-1, static_cast<Byte>(i)};
      Length[i] = 1;
      First[i] = static_cast<Byte>(i);
    }
  }

  // Room for N more bytes; the buffer grows without touching what it holds.
  Byte* Room(size_t N) {
    if (Fill_ + N > Buffer.size()) Buffer.resize(std::max(Buffer.size() * 2, Fill_ + N + 4096));
    return Buffer.data() + Fill_;
  }

  // The next code, or -1 when the data holds no whole code any more.
  int ReadCode() {
    if (BitPos + Width > InputBits) return -1;
    const size_t byte = static_cast<size_t>(BitPos >> 3);
    const size_t bytes = static_cast<size_t>((InputBits + 7) >> 3);
    DWORD w = 0;
    for (size_t i = 0; i < 4; ++i) w = (w << 8) | (byte + i < bytes ? Input[byte + i] : 0);
    w <<= (BitPos & 7);
    BitPos += Width;
    return static_cast<int>(w >> (32 - Width));
  }

  void Output(int Code) {
    const size_t len = static_cast<size_t>(Length[Code]);
    Byte* out = Room(len);
    const size_t from = At[static_cast<size_t>(Code)];
    LastAt = Base + Fill_;
    Fill_ += len;
    if (Code >= kFirstFree && from >= Base) {
      // Forward, byte by byte where the copy overlaps its source (a code
      // made from the string just before it ends where it begins).
      const Byte* src = Buffer.data() + (from - Base);
      if (src + len <= out) {
        std::memcpy(out, src, len);
      } else {
        for (size_t i = 0; i < len; ++i) out[i] = src[i];
      }
      return;
    }
    Byte* p = out + len;
    const TLink* links = Links.data();
    for (int c = Code; c >= 0; c = links[c].Prefix) *--p = links[c].Last;
  }

  // Adds PrefixCode's string and C, PrefixCode's string being the one
  // written at PrefixAt.
  void Add(int PrefixCode, Byte C, size_t PrefixAt) {
    if (PrefixCode < 0 || PrefixCode >= Next || Next >= kTableSize - 1) {
      Error = true;
      return;
    }
    Links[Next] = {PrefixCode, C};
    // The new string is the previous one and the first byte written after
    // it, so it sits where the previous one was written.
    At[static_cast<size_t>(Next)] = PrefixAt;
    First[Next] = First[PrefixCode];
    Length[Next] = Length[PrefixCode] + 1;
    ++Next;
    if (Next == 511) Width = 10;
    else if (Next == 1023) Width = 11;
    else if (Next == 2047) Width = 12;
  }

  // Decodes until the buffer holds one row past Start or the data ends.
  void Fill() {
    while (!Ended && !Error && Fill_ - Start < RowLen) {
      int code = ReadCode();
      if (code < 0 || code == kEnd) {
        Ended = true;
        break;
      }
      if (code == kClear) {
        Next = kFirstFree;
        Width = 9;
        code = ReadCode();
        if (code < 0 || code == kEnd) {
          Ended = true;
          break;
        }
        if (code >= 256) {  // a clear code followed by a code not in the table
          Error = true;
          break;
        }
        Output(code);
        Prev = code;
        continue;
      }
      if (Prev < 0) {
        if (code >= 256) {
          Error = true;
          break;
        }
        Output(code);
        Prev = code;
        continue;
      }
      if (code < Next) {
        const size_t prevAt = LastAt;
        Output(code);
        Add(Prev, First[code], prevAt);
      } else if (code == Next) {
        Add(Prev, First[Prev], LastAt);
        if (!Error) Output(code);
      } else {
        Error = true;
      }
      Prev = code;
    }
  }
};

Byte* Decode(TIFFLZWDecoderState& S) {
  // Bytes beyond the previous row move to the front.
  if (S.Start > 0) {
    if (S.Fill_ > S.Start) std::memmove(S.Buffer.data(), S.Buffer.data() + S.Start, S.Fill_ - S.Start);
    S.Base += std::min(S.Start, S.Fill_);
    S.Fill_ -= std::min(S.Start, S.Fill_);
    S.Start = 0;
  }
  if (S.Ended && S.Fill_ == 0) return nullptr;
  S.Fill();
  if (S.Error || S.Fill_ == 0) return nullptr;
  if (S.Fill_ < S.RowLen) {  // a short last row, padded with zeros
    std::memset(S.Room(S.RowLen - S.Fill_), 0, S.RowLen - S.Fill_);
    S.Fill_ = S.RowLen;
  }
  S.Start = S.RowLen;
  return S.Buffer.data();
}

struct TIFFLZWEncoderState {
  // At most 4094 - 258 pairs live in the table between clears: 8192 slots
  // keep it under half full.
  static constexpr int kHashSize = 8192;
  TStream* Stream = nullptr;
  Byte Packet[254];
  int PacketFill = 0;
  DWORD Acc = 0;
  int AccBits = 0;
  int Width = 9;
  int MaxCode = 511;
  int Next = kFirstFree;
  bool ClearPending = false;
  int Prefix = 0;
  // A key and its code share a slot, so a hit costs one memory access.
  struct TSlot {
    int Key;
    int Code;
  };
  TSlot Hash[kHashSize];

  void ClearHash() { std::fill(std::begin(Hash), std::end(Hash), TSlot{-1, 0}); }

  // Key is byte << 12 | prefix: pairs of nearby prefixes land in nearby
  // slots, which keeps the lookups of one stretch of data in the cache.
  static int SlotOf(int Key) { return ((Key >> 7) ^ Key) & (kHashSize - 1); }

  void FlushPacket() {
    if (PacketFill > 0) Stream->Write(Packet, PacketFill);
    PacketFill = 0;
  }

  void PutByte(Byte B) {
    Packet[PacketFill++] = B;
    if (PacketFill == 254) FlushPacket();
  }

  void WriteCode(int Code) {
    Acc |= DWORD(Code) << (32 - AccBits - Width);
    AccBits += Width;
    while (AccBits >= 8) {
      PutByte(static_cast<Byte>(Acc >> 24));
      Acc <<= 8;
      AccBits -= 8;
    }
    if (ClearPending) {
      Width = 9;
      MaxCode = 511;
      ClearPending = false;
    } else if (Next >= MaxCode && Width < 12) {
      ++Width;
      MaxCode = (1 << Width) - 1;
    }
  }

  void Encode(const Byte* Row, Integer Length, Integer From) {
    // The prefix lives in a register through the loop: each step depends on
    // the one before, so a round trip through memory would add to every byte.
    int prefix = Prefix;
    for (Integer i = From; i < Length; ++i) {
      const int c = Row[i];
      const int key = (c << 12) + prefix;
      int slot = SlotOf(key);
      while (Hash[slot].Key >= 0 && Hash[slot].Key != key) slot = (slot + 1) & (kHashSize - 1);
      if (Hash[slot].Key == key) {
        prefix = Hash[slot].Code;
        continue;
      }
      WriteCode(prefix);
      prefix = c;
      if (Next > 4093) {
        ClearHash();
        Next = kFirstFree;
        ClearPending = true;
        WriteCode(kClear);
      } else {
        Hash[slot] = {key, Next++};
      }
    }
    Prefix = prefix;
  }

  void Close() {
    WriteCode(Prefix);
    WriteCode(kEnd);
    if (AccBits > 0) PutByte(static_cast<Byte>(Acc >> 24));
    AccBits = 0;
    FlushPacket();
  }
};

}  // namespace

Byte* TIFFLZWDecompress(const Byte* Input, Integer InputLen, Integer RowLen, std::intptr_t& State) {
  auto* s = reinterpret_cast<TIFFLZWDecoderState*>(State);
  if (!Input) {
    delete s;
    State = 0;
    return nullptr;
  }
  if (!s) {
    if (RowLen <= 0 || InputLen < 0) return nullptr;
    s = new TIFFLZWDecoderState;
    s->Input = Input;
    s->InputBits = Int64{InputLen} * 8;
    s->RowLen = static_cast<size_t>(RowLen);
    s->Buffer.resize(s->RowLen * 2 + 4096);
    State = reinterpret_cast<std::intptr_t>(s);
  }
  return Decode(*s);
}

void TIFFLZWCompress(const Byte* Row, Integer Length, TStream* Output, std::intptr_t& State) {
  auto* s = reinterpret_cast<TIFFLZWEncoderState*>(State);
  if (!Row) {
    if (s) {
      s->Close();
      delete s;
    }
    State = 0;
    return;
  }
  if (Length <= 0) return;
  Integer from = 0;
  if (!s) {
    s = new TIFFLZWEncoderState;
    s->Stream = Output;
    s->ClearHash();
    s->Prefix = Row[0];
    s->WriteCode(kClear);
    from = 1;
    State = reinterpret_cast<std::intptr_t>(s);
  }
  s->Encode(Row, Length, from);
}

namespace {
// The library's coders are the default hooks every new parameter record
// copies.
struct TInstallTIFFLZW {
  TInstallTIFFLZW() {
    if (!DefTIFF_LZWDECOMPFUNC) DefTIFF_LZWDECOMPFUNC = TIFFLZWDecompress;
    if (!DefTIFF_LZWCOMPFUNC) DefTIFF_LZWCOMPFUNC = TIFFLZWCompress;
  }
} gInstallTIFFLZW;
}  // namespace
