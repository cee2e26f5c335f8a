// Document writer.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/lkcodecutil.h"
#include "codecs/psd/psd_pvt.h"
#include "codecs/psd/psdfilt.h"
#include "core/lkbytereader.h"
#include "core/lkicc.h"
#include "processing/lkfilterresample.h"
#include "core/lklayer.h"

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

// The first index from I on where four equal bytes start (N when none).
// Sixteen bytes at a time are compared with their neighbours (where the
// processor has vector compares): an equal pair sets a mark, three marks in
// a row start a run.
size_t FindRun(const Byte* S, size_t I, size_t N) {
#if defined(__SSE2__)
  while (I + 17 <= N) {  // 16 pairs, run starts 0 to 13
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(S + I + 1));
    const unsigned e = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(a, b)));
    const unsigned m = e & (e >> 1) & (e >> 2) & 0x3FFFu;
    if (m) return I + size_t(std::countr_zero(m));
    I += 14;
  }
#endif
  for (; I + 3 < N; ++I)
    if (S[I] == S[I + 1] && S[I] == S[I + 2] && S[I] == S[I + 3]) return I;
  return N;
}

// Most bytes PackBits gives for N bytes: a header byte per 128 literals.
constexpr size_t MaxPacked(size_t N) { return N + (N + 127) / 128; }

// PackBits: runs of 4 to 128 equal bytes become a repeat packet, other
// bytes go into literal packets of up to 128. Out holds MaxPacked(N) bytes;
// returns the bytes written.
size_t Pack(const Byte* S, size_t N, Byte* Out) {
  Byte* o = Out;
  size_t lit = 0;  // start of the pending literal bytes
  auto flush = [&](size_t end) {
    while (lit < end) {
      const size_t k = std::min<size_t>(128, end - lit);
      *o++ = Byte(k - 1);
      std::memcpy(o, S + lit, k);
      o += k;
      lit += k;
    }
  };
  size_t i = 0;
  while ((i = FindRun(S, i, N)) < N) {
    size_t run = 4;
    while (i + run < N && run < 128 && S[i + run] == S[i]) ++run;
    flush(i);
    *o++ = Byte(1 - Integer(run));
    *o++ = S[i];
    i += run;
    lit = i;
  }
  flush(N);
  return size_t(o - Out);
}

// Eight-bit values as a 1-bit row (RowBytes(W, 1) bytes): the file's 1 is
// black, so values below 128 set their bit.
void PutBits(const Byte* V, Integer W, Byte* Out) {
  std::memset(Out, 0, size_t(RowBytes(W, 1)));
  for (Integer x = 0; x < W; ++x)
    if (V[x] < 128) Out[x >> 3] |= Byte(0x80 >> (x & 7));
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
    if (Depth == 1) return PutBits(a, w, Out);
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
  if (Depth == 1) return PutBits(s, M.GetWidth(), Out);
  for (Integer x = 0; x < M.GetWidth(); ++x) {
    if (Depth == 16) {
      Out[2 * x] = Out[2 * x + 1] = s[x];
    } else {
      Out[x] = s[x];
    }
  }
}

// One channel to write: where its rows come from (channel Id of B, or the
// mask layer's picture) and, once counted, the coded length of every row.
// The rows are packed twice, once to count and once to write, so that no
// packed channel is held: packing is cheaper than the memory to keep it.
struct TChannelPlan {
  TLKBitmap* B = nullptr;
  Integer Id = 0;  // -2: B is a mask layer's picture
  std::vector<Word> Counts;
  Int64 Bytes = 0;

  // Compression, row table and rows.
  Int64 Length() const { return 2 + 2 * Int64(Counts.size()) + Bytes; }
};

// Progress of a save in packed rows: every row is packed twice (counted,
// then written), so the whole save is about twice the rows of its channels.
// Reports when the percentage changes; tells the packers to stop when the
// save was cancelled.
struct TRowMeter {
  TProgressRec& Progress;
  Int64 Total = 1;
  Int64 Done = 0;
  Integer Last = -1;

  // Counts one packed row; false when the save was cancelled.
  bool Row() {
    ++Done;
    const Integer percent = Integer(std::min<Int64>(99, Done * 100 / std::max<Int64>(Total, 1)));
    if (percent != Last && Progress.OnProgress) lkcodec::Report(Progress, percent);
    Last = percent;
    return !LKAborted(Progress);
  }
};

// Packs every row of the channel at Depth, handing each to Put(row, bytes);
// stops early when Meter says the save was cancelled.
template <typename F>
void PackRows(const TChannelPlan& C, Integer Depth, TRowMeter& Meter, F Put) {
  TLKBitmap& b = *C.B;
  std::vector<Byte> row(size_t(RowBytes(b.GetWidth(), Depth)));
  std::unique_ptr<Byte[]> packed(new Byte[MaxPacked(row.size())]);
  for (Integer y = 0; y < b.GetHeight() && Meter.Row(); ++y) {
    if (C.Id == -2)
      MaskRow(b, Depth, y, row.data());
    else
      ChannelRow(b, Depth, C.Id, y, row.data());
    Put(packed.get(), Pack(row.data(), row.size(), packed.get()));
  }
}

void CountRows(TChannelPlan& C, Integer Depth, TRowMeter& Meter) {
  C.Counts.clear();
  C.Bytes = 0;
  PackRows(C, Depth, Meter, [&](const Byte*, size_t N) {
    C.Counts.push_back(Word(N));
    C.Bytes += Int64(N);
  });
}

// The row table entries of C, big-endian, appended to Out.
void PutCounts(const TChannelPlan& C, std::vector<Byte>& Out) {
  for (Word n : C.Counts) {
    Out.push_back(Byte(n >> 8));
    Out.push_back(Byte(n));
  }
}

// Packs the rows of C again and writes them through a buffer of about a
// megabyte.
void WriteRows(const TChannelPlan& C, Integer Depth, TStream& S, std::atomic<bool>* Abort, TRowMeter& Meter) {
  std::vector<Byte> out;
  out.reserve(size_t(1) << 20);
  PackRows(C, Depth, Meter, [&](const Byte* P, size_t N) {
    if (out.size() + N > out.capacity()) {
      if (!out.empty()) SafeStreamWrite(&S, Abort, out.data(), Integer(out.size()));
      out.clear();
    }
    out.insert(out.end(), P, P + N);
  });
  if (!out.empty()) SafeStreamWrite(&S, Abort, out.data(), Integer(out.size()));
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
    std::vector<Byte> Record;
    std::vector<TChannelPlan> Channels;  // in the record's order
    std::unique_ptr<TLKBitmap> Holder, MaskHolder;  // converted pictures
  };
  std::vector<TOut> outs;
  // Rows to pack, counted and written: each layer's channels (alpha and
  // mask included), and the merged picture's when no layer holds it.
  TRowMeter meter{Progress};
  {
    Int64 rows = 0;
    bool mergedIsLayer = false;
    for (size_t i = 0; i < list.size(); ++i) {
      const TLKLayer& L = *list[i];
      if (L.IsMask) {
        if (L.Bitmap && !L.Bitmap->IsEmpty()) rows += L.Bitmap->GetHeight();
        continue;
      }
      rows += Int64(channels + (L.Bitmap->GetHasAlphaChannel() ? 1 : 0)) * L.GetHeight();
      mergedIsLayer = mergedIsLayer || L.Bitmap == merged;
    }
    if (!mergedIsLayer) rows += Int64(channels) * H;
    meter.Total = 2 * rows;
  }
  // The layer whose picture is the merged bitmap itself: its colour
  // channels are the merged picture's, counted once.
  Integer mergedLayer = -1, mergedFirst = 0;
  Integer count = 0;
  for (size_t i = 0; i < list.size(); ++i)
    if (!list[i]->IsMask) ++count;
  for (size_t i = 0; i < list.size(); ++i) {
    TLKLayer& L = *list[i];
    if (L.IsMask) continue;
    if (LKAborted(Progress)) return;
    TOut o;
    TLKBitmap* b = LayerPicture(L, fmt, o.Holder);
    TLKLayer* mask = i + 1 < list.size() && list[i + 1]->IsMask ? list[i + 1] : nullptr;
    TLKBitmap* m = nullptr;
    if (mask && !mask->Bitmap->IsEmpty()) {
      m = mask->Bitmap;
      if (m->GetPixelFormat() != lk8g) {
        o.MaskHolder = std::make_unique<TLKBitmap>();
        o.MaskHolder->Assign(m);
        o.MaskHolder->ConvertToPixelFormat(lk8g);
        m = o.MaskHolder.get();
      }
    }
    const Integer w = b->GetWidth(), h = b->GetHeight();
    std::vector<Integer> ids;
    if (b->GetHasAlphaChannel()) ids.push_back(-1);
    for (Integer c = 0; c < channels; ++c) ids.push_back(c);
    if (b == merged && mergedLayer < 0) {
      mergedLayer = Integer(outs.size());
      mergedFirst = b->GetHasAlphaChannel() ? 1 : 0;
    }
    if (m) ids.push_back(-2);
    std::vector<Cardinal> lengths;
    for (Integer id : ids) {
      TChannelPlan& c = o.Channels.emplace_back();
      c.B = id == -2 ? m : b;
      c.Id = id;
      CountRows(c, depth, meter);
      lengths.push_back(Cardinal(c.Length()));
    }
    if (LKAborted(Progress)) return;
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
  }
  auto dataBytes = [&](const TOut& O) {
    Int64 n = 0;
    for (const TChannelPlan& c : O.Channels) n += c.Length();
    return n;
  };
  Int64 info = 2;
  for (const TOut& o : outs) info += Int64(o.Record.size()) + dataBytes(o);
  if (info % 2) ++info;
  if (info + 8 > Int64(0xFFFFFFFFu)) return LKAbort(Progress, "PSD: layers too large for the format");
  PutBE32(out, Cardinal(info + 8));
  PutBE32(out, Cardinal(info));
  PutBE16(out, Word(count));
  for (const TOut& o : outs) out.insert(out.end(), o.Record.begin(), o.Record.end());
  emit();
  Int64 written = 2;
  for (const TOut& o : outs) {
    for (const TChannelPlan& c : o.Channels) {
      PutBE16(out, 1);
      PutCounts(c, out);
      emit();
      WriteRows(c, depth, S, abort, meter);
      if (LKAborted(Progress)) return;
    }
    written += Int64(o.Record.size()) + dataBytes(o);
  }
  std::vector<TChannelPlan> mergedChannels;
  if (mergedLayer >= 0)
    for (Integer c = 0; c < channels; ++c)
      mergedChannels.push_back(std::move(outs[size_t(mergedLayer)].Channels[size_t(mergedFirst + c)]));
  outs.clear();
  if (written % 2) out.push_back(0);
  PutBE32(out, 0);  // global layer mask information
  emit();

  // The merged picture: compression, one row table for all channels, then
  // the channels' rows.
  if (mergedChannels.empty())
    for (Integer c = 0; c < channels; ++c) {
      TChannelPlan& p = mergedChannels.emplace_back();
      p.B = merged;
      p.Id = c;
      CountRows(p, depth, meter);
      if (LKAborted(Progress)) return;
    }
  PutBE16(out, 1);
  for (const TChannelPlan& c : mergedChannels) PutCounts(c, out);
  emit();
  for (Integer c = 0; c < channels; ++c) {
    WriteRows(mergedChannels[size_t(c)], depth, S, abort, meter);
    if (LKAborted(Progress)) return;
  }
}
