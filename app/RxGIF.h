// GIF pictures for the class library's picture objects: TGIFImage holds the
// frames of a GIF file, loads and saves GIF streams with a block reader and
// writer and an LZW coder of its own, and draws its current frame as the
// screen shows it: the frames before it composed by their disposal methods.
// Frames keep their LZW data as read and are decoded into a TBitmap only
// when first drawn or measured. With Animate on, a timer steps through the
// frames by their delays (and repeat count) and every step signals a
// change, so an image control holding the picture repaints it.
//
// Damaged data is accepted: a frame whose data ends early or whose codes
// break off is flagged corrupted and keeps what was decoded. Structure the
// reader cannot follow (signature, extension labels, colour counts) raises
// EInvalidGraphicOperation.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "platform/clipboard.h"
#include "platform/controls.h"
#include "platform/graphics.h"

/// Raised for operations a graphic cannot do and for GIF data it cannot follow.
class EInvalidGraphicOperation : public EInvalidGraphic {
  using EInvalidGraphic::EInvalidGraphic;
};

/// The clipboard format "GIF Image" (its length prefix and the GIF).
Word CF_GIF();

/// A colour map: Count entries (0 to 256) of red, green, blue.
struct TGIFColorTable {
  Integer Count = 0;
  std::array<Byte, 768> Colors{};
  TColor Entry(Integer Index) const {
    return RGB(Colors[3 * Index], Colors[3 * Index + 1], Colors[3 * Index + 2]);
  }
  /// The first entry equal to Color, or -1.
  Integer Find(TColor Color) const;
};

/// Picture data shared by copies of a TGIFImage.
struct TGIFData {
  std::vector<String> Comment;
  TGIFColorTable ColorMap;
  Integer BitsPerPixel = 8;
  Integer ColorResBits = 8;
  Byte AspectRatio = 0;
};

/// A frame's coded data shared by copies of the frame.
struct TGIFItem {
  /// The minimum code size, the data sub-blocks and their terminator.
  std::vector<Byte> ZipData;
  TGIFColorTable ColorMap;
  Integer BitsPerPixel = 8;
  Integer Width = 0, Height = 0;
  Byte PackedFields = 0;
};

enum TGIFExtensionType : Byte { etGraphic = 0xF9, etPlainText = 0x01, etApplication = 0xFF, etComment = 0xFE };

/// An extension block: its label, the fixed bytes after it and its data
/// sub-blocks (one string each).
struct TExtension {
  TGIFExtensionType ExtType = etComment;
  std::vector<Byte> Fixed;
  std::vector<std::string> Data;
};

class TGIFImage;

class TGIFFrame : public TPersistent {
 public:
  explicit TGIFFrame(TGIFImage* AOwner);
  ~TGIFFrame() override;

  /// The frame's picture, decoded on first call (null when it cannot be).
  TBitmap* GetBitmap();
  /// Whether the frame holds coded data.
  bool HasData() const { return FItem && !FItem->ZipData.empty(); }
  /// Frame, picture (its current frame), bitmap or other graphic; null
  /// empties the frame.
  void Assign(TPersistent* Source) override;
  /// A TBitmap gets the decoded picture (transparent when the frame is).
  void AssignTo(TPersistent* Dest) override;

  TPoint GetOrigin() const { return FTopLeft; }
  void SetOrigin(TPoint Value);
  bool GetInterlaced() const { return FInterlaced; }
  void SetInterlaced(bool Value) { FInterlaced = Value; }
  bool GetCorrupted() const { return FCorrupted; }
  bool GetGrayScale() const { return FGrayScale; }
  void SetGrayScale(bool Value) { FGrayScale = Value; }
  /// clNone for none.
  TColor GetTransparentColor() const { return FTransparentColor; }
  void SetTransparentColor(TColor Value);
  /// Milliseconds.
  Integer GetAnimateInterval() const { return FAnimateInterval; }
  void SetAnimateInterval(Integer Value) { FAnimateInterval = Value; }
  /// 0 to 7, as stored in the graphic control block: what becomes of the
  /// frame's area before the next frame is drawn. 2 restores the background
  /// (the area shows nothing), 3 restores what the area held before this
  /// frame; 0, 1 and the unassigned 4 to 7 leave the frame in place.
  Integer GetDisposalMethod() const { return FDisposal; }
  void SetDisposalMethod(Integer Value);
  TGIFItem* GetItem() const { return FItem.get(); }
  const std::vector<TExtension>& GetExtensions() const { return FExtensions; }
  /// The comment texts of the frame's comment blocks.
  std::vector<String> GetComment() const;
  void SetComment(const std::vector<String>& Lines);

 private:
  friend class TGIFImage;
  void Decode();
  void Encode(bool& GlobalTaken);
  /// The index whose pixels are transparent in the bitmap (-1 when pixels
  /// are matched by the transparent colour instead).
  Integer TransparentIndex() const;
  void RebuildExtensions();

  TGIFImage* FOwner;
  std::unique_ptr<TBitmap> FBitmap;
  std::shared_ptr<TGIFItem> FItem;
  std::vector<TExtension> FExtensions;
  TPoint FTopLeft{0, 0};
  bool FInterlaced = false;
  bool FCorrupted = false;
  bool FGrayScale = false;
  TColor FTransparentColor = clNone;
  Integer FAnimateInterval = 0;
  Integer FDisposal = 0;
  bool FOwnColors = true;
};

class TGIFImage : public TGraphic {
 public:
  TGIFImage();
  ~TGIFImage() override;

  void Assign(TPersistent* Source) override;
  void AssignTo(TPersistent* Dest) override;
  /// Draws the screen as it stands once the current frame is shown,
  /// stretched into Rect: the frames before it are composed at their
  /// positions by their disposal methods, and the current frame over them.
  /// Pixels no frame covers (and the frames' transparent pixels) are left
  /// out when the graphic is transparent, otherwise filled with the
  /// background colour (left out when there is none). A screen of more
  /// than 64 M pixels draws nothing.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;
  /// True when the other is a TGIFImage sharing the same picture data.
  bool Equals(const TGraphic* Graphic) const;
  bool GetEmpty() const override;
  /// The screen's: the file's screen size, grown to cover every frame at
  /// its position (what Draw draws); 0 without a current frame.
  Integer GetWidth() const override;
  Integer GetHeight() const override;
  /// Raise EInvalidGraphicOperation: a GIF's size is its frames'.
  void SetWidth(Integer Value) override;
  void SetHeight(Integer Value) override;
  bool GetTransparent() const override;
  std::unique_ptr<TGraphic> Clone() const override;
  /// Reads the GIF from the position to the end and decodes the first
  /// frame.
  void LoadFromStream(TStream* Stream) override;
  void SaveToStream(TStream* Stream) override;
  /// The component-streaming form: the GIF's length (32 bits) and the GIF.
  void ReadData(TStream* Stream);
  void WriteData(TStream* Stream);
  /// The first frame's bitmap and, when every frame has coded data, the
  /// streaming form as "GIF Image".
  void SaveToClipboardFormat(TClipboard& Clip);
  /// "GIF Image" when there (frame 0's bitmap from the clipboard's picture
  /// when there is one), otherwise the clipboard's picture as one frame;
  /// false when the clipboard holds neither.
  bool LoadFromClipboardFormat(const TClipboard& Clip);

  /// Adds a frame made from Graphic, makes it current and returns its index.
  virtual Integer AppendFrame(TGraphic* Graphic);
  void DeleteFrame(Integer Index);
  void Clear();
  /// Decodes every frame now.
  void DecodeAllFrames();

  Integer GetCount() const { return Integer(FFrames.size()); }
  TGIFFrame* GetFrame(Integer Index) const { return FFrames.at(std::size_t(Index)).get(); }
  Integer GetFrameIndex() const { return FFrameIndex; }
  void SetFrameIndex(Integer Value);
  /// 0 none, 1 "87a", 2 "89a".
  Integer GetVersion() const { return FVersion; }
  TColor GetBackgroundColor() const { return FBackgroundColor; }
  void SetBackgroundColor(TColor Value) { FBackgroundColor = Value; }
  Integer GetRepeatCount() const { return FRepeatCount; }
  void SetRepeatCount(Integer Value) { FRepeatCount = Value; }
  bool GetLooping() const { return FLooping; }
  void SetLooping(bool Value) { FLooping = Value; }
  bool GetCorrupted() const { return FCorrupted; }
  Integer GetScreenWidth() const { return FScreenWidth; }
  Integer GetScreenHeight() const { return FScreenHeight; }
  const std::vector<String>& GetComment() const { return FData->Comment; }
  void SetComment(const std::vector<String>& Lines) { FData->Comment = Lines; }
  const TGIFData& GetData() const { return *FData; }

  /// Plays the frames: each shows for its delay (100 ms when it has none);
  /// after the last frame play starts again while looping (endless with a
  /// repeat count of 0, else that many more times), otherwise it stops on
  /// the last frame.
  bool GetAnimate() const { return FAnimate; }
  void SetAnimate(bool Value);
  /// The animation's timer (null before the first SetAnimate(true)).
  TTimer* GetAnimationTimer() const { return FTimer.get(); }

 private:
  friend class TGIFFrame;
  void Reset();
  void Load(const Byte* Data, std::size_t Size, bool DecodeFirst);
  void UpdateScreenSize();
  /// The screen size Draw composes on.
  TPoint ComposedSize() const;
  /// Forgets the composed screen (frames or their placing changed).
  void InvalidateComposite();
  /// The screen once frame Index is drawn; built on the last composition
  /// when that showed an earlier frame, else from frame 0.
  TBitmap* ComposeTo(Integer Index);
  void Step(TObject* Sender);
  void ArmTimer();

  std::shared_ptr<TGIFData> FData;
  std::vector<std::unique_ptr<TGIFFrame>> FFrames;
  Integer FVersion = 0;
  TColor FBackgroundColor = clNone;
  Integer FRepeatCount = 1;
  bool FLooping = false;
  bool FCorrupted = false;
  Integer FFrameIndex = -1;
  Integer FScreenWidth = 0, FScreenHeight = 0;
  bool FAnimate = false;
  Integer FPlaysDone = 0;
  std::unique_ptr<TTimer> FTimer;
  // The composed screen: pixels no frame covers hold FKey, a colour no
  // frame uses. FSaved holds what FComposedRect held before the last
  // composed frame when that frame restores it.
  std::unique_ptr<TBitmap> FComposite;
  Integer FComposedIndex = -1;
  TRect FComposedRect{};
  std::unique_ptr<TBitmap> FSaved;
  TColor FKey = clNone;
  bool FKeyChosen = false;
};

/// The GIF class's byte-level coders, open for tests. Decode fills
/// Width x Height indices (masked to Bits bits) from coded data (minimum
/// code size and sub-blocks); false when the data breaks off or is damaged
/// (what was decoded is kept). Encode gives the coded data of the indices.
namespace gifcoder {
bool Decode(const std::vector<Byte>& Zip, Integer Width, Integer Height, Integer Bits, bool Interlaced,
            std::vector<Byte>& Indices);
std::vector<Byte> Encode(const std::vector<Byte>& Indices, Integer Width, Integer Height, Integer Bits,
                         bool Interlaced);
}  // namespace gifcoder
