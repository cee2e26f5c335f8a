// Metafiles drawn into the working bitmap (platform/metafile.h plays them).

#include <cstring>

#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lkformatrow.h"
#include "io/lkiothread.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "processing/lkprocutils.h"

namespace {

// The largest side a metafile is drawn at.
constexpr Int64 kMaxSide = 16000;
// The colour behind the drawing on the alpha pass: what still has it was
// left blank.
const TRGB kKey{1, 2, 3};

// The drawn size from the requests and the metafile's own size; 0 x 0 when
// nothing is to be drawn.
TSize DrawnSize(const TMetafile& M, Integer Width, Integer Height) {
  Int64 w = Width, h = Height;
  if (w < 0 && h < 0) {
    w = M.Width();
    h = M.Height();
  } else if (w < 0) {
    w = M.Height() ? Int64(M.Width()) * h / M.Height() : 0;
  } else if (h < 0) {
    h = M.Width() ? Int64(M.Height()) * w / M.Width() : 0;
  }
  if (w <= 0 || h <= 0) return {};
  if (w > kMaxSide || h > kMaxSide) {
    if (w < h) {
      w = w * kMaxSide / h;
      h = kMaxSide;
    } else {
      h = h * kMaxSide / w;
      w = kMaxSide;
    }
  }
  return {Integer(std::max<Int64>(w, 1)), Integer(std::max<Int64>(h, 1))};
}

// Fills B (lk24RGB) with C and plays M over it.
void DrawOver(TLKBitmap& B, const TMetafile& M, TRGB C) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  const Integer stride = (w * 3 + 3) & ~3;
  std::vector<Byte> px(size_t(stride) * size_t(h));
  for (Integer y = 0; y < h; ++y) {
    Byte* row = px.data() + size_t(y) * size_t(stride);
    if (y == 0) {
      for (Integer x = 0; x < w; ++x) std::memcpy(row + 3 * x, &C, 3);
    } else {
      std::memcpy(row, px.data(), size_t(w) * 3);
    }
  }
  M.Play(px.data(), w, h, stride);
  for (Integer y = 0; y < h; ++y) std::memcpy(B.GetScanLine(y), px.data() + size_t(y) * size_t(stride), size_t(w) * 3);
}

}  // namespace

void TLumerakIO::ImportMetaFile(const TMetafile& Meta, Integer Width, Integer Height, bool Alpha) {
  SetAborted(false);
  if (Width == 0 || Height == 0 || !MakeConsistentBitmap(TLKPixelFormatSet())) return;
  TIOParamsVals& p = *GetIOParams();
  p.ResetInfo();
  const TSize size = DrawnSize(Meta, Width, Height);
  if (size.cx == 0) return SetAbortedWith("the metafile has no size");
  TProgressRec pr = lkio::MakeSilentProgress(*this);
  if (!LKAllowPicture(size.cx, size.cy, 24, pr, "metafile")) return;
  TLKBitmap* b = GetLKBitmap();
  b->RemoveAlphaChannel();
  b->Allocate(size.cx, size.cy, lk24RGB);
  DrawOver(*b, Meta, TColor2TRGB(GetReBackground()));
  p.FILENAME.clear();
  p.FILETYPE = Meta.Enhanced() ? lkftEMF : lkftWMF;
  p.BITSPERSAMPLE = 8;
  p.SAMPLESPERPIXEL = 3;
  p.WIDTH = size.cx;
  p.HEIGHT = size.cy;
  p.SetDpiX(gDefaultDPIX);
  p.SetDpiY(gDefaultDPIY);
  p.SetColorMapCount(0);
  lkio::GiveViewResolution(*this);
  if (Alpha) {
    TLKBitmap keyed;
    keyed.Allocate(size.cx, size.cy, lk24RGB);
    DrawOver(keyed, Meta, kKey);
    TLKBitmap* a = b->GetAlphaChannel();
    for (Integer y = 0; y < size.cy; ++y) {
      auto* k = static_cast<const TRGB*>(keyed.GetScanLine(y));
      auto* out = static_cast<Byte*>(a->GetScanLine(y));
      for (Integer x = 0; x < size.cx; ++x) {
        out[x] = k[x] == kKey ? 0 : 255;
      }
    }
    a->SyncFull();
  }
  Update();
}

void TLumerakIO::ImportMetafile(const String& FileName, Integer Width, Integer Height, bool Alpha) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodImportMetaFile([this](const String& F, Integer W, Integer H, bool A) {
                      ImportMetafile(F, W, H, A);
                    }),
                    FileName, Width, Height, Alpha);
    return;
  }
  lkio::WithFinish(*this, [&] {
    TMetafile meta;
    if (!meta.LoadFromFile(FileName)) return SetAbortedWith(FileName + ": " + meta.Error());
    ImportMetaFile(meta, Width, Height, Alpha);
    GetIOParams()->FILENAME = FileName;
  });
}

void TLumerakIO::MergeMetafile(const String& FileName, Integer X, Integer Y, Integer Width, Integer Height) {
  lkio::WithFinish(*this, [&] {
    SetAborted(false);
    if (Width == 0 || Height == 0 || !MakeConsistentBitmap(TLKPixelFormatSet())) return;
    TMetafile meta;
    if (!meta.LoadFromFile(FileName)) return SetAbortedWith(FileName + ": " + meta.Error());
    const TSize size = DrawnSize(meta, Width, Height);
    if (size.cx == 0) return SetAbortedWith("the metafile has no size");
    TLKBitmap* b = GetLKBitmap();
    if (b->GetPixelFormat() != lk24RGB) b->ConvertToPixelFormat(lk24RGB);
    // The part of the picture under the metafile, drawn over and put back;
    // what lies outside the picture is left out.
    const Integer x0 = std::max(X, 0), y0 = std::max(Y, 0);
    const Integer x1 = Integer(std::min<Int64>(Int64(X) + size.cx, b->GetWidth()));
    const Integer y1 = Integer(std::min<Int64>(Int64(Y) + size.cy, b->GetHeight()));
    if (x0 >= x1 || y0 >= y1) return Update();
    const Integer stride = (size.cx * 3 + 3) & ~3;
    std::vector<Byte> px(size_t(stride) * size_t(size.cy), 0);
    for (Integer y = y0; y < y1; ++y)
      std::memcpy(px.data() + size_t(y - Y) * size_t(stride) + size_t(x0 - X) * 3,
                  static_cast<Byte*>(b->GetScanLine(y)) + size_t(x0) * 3, size_t(x1 - x0) * 3);
    meta.Play(px.data(), size.cx, size.cy, stride);
    for (Integer y = y0; y < y1; ++y)
      std::memcpy(static_cast<Byte*>(b->GetScanLine(y)) + size_t(x0) * 3,
                  px.data() + size_t(y - Y) * size_t(stride) + size_t(x0 - X) * 3, size_t(x1 - x0) * 3);
    Update();
  });
}
