// Geometry and storage changes of the image buffer: new width or height, a
// canvas resize with alignment and fill, moving a block inside the picture,
// moving the pixels to another storage kind, and a new row alignment. Each
// works by handing the pixels to a temporary buffer (SwitchTo), reallocating
// and copying rows back, so it holds for every storage kind.
#include <algorithm>
#include <cstring>

#include "core/lkbitmap.h"
#include "core/lkbitmap_internal.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace {

using lkinternal::AccessScope;
using lkinternal::ClipNegativeOrigin;

// Copies the block of w x h pixels at (sx, sy) of `src` to (dx, dy) of `dst`,
// both of the same pixel format, clipped to both pictures. 1-bit rows are
// copied as bit runs, others as byte runs.
void CopyBlock(TLKBitmap& src, TLKBitmap& dst, Int64 sx, Int64 sy, Int64 dx, Int64 dy, Int64 w, Int64 h) {
  ClipNegativeOrigin(sx, dx, w);
  ClipNegativeOrigin(sy, dy, h);
  ClipNegativeOrigin(dx, sx, w);
  ClipNegativeOrigin(dy, sy, h);
  w = std::min({w, Int64{src.GetWidth()} - sx, Int64{dst.GetWidth()} - dx});
  h = std::min({h, Int64{src.GetHeight()} - sy, Int64{dst.GetHeight()} - dy});
  if (w <= 0 || h <= 0) return;
  const Integer bits = src.GetBitCount();
  const Integer srcRowLen = src.GetRowLen();
  AccessScope readOnly(src, TLKDataAccess{lkdRead});
  for (Int64 y = 0; y < h; ++y) {
    const auto* s = static_cast<const Byte*>(src.GetScanLine(static_cast<Integer>(sy + y)));
    auto* d = static_cast<Byte*>(dst.GetScanLine(static_cast<Integer>(dy + y)));
    if (bits == 1) {
      _CopyBits(d, s, static_cast<Integer>(dx), static_cast<Integer>(sx), static_cast<Integer>(w), srcRowLen);
    } else {
      const Int64 bpp = bits / 8;
      std::memmove(d + dx * bpp, s + sx * bpp, static_cast<size_t>(w * bpp));
    }
  }
}

// First phase of Resize, before the size changes: brings the part of the
// picture that stays to the top-left corner.
void ResizeShrinkPhase(TLKBitmap& bmp, Integer ow, Integer oh, Integer nw, Integer nh, TLKHAlign hAlign,
                       TLKVAlign vAlign, double value) {
  if (nw < ow && nw > 0) {
    const Integer from = hAlign == lkhCenter ? (ow - nw) / 2 : hAlign == lkhRight ? ow - nw : 0;
    if (from > 0) bmp.MoveRegion(from, 0, from + nw - 1, oh - 1, 0, 0, value);
  }
  if (nh < oh && nh > 0) {
    const Integer from = vAlign == lkvCenter ? (oh - nh) / 2 : vAlign == lkvBottom ? oh - nh : 0;
    if (from > 0) bmp.MoveRegion(0, from, ow - 1, from + nh - 1, 0, 0, value);
  }
}

// Last phase of Resize, after the size changed: fills the new columns and
// rows and moves the old picture to its place.
void ResizeGrowPhase(TLKBitmap& bmp, Integer ow, Integer oh, Integer nw, Integer nh, TLKHAlign hAlign, TLKVAlign vAlign,
                     double value) {
  if (ow < nw) {
    bmp.FillRect(ow, 0, nw - 1, nh - 1, value);
    const Integer shift = hAlign == lkhCenter ? (nw - ow) / 2 : hAlign == lkhRight ? nw - ow : 0;
    if (shift > 0 && ow > 0) bmp.MoveRegion(0, 0, ow - 1, std::min(oh, nh) - 1, shift, 0, value);
  }
  if (oh < nh) {
    bmp.FillRect(0, oh, nw - 1, nh - 1, value);
    const Integer shift = vAlign == lkvCenter ? (nh - oh) / 2 : vAlign == lkvBottom ? nh - oh : 0;
    if (shift > 0 && oh > 0) bmp.MoveRegion(0, 0, nw - 1, oh - 1, 0, shift, value);
  }
}

}  // namespace

// ---------------------------------------------------------------------------
// Width and height

void TLKBitmap::ReLayout(Integer width, Integer height) {
  TLKBitmap old;
  SwitchTo(&old);
  try {
    Allocate(width, height, old.PixelFormat);
  } catch (...) {
    old.SwitchTo(this);
    throw;
  }
  CopyRowsFrom(&old);
  // The palette travels with the pixels: a reallocated lk8p image would
  // otherwise come back with a blank palette.
  CopyPaletteFrom(&old);
  AlphaChannel = old.AlphaChannel;
  old.AlphaChannel = nullptr;
  Full = false;
}

void TLKBitmap::SetWidth(Integer w) {
  w = std::max(w, 0);
  if (w == GetWidth()) return;
  if (AlphaChannel) AlphaChannel->SetWidth(w);
  if (Location == lkTBitmap && VclBitmap) {
    VclBitmap->SetWidth(w);
    UpdateFromTBitmap();
    return;
  }
  if (PixelFormat != lknull && Height > 0) {
    ReLayout(w, Height);
  } else {
    Width = w;
  }
}

void TLKBitmap::SetHeight(Integer h) {
  h = std::max(h, 0);
  if (h == GetHeight()) return;
  if (AlphaChannel) AlphaChannel->SetHeight(h);
  if (Location == lkTBitmap && VclBitmap) {
    VclBitmap->SetHeight(h);
    UpdateFromTBitmap();
    return;
  }
  if (PixelFormat != lknull && Width > 0) {
    ReLayout(Width, h);
  } else {
    Height = h;
  }
}

void TLKBitmap::Resize(Integer newWidth, Integer newHeight, double background, double alpha, TLKHAlign hAlign,
                       TLKVAlign vAlign) {
  newWidth = std::max(newWidth, 0);
  newHeight = std::max(newHeight, 0);
  const Integer ow = GetWidth(), oh = GetHeight();
  // The alpha channel goes through the same phases with its own fill value;
  // SetWidth and SetHeight resize it along with the image.
  ResizeShrinkPhase(*this, ow, oh, newWidth, newHeight, hAlign, vAlign, background);
  if (AlphaChannel) ResizeShrinkPhase(*AlphaChannel, ow, oh, newWidth, newHeight, hAlign, vAlign, alpha);
  SetWidth(newWidth);
  SetHeight(newHeight);
  ResizeGrowPhase(*this, ow, oh, newWidth, newHeight, hAlign, vAlign, background);
  if (AlphaChannel) ResizeGrowPhase(*AlphaChannel, ow, oh, newWidth, newHeight, hAlign, vAlign, alpha);
}

void TLKBitmap::MoveRegion(Integer x1, Integer y1, Integer x2, Integer y2, Integer destX, Integer destY, double value) {
  if (IsEmpty() || PixelFormat == lknull) return;
  // Only the part of the rectangle inside the picture moves; it keeps its
  // offset from the rectangle's corner.
  Int64 dx = destX, dy = destY;
  Int64 left = x1, top = y1;
  const Int64 right = std::min<Int64>(x2, Width - 1), bottom = std::min<Int64>(y2, Height - 1);
  if (left < 0) {
    dx -= left;
    left = 0;
  }
  if (top < 0) {
    dy -= top;
    top = 0;
  }
  if (right < left || bottom < top) return;
  const Int64 w = right - left + 1, h = bottom - top + 1;

  TLKBitmap block(static_cast<Integer>(w), static_cast<Integer>(h), PixelFormat);
  CopyBlock(*this, block, left, top, 0, 0, w, h);
  FillRect(static_cast<Integer>(left), static_cast<Integer>(top), static_cast<Integer>(right),
           static_cast<Integer>(bottom), value);
  CopyBlock(block, *this, 0, 0, dx, dy, w, h);
}

// ---------------------------------------------------------------------------
// Storage changes

void TLKBitmap::SetLocation(TLKLocation location) {
  if (location == Location) return;
  if (Location == lkTBitmap) UpdateFromTBitmap();
  ReallocPending = true;
  TLKBitmap old;
  SwitchTo(&old);
  Location = location;
  try {
    Allocate(old.Width, old.Height, old.PixelFormat);
  } catch (...) {
    // A format the new storage cannot hold: the picture stays where it was.
    old.SwitchTo(this);
    ReallocPending = true;
    throw;
  }
  CopyRowsFrom(&old);
  CopyPaletteFrom(&old);
  IsAlphaChannel = old.IsAlphaChannel;
  AlphaChannel = old.AlphaChannel;
  old.AlphaChannel = nullptr;
  Full = false;
}

TBitmap* TLKBitmap::GetVclBitmap() {
  SetLocation(lkTBitmap);
  return VclBitmap;
}

TCanvas* TLKBitmap::GetCanvas() {
  if (Location == lkMemory || Location == lkFile) SetLocation(lkTBitmap);
  return VclBitmap ? VclBitmap->GetCanvas() : nullptr;
}

void TLKBitmap::SetBitAlignment(Integer bits) {
  if (bits != 8 && bits != 16 && bits != 32) return;
  if (bits == BitAlignment) return;
  BitAlignment = bits;
  ReallocPending = true;
  switch (Location) {
    case lkMemory:
    case lkFile:
      // File storage is re-laid out as well: its rows must keep the length
      // the alignment gives, which the raw stream form relies on.
      if (!IsEmpty()) ReLayout(Width, Height);
      break;
    case lkTBitmap:
      // The class-library bitmap's rows are 32-bit aligned: long enough for
      // any alignment, so only the row length changes.
      if (VclBitmap) RowLen = LKBitmapRowLen(Width, BitCount, BitAlignment);
      break;
  }
}
