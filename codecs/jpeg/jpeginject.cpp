// Metadata injection into an existing JPEG stream by copying it marker by
// marker, and the quality estimate from its quantisation tables.
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpegxform.h"
#include "io/lkexif.h"

namespace {

// Reads a stream byte by byte through a buffer.
class TByteReader {
 public:
  explicit TByteReader(TStream* Stream) : FStream(Stream) {}
  // The next byte, or -1 at the end (or when the stream fails).
  int Next() {
    if (FPos == FCount) {
      FPos = 0;
      FCount = 0;
      try {
        const Integer got = FStream->Read(FBuffer, sizeof(FBuffer));
        FCount = got > 0 ? got : 0;
      } catch (...) {
        FCount = 0;
      }
      if (FCount == 0) return -1;
    }
    ++FConsumed;
    return FBuffer[FPos++];
  }
  // Bytes handed out so far.
  Int64 Consumed() const { return FConsumed; }

 private:
  TStream* FStream;
  Byte FBuffer[65536];
  Integer FPos = 0, FCount = 0;
  Int64 FConsumed = 0;
};

// Writes a stream through a buffer; remembers a short write.
class TByteWriter {
 public:
  explicit TByteWriter(TStream* Stream) : FStream(Stream) {}
  ~TByteWriter() { Flush(); }
  void Put(Byte B) {
    if (FCount == sizeof(FBuffer)) Flush();
    FBuffer[FCount++] = B;
  }
  void Put(const Byte* Data, std::size_t Count) {
    for (std::size_t i = 0; i < Count; ++i) Put(Data[i]);
  }
  // Writes what is buffered; false once any write fell short.
  bool Flush() {
    if (FCount > 0) {
      Integer put = 0;
      try {
        put = FStream->Write(FBuffer, FCount);
      } catch (...) {
        put = 0;
      }
      if (put != FCount) FFailed = true;
      FCount = 0;
    }
    return !FFailed;
  }

 private:
  TStream* FStream;
  Byte FBuffer[65536];
  Integer FCount = 0;
  bool FFailed = false;
};

enum class TInjectKind { IPTC, EXIF };

// Copies In to Out marker by marker, putting Block (the payload of a
// marker with code BlockCode) in the place the kind asks for. Returns true
// when the block was placed and the copy ran to the end of the input.
bool CopyWithBlock(TStream* In, TStream* Out, TProgressRec& Progress, TInjectKind Kind, const std::vector<Byte>& Block) {
  const Byte blockCode = Kind == TInjectKind::IPTC ? 0xED : 0xE1;
  // A segment length counts its own two bytes in 16 bits.
  if (Block.size() > static_cast<std::size_t>(LKMaxMarkerPayload)) return false;
  const Int64 total = In->GetSize() - In->GetPosition();
  const double share = total > 0 ? 100.0 / static_cast<double>(total) : 0;

  auto reader = std::make_unique<TByteReader>(In);
  auto writer = std::make_unique<TByteWriter>(Out);
  bool written = false, sawApp1 = false, stopped = false;
  Integer lastReport = -1;

  auto writeBlock = [&] {
    if (written) return;
    written = true;
    if (Block.empty()) return;
    const std::size_t len = Block.size() + 2;
    const Byte head[4] = {0xFF, blockCode, static_cast<Byte>(len >> 8), static_cast<Byte>(len & 0xFF)};
    writer->Put(head, 4);
    writer->Put(Block.data(), Block.size());
  };
  // Reads a segment's length and body; false when the input ends inside it.
  std::vector<Byte> body;
  auto readSegment = [&](Integer& Length) {
    const int hi = reader->Next();
    const int lo = hi < 0 ? -1 : reader->Next();
    if (lo < 0) return false;
    Length = (hi << 8) | lo;
    if (Length < 2) return false;
    body.resize(static_cast<std::size_t>(Length - 2));
    for (Byte& b : body) {
      const int v = reader->Next();
      if (v < 0) return false;
      b = static_cast<Byte>(v);
    }
    return true;
  };
  auto copySegment = [&](Byte Code, Integer Length) {
    const Byte head[4] = {0xFF, Code, static_cast<Byte>(Length >> 8), static_cast<Byte>(Length & 0xFF)};
    writer->Put(head, 4);
    writer->Put(body.data(), body.size());
  };

  for (;;) {
    int b = reader->Next();
    if (b < 0) break;
    if (b != 0xFF) {
      writer->Put(static_cast<Byte>(b));
      continue;
    }
    const int code = reader->Next();
    if (code < 0) {
      writer->Put(0xFF);
      break;
    }
    if (code == 0x00 || code == 0x01 || (code >= 0xD0 && code <= 0xD8)) {
      writer->Put(0xFF);
      writer->Put(static_cast<Byte>(code));
    } else if (code == 0xD9) {
      writer->Put(0xFF);
      writer->Put(0xD9);
      for (int rest = reader->Next(); rest >= 0; rest = reader->Next()) writer->Put(static_cast<Byte>(rest));
      break;
    } else if (code < 0xC0 || code == 0xFF) {
      stopped = true;
      break;
    } else {
      Integer length = 0;
      if (!readSegment(length)) {
        stopped = true;
        break;
      }
      const Byte c = static_cast<Byte>(code);
      if (Kind == TInjectKind::IPTC) {
        if (c == 0xED) {
          writeBlock();  // in place of the first one; later ones are dropped
        } else {
          copySegment(c, length);
          if (c == 0xE0 || (c == 0xE1 && !sawApp1)) writeBlock();
          if (c == 0xE1) sawApp1 = true;
        }
      } else {
        if (c == 0xE1) {
          writeBlock();  // in place of the first one; later ones are dropped
        } else {
          copySegment(c, length);
          if (c == 0xE0) writeBlock();
        }
      }
    }
    if (Progress.OnProgress) {
      const Integer per = LKTrunc(static_cast<double>(reader->Consumed()) * share);
      if (per != lastReport) {
        lastReport = per;
        Progress.OnProgress(Progress.Sender, per);
      }
    }
  }
  const bool wrote = writer->Flush();
  if (!wrote && Progress.AbortFlag) Progress.AbortFlag->store(true);
  return written && !stopped && wrote;
}

// Example quantisation tables of the JPEG standard (luminance, then
// chrominance), in zigzag order as DQT segments store them.
constexpr int kRefTables[2][64] = {
    {16, 11, 12, 14, 12, 10, 16, 14, 13, 14, 18, 17, 16, 19, 24, 40, 26, 24, 22, 22, 24, 49,
     35, 37, 29, 40, 58, 51, 61, 60, 57, 51, 56, 55, 64, 72, 92, 78, 64, 68, 87, 69, 55,
     56, 80, 109, 81, 87, 95, 98, 103, 104, 103, 62, 77, 113, 121, 112, 100, 120, 92, 101, 103, 99},
    {17, 18, 18, 24, 21, 24, 47, 26, 26, 47, 99, 66, 56, 66, 99, 99, 99, 99, 99, 99, 99, 99,
     99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99,
     99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99, 99},
};

// Quality of one table against its reference.
Integer TableQuality(const int* Entries, const int* Reference) {
  bool allOnes = true;
  double sum = 0;
  for (int i = 0; i < 64; ++i) {
    if (Entries[i] != 1) allOnes = false;
    sum += Entries[i] * 100.0 / Reference[i];
  }
  if (allOnes) return 100;
  const double m = sum / 64;
  return LKRound(m > 100 ? 5000 / m : (200 - m) / 2);
}

}  // namespace

bool LKJpegInjectIPTC(TStream* In, TStream* Out, const TLKIPTCInfoList& IPTC, TProgressRec& Progress) {
  if (!In || !Out) return false;
  return CopyWithBlock(In, Out, Progress, TInjectKind::IPTC, IPTC.SaveToStandardBuffer(true));
}

bool LKJpegInjectEXIF(TStream* In, TStream* Out, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!In || !Out) return false;
  std::vector<Byte> block;
  SaveEXIFToStandardBuffer(Params, block);
  return CopyWithBlock(In, Out, Progress, TInjectKind::EXIF, block);
}

Integer LKGetJpegQuality(TStream* Stream, std::vector<Integer>& Result) {
  Result.assign(LKJpegQualityMax, 0);
  if (!Stream) return 0;
  auto reader = std::make_unique<TByteReader>(Stream);
  Integer count = 0;
  auto read16 = [&]() {
    const int hi = reader->Next();
    const int lo = hi < 0 ? -1 : reader->Next();
    return lo < 0 ? -1 : (hi << 8) | lo;
  };
  for (;;) {
    int b = reader->Next();
    if (b < 0) return count;
    if (b != 0xFF) continue;
    const int code = reader->Next();
    if (code < 0 || code == 0xD9) return count;
    if (code == 0xDB) {
      Integer left = read16();
      if (left < 2) return count;
      left -= 2;
      while (left > 0) {
        const int pq = reader->Next();
        if (pq < 0) return count;
        --left;
        const bool wide = (pq >> 4) != 0;
        const int table = pq & 15;
        int entries[64];
        for (int& e : entries) {
          e = wide ? read16() : reader->Next();
          if (e < 0) return count;
          left -= wide ? 2 : 1;
        }
        if (left < 0) return count;  // the table ran past its segment
        if (table <= 1) {
          Result[static_cast<std::size_t>(count++)] = TableQuality(entries, kRefTables[table]);
          if (count == LKJpegQualityMax) return count;
        }
      }
      continue;
    }
    // Encoders write one table per segment as often as all in one, so every
    // segment before the first scan counts; tables redefined between scans
    // do not.
    if (code == 0xDA) return count;
    if ((code >= 0xC0 && code <= 0xCF) || (code >= 0xDC && code <= 0xFE)) {
      const int length = read16();
      if (length < 0) return count;
      for (int i = 2; i < length; ++i)
        if (reader->Next() < 0) return count;
    }
  }
}
