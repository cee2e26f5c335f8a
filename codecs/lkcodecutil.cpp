#include "codecs/lkcodecutil.h"

#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstring>

namespace lkcodec {

void Abort(TProgressRec& Progress) {
  if (Progress.AbortFlag) Progress.AbortFlag->store(true);
}

bool Aborted(const TProgressRec& Progress) { return Progress.AbortFlag && Progress.AbortFlag->load(); }

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

namespace {
// What the process could hold: its address-space limit and the machine's
// memory plus the free space of the temporary folder (large pictures live
// in temporary files).
Int64 AllocationLimit() {
  Int64 limit = INT64_MAX;
  rlimit rl{};
  if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY) limit = std::min<Int64>(limit, Int64(rl.rlim_cur));
  const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGE_SIZE);
  Int64 room = pages > 0 && pageSize > 0 ? Int64(pages) * pageSize : Int64(1) << 32;
  struct statvfs fs{};
  const char* tmp = getenv("TMPDIR");
  if (statvfs(tmp && *tmp ? tmp : "/tmp", &fs) == 0) room += Int64(fs.f_bavail) * Int64(fs.f_frsize);
  return std::min(limit, room);
}
}  // namespace

std::atomic<Int64> gPictureLimit{0};

void SetPictureLimit(Int64 Bytes) { gPictureLimit.store(Bytes); }

bool PictureAllowed(TProgressRec& Progress, Int64 Width, Int64 Height, Integer BitsPerPixel) {
  // Rows are addressed with 32-bit lengths, so a row must stay below 2 GiB.
  const Int64 own = gPictureLimit.load();
  const Int64 limit = own > 0 ? std::min(own, AllocationLimit()) : AllocationLimit();
  const bool ok = Width > 0 && Height > 0 && Width <= INT_MAX / 8 && Height <= INT_MAX &&
                  (Width * BitsPerPixel + 31) / 8 < INT_MAX &&
                  (Width * BitsPerPixel + 31) / 8 * Height <= limit;
  if (!ok) Abort(Progress);
  return ok;
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
