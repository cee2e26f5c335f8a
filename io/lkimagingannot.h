// Imaging annotations of a TIFF page: the marks (lines, freehand lines,
// rectangles, texts, notes, embedded pictures) carried in TIFF tag 32932,
// held as TLKImagingAnnot with one TLKImagingObject per mark, and read from
// and written to the tag's block-structured byte layout.
#pragma once

#include <bit>
#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"
#include "platform/system.h"

class TIOParamsVals;
class TLKBitmap;

static_assert(std::endian::native == std::endian::little,
              "the annotation records are kept in their little-endian file layout");

#pragma pack(push, 1)
/// Font of a text or note mark, in its 60-byte file layout.
struct TLKAnnotFont {
  Integer Height;       ///< negative: character height in points
  Integer Width;
  Integer Escapement;
  Integer Orientation;
  Integer Weight;       ///< 400 normal, 700 bold
  Byte Italic;
  Byte Underline;
  Byte StrikeOut;
  Byte CharSet;
  Byte OutPrecision;
  Byte ClipPrecision;
  Byte Quality;
  Byte PitchAndFamily;
  char FaceName[32];    ///< zero-terminated
};

/// The attributes of one mark, kept byte for byte as in the tag (164 bytes).
struct TLKAnnotMarkAttributes {
  Integer MarkType;     ///< 1 picture, 3 line, 4 freehand, 5/6 hollow/filled box, 7-9 text, 10 note
  Integer Left, Top, Right, Bottom;
  Byte Color1[4];       ///< blue, green, red, 0
  Byte Color2[4];       ///< blue, green, red, 0
  Integer Highlighting; ///< 0 false, otherwise true
  Integer Transparent;
  Integer LineWidth;
  Integer StartingPoint;
  Integer EndPoint;
  TLKAnnotFont Font;
  Integer Minimizable;
  Integer Time;
  Integer Visible;
  Cardinal Permissions;
  Byte Reserved[40];
};
#pragma pack(pop)
static_assert(sizeof(TLKAnnotFont) == 60, "font record of a mark is 60 bytes");
static_assert(sizeof(TLKAnnotMarkAttributes) == 164, "mark attributes are 164 bytes");

/// Mark types that carry data blocks of their own.
enum : Integer {
  lkmtImage = 1,
  lkmtLine = 3,
  lkmtFreehand = 4,
  lkmtHollowRect = 5,
  lkmtFilledRect = 6,
  lkmtTextFirst = 7,
  lkmtNote = 10,
};

/// One annotation mark: its attributes, and by type its points (lines), its
/// text (texts and notes) or its picture (embedded images).
class TLKImagingObject : public TObject {
 public:
  /// A mark with all attributes zero and no points, text or picture.
  TLKImagingObject();
  ~TLKImagingObject() override;

  /// Becomes a deep copy of Source (attributes, points, text, picture);
  /// nothing for null or this.
  void Assign(TLKImagingObject* Source);

  /// The attributes exactly as stored in the tag.
  TLKAnnotMarkAttributes Attributes{};
  /// Points of a line mark, relative to the left and top of the bounds.
  std::vector<TPoint> Points;
  /// Text of a text or note mark: bytes as stored (Windows-1252), lines
  /// separated by CR LF, without the terminating zero.
  String Text;
  /// Picture of an image mark, or null.
  std::unique_ptr<TLKBitmap> Picture;
};

/// The annotation marks of one image, in file order.
class TLKImagingAnnot : public TObject {
 public:
  /// An empty container; Parent is the parameter record that owns it, or null.
  explicit TLKImagingAnnot(TIOParamsVals* Parent = nullptr);
  ~TLKImagingAnnot() override;

  /// The parameter record that created this container, or null.
  TIOParamsVals* GetParent() const { return FParent; }
  /// Frees every mark.
  void Clear();
  Integer GetObjectsCount() const { return static_cast<Integer>(FObjects.size()); }
  /// Mark number Index (0-based); raises EListError outside 0..count-1.
  TLKImagingObject* GetObject(Integer Index) const;

  /// Appends a mark with all attributes zero; the container owns it.
  TLKImagingObject* AddObject();

  /// Replaces the marks by deep copies of Source's; nothing for null or this.
  void Assign(TLKImagingAnnot* Source);

  /// Appends the marks of a tag-32932 buffer of Length bytes. Length 0 (or
  /// a null buffer) loads nothing. Every block, count and length is checked
  /// against the bytes that remain: loading stops at the first block that
  /// would pass the end, keeping the marks read before it, and a block whose
  /// contents do not fit its own size is dropped. Returns false when the
  /// buffer was damaged in either way (or shorter than its 8-byte header).
  bool LoadFromStandardBuffer(const void* Buffer, Integer Length);
  /// Writes the marks in the tag-32932 layout into Buffer and its size into
  /// Length; an empty container gives an empty buffer and 0. Raises
  /// EInvalidGraphic when the result would exceed 2 GB.
  void SaveToStandardBuffer(std::vector<Byte>& Buffer, Integer& Length);

  /// Vector objects of a vector view (TLumerakVect) from the marks, one per
  /// mark of a type that has a kind; marks from the view's objects (the
  /// marks held are replaced); the marks drawn into Bitmap. The view sits
  /// above this layer and lends the three through LKAnnotVectHooks. A View
  /// that is null or not a vector view raises EInvalidOperation.
  void CopyToTLumerakVect(TObject* View);
  void CopyFromTLumerakVect(TObject* View);
  void DrawToBitmap(TLKBitmap* Bitmap, bool Antialias);

  /// The parameter stream has no place for annotations: both do nothing.
  void SaveToStream(TStream* Stream);
  void LoadFromStream(TStream* Stream);

 private:
  TIOParamsVals* FParent;
  std::vector<std::unique_ptr<TLKImagingObject>> FObjects;
};

/// The vector view's side of the conversions above, filled when the library
/// loads (views/lkvectannot.cpp).
struct TLKAnnotVectHooks {
  std::function<void(TLKImagingAnnot& Annot, TObject* View)> ToVect, FromVect;
  std::function<void(TLKImagingAnnot& Annot, TLKBitmap* Bitmap, bool Antialias)> Draw;
};
TLKAnnotVectHooks& LKAnnotVectHooks();
