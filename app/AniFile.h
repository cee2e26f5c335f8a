// Animated cursors: TAnimatedCursorImage reads a RIFF "ACON" file into its
// header, title, creator and frames (TIconFrame: an icon, its hot spot, its
// rate and its place in the sequence), and hands them over as an icon, a
// strip bitmap of all frames or an icon list. The GIF picture takes one as
// a source of frames.
//
// Reading is bounded by the data: chunk sizes are checked before use, the
// steps a header may state are limited, and icons are decoded only from
// the bytes their chunks hold. Damaged data raises EReadError.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/icon.h"

/// The "anih" record as stored, 32-bit fields.
struct TAniHeader {
  Cardinal Size = 0, Frames = 0, Steps = 0, Width = 0, Height = 0, BitCount = 0, Planes = 0, Rate = 0, Flags = 0;
};

/// A chunk's tag and size.
struct TAniTag {
  std::array<char, 4> Id{};
  Cardinal Size = 0;
};

class TIconFrame : public TPersistent {
 public:
  TIconFrame(Integer Index, Cardinal Rate);
  ~TIconFrame() override;
  /// From another frame: every field, the icon by assignment.
  void Assign(TPersistent* Source) override;

  TIcon* GetIcon() const { return FIcon.get(); }
  bool GetIsIcon() const { return FIsIcon; }
  const TAniTag& GetTag() const { return FTag; }
  TPoint GetHotSpot() const { return FHotSpot; }
  /// In jiffies (1/60 s).
  Cardinal GetJiffRate() const { return FRate; }
  /// The icon's number in the file's list (-1: a frame of its own).
  Integer GetSeq() const { return FSeq; }

 private:
  friend class TAnimatedCursorImage;
  std::unique_ptr<TIcon> FIcon;
  bool FIsIcon = false;
  TAniTag FTag;
  TPoint FHotSpot{0, 0};
  Cardinal FRate = 0;
  Integer FSeq = -1;
};

class TAnimatedCursorImage : public TPersistent {
 public:
  TAnimatedCursorImage();
  ~TAnimatedCursorImage() override;

  /// Reads the bytes from the stream's position to its end.
  void LoadAniFromStream(TStream* Stream);
  /// On any error the image is left empty and the error passes on.
  void LoadAniFromFile(const String& FileName);
  /// Writing is not done: takes the "not implemented" stop.
  void SaveAniToStream(TStream* Stream);
  void Clear();

  /// From another animated cursor (copies of its frames) or null (clears).
  void Assign(TPersistent* Source) override;
  /// A TIcon gets the first frame's icon, a TBitmap the frame strip on its
  /// brush colour, a TIconList every frame's icon.
  void AssignTo(TPersistent* Dest) override;
  /// All frames side by side (or one under the other) on BackColor, the
  /// colours reduced to the larger of the frames' colour count and 16.
  void AssignToBitmap(TBitmap* Bitmap, TColor BackColor, bool DecreaseColors, bool Vertical);

  const TAniHeader& GetHeader() const { return FHeader; }
  const String& GetTitle() const { return FTitle; }
  const String& GetCreator() const { return FCreator; }
  /// 2, 16 or 256 for frames of 1, 4 or 8 bits (the most of them), else 0.
  Integer GetOriginalColors() const { return FOriginalColors; }
  Integer GetFrameCount() const { return Integer(FFrames.size()); }
  TIconFrame* GetFrame(Integer Index) const { return FFrames.at(size_t(Index)).get(); }
  /// The number of steps a header may state.
  static constexpr Cardinal kMaxSteps = 512;

 private:
  void Read(const std::vector<Byte>& Data);
  bool LoadIcon(TIconFrame& Frame, const Byte* Data, size_t Size);

  TAniHeader FHeader;
  String FTitle, FCreator;
  Integer FOriginalColors = 0;
  std::vector<std::unique_ptr<TIconFrame>> FFrames;
};
