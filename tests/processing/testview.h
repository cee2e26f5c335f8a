// A view for processing tests: holds layers of TLKBitmap, a selection mask
// and flag, and records the calls the processing component makes on it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "views/lkview.h"

class TTestView : public TLKView, public TLumerakViewServices {
 public:
  /// One layer (layer 0) holding a w x h bitmap of the given format.
  TTestView(Integer w, Integer h, TLKPixelFormat format) : TLKView(nullptr) {
    Layers.push_back(std::make_unique<TLKBitmap>(w, h, format));
    Mask.AllocateBits(w, h, 1);
    Mask.Empty();
  }

  // Calls made on the view, in order ("Update", "ImageChange").
  std::vector<std::string> Calls;
  std::vector<std::unique_ptr<TLKBitmap>> Layers;
  Integer Current = 0;
  TLKMask Mask;
  bool Selected = false;
  std::vector<TPoint> Poly;
  // Number of selections read back by LoadSelectionFromStream.
  Integer SelectionLoads = 0;

  /// Selects the inclusive rectangle (x1, y1)-(x2, y2) in the mask.
  void SelectRect(Integer x1, Integer y1, Integer x2, Integer y2) {
    Mask.Empty();
    for (Integer y = y1; y <= y2; ++y) Mask.DrawHorizontalLine(1, x1, x2, y);
    Mask.SyncRect();
    Selected = true;
  }
  /// Replaces the current layer's bitmap object and tells the listeners.
  void ReplaceBitmap(std::unique_ptr<TLKBitmap> b) {
    Layers[Current] = std::move(b);
    CallBitmapChangeEvents();
  }

  TLKBitmap* GetLKBitmap() override { return Layers.empty() ? nullptr : Layers[Current].get(); }
  TLKBitmap* GetAlphaChannel() override { return GetLKBitmap()->GetAlphaChannel(); }
  bool GetHasAlphaChannel() override { return GetLKBitmap()->GetHasAlphaChannel(); }
  void RemoveAlphaChannel(bool) override { GetLKBitmap()->RemoveAlphaChannel(); }
  void LockPaint() override { ++PaintLock; }
  Integer UnLockPaint() override { return PaintLock > 0 ? --PaintLock : 0; }
  Integer NPUnLockPaint() override { return PaintLock > 0 ? --PaintLock : 0; }
  void ImageChange() override { Calls.push_back("ImageChange"); }
  void Update() override { Calls.push_back("Update"); }

  TLKMask* GetSelectionMask() override { return &Mask; }
  bool GetSelected() override { return Selected; }
  TPoint* GetPolySelArray() override { return Poly.empty() ? nullptr : Poly.data(); }
  Integer GetPolySelCount() override { return static_cast<Integer>(Poly.size()); }
  Integer GetLayersCurrent() override { return Current; }
  Integer GetLayersCount() override { return static_cast<Integer>(Layers.size()); }
  TLKBitmap* GetLayerBitmap(Integer i) override { return Layers[static_cast<size_t>(i)].get(); }
  // The stream form here: the mask box and the selection flag.
  void SaveSelectionToStream(TStream* s) override {
    Integer box[5] = {Mask.GetX1(), Mask.GetY1(), Mask.GetX2(), Mask.GetY2(), Selected ? 1 : 0};
    s->Write(box, sizeof box);
  }
  bool LoadSelectionFromStream(TStream* s, TLKRSOptions) override {
    Integer box[5];
    if (s->Read(box, sizeof box) != sizeof box) return false;
    ++SelectionLoads;
    if (box[4]) SelectRect(box[0], box[1], box[2], box[3]);
    else { Mask.Empty(); Selected = false; }
    return true;
  }
  TLKSelectionBase GetSelectionBase() override { return lksbClientArea; }
  // The client area shows the bitmap at Zoom percent, scrolled by (10, 20).
  Integer XScr2Bmp(Integer X) override { return static_cast<Integer>((X + 10) * 100 / Zoom); }
  Integer YScr2Bmp(Integer Y) override { return static_cast<Integer>((Y + 20) * 100 / Zoom); }
  Integer XBmp2Scr(Integer X) override { return static_cast<Integer>(X * Zoom / 100) - 10; }
  Integer YBmp2Scr(Integer Y) override { return static_cast<Integer>(Y * Zoom / 100) - 20; }
  double GetZoom() override { return Zoom; }
  double GetZoomX() const override { return Zoom; }
  double GetZoomY() const override { return Zoom; }
  void UpdateRect(const TRect& r) override { Repainted.push_back(r); }
  double Zoom = 200;
  std::vector<TRect> Repainted;

 private:
  Integer PaintLock = 0;
};

/// The bytes of pixel (x, y) of any format (one 0/1 value for lk1g).
inline std::vector<Byte> PixelBytes(TLKBitmap* b, Integer x, Integer y) {
  const Byte* row = static_cast<const Byte*>(b->GetScanLine(y));
  if (b->GetBitCount() == 1) return {static_cast<Byte>((row[x >> 3] & lkbitmask1[x & 7]) ? 1 : 0)};
  const Integer n = b->GetBitCount() / 8;
  return std::vector<Byte>(row + x * n, row + (x + 1) * n);
}

/// A 1-bit picture drawn from rows of '#' (clear, black) and '.' (set,
/// white), and read back the same way.
inline void DrawBits(TLKBitmap* b, const std::vector<std::string>& rows) {
  b->Allocate(static_cast<Integer>(rows[0].size()), static_cast<Integer>(rows.size()), lk1g);
  for (Integer y = 0; y < b->GetHeight(); ++y)
    for (Integer x = 0; x < b->GetWidth(); ++x)
      b->SetPixels_lk1g(x, y, rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == '.');
}
inline std::vector<std::string> BitsText(TLKBitmap* b) {
  std::vector<std::string> rows;
  for (Integer y = 0; y < b->GetHeight(); ++y) {
    std::string r;
    for (Integer x = 0; x < b->GetWidth(); ++x) r += b->GetPixels_lk1g(x, y) ? '.' : '#';
    rows.push_back(r);
  }
  return rows;
}

/// Gives every pixel of b distinct bytes derived from its index (lk1g: odd
/// indexes set).
inline void FillDistinct(TLKBitmap* b, Integer seed = 1) {
  const Integer w = b->GetWidth(), h = b->GetHeight();
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const Integer i = y * w + x;
      if (b->GetBitCount() == 1) {
        if ((i + seed) % 2) row[x >> 3] |= lkbitmask1[x & 7];
        else row[x >> 3] &= static_cast<Byte>(~lkbitmask1[x & 7]);
      } else {
        const Integer n = b->GetBitCount() / 8;
        for (Integer k = 0; k < n; ++k) row[x * n + k] = static_cast<Byte>(seed * 37 + i * 11 + k * 3);
      }
    }
  }
}

/// Runs a test body with bitmaps in memory and, once more, in temporary
/// files (LKDefMinFileSize 0 sends every new bitmap to a file).
class StorageScope {
 public:
  explicit StorageScope(bool file) : saved_(LKDefMinFileSize) { LKDefMinFileSize = file ? 0 : 1 << 30; }
  ~StorageScope() { LKDefMinFileSize = saved_; }

 private:
  Integer saved_;
};
