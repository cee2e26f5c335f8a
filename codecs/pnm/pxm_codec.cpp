// Portable formats and WBMP.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/lkcodecutil.h"
#include "codecs/pnm/pxmfilt.h"

namespace {

// Buffered bytes of a stream; Sync puts the stream back at the first byte
// not taken.
class TByteSource {
 public:
  explicit TByteSource(TStream& S) : S_(S) {}
  bool Get(Byte& B) {
    if (at_ == have_ && !Fill()) return false;
    B = buf_[at_++];
    return true;
  }
  // Copies up to N bytes; returns the count.
  Int64 Read(Byte* Dst, Int64 N) {
    Int64 got = std::min<Int64>(N, have_ - at_);
    std::memcpy(Dst, buf_ + at_, size_t(got));
    at_ += Integer(got);
    if (got < N) got += lkcodec::ReadFull(S_, Dst + got, N - got);
    return got;
  }
  void Sync() {
    if (at_ < have_) S_.Seek(at_ - have_, soCurrent);
    at_ = have_ = 0;
  }

 private:
  bool Fill() {
    const Integer n = S_.Read(buf_, sizeof buf_);
    at_ = 0;
    have_ = n > 0 ? n : 0;
    return have_ > 0;
  }
  TStream& S_;
  Byte buf_[65536];
  Integer at_ = 0, have_ = 0;
};

bool Alnum(Byte c) { return std::isalnum(c) != 0; }

// The next header token: digits and letters, or "#" and the trimmed rest of
// the line. Empty at the end of the stream.
String Token(TByteSource& In) {
  Byte c = 0;
  do {
    if (!In.Get(c)) return String();
  } while (!Alnum(c) && c != '#');
  String t;
  if (c == '#') {
    while (In.Get(c) && c != '\n' && c != '\r') t += char(c);
    const size_t a = t.find_first_not_of(" \t"), b = t.find_last_not_of(" \t");
    return "#" + (a == String::npos ? String() : t.substr(a, b - a + 1));
  }
  t += char(c);
  while (In.Get(c) && Alnum(c)) t += char(c);
  return t;
}

// A decimal number; Fallback for anything else (or values past 32 bits).
Int64 Number(const String& T, Int64 Fallback) {
  if (T.empty() || T.size() > 10) return Fallback;
  Int64 v = 0;
  for (char c : T) {
    if (c < '0' || c > '9') return Fallback;
    v = v * 10 + (c - '0');
  }
  return v;
}

// A plain sample: the next token that is not a comment... comments between
// samples count as samples of value 0.
Int64 PlainSample(TByteSource& In, bool& End) {
  const String t = Token(In);
  End = t.empty();
  return Number(t, 0);
}

}  // namespace

bool TryPXM(TStream* Stream) {
  if (!Stream) return false;
  const Int64 pos = Stream->Position();
  bool ok = false;
  {
    TByteSource in(*Stream);
    String magic;
    for (Integer n = 0; n < 501 && magic.empty(); ++n) {
      const String t = Token(in);
      if (t.empty()) break;
      if (t[0] != '#') magic = t;
    }
    if (magic.size() == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6') {
      Int64 dims[2] = {-1, -1};
      Integer got = 0;
      for (Integer n = 0; n < 501 && got < 2; ++n) {
        const String t = Token(in);
        if (t.empty()) break;
        if (t[0] != '#') dims[got++] = Number(t, -1);
      }
      ok = dims[0] > 0 && dims[1] > 0;
    }
  }
  Stream->Seek(pos, soBeginning);
  return ok;
}

void PXMReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool ParamsOnly) {
  if (!Stream) return LKAbort(Progress, "PNM: damaged or unsupported data");
  TStream& S = *Stream;
  TByteSource in(S);
  Params.PXM_CommentLines.Clear();
  String magic;
  Int64 width = -1, height = -1, maxval = -1;
  Integer field = 0;
  while (field < 4) {
    const String t = Token(in);
    if (t.empty()) break;
    if (t[0] == '#') {
      Params.PXM_CommentLines.Add(t.substr(1));
      continue;
    }
    if (field == 0) {
      magic = t;
      if (magic == "P1" || magic == "P4") maxval = 1;
    } else if (field == 1) {
      width = Number(t, -1);
    } else if (field == 2) {
      height = Number(t, -1);
      if (maxval == 1) {
        ++field;
        break;
      }
    } else {
      maxval = Number(t, -1);
    }
    ++field;
  }
  const bool known = magic.size() == 2 && magic[0] == 'P' && magic[1] >= '1' && magic[1] <= '6';
  if (!known || field < 3 || width <= 0 || height <= 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
      maxval < 1 || maxval > 65535)
    return LKAbort(Progress, "PNM: damaged or unsupported data");
  const char kind = magic[1];
  const Integer w = Integer(width), h = Integer(height);
  Params.SetColorMapCount(0);
  Params.WIDTH = w;
  Params.HEIGHT = h;
  Params.DPIX = gDefaultDPIX;
  Params.DPIY = gDefaultDPIY;
  const bool wide = kind == '6' && maxval > 255;
  if (kind == '1' || kind == '4') {
    Params.BITSPERSAMPLE = 1;
    Params.SAMPLESPERPIXEL = 1;
  } else if (kind == '2' || kind == '5') {
    Params.BITSPERSAMPLE = 8;
    Params.SAMPLESPERPIXEL = 1;
  } else {
    Params.BITSPERSAMPLE = wide ? 16 : 8;
    Params.SAMPLESPERPIXEL = 3;
  }
  if (ParamsOnly) {
    in.Sync();
    return;
  }
  const Int64 left = lkcodec::Remaining(S) + 65536;  // the buffered bytes are not counted there
  // Bytes the raster needs at the least: a plain sample takes one
  // character at the least, a raw sample its bytes.
  const Int64 sampleBytes = maxval > 255 ? 2 : 1;
  const Int64 rowMin = kind == '4' ? (width + 7) / 8 : kind == '1' ? width : kind == '2' || kind == '5' ? width * sampleBytes : width * 3 * sampleBytes;
  if (rowMin * height > left * 8) return LKAbort(Progress, "PNM: damaged or unsupported data");
  const TLKPixelFormat fmt = (kind == '1' || kind == '4') ? lk1g : (wide && Params.ISNATIVEPIXELFORMAT) ? lk48RGB : lk24RGB;
  if (!LKAllowPicture(w, h, fmt == lk1g ? 1 : fmt == lk48RGB ? 48 : 24, Progress, "PNM")) return;
  TLKBitmap& B = *Bitmap;
  B.Allocate(w, h, fmt);
  auto scale = [maxval](Int64 v) { return Byte(std::min<Int64>(v, maxval) * 255 / maxval); };
  std::vector<Byte> buf(static_cast<size_t>(rowMin) + 8);
  bool shortData = false;
  for (Integer y = 0; y < h && !shortData; ++y) {
    if (LKAborted(Progress)) break;
    Byte* row = static_cast<Byte*>(B.GetScanLine(y));
    TRGB* px = reinterpret_cast<TRGB*>(row);
    bool end = false;
    switch (kind) {
      case '1': {
        std::memset(row, 0, size_t((w + 7) / 8));
        for (Integer x = 0; x < w;) {
          Byte c = 0;
          if (!in.Get(c)) {
            end = true;
            break;
          }
          if (c == '#') {
            while (in.Get(c) && c != '\n' && c != '\r') {
            }
            continue;
          }
          if (c != '0' && c != '1') continue;
          if (c == '0') row[x >> 3] |= Byte(0x80 >> (x & 7));
          ++x;
        }
        break;
      }
      case '2':
      case '3': {
        const Integer per = kind == '2' ? 1 : 3;
        for (Integer x = 0; x < w && !end; ++x) {
          Byte v[3];
          for (Integer k = 0; k < per && !end; ++k) v[k] = scale(PlainSample(in, end));
          if (end) break;
          px[x] = per == 1 ? TRGB{v[0], v[0], v[0]} : TRGB{v[2], v[1], v[0]};
        }
        break;
      }
      case '4': {
        const Int64 n = (w + 7) / 8;
        end = in.Read(row, n) < n;
        for (Int64 i = 0; i < n; ++i) row[i] = Byte(~row[i]);
        break;
      }
      case '5': {
        const Int64 n = Int64(w) * sampleBytes;
        end = in.Read(buf.data(), n) < n;
        for (Integer x = 0; x < w; ++x) {
          const Int64 v = sampleBytes == 2 ? (buf[size_t(x) * 2] << 8) | buf[size_t(x) * 2 + 1] : buf[size_t(x)];
          const Byte g = scale(v);
          px[x] = TRGB{g, g, g};
        }
        break;
      }
      default: {
        const Int64 n = Int64(w) * 3 * sampleBytes;
        end = in.Read(buf.data(), n) < n;
        if (fmt == lk48RGB) {
          TRGB48* p48 = reinterpret_cast<TRGB48*>(row);
          for (Integer x = 0; x < w; ++x) {
            const Byte* s = buf.data() + size_t(x) * 6;
            // Samples are scaled to the full 16-bit range.
            auto v = [&](int k) { return Word(Int64(std::min<Int64>((s[k * 2] << 8) | s[k * 2 + 1], maxval)) * 65535 / maxval); };
            p48[x] = TRGB48{v(0), v(1), v(2)};
          }
        } else if (sampleBytes == 2) {
          for (Integer x = 0; x < w; ++x) {
            const Byte* s = buf.data() + size_t(x) * 6;
            px[x] = TRGB{scale((s[4] << 8) | s[5]), scale((s[2] << 8) | s[3]), scale((s[0] << 8) | s[1])};
          }
        } else {
          for (Integer x = 0; x < w; ++x) {
            const Byte* s = buf.data() + size_t(x) * 3;
            px[x] = maxval == 255 ? TRGB{s[2], s[1], s[0]} : TRGB{scale(s[2]), scale(s[1]), scale(s[0])};
          }
        }
        break;
      }
    }
    if (end) shortData = true;
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc((y + 1) * 100.0 / h));
  }
  B.FreeAllMaps();
  in.Sync();
  if (shortData) LKAbort(Progress, "PNM: damaged or unsupported data");
}

void PXMWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "PNM: damaged or unsupported data");
  TLKBitmap& B = *Bitmap;
  const TLKPixelFormat pf = B.GetPixelFormat();
  const Integer w = B.GetWidth(), h = B.GetHeight();
  String comments;
  for (Integer i = 0; i < Params.PXM_CommentLines.Count(); ++i)
    comments += "\n# " + Params.PXM_CommentLines.Strings(i) + "\n";
  const String size = comments + std::to_string(w) + " " + std::to_string(h);
  char kind = 0;
  Integer max = 255;
  if ((Params.BITSPERSAMPLE == 1 && Params.SAMPLESPERPIXEL == 1) || pf == lk1g) kind = '4';
  else if (Params.BITSPERSAMPLE == 8 && Params.SAMPLESPERPIXEL == 1) kind = '5';
  else if ((Params.BITSPERSAMPLE == 16 && Params.SAMPLESPERPIXEL == 3) || pf == lk48RGB) kind = '6', max = 65535;
  else kind = '6';
  std::unique_ptr<TLKBitmap> copy;
  TLKBitmap* src = &B;
  if (kind == '4' && pf != lk1g) {
    copy = std::make_unique<TLKBitmap>();
    copy->Assign(&B);
    copy->SetPixelFormat(lk1g);
    src = copy.get();
  } else if (kind != '4' && !(kind == '6' && max == 65535 && pf == lk48RGB)) {
    src = lkcodec::WorkingCopy(B, copy, false, false);
  }
  const String header = String("P") + kind + " " + size + (kind == '4' ? "" : " " + std::to_string(max)) + "\n";
  std::atomic<bool>* abort = Progress.AbortFlag;
  SafeStreamWrite(Stream, abort, header.data(), Integer(header.size()));
  const Integer per = kind == '4' ? (w + 7) / 8 : kind == '5' ? w : max == 255 ? w * 3 : w * 6;
  std::vector<Byte> out(static_cast<size_t>(per));
  for (Integer y = 0; y < h; ++y) {
    const Byte* s = static_cast<const Byte*>(src->GetScanLine(y));
    const TRGB* px = reinterpret_cast<const TRGB*>(s);
    if (kind == '4') {
      for (Integer i = 0; i < per; ++i) out[size_t(i)] = Byte(~s[i]);
    } else if (kind == '5') {
      for (Integer x = 0; x < w; ++x) out[size_t(x)] = Byte((px[x].r * 21 + px[x].g * 71 + px[x].b * 8) / 100);
    } else if (max == 255) {
      for (Integer x = 0; x < w; ++x) {
        out[size_t(x) * 3] = px[x].r;
        out[size_t(x) * 3 + 1] = px[x].g;
        out[size_t(x) * 3 + 2] = px[x].b;
      }
    } else {
      for (Integer x = 0; x < w; ++x) {
        Word v[3];
        if (src->GetPixelFormat() == lk48RGB) {
          const TRGB48& p = reinterpret_cast<const TRGB48*>(s)[x];
          v[0] = p.r, v[1] = p.g, v[2] = p.b;
        } else {
          v[0] = Word(px[x].r * 257), v[1] = Word(px[x].g * 257), v[2] = Word(px[x].b * 257);
        }
        for (int k = 0; k < 3; ++k) {
          out[size_t(x) * 6 + k * 2] = Byte(v[k] >> 8);
          out[size_t(x) * 6 + k * 2 + 1] = Byte(v[k]);
        }
      }
    }
    SafeStreamWrite(Stream, abort, out.data(), per);
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc((y + 1) * 100.0 / h));
  }
  src->FreeAllMaps();
}

namespace {
// A WBMP multi-byte integer (7 bits per byte, top bit: more follow), at
// most 4 bytes.
bool ReadMBI(TStream& S, Int64& V) {
  V = 0;
  for (int i = 0; i < 4; ++i) {
    Byte b = 0;
    if (S.Read(&b, 1) != 1) return false;
    V = (V << 7) | (b & 0x7F);
    if (!(b & 0x80)) return true;
  }
  return true;
}
void PutMBI(std::vector<Byte>& Out, DWORD V) {
  Byte t[5];
  int n = 0;
  do {
    t[n++] = Byte(V & 0x7F);
    V >>= 7;
  } while (V);
  while (n > 0) {
    --n;
    Out.push_back(Byte(t[n] | (n ? 0x80 : 0)));
  }
}
}  // namespace

void WBMPReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    bool ParamsOnly) {
  if (!Stream) return LKAbort(Progress, "PNM: damaged or unsupported data");
  Int64 type = 0, fixed = 0, w = 0, h = 0;
  if (!ReadMBI(*Stream, type) || !ReadMBI(*Stream, fixed) || !ReadMBI(*Stream, w) || !ReadMBI(*Stream, h) ||
      type != 0 || fixed != 0 || w == 0 || h == 0)
    return LKAbort(Progress, "PNM: damaged or unsupported data");
  Params.BITSPERSAMPLE = 1;
  Params.SAMPLESPERPIXEL = 1;
  Params.WIDTH = Integer(w);
  Params.HEIGHT = Integer(h);
  Params.DPIX = gDefaultDPIX;
  Params.DPIY = gDefaultDPIY;
  Params.SetColorMapCount(0);
  if (ParamsOnly) return;
  const Int64 rowLen = (w + 7) / 8;
  if (rowLen * h > lkcodec::Remaining(*Stream) * 8) return LKAbort(Progress, "PNM: damaged or unsupported data");
  if (!LKAllowPicture(w, h, 1, Progress, "WBMP")) return;
  Bitmap->Allocate(Integer(w), Integer(h), lk1g);
  bool shortData = false;
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(Bitmap->GetScanLine(y));
    const Int64 got = shortData ? 0 : lkcodec::ReadFull(*Stream, row, rowLen);
    if (got < rowLen) {
      std::memset(row + got, 0, size_t(rowLen - got));
      shortData = true;
    }
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(y * 100.0 / h));
  }
  Bitmap->FreeAllMaps();
  if (shortData) LKAbort(Progress, "PNM: damaged or unsupported data");
}

void WBMPWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "PNM: damaged or unsupported data");
  std::unique_ptr<TLKBitmap> copy;
  TLKBitmap* src = Bitmap;
  if (Bitmap->GetPixelFormat() != lk1g) {
    copy = std::make_unique<TLKBitmap>();
    copy->Assign(Bitmap);
    // Dithered, so that every part of the picture keeps its light: a
    // threshold at the picture's mean splits even a light picture into
    // half black.
    copy->SetDitherMethod(lkOrdered);
    copy->SetPixelFormat(lk1g);
    src = copy.get();
  }
  Integer w = src->GetWidth(), h = src->GetHeight();
  if (w > 255 || h > 255) {
    if (w >= h) {
      h = std::max<Integer>(1, Integer(Int64(h) * 255 / w));
      w = 255;
    } else {
      w = std::max<Integer>(1, Integer(Int64(w) * 255 / h));
      h = 255;
    }
  }
  std::vector<Byte> out = {0, 0};
  PutMBI(out, DWORD(w));
  PutMBI(out, DWORD(h));
  const Integer rowLen = (w + 7) / 8;
  for (Integer y = 0; y < h; ++y) {
    const Byte* row = static_cast<const Byte*>(src->GetScanLine(y));
    out.insert(out.end(), row, row + rowLen);
    if (w & 7) out.back() &= Byte(0xFF << (8 - (w & 7)));
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(y * 100.0 / h));
  }
  src->FreeAllMaps();
  SafeStreamWrite(Stream, Progress.AbortFlag, out.data(), Integer(out.size()));
}
