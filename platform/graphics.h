// Window-less graphics of the platform layer: colours, pens, brushes, fonts,
// device-independent bitmaps with their own pixel rows, a canvas that draws
// on any pixel surface with the desktop's drawing rules, and the graphic and
// picture classes with their registry of file formats.
//
// Drawing rules kept from the desktop the layer stands in for: a line leaves
// out its end point; rectangles, fills and ellipses leave out their right and
// bottom edges; every pen mode works on the stored pixel values, so drawing
// the same figure twice with pmXor or pmNot restores the surface exactly.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <typeindex>
#include <vector>

#include "platform/classes.h"
#include "platform/system.h"

class QImage;
class QFont;
namespace raster {
struct Region;
struct Target;
}  // namespace raster

// ---------------------------------------------------------------------------
// Colours
// ---------------------------------------------------------------------------

/// Plain colours (0x00BBGGRR).
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clLtGray = 0xC0C0C0;
constexpr TColor clDkGray = 0x808080;
constexpr TColor clWhite = 0xFFFFFF;
constexpr TColor clMoneyGreen = 0xC0DCC0;
constexpr TColor clSkyBlue = 0xF0CAA6;
constexpr TColor clCream = 0xF0FBFF;
constexpr TColor clMedGray = 0xA4A0A0;
/// "No colour" and "the control's default colour": markers, never drawn.
constexpr TColor clNone = 0x1FFFFFFF;
constexpr TColor clDefault = 0x20000000;

/// System colours: 0x80000000 | index. `ColorToRGB` resolves them through a
/// fixed table (the layer has no desktop theme to ask).
constexpr TColor SystemColor(Integer index) { return static_cast<TColor>(0x80000000u | static_cast<unsigned>(index)); }
constexpr TColor clScrollBar = SystemColor(0);
constexpr TColor clBackground = SystemColor(1);
constexpr TColor clActiveCaption = SystemColor(2);
constexpr TColor clInactiveCaption = SystemColor(3);
constexpr TColor clMenu = SystemColor(4);
constexpr TColor clWindow = SystemColor(5);
constexpr TColor clWindowFrame = SystemColor(6);
constexpr TColor clMenuText = SystemColor(7);
constexpr TColor clWindowText = SystemColor(8);
constexpr TColor clCaptionText = SystemColor(9);
constexpr TColor clActiveBorder = SystemColor(10);
constexpr TColor clInactiveBorder = SystemColor(11);
constexpr TColor clAppWorkSpace = SystemColor(12);
constexpr TColor clHighlight = SystemColor(13);
constexpr TColor clHighlightText = SystemColor(14);
constexpr TColor clBtnFace = SystemColor(15);
constexpr TColor clBtnShadow = SystemColor(16);
constexpr TColor clGrayText = SystemColor(17);
constexpr TColor clBtnText = SystemColor(18);
constexpr TColor clInactiveCaptionText = SystemColor(19);
constexpr TColor clBtnHighlight = SystemColor(20);
constexpr TColor cl3DDkShadow = SystemColor(21);
constexpr TColor cl3DLight = SystemColor(22);
constexpr TColor clInfoText = SystemColor(23);
constexpr TColor clInfoBk = SystemColor(24);
constexpr TColor clHotLight = SystemColor(26);
constexpr TColor clGradientActiveCaption = SystemColor(27);
constexpr TColor clGradientInactiveCaption = SystemColor(28);
constexpr TColor clMenuHighlight = SystemColor(29);
constexpr TColor clMenuBar = SystemColor(30);

/// Builds a plain colour from red, green and blue.
constexpr TColor RGB(Byte r, Byte g, Byte b) { return static_cast<TColor>(r | (g << 8) | (b << 16)); }
/// Red, green and blue of a plain colour (low, second and third byte).
constexpr Byte GetRValue(DWORD c) { return static_cast<Byte>(c & 0xFF); }
constexpr Byte GetGValue(DWORD c) { return static_cast<Byte>((c >> 8) & 0xFF); }
constexpr Byte GetBValue(DWORD c) { return static_cast<Byte>((c >> 16) & 0xFF); }
/// Palette-relative codes: an index into the surface's colour table, and a
/// colour matched to the nearest entry of the surface's colour table.
constexpr TColor PALETTEINDEX(Word i) { return static_cast<TColor>(0x01000000 | i); }
constexpr TColor PALETTERGB(Byte r, Byte g, Byte b) { return 0x02000000 | RGB(r, g, b); }

/// The plain colour of a system colour (negative code, resolved through the
/// fixed table; an index past the table gives black); any other value is
/// returned unchanged.
TColor ColorToRGB(TColor Color);

/// One colour-table entry as stored in device-independent bitmaps.
#pragma pack(push, 1)
struct TRGBQuad {
  Byte rgbBlue = 0, rgbGreen = 0, rgbRed = 0, rgbReserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TRGBQuad) == 4);
/// Colour-table entry of a plain colour (system colours resolved).
TRGBQuad ColorToRGBQuad(TColor Color);
/// Plain colour of a colour-table entry.
constexpr TColor RGBQuadToColor(const TRGBQuad& q) { return RGB(q.rgbRed, q.rgbGreen, q.rgbBlue); }

// ---------------------------------------------------------------------------
// Pens, brushes, fonts
// ---------------------------------------------------------------------------

/// Line styles; the order is the stored ordinal.
enum TPenStyle : Byte { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };
/// How a pen (and the fill of closed figures) combines with the pixel value
/// already there (P = pen, D = destination); the order is the stored ordinal.
enum TPenMode : Byte {
  pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
  pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};
/// Fill styles; hatches are 8x8 patterns aligned to the surface origin and
/// leave the pixels between their lines untouched. The order is the stored ordinal.
enum TBrushStyle : Byte { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };
enum TFontStyle : Byte { fsBold, fsItalic, fsUnderline, fsStrikeOut };
enum TFontPitch : Byte { fpDefault, fpVariable, fpFixed };
using TFontCharset = Byte;
constexpr TFontCharset ANSI_CHARSET = 0;
constexpr TFontCharset DEFAULT_CHARSET = 1;
constexpr TFontCharset SYMBOL_CHARSET = 2;

/// A set of font styles.
using TFontStyles = TSet<TFontStyle>;

/// Screen resolution the layer assumes when converting font points to pixels.
constexpr Integer ScreenPixelsPerInch = 96;

/// Base of pens, brushes and fonts: a change event fired after every change.
class TGraphicsObject : public TPersistent {
 public:
  /// Fired after a property changed (set by the owning canvas or by the user).
  TNotifyEvent OnChange;

 protected:
  void Changed() { if (OnChange) OnChange(this); }
};

/// A pen: colour, width in pixels, style and mode. Defaults: black, 1, psSolid, pmCopy.
class TPen : public TGraphicsObject {
 public:
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  Integer GetWidth() const { return FWidth; }
  /// Widths below 1 are stored as 1.
  void SetWidth(Integer Value);
  TPenStyle GetStyle() const { return FStyle; }
  void SetStyle(TPenStyle Value);
  TPenMode GetMode() const { return FMode; }
  void SetMode(TPenMode Value);
  /// Copies colour, width, style and mode, then fires OnChange.
  void Assign(const TPen* Source);
  /// Assign from another TPen; anything else raises EConvertError.
  void Assign(TPersistent* Source) override;

 private:
  TColor FColor = clBlack;
  Integer FWidth = 1;
  TPenStyle FStyle = psSolid;
  TPenMode FMode = pmCopy;
};

/// A brush: colour and style. Defaults: white, bsSolid. Setting a colour on a
/// clear brush makes it solid, as on the desktop.
class TBrush : public TGraphicsObject {
 public:
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TBrushStyle GetStyle() const { return FStyle; }
  void SetStyle(TBrushStyle Value);
  /// Copies colour and style, then fires OnChange.
  void Assign(const TBrush* Source);
  /// Assign from another TBrush; anything else raises EConvertError.
  void Assign(TPersistent* Source) override;

 private:
  TColor FColor = clWhite;
  TBrushStyle FStyle = bsSolid;
};

/// A font: face name, size in points or height in pixels, colour, styles,
/// character set (kept, not used: text is UTF-8), pitch and orientation in
/// tenths of a degree. Height < 0 is the character height in pixels, > 0 the
/// cell height including internal leading; Size = -Height x 72 / 96 rounded.
/// Defaults: "MS Sans Serif", Height -11, clWindowText, DEFAULT_CHARSET.
/// Faces the machine lacks fall back to an installed one.
class TFont : public TGraphicsObject {
 public:
  const String& GetName() const { return FName; }
  void SetName(const String& Value);
  Integer GetSize() const;
  void SetSize(Integer Value);
  Integer GetHeight() const { return FHeight; }
  void SetHeight(Integer Value);
  TColor GetColor() const { return FColor; }
  void SetColor(TColor Value);
  TFontStyles GetStyle() const { return FStyle; }
  void SetStyle(TFontStyles Value);
  TFontCharset GetCharset() const { return FCharset; }
  void SetCharset(TFontCharset Value);
  TFontPitch GetPitch() const { return FPitch; }
  void SetPitch(TFontPitch Value);
  Integer GetOrientation() const { return FOrientation; }
  void SetOrientation(Integer Value);
  /// Copies every property, then fires OnChange.
  void Assign(const TFont* Source);
  /// Assign from another TFont; anything else raises EConvertError.
  void Assign(TPersistent* Source) override;
  /// Increases with every change; lets canvases cache the font they built.
  Cardinal Generation() const { return FGeneration; }

 private:
  void Touch();
  String FName = "MS Sans Serif";
  Integer FHeight = -11;
  TColor FColor = clWindowText;
  TFontStyles FStyle;
  TFontCharset FCharset = DEFAULT_CHARSET;
  TFontPitch FPitch = fpDefault;
  Integer FOrientation = 0;
  Cardinal FGeneration = 0;
};

/// The Qt font a TFont draws with (pixel size from Height, no antialiasing,
/// so drawn text has hard edges like the desktop's default text).
QFont FontToQFont(const TFont& Font);

// ---------------------------------------------------------------------------
// Pixel surfaces
// ---------------------------------------------------------------------------

/// Anything a canvas can draw on: rows of pixels, top row first, in one of the
/// formats 1, 4, 8 (colour-table indexes; 1 bit most significant first,
/// 4 bit high nibble first), 15 (16-bit little-endian x-5-5-5, red highest),
/// 16 (5-6-5), 24 (bytes blue, green, red) or 32 (blue, green, red, unused).
/// Bitmaps, the library's DIBs and window back buffers implement it.
class TPixelSurface {
 public:
  virtual ~TPixelSurface() = default;
  virtual Integer SurfaceWidth() const = 0;
  virtual Integer SurfaceHeight() const = 0;
  /// 1, 4, 8, 15, 16, 24 or 32.
  virtual Integer SurfaceBitsPerPixel() const = 0;
  /// Address of row y (0 = top); only called with 0 <= y < height.
  virtual Byte* SurfaceRow(Integer y) = 0;
  /// Colour table of an indexed surface; empty for 15 bits and more.
  virtual std::span<const TRGBQuad> SurfacePalette() const = 0;
  /// Called after a canvas changed pixels.
  virtual void SurfaceChanged() {}
};

// ---------------------------------------------------------------------------
// Canvas
// ---------------------------------------------------------------------------

class TGraphic;

/// Raster operations of CopyRect (the code's bits 16-23 are the truth table
/// over pattern, source and destination).
using TCopyMode = Cardinal;
constexpr TCopyMode cmBlackness = 0x00000042;
constexpr TCopyMode cmDstInvert = 0x00550009;
constexpr TCopyMode cmMergeCopy = 0x00C000CA;
constexpr TCopyMode cmMergePaint = 0x00BB0226;
constexpr TCopyMode cmNotSrcCopy = 0x00330008;
constexpr TCopyMode cmNotSrcErase = 0x001100A6;
constexpr TCopyMode cmPatCopy = 0x00F00021;
constexpr TCopyMode cmPatInvert = 0x005A0049;
constexpr TCopyMode cmPatPaint = 0x00FB0A09;
constexpr TCopyMode cmSrcAnd = 0x008800C6;
constexpr TCopyMode cmSrcCopy = 0x00CC0020;
constexpr TCopyMode cmSrcErase = 0x00440328;
constexpr TCopyMode cmSrcInvert = 0x00660046;
constexpr TCopyMode cmSrcPaint = 0x00EE0086;
constexpr TCopyMode cmWhiteness = 0x00FF0062;

/// Draws on a pixel surface with a pen, a brush and a font.
///
/// Geometry: pixel (x, y) is the unit square at x..x+1, y..y+1. Lines plot
/// the pixels nearest to the ideal line and leave out their end point; the
/// set of pixels of a line does not depend on its direction. Rectangles,
/// ellipses, fills and copies cover Left..Right-1 and Top..Bottom-1.
/// Colours map to the nearest colour-table entry on indexed surfaces; pen
/// modes and copy modes combine stored values (indexes on indexed surfaces).
/// The clip rectangle limits every pixel written. Text is drawn through Qt
/// and needs a QGuiApplication; everything else is plain computation.
class TCanvas : public TObject {
 public:
  /// A canvas on Surface (may be null: nothing is drawn until SetSurface).
  explicit TCanvas(TPixelSurface* Surface = nullptr);
  ~TCanvas() override;

  TPixelSurface* GetSurface() const { return FSurface; }
  /// Points the canvas at another surface (or none) and resets the clip.
  void SetSurface(TPixelSurface* Surface);

  TPen* GetPen() const { return FPen.get(); }
  TBrush* GetBrush() const { return FBrush.get(); }
  TFont* GetFont() const { return FFont.get(); }
  /// Copy the given object's properties into the canvas's own.
  void SetPen(const TPen* Value) { FPen->Assign(Value); }
  void SetBrush(const TBrush* Value) { FBrush->Assign(Value); }
  void SetFont(const TFont* Value) { FFont->Assign(Value); }

  TPoint GetPenPos() const { return FPenPos; }
  void SetPenPos(TPoint Value) { MoveTo(Value.X, Value.Y); }
  TCopyMode GetCopyMode() const { return FCopyMode; }
  void SetCopyMode(TCopyMode Value) { FCopyMode = Value; }

  /// The rectangle drawing is limited to: the clip set by SetClipRect, cut to
  /// the surface and to the clip region's bounding box (all zero without a
  /// surface).
  TRect GetClipRect() const;
  /// Limits drawing to Rect (intersected with the surface).
  void SetClipRect(const TRect& Rect);
  /// Further limits drawing to the pixels whose centres lie inside the
  /// polygon (alternate rule), as a polygon clip region does; replaces an
  /// earlier region.
  void SetClipRegion(std::span<const TPoint> Polygon);
  /// Lets drawing reach the whole surface again (clears rectangle and region).
  void ResetClipRect();

  /// Moves the pen without drawing; starts a new dash pattern.
  void MoveTo(Integer X, Integer Y);
  /// Line from the pen position to (X, Y), end point left out; moves the pen there.
  void LineTo(Integer X, Integer Y);
  /// Connected lines through the points (each end point left out but the
  /// last segment's start); the pen position is not used or changed.
  void Polyline(std::span<const TPoint> Points);
  /// Closed figure: the inside (alternate rule) filled with the brush, then
  /// the outline drawn with the pen. Fewer than 2 points draw nothing.
  void Polygon(std::span<const TPoint> Points);
  /// Filled rectangle with a pen outline; covers X1..X2-1, Y1..Y2-1 (corners
  /// in any order). With psClear the brush fills the whole rectangle.
  void Rectangle(Integer X1, Integer Y1, Integer X2, Integer Y2);
  void Rectangle(const TRect& R) { Rectangle(R.Left, R.Top, R.Right, R.Bottom); }
  /// Fills Left..Right-1, Top..Bottom-1 with the brush (plain copy, pen mode
  /// not used); a clear brush fills nothing.
  void FillRect(const TRect& R);
  /// One-pixel frame of R in the brush colour.
  void FrameRect(const TRect& R);
  /// Ellipse inscribed in X1..X2-1, Y1..Y2-1: brush inside, pen outline.
  void Ellipse(Integer X1, Integer Y1, Integer X2, Integer Y2);
  void Ellipse(const TRect& R) { Ellipse(R.Left, R.Top, R.Right, R.Bottom); }
  /// Rectangle with corners rounded by ellipses of X3 x Y3 pixels.
  void RoundRect(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3);
  /// Part of the ellipse's outline, counter-clockwise (as seen on screen)
  /// from the ray through (X3, Y3) to the ray through (X4, Y4), both from
  /// the ellipse's centre.
  void Arc(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4);
  /// The wedge between those rays: brush inside, pen on the arc and both radii.
  void Pie(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4);
  /// The arc closed by the straight line between its ends: brush inside,
  /// pen on the arc and the line.
  void Chord(Integer X1, Integer Y1, Integer X2, Integer Y2, Integer X3, Integer Y3, Integer X4, Integer Y4);

  /// Colour of a pixel; -1 outside the clip rectangle or without a surface.
  TColor GetPixel(Integer X, Integer Y) const;
  /// Sets a pixel to the nearest colour the surface can hold (inside the clip only).
  void SetPixel(Integer X, Integer Y, TColor Color);

  /// Text with its cell's top-left corner at (X, Y) in the font's colour; a
  /// solid brush first fills the text's cell. A font orientation turns the
  /// cell counter-clockwise about (X, Y). Moves the pen to (X + width, Y).
  void TextOut(Integer X, Integer Y, const String& Text);
  /// Text at (X, Y) limited to R; a solid brush first fills all of R.
  void TextRect(const TRect& R, Integer X, Integer Y, const String& Text);
  /// Advance width and cell height of the text in the current font.
  TSize TextExtent(const String& Text) const;
  Integer TextWidth(const String& Text) const { return TextExtent(Text).cx; }
  Integer TextHeight(const String& Text) const { return TextExtent(Text).cy; }

  /// Draws a graphic at its own size with its top-left corner at (X, Y).
  void Draw(Integer X, Integer Y, TGraphic* Graphic);
  /// Draws a graphic stretched into R.
  void StretchDraw(const TRect& R, TGraphic* Graphic);
  /// Copies (stretching by nearest pixel) Source's rectangle SourceRect into
  /// Dest with the copy mode; a rectangle with Right < Left (Bottom < Top)
  /// on one side only mirrors the copy. Pixels outside the source read as
  /// black.
  void CopyRect(const TRect& Dest, TCanvas* Source, const TRect& SourceRect);
  /// As CopyRect from a surface; TransparentColor (or clNone) names a
  /// source colour whose pixels are left out.
  void CopyFromSurface(const TRect& Dest, TPixelSurface* Source, const TRect& SourceRect,
                       TColor TransparentColor = clNone);

  /// Serialises drawing from several threads: Lock waits, TryLock does not.
  /// Locks nest on one thread.
  void Lock();
  bool TryLock();
  void Unlock();
  Integer GetLockCount() const { return FLockCount; }

  /// Fired before and after every drawing call that may change pixels.
  TNotifyEvent OnChanging;
  TNotifyEvent OnChange;

 private:
  struct TextCache;
  void Changing();
  void Changed();
  bool Ready() const { return FSurface && FSurface->SurfaceWidth() > 0 && FSurface->SurfaceHeight() > 0; }
  void StrokePath(std::span<const TPoint> Points, bool Closed);
  void DrawText(const TRect* Limit, Integer X, Integer Y, const String& Text, bool FillCell);
  const TextCache& Text() const;
  raster::Target MakeTarget() const;

  TPixelSurface* FSurface = nullptr;
  std::unique_ptr<TPen> FPen;
  std::unique_ptr<TBrush> FBrush;
  std::unique_ptr<TFont> FFont;
  TPoint FPenPos;
  Integer FDashPhase = 0;
  TCopyMode FCopyMode = cmSrcCopy;
  bool FHasClip = false;
  TRect FClip;
  std::unique_ptr<raster::Region> FRegion;
  std::recursive_mutex FLock;
  Integer FLockCount = 0;
  mutable std::unique_ptr<TextCache> FText;
};

/// Calls Proc(x, y) for each pixel of the line from (X1, Y1) to (X2, Y2), the
/// end point left out, in drawing order: the pixels LineTo would draw.
void LineDDA(Integer X1, Integer Y1, Integer X2, Integer Y2, const std::function<void(Integer X, Integer Y)>& Proc);

/// Border kinds and sides of DrawEdge.
constexpr Cardinal BDR_RAISEDOUTER = 0x0001;
constexpr Cardinal BDR_SUNKENOUTER = 0x0002;
constexpr Cardinal BDR_RAISEDINNER = 0x0004;
constexpr Cardinal BDR_SUNKENINNER = 0x0008;
constexpr Cardinal EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER;
constexpr Cardinal EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER;
constexpr Cardinal EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER;
constexpr Cardinal EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER;
constexpr Cardinal BF_LEFT = 0x0001;
constexpr Cardinal BF_TOP = 0x0002;
constexpr Cardinal BF_RIGHT = 0x0004;
constexpr Cardinal BF_BOTTOM = 0x0008;
constexpr Cardinal BF_RECT = BF_LEFT | BF_TOP | BF_RIGHT | BF_BOTTOM;
constexpr Cardinal BF_MIDDLE = 0x0800;
constexpr Cardinal BF_ADJUST = 0x2000;

/// Draws a 3-D border of up to two one-pixel frames inside Rect (outer
/// frame first) on the chosen sides, in the system colours: a sunken outer
/// frame is button shadow at the top and left and button highlight at the
/// bottom and right, a sunken inner one 3-D dark shadow and 3-D light; raised
/// frames swap light and dark (outer 3-D light / dark shadow, inner button
/// highlight / shadow). Top and left lines stop one pixel short of the far
/// corner, which belongs to the bottom or right line. BF_MIDDLE fills the
/// rest with the button face; BF_ADJUST shrinks Rect by the border drawn.
/// Returns false without a canvas.
bool DrawEdge(TCanvas* Canvas, TRect& Rect, Cardinal Edge, Cardinal Flags);

// ---------------------------------------------------------------------------
// Graphics, bitmaps, pictures
// ---------------------------------------------------------------------------


/// Base of every picture class (bitmaps, the library's image classes, GIF):
/// a size and a way to draw itself onto a canvas rectangle.
class TGraphic : public TPersistent {
 public:
  virtual Integer GetWidth() const = 0;
  virtual Integer GetHeight() const = 0;
  virtual void SetWidth(Integer Value) = 0;
  virtual void SetHeight(Integer Value) = 0;
  /// True when the graphic holds no picture.
  virtual bool GetEmpty() const = 0;
  /// Draws the picture stretched into Rect of the canvas.
  virtual void Draw(TCanvas* ACanvas, const TRect& Rect) = 0;
  /// A new graphic of the same class holding the same picture.
  virtual std::unique_ptr<TGraphic> Clone() const = 0;
  /// Reads the picture from the stream's position (raising EInvalidGraphic
  /// or the stream's error on bad or short data; the graphic is then left as
  /// it was) and leaves the position after it.
  virtual void LoadFromStream(TStream* Stream) = 0;
  /// Writes the picture at the stream's position.
  virtual void SaveToStream(TStream* Stream) = 0;
  /// LoadFromStream on the named file (EFOpenError when it cannot be opened).
  virtual void LoadFromFile(const String& FileName);
  /// SaveToStream into a temporary file beside FileName, renamed over it only
  /// when everything was written: a failed save leaves an existing file alone.
  virtual void SaveToFile(const String& FileName);

  virtual bool GetTransparent() const { return FTransparent; }
  virtual void SetTransparent(bool Value);
  bool GetModified() const { return FModified; }
  void SetModified(bool Value);

  /// Fired (and Modified set) after every change of the picture.
  TNotifyEvent OnChange;

 protected:
  /// Marks the graphic modified and fires OnChange.
  virtual void Changed();

 private:
  bool FTransparent = false;
  bool FModified = false;
};

/// Pixel formats of bitmaps; the order is the stored ordinal. pfDevice is
/// held as pf32bit; pfCustom cannot be set.
enum TPixelFormat : Byte { pfDevice, pf1bit, pf4bit, pf8bit, pf15bit, pf16bit, pf24bit, pf32bit, pfCustom };
enum TBitmapHandleType : Byte { bmDIB, bmDDB };
enum TTransparentMode : Byte { tmAuto, tmFixed };

/// Bits each pixel takes in a row of the format (16 for pf15bit; 32 for pfDevice).
Integer PixelFormatBits(TPixelFormat Format);
/// Bytes of one row: the pixel bits padded to a multiple of 32.
Integer BytesPerScanline(Integer Width, Integer Bits);

/// A device-independent bitmap holding its own top-down pixel rows.
///
/// Rows are padded to 32 bits; `ScanLine(y)` addresses stay valid until the
/// size or the pixel format changes. Indexed formats carry a colour table of
/// 2, 16 or 256 entries; new ones get a default table: pf1bit black and
/// white; pf4bit the 16 standard colours (black, maroon, green, olive, navy,
/// purple, teal, silver, grey, red, lime, yellow, blue, fuchsia, aqua,
/// white); pf8bit those 16, a 6x6x6 colour cube (levels 0, 51, ..., 255, red
/// slowest) and 24 greys (8, 18, ..., 238). New pixels are white. Changing
/// the pixel format converts the pixels (to the nearest colour of the new
/// table when it has fewer entries; indexes and table are kept when it has
/// as many or more). The default format is pfDevice (held as pf32bit).
class TBitmap : public TGraphic, public TPixelSurface {
 public:
  TBitmap();
  /// A bitmap of Width x Height in Format.
  TBitmap(Integer Width, Integer Height, TPixelFormat Format);
  ~TBitmap() override;

  Integer GetWidth() const override { return FWidth; }
  Integer GetHeight() const override { return FHeight; }
  /// Raise EInvalidGraphic for negative sizes, EOutOfMemory for sizes
  /// beyond 2 GiB of pixels; the overlapping old pixels are kept.
  void SetWidth(Integer Value) override { SetSize(Value, FHeight); }
  void SetHeight(Integer Value) override { SetSize(FWidth, Value); }
  void SetSize(Integer Width, Integer Height);
  bool GetEmpty() const override { return FWidth == 0 || FHeight == 0; }

  TPixelFormat GetPixelFormat() const { return FPixelFormat; }
  /// Converts the pixels to Value (EInvalidGraphic for pfCustom).
  void SetPixelFormat(TPixelFormat Value);
  /// True for a pf1bit bitmap whose table is black (0) and white (1).
  bool GetMonochrome() const;
  /// True: pf1bit black and white; false on a monochrome bitmap: pfDevice.
  void SetMonochrome(bool Value);
  TBitmapHandleType GetHandleType() const { return FHandleType; }
  /// Accepted and reported; all bitmaps are device-independent here.
  void SetHandleType(TBitmapHandleType Value) { FHandleType = Value; }

  /// Colour used for transparency by Draw: the bottom-left pixel (tmAuto) or
  /// the colour set (tmFixed).
  TColor GetTransparentColor() const;
  void SetTransparentColor(TColor Value);
  TTransparentMode GetTransparentMode() const { return FTransparentMode; }
  void SetTransparentMode(TTransparentMode Value);

  /// Start of row Row (0 = top). Raises EInvalidGraphic when Row is outside the bitmap.
  Byte* ScanLine(Integer Row);
  const Byte* ScanLine(Integer Row) const;
  /// Bytes of one row.
  Integer RowBytes() const { return FRowBytes; }

  /// Number of colour-table entries: 2, 16 or 256 for indexed formats, else 0.
  Integer GetColorTableCount() const { return static_cast<Integer>(FPalette.size()); }
  /// Copies up to Count entries from Start; returns how many were copied.
  Integer GetColorTable(Integer Start, Integer Count, TRGBQuad* Entries) const;
  /// Replaces up to Count entries from Start; returns how many were set.
  Integer SetColorTable(Integer Start, Integer Count, const TRGBQuad* Entries);
  std::vector<TRGBQuad> GetColorTable() const { return FPalette; }
  /// Replaces the table's first entries with Entries (extra entries ignored).
  void SetColorTable(const std::vector<TRGBQuad>& Entries);

  /// The bitmap's canvas, created on first use and owned by the bitmap.
  TCanvas* GetCanvas();
  /// Becomes a copy of Source (size, format, table, pixels, transparency).
  void Assign(const TBitmap* Source);
  /// Assign from another bitmap; anything else raises EConvertError.
  void Assign(TPersistent* Source) override;
  /// Reads a BMP file image: 1, 4, 8, 16 (5-5-5 or 5-6-5 masks), 24 and
  /// 32 bits, uncompressed, bottom-up or top-down, with the 12-byte or a
  /// 40-byte-or-longer header. Compressed or malformed data raises
  /// EInvalidGraphic, before anything larger than the stream is allocated.
  void LoadFromStream(TStream* Stream) override;
  /// Writes a bottom-up BMP file image of the bitmap's format (pf16bit with
  /// 5-6-5 masks).
  void SaveToStream(TStream* Stream) override;
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  std::unique_ptr<TGraphic> Clone() const override;
  /// Frees the pixels: 0 x 0, format and table kept.
  void FreeImage();
  /// Marks the pixels changed (after writing through ScanLine).
  void Modify() { Changed(); }

  /// A copy of the pixels as a Qt image (RGB32; ARGB32 from pf32bit when
  /// WithAlpha, taking the fourth byte as alpha).
  QImage ToQImage(bool WithAlpha = false) const;
  /// Becomes a copy of Image: pf1bit (mono), pf8bit (indexed or grey),
  /// pf32bit (with alpha, straight), else pf24bit.
  void FromQImage(const QImage& Image);

  // Pixel surface
  Integer SurfaceWidth() const override { return FWidth; }
  Integer SurfaceHeight() const override { return FHeight; }
  Integer SurfaceBitsPerPixel() const override;
  Byte* SurfaceRow(Integer y) override { return FPixels.data() + static_cast<std::size_t>(y) * FRowBytes; }
  std::span<const TRGBQuad> SurfacePalette() const override { return FPalette; }
  void SurfaceChanged() override { Changed(); }

 private:
  void Reallocate(Integer Width, Integer Height, TPixelFormat Format, bool KeepPixels);

  Integer FWidth = 0;
  Integer FHeight = 0;
  TPixelFormat FPixelFormat = pf32bit;
  Integer FRowBytes = 0;
  std::vector<Byte> FPixels;
  std::vector<TRGBQuad> FPalette;
  TBitmapHandleType FHandleType = bmDIB;
  TTransparentMode FTransparentMode = tmAuto;
  TColor FTransparentColor = clDefault;
  std::unique_ptr<TCanvas> FCanvas;
};

/// The default colour table of an indexed format (2, 16 or 256 entries; empty otherwise).
std::vector<TRGBQuad> DefaultColorTable(TPixelFormat Format);

/// Holds one graphic of any registered class and loads files by extension.
class TPicture : public TPersistent {
 public:
  using TGraphicFactory = std::function<std::unique_ptr<TGraphic>()>;
  /// One registered file format: extension (lower case, no dot),
  /// description, class and factory.
  struct TFileFormat {
    String Extension;
    String Description;
    std::type_index Class;
    TGraphicFactory Factory;
  };

  TPicture();
  ~TPicture() override;

  /// The graphic held, or null.
  TGraphic* GetGraphic() const { return FGraphic.get(); }
  /// Holds a copy of Value (null empties the picture).
  void SetGraphic(const TGraphic* Value);
  /// The graphic as a bitmap; a picture holding anything else (or nothing)
  /// first has it replaced by an empty bitmap.
  TBitmap* GetBitmap();
  Integer GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
  Integer GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }
  /// Becomes a copy of Source's graphic.
  void Assign(const TPicture* Source);
  /// Assign from a picture, a graphic or null (empties the picture);
  /// anything else raises EConvertError.
  void Assign(TPersistent* Source) override;

  /// Loads a file with the graphic class registered for its extension.
  /// Raises EInvalidGraphic "Unknown picture file extension (.ext)" for an
  /// unknown one; the graphic's own errors pass through and leave the
  /// picture as it was.
  void LoadFromFile(const String& FileName);
  /// Saves the graphic held (nothing when empty).
  void SaveToFile(const String& FileName);

  /// Registers Factory for files with extension Extension (with or without
  /// a leading dot, any case); a later registration of the same extension
  /// takes precedence.
  static void RegisterFileFormat(const String& Extension, const String& Description,
                                 std::type_index Class, TGraphicFactory Factory);
  template <class T>
  static void RegisterFileFormat(const String& Extension, const String& Description) {
    RegisterFileFormat(Extension, Description, typeid(T), [] { return std::unique_ptr<TGraphic>(new T()); });
  }
  /// Removes every format registered for the class.
  static void UnregisterGraphicClass(std::type_index Class);
  template <class T>
  static void UnregisterGraphicClass() { UnregisterGraphicClass(typeid(T)); }
  /// The registered formats, latest first.
  static std::vector<TFileFormat> FileFormats();
  /// The factory for an extension, or an empty function.
  static TGraphicFactory FindFileFormat(const String& Extension);

  /// Fired after the graphic changed or was replaced.
  TNotifyEvent OnChange;

 private:
  void Hook();
  void Changed(TObject* Sender);
  std::unique_ptr<TGraphic> FGraphic;
};
