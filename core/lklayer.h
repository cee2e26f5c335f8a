// One layer of a layered view or file: a bitmap of its own with a position
// over the background layer, a display size, an opacity, a blend operation
// and flags. Readers and writers of layered formats make and read these
// records; the single-image view keeps its layers in them. The owner, when
// there is one, is reached through the view link's services only.
#pragma once

#include <cstdint>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkblend.h"
#include "core/lkviewlink.h"
#include "platform/classes.h"

class TLKBitmap;

enum TLKMagnifySource : Byte { lkmBackgroundLayer, lkmCanvas };
enum TLKMagnifyStyle : Byte { lkmRectangle, lkmEllipse };

/// A layer that magnifies what lies below it.
struct TLKLayerMagnification {
  bool Enabled = false;
  double Rate = 2.0;
  TLKMagnifySource Source = lkmBackgroundLayer;
  TLKMagnifyStyle Style = lkmEllipse;
};

/// Where a layer was last painted: destination in client pixels, source in
/// layer-bitmap pixels.
struct TLKPaintPlacement {
  Integer DestX = 0, DestY = 0, DestWidth = 0, DestHeight = 0;
  Integer SourceX = 0, SourceY = 0, SourceWidth = 0, SourceHeight = 0;
};

/// A layer (see the top of this file).
class TLKLayer : public TObject {
 public:
  /// Owner: the view showing the layer, or nil. UseBitmap: the layer takes Bitmap as its own. Otherwise
  /// it creates one like Bitmap (same storage, size and pixel format;
  /// contents undefined), or an empty one for nil. The layer owns its bitmap
  /// afterwards; the fields take their defaults.
  TLKLayer(TLumerakViewServices* Owner, TLKBitmap* Bitmap, bool UseBitmap);
  /// Frees the bitmap when owned.
  ~TLKLayer() override;
  TLKLayer(const TLKLayer&) = delete;
  TLKLayer& operator=(const TLKLayer&) = delete;

  /// Every field with a default takes it again (name and resample filter
  /// settings are left alone).
  void SetDefaults();
  /// Copies display size, bitmap contents, flags, opacity, position, client
  /// rectangle, magnification, operation, its own copy of the user data,
  /// resample filter settings, name, mask and draw-outer flags. Owner, the
  /// ownership of the bitmap and the paint placement stay.
  void Assign(const TLKLayer& Source);

  /// Display size, or the bitmap's size when it is 0.
  Integer GetWidth() const;
  Integer GetHeight() const;

  /// Client to layer-bitmap coordinates and back at the owner's zoom and
  /// origin. 0 when the layer or its bitmap has no width (height).
  Integer ConvXScr2Bmp(Integer X) const;
  Integer ConvYScr2Bmp(Integer Y) const;
  Integer ConvXBmp2Scr(Integer X) const;
  Integer ConvYBmp2Scr(Integer Y) const;

  /// Replaces the user data with a copy of Length bytes (nil or 0: none).
  void SetUserData(const void* Data, Integer Length);
  const Byte* GetUserData() const { return FUserData.empty() ? nullptr : FUserData.data(); }
  Integer GetUserDataLength() const { return static_cast<Integer>(FUserData.size()); }

  // Fields (declaration order of the layer record).
  Integer DisplayWidth = 0, DisplayHeight = 0;
  TLumerakViewServices* Owner = nullptr;
  TLKBitmap* Bitmap = nullptr;
  bool Visible = true;
  bool BoxVisible = true;
  Integer Opacity = 255;
  Integer PosX = 0, PosY = 0;
  TRect ClientRect{};
  bool Cropped = false;
  bool Locked = false;
  bool Selectable = true;
  TLKLayerMagnification Magnify;
  TLKRenderOperation Operation = lklNormal;
  bool OwnsBitmap = true;
  TResampleFilter ResampleFilter = rfNone;
  bool UseResampleFilter = false;
  String Name;
  bool IsMask = false;
  TLKPaintPlacement Placement;
  bool DrawOuter = false;

 private:
  std::vector<Byte> FUserData;
};

/// Frees the layer objects of Layers (TLKLayer) and empties it. Any thread.
void LKFreeLayers(TList& Layers);
