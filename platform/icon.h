// Icons and cursors as pictures. A TIcon keeps the bytes of an icon (or
// cursor) file as they were read and decodes the first image of its
// directory for drawing: palette images of 1, 4 and 8 bits and true-colour
// ones of 24 and 32 bits, each with its transparency mask, and images
// stored compressed as PNG. Every count, offset and size is checked against
// the data; an image with a side past 256 pixels is refused. Copies share
// the bytes and the image, which never change after a load.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics.h"

class TIcon : public TGraphic {
 public:
  TIcon();
  ~TIcon() override;

  Integer GetWidth() const override;
  Integer GetHeight() const override;
  /// Raise EInvalidGraphic: an icon's size is its image's.
  void SetWidth(Integer Value) override;
  void SetHeight(Integer Value) override;
  bool GetEmpty() const override { return !FState; }
  /// Icons always have transparent parts.
  bool GetTransparent() const override { return true; }
  /// Draws the image stretched into Rect, leaving its transparent pixels out.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  std::unique_ptr<TGraphic> Clone() const override;
  /// Reads an icon or cursor file from the position to the end; raises
  /// EInvalidGraphic (leaving the icon as it was) when it is none.
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  /// From another icon (the same bytes) or null (empties it).
  void Assign(TPersistent* Source) override;
  /// A TBitmap gets the image on clFuchsia, transparent with that colour.
  void AssignTo(TPersistent* Dest) override;

  /// The file's bytes (empty for an empty icon).
  const std::vector<Byte>& GetData() const;
  /// The decoded image (null for an empty icon) and the colour that stands
  /// for its transparent pixels in it.
  const TBitmap* GetImage() const { return FState ? &FState->Image : nullptr; }
  TColor GetMaskColor() const { return FState ? FState->Key : clNone; }

 private:
  struct TState {
    std::vector<Byte> Data;
    TBitmap Image;
    TColor Key = clNone;
  };
  std::shared_ptr<TState> FState;
};

/// The first image of an icon or cursor file in Data, as straight ARGB
/// (null when the data is no such file or the image cannot be read).
QImage DecodeIconImage(const Byte* Data, size_t Size);
