#include "app/AniFile.h"

#include <algorithm>
#include <cstring>

#include "app/IcoList.h"
#include "app/RxReduce.h"

namespace {

Cardinal U32(const Byte* p) { return Cardinal(p[0]) | Cardinal(p[1]) << 8 | Cardinal(p[2]) << 16 | Cardinal(p[3]) << 24; }
Word U16(const Byte* p) { return Word(p[0] | p[1] << 8); }
bool Is(const Byte* p, const char* Id) { return std::memcmp(p, Id, 4) == 0; }

[[noreturn]] void ReadFailure() { throw EReadError("Stream read error"); }

// The largest file read.
constexpr Int64 kMaxFile = Int64(1) << 28;

// A text chunk: at most 255 bytes, up to the first zero.
String Text(const Byte* P, size_t N) {
  N = std::min<size_t>(N, 255);
  const Byte* end = static_cast<const Byte*>(std::memchr(P, 0, N));
  return String(reinterpret_cast<const char*>(P), end ? size_t(end - P) : N);
}

}  // namespace

// ---- frames

TIconFrame::TIconFrame(Integer Index, Cardinal Rate) : FRate(Rate), FSeq(Index) {}
TIconFrame::~TIconFrame() = default;

void TIconFrame::Assign(TPersistent* Source) {
  auto* f = dynamic_cast<TIconFrame*>(Source);
  if (!f) {
    TPersistent::Assign(Source);
    return;
  }
  if (f == this) return;
  if (f->FIcon) {
    if (!FIcon) FIcon = std::make_unique<TIcon>();
    FIcon->Assign(f->FIcon.get());
  } else {
    FIcon.reset();
  }
  FIsIcon = f->FIsIcon;
  FTag = f->FTag;
  FHotSpot = f->FHotSpot;
  FRate = f->FRate;
  FSeq = f->FSeq;
}

// ---- the image

TAnimatedCursorImage::TAnimatedCursorImage() = default;
TAnimatedCursorImage::~TAnimatedCursorImage() = default;

void TAnimatedCursorImage::Clear() {
  FFrames.clear();
  FTitle.clear();
  FCreator.clear();
  FHeader = TAniHeader{};
  FOriginalColors = 0;
}

void TAnimatedCursorImage::LoadAniFromStream(TStream* Stream) {
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  if (left < 12 || left > kMaxFile) ReadFailure();
  std::vector<Byte> data(static_cast<size_t>(left));
  Stream->ReadBuffer(data.data(), left);
  Read(data);
}

void TAnimatedCursorImage::LoadAniFromFile(const String& FileName) {
  try {
    TFileStream f(FileName, fmOpenRead);
    LoadAniFromStream(&f);
  } catch (...) {
    Clear();
    throw;
  }
}

void TAnimatedCursorImage::SaveAniToStream(TStream*) { NotImplemented(); }

bool TAnimatedCursorImage::LoadIcon(TIconFrame& Frame, const Byte* Data, size_t Size) {
  if (Size < 6) return false;
  std::vector<Byte> bytes(Data, Data + Size);
  const Word type = U16(bytes.data() + 2);
  if (type != 1 && type != 2) return false;
  Frame.FIsIcon = type == 1;
  bytes[2] = 1;  // a cursor loads as an icon
  bytes[3] = 0;
  const size_t count = U16(bytes.data() + 4);
  for (size_t i = 0; i < count && 6 + 16 * (i + 1) <= Size; ++i) {
    const Byte* e = bytes.data() + 6 + 16 * i;
    const Cardinal len = U32(e + 8), off = U32(e + 12);
    if (off <= Size && len <= Size - off && len >= 16) {
      const Word bits = U16(bytes.data() + off + 14);
      const Integer colours = bits == 1 ? 2 : bits == 4 ? 16 : bits == 8 ? 256 : 0;
      FOriginalColors = std::max(FOriginalColors, colours);
    }
    Frame.FHotSpot = TPoint{U16(e + 4), U16(e + 6)};
  }
  auto icon = std::make_unique<TIcon>();
  TMemoryStream m;
  m.WriteBuffer(bytes.data(), Int64(bytes.size()));
  m.SetPosition(0);
  try {
    icon->LoadFromStream(&m);
  } catch (const EInvalidGraphic&) {
    return false;
  }
  if (Frame.FIsIcon) Frame.FHotSpot = TPoint{icon->GetWidth() / 2, icon->GetHeight() / 2};
  Frame.FIcon = std::move(icon);
  return true;
}

void TAnimatedCursorImage::Read(const std::vector<Byte>& Data) {
  const Byte* d = Data.data();
  const size_t n = Data.size();
  if (n < 12 || !Is(d, "RIFF") || !Is(d + 8, "ACON")) ReadFailure();
  Clear();
  // The chunks after the form type: 8-byte headers, data padded to even.
  size_t pos = 12;
  size_t rateAt = 0, seqAt = 0;  // the next frame a "rate" or "seq " value sets
  while (pos + 8 <= n) {
    const Byte* tag = d + pos;
    const Cardinal size = U32(d + pos + 4);
    const size_t body = pos + 8;
    if (size > n - body) break;  // a chunk past the end ends reading
    const Byte* c = d + body;
    if (Is(tag, "anih")) {
      if (size < 36) ReadFailure();
      Cardinal* f = &FHeader.Size;
      for (int i = 0; i < 9; ++i) f[i] = U32(c + 4 * i);
      if (!(FHeader.Flags & 1) || FHeader.Frames == 0) ReadFailure();
      // Frames come with the steps; a header stating more than any file
      // shows is damaged.
      if (FHeader.Steps > kMaxSteps) ReadFailure();
      FFrames.clear();
      for (Cardinal s = 0; s < FHeader.Steps; ++s)
        FFrames.push_back(std::make_unique<TIconFrame>(Integer(s), FHeader.Rate));
      rateAt = seqAt = 0;
    } else if (Is(tag, "rate")) {
      for (size_t i = 0; i + 4 <= size && rateAt < FFrames.size(); i += 4) FFrames[rateAt++]->FRate = U32(c + i);
    } else if (Is(tag, "seq ")) {
      for (size_t i = 0; i + 4 <= size && seqAt < FFrames.size(); i += 4)
        FFrames[seqAt++]->FSeq = Integer(std::min<Cardinal>(U32(c + i), 0x7FFFFFFF));
    } else if (Is(tag, "LIST") && size >= 4 && Is(c, "fram")) {
      Integer number = 0;
      for (size_t p = 4; p + 8 <= size;) {
        const Cardinal len = U32(c + p + 4);
        if (len > size - p - 8) break;
        if (Is(c + p, "icon")) {
          TIconFrame loaded(-1, FHeader.Rate);
          loaded.FTag.Size = len;
          std::memcpy(loaded.FTag.Id.data(), c + p, 4);
          if (!LoadIcon(loaded, c + p + 8, len)) break;  // a damaged icon ends the list
          bool taken = false;
          for (auto& f : FFrames)
            if (f->FSeq == number) {
              const Integer seq = f->FSeq;
              const Cardinal rate = f->FRate;
              f->Assign(&loaded);
              f->FSeq = seq, f->FRate = rate;
              taken = true;
            }
          if (!taken) {
            auto f = std::make_unique<TIconFrame>(-1, FHeader.Rate);
            f->Assign(&loaded);
            f->FSeq = -1;
            FFrames.push_back(std::move(f));
          }
          ++number;
        }
        p += 8 + size_t(len) + (len & 1);
      }
    } else if (Is(tag, "LIST") && size >= 4 && Is(c, "INFO")) {
      for (size_t p = 4; p + 8 <= size;) {
        const Cardinal len = U32(c + p + 4);
        if (len > size - p - 8) break;
        if (Is(c + p, "INAM")) FTitle = Text(c + p + 8, len);
        else if (Is(c + p, "IART")) FCreator = Text(c + p + 8, len);
        p += 8 + size_t(len) + (len & 1);
      }
    }
    pos = body + size_t(size) + (size & 1);
  }
  FFrames.erase(std::remove_if(FFrames.begin(), FFrames.end(), [](const auto& f) { return !f->FIcon; }),
                FFrames.end());
  FHeader.Frames = Cardinal(FFrames.size());
  if (FFrames.empty()) ReadFailure();
}

void TAnimatedCursorImage::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
    return;
  }
  if (auto* a = dynamic_cast<TAnimatedCursorImage*>(Source)) {
    if (a == this) return;
    Clear();
    FHeader = a->FHeader;
    FTitle = a->FTitle;
    FCreator = a->FCreator;
    FOriginalColors = a->FOriginalColors;
    for (const auto& f : a->FFrames) {
      auto c = std::make_unique<TIconFrame>(f->FSeq, f->FRate);
      c->Assign(f.get());
      FFrames.push_back(std::move(c));
    }
    return;
  }
  TPersistent::Assign(Source);
}

void TAnimatedCursorImage::AssignTo(TPersistent* Dest) {
  if (auto* i = dynamic_cast<TIcon*>(Dest)) {
    i->Assign(FFrames.empty() ? nullptr : FFrames[0]->FIcon.get());
    return;
  }
  if (auto* b = dynamic_cast<TBitmap*>(Dest)) {
    AssignToBitmap(b, b->GetCanvas()->GetBrush()->GetColor(), true, false);
    return;
  }
  if (auto* l = dynamic_cast<TIconList*>(Dest)) {
    l->BeginUpdate();
    try {
      l->Clear();
      for (const auto& f : FFrames) l->Add(f->FIcon.get());
    } catch (...) {
      l->EndUpdate();
      throw;
    }
    l->EndUpdate();
    return;
  }
  TPersistent::AssignTo(Dest);
}

void TAnimatedCursorImage::AssignToBitmap(TBitmap* Bitmap, TColor BackColor, bool DecreaseColors, bool Vertical) {
  Integer w = 0, h = 0;
  for (const auto& f : FFrames) w = std::max(w, f->FIcon->GetWidth()), h = std::max(h, f->FIcon->GetHeight());
  const Integer count = GetFrameCount();
  auto strip = std::make_unique<TBitmap>(Vertical ? w : w * count, Vertical ? h * count : h, pf24bit);
  TCanvas* c = strip->GetCanvas();
  c->GetBrush()->SetColor(BackColor);
  c->FillRect(TRect{0, 0, strip->GetWidth(), strip->GetHeight()});
  for (Integer i = 0; i < count; ++i) {
    TIcon* icon = FFrames[size_t(i)]->FIcon.get();
    const Integer x = Vertical ? 0 : i * w, y = Vertical ? i * h : 0;
    c->Draw(x, y, icon);
  }
  if (DecreaseColors && !strip->GetEmpty()) ReduceBitmapColors(strip.get(), std::max(FOriginalColors, 16));
  Bitmap->Assign(strip.get());
}
