// Document reader.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/lkcodecutil.h"
#include "codecs/psd/psd_pvt.h"
#include "codecs/psd/psdfilt.h"
#include "core/lkbytereader.h"
#include "core/lkicc.h"
#include "core/lkstreams.h"
#include "io/lkformatrow.h"
#include "core/lklayer.h"

namespace lkpsd {

TLKPixelFormat FormatOf(Integer Mode, Integer Depth) {
  switch (Mode) {
    case 0: return Depth == 1 ? lk1g : lknull;
    case 1:
    case 8: return Depth == 8 ? lk8g : Depth == 16 ? lk16g : lknull;
    case 2: return Depth == 8 ? lk8p : lknull;
    case 3: return Depth == 8 ? lk24RGB : Depth == 16 ? lk48RGB : lknull;
    case 4: return Depth == 8 || Depth == 16 ? lkCMYK : lknull;
    case 9: return Depth == 8 || Depth == 16 ? lkCIELab : lknull;
    default: return lknull;
  }
}

Integer ModeOf(TLKPixelFormat Format) {
  switch (Format) {
    case lk1g: return 0;
    case lk8p: return 2;
    case lk8g:
    case lk16g: return 1;
    case lk24RGB:
    case lk48RGB: return 3;
    case lkCMYK: return 4;
    case lkCIELab: return 9;
    default: return -1;
  }
}

}  // namespace lkpsd

namespace {

using lkpsd::RowBytes;

constexpr Integer kMaxLayerChannels = 56;
constexpr Int64 kMaxSide = 300000;

struct TBlendKey {
  char Key[5];
  TLKRenderOperation Op;
};
constexpr TBlendKey kBlendKeys[] = {
    {"norm", lklNormal},   {"mul ", lklMul},         {"scrn", lklScreen},      {"over", lklOverlay},
    {"hLit", lklHardLight}, {"sLit", lklSoftLight},   {"dark", lklMIN},         {"lite", lklMAX},
    {"smud", lklExclusion}, {"lddg", lklAdd},         {"fsub", lklSub},         {"fdiv", lklDiv},
    {"idiv", lklColorBurn},
};

// What the reader knows of the document.
struct TDoc {
  Integer Channels = 0, Height = 0, Width = 0, Depth = 0, Mode = 0;
  TLKPixelFormat Format = lknull;
  std::vector<TRGB> Palette;  // 256 entries from the colour-mode data, or empty
  Integer TransIndex = -1;
};

// One layer record.
struct TRecord {
  Int64 Top = 0, Left = 0, Bottom = 0, Right = 0;
  std::vector<std::pair<Integer, Int64>> Channels;  // id, data length
  char Blend[5] = "norm";
  Byte Opacity = 255, Clipping = 0, Flags = 0;
  bool HasMask = false;
  Int64 MTop = 0, MLeft = 0, MBottom = 0, MRight = 0;
  String Name;
};

// Unpacks one PackBits row from Src (Count bytes) into Dst (RowLen bytes,
// zero-filled when the data run short). A control byte of -128 is a no-op.
void UnpackRow(const Byte* Src, size_t Count, Byte* Dst, size_t RowLen) {
  size_t i = 0, o = 0;
  while (i < Count && o < RowLen) {
    const int n = static_cast<signed char>(Src[i++]);
    if (n >= 0) {
      const size_t k = std::min({size_t(n) + 1, Count - i, RowLen - o});
      std::memcpy(Dst + o, Src + i, k);
      i += size_t(n) + 1;
      o += k;
    } else if (n != -128) {
      if (i >= Count) break;
      const size_t k = std::min(size_t(1 - n), RowLen - o);
      std::memset(Dst + o, Src[i++], k);
      o += k;
    }
  }
  if (o < RowLen) std::memset(Dst + o, 0, RowLen - o);
}

// Puts one decoded row of channel Id into B (allocated in Doc's format).
void PlaceRow(const TDoc& D, TLKBitmap& B, Integer Id, Integer Y, const Byte* Row, Integer Width) {
  const bool wide = D.Depth == 16;
  auto alpha = [&] {
    Byte* a = static_cast<Byte*>(B.GetAlphaChannel()->GetScanLine(Y));
    for (Integer x = 0; x < Width; ++x) a[x] = Row[wide ? 2 * x : x];
  };
  Byte* out = static_cast<Byte*>(B.GetScanLine(Y));
  switch (D.Format) {
    case lk1g:
      if (Id == 0)
        for (Int64 i = 0; i < RowBytes(Width, 1); ++i) out[i] = Byte(~Row[i]);
      break;
    case lk8g:
    case lk16g:
      if (Id == 0) {
        if (D.Depth == 1) {
          // A user mask of a bitmap document: the file's 1 is black.
          for (Integer x = 0; x < Width; ++x) out[x] = (Row[x >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
        } else if (!wide) {
          std::memcpy(out, Row, size_t(Width));
        } else if (D.Format == lk16g) {
          Word* w = reinterpret_cast<Word*>(out);
          for (Integer x = 0; x < Width; ++x) w[x] = LKGetBE16(Row + 2 * x);
        } else {
          // A user mask of a 16-bit document: the high bytes.
          for (Integer x = 0; x < Width; ++x) out[x] = Row[2 * x];
        }
      } else if (Id == 1 || Id == -1) {
        alpha();
      }
      break;
    case lk8p:
      if (Id == 0) {
        std::memcpy(out, Row, size_t(Width));
        if (D.TransIndex >= 0) {
          Byte* a = static_cast<Byte*>(B.GetAlphaChannel()->GetScanLine(Y));
          for (Integer x = 0; x < Width; ++x) a[x] = Row[x] == D.TransIndex ? 0 : 255;
        }
      } else if (Id == -1) {
        alpha();
      }
      break;
    case lk24RGB:
      if (Id >= 0 && Id <= 2) {
        const Integer at = 2 - Id;  // red is the last byte of a pixel
        for (Integer x = 0; x < Width; ++x) out[3 * x + at] = Row[x];
      } else if (Id == 3 || Id == -1) {
        alpha();
      }
      break;
    case lk48RGB:
      if (Id >= 0 && Id <= 2) {
        Word* w = reinterpret_cast<Word*>(out);
        for (Integer x = 0; x < Width; ++x) w[3 * x + Id] = LKGetBE16(Row + 2 * x);
      } else if (Id == 3 || Id == -1) {
        alpha();
      }
      break;
    case lkCMYK:
      if (Id >= 0 && Id <= 3) {
        for (Integer x = 0; x < Width; ++x) out[4 * x + Id] = Row[wide ? 2 * x : x];
      } else if (Id == 4 || Id == -1) {
        alpha();
      }
      break;
    case lkCIELab:
      if (Id >= 0 && Id <= 2) {
        TCIELab* p = reinterpret_cast<TCIELab*>(out);
        for (Integer x = 0; x < Width; ++x) {
          const Byte v = Row[wide ? 2 * x : x];
          if (Id == 0)
            p[x].l = v;
          else if (Id == 1)
            p[x].a = ShortInt(Integer(v) - 128);
          else
            p[x].b = ShortInt(Integer(v) - 128);
        }
      } else if (Id == 3 || Id == -1) {
        alpha();
      }
      break;
    default: break;
  }
}

// The coded rows of one channel of the merged picture, taken from the stream
// in blocks: the channels lie one after another in the file, and a feed per
// channel lets their rows be decoded side by side without holding the file.
class TChannelFeed {
 public:
  static constexpr size_t kBlock = size_t(1) << 18;

  // The bytes from From to To (stream positions).
  TChannelFeed(TStream& S, Int64 From, Int64 To) : FS(&S), FNext(From), FEnd(std::max(From, To)) {}

  // Up to N bytes at the feed's position (Got: how many are there before the
  // data end); the position moves on by N.
  const Byte* Take(size_t N, size_t& Got) {
    if (FHave - FAt < N && FNext < FEnd) {
      if (FAt > 0) {
        std::memmove(FBuf.data(), FBuf.data() + FAt, FHave - FAt);
        FHave -= FAt;
        FAt = 0;
      }
      // A block, or what is held and still to come when that is less.
      const size_t want = size_t(std::min<Int64>(Int64(std::max(N, kBlock)), Int64(FHave) + FEnd - FNext));
      if (FBuf.size() < want) FBuf.resize(want);
      const Int64 ask = std::min<Int64>(Int64(FBuf.size() - FHave), FEnd - FNext);
      Int64 got = 0;
      if (FS->Seek(FNext, soBeginning) == FNext) got = std::max<Int64>(0, lkcodec::ReadFull(*FS, FBuf.data() + FHave, ask));
      FNext = got < ask ? FEnd : FNext + got;
      FHave += size_t(got);
    }
    Got = std::min(N, FHave - FAt);
    const Byte* p = FBuf.data() + FAt;
    FAt += Got;
    return p;
  }

 private:
  TStream* FS;
  Int64 FNext, FEnd;  // the next byte to fetch, the end of the data
  std::vector<Byte> FBuf;
  size_t FAt = 0, FHave = 0;  // the next byte to hand out, the bytes held
};

// Allocates B in the document's format and palette.
void Prepare(const TDoc& D, TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, D.Format);
  B.Fill(0);
  if (D.Format == lk8p && !D.Palette.empty())
    for (Integer i = 0; i < 256; ++i) B.SetPalette(i, D.Palette[size_t(i)]);
}

// Reads one layer channel (compression, row table, rows) of Len bytes at
// the reader's position into B (layer size W x H). Rows the data do not
// hold are zeros; false when there were such rows or the channel is damaged.
bool ReadLayerChannel(TLKByteReader& R, Int64 Len, TLKBitmap& B, Integer Id, Integer W, Integer H,
                      const TDoc& Target) {
  const Int64 start = R.Position(), end = std::min(start + Len, R.Size());
  const Word comp = R.U16BE();
  const size_t rowLen = size_t(RowBytes(W, Target.Depth));
  bool ok = R.Ok() && (comp == 0 || comp == 1);
  if (ok && W > 0 && H > 0) {
    std::vector<Word> counts;
    if (comp == 1) {
      counts.resize(size_t(H));
      for (auto& c : counts) c = R.U16BE();
      ok = R.Ok();
    }
    std::vector<Byte> coded(comp == 1 ? 0xFFFF : rowLen), row(rowLen);
    Int64 at = R.Position();
    for (Integer y = 0; y < H; ++y) {
      const size_t n = comp == 1 ? counts[size_t(y)] : rowLen;
      size_t got = 0;
      if (at < end && R.Seek(at)) got = R.ReadSome(coded.data(), size_t(std::min<Int64>(Int64(n), end - at)));
      if (got < n) ok = false;
      if (comp == 1) {
        UnpackRow(coded.data(), got, row.data(), rowLen);
      } else {
        std::memcpy(row.data(), coded.data(), got);
        std::memset(row.data() + got, 0, rowLen - got);
      }
      PlaceRow(Target, B, Id, y, row.data(), W);
      at += Int64(n);
    }
  }
  R.Seek(end);
  return ok;
}

// Reads the layer records and their channel data from the layer section
// (R over the section) into Layers. Failures set the abort flag.
void ReadLayerSection(TLKByteReader& R, const TDoc& D, TIOParamsVals& P, TProgressRec& Progress,
                      bool LoadLayers, TList* Layers) {
  auto fail = [&](const char* Why) { LKAbort(Progress, String("PSD: ") + Why); };
  const Int64 sectionEnd = R.Size();
  const Int64 infoLen = R.U32BE();
  const Int64 infoEnd = std::min(R.Position() + infoLen, sectionEnd);
  const Integer count = infoLen > 0 ? std::abs(Integer(static_cast<int16_t>(R.U16BE()))) : 0;
  if (count > 0 && (count == 1 || LoadLayers)) {
    // Every record is read and checked before anything is allocated: a
    // record takes at least 46 bytes, a channel 6 and its data 2.
    if (Int64(count) * 46 > infoEnd - R.Position()) return fail("layer count past the data");
    std::vector<TRecord> recs(static_cast<size_t>(count));
    Int64 dataBytes = 0;
    for (TRecord& rec : recs) {
      rec.Top = int32_t(R.U32BE());
      rec.Left = int32_t(R.U32BE());
      rec.Bottom = int32_t(R.U32BE());
      rec.Right = int32_t(R.U32BE());
      const Integer nch = R.U16BE();
      if (nch > kMaxLayerChannels) return fail("layer channel count past the format's");
      for (Integer c = 0; c < nch; ++c) {
        const Integer cid = static_cast<int16_t>(R.U16BE());
        const Int64 clen = R.U32BE();
        rec.Channels.emplace_back(cid, clen);
        dataBytes += clen;
      }
      Byte sig[4];
      R.Read(sig, 4);
      R.Read(rec.Blend, 4);
      rec.Opacity = R.U8();
      rec.Clipping = R.U8();
      rec.Flags = R.U8();
      R.U8();
      const Int64 extra = R.U32BE();
      const Int64 extraEnd = R.Position() + extra;
      const Int64 maskLen = R.U32BE();
      const Int64 maskEnd = R.Position() + maskLen;
      if (maskLen >= 20) {
        rec.HasMask = true;
        rec.MTop = int32_t(R.U32BE());
        rec.MLeft = int32_t(R.U32BE());
        rec.MBottom = int32_t(R.U32BE());
        rec.MRight = int32_t(R.U32BE());
      }
      R.Seek(std::min(maskEnd, R.Size()));
      R.Skip(R.U32BE());  // blending ranges
      const Byte nameLen = R.U8();
      rec.Name.resize(nameLen);
      R.Read(rec.Name.data(), nameLen);
      if (std::memcmp(sig, "8BIM", 4) != 0 && std::memcmp(sig, "8B64", 4) != 0) R.Fail();
      R.Seek(extraEnd);  // fails when the extra data run past the section
      const auto inside = [](Int64 a, Int64 b) { return b - a >= 0 && b - a <= kMaxSide; };
      if (!R.Ok() || R.Position() > infoEnd || !inside(rec.Top, rec.Bottom) || !inside(rec.Left, rec.Right) ||
          (rec.HasMask && (!inside(rec.MTop, rec.MBottom) || !inside(rec.MLeft, rec.MRight))))
        return fail("damaged layer record");
    }
    if (dataBytes > infoEnd - R.Position()) return fail("layer channel sizes past the data");
    // Without LoadLayers a lone layer is read only to lend the merged
    // picture its transparency: one without an alpha channel would add
    // nothing, and decoding it would cost as much as the picture itself.
    if (!LoadLayers &&
        std::none_of(recs[0].Channels.begin(), recs[0].Channels.end(), [](const auto& c) { return c.first == -1; }))
      return;
    // Each layer's picture must be one its channel data can hold.
    for (const TRecord& rec : recs) {
      Int64 colour = 0, mask = 0;
      for (const auto& [cid, clen] : rec.Channels) (cid == -2 ? mask : colour) += clen;
      const Int64 w = rec.Right - rec.Left, h = rec.Bottom - rec.Top;
      const Integer bpp = std::max<Integer>(8, LKPixelFormatBitCount(D.Format));
      if (w > 0 && h > 0 && !rec.Channels.empty()) {
        TLKPictureRequest q;
        q.Width = w;
        q.Height = h;
        q.BitsPerPixel = bpp;
        q.MaxSide = kMaxSide;
        q.AvailableBytes = colour;
        q.MinCodedBytes = lkpsd::MinPackedBytes(h, RowBytes(w, D.Depth));
        if (!LKAllowPicture(q, Progress, "PSD")) return;
      }
      const Int64 mw = rec.MRight - rec.MLeft, mh = rec.MBottom - rec.MTop;
      if (rec.HasMask && mw > 0 && mh > 0 && mask > 0) {
        TLKPictureRequest q;
        q.Width = mw;
        q.Height = mh;
        q.BitsPerPixel = 8;
        q.MaxSide = kMaxSide;
        q.AvailableBytes = mask;
        q.MinCodedBytes = lkpsd::MinPackedBytes(mh, RowBytes(mw, D.Depth));
        if (!LKAllowPicture(q, Progress, "PSD")) return;
      }
    }
    // The layers, then their channel data.
    const Integer first = Layers->GetCount();
    std::vector<TLKLayer*> made;
    for (const TRecord& rec : recs) {
      auto* l = new TLKLayer(nullptr, nullptr, false);
      l->PosX = Integer(rec.Left);
      l->PosY = Integer(rec.Top);
      l->Opacity = rec.Opacity;
      l->Name = rec.Name.substr(0, 1023);
      l->Visible = (rec.Flags & 2) == 0;
      l->Cropped = rec.Clipping == 0;
      l->Operation = LKPSDBlendOperation(rec.Blend);
      Layers->Add(l);
      made.push_back(l);
    }
    TDoc maskDoc = D;
    maskDoc.Format = lk8g;
    maskDoc.TransIndex = -1;
    Integer inserted = 0;
    for (Integer i = 0; i < count; ++i) {
      const TRecord& rec = recs[size_t(i)];
      TLKLayer* l = made[size_t(i)];
      const Integer w = Integer(rec.Right - rec.Left), h = Integer(rec.Bottom - rec.Top);
      TLKLayer* maskLayer = nullptr;
      for (const auto& [cid, clen] : rec.Channels) {
        if (LKAborted(Progress)) return;
        if (cid == -2) {
          if (!maskLayer) {
            maskLayer = new TLKLayer(nullptr, nullptr, false);
            maskLayer->IsMask = true;
            maskLayer->Visible = false;
            maskLayer->PosX = Integer(rec.MLeft);
            maskLayer->PosY = Integer(rec.MTop);
            Layers->Insert(first + i + inserted + 1, maskLayer);
            ++inserted;
          }
          const Integer mw = Integer(rec.MRight - rec.MLeft), mh = Integer(rec.MBottom - rec.MTop);
          if (mw > 0 && mh > 0) Prepare(maskDoc, *maskLayer->Bitmap, mw, mh);
          ReadLayerChannel(R, clen, *maskLayer->Bitmap, 0, mw, mh, maskDoc);
          continue;
        }
        if (w > 0 && h > 0 && l->Bitmap->GetPixelFormat() == lknull) Prepare(D, *l->Bitmap, w, h);
        ReadLayerChannel(R, clen, *l->Bitmap, cid, w, h, D);
      }
      if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(i * 100.0 / count));
    }
    // Layers without pixels go, with the mask layer after them.
    for (Integer i = Layers->GetCount() - 1; i >= first; --i) {
      auto* l = static_cast<TLKLayer*>(Layers->Get(i));
      if (l->Bitmap->GetWidth() > 0 && l->Bitmap->GetHeight() > 0) continue;
      Integer n = 1;
      if (!l->IsMask && i + 1 < Layers->GetCount() && static_cast<TLKLayer*>(Layers->Get(i + 1))->IsMask) n = 2;
      for (Integer k = n - 1; k >= 0; --k) {
        delete static_cast<TLKLayer*>(Layers->Get(i + k));
        Layers->Delete(i + k);
      }
    }
    if (!P.ISNATIVEPIXELFORMAT)
      for (Integer i = first; i < Layers->GetCount(); ++i) {
        auto* l = static_cast<TLKLayer*>(Layers->Get(i));
        const TLKPixelFormat f = l->Bitmap->GetPixelFormat();
        if (!l->IsMask && f != lk24RGB && f != lk1g) l->Bitmap->ConvertToPixelFormat(lk24RGB);
      }
  }
}

}  // namespace

const char* LKPSDBlendKey(TLKRenderOperation Operation) {
  for (const auto& k : kBlendKeys)
    if (k.Op == Operation) return k.Key;
  return "norm";
}

TLKRenderOperation LKPSDBlendOperation(const char* Key) {
  for (const auto& k : kBlendKeys)
    if (std::memcmp(k.Key, Key, 4) == 0) return k.Op;
  return lklNormal;
}

bool LKTryPSD(TStream* Stream) {
  if (!Stream) return false;
  return LKProbeWith(*Stream, [](TLKByteReader& r) {
    Byte h[26];
    if (!r.Read(h, 26) || std::memcmp(h, "8BPS", 4) != 0) return false;
    const Word channels = LKGetBE16(h + 12), depth = LKGetBE16(h + 22), mode = LKGetBE16(h + 24);
    return LKGetBE16(h + 4) == 1 && channels >= 1 && channels <= 24 && depth >= 1 && depth <= 16 && mode < 10;
  });
}

void LKReadPSD(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress, bool LoadLayers,
               TList* Layers) {
  auto fail = [&](const char* Why) { LKAbort(Progress, String("PSD: ") + Why); };
  lkcodec::Report(Progress, 0);
  if (!Stream || !LKTryPSD(Stream)) return fail("damaged or unsupported data");
  // The document is read from the stream section by section: the header
  // fields, the resources and (when its layers are wanted) the layer section
  // into memory, the merged picture's rows in blocks.
  TStream& S = *Stream;
  const Int64 origin = S.Position();
  // Whatever happens, the stream is left at its end, past the document.
  struct TToEnd {
    TStream& S;
    ~TToEnd() { S.Seek(0, soEnd); }
  } toEnd{S};
  TLKByteReader R(S);
  TDoc D;
  R.Skip(12);
  D.Channels = R.U16BE();
  D.Height = Integer(std::min<Cardinal>(R.U32BE(), 0x7FFFFFFF));
  D.Width = Integer(std::min<Cardinal>(R.U32BE(), 0x7FFFFFFF));
  D.Depth = R.U16BE();
  D.Mode = R.U16BE();
  // Multichannel documents are read as grey from their first channel.
  D.Format = lkpsd::FormatOf(D.Mode == 7 ? 1 : D.Mode, D.Depth);
  TIOParamsVals& P = Params;
  P.WIDTH = D.Width;
  P.HEIGHT = D.Height;
  P.BITSPERSAMPLE = D.Depth;
  P.SAMPLESPERPIXEL = D.Channels;
  P.DPIX = P.DPIY = 96;
  // Colour-mode data: a 256-entry palette of red, green and blue planes.
  const Cardinal modeLen = R.U32BE();
  if (modeLen == 768 && R.Remaining() >= 768) {
    Byte p[768];
    R.PeekAt(R.Position(), p, 768);
    D.Palette.resize(256);
    for (Integer i = 0; i < 256; ++i) D.Palette[size_t(i)] = TRGB{p[512 + i], p[256 + i], p[i]};
    P.SetColorMapCount(256);
    std::copy(D.Palette.begin(), D.Palette.end(), P.ColorMap.begin());
  }
  R.Skip(modeLen);
  if (!R.Ok()) return fail("damaged or unsupported data");

  // Image resources.
  bool thumbnailTaken = false;
  {
    const Int64 len = R.U32BE();
    const Int64 at = R.Position();
    const Int64 end = std::min(at + len, R.Size());
    std::vector<Byte> section(size_t(end - at));
    R.Read(section.data(), section.size());
    const Byte* base = section.data();
    TLKByteReader Q(base, section.size());
    while (Q.Ok() && Q.Position() + 12 <= Q.Size()) {
      if ((at + Q.Position()) % 2) Q.Skip(1);
      Byte sig[4];
      Q.Read(sig, 4);
      if (std::memcmp(sig, "8BIM", 4) != 0) break;
      const Word id = Q.U16BE();
      const Byte nameLen = Q.U8();
      Q.Skip(nameLen + ((nameLen + 1) % 2));
      const Int64 size = Q.U32BE();
      if (!Q.Ok() || size == 0 || size > Q.Remaining()) break;
      const Byte* d = base + Q.Position();
      switch (id) {
        case 1005:
          if (size >= 16) {
            P.DPIX = Integer(LKGetBE32(d) / 65536);
            P.DPIY = Integer(LKGetBE32(d + 8) / 65536);
          }
          break;
        case 1028: P.IPTC_Records.LoadFromStandardBuffer(d, Integer(size)); break;
        case 1039: P.GetInputICC()->LoadFromBuffer(d, Integer(size)); break;
        case 1047:
          if (size >= 2) D.TransIndex = LKGetBE16(d);
          break;
        case 1060: P.XMP_INFO.assign(reinterpret_cast<const char*>(d), strnlen(reinterpret_cast<const char*>(d), size_t(size))); break;
        case 1036:
          if (size > 28) {
            TMemoryStream js;
            js.WriteBuffer(d + 28, size - 28);
            js.Seek(0, soBeginning);
            TIOParamsVals tp;
            std::atomic<bool> thumbAbort{false};
            TProgressRec tpr;
            tpr.AbortFlag = &thumbAbort;
            TLKBitmap* thumb = P.GetEXIF_ThumbnailImage();
            ReadJPegStream(&js, nullptr, thumb, tp, tpr, false, false, false, false, false, false, -1);
            if (P.GETTHUMBNAIL && Bitmap && !thumbAbort.load() && !thumb->IsEmpty()) {
              Bitmap->Assign(thumb);
              thumbnailTaken = true;
            }
          }
          break;
        default: break;
      }
      Q.Skip(size);
    }
    R.Seek(end);
  }
  if (D.Format == lknull && (Bitmap || Layers)) return fail("unsupported colour mode or depth");
  if (D.Mode == 2 && D.TransIndex > 255) D.TransIndex = -1;
  if (D.Mode != 2) D.TransIndex = -1;

  // Layer and mask information.
  const Int64 sectionLen = R.U32BE();
  const Int64 sectionEnd = std::min(R.Position() + sectionLen, R.Size());
  // The section is read when there are layers to take (one, or more with
  // LoadLayers), through a buffer.
  const Integer signedCount = sectionEnd - R.Position() >= 6 && R.U32BEAt(R.Position()) > 0
                                  ? Integer(static_cast<int16_t>(R.U16BEAt(R.Position() + 4)))
                                  : 0;
  const Int64 layerCount = std::abs(signedCount);
  // The merged picture's channel after its colour channels is its
  // transparency only when the layer count is negative; otherwise it is an
  // extra channel (a saved selection) and the picture is opaque.
  const bool mergedAlpha = signedCount < 0;
  if (sectionLen > 0 && Layers && layerCount > 0 && (layerCount == 1 || LoadLayers)) {
    S.Seek(origin + R.Position(), soBeginning);
    TLKBufferedReadStream buffered(&S, 1 << 16);
    TLKByteReader L(buffered, sectionEnd - R.Position());
    ReadLayerSection(L, D, P, Progress, LoadLayers, Layers);
    if (LKAborted(Progress)) return;
  }
  R.Seek(sectionEnd);

  // The merged picture.
  const bool merged = !LoadLayers || !Layers || Layers->GetCount() == 0;
  if (!merged || !Bitmap || thumbnailTaken || LKAborted(Progress)) return;
  const Word comp = R.U16BE();
  if (!R.Ok() || comp > 1) return fail("damaged or unsupported data");
  const Integer chans = D.Mode == 7 ? 1 : D.Channels;
  const Integer colourChannels = LKPixelFormatChannelCount(D.Format);
  // The channels placed: the colour ones, and the transparency when marked.
  const Integer placed = std::min(chans, colourChannels + (mergedAlpha ? 1 : 0));
  const Int64 rowLen = RowBytes(D.Width, D.Depth);
  TLKPictureRequest q;
  q.Width = D.Width;
  q.Height = D.Height;
  q.BitsPerPixel = LKPixelFormatBitCount(D.Format);
  q.MaxSide = kMaxSide;
  q.AvailableBytes = R.Remaining();
  q.MinCodedBytes = comp == 1 ? Int64(chans) * lkpsd::MinPackedBytes(D.Height, rowLen) : Int64(chans) * D.Height * rowLen;
  if (!LKAllowPicture(q, Progress, "PSD")) return;
  std::vector<Word> counts;
  if (comp == 1) {
    counts.resize(size_t(D.Channels) * size_t(D.Height));
    std::vector<Byte> table(2 * counts.size());
    R.Read(table.data(), table.size());
    for (size_t k = 0; k < counts.size(); ++k) counts[k] = LKGetBE16(table.data() + 2 * k);
  }
  TLKBitmap& B = *Bitmap;
  // The picture is cleared first only when the channels there are leave
  // bytes of its rows unwritten.
  const Int64 rowBytes = (Int64(D.Width) * LKPixelFormatBitCount(D.Format) + 7) / 8;
  B.Allocate(D.Width, D.Height, D.Format);
  if (chans < colourChannels || B.GetRowLen() != rowBytes) B.Fill(0);
  if (D.Format == lk8p && !D.Palette.empty())
    for (Integer i = 0; i < 256; ++i) B.SetPalette(i, D.Palette[size_t(i)]);
  if (D.TransIndex >= 0) B.GetAlphaChannel();
  // The channels lie one after another; each gets its own feed, and row by
  // row every channel's row is decoded and placed.
  std::vector<std::unique_ptr<TChannelFeed>> feeds;
  Int64 at = R.Position();
  for (Integer c = 0; c < chans; ++c) {
    Int64 bytes = 0;
    if (comp == 1)
      for (Integer y = 0; y < D.Height; ++y) bytes += counts[size_t(c) * size_t(D.Height) + size_t(y)];
    else
      bytes = rowLen * D.Height;
    feeds.push_back(std::make_unique<TChannelFeed>(S, origin + std::min(at, R.Size()), origin + std::min(at + bytes, R.Size())));
    at += bytes;
  }
  bool whole = R.Ok();
  std::vector<Byte> row(static_cast<size_t>(rowLen));
  for (Integer y = 0; y < D.Height; ++y) {
    if (LKAborted(Progress)) {
      for (Integer k = y; k < D.Height; ++k) std::memset(B.GetScanLine(k), 0, size_t(B.GetRowLen()));
      return;
    }
    for (Integer c = 0; c < placed; ++c) {
      const size_t n = comp == 1 ? counts[size_t(c) * size_t(D.Height) + size_t(y)] : size_t(rowLen);
      size_t got = 0;
      const Byte* p = feeds[size_t(c)]->Take(n, got);
      if (got < n) whole = false;
      if (comp == 1) {
        UnpackRow(p, got, row.data(), row.size());
      } else {
        std::memcpy(row.data(), p, got);
        std::memset(row.data() + got, 0, row.size() - got);
      }
      PlaceRow(D, B, c, y, row.data(), D.Width);
    }
  }
  if (mergedAlpha && placed > colourChannels) LKPSDRemoveWhiteMatte(B);
  if (!P.ISNATIVEPIXELFORMAT && B.GetPixelFormat() != lk24RGB && B.GetPixelFormat() != lk1g)
    B.ConvertToPixelFormat(lk24RGB);
  if (!whole) fail("the picture data end early");
}

void LKPSDRemoveWhiteMatte(TLKBitmap& B) {
  if (B.IsEmpty() || !B.GetHasAlphaChannel()) return;
  const TLKPixelFormat f = B.GetPixelFormat();
  // RGB only: other readers show grey documents as they are stored, and
  // other spaces have another white.
  const bool wide = f == lk48RGB;
  if (f != lk24RGB && f != lk48RGB) return;
  const Integer samples = 3;
  TLKBitmap* alpha = B.GetAlphaChannel();
  const double top = wide ? 65535.0 : 255.0;
  // colour = (stored - white x (1 - alpha)) / alpha, clamped.
  auto unblend = [top](double Stored, Byte A) {
    const double a = A / 255.0;
    return std::clamp(std::nearbyint((Stored - top * (1 - a)) / a), 0.0, top);
  };
  for (Integer y = 0; y < B.GetHeight(); ++y) {
    const Byte* a = static_cast<const Byte*>(alpha->GetScanLine(y));
    void* row = B.GetScanLine(y);
    for (Integer x = 0; x < B.GetWidth(); ++x) {
      if (a[x] == 0 || a[x] == 255) continue;
      for (Integer k = 0; k < samples; ++k) {
        const size_t at = size_t(x) * size_t(samples) + size_t(k);
        if (wide) {
          Word& v = static_cast<Word*>(row)[at];
          v = Word(unblend(v, a[x]));
        } else {
          Byte& v = static_cast<Byte*>(row)[at];
          v = Byte(unblend(v, a[x]));
        }
      }
    }
  }
}
