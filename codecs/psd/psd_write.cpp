// Document writer.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/lkcodecutil.h"
#include "codecs/psd/psd_pvt.h"
#include "codecs/psd/psdfilt.h"
#include "core/lkbytereader.h"
#include "core/lkicc.h"
#include "processing/lkfilterresample.h"
#include "views/lklayer.h"

namespace {

using lkpsd::RowBytes;

constexpr Integer kMaxSide = 30000;

void PutBE16(std::vector<Byte>& V, Word X) {
  V.push_back(Byte(X >> 8));
  V.push_back(Byte(X));
}
void PutBE32(std::vector<Byte>& V, Cardinal X) {
  PutBE16(V, Word(X >> 16));
  PutBE16(V, Word(X));
}

// PackBits: runs of 4 to 128 equal bytes become a repeat packet, other
// bytes go into literal packets of up to 128.
void Pack(const Byte* S, size_t N, std::vector<Byte>& Out) {
  size_t i = 0, lit = 0;  // lit: start of the pending literal bytes
  auto flush = [&](size_t end) {
    while (lit < end) {
      const size_t k = std::min<size_t>(128, end - lit);
      Out.push_back(Byte(k - 1));
      Out.insert(Out.end(), S + lit, S + lit + k);
      lit += k;
    }
  };
  while (i < N) {
    size_t run = 1;
    while (i + run < N && run < 128 && S[i + run] == S[i]) ++run;
    if (run >= 4) {
      flush(i);
      Out.push_back(Byte(1 - Integer(run)));
      Out.push_back(S[i]);
      i += run;
      lit = i;
    } else {
      i += run;
    }
  }
  flush(N);
}

// One row of channel Id of B (the document's format and depth) into Out.
void ChannelRow(TLKBitmap& B, Integer Depth, Integer Id, Integer Y, Byte* Out) {
  const Integer w = B.GetWidth();
  const bool wide = Depth == 16;
  auto put8 = [&](Integer x, Byte v) {
    if (wide) {
      Out[2 * x] = v;
      Out[2 * x + 1] = v;
    } else {
      Out[x] = v;
    }
  };
  if (Id == -1) {
    const Byte* a = static_cast<const Byte*>(B.GetAlphaChannel()->GetScanLine(Y));
    for (Integer x = 0; x < w; ++x) put8(x, a[x]);
    return;
  }
  const Byte* s = static_cast<const Byte*>(B.GetScanLine(Y));
  switch (B.GetPixelFormat()) {
    case lk1g:
      for (Int64 i = 0; i < RowBytes(w, 1); ++i) Out[i] = Byte(~s[i]);
      break;
    case lk8g:
    case lk8p: std::memcpy(Out, s, size_t(w)); break;
    case lk16g: {
      const Word* v = reinterpret_cast<const Word*>(s);
      for (Integer x = 0; x < w; ++x) LKPutBE16(Out + 2 * x, v[x]);
      break;
    }
    case lk24RGB:
      for (Integer x = 0; x < w; ++x) Out[x] = s[3 * x + 2 - Id];
      break;
    case lk48RGB: {
      const Word* v = reinterpret_cast<const Word*>(s);
      for (Integer x = 0; x < w; ++x) LKPutBE16(Out + 2 * x, v[3 * x + Id]);
      break;
    }
    case lkCMYK:
      for (Integer x = 0; x < w; ++x) put8(x, s[4 * x + Id]);
      break;
    case lkCIELab: {
      const TCIELab* p = reinterpret_cast<const TCIELab*>(s);
      for (Integer x = 0; x < w; ++x) put8(x, Id == 0 ? p[x].l : Byte(Integer(Id == 1 ? p[x].a : p[x].b) + 128));
      break;
    }
    default: break;
  }
}

// A mask layer's row (8-bit grey) at the document's depth.
void MaskRow(TLKBitmap& M, Integer Depth, Integer Y, Byte* Out) {
  const Byte* s = static_cast<const Byte*>(M.GetScanLine(Y));
  for (Integer x = 0; x < M.GetWidth(); ++x) {
    if (Depth == 16) {
      Out[2 * x] = Out[2 * x + 1] = s[x];
    } else {
      Out[x] = s[x];
    }
  }
}

// A layer's channel: compression 1, its row table and its packed rows.
template <typename F>
void LayerChannel(Integer W, Integer H, Integer Depth, F Row, std::vector<Byte>& Out) {
  PutBE16(Out, 1);
  const size_t table = Out.size();
  Out.resize(table + 2 * size_t(H));
  std::vector<Byte> row(size_t(RowBytes(W, Depth)));
  for (Integer y = 0; y < H; ++y) {
    Row(y, row.data());
    const size_t before = Out.size();
    Pack(row.data(), row.size(), Out);
    LKPutBE16(Out.data() + table + 2 * size_t(y), Word(Out.size() - before));
  }
}

// The bitmap of a layer in the document's format at the layer's size.
TLKBitmap* LayerPicture(TLKLayer& L, TLKPixelFormat Format, std::unique_ptr<TLKBitmap>& Holder) {
  TLKBitmap* b = L.Bitmap;
  const Integer w = L.GetWidth(), h = L.GetHeight();
  if (b->GetWidth() != w || b->GetHeight() != h) {
    auto src = std::make_unique<TLKBitmap>();
    src->Assign(b);
    if (src->GetPixelFormat() != lk24RGB) src->ConvertToPixelFormat(lk24RGB);
    auto dst = std::make_unique<TLKBitmap>(w, h, lk24RGB);
    const TResampleFilter f = L.ResampleFilter == rfNone ? rfFastLinear : L.ResampleFilter;
    _ResampleEx(src.get(), dst.get(), f);
    if (src->GetHasAlphaChannel()) _ResampleAlphaEx(src->GetAlphaChannel(), dst->GetAlphaChannel(), f);
    Holder = std::move(dst);
    b = Holder.get();
  }
  if (b->GetPixelFormat() != Format) {
    if (b != Holder.get()) {
      Holder = std::make_unique<TLKBitmap>();
      Holder->Assign(b);
    }
    Holder->ConvertToPixelFormat(Format);
    b = Holder.get();
  }
  return b;
}

void Resource(std::vector<Byte>& V, Word Id, const void* Data, size_t N) {
  V.insert(V.end(), {'8', 'B', 'I', 'M'});
  PutBE16(V, Id);
  PutBE16(V, 0);  // empty name
  PutBE32(V, Cardinal(N));
  const Byte* d = static_cast<const Byte*>(Data);
  V.insert(V.end(), d, d + N);
  if (N % 2) V.push_back(0);
}

}  // namespace

void LKWritePSD(TStream* Stream, TIOParamsVals& Params, TProgressRec& Progress, TLKBitmap* Bitmap, TList* Layers) {
  TLKBitmap* merged = Bitmap;
  if ((!merged || merged->IsEmpty()) && Layers && Layers->GetCount() > 0)
    merged = static_cast<TLKLayer*>(Layers->Get(0))->Bitmap;
  if (!Stream || !merged || merged->IsEmpty()) return LKAbort(Progress, "PSD: nothing to write");
  const TLKPixelFormat fmt = merged->GetPixelFormat();
  const Integer mode = lkpsd::ModeOf(fmt);
  if (mode < 0) return LKAbort(Progress, "PSD: the pixel format has no colour mode");
  const Integer W = merged->GetWidth(), H = merged->GetHeight();
  if (W > kMaxSide || H > kMaxSide) return LKAbort(Progress, "PSD: picture too large for the format");
  const Integer channels = merged->GetChannelCount();
  const Integer depth = merged->GetBitCount() / channels;
  TStream& S = *Stream;
  std::atomic<bool>* abort = Progress.AbortFlag;
  std::vector<Byte> out;
  auto emit = [&] {
    if (!out.empty()) SafeStreamWrite(&S, abort, out.data(), Integer(out.size()));
    out.clear();
  };

  // Header and colour-mode data.
  out.insert(out.end(), {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0});
  PutBE16(out, Word(channels));
  PutBE32(out, Cardinal(H));
  PutBE32(out, Cardinal(W));
  PutBE16(out, Word(depth));
  PutBE16(out, Word(mode));
  if (fmt == lk8p) {
    PutBE32(out, 768);
    const size_t at = out.size();
    out.resize(at + 768, 0);
    for (Integer i = 0; i < std::min<Integer>(256, merged->GetPaletteLen()); ++i) {
      const TRGB c = merged->GetPalette(i);
      out[at + size_t(i)] = c.r;
      out[at + 256 + size_t(i)] = c.g;
      out[at + 512 + size_t(i)] = c.b;
    }
  } else {
    PutBE32(out, 0);
  }

  // Image resources.
  {
    std::vector<Byte> res, d;
    for (Integer v : {Params.DPIX, Params.DPIY}) {
      PutBE32(d, Cardinal(std::clamp(v, 0, 32767)) << 16);
      PutBE16(d, 1);
      PutBE16(d, 1);
    }
    Resource(res, 1005, d.data(), d.size());
    if (fmt == lk8p) {
      const Byte t[2] = {0, 255};
      Resource(res, 1047, t, 2);
    }
    if (Params.IPTC_Records.GetCount() > 0) {
      const std::vector<Byte> iptc = Params.IPTC_Records.SaveToStandardBuffer(false);
      if (!iptc.empty()) Resource(res, 1028, iptc.data(), iptc.size());
    }
    if (Params.InputICC && !Params.InputICC->GetRaw().empty())
      Resource(res, 1039, Params.InputICC->GetRaw().data(), Params.InputICC->GetRaw().size());
    TLKBitmap* thumb = Params.EXIF_ThumbnailImage.get();
    if (thumb && !thumb->IsEmpty()) {
      TMemoryStream js;
      TIOParamsVals jp;
      std::atomic<bool> jabort{false};
      TProgressRec jpr;
      jpr.AbortFlag = &jabort;
      WriteJPegStream(&js, thumb, jp, jpr);
      if (!jabort.load() && js.Size() > 0) {
        std::vector<Byte> t;
        const Integer tw = thumb->GetWidth(), th = thumb->GetHeight();
        PutBE32(t, 1);
        PutBE32(t, Cardinal(tw));
        PutBE32(t, Cardinal(th));
        PutBE32(t, Cardinal(tw * 3));
        PutBE32(t, Cardinal(tw * th * 3));
        PutBE32(t, Cardinal(js.Size()));
        PutBE16(t, 24);
        PutBE16(t, 1);
        const Byte* m = static_cast<const Byte*>(js.GetMemory());
        t.insert(t.end(), m, m + js.Size());
        Resource(res, 1036, t.data(), t.size());
      }
    }
    if (!Params.XMP_INFO.empty()) Resource(res, 1060, Params.XMP_INFO.c_str(), Params.XMP_INFO.size() + 1);
    PutBE32(out, Cardinal(res.size()));
    out.insert(out.end(), res.begin(), res.end());
  }
  emit();

  // Layers: the list's, or the bitmap alone.
  std::vector<TLKLayer*> list;
  std::unique_ptr<TLKLayer> own;
  if (Layers)
    for (Integer i = 0; i < Layers->GetCount(); ++i) list.push_back(static_cast<TLKLayer*>(Layers->Get(i)));
  if (list.empty()) {
    own = std::make_unique<TLKLayer>(nullptr, merged, true);
    own->OwnsBitmap = false;
    list.push_back(own.get());
  }
  struct TOut {
    std::vector<Byte> Record, Data;
  };
  std::vector<TOut> outs;
  Integer count = 0;
  for (size_t i = 0; i < list.size(); ++i)
    if (!list[i]->IsMask) ++count;
  for (size_t i = 0; i < list.size(); ++i) {
    TLKLayer& L = *list[i];
    if (L.IsMask) continue;
    if (LKAborted(Progress)) return;
    std::unique_ptr<TLKBitmap> holder;
    TLKBitmap* b = LayerPicture(L, fmt, holder);
    TLKLayer* mask = i + 1 < list.size() && list[i + 1]->IsMask ? list[i + 1] : nullptr;
    std::unique_ptr<TLKBitmap> maskHolder;
    TLKBitmap* m = nullptr;
    if (mask && !mask->Bitmap->IsEmpty()) {
      m = mask->Bitmap;
      if (m->GetPixelFormat() != lk8g) {
        maskHolder = std::make_unique<TLKBitmap>();
        maskHolder->Assign(m);
        maskHolder->ConvertToPixelFormat(lk8g);
        m = maskHolder.get();
      }
    }
    const Integer w = b->GetWidth(), h = b->GetHeight();
    TOut o;
    std::vector<Integer> ids;
    if (b->GetHasAlphaChannel()) ids.push_back(-1);
    for (Integer c = 0; c < channels; ++c) ids.push_back(c);
    if (m) ids.push_back(-2);
    std::vector<Cardinal> lengths;
    for (Integer id : ids) {
      const size_t before = o.Data.size();
      if (id == -2)
        LayerChannel(m->GetWidth(), m->GetHeight(), depth, [&](Integer y, Byte* r) { MaskRow(*m, depth, y, r); },
                     o.Data);
      else
        LayerChannel(w, h, depth, [&](Integer y, Byte* r) { ChannelRow(*b, depth, id, y, r); }, o.Data);
      lengths.push_back(Cardinal(o.Data.size() - before));
    }
    std::vector<Byte>& r = o.Record;
    PutBE32(r, Cardinal(L.PosY));
    PutBE32(r, Cardinal(L.PosX));
    PutBE32(r, Cardinal(L.PosY + h));
    PutBE32(r, Cardinal(L.PosX + w));
    PutBE16(r, Word(ids.size()));
    for (size_t k = 0; k < ids.size(); ++k) {
      PutBE16(r, Word(ids[k]));
      PutBE32(r, lengths[k]);
    }
    r.insert(r.end(), {'8', 'B', 'I', 'M'});
    const char* key = LKPSDBlendKey(L.Operation);
    r.insert(r.end(), key, key + 4);
    r.push_back(Byte(std::clamp(L.Opacity, 0, 255)));
    r.push_back(0);
    r.push_back(L.Visible ? 0 : 2);
    r.push_back(0);
    std::vector<Byte> extra;
    if (m) {
      PutBE32(extra, 20);
      PutBE32(extra, Cardinal(mask->PosY));
      PutBE32(extra, Cardinal(mask->PosX));
      PutBE32(extra, Cardinal(mask->PosY + m->GetHeight()));
      PutBE32(extra, Cardinal(mask->PosX + m->GetWidth()));
      extra.insert(extra.end(), {0, 0, 0, 0});
    } else {
      PutBE32(extra, 0);
    }
    PutBE32(extra, 0);  // blending ranges
    const String name = L.Name.substr(0, 255);
    extra.push_back(Byte(name.size()));
    extra.insert(extra.end(), name.begin(), name.end());
    while (extra.size() % 4) extra.push_back(1);
    PutBE32(r, Cardinal(extra.size()));
    r.insert(r.end(), extra.begin(), extra.end());
    outs.push_back(std::move(o));
    if (Progress.OnProgress) lkcodec::Report(Progress, LKTrunc(double(outs.size() - 1) * 100 / count));
  }
  Int64 info = 2;
  for (const TOut& o : outs) info += Int64(o.Record.size() + o.Data.size());
  if (info % 2) ++info;
  if (info + 8 > Int64(0xFFFFFFFFu)) return LKAbort(Progress, "PSD: layers too large for the format");
  PutBE32(out, Cardinal(info + 8));
  PutBE32(out, Cardinal(info));
  PutBE16(out, Word(count));
  for (const TOut& o : outs) out.insert(out.end(), o.Record.begin(), o.Record.end());
  emit();
  Int64 written = 2;
  for (const TOut& o : outs) {
    if (!o.Data.empty()) SafeStreamWrite(&S, abort, o.Data.data(), Integer(o.Data.size()));
    written += Int64(o.Record.size() + o.Data.size());
  }
  outs.clear();
  if (written % 2) out.push_back(0);
  PutBE32(out, 0);  // global layer mask information
  emit();

  // The merged picture: one row table for all channels, filled in last.
  PutBE16(out, 1);
  emit();
  const Int64 tableAt = S.Position();
  std::vector<Byte> table(2 * size_t(channels) * size_t(H), 0);
  SafeStreamWrite(&S, abort, table.data(), Integer(table.size()));
  std::vector<Byte> row(size_t(RowBytes(W, depth)));
  for (Integer c = 0; c < channels; ++c) {
    for (Integer y = 0; y < H; ++y) {
      ChannelRow(*merged, depth, c, y, row.data());
      const size_t before = out.size();
      Pack(row.data(), row.size(), out);
      LKPutBE16(table.data() + 2 * (size_t(c) * size_t(H) + size_t(y)), Word(out.size() - before));
      if (out.size() >= (1 << 20)) emit();
    }
    emit();
    if (LKAborted(Progress)) return;
    if (Layers && Layers->GetCount() > 0 && Progress.OnProgress)
      lkcodec::Report(Progress, LKTrunc(double(c) * 100 / channels));
  }
  const Int64 end = S.Position();
  S.Seek(tableAt, soBeginning);
  SafeStreamWrite(&S, abort, table.data(), Integer(table.size()));
  S.Seek(end, soBeginning);
}
