// Copy, cut, paste and clearing of the processing component through the
// clipboard: packed DIBs for every program and the raw bitmap stream under
// the private format for pictures that must come back unchanged; a whole-
// picture paste also takes an enhanced metafile when nothing else is there.
#include "processing/lkclipboard.h"

#include <algorithm>
#include <memory>
#include <string>

#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "io/lumerakio.h"
#include "platform/metafile.h"
#include "processing/lkdibcopy.h"
#include "processing/lkresample.h"
#include "processing/lumerakproc.h"
#include "core/lkviewlink.h"

namespace {

TLKClipboardAccess* gClipboard = nullptr;

// Opens the clipboard for one operation and closes it on every way out.
class ClipboardSession {
 public:
  ClipboardSession() : access_(LKClipboard()), open_(access_ && access_->Open()) {}
  ~ClipboardSession() {
    if (open_) access_->Close();
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool IsOpen() const { return open_; }
  TLKClipboardAccess* operator->() const { return access_; }

 private:
  TLKClipboardAccess* access_;
  bool open_;
};

// Which kind of picture a paste found.
enum class ClipKind { None, Raw, Dib };

// Fetches the clipboard's picture into `picture`: the private format when
// announced, else a DIB. A format that is announced but cannot be fetched
// or read ends the search with nothing.
ClipKind FetchPicture(ClipboardSession& clip, TLKBitmap& picture) {
  std::vector<Byte> data;
  if (clip->HasFormat(LKRAWCLIPFORMAT_NAME)) {
    if (!clip->GetData(LKRAWCLIPFORMAT_NAME, data)) return ClipKind::None;
    return picture.LoadRAWFromBufferOrStream(data.data(), nullptr, static_cast<Int64>(data.size()))
               ? ClipKind::Raw
               : ClipKind::None;
  }
  if (clip->HasFormat(LKDIBCLIPFORMAT_NAME)) {
    if (!clip->GetData(LKDIBCLIPFORMAT_NAME, data)) return ClipKind::None;
    return _CopyDIB2BitmapEx(data, &picture) != 0 ? ClipKind::Dib : ClipKind::None;
  }
  return ClipKind::None;
}

// The raw stream form of a bitmap as one block.
std::vector<Byte> RawBlock(TLKBitmap* b) {
  std::vector<Byte> block(static_cast<size_t>(b->CalcRAWSize()));
  b->SaveRAWToBufferOrStream(block.data(), nullptr);
  return block;
}

// A pasted picture takes the working bitmap's pixel format (and palette), so
// that the pixel copies, which need equal formats, draw it.
void MatchFormat(TLKBitmap* picture, TLKBitmap* target) {
  const TLKPixelFormat f = target->GetPixelFormat();
  if (picture->GetPixelFormat() == f) return;
  picture->SetPixelFormat(f);
  if (f == lk8p)
    for (Integer i = 0; i < target->GetPaletteLen(); ++i) picture->SetPalette(i, target->GetPalette(i));
}

// A new bitmap of Source's format and palette.
std::unique_ptr<TLKBitmap> NewLike(TLKBitmap* source, Integer w, Integer h) {
  auto b = std::make_unique<TLKBitmap>(w, h, source->GetPixelFormat());
  for (Integer i = 0; i < source->GetPaletteLen(); ++i) b->SetPalette(i, source->GetPalette(i));
  return b;
}

// The picture stretched (nearest neighbour) to w x h, alpha channel too.
std::unique_ptr<TLKBitmap> Stretched(TLKBitmap* picture, Integer w, Integer h) {
  auto out = NewLike(picture, w, h);
  _LKBmpStretchEx(picture, out.get());
  if (picture->GetHasAlphaChannel()) _LKBmpStretchEx(picture->GetAlphaChannel(), out->GetAlphaChannel());
  return out;
}

}  // namespace

TLKClipboardAccess* LKClipboard() { return gClipboard ? gClipboard : LKDesktopClipboard(); }

void LKSetClipboard(TLKClipboardAccess* Access) { gClipboard = Access; }

void _ClearSelMaskEx(TLKBitmap* Bitmap, TLKMask* Mask, TColor Color) {
  if (!Bitmap || !Mask || Mask->IsEmpty()) return;
  auto fill = NewLike(Bitmap, Mask->GetX2() - Mask->GetX1() + 1, Mask->GetY2() - Mask->GetY1() + 1);
  fill->Fill(Color);
  Mask->CopyLKBitmap(Bitmap, fill.get(), false, true, false);
}

void TLumerakProc::CopyToClipboard(bool Raw) {
  if (!MakeConsistentBitmap({})) return;
  ClipboardSession clip;
  if (!clip.IsOpen()) return;
  clip->Empty();
  clip->SetData(LKDIBCLIPFORMAT_NAME, _CopyBitmaptoDIBEx(FBitmap, 0, 0, 0, 0));
  if (Raw) clip->SetData(LKRAWCLIPFORMAT_NAME, RawBlock(FBitmap));
}

void TLumerakProc::PasteFromClipboard() {
  if (!MakeConsistentBitmap({})) return;
  ClipboardSession clip;
  if (!clip.IsOpen()) return;
  if (!clip->HasFormat(LKRAWCLIPFORMAT_NAME) && !clip->HasFormat(LKDIBCLIPFORMAT_NAME)) {
    // Only a metafile: drawn at its own size, the parts it leaves blank
    // transparent.
    std::vector<Byte> data;
    TMetafile meta;
    if (!clip->HasFormat(LKEMFCLIPFORMAT_NAME) || !clip->GetData(LKEMFCLIPFORMAT_NAME, data) ||
        !meta.LoadFromBytes(std::move(data)) || !meta.Enhanced())
      return;
    if (FAutoUndo) SaveUndoCaptioned("PasteFromClipboard", lkuImage);
    TLumerakIO io;
    io.SetAttachedLKBitmap(FBitmap);
    io.ImportMetaFile(meta, -1, -1, true);
    Update();
    return;
  }
  TLKBitmap picture;
  if (FetchPicture(clip, picture) == ClipKind::None) return;
  if (FAutoUndo) SaveUndoCaptioned("PasteFromClipboard", lkuImage);
  // A working bitmap kept in a class-library bitmap holds only the 1-, 8-
  // and 24-bit formats.
  const TLKPixelFormat f = picture.GetPixelFormat();
  if (FBitmap->GetLocation() == lkTBitmap && f != lk1g && f != lk8p && f != lk8g && f != lk24RGB)
    picture.SetPixelFormat(lk24RGB);
  if (!picture.GetHasAlphaChannel()) FBitmap->RemoveAlphaChannel();
  FBitmap->Assign(&picture);
  Update();
}

void TLumerakProc::PointPasteFromClip(Integer X, Integer Y, bool MergeAlpha) {
  if (!MakeConsistentBitmap({})) return;
  if (TLumerakViewServices* view = ViewServices(); view && view->GetSelectionBase() == lksbClientArea) {
    X = view->XScr2Bmp(X);
    Y = view->YScr2Bmp(Y);
  }
  ClipboardSession clip;
  if (!clip.IsOpen()) return;
  TLKBitmap picture;
  const ClipKind kind = FetchPicture(clip, picture);
  if (kind == ClipKind::None) return;
  if (FAutoUndo) SaveUndoCaptioned("PointPasteFromClip " + std::to_string(X) + "," + std::to_string(Y), lkuImage);
  MatchFormat(&picture, FBitmap);
  // Only the part of the picture that falls inside the image is drawn.
  const Integer w = picture.GetWidth(), h = picture.GetHeight();
  const Integer x1 = std::max(X, 0), y1 = std::max(Y, 0);
  const Integer x2 = std::min<Int64>(static_cast<Int64>(X) + w, FBitmap->GetWidth());
  const Integer y2 = std::min<Int64>(static_cast<Int64>(Y) + h, FBitmap->GetHeight());
  if (x2 > x1 && y2 > y1 && kind == ClipKind::Dib) {
    picture.CopyRectTo(FBitmap, x1 - X, y1 - Y, x1, y1, x2 - x1, y2 - y1);
  } else if (x2 > x1 && y2 > y1) {
    // Drawn through a mask of that part, less the picture's transparent
    // parts.
    auto part = NewLike(&picture, x2 - x1, y2 - y1);
    picture.CopyRectTo(part.get(), x1 - X, y1 - Y, 0, 0, x2 - x1, y2 - y1);
    if (picture.GetHasAlphaChannel())
      picture.GetAlphaChannel()->CopyRectTo(part->GetAlphaChannel(), x1 - X, y1 - Y, 0, 0, x2 - x1, y2 - y1);
    TLKMask mask;
    mask.AllocateBits(FBitmap->GetWidth(), FBitmap->GetHeight(), 1);
    mask.Empty();
    for (Integer y = y1; y < y2; ++y) mask.DrawHorizontalLine(1, x1, x2 - 1, y);
    mask.SyncRect();
    if (MergeAlpha && part->GetHasAlphaChannel()) mask.CombineWithAlpha(part->GetAlphaChannel(), x1, y1, false);
    part->CopyWithMask2(FBitmap, &mask);
  }
  Update();
}

namespace {

// The selection pastes: `stretch` draws DIB data over the whole box.
void SelPaste(TLumerakProc* proc, bool mergeAlpha, bool stretch) {
  Integer x1, y1, x2, y2, count;
  TPoint* polygon;
  TLKMask* mask;
  if (!proc->GetReSel(x1, y1, x2, y2, polygon, count, mask)) {
    proc->PasteFromClipboard();
    return;
  }
  TLKBitmap* target = proc->GetAttachedLKBitmap();
  ClipboardSession clip;
  if (!clip.IsOpen()) return;
  TLKBitmap picture;
  const ClipKind kind = FetchPicture(clip, picture);
  if (kind == ClipKind::None || x2 <= x1 || y2 <= y1) return;
  if (proc->GetAutoUndo())
    proc->SaveUndoCaptioned(stretch ? "SelPasteFromClipStretch" : "SelPasteFromClip", lkuImage);
  MatchFormat(&picture, target);
  auto box = Stretched(&picture, x2 - x1, y2 - y1);
  const bool masked = mask && !mask->IsEmpty();
  if (!masked) {
    box->CopyRectTo(target, 0, 0, x1, y1, x2 - x1, y2 - y1);
  } else if (kind == ClipKind::Raw) {
    if (mergeAlpha && box->GetHasAlphaChannel()) mask->CombineWithAlpha(box->GetAlphaChannel(), x1, y1, false);
    box->CopyWithMask2(target, mask);
  } else if (stretch) {
    box->CopyRectTo(target, 0, 0, x1, y1, x2 - x1, y2 - y1);
  } else {
    mask->CopyLKBitmap(target, box.get(), false, true, false);
  }
  proc->Update();
}

}  // namespace

void TLumerakProc::SelPasteFromClip(bool MergeAlpha) {
  if (!MakeConsistentBitmap({})) return;
  SelPaste(this, MergeAlpha, false);
}

void TLumerakProc::SelPasteFromClipStretch(bool MergeAlpha) {
  if (!MakeConsistentBitmap({})) return;
  SelPaste(this, MergeAlpha, true);
}

namespace {

// Puts the selection's box on the open clipboard (SelCopyToClip steps).
void PutSelection(ClipboardSession& clip, TLKBitmap* b, TLKMask* mask, Integer x1, Integer y1, Integer x2,
                  Integer y2, TColor background, bool raw) {
  clip->Empty();
  const bool masked = mask && !mask->IsEmpty();
  if (!masked) {
    clip->SetData(LKDIBCLIPFORMAT_NAME, _CopyBitmaptoDIBEx(b, x1, y1, x2, y2));
  } else {
    auto box = NewLike(b, mask->GetX2() - mask->GetX1() + 1, mask->GetY2() - mask->GetY1() + 1);
    box->Fill(background);
    mask->CopyLKBitmap(box.get(), b, true, false, false);
    clip->SetData(LKDIBCLIPFORMAT_NAME, _CopyBitmaptoDIBEx(box.get(), 0, 0, 0, 0));
  }
  if (!raw) return;
  TLKBitmap cut;
  if (masked) {
    b->CopyWithMask1(&cut, mask, 0);
  } else {
    auto box = NewLike(b, x2 - x1, y2 - y1);
    b->CopyRectTo(box.get(), x1, y1, 0, 0, x2 - x1, y2 - y1);
    if (b->GetHasAlphaChannel())
      b->GetAlphaChannel()->CopyRectTo(box->GetAlphaChannel(), x1, y1, 0, 0, x2 - x1, y2 - y1);
    box->SwitchTo(&cut);
  }
  clip->SetData(LKRAWCLIPFORMAT_NAME, RawBlock(&cut));
}

}  // namespace

void TLumerakProc::SelCopyToClip(bool Raw) {
  if (!MakeConsistentBitmap({})) return;
  Integer x1, y1, x2, y2, count;
  TPoint* polygon;
  TLKMask* mask;
  if (!GetReSel(x1, y1, x2, y2, polygon, count, mask)) {
    CopyToClipboard(Raw);
    return;
  }
  ClipboardSession clip;
  if (clip.IsOpen()) PutSelection(clip, FBitmap, mask, x1, y1, x2, y2, GetReBackground(), Raw);
}

void TLumerakProc::SelCutToClip(bool Raw) {
  if (!MakeConsistentBitmap({})) return;
  Integer x1, y1, x2, y2, count;
  TPoint* polygon;
  TLKMask* mask;
  if (!GetReSel(x1, y1, x2, y2, polygon, count, mask)) return;
  if (FAutoUndo) SaveUndoCaptioned("SelCutToClip", lkuImage);
  {
    ClipboardSession clip;
    if (clip.IsOpen()) PutSelection(clip, FBitmap, mask, x1, y1, x2, y2, GetReBackground(), Raw);
  }
  if (mask && !mask->IsEmpty()) _ClearSelMaskEx(FBitmap, mask, GetReBackground());
  else FBitmap->FillRect(x1, y1, x2 - 1, y2 - 1, GetReBackground());
  Update();
}

void TLumerakProc::ClearSel() {
  if (!MakeConsistentBitmap({})) return;
  if (FAutoUndo) SaveUndoCaptioned("ClearSel", lkuImage);
  Integer x1, y1, x2, y2, count;
  TPoint* polygon;
  TLKMask* mask;
  if (GetReSel(x1, y1, x2, y2, polygon, count, mask) && mask && !mask->IsEmpty())
    _ClearSelMaskEx(FBitmap, mask, GetReBackground());
  Update();
  DoFinishWork();
}
