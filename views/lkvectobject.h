// The record of one vector object of the vector view (views/lumerakvect.h),
// its kinds and the small types around it.
//
// A record owns what it points to: texts, the font record, memo character
// data, curve, polyline and screen points, the soft-shadow settings and,
// when UserDataLength > 0, the user data block. Texts and names are byte
// strings (they are stored in files as they stand).
#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/graphics.h"

/// Object kinds; the values are stored in files.
enum TLKVObjectKind : Byte {
  lkkNONE = 0,
  lkkLINE = 1,
  lkkBOX = 2,
  lkkELLIPSE = 3,
  lkkARC = 4,
  lkkBITMAP = 5,
  lkkTEXT = 6,
  lkkRULER = 7,
  lkkPOLYLINE = 8,
  lkkANGLE = 9,
  lkkMEMO = 10,
  lkkLINELABEL = 11
};
/// Line-end shapes: none, a triangle with its base across the end pointing
/// back into the line, an arrowhead whose tip is the end.
enum TLKShape : Byte { lksNONE, lksINARROW, lksOUTARROW };
/// End of a labelled line that carries its label.
enum TLKLabelPos : Byte { lklBegin, lklEnd };
/// Ruler with ticks, or a dimension line with its value at the beginning,
/// the centre or the end.
enum TLKVRulerType : Byte { lkrtRULER, lkrtQUOTEBEGIN, lkrtQUOTECENTER, lkrtQUOTEEND };
/// Units of measure.
enum TLKUnits : Byte {
  lkuPIXELS,
  lkuINCHES,
  lkuKM,
  lkuMETERS,
  lkuCENTIMETERS,
  lkuMILLIMETERS,
  lkuMICRONS,
  lkuNANOMETERS
};
/// Text alignment inside a text, memo or label box.
enum TLKAlignment : Byte { lkjLeft, lkjRight, lkjCenter, lkjJustify };
/// What the user may do with an object (bits 0..3 when stored).
enum TLKVStyleItem : Byte { lkvsSelectable, lkvsMoveable, lkvsSizeable, lkvsVisible };
using TLKVStyle = TSet<TLKVStyleItem>;

/// The 60-byte logical font record stored with text-carrying objects.
#pragma pack(push, 1)
struct TLKLogFont {
  int32_t lfHeight = 0;
  int32_t lfWidth = 0;
  int32_t lfEscapement = 0;  // tenths of a degree
  int32_t lfOrientation = 0;
  int32_t lfWeight = 400;
  Byte lfItalic = 0;
  Byte lfUnderline = 0;
  Byte lfStrikeOut = 0;
  Byte lfCharSet = 1;
  Byte lfOutPrecision = 0;
  Byte lfClipPrecision = 0;
  Byte lfQuality = 0;
  Byte lfPitchAndFamily = 0;
  char lfFaceName[32] = {};
};
#pragma pack(pop)
static_assert(sizeof(TLKLogFont) == 60);

/// The font record of a class-library font (face name cut to 31 bytes).
TLKLogFont LKFontToLogFont(const TFont& Font);
/// A class-library font of a font record, in Color.
void LKLogFontToFont(const TLKLogFont& LogFont, TColor Color, TFont& Font);

/// The styles a font record names: bold from weight 700, italic,
/// underline and strike-out from their bytes; none without a record.
TFontStyles LKExtractStylesFromLogFont(const TLKLogFont* LogFont);

/// One memo character style (280 bytes when stored); kept as its bytes.
using TLKCharInfo = std::array<Byte, 280>;

/// A real-valued point (curves that texts follow).
struct TLKDPoint {
  double X = 0, Y = 0;
};

/// Soft shadow of one object: radius and offset of a blurred shadow of
/// what the object covers.
class TLKVSoftShadow {
 public:
  bool Enabled = false;
  double Radius = 3.0;
  Integer OffsetX = 0, OffsetY = 0;
};

/// An unset angle point has this X (and Y).
inline constexpr Integer LKAngleUnset = -1000000;

/// One vector object. Copying a record copies every owned part (the shadow
/// settings get an instance of their own); the view decides what a new
/// object takes over (TLumerakVect::AddVObject).
struct TLKVObject {
  TLKVObject() : SoftShadow(std::make_unique<TLKVSoftShadow>()) {}
  TLKVObject(const TLKVObject& O) { *this = O; }
  TLKVObject& operator=(const TLKVObject& O);
  TLKVObject(TLKVObject&&) noexcept = default;
  TLKVObject& operator=(TLKVObject&&) noexcept = default;

  Integer X1 = 0, Y1 = 0, X2 = 63, Y2 = 63;
  TLKVObjectKind Kind = lkkNONE;
  Integer Transparency = 255;
  void* UserData = nullptr;
  Integer UserDataLength = 0;
  TLKShape BeginShape = lksNONE, EndShape = lksNONE;
  Integer ShapeWidth = 10, ShapeHeight = 20;
  TColor LabelBrushColor = clWhite;
  TBrushStyle LabelBrushStyle = bsSolid;
  TLKLabelPos LabelPos = lklEnd;
  TColor PenColor = clWhite;
  TPenStyle PenStyle = psSolid;
  Integer PenWidth = 1;
  TColor BrushColor = clWhite;
  TBrushStyle BrushStyle = bsClear;
  bool BoxHighLight = false;
  double ArcStartingAngle = 0, ArcEndingAngle = 6.283185307179586;
  Integer BitmapIdx = -1;
  bool BitmapBorder = false;
  std::optional<std::string> Text;
  std::optional<TLKLogFont> LogFont;
  TLKAlignment TextAlign = lkjLeft;
  bool TextAutoSize = false;
  bool FontLocked = true;
  std::vector<TLKDPoint> CurvePoints;
  Integer CurveCharRot = -10;  // tenths of a degree
  bool TextEditable = true;
  std::vector<Integer> MemoCharIndex;
  std::vector<TLKCharInfo> MemoCharInfos;
  bool HasMemoCharInfos = false;
  Integer MemoLineSpace = 0;
  TColor MemoBorderColor = clWhite;
  TPenStyle MemoBorderStyle = psSolid;
  Integer MemoFixedHeight = 0;
  bool MemoHasBitmap = false;
  double MemoMarginLeft = 0, MemoMarginTop = 0, MemoMarginRight = 0, MemoMarginBottom = 0;
  std::optional<std::string> Name;
  Integer ID = 0;
  TLKVStyle Style{lkvsSelectable, lkvsMoveable, lkvsSizeable, lkvsVisible};
  TLKUnits RulerUnit = lkuPIXELS;
  TLKVRulerType RulerType = lkrtQUOTECENTER;
  std::vector<TPoint> PolyPoints;
  TRect PolyBox{0, 0, 0, 0};  // min x, min y, max x, max y of the point space
  bool PolylineClosed = false;
  std::vector<TPoint> ScreenPoints;
  TPoint AnglePoints[3] = {{0, 0}, {50, 0}, {50, 50}};
  TRect DragRect{};
  TRect DrawnRect{};
  Integer DrawnMargin = 0;
  std::unique_ptr<TLKVSoftShadow> SoftShadow;
};
