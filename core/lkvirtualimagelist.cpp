#include "core/lkvirtualimagelist.h"

#include <algorithm>
#include <cstring>

#include "core/lkbitmap.h"

namespace {

constexpr Int64 kMaxBlock = 0x7FFFFFFF;


Integer RowLen(Integer Width, Integer Bits) { return LKBitmapRowLen(Width, Bits, 32); }

// Copies Height rows between a bottom-up block and Bitmap, Len bytes each.
void CopyRows(TLKBitmap* Bitmap, Byte* Block, Integer Height, Integer BlockRowLen, bool ToBlock) {
  const Integer len = std::min(BlockRowLen, Bitmap->GetRowLen());
  for (Integer y = 0; y < Height; ++y) {
    Byte* row = static_cast<Byte*>(Bitmap->GetScanLine(Height - 1 - y));
    Byte* stored = Block + static_cast<Int64>(y) * BlockRowLen;
    if (ToBlock) {
      std::memcpy(stored, row, static_cast<size_t>(len));
      if (BlockRowLen > len) std::memset(stored + len, 0, static_cast<size_t>(BlockRowLen - len));
    } else {
      std::memcpy(row, stored, static_cast<size_t>(len));
    }
  }
}

}  // namespace

TLKVirtualImageList::TLKVirtualImageList(const String& Prefix) : Prefix(Prefix) { ReAllocate(); }

TLKVirtualImageList::~TLKVirtualImageList() { FreeBits(); }

Int64 TLKVirtualImageList::BlockSize(Integer Width, Integer Height, Integer Bits, bool HasAlpha) {
  if (Width <= 0 || Height <= 0) return 0;
  Int64 size = static_cast<Int64>(RowLen(Width, Bits)) * Height;
  if (HasAlpha) size += static_cast<Int64>(RowLen(Width, 8)) * Height + 1;
  return size;
}

void TLKVirtualImageList::ReAllocate() {
  FreeBlocks.clear();
  if (File.IsAllocated()) {
    while (!Mapped.empty()) DiscardImage(Mapped.front());
    File.ReAllocateFile(FileSize);
  } else {
    FreeBits();
    File.AllocateFile(FileSize, Prefix);
  }
}

void TLKVirtualImageList::SetMappedLimit(Integer Value) {
  MappedLimit = std::max<Integer>(Value, 1);
  while (MappedCount > MappedLimit && !Mapped.empty()) DiscardImage(Mapped.front());
}

Integer TLKVirtualImageList::GetFreeBlockSize(Integer Index) const {
  return Index >= 0 && Index < GetFreeBlockCount() ? FreeBlocks[static_cast<size_t>(Index)].Size : 0;
}

Int64 TLKVirtualImageList::GetMemoryInUse() const {
  Int64 total = 0;
  for (const TLKVirtualImageInfo* image : Mapped) total += image->MappedLength;
  for (const HandOut& h : HandOuts)
    total += static_cast<Int64>(h.Bitmap->GetRowLen()) * h.Bitmap->GetHeight();
  return total;
}

void TLKVirtualImageList::PrepareSpaceFor(Integer Width, Integer Height, Integer BitsPerPixel, Integer Count) {
  if (Width <= 0 || Height <= 0 || Count <= 0) return;
  FileSize += static_cast<Int64>(RowLen(Width, BitsPerPixel)) * Height * Count;
  ReAllocate();
}

bool TLKVirtualImageList::MapImage(TLKVirtualImageInfo* Image, TLKDataAccess Access) {
  if (Image->Data != nullptr && !(Image->Access == Access)) DiscardImage(Image);
  if (Image->Data == nullptr) {
    if (Image->MappedLength <= 0 || !File.IsAllocated()) return false;
    while (MappedCount + 1 > MappedLimit && !Mapped.empty()) DiscardImage(Mapped.front());
    Image->Data = File.Map(Image->Offset, Image->MappedLength, Access);
    if (Image->Data == nullptr) return false;
    ++MappedCount;
    Mapped.push_back(Image);
  } else {
    auto it = std::find(Mapped.begin(), Mapped.end(), Image);
    if (it != Mapped.end()) {
      Mapped.erase(it);
      Mapped.push_back(Image);
    }
  }
  Image->Access = Access;
  return true;
}

void TLKVirtualImageList::DiscardImage(TLKVirtualImageInfo* Image) {
  if (Image->Data == nullptr) return;
  auto it = std::find(Mapped.begin(), Mapped.end(), Image);
  if (it != Mapped.end()) Mapped.erase(it);
  --MappedCount;
  void* data = Image->Data;
  Image->Data = nullptr;
  File.UnMap(data);
}

void TLKVirtualImageList::Allocate(TLKVirtualImageInfo* Image, Integer Width, Integer Height, Integer Bits,
                                   TLKPixelFormat Format, bool HasAlpha) {
  const Int64 size = BlockSize(Width, Height, Bits, HasAlpha);
  bool reused = false;
  Int64 offset = EndOfUsedSpace;
  if (size > 0) {
    for (size_t i = 0; i < FreeBlocks.size(); ++i) {
      if (FreeBlocks[i].Size >= size) {
        offset = FreeBlocks[i].Offset;
        FreeBlocks.erase(FreeBlocks.begin() + static_cast<std::ptrdiff_t>(i));
        reused = true;
        break;
      }
    }
    if (!reused) {
      // The step adapts so that one large picture never needs a growth per row.
      if (GrowthStep < size) GrowthStep = static_cast<Integer>(std::min<Int64>(LastAllocationSize + size, kMaxBlock));
      LastAllocationSize = static_cast<Integer>(std::min<Int64>(size, kMaxBlock));
      if (EndOfUsedSpace + size > FileSize) {
        FileSize += GrowthStep;
        if (EndOfUsedSpace + size > FileSize) FileSize = EndOfUsedSpace + size;
        ReAllocate();
      }
      offset = EndOfUsedSpace;
    }
  }
  Image->Offset = offset;
  Image->Size = size;
  Image->MappedLength = size;
  Image->Data = nullptr;
  Image->HandedOut = false;
  Image->OriginalWidth = Width;
  Image->OriginalHeight = Height;
  Image->Width = Width;
  Image->Height = Height;
  Image->HasAlpha = HasAlpha;
  Image->BitsPerPixel = Bits;
  Image->PixelFormat = Format;
  Image->Access = TLKDataAccess{lkdWrite};
  const bool mapped = MapImage(Image, TLKDataAccess{lkdWrite});
  if (!reused && mapped) EndOfUsedSpace = offset + size;
}

TLKVirtualImageInfo* TLKVirtualImageList::AddBlankImage(Integer Width, Integer Height, Integer BitsPerPixel,
                                                        TLKPixelFormat PixelFormat, bool HasAlpha) {
  auto* image = new TLKVirtualImageInfo();
  try {
    Allocate(image, Width, Height, BitsPerPixel, PixelFormat, HasAlpha);
  } catch (...) {
    DiscardImage(image);
    delete image;
    throw;
  }
  Images.push_back(image);
  return image;
}

void TLKVirtualImageList::WriteBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap) {
  if (Image->Data == nullptr) return;
  Byte* block = static_cast<Byte*>(Image->Data);
  const Integer h = Image->Height;
  const Integer rowLen = RowLen(Image->Width, Image->BitsPerPixel);
  CopyRows(Bitmap, block, h, rowLen, true);
  if (Image->HasAlpha && Bitmap->GetHasAlphaChannel()) {
    TLKBitmap* alpha = Bitmap->GetAlphaChannel();
    Byte* flag = block + static_cast<Int64>(rowLen) * h;
    *flag = alpha->GetFull() ? 1 : 0;
    CopyRows(alpha, flag + 1, h, RowLen(Image->Width, 8), true);
  }
}

void TLKVirtualImageList::ReadInto(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap) {
  if (Image->Data == nullptr) return;
  Byte* block = static_cast<Byte*>(Image->Data);
  const Integer h = Image->Height;
  const Integer rowLen = RowLen(Image->Width, Image->BitsPerPixel);
  CopyRows(Bitmap, block, h, rowLen, false);
  Byte* flag = block + static_cast<Int64>(rowLen) * h;
  if (!Image->HasAlpha || *flag != 0) {
    Bitmap->RemoveAlphaChannel();
    return;
  }
  TLKBitmap* alpha = Bitmap->GetAlphaChannel();
  alpha->SetFull(false);
  CopyRows(alpha, flag + 1, h, RowLen(Image->Width, 8), false);
}

TLKVirtualImageInfo* TLKVirtualImageList::AddLKBitmap(TLKBitmap* Bitmap) {
  TLKVirtualImageInfo* image = AddBlankImage(Bitmap->GetWidth(), Bitmap->GetHeight(), Bitmap->GetBitCount(),
                                             Bitmap->GetPixelFormat(), Bitmap->GetHasAlphaChannel());
  WriteBitmap(image, Bitmap);
  return image;
}

TLKVirtualImageInfo* TLKVirtualImageList::AddBitmap(TBitmap* Bitmap) {
  TLKBitmap wrap;
  wrap.EncapsulateTBitmap(Bitmap, true);
  return AddLKBitmap(&wrap);
}

TLKVirtualImageInfo* TLKVirtualImageList::AddBitmapRect(TBitmap* Bitmap, Integer X, Integer Y, Integer Width,
                                                        Integer Height) {
  TLKBitmap wrap;
  wrap.EncapsulateTBitmap(Bitmap, true);
  TLKBitmap part(std::max<Integer>(Width, 1), std::max<Integer>(Height, 1), wrap.GetPixelFormat());
  for (Integer i = 0; i < wrap.GetPaletteLen(); ++i) part.SetPalette(i, wrap.GetPalette(i));
  wrap.CopyRectTo(&part, X, Y, 0, 0, Width, Height);
  TLKVirtualImageInfo* image = AddBlankImage(Width, Height, part.GetBitCount(), part.GetPixelFormat(), false);
  WriteBitmap(image, &part);
  return image;
}

TLKVirtualImageList::HandOut* TLKVirtualImageList::FindHandOut(TLKVirtualImageInfo* Image) {
  for (HandOut& h : HandOuts)
    if (h.Image == Image) return &h;
  return nullptr;
}

TLKVirtualImageInfo* TLKVirtualImageList::GetImage(Integer Index) const {
  return Index >= 0 && Index < GetImageCount() ? Images[static_cast<size_t>(Index)] : nullptr;
}

TLKBitmap* TLKVirtualImageList::GetBitmap(TLKVirtualImageInfo* Image) {
  if (!MapImage(Image, TLKDataAccess{lkdRead})) return nullptr;
  HandOut* h = FindHandOut(Image);
  if (h == nullptr) {
    auto* bitmap = new TLKBitmap();
    HandOuts.push_back({Image, bitmap, 1});
    DirectCopyToBitmap(Image, bitmap);
    h = &HandOuts.back();
  } else {
    ++h->Count;
  }
  Image->HandedOut = true;
  return h->Bitmap;
}

void TLKVirtualImageList::ReleaseBitmap(TLKBitmap* Bitmap, bool CopyBack) {
  if (Bitmap == nullptr) return;
  auto it = std::find_if(HandOuts.begin(), HandOuts.end(), [&](const HandOut& h) { return h.Bitmap == Bitmap; });
  if (it == HandOuts.end()) return;
  if (Bitmap->GetLocation() == lkTBitmap) Bitmap->UpdateFromTBitmap();
  --it->Count;
  TLKVirtualImageInfo* image = it->Image;
  if (CopyBack) CopyFromLKBitmap(image, Bitmap);
  it = std::find_if(HandOuts.begin(), HandOuts.end(), [&](const HandOut& h) { return h.Bitmap == Bitmap; });
  if (it != HandOuts.end() && it->Count <= 0) {
    image->HandedOut = false;
    delete it->Bitmap;
    HandOuts.erase(it);
  }
}

void TLKVirtualImageList::ReleaseBitmapByImage(TLKVirtualImageInfo* Image, bool CopyBack) {
  if (HandOut* h = FindHandOut(Image)) ReleaseBitmap(h->Bitmap, CopyBack);
}

void TLKVirtualImageList::DirectCopyToBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap) {
  if (!MapImage(Image, TLKDataAccess{lkdRead})) return;
  // The record's own format: a 24-bit picture only when the image is one,
  // so grey and palette images come back with their rows intact.
  if (Bitmap->GetPixelFormat() != Image->PixelFormat || Bitmap->GetWidth() != Image->Width ||
      Bitmap->GetHeight() != Image->Height)
    Bitmap->Allocate(Image->Width, Image->Height, Image->PixelFormat);
  ReadInto(Image, Bitmap);
}

void TLKVirtualImageList::CopyToLKBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap) {
  if (!MapImage(Image, TLKDataAccess{lkdRead})) return;
  if (HandOut* h = FindHandOut(Image)) {
    Bitmap->Assign(h->Bitmap);
    return;
  }
  DirectCopyToBitmap(Image, Bitmap);
}

void TLKVirtualImageList::CopyFromLKBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap) {
  MapImage(Image, TLKDataAccess{lkdRead, lkdWrite});
  if (Bitmap->GetWidth() != Image->Width || Bitmap->GetHeight() != Image->Height ||
      Bitmap->GetBitCount() != Image->BitsPerPixel || Bitmap->GetHasAlphaChannel() != Image->HasAlpha) {
    DiscardImage(Image);
    Allocate(Image, Bitmap->GetWidth(), Bitmap->GetHeight(), Bitmap->GetBitCount(), Bitmap->GetPixelFormat(),
             Bitmap->GetHasAlphaChannel());
  }
  Image->PixelFormat = Bitmap->GetPixelFormat();
  WriteBitmap(Image, Bitmap);
}

Integer TLKVirtualImageList::GetImageWidth(TLKVirtualImageInfo* Image) {
  HandOut* h = FindHandOut(Image);
  return h != nullptr ? h->Bitmap->GetWidth() : Image->Width;
}

Integer TLKVirtualImageList::GetImageHeight(TLKVirtualImageInfo* Image) {
  HandOut* h = FindHandOut(Image);
  return h != nullptr ? h->Bitmap->GetHeight() : Image->Height;
}

Integer TLKVirtualImageList::GetImageBitCount(TLKVirtualImageInfo* Image) {
  HandOut* h = FindHandOut(Image);
  return h != nullptr ? h->Bitmap->GetBitCount() : Image->BitsPerPixel;
}

TLKPixelFormat TLKVirtualImageList::GetImagePixelFormat(TLKVirtualImageInfo* Image) {
  HandOut* h = FindHandOut(Image);
  return h != nullptr ? h->Bitmap->GetPixelFormat() : Image->PixelFormat;
}

void* TLKVirtualImageList::GetImageBits(TLKVirtualImageInfo* Image) {
  if (Image->HandedOut) {
    HandOut* h = FindHandOut(Image);
    return h != nullptr ? h->Bitmap->GetScanLine(h->Bitmap->GetHeight() - 1) : nullptr;
  }
  return MapImage(Image, TLKDataAccess{lkdRead}) ? Image->Data : nullptr;
}

void* TLKVirtualImageList::GetAlphaBits(TLKVirtualImageInfo* Image) {
  if (!Image->HasAlpha) return nullptr;
  if (Image->HandedOut) {
    HandOut* h = FindHandOut(Image);
    if (h == nullptr || !h->Bitmap->GetHasAlphaChannel()) return nullptr;
    TLKBitmap* alpha = h->Bitmap->GetAlphaChannel();
    return alpha->GetScanLine(alpha->GetHeight() - 1);
  }
  if (!MapImage(Image, TLKDataAccess{lkdRead})) return nullptr;
  Byte* flag = static_cast<Byte*>(Image->Data) + static_cast<Int64>(RowLen(Image->Width, Image->BitsPerPixel)) *
                                                     Image->Height;
  return *flag == 0 ? flag + 1 : nullptr;
}

void TLKVirtualImageList::RemoveImage(TLKVirtualImageInfo* Image) {
  auto h = std::find_if(HandOuts.begin(), HandOuts.end(), [&](const HandOut& r) { return r.Image == Image; });
  if (h != HandOuts.end()) {
    delete h->Bitmap;
    HandOuts.erase(h);
  }
  DiscardImage(Image);
  auto it = std::find(Images.begin(), Images.end(), Image);
  if (it != Images.end()) Images.erase(it);
  delete Image;
}

void TLKVirtualImageList::Delete(TLKVirtualImageInfo* Image) {
  if (Image->MappedLength > 0)
    FreeBlocks.push_back({Image->Offset, static_cast<Integer>(std::min<Int64>(Image->MappedLength, kMaxBlock))});
  RemoveImage(Image);
  if (Images.empty()) {
    FileSize = GrowthStep;
    EndOfUsedSpace = 0;
    ReAllocate();
  }
}

void TLKVirtualImageList::FreeBits() {
  while (!Images.empty()) RemoveImage(Images.back());
  Mapped.clear();
  MappedCount = 0;
  FreeBlocks.clear();
  for (HandOut& h : HandOuts) delete h.Bitmap;
  HandOuts.clear();
  File.DeAllocate();
  EndOfUsedSpace = 0;
}
