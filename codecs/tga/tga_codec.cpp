// TGA reader and writer.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/tga/tgafilt.h"
#include "core/lkquantizer.h"

using lkcodec::Le16;
using lkcodec::Le32;
using lkcodec::PutLe16;
using lkcodec::PutLe32;

namespace {

constexpr Integer kHeader = 18, kExtension = 495, kFooter = 26;
const char kSignature[] = "TRUEVISION-XFILE.";

bool TypeOk(Byte t) { return t == 1 || t == 2 || t == 3 || t == 9 || t == 10 || t == 11; }
bool DepthOk(Byte d) { return d == 1 || d == 4 || d == 8 || d == 16 || d == 24 || d == 32; }

String FixedText(const Byte* p, size_t n) { return String(reinterpret_cast<const char*>(p), strnlen(reinterpret_cast<const char*>(p), n)); }

}  // namespace

bool TryTGA(TStream* Stream) {
  if (!Stream) return false;
  Byte h[kHeader];
  const Int64 got = lkcodec::ReadFull(*Stream, h, kHeader);
  Stream->Seek(-got, soCurrent);
  return got == kHeader && TypeOk(h[2]) && DepthOk(h[16]) && h[1] <= 1 && Le16(h + 12) && Le16(h + 14);
}

void ReadTGAStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool ParamsOnly, TLKMask*& Mask, bool IgnoreAlpha) {
  if (!Stream) return LKAbort(Progress, "TGA: damaged or unsupported data");
  TStream& S = *Stream;
  const Int64 start = S.Position();
  const std::vector<Byte> d = lkcodec::ReadRest(S);
  S.Seek(start, soBeginning);
  TIOParamsVals& P = Params;
  P.TGA_AUTHOR.clear();
  P.TGA_IMAGENAME.clear();
  P.TGA_DATE = Now();
  P.TGA_BACKGROUND = TRGB{0, 0, 0};
  P.TGA_ASPECTRATIO = 1.0;
  P.TGA_GAMMA = 2.2;
  if (d.size() >= kHeader + kFooter && std::memcmp(d.data() + d.size() - 18, kSignature, 18) == 0) {
    const DWORD ext = Le32(d.data() + d.size() - kFooter);
    if (ext != 0 && Int64(ext) + kExtension <= Int64(d.size())) {
      const Byte* e = d.data() + ext;
      P.TGA_AUTHOR = FixedText(e + 2, 41);
      const Word mo = Le16(e + 367), dy = Le16(e + 369), yr = Le16(e + 371), hr = Le16(e + 373), mi = Le16(e + 375),
                 se = Le16(e + 377);
      TDateTime date = 0;
      if (yr >= 1 && yr <= 2499 && mo >= 1 && mo <= 12 && dy >= 1 && dy <= 31 && hr < 24 && mi < 60 && se < 60 &&
          TryEncodeDate(yr, mo, dy, date))
        P.TGA_DATE = date + EncodeTime(hr, mi, se, 0);
      P.TGA_IMAGENAME = FixedText(e + 379, 41);
      P.TGA_BACKGROUND = TRGB{e[473], e[472], e[471]};
      const Word an = Le16(e + 474), ad = Le16(e + 476), gn = Le16(e + 478), gd = Le16(e + 480);
      if (an && ad) P.TGA_ASPECTRATIO = double(an) / ad;
      if (gn && gd) P.TGA_GAMMA = double(gn) / gd;
    }
  }
  if (d.size() < kHeader) return LKAbort(Progress, "TGA: damaged or unsupported data");
  const Byte* h = d.data();
  const Byte idLen = h[0], mapType = h[1], type = h[2], mapEntry = h[7], depth = h[16], desc = h[17];
  const Word mapFirst = Le16(h + 3), mapLen = Le16(h + 5);
  const Integer w = Le16(h + 12), ht = Le16(h + 14);
  P.TGA_XPOS = Le16(h + 8);
  P.TGA_YPOS = Le16(h + 10);
  if (!TypeOk(type) || !DepthOk(depth) || mapType > 1) return LKAbort(Progress, "TGA: damaged or unsupported data");
  size_t at = kHeader;
  P.TGA_DESCRIPTOR = FixedText(h + at, std::min<size_t>(idLen, d.size() - at));
  at += idLen;
  TRGB pal[256];
  Byte palAlpha[256];
  std::fill(palAlpha, palAlpha + 256, 255);
  bool mapAlpha = false;
  for (Integer j = 0; j < 8; ++j)
    for (Integer k = 0; k < 8; ++k)
      for (Integer l = 0; l < 4; ++l) pal[j * 32 + k * 4 + l] = TRGB{Byte(64 * l + 60), Byte(32 * k + 28), Byte(32 * j + 28)};
  P.TGA_GRAYLEVEL = false;
  if (mapType == 1) {
    const Integer eb = (mapEntry + 7) / 8;
    for (Integer i = 0; i < mapLen; ++i, at += size_t(eb)) {
      const Integer slot = mapFirst + i;
      if (at + size_t(eb) > d.size()) break;
      if (slot > 255) continue;  // entries past the 256 the palette holds are skipped
      const Byte* e = d.data() + at;
      if (mapEntry == 15 || mapEntry == 16) {
        const Word v = Le16(e);
        pal[slot] = TRGB{Byte((v & 31) << 3), Byte(((v >> 5) & 31) << 3), Byte(((v >> 10) & 31) << 3)};
      } else if (mapEntry == 24 || mapEntry == 32) {
        pal[slot] = TRGB{e[0], e[1], e[2]};
        if (mapEntry == 32) {
          palAlpha[slot] = e[3];
          mapAlpha = true;
        }
      }
    }
    const Integer n = std::min<Integer>(mapLen, 256);
    P.SetColorMapCount(n);
    std::copy(pal, pal + n, P.ColorMap.begin());
  } else if (depth == 8) {
    for (Integer i = 0; i < 256; ++i) pal[i] = TRGB{Byte(i), Byte(i), Byte(i)};
    P.TGA_GRAYLEVEL = true;
  } else if (depth == 1) {
    pal[0] = TRGB{0, 0, 0};
    pal[1] = TRGB{255, 255, 255};
  }
  const bool rle = type >= 9;
  P.TGA_COMPRESSED = rle;
  P.WIDTH = w;
  P.HEIGHT = ht;
  P.DPIX = gDefaultDPIX;
  P.DPIY = gDefaultDPIY;
  switch (depth) {
    case 1: P.BITSPERSAMPLE = 1; P.SAMPLESPERPIXEL = 1; break;
    case 8: P.BITSPERSAMPLE = 8; P.SAMPLESPERPIXEL = 1; break;
    case 16: P.BITSPERSAMPLE = 5; P.SAMPLESPERPIXEL = 3; break;
    case 24: P.BITSPERSAMPLE = 8; P.SAMPLESPERPIXEL = 3; break;
    case 32: P.BITSPERSAMPLE = 8; P.SAMPLESPERPIXEL = 4; break;
    default: break;
  }
  if (ParamsOnly) return;
  // 4-bit pixels and run-length 1-bit pictures are not decoded.
  if (depth == 4 || (depth == 1 && rle) || w == 0 || ht == 0) return LKAbort(Progress, "TGA: damaged or unsupported data");
  const Integer bpp = depth == 1 ? 0 : depth / 8;
  const Int64 rawRow = depth == 1 ? (w + 7) / 8 : Int64(w) * bpp;
  const Int64 left = Int64(d.size()) - Int64(at);
  // Run-length data gives at most 128 pixels per packet of 2 bytes and more.
  if ((!rle && rawRow * ht > left * 8) || (rle && Int64(w) * ht > (left + 1) * 64 * 128))
    return LKAbort(Progress, "TGA: damaged or unsupported data");
  const TLKPixelFormat fmt = depth == 1 ? lk1g : lk24RGB;
  if (!LKAllowPicture(w, ht, depth == 1 ? 1 : 24, Progress, "TGA")) return;
  TLKBitmap& B = *Bitmap;
  B.Allocate(w, ht, fmt);
  const bool alpha = !IgnoreAlpha && ((depth == 32 && (desc & 8)) || (mapType == 1 && mapEntry == 32 && depth == 8));
  if (alpha) {
    if (!Mask) Mask = new TLKMask();
    Mask->AllocateBits(w, ht, 8);
    Mask->Fill(255);
    Mask->SetFull(false);
  }
  const bool topDown = (desc & 0x20) != 0, rightToLeft = (desc & 0x10) != 0;
  std::vector<Byte> arow(static_cast<size_t>(w), 255);
  Integer runLeft = 0;
  bool runIsRepeat = false;
  Byte runPixel[4] = {};
  bool shortData = false;
  // One stored pixel to blue, green, red (and alpha).
  auto pixel = [&](const Byte* s, Byte* out, Byte& a) {
    switch (depth) {
      case 8:
        std::memcpy(out, &pal[s[0]], 3);
        a = mapAlpha ? palAlpha[s[0]] : 255;
        break;
      case 16: {
        const Word v = Le16(s);
        out[0] = Byte((v & 31) << 3);
        out[1] = Byte(((v >> 5) & 31) << 3);
        out[2] = Byte(((v >> 10) & 31) << 3);
        a = 255;
        break;
      }
      case 24: std::memcpy(out, s, 3); a = 255; break;
      default: std::memcpy(out, s, 3); a = s[3]; break;
    }
  };
  for (Integer r = 0; r < ht && !shortData; ++r) {
    if (LKAborted(Progress)) break;
    const Integer y = topDown ? r : ht - 1 - r;
    Byte* row = static_cast<Byte*>(B.GetScanLine(y));
    if (depth == 1) {
      const Int64 n = std::min<Int64>(rawRow, Int64(d.size()) - Int64(at));
      std::memcpy(row, d.data() + at, size_t(std::max<Int64>(n, 0)));
      at += size_t(std::max<Int64>(n, 0));
      if (n < rawRow) shortData = true;
    } else {
      std::fill(arow.begin(), arow.end(), Byte(255));
      for (Integer x = 0; x < w;) {
        if (!rle) {
          if (at + size_t(bpp) > d.size()) {
            shortData = true;
            break;
          }
          pixel(d.data() + at, row + size_t(x) * 3, arow[size_t(x)]);
          at += size_t(bpp);
          ++x;
          continue;
        }
        if (runLeft == 0) {
          if (at >= d.size()) {
            shortData = true;
            break;
          }
          const Byte head = d[at++];
          runLeft = (head & 0x7F) + 1;
          runIsRepeat = (head & 0x80) != 0;
          if (runIsRepeat) {
            if (at + size_t(bpp) > d.size()) {
              shortData = true;
              break;
            }
            std::memcpy(runPixel, d.data() + at, size_t(bpp));
            at += size_t(bpp);
          }
        }
        // A packet crossing the row's end goes on in the next row.
        while (runLeft > 0 && x < w) {
          if (runIsRepeat) {
            pixel(runPixel, row + size_t(x) * 3, arow[size_t(x)]);
          } else {
            if (at + size_t(bpp) > d.size()) {
              shortData = true;
              runLeft = 0;
              break;
            }
            pixel(d.data() + at, row + size_t(x) * 3, arow[size_t(x)]);
            at += size_t(bpp);
          }
          --runLeft;
          ++x;
        }
        if (shortData) break;
      }
      if (rightToLeft) {
        TRGB* px = reinterpret_cast<TRGB*>(row);
        std::reverse(px, px + w);
        std::reverse(arow.begin(), arow.end());
      }
      if (alpha) std::memcpy(Mask->GetScanLine(y), arow.data(), size_t(w));
    }
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(r * 100.0 / ht));
  }
  B.FreeAllMaps();
  if (alpha) {
    Mask->SyncRect();
    if (Mask->IsEmpty()) {
      delete Mask;
      Mask = nullptr;
    } else {
      Mask->SyncFull();
    }
  }
  if (shortData) LKAbort(Progress, "TGA: damaged or unsupported data");
}

void WriteTGAStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    TLKMask* Mask) {
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "TGA: damaged or unsupported data");
  TIOParamsVals& P = Params;
  std::unique_ptr<TLKBitmap> copy;
  TLKBitmap* src = lkcodec::WorkingCopy(*Bitmap, copy, true, false);
  const Integer w = src->GetWidth(), h = src->GetHeight();
  if (w > 65535 || h > 65535) return LKAbort(Progress, "TGA: damaged or unsupported data");
  Integer depth = 24;
  std::unique_ptr<TLKQuantizer> q;
  std::vector<TRGB> pal;
  if (P.SAMPLESPERPIXEL == 1 && P.BITSPERSAMPLE == 1) {
    if (src->GetPixelFormat() != lk1g) {
      TRGB dark{}, light{};
      std::unique_ptr<TLKBitmap> one = lkcodec::ConvertTo1bitEx(*src, dark, light);
      if (!one) {
        one = std::make_unique<TLKBitmap>();
        one->Assign(src);
        one->SetPixelFormat(lk1g);
      }
      copy = std::move(one);
      src = copy.get();
    }
    depth = 1;
    P.TGA_COMPRESSED = false;
  } else if (P.SAMPLESPERPIXEL == 1 && (P.BITSPERSAMPLE == 4 || P.BITSPERSAMPLE == 8)) {
    // 4-bit pictures are written with 8-bit indices into a 16-entry map:
    // TGA readers know no 4-bit pixels.
    const Integer n = P.BITSPERSAMPLE == 4 ? 16 : 256;
    if (src->GetPixelFormat() == lk1g) src = lkcodec::WorkingCopy(*Bitmap, copy, false, false), src->SetPixelFormat(lk24RGB);
    pal.assign(size_t(n), TRGB{0, 0, 0});
    q = std::make_unique<TLKQuantizer>(src, pal.data(), n - 1, n, -1, 0);
    P.SetColorMapCount(n);
    std::copy(pal.begin(), pal.end(), P.ColorMap.begin());
    depth = 8;
    if (n == 16) P.TGA_COMPRESSED = false;
  } else if (Mask && !Mask->GetFull() && Mask->GetWidth() >= w && Mask->GetHeight() >= h &&
             Mask->GetBitsPerPixel() == 8) {
    depth = 32;
    P.TGA_COMPRESSED = false;
  }
  if (src->GetPixelFormat() == lk1g && depth != 1) {
    src = lkcodec::WorkingCopy(*Bitmap, copy, false, false);
    if (src->GetPixelFormat() != lk24RGB) src->SetPixelFormat(lk24RGB);
  }
  const bool grey = depth == 8 && P.TGA_GRAYLEVEL && pal.size() == 256;
  const bool mapped = depth == 8 && !grey;
  const bool rle = P.TGA_COMPRESSED && (depth == 8 || depth == 24);
  String id = P.TGA_DESCRIPTOR.substr(0, 254);
  std::vector<Byte> out(kHeader, 0);
  out[0] = Byte(id.size() + 1);
  out[1] = mapped ? 1 : 0;
  out[2] = Byte((depth == 1 || grey ? 3 : mapped ? 1 : 2) + (rle ? 8 : 0));
  if (mapped) {
    PutLe16(&out[5], Word(pal.size()));
    out[7] = 24;
  }
  PutLe16(&out[8], Word(P.TGA_XPOS));
  PutLe16(&out[10], Word(P.TGA_YPOS));
  PutLe16(&out[12], Word(w));
  PutLe16(&out[14], Word(h));
  out[16] = Byte(depth);
  out[17] = Byte(0x20 | (depth == 32 ? 8 : 0));
  out.insert(out.end(), id.begin(), id.end());
  out.push_back(0);
  if (mapped)
    for (const TRGB& c : pal) out.insert(out.end(), {c.b, c.g, c.r});
  std::atomic<bool>* abort = Progress.AbortFlag;
  SafeStreamWrite(Stream, abort, out.data(), Integer(out.size()));
  Int64 written = Int64(out.size());
  const Integer bpp = depth / 8;
  std::vector<Byte> row(static_cast<size_t>(w) * 4 + 8), packed;
  for (Integer y = 0; y < h; ++y) {
    const Byte* s = static_cast<const Byte*>(src->GetScanLine(y));
    const TRGB* px = reinterpret_cast<const TRGB*>(s);
    Integer len = 0;
    if (depth == 1) {
      len = (w + 7) / 8;
      std::memcpy(row.data(), s, size_t(len));
    } else if (depth == 8) {
      for (Integer x = 0; x < w; ++x) {
        const Integer i = std::clamp(q->GetRGBIndex(px[x]), 0, Integer(pal.size()) - 1);
        const TRGB c = pal[size_t(i)];
        row[size_t(x)] = grey ? Byte((c.r * 21 + c.g * 71 + c.b * 8) / 100) : Byte(i);
      }
      len = w;
    } else if (depth == 24) {
      std::memcpy(row.data(), s, size_t(w) * 3);
      len = w * 3;
    } else {
      const Byte* m = Mask->GetScanLine(y);
      for (Integer x = 0; x < w; ++x) {
        std::memcpy(&row[size_t(x) * 4], &px[x], 3);
        row[size_t(x) * 4 + 3] = m[x];
      }
      len = w * 4;
    }
    if (rle) {
      packed.clear();
      Integer x = 0;
      auto same = [&](Integer a, Integer b) { return std::memcmp(&row[size_t(a) * bpp], &row[size_t(b) * bpp], size_t(bpp)) == 0; };
      while (x < w) {
        Integer n = 1;
        while (x + n < w && n < 128 && same(x, x + n)) ++n;
        if (n >= 2) {
          packed.push_back(Byte(0x80 | (n - 1)));
          packed.insert(packed.end(), &row[size_t(x) * bpp], &row[size_t(x) * bpp] + bpp);
          x += n;
          continue;
        }
        Integer m = 1;
        while (x + m < w && m < 128 && !(x + m + 1 < w && same(x + m, x + m + 1))) ++m;
        if (m == 128 && x + m < w) m = 127;
        packed.push_back(Byte(m - 1));
        packed.insert(packed.end(), &row[size_t(x) * bpp], &row[size_t(x + m) * bpp]);
        x += m;
      }
      SafeStreamWrite(Stream, abort, packed.data(), Integer(packed.size()));
      written += Int64(packed.size());
    } else {
      SafeStreamWrite(Stream, abort, row.data(), len);
      written += len;
    }
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(y * 100.0 / h));
  }
  src->FreeAllMaps();
  std::vector<Byte> ext(kExtension, 0);
  PutLe16(&ext[0], kExtension);
  std::memcpy(&ext[2], P.TGA_AUTHOR.data(), std::min<size_t>(P.TGA_AUTHOR.size(), 40));
  Word yr = 0, mo = 0, dy = 0, hr = 0, mi = 0, se = 0, ms = 0;
  DecodeDate(P.TGA_DATE, yr, mo, dy);
  DecodeTime(P.TGA_DATE, hr, mi, se, ms);
  PutLe16(&ext[367], mo);
  PutLe16(&ext[369], dy);
  PutLe16(&ext[371], yr);
  PutLe16(&ext[373], hr);
  PutLe16(&ext[375], mi);
  PutLe16(&ext[377], se);
  std::memcpy(&ext[379], P.TGA_IMAGENAME.data(), std::min<size_t>(P.TGA_IMAGENAME.size(), 40));
  ext[471] = P.TGA_BACKGROUND.r;
  ext[472] = P.TGA_BACKGROUND.g;
  ext[473] = P.TGA_BACKGROUND.b;
  // Ratios as fractions over 10000, reduced so both fit 16 bits.
  auto ratio = [&](double v, Integer at) {
    Int64 num = std::clamp<Int64>(Int64(std::trunc(v * 10000)), 0, 65535 * 10000LL), den = 10000;
    while (num > 65535) {
      num /= 2;
      den /= 2;
    }
    if (den == 0) den = 1;
    PutLe16(&ext[size_t(at)], Word(num));
    PutLe16(&ext[size_t(at) + 2], Word(den));
  };
  ratio(P.TGA_ASPECTRATIO, 474);
  ratio(P.TGA_GAMMA, 478);
  SafeStreamWrite(Stream, abort, ext.data(), kExtension);
  Byte foot[kFooter] = {};
  PutLe32(foot, DWORD(written));
  std::memcpy(foot + 8, kSignature, 18);
  SafeStreamWrite(Stream, abort, foot, kFooter);
}
