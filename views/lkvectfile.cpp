// The vector view's object stream ("LKV"): objects, shared pictures and the
// measurement scale as one block, little-endian.
//
// Block: "LKV", the record version byte, int32 length of the whole block,
// float64 scale (int32 in version 49), int32 count of the picture table,
// the table's entries (int32 reference count; when positive the picture as
// PNG, BMP before version 51, and in versions 55..60 a zlib block of alpha
// rows bottom row first), then one zlib stream holding int32 N and N object
// records (see ReadRecord for the rows each version carries).
//
// Reading is all or nothing: the whole block is parsed and checked first
// (every count and length against the bytes that are there, every
// enumeration, picture index and memo style index, the nesting of groups),
// and only a block read without fault replaces the view's objects.
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "core/lkbitmap.h"
#include "core/lkbytereader.h"
#include "io/lkparams.h"
#include "io/lktiffhandler.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"
#include "views/lumerakvect.h"

/// One record read: the object, its user data and, for a group, the count
/// of records that follow.
struct TLumerakVect::TReadRecord {
  TLKVObject O;
  std::vector<Byte> UserData;
  Integer GroupCount = 0;
};

namespace {

using TReadRecord = TLumerakVect::TReadRecord;
constexpr Integer kMinVersion = 49;
// The fewest bytes any record takes (version 49, no name): for bounding
// counts by what is left.
constexpr Int64 kMinRecordLen = 34;
// Groups inside groups deeper than this are refused.
constexpr Integer kMaxGroupDepth = 32;
// zlib cannot expand data by more than about 1032 to 1; the object section
// is refused beyond that and beyond 1 GiB.
constexpr Int64 kMaxInflateRatio = 1032;
constexpr Int64 kMaxSection = Int64{1} << 30;

/// A fault of the block: its message says what is wrong.
struct LKVError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// ---------------------------------------------------------------------------
// Writing helpers
// ---------------------------------------------------------------------------

template <typename T>
void Put(TStream* S, T V) {
  Byte b[sizeof(T)];
  std::make_unsigned_t<T> u;
  std::memcpy(&u, &V, sizeof(T));
  for (std::size_t i = 0; i < sizeof(T); ++i) b[i] = static_cast<Byte>(u >> (8 * i));
  S->WriteBuffer(b, sizeof(T));
}
void PutI32(TStream* S, Integer V) { Put<int32_t>(S, V); }
void PutU8(TStream* S, Integer V) { Put<uint8_t>(S, static_cast<uint8_t>(V)); }
void PutF64(TStream* S, double V) {
  uint64_t u;
  std::memcpy(&u, &V, sizeof u);
  Put<uint64_t>(S, u);
}
void PutStr(TStream* S, const std::optional<std::string>& V) {
  const std::string& s = V ? *V : std::string();
  PutI32(S, static_cast<Integer>(s.size()));
  if (!s.empty()) S->WriteBuffer(s.data(), static_cast<Int64>(s.size()));
}
void PutLogFont(TStream* S, const TLKLogFont& F) {
  PutI32(S, F.lfHeight);
  PutI32(S, F.lfWidth);
  PutI32(S, F.lfEscapement);
  PutI32(S, F.lfOrientation);
  PutI32(S, F.lfWeight);
  for (Byte b : {F.lfItalic, F.lfUnderline, F.lfStrikeOut, F.lfCharSet, F.lfOutPrecision, F.lfClipPrecision,
                 F.lfQuality, F.lfPitchAndFamily})
    PutU8(S, b);
  S->WriteBuffer(F.lfFaceName, 32);
}
void PutFont(TStream* S, const std::optional<TLKLogFont>& F) {
  PutU8(S, F ? 1 : 0);
  if (F) PutLogFont(S, *F);
}

Byte StyleBits(TLKVStyle S) {
  Byte b = 0;
  for (Integer i = 0; i < 4; ++i)
    if (S.Contains(static_cast<TLKVStyleItem>(i))) b |= static_cast<Byte>(1 << i);
  return b;
}

// The rows of one record that version V carries (V = 75: all of them).
void WriteRecord(TStream* S, const TLKVObject& O, Integer Handle, Integer V) {
  const TLKVObjectKind k = O.Kind;
  if (V >= 60) PutI32(S, Handle);
  PutI32(S, O.X1);
  PutI32(S, O.Y1);
  PutI32(S, O.X2);
  PutI32(S, O.Y2);
  PutU8(S, k);
  if (V >= 61) {
    const TLKVSoftShadow sh = O.SoftShadow ? *O.SoftShadow : TLKVSoftShadow{};
    PutU8(S, sh.Enabled);
    PutF64(S, sh.Radius);
    PutI32(S, sh.OffsetX);
    PutI32(S, sh.OffsetY);
  }
  PutStr(S, O.Name);
  PutI32(S, O.ID);
  PutI32(S, O.PenColor);
  PutU8(S, O.PenStyle);
  PutI32(S, O.PenWidth);
  PutI32(S, O.BrushColor);
  PutU8(S, O.BrushStyle);
  PutU8(S, StyleBits(O.Style));
  if (V >= 61) PutI32(S, O.Transparency);
  if (V >= 64) PutU8(S, O.BoxHighLight);
  if (V >= 73) {
    const Integer len = O.UserData != nullptr && O.UserDataLength > 0 ? O.UserDataLength : 0;
    PutI32(S, len);
    if (len > 0) S->WriteBuffer(O.UserData, len);
  }
  // A kind-0 object reads back as a group: it gets an empty one.
  if (k == lkkNONE) PutI32(S, 0);
  if (k == lkkLINELABEL) {
    PutI32(S, O.LabelBrushColor);
    PutU8(S, O.LabelBrushStyle);
    PutU8(S, O.LabelPos);
  }
  if (k == lkkLINE || k == lkkLINELABEL) {
    PutU8(S, O.BeginShape);
    PutU8(S, O.EndShape);
    PutI32(S, O.ShapeWidth);
    PutI32(S, O.ShapeHeight);
  }
  if (k == lkkARC) {
    PutF64(S, O.ArcStartingAngle);
    PutF64(S, O.ArcEndingAngle);
  }
  if (k == lkkBITMAP) {
    PutI32(S, O.BitmapIdx);
    if (V >= 66) PutU8(S, O.BitmapBorder);
    if (V >= 70) PutStr(S, O.Text);
  }
  if (k == lkkTEXT || k == lkkLINELABEL) {
    if (V >= 52) PutU8(S, O.TextAlign);
    if (V >= 57) PutU8(S, O.TextAutoSize);
    PutStr(S, O.Text);
    PutFont(S, O.LogFont);
    if (V >= 63) {
      PutI32(S, static_cast<Integer>(O.CurvePoints.size()));
      if (!O.CurvePoints.empty()) {
        for (const TLKDPoint& p : O.CurvePoints) {
          PutF64(S, p.X);
          PutF64(S, p.Y);
        }
        PutI32(S, O.CurveCharRot);
      }
    }
  }
  if (k == lkkMEMO) {
    PutStr(S, O.Text);
    PutFont(S, O.LogFont);
    const std::size_t t = O.Text ? O.Text->size() : 0;
    const bool index = !O.MemoCharIndex.empty();
    if (V >= 67) PutU8(S, index);
    if (index || V < 67)
      for (std::size_t i = 0; i < t; ++i) PutI32(S, i < O.MemoCharIndex.size() ? O.MemoCharIndex[i] : 0);
    PutI32(S, static_cast<Integer>(O.MemoCharInfos.size()));
    for (const TLKCharInfo& ci : O.MemoCharInfos) S->WriteBuffer(ci.data(), static_cast<Int64>(ci.size()));
    PutU8(S, O.FontLocked);
    PutU8(S, O.TextAutoSize);
    PutI32(S, O.MemoLineSpace);
    PutI32(S, O.MemoBorderColor);
    PutU8(S, O.MemoBorderStyle);
    PutU8(S, O.TextAlign);
    PutI32(S, O.MemoFixedHeight);
    const bool pic = V >= 73 && O.MemoHasBitmap;
    if (V >= 73) PutU8(S, pic);
    if (pic) {
      PutI32(S, O.BitmapIdx);
      if (V >= 66) PutU8(S, O.BitmapBorder);
    }
    if (V >= 72) {
      PutF64(S, O.MemoMarginLeft);
      PutF64(S, O.MemoMarginTop);
      PutF64(S, O.MemoMarginRight);
      PutF64(S, O.MemoMarginBottom);
    }
  }
  if (V >= 74) PutU8(S, O.TextEditable);
  if (k == lkkRULER) {
    if (V >= 53) {
      PutU8(S, O.RulerUnit);
      PutU8(S, O.RulerType);
    }
    if (V >= 65) PutFont(S, O.LogFont);
  }
  if (k == lkkPOLYLINE && V >= 56) {
    PutI32(S, static_cast<Integer>(O.PolyPoints.size()));
    for (const TPoint& p : O.PolyPoints) {
      PutI32(S, p.X);
      PutI32(S, p.Y);
    }
    PutI32(S, O.PolyBox.Left);
    PutI32(S, O.PolyBox.Top);
    PutI32(S, O.PolyBox.Right);
    PutI32(S, O.PolyBox.Bottom);
    if (V >= 59) PutU8(S, O.PolylineClosed);
  }
  if (k == lkkANGLE) {
    if (V >= 58)
      for (const TPoint& p : O.AnglePoints) {
        PutI32(S, p.X);
        PutI32(S, p.Y);
      }
    if (V >= 75) PutFont(S, O.LogFont);
  }
}

void BitsForFormat(TLKBitmap* B, TIOParamsVals* P) {
  const TLKPixelFormat f = B->GetPixelFormat();
  P->BITSPERSAMPLE = f == lk1g ? 1 : 8;
  P->SAMPLESPERPIXEL = f == lk1g || f == lk8g ? 1 : 3;
}

// One picture of the table: PNG (with its alpha), BMP before version 51,
// and in 55..60 a PNG without alpha followed by the alpha rows.
void WritePicture(TStream* S, TLKBitmap* B, Integer V) {
  TLKBitmap copy;
  TLKBitmap* src = B;
  const bool separateAlpha = V >= 55 && V <= 60;
  if (separateAlpha || V <= 50) {
    copy.Assign(B);
    copy.RemoveAlphaChannel();
    src = &copy;
  }
  TLumerakIO io(nullptr);
  io.SetAttachedLKBitmap(src);
  BitsForFormat(src, io.GetIOParams());
  if (V <= 50)
    io.SaveToStreamBMP(S);
  else
    io.SaveToStreamPNG(S);
  if (io.GetAborted()) throw EWriteError("A picture of the vector objects could not be stored");
  if (!separateAlpha) return;
  std::vector<Byte> rows;
  if (B->GetHasAlphaChannel()) {
    TLKBitmap* a = B->GetAlphaChannel();
    const Integer len = a->GetRowLen();
    for (Integer y = a->GetHeight() - 1; y >= 0; --y) {
      const Byte* r = static_cast<const Byte*>(a->GetScanLine(y));
      rows.insert(rows.end(), r, r + len);
    }
  }
  uLongf packedLen = compressBound(static_cast<uLong>(rows.size()));
  std::vector<Byte> packed(packedLen);
  if (compress2(packed.data(), &packedLen, rows.data(), static_cast<uLong>(rows.size()), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw EWriteError("The alpha channel of a vector picture could not be compressed");
  PutI32(S, static_cast<Integer>(packedLen));
  S->WriteBuffer(packed.data(), static_cast<Int64>(packedLen));
}

// ---------------------------------------------------------------------------
// Reading helpers
// ---------------------------------------------------------------------------

void Need(TLKByteReader& R, const char* What) {
  if (!R.Ok()) throw LKVError(std::string("The vector object stream ends inside ") + What);
}

Integer GetI32(TLKByteReader& R) { return static_cast<Integer>(R.U32LE()); }
double GetF64(TLKByteReader& R) {
  const uint64_t lo = R.U32LE(), hi = R.U32LE();
  const uint64_t u = lo | (hi << 32);
  double d;
  std::memcpy(&d, &u, sizeof d);
  return d;
}
bool GetBool(TLKByteReader& R) { return R.U8() != 0; }

template <typename E>
E GetEnum(TLKByteReader& R, Integer Last, const char* What) {
  const Integer v = R.U8();
  if (v > Last && R.Ok())
    throw LKVError(std::string("The vector object stream holds an unknown ") + What + " " + std::to_string(v));
  return static_cast<E>(v);
}

// A count of items of ItemLen bytes each that must be there.
Integer GetCount(TLKByteReader& R, Int64 ItemLen, const char* What) {
  const Integer n = GetI32(R);
  Need(R, What);
  if (n < 0 || (ItemLen > 0 && n > R.Remaining() / ItemLen))
    throw LKVError(std::string("The vector object stream gives ") + What + " a count of " + std::to_string(n) +
                   " that it does not hold");
  return n;
}

std::string GetStr(TLKByteReader& R, const char* What) {
  const Integer n = GetCount(R, 1, What);
  std::string s(static_cast<std::size_t>(n), '\0');
  R.Read(s.data(), s.size());
  Need(R, What);
  return s;
}

std::optional<TLKLogFont> GetFont(TLKByteReader& R) {
  if (!GetBool(R)) return std::nullopt;
  TLKLogFont f;
  f.lfHeight = GetI32(R);
  f.lfWidth = GetI32(R);
  f.lfEscapement = GetI32(R);
  f.lfOrientation = GetI32(R);
  f.lfWeight = GetI32(R);
  for (Byte* b : {&f.lfItalic, &f.lfUnderline, &f.lfStrikeOut, &f.lfCharSet, &f.lfOutPrecision, &f.lfClipPrecision,
                  &f.lfQuality, &f.lfPitchAndFamily})
    *b = R.U8();
  R.Read(f.lfFaceName, 32);
  Need(R, "a font record");
  return f;
}

// Reads the rows version V carries for the record's kind; Base gives the
// values of the rows an older version lacks.
void ReadRecord(TLKByteReader& R, Integer V, const TLKVObject& Base, TReadRecord& Out) {
  TLKVObject& o = Out.O;
  o = Base;
  o.UserData = nullptr;
  o.UserDataLength = 0;
  o.BitmapIdx = -1;
  o.Text.reset();
  o.LogFont.reset();
  o.Name.reset();
  o.MemoCharIndex.clear();
  o.MemoCharInfos.clear();
  o.HasMemoCharInfos = false;
  o.CurvePoints.clear();
  o.CurveCharRot = -10;
  o.ScreenPoints.clear();
  o.PolyPoints.clear();
  o.PolyBox = TRect{0, 0, 0, 0};
  o.PolylineClosed = false;
  o.FontLocked = true;
  o.BitmapBorder = o.BoxHighLight = o.MemoHasBitmap = false;
  o.TextEditable = true;
  o.MemoMarginLeft = o.MemoMarginTop = o.MemoMarginRight = o.MemoMarginBottom = 0;
  *o.SoftShadow = TLKVSoftShadow{};
  o.SoftShadow->OffsetX = o.SoftShadow->OffsetY = 2;
  o.Transparency = 255;

  if (V >= 60) R.U32LE();  // the handle at saving time
  o.X1 = GetI32(R);
  o.Y1 = GetI32(R);
  o.X2 = GetI32(R);
  o.Y2 = GetI32(R);
  o.Kind = GetEnum<TLKVObjectKind>(R, lkkLINELABEL, "object kind");
  const TLKVObjectKind k = o.Kind;
  if (V >= 61) {
    o.SoftShadow->Enabled = GetBool(R);
    o.SoftShadow->Radius = GetF64(R);
    o.SoftShadow->OffsetX = GetI32(R);
    o.SoftShadow->OffsetY = GetI32(R);
    if (!std::isfinite(o.SoftShadow->Radius) || o.SoftShadow->Radius < 0) o.SoftShadow->Radius = 0;
  }
  Need(R, "an object record");
  o.Name = GetStr(R, "an object name");
  o.ID = GetI32(R);
  o.PenColor = GetI32(R);
  o.PenStyle = GetEnum<TPenStyle>(R, psInsideFrame, "pen style");
  o.PenWidth = GetI32(R);
  o.BrushColor = GetI32(R);
  o.BrushStyle = GetEnum<TBrushStyle>(R, bsDiagCross, "brush style");
  const Byte style = R.U8();
  o.Style = TLKVStyle{};
  for (Integer i = 0; i < 4; ++i)
    if (style & (1 << i)) o.Style.Include(static_cast<TLKVStyleItem>(i));
  if (V >= 61) o.Transparency = GetI32(R);
  if (V >= 64) o.BoxHighLight = GetBool(R);
  Need(R, "an object record");
  if (V >= 73) {
    const Integer len = GetI32(R);
    Need(R, "an object's user data");
    if (len > 0) {
      if (len > R.Remaining()) throw LKVError("The vector object stream gives a user data length it does not hold");
      Out.UserData.resize(static_cast<std::size_t>(len));
      R.Read(Out.UserData.data(), Out.UserData.size());
    }
  }
  if (k == lkkNONE) Out.GroupCount = GetCount(R, kMinRecordLen, "a group");
  if (k == lkkLINELABEL) {
    o.LabelBrushColor = GetI32(R);
    o.LabelBrushStyle = GetEnum<TBrushStyle>(R, bsDiagCross, "label brush style");
    o.LabelPos = GetEnum<TLKLabelPos>(R, lklEnd, "label position");
  }
  if (k == lkkLINE || k == lkkLINELABEL) {
    o.BeginShape = GetEnum<TLKShape>(R, lksOUTARROW, "line end shape");
    o.EndShape = GetEnum<TLKShape>(R, lksOUTARROW, "line end shape");
    o.ShapeWidth = GetI32(R);
    o.ShapeHeight = GetI32(R);
  }
  if (k == lkkARC) {
    o.ArcStartingAngle = GetF64(R);
    o.ArcEndingAngle = GetF64(R);
    if (!std::isfinite(o.ArcStartingAngle) || !std::isfinite(o.ArcEndingAngle))
      throw LKVError("The vector object stream gives an arc an angle that is not a number");
  }
  if (k == lkkBITMAP) {
    o.BitmapIdx = GetI32(R);
    if (V >= 66) o.BitmapBorder = GetBool(R);
    if (V >= 70) GetStr(R, "a picture object's text");  // not kept
  }
  if (k == lkkTEXT || k == lkkLINELABEL) {
    if (V >= 52) o.TextAlign = GetEnum<TLKAlignment>(R, lkjJustify, "text alignment");
    if (V >= 57) o.TextAutoSize = GetBool(R);
    o.Text = GetStr(R, "a text");
    o.LogFont = GetFont(R);
    if (V >= 63) {
      const Integer c = GetCount(R, 16, "a text curve");
      o.CurvePoints.resize(static_cast<std::size_t>(c));
      for (TLKDPoint& p : o.CurvePoints) {
        p.X = GetF64(R);
        p.Y = GetF64(R);
        if (!std::isfinite(p.X) || !std::isfinite(p.Y))
          throw LKVError("The vector object stream gives a text curve a point that is not a number");
      }
      if (c > 0) o.CurveCharRot = GetI32(R);
    }
  }
  if (k == lkkMEMO) {
    o.Text = GetStr(R, "a memo text");
    o.LogFont = GetFont(R);
    const Int64 t = static_cast<Int64>(o.Text->size());
    const bool index = V >= 67 ? GetBool(R) : true;
    Need(R, "a memo");
    if (index) {
      if (t > R.Remaining() / 4) throw LKVError("The vector object stream ends inside a memo's character index");
      o.MemoCharIndex.resize(static_cast<std::size_t>(t));
      for (Integer& i : o.MemoCharIndex) i = GetI32(R);
    }
    const Integer styles = GetCount(R, 280, "a memo's character styles");
    o.MemoCharInfos.resize(static_cast<std::size_t>(styles));
    for (TLKCharInfo& ci : o.MemoCharInfos) R.Read(ci.data(), ci.size());
    o.HasMemoCharInfos = styles > 0;
    // A character naming a style the memo does not have takes the first.
    for (Integer& i : o.MemoCharIndex)
      if (i < 0 || i >= styles) i = 0;
    o.FontLocked = GetBool(R);
    o.TextAutoSize = GetBool(R);
    o.MemoLineSpace = GetI32(R);
    o.MemoBorderColor = GetI32(R);
    o.MemoBorderStyle = GetEnum<TPenStyle>(R, psInsideFrame, "memo border style");
    o.TextAlign = GetEnum<TLKAlignment>(R, lkjJustify, "text alignment");
    o.MemoFixedHeight = GetI32(R);
    if (V >= 73) o.MemoHasBitmap = GetBool(R);
    if (o.MemoHasBitmap) {
      o.BitmapIdx = GetI32(R);
      if (V >= 66) o.BitmapBorder = GetBool(R);
    }
    if (V >= 72) {
      o.MemoMarginLeft = GetF64(R);
      o.MemoMarginTop = GetF64(R);
      o.MemoMarginRight = GetF64(R);
      o.MemoMarginBottom = GetF64(R);
      for (double m : {o.MemoMarginLeft, o.MemoMarginTop, o.MemoMarginRight, o.MemoMarginBottom})
        if (!std::isfinite(m)) throw LKVError("The vector object stream gives a memo a margin that is not a number");
    }
  }
  if (V >= 74) o.TextEditable = GetBool(R);
  if (k == lkkRULER) {
    if (V >= 53) {
      o.RulerUnit = GetEnum<TLKUnits>(R, lkuNANOMETERS, "ruler unit");
      o.RulerType = GetEnum<TLKVRulerType>(R, lkrtQUOTEEND, "ruler type");
    }
    if (V >= 65) {
      o.LogFont = GetFont(R);
    } else if (Base.LogFont) {
      o.LogFont = Base.LogFont;
      o.LogFont->lfHeight = 12;
      std::memset(o.LogFont->lfFaceName, 0, 32);
      std::strcpy(o.LogFont->lfFaceName, "Arial");
    }
  }
  if (k == lkkPOLYLINE && V >= 56) {
    const Integer p = GetCount(R, 8, "a polyline");
    o.PolyPoints.resize(static_cast<std::size_t>(p));
    for (TPoint& pt : o.PolyPoints) {
      pt.X = GetI32(R);
      pt.Y = GetI32(R);
    }
    o.PolyBox.Left = GetI32(R);
    o.PolyBox.Top = GetI32(R);
    o.PolyBox.Right = GetI32(R);
    o.PolyBox.Bottom = GetI32(R);
    if (V >= 59) o.PolylineClosed = GetBool(R);
  }
  if (k == lkkANGLE) {
    if (V >= 58)
      for (TPoint& pt : o.AnglePoints) {
        pt.X = GetI32(R);
        pt.Y = GetI32(R);
      }
    if (V >= 75) {
      o.LogFont = GetFont(R);
    } else if (Base.LogFont) {
      o.LogFont = Base.LogFont;
      o.LogFont->lfHeight = 10;
      std::memset(o.LogFont->lfFaceName, 0, 32);
      std::strcpy(o.LogFont->lfFaceName, "Arial");
    }
  }
  Need(R, "an object record");
}

// Reads Count records, the members of groups in their place; a group
// creates no object. KeepIndex false drops every picture index.
void ReadRecords(TLKByteReader& R, Integer V, const TLKVObject& Base, Integer Count, bool KeepIndex, Integer Depth,
                 std::vector<TReadRecord>& Out) {
  if (Depth > kMaxGroupDepth) throw LKVError("The vector object stream nests groups too deeply");
  for (Integer i = 0; i < Count; ++i) {
    TReadRecord rec;
    ReadRecord(R, V, Base, rec);
    if (!KeepIndex) rec.O.BitmapIdx = -1;
    if (rec.O.Kind == lkkNONE) {
      ReadRecords(R, V, Base, rec.GroupCount, KeepIndex, Depth + 1, Out);
      continue;
    }
    Out.push_back(std::move(rec));
  }
}

// Inflates the zlib stream at the stream's position; the stream is left
// just after it. The output is bounded by what the input can give.
std::vector<Byte> InflateAt(TStream* S) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) throw LKVError("The vector object section cannot be decompressed");
  std::vector<Byte> in(1 << 16), out;
  Int64 consumed = 0;
  int rc = Z_OK;
  try {
    while (rc != Z_STREAM_END) {
      if (z.avail_in == 0) {
        const Integer got = S->Read(in.data(), static_cast<Integer>(in.size()));
        if (got <= 0) throw LKVError("The vector object stream ends inside its object section");
        z.next_in = in.data();
        z.avail_in = static_cast<uInt>(got);
      }
      const uInt before = z.avail_in;
      const Int64 room = std::min(kMaxSection, (consumed + before) * kMaxInflateRatio + 4096);
      if (static_cast<Int64>(out.size()) >= room)
        throw LKVError("The vector object section inflates beyond what its size allows");
      const std::size_t chunk = static_cast<std::size_t>(std::min<Int64>(room - static_cast<Int64>(out.size()), 1 << 20));
      const std::size_t at = out.size();
      out.resize(at + chunk);
      z.next_out = out.data() + at;
      z.avail_out = static_cast<uInt>(chunk);
      rc = inflate(&z, Z_NO_FLUSH);
      out.resize(at + (chunk - z.avail_out));
      consumed += before - z.avail_in;
      if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR)
        throw LKVError("The vector object section is not a valid zlib stream");
    }
  } catch (...) {
    inflateEnd(&z);
    throw;
  }
  // Give back what was read past the end of the zlib stream.
  if (z.avail_in > 0) S->Seek(-static_cast<Int64>(z.avail_in), soCurrent);
  inflateEnd(&z);
  return out;
}

std::unique_ptr<TLKBitmap> ReadPicture(TStream* S, Integer V) {
  auto b = std::make_unique<TLKBitmap>();
  b->SetLocation(lkMemory);
  TLumerakIO io(nullptr);
  io.SetAttachedLKBitmap(b.get());
  if (V <= 50) {
    // A BMP file says its own length: read exactly that much.
    Byte head[6];
    if (S->Read(head, 6) != 6) throw LKVError("The vector object stream ends inside a picture");
    const Int64 size = LKGetLE32(head + 2);
    const Int64 left = S->GetSize() - S->GetPosition();
    if (head[0] != 'B' || head[1] != 'M' || size < 26 || size - 6 > left)
      throw LKVError("A picture of the vector object stream is not a BMP file of the size it gives");
    TMemoryStream ms;
    ms.WriteBuffer(head, 6);
    ms.CopyFrom(S, size - 6);
    ms.SetPosition(0);
    io.LoadFromStreamBMP(&ms);
  } else {
    io.LoadFromStreamPNG(S);
  }
  if (io.GetAborted() || b->GetWidth() <= 0 || b->GetHeight() <= 0)
    throw LKVError("A picture of the vector object stream could not be read");
  if (V >= 55 && V <= 60) {
    Byte lenBytes[4];
    if (S->Read(lenBytes, 4) != 4) throw LKVError("The vector object stream ends inside an alpha channel");
    const Int64 len = static_cast<int32_t>(LKGetLE32(lenBytes));
    if (len < 0 || len > S->GetSize() - S->GetPosition())
      throw LKVError("The vector object stream gives an alpha channel length it does not hold");
    std::vector<Byte> packed(static_cast<std::size_t>(len));
    S->ReadBuffer(packed.data(), len);
    TLKBitmap* a = b->GetAlphaChannel();
    const Int64 rowLen = a->GetRowLen();
    const Int64 want = rowLen * a->GetHeight();
    std::vector<Byte> rows(static_cast<std::size_t>(want));
    uLongf got = static_cast<uLongf>(want);
    const int rc = uncompress(rows.data(), &got, packed.data(), static_cast<uLong>(len));
    if ((rc != Z_OK && rc != Z_BUF_ERROR) || static_cast<Int64>(got) != want)
      throw LKVError("The alpha channel of a vector picture is damaged");
    for (Integer y = 0; y < a->GetHeight(); ++y)
      std::memcpy(a->GetScanLine(a->GetHeight() - 1 - y), rows.data() + y * rowLen, static_cast<std::size_t>(rowLen));
  }
  return b;
}

}  // namespace

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------

void TLumerakVect::SaveObj(TStream* Stream, Integer hobj) {
  if (hobj == LKVAll) {
    for (Integer h : FOrder)
      if (TLKVObject* o = GetObj(h)) WriteRecord(Stream, *o, h, LKVVER);
    return;
  }
  if (hobj == LKVTemplate || hobj == LKVLast) return;
  WriteRecord(Stream, Obj(hobj), hobj, LKVVER);
}

void TLumerakVect::SaveToStreamLKV(TStream* Stream) { SaveToStreamLKVVersion(Stream, LKVVER); }

void TLumerakVect::SaveToStreamLKVVersion(TStream* Stream, Integer Version) {
  if (Version < kMinVersion || Version > LKVVER)
    throw EWriteError("No vector object stream of version " + std::to_string(Version));
  PackBMP();
  const Int64 start = Stream->GetPosition();
  Stream->WriteBuffer("LKV", 3);
  PutU8(Stream, Version);
  PutI32(Stream, 0);
  if (Version == kMinVersion)
    PutI32(Stream, static_cast<Integer>(std::lround(FScale)));
  else
    PutF64(Stream, FScale);
  PutI32(Stream, static_cast<Integer>(FBitmaps.size()));
  for (std::size_t i = 0; i < FBitmaps.size(); ++i) {
    Integer r = FBitmaps[i].RefCount;
    if (static_cast<Integer>(i) == FTemplate.BitmapIdx) --r;
    PutI32(Stream, r);
    if (r > 0) WritePicture(Stream, FBitmaps[i].Bitmap.get(), Version);
  }
  TMemoryStream records;
  PutI32(&records, GetObjectCount());
  for (Integer h : FOrder)
    if (TLKVObject* o = GetObj(h)) WriteRecord(&records, *o, h, Version);
  uLongf packedLen = compressBound(static_cast<uLong>(records.GetSize()));
  std::vector<Byte> packed(packedLen);
  if (compress2(packed.data(), &packedLen, static_cast<const Byte*>(records.GetMemory()),
                static_cast<uLong>(records.GetSize()), Z_DEFAULT_COMPRESSION) != Z_OK)
    throw EWriteError("The vector objects could not be compressed");
  Stream->WriteBuffer(packed.data(), static_cast<Int64>(packedLen));
  const Int64 end = Stream->GetPosition();
  Stream->SetPosition(start + 4);
  PutI32(Stream, static_cast<Integer>(end - start));
  Stream->SetPosition(end);
}

void TLumerakVect::SaveToFileLKV(const String& FileName) {
  WriteFileAtomically(FileName, [&](TStream* Stream) { SaveToStreamLKV(Stream); });
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

Integer TLumerakVect::AddRead(TReadRecord& Rec) {
  const Integer h = AddVObject(Rec.O);
  if (!Rec.UserData.empty()) {
    TLKVObject& o = Obj(h);
    o.UserData = std::malloc(Rec.UserData.size());
    if (o.UserData == nullptr) throw std::bad_alloc();
    std::memcpy(o.UserData, Rec.UserData.data(), Rec.UserData.size());
    o.UserDataLength = static_cast<Integer>(Rec.UserData.size());
  }
  return h;
}

bool TLumerakVect::LoadFromStreamLKV(TStream* Stream) {
  FLastLKVError.clear();
  Byte head[4] = {};
  const Integer got = Stream->Read(head, 4);
  const Integer version = head[3];
  if (got != 4 || std::memcmp(head, "LKV", 3) != 0 || version < kMinVersion || version > LKVVER) {
    FLastLKVError = got != 4 || std::memcmp(head, "LKV", 3) != 0
                        ? "Not a vector object stream (no \"LKV\" header)"
                        : "The vector object stream has version " + std::to_string(version) + ", not 49 to 75";
    return false;
  }

  // Everything is read and checked before the view is touched.
  double scale = 1;
  std::vector<std::unique_ptr<TLKBitmap>> pictures;
  std::vector<TReadRecord> records;
  try {
    Byte fixed[16];
    const Integer fixedLen = version == kMinVersion ? 12 : 16;
    if (Stream->Read(fixed, fixedLen) != fixedLen) throw LKVError("The vector object stream ends inside its header");
    if (version == kMinVersion) {
      scale = static_cast<int32_t>(LKGetLE32(fixed + 4));
    } else {
      const uint64_t u = LKGetLE32(fixed + 4) | (uint64_t{LKGetLE32(fixed + 8)} << 32);
      std::memcpy(&scale, &u, sizeof scale);
    }
    const Int64 count = static_cast<int32_t>(LKGetLE32(fixed + fixedLen - 4));
    if (count < 0 || count > (Stream->GetSize() - Stream->GetPosition()) / 4)
      throw LKVError("The vector object stream gives a picture count of " + std::to_string(count) +
                     " that it cannot hold");
    pictures.resize(static_cast<std::size_t>(count));
    for (auto& p : pictures) {
      Byte r[4];
      if (Stream->Read(r, 4) != 4) throw LKVError("The vector object stream ends inside its picture table");
      if (static_cast<int32_t>(LKGetLE32(r)) > 0) p = ReadPicture(Stream, version);
    }
    const std::vector<Byte> section = InflateAt(Stream);
    TLKByteReader reader(section.data(), section.size());
    const Integer n = GetCount(reader, kMinRecordLen, "the object list");
    ReadRecords(reader, version, FTemplate, n, true, 0, records);
  } catch (const LKVError& e) {
    FLastLKVError = e.what();
    return false;
  } catch (const std::bad_alloc&) {
    FLastLKVError = "The vector object stream asks for more memory than is available";
    return false;
  } catch (const Exception& e) {
    // A picture whose reader raised.
    FLastLKVError = std::string("A picture of the vector object stream could not be read: ") + e.what();
    return false;
  }

  // Replace the objects. The template keeps its picture.
  const bool share = FShareBitmaps;
  FShareBitmaps = true;
  std::unique_ptr<TLKBitmap> templatePicture;
  if (TLKBitmap* b = GetBitmap(FTemplate.BitmapIdx)) {
    templatePicture = std::make_unique<TLKBitmap>();
    templatePicture->Assign(b);
    SetObjBitmapNU(LKVTemplate, nullptr);
  }
  RemoveAllObjects();
  SetScale(scale);
  FBitmaps.clear();
  FBitmaps.resize(pictures.size());
  for (std::size_t i = 0; i < pictures.size(); ++i) FBitmaps[i].Bitmap = std::move(pictures[i]);
  for (TReadRecord& rec : records) AddRead(rec);
  if (templatePicture) SetObjBitmapNU(LKVTemplate, templatePicture.get());
  FShareBitmaps = share;
  Update();
  return true;
}

bool TLumerakVect::LoadFromFileLKV(const String& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  return LoadFromStreamLKV(&f);
}

Integer TLumerakVect::ReadObj(TStream* Stream, Integer Version, bool KeepBitmapIndex) {
  if (Version < kMinVersion || Version > LKVVER)
    throw EReadError("No vector object record of version " + std::to_string(Version));
  std::vector<TReadRecord> records;
  bool group = false;
  try {
    TLKByteReader reader(*Stream);
    TReadRecord top;
    ReadRecord(reader, Version, FTemplate, top);
    group = top.O.Kind == lkkNONE;
    if (group) {
      // The members follow under the caller's rule for picture indexes.
      ReadRecords(reader, Version, FTemplate, top.GroupCount, KeepBitmapIndex, 1, records);
    } else {
      if (!KeepBitmapIndex) top.O.BitmapIdx = -1;
      records.push_back(std::move(top));
    }
  } catch (const LKVError& e) {
    throw EReadError(e.what());
  }
  Integer h = LKVNone;
  for (TReadRecord& rec : records) h = AddRead(rec);
  return group ? LKVNone : h;
}

// ---------------------------------------------------------------------------
// The clipboard block: int32 N, then N records, each picture-carrying one
// followed by its picture as PNG.
// ---------------------------------------------------------------------------

std::vector<Byte> TLumerakVect::SelectedObjectsBlock() {
  std::vector<Integer> handles;
  for (Integer h : FSel)
    if (GetObj(h) != nullptr && std::find(handles.begin(), handles.end(), h) == handles.end()) handles.push_back(h);
  TMemoryStream s;
  PutI32(&s, static_cast<Integer>(handles.size()));
  for (Integer h : handles) {
    TLKVObject& o = Obj(h);
    WriteRecord(&s, o, h, LKVVER);
    if (o.Kind != lkkBITMAP && !(o.Kind == lkkMEMO && o.MemoHasBitmap)) continue;
    // The reader expects a picture here: an object without one sends the
    // template's.
    TLKBitmap* b = GetBitmap(o.BitmapIdx);
    if (b == nullptr) b = GetBitmap(FTemplate.BitmapIdx);
    TLKBitmap dot(1, 1, lk24RGB);
    if (b == nullptr) b = &dot;
    WritePicture(&s, b, LKVVER);
  }
  const Byte* p = static_cast<const Byte*>(s.GetMemory());
  return std::vector<Byte>(p, p + s.GetSize());
}

bool TLumerakVect::PasteObjectsBlock(const std::vector<Byte>& Block, Integer OffsetX, Integer OffsetY) {
  struct TPasted {
    TReadRecord Rec;
    std::unique_ptr<TLKBitmap> Picture;
  };
  std::vector<TPasted> pasted;
  try {
    TMemoryStream ms;
    ms.WriteBuffer(Block.data(), static_cast<Int64>(Block.size()));
    ms.SetPosition(0);
    Integer n;
    {
      TLKByteReader r(ms);
      n = GetCount(r, kMinRecordLen, "the clipboard's objects");
    }
    for (Integer i = 0; i < n; ++i) {
      std::vector<TReadRecord> records;
      bool group;
      {
        TLKByteReader r(ms);
        TReadRecord top;
        ReadRecord(r, LKVVER, FTemplate, top);
        group = top.O.Kind == lkkNONE;
        if (group) {
          ReadRecords(r, LKVVER, FTemplate, top.GroupCount, false, 1, records);
        } else {
          top.O.BitmapIdx = -1;
          records.push_back(std::move(top));
        }
      }
      for (TReadRecord& rec : records) {
        TPasted p{std::move(rec), nullptr};
        const TLKVObject& o = p.Rec.O;
        if (!group && (o.Kind == lkkBITMAP || (o.Kind == lkkMEMO && o.MemoHasBitmap)))
          p.Picture = ReadPicture(&ms, LKVVER);
        pasted.push_back(std::move(p));
      }
    }
  } catch (const LKVError&) {
    return false;
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const Exception&) {
    return false;
  }
  // The pasted objects take the place of the selection.
  while (!FSel.empty()) RemoveObject(FSel.front());
  const auto shift = [](Integer& V, Integer D) {
    V = static_cast<Integer>(std::clamp<Int64>(Int64{V} + D, INT32_MIN, INT32_MAX));
  };
  for (TPasted& p : pasted) {
    const Integer h = AddRead(p.Rec);
    TLKVObject& o = Obj(h);
    shift(o.X1, OffsetX);
    shift(o.X2, OffsetX);
    shift(o.Y1, OffsetY);
    shift(o.Y2, OffsetY);
    if (o.Kind == lkkANGLE)
      for (TPoint& pt : o.AnglePoints)
        if (pt.X != LKAngleUnset) {
          shift(pt.X, OffsetX);
          shift(pt.Y, OffsetY);
        }
    if (p.Picture) SetObjBitmap(h, p.Picture.get());
    AddSelObjectNS(h);
  }
  Update();
  return true;
}

// ---------------------------------------------------------------------------
// Layers and objects in one stream; objects in a TIFF page
// ---------------------------------------------------------------------------

void TLumerakVect::SaveToStreamAll(TStream* Stream, Integer LayersCompression) {
  const Int64 start = Stream->GetPosition();
  PutI32(Stream, 0);
  LayersSaveToStream(Stream, LayersCompression);
  const Int64 objects = Stream->GetPosition();
  if (objects > INT32_MAX) throw EWriteError("The layers are too large for a combined stream");
  Stream->SetPosition(start);
  PutI32(Stream, static_cast<Integer>(objects));
  Stream->SetPosition(objects);
  SaveToStreamLKV(Stream);
}

bool TLumerakVect::LoadFromStreamAll(TStream* Stream) {
  Byte at[4];
  if (Stream->Read(at, 4) != 4) return false;
  const Int64 objects = static_cast<int32_t>(LKGetLE32(at));
  if (!LayersLoadFromStream(Stream)) return false;
  if (objects < 0 || objects > Stream->GetSize()) {
    FLastLKVError = "The combined stream places its objects outside the stream";
    return false;
  }
  Stream->SetPosition(objects);
  return LoadFromStreamLKV(Stream);
}

void TLumerakVect::SaveToFileAll(const String& FileName, Integer LayersCompression) {
  WriteFileAtomically(FileName, [&](TStream* Stream) { SaveToStreamAll(Stream, LayersCompression); });
}

bool TLumerakVect::LoadFromFileAll(const String& FileName) {
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  return LoadFromStreamAll(&f);
}

void TLumerakVect::SaveObjectsToTIFF(const String& FileName, Integer Page) {
  TMemoryStream block;
  SaveToStreamLKV(&block);
  TLKTIFFHandler tiff;
  // Writing back a file that was not read would replace it with nothing.
  if (!tiff.ReadFile(FileName))
    throw EReadError("\"" + FileName + "\" is not a TIFF file: the vector objects were not stored");
  if (Page < 0 || Page >= tiff.GetPagesCount())
    throw EReadError("\"" + FileName + "\" has no page " + std::to_string(Page));
  tiff.SetValueRAW(Page, static_cast<Word>(lkgObjectsTIFFTag), 1, static_cast<Integer>(block.GetSize()),
                   block.GetMemory());
  tiff.WriteFile(FileName);
}

bool TLumerakVect::LoadObjectsFromTIFF(const String& FileName, Integer Page) {
  TLKTIFFHandler tiff;
  if (!tiff.ReadFile(FileName) || Page < 0 || Page >= tiff.GetPagesCount()) return false;
  const Integer tag = tiff.FindTag(Page, static_cast<Word>(lkgObjectsTIFFTag));
  if (tag < 0) return false;
  const Integer len = tiff.GetTagLengthInBytes(Page, tag);
  const Byte* data = tiff.GetValueRAW(Page, tag, 0);
  if (len <= 0 || data == nullptr) return false;
  TMemoryStream s;
  s.WriteBuffer(data, len);
  s.SetPosition(0);
  return LoadFromStreamLKV(&s);
}
