// Graphic classes that let the class library's picture objects hold any
// picture the I/O component reads: TLKGraphicBase keeps its picture in a
// TLKBitmap and loads and saves it through its own TLumerakIO, and each
// descendant only names the file type it reads and writes. Nothing
// registers them until an application calls LKRegisterFormats.
#pragma once

#include <memory>
#include <vector>

#include "core/lkbitmap.h"
#include "platform/graphics.h"

class TLumerakIO;

class TLKGraphicBase : public TGraphic {
 public:
  TLKGraphicBase();
  ~TLKGraphicBase() override;

  /// A graphic of the same class: a TLKBitmap copy of Source's picture;
  /// a TBitmap other than 24 or 1 bit is first converted to 24 bits (the
  /// source itself, as the class library does). Null or anything else
  /// raises EConvertError.
  void Assign(TPersistent* Source) override;
  /// The picture drawn into Rect's top-left corner at Rect's size.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  /// Always false, even with no pixels.
  bool GetEmpty() const override { return false; }
  Integer GetWidth() const override;
  Integer GetHeight() const override;
  void SetWidth(Integer Value) override;
  void SetHeight(Integer Value) override;
  std::unique_ptr<TGraphic> Clone() const override;
  /// Reads the picture of the graphic's file type from the stream's
  /// position. A file the reader refuses raises EInvalidGraphic with the
  /// reader's reason and leaves the picture as it was.
  void LoadFromStream(TStream* Stream) override;
  /// Writes the picture as the graphic's file type; a refused write raises
  /// EInvalidGraphic.
  void SaveToStream(TStream* Stream) override;

  /// The form-file part: the saved picture's byte count (signed 32-bit,
  /// little-endian), then its bytes.
  void WriteData(TStream* Stream);
  /// Reads a count; above 0, the picture that follows (its reader decides
  /// where it ends).
  void ReadData(TStream* Stream);
  /// CF_DIB: the packed DIB becomes the picture; other formats are ignored.
  void LoadFromClipboardFormat(Word Format, const std::vector<Byte>& Data);
  /// The whole picture as a packed DIB, with Format set to CF_DIB.
  void SaveToClipboardFormat(Word& Format, std::vector<Byte>& Data);

  /// The file type of the library's registry (0 for the base class itself).
  Integer GetFileType() const { return FFileType; }
  TLKBitmap* GetLKBitmap() const { return FBitmap.get(); }
  TLumerakIO* GetIO() const { return FIO.get(); }
  TResampleFilter GetDrawFilter() const { return FDrawFilter; }

 protected:
  explicit TLKGraphicBase(Integer FileType);

 private:
  std::unique_ptr<TLKBitmap> FBitmap;
  std::unique_ptr<TLumerakIO> FIO;
  Integer FFileType = 0;
  TResampleFilter FDrawFilter = rfNone;
};

/// One descendant per format; each differs only by its file type.
template <Integer FileType>
class TLKFormatGraphic : public TLKGraphicBase {
 public:
  TLKFormatGraphic() : TLKGraphicBase(FileType) {}
  std::unique_ptr<TGraphic> Clone() const override {
    auto g = std::make_unique<TLKFormatGraphic>();
    g->GetLKBitmap()->Assign(GetLKBitmap());
    return g;
  }
};

using TLKTIFFImage = TLKFormatGraphic<1>;
using TLKGIFImage = TLKFormatGraphic<2>;
using TLKJpegImage = TLKFormatGraphic<3>;
using TLKPCXImage = TLKFormatGraphic<4>;
using TLKBMPImage = TLKFormatGraphic<5>;
using TLKICOImage = TLKFormatGraphic<6>;
using TLKPNGImage = TLKFormatGraphic<8>;
using TLKTGAImage = TLKFormatGraphic<11>;
using TLKPXMImage = TLKFormatGraphic<12>;
using TLKJP2Image = TLKFormatGraphic<13>;
using TLKJ2KImage = TLKFormatGraphic<14>;
using TLKPSDImage = TLKFormatGraphic<24>;

/// Adds the classes to the picture objects' table of extensions: TIFF
/// ("TIF", "TIFF", "FAX", "G3N", "G3F"), GIF, JPEG ("JPG", "JPEG", "JPE"),
/// PCX, BMP as "DIB" and "RLE" only, PNG, TGA ("TGA", "TARGA", "VDA",
/// "ICB", "VST", "PIX"), the portable formats ("PXM", "PPM", "PGM",
/// "PBM"), JP2, J2K ("J2K", "JPC", "J2C") and PSD: 28 extensions. "BMP"
/// and "ICO" stay with the class library's own classes.
void LKRegisterFormats();
/// Takes the classes out again; harmless when they are not registered.
void LKUnregisterFormats();
