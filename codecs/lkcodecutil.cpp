#include "codecs/lkcodecutil.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/atomicfile.h"

namespace lkcodec {

void Report(TProgressRec& Progress, Integer Percent) {
  if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Percent);
}

Int64 ReadFull(TStream& S, void* Buffer, Int64 Count) {
  Int64 got = 0;
  auto* p = static_cast<Byte*>(Buffer);
  while (got < Count) {
    const Integer n = S.Read(p + got, Integer(std::min<Int64>(Count - got, 1 << 30)));
    if (n <= 0) break;
    got += n;
  }
  return got;
}

Int64 Remaining(TStream& S) {
  const Int64 pos = S.Position();
  const Int64 size = S.Size();
  return pos >= 0 && size > pos ? size - pos : 0;
}

std::vector<Byte> ReadRest(TStream& S, Int64 Limit) {
  std::vector<Byte> data(size_t(std::min(Remaining(S), Limit)));
  data.resize(size_t(ReadFull(S, data.data(), Int64(data.size()))));
  return data;
}

void AbortOnStreamError(TProgressRec& Progress, const char* Format, const std::function<void()>& Write) {
  try {
    Write();
  } catch (const EStreamError& e) {
    LKAbort(Progress, String(Format) + ": " + e.what());
  }
}

void WriteFileUnlessAborted(const String& FileName, TProgressRec& Progress,
                            const std::function<void(TStream&)>& Write) {
  // Without a flag of the caller's, a local one (lent for the call) tells
  // whether the write failed.
  std::atomic<bool> local{false};
  const bool lent = Progress.AbortFlag == nullptr;
  if (lent) Progress.AbortFlag = &local;
  struct TGiveBack {
    TProgressRec& P;
    bool Lent;
    ~TGiveBack() {
      if (Lent) P.AbortFlag = nullptr;
    }
  } giveBack{Progress, lent};
  TAtomicFile file(FileName);
  Write(*file.Stream());
  if (LKAborted(Progress)) return;
  if (file.WriteFailed())
    return LKAbort(Progress, "cannot write \"" + FileName + "\": the disk is full or the file too large");
  file.Commit();
}

std::unique_ptr<TLKBitmap> ConvertTo1bitEx(TLKBitmap& Source, TRGB& Dark, TRGB& Light) {
  const Integer w = Source.GetWidth(), h = Source.GetHeight();
  auto out = std::make_unique<TLKBitmap>(w, h, lk1g);
  if (Source.GetPixelFormat() == lk1g) {
    for (Integer y = 0; y < h; ++y) std::memcpy(out->GetScanLine(y), Source.GetScanLine(y), size_t((w + 7) / 8));
    Dark = TRGB{0, 0, 0};
    Light = TRGB{255, 255, 255};
    return out;
  }
  TRGB colours[2];
  Integer count = 0;
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      const TRGB c = Source.GetPixels(x, y);
      Integer i = 0;
      while (i < count && !(colours[i].r == c.r && colours[i].g == c.g && colours[i].b == c.b)) ++i;
      if (i == count) {
        if (count == 2) return nullptr;
        colours[count++] = c;
      }
    }
  if (count == 0) return nullptr;
  if (count == 1) colours[1] = colours[0];
  auto lum = [](const TRGB& c) { return 21 * c.r + 71 * c.g + 8 * c.b; };
  if (lum(colours[1]) < lum(colours[0])) std::swap(colours[0], colours[1]);
  Dark = colours[0];
  Light = colours[1];
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(out->GetRow(y));
    std::memset(row, 0, size_t((w + 7) / 8));
    for (Integer x = 0; x < w; ++x) {
      const TRGB c = Source.GetPixels(x, y);
      if (c.r == Light.r && c.g == Light.g && c.b == Light.b && count == 2) row[x >> 3] |= Byte(0x80 >> (x & 7));
    }
    out->FreeAllMaps();
  }
  return out;
}

Integer NearestColor(const TRGB* Palette, Integer Count, const TRGB& C) {
  Integer best = 0;
  Int64 bestD = INT64_MAX;
  for (Integer i = 0; i < Count; ++i) {
    const Int64 dr = Palette[i].r - C.r, dg = Palette[i].g - C.g, db = Palette[i].b - C.b;
    const Int64 d = dr * dr + dg * dg + db * db;
    if (d < bestD) {
      bestD = d;
      best = i;
    }
  }
  return best;
}

TLKBitmap* WorkingCopy(TLKBitmap& Source, std::unique_ptr<TLKBitmap>& Holder, bool Keep1g, bool Keep8p) {
  const TLKPixelFormat f = Source.GetPixelFormat();
  if (f == lk24RGB || (Keep1g && f == lk1g) || (Keep8p && f == lk8p)) return &Source;
  Holder = std::make_unique<TLKBitmap>();
  Holder->Assign(&Source);
  Holder->SetPixelFormat(lk24RGB);
  return Holder.get();
}

Integer PpmToDpi(double Ppm) { return LKRound(Ppm / 100.0 * 2.54); }
Integer DpiToPpm(double Dpi) { return LKRound(Dpi / 2.54 * 100.0); }

}  // namespace lkcodec
