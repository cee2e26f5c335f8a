#include "core/lkbitmap.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/lkbitmap_internal.h"
#include "platform/graphics.h"

namespace {

// Largest memory block a buffer asks for: beyond this no machine holds the
// pixels, and the sanitizers' allocators abort instead of failing.
constexpr Int64 kMaxMemoryBlock = Int64{1} << 40;

using lkinternal::AccessNarrowing;
using lkinternal::AccessScope;

}  // namespace

// ---------------------------------------------------------------------------
// Construction

void TLKBitmap::InitDefaults() {
  Access = TLKDataAccess{lkdRead, lkdWrite};
  FileBuffer = new TLKFileBuffer();
  if (LKDefMinFileSize != -1) {
    MinFileSize = LKDefMinFileSize;
  } else {
    const Integer freeMemory = LKGetFreeMemory();
    MinFileSize = freeMemory != 0 ? freeMemory / 2 : 33554432;
  }
}

TLKBitmap::TLKBitmap() { InitDefaults(); }

TLKBitmap::TLKBitmap(Integer width, Integer height, TLKPixelFormat format) {
  InitDefaults();
  try {
    Allocate(width, height, format);
  } catch (...) {
    FreeImage(true);
    delete FileBuffer;
    throw;
  }
}

TLKBitmap::TLKBitmap(Integer width, Integer height, TLKLocation location) {
  InitDefaults();
  IsAlphaChannel = true;
  Location = location == lkTBitmap ? lkMemory : location;
  try {
    Allocate(width, height, lk8g);
    FillAllBytes(255);
  } catch (...) {
    FreeImage(true);
    delete FileBuffer;
    throw;
  }
  Full = true;
}

TLKBitmap::~TLKBitmap() {
  FreeImage(true);
  delete FileBuffer;
}

// ---------------------------------------------------------------------------
// Allocation

void TLKBitmap::Allocate(Integer width, Integer height, TLKPixelFormat format) {
  if (!ReallocPending && width == Width && height == Height && format == PixelFormat) return;
  if (VclBitmapEncapsulated) {
    // The caller's TBitmap stays and is resized below; what described the
    // old picture goes.
    RemoveAlphaChannel();
    delete[] Palette;
    Palette = nullptr;
    PaletteLen = 0;
    FreeBitmapScanlines();
  } else {
    FreeImage(true);
  }
  Width = width;
  Height = height;
  PixelFormat = format;
  AllocateImage();
  ReallocPending = false;
}

void TLKBitmap::AllocateImage() {
  if (Width <= 0 || Height <= 0 || PixelFormat == lknull || LKPixelFormatBitCount(PixelFormat) == 0)
    return;
  try {
    if (PixelFormat == lk8p) {
      if (!Palette) Palette = new TRGB[256]();
      PaletteLen = 256;
    }
    BitCount = LKPixelFormatBitCount(PixelFormat);
    ChannelCount = LKPixelFormatChannelCount(PixelFormat);
    RowLen = LKBitmapRowLen(Width, BitCount, BitAlignment);
    const Int64 size = static_cast<Int64>(RowLen) * Height;

    // The size rule: small pictures stay in (or move to) memory, large ones
    // go to a temporary file; a size equal to the threshold keeps the request.
    if (Location == lkFile && size < MinFileSize) Location = lkMemory;
    if (Location == lkMemory && size > MinFileSize) Location = lkFile;

    if (Location == lkFile && !FileBuffer->AllocateFile(size, "IMG")) Location = lkMemory;

    if (Location == lkMemory) {
      if (size + 32 > kMaxMemoryBlock) throw EOutOfMemory("Out of memory");
      const auto bytes = static_cast<size_t>(size + 32);
      switch (MemoryAllocator) {
        case lkmaVCL:
          MemoryBlock = std::malloc(bytes);
          break;
        case lkmaSystem:
          MemoryBlock = LKSystemAlloc(bytes);
          break;
        case lkmaAuto:
          MemoryBlock = LKAutoAlloc(bytes);
          break;
      }
      if (!MemoryBlock) throw EOutOfMemory("Out of memory");
      blockAllocator_ = MemoryAllocator;
      const auto addr = reinterpret_cast<std::uintptr_t>(MemoryBlock);
      Memory = reinterpret_cast<Byte*>((addr + 31) & ~std::uintptr_t{31});
    }

    if (Location == lkTBitmap) AllocateVclImage();
  } catch (...) {
    // A buffer without pixels must not report a size: release everything
    // and keep only the format that was asked for.
    const TLKPixelFormat format = PixelFormat;
    FreeImage(false);
    PixelFormat = format;
    throw;
  }
  Full = false;
}

void TLKBitmap::FreeMemoryBlock() {
  if (MemoryBlock && !MemoryEncapsulated) {
    switch (blockAllocator_) {
      case lkmaVCL:
        std::free(MemoryBlock);
        break;
      case lkmaSystem:
        LKSystemFree(MemoryBlock);
        break;
      case lkmaAuto:
        LKAutoFree(MemoryBlock);
        break;
    }
  }
  MemoryBlock = nullptr;
  Memory = nullptr;
}

void TLKBitmap::FreeImage(bool withAlpha) {
  if (withAlpha && AlphaChannel) {
    delete AlphaChannel;
    AlphaChannel = nullptr;
  }
  delete[] Palette;
  Palette = nullptr;
  // The temporary file is deleted next, so mapped rows are dropped with it
  // instead of being written back first.
  MappedRow = nullptr;
  MappedRows.clear();
  FileBuffer->DeAllocate();
  FreeMemoryBlock();
  FreeVclBitmap();
  FreeBitmapScanlines();
  PaletteLen = 0;
  Width = 0;
  Height = 0;
  RowLen = 0;
  BitCount = 0;
  ChannelCount = 0;
  Full = false;
  VclBitmapEncapsulated = false;
  MemoryEncapsulated = false;
}

bool TLKBitmap::IsEmpty() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return Width == 0 || Height == 0 || RowLen == 0 || BitCount == 0;
}

// ---------------------------------------------------------------------------
// Row access

void TLKBitmap::ReleaseMappedRow() {
  if (!MappedRow) return;
  void* row = MappedRow;
  MappedRow = nullptr;
  FileBuffer->UnMap(row);
}

void* TLKBitmap::GetScanLine(Integer y) {
  switch (Location) {
    case lkMemory:
      return Memory + static_cast<std::ptrdiff_t>(RowLen) * (Height - y - 1);
    case lkFile:
      // The same row again, with nothing unmapped or changed in the file
      // since it was mapped: releasing and re-reading it would give the
      // same bytes, so it is handed out as it is.
      if (MappedRow && y == mappedY_ && Access == mappedAccess_ &&
          FileBuffer->GetChangeCount() == mappedChange_)
        return MappedRow;
      ReleaseMappedRow();
      MappedRow = FileBuffer->Map(static_cast<Int64>(y) * RowLen, RowLen, Access);
      mappedY_ = y;
      mappedAccess_ = Access;
      mappedChange_ = FileBuffer->GetChangeCount();
      return MappedRow;
    case lkTBitmap:
      return BitmapScanlines[static_cast<size_t>(y)];
  }
  return nullptr;
}

void* TLKBitmap::GetRow(Integer y) {
  if (Location != lkFile) return GetScanLine(y);
  void* row = FileBuffer->Map(static_cast<Int64>(y) * RowLen, RowLen, Access);
  try {
    MappedRows.push_back(row);
  } catch (...) {
    FileBuffer->UnMap(row);
    throw;
  }
  return row;
}

void TLKBitmap::FreeRow(Integer index) {
  if (Location != lkFile || index < 0 || index >= static_cast<Integer>(MappedRows.size())) return;
  void* row = MappedRows[static_cast<size_t>(index)];
  MappedRows.erase(MappedRows.begin() + index);
  FileBuffer->UnMap(row);
}

void TLKBitmap::FreeAllMaps() {
  ReleaseMappedRow();
  while (!MappedRows.empty()) {
    void* row = MappedRows.back();
    MappedRows.pop_back();
    FileBuffer->UnMap(row);
  }
  FileBuffer->Flush();
}

// ---------------------------------------------------------------------------
// Accessors

Integer TLKBitmap::GetWidth() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return Width;
}

Integer TLKBitmap::GetHeight() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return Height;
}

Integer TLKBitmap::GetBitCount() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return BitCount;
}

Integer TLKBitmap::GetRowLen() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return RowLen;
}

TLKPixelFormat TLKBitmap::GetPixelFormat() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return PixelFormat;
}

Integer TLKBitmap::GetChannelCount() {
  if (Location == lkTBitmap) UpdateFromTBitmap();
  return ChannelCount;
}

TRGB TLKBitmap::GetPalette(Integer index) {
  if (Palette && index >= 0 && index < PaletteLen) return Palette[index];
  return TRGB{0, 0, 0};
}

void TLKBitmap::SetPalette(Integer index, TRGB value) {
  if (!Palette || index < 0 || index >= PaletteLen) return;
  Palette[index] = value;
  UpdateTBitmapPalette();
}

Integer TLKBitmap::GetPaletteLen() { return PaletteLen; }

void TLKBitmap::SetChannelOffset(Integer i, Integer value) {
  if (i < 0 || i >= 4) return;
  ChannelOffset[i] = value;
  ChannelOffsetEnabled = ChannelOffset[0] != 0 || ChannelOffset[1] != 0 || ChannelOffset[2] != 0 ||
                         ChannelOffset[3] != 0;
}

// ---------------------------------------------------------------------------
// Whole-image copies and moves

void TLKBitmap::FillAllBytes(Byte value) {
  if (Width <= 0 || Height <= 0 || RowLen <= 0) return;
  if (Location == lkMemory) {
    std::memset(Memory, value, static_cast<size_t>(RowLen) * static_cast<size_t>(Height));
    return;
  }
  AccessScope writeOnly(this, TLKDataAccess{lkdWrite});
  for (Integer y = 0; y < Height; ++y) std::memset(GetScanLine(y), value, static_cast<size_t>(RowLen));
}

void TLKBitmap::CopyRowsFrom(TLKBitmap* source) {
  const Integer rows = std::min(Height, source->Height);
  const Integer len = std::min(RowLen, source->RowLen);
  if (rows <= 0 || len <= 0) return;
  if (PixelFormat == lk8g && source->PixelFormat == lk16g) {
    // TBitmap storage holds 16-bit grey as 8 bits: keep the high bytes.
    AccessNarrowing narrow(source, this);
    const Integer w = std::min(Width, source->Width);
    for (Integer y = 0; y < rows; ++y) {
      auto* dst = static_cast<Byte*>(GetScanLine(y));
      const auto* src = static_cast<const Byte*>(source->GetScanLine(y));
      for (Integer x = 0; x < w; ++x) dst[x] = src[2 * x + 1];
    }
    return;
  }
  if (Location == lkMemory && source->Location == lkMemory && RowLen == source->RowLen &&
      Height == source->Height) {
    std::memcpy(Memory, source->Memory, static_cast<size_t>(RowLen) * static_cast<size_t>(Height));
    return;
  }
  AccessNarrowing narrow(source, this);
  for (Integer y = 0; y < rows; ++y) {
    void* dst = GetScanLine(y);
    std::memcpy(dst, source->GetScanLine(y), static_cast<size_t>(len));
  }
}

void TLKBitmap::CopyPaletteFrom(TLKBitmap* source) {
  if (source->PaletteLen <= 0 || !source->Palette) return;
  if (!Palette) Palette = new TRGB[256]();
  PaletteLen = std::min(source->PaletteLen, 256);
  std::memcpy(Palette, source->Palette, sizeof(TRGB) * static_cast<size_t>(PaletteLen));
  UpdateTBitmapPalette();
}

void TLKBitmap::Assign(TObject* source) {
  ReallocPending = true;
  if (auto* vcl = dynamic_cast<TBitmap*>(source)) {
    CopyFromTBitmap(vcl);
    return;
  }
  auto* src = dynamic_cast<TLKBitmap*>(source);
  if (!src || src == this) return;

  // Our own alpha channel as the source: take it out of our hands first,
  // so freeing our image does not free the source.
  std::unique_ptr<TLKBitmap> ownedSource;
  if (src == AlphaChannel) {
    ownedSource.reset(AlphaChannel);
    AlphaChannel = nullptr;
  }

  if (Location == lkTBitmap) {
    if (src->IsEmpty()) return;
    AssignVclImage(src, true);
  } else {
    FreeImage(true);
    Width = src->GetWidth();
    Height = src->GetHeight();
    PixelFormat = src->GetPixelFormat();
    BitAlignment = src->BitAlignment;
    Full = src->Full;
    AllocateImage();
  }

  if (Location == lkFile && src->Location == lkFile && RowLen == src->RowLen && Height == src->Height &&
      FileBuffer->IsAllocated() && src->FileBuffer->IsAllocated()) {
    FreeAllMaps();
    src->FreeAllMaps();
    src->FileBuffer->CopyTo(FileBuffer, 0, static_cast<Int64>(RowLen) * Height);
  } else {
    CopyRowsFrom(src);
  }

  if (!IsAlphaChannel) {
    if (src->AlphaChannel) {
      if (!AlphaChannel) {
        AlphaChannel = new TLKBitmap();
        AlphaChannel->IsAlphaChannel = true;
        AlphaChannel->Location = Location == lkTBitmap ? lkMemory : Location;
      }
      AlphaChannel->Assign(src->AlphaChannel);
    } else {
      RemoveAlphaChannel();
    }
  }
  CopyPaletteFrom(src);
  DitherMethod = src->DitherMethod;
}

void TLKBitmap::AssignImage(TLKBitmap* source) {
  if (!source || source == this || source->IsEmpty()) return;
  ReallocPending = true;
  if (Location == lkTBitmap) {
    AssignVclImage(source, false);
  } else {
    FreeImage(false);
    Width = source->GetWidth();
    Height = source->GetHeight();
    PixelFormat = source->GetPixelFormat();
    AllocateImage();
  }
  // A whole-file copy only when both files have the same row layout;
  // otherwise rows are copied one by one.
  if (Location == lkFile && source->Location == lkFile && RowLen == source->RowLen &&
      Height == source->Height && FileBuffer->IsAllocated() && source->FileBuffer->IsAllocated()) {
    FreeAllMaps();
    source->FreeAllMaps();
    source->FileBuffer->CopyTo(FileBuffer, 0, static_cast<Int64>(RowLen) * Height);
  } else {
    CopyRowsFrom(source);
  }
  CopyPaletteFrom(source);
  Full = false;
}

void TLKBitmap::SwitchTo(TLKBitmap* dest) {
  if (!dest || dest == this || dest == AlphaChannel || dest->AlphaChannel == this) return;
  dest->FreeImage(true);

  dest->Width = Width;
  dest->Height = Height;
  dest->BitCount = BitCount;
  dest->ChannelCount = ChannelCount;
  dest->MappedRow = MappedRow;
  dest->mappedY_ = mappedY_;
  dest->mappedAccess_ = mappedAccess_;
  dest->mappedChange_ = mappedChange_;
  dest->RowLen = RowLen;
  dest->PixelFormat = PixelFormat;
  dest->Palette = Palette;
  dest->PaletteLen = PaletteLen;
  dest->AlphaChannel = AlphaChannel;
  dest->IsAlphaChannel = IsAlphaChannel;
  dest->Memory = Memory;
  dest->MemoryBlock = MemoryBlock;
  dest->blockAllocator_ = blockAllocator_;
  dest->VclBitmap = VclBitmap;
  dest->Location = Location;
  dest->Full = Full;
  dest->VclBitmapEncapsulated = VclBitmapEncapsulated;
  dest->MemoryEncapsulated = MemoryEncapsulated;
  dest->BitmapScanlines = std::move(BitmapScanlines);
  dest->DitherMethod = DitherMethod;
  dest->BitAlignment = BitAlignment;
  dest->MemoryAllocator = MemoryAllocator;
  delete dest->FileBuffer;
  dest->FileBuffer = FileBuffer;
  dest->MappedRows = std::move(MappedRows);

  FileBuffer = new TLKFileBuffer();
  MappedRows = {};
  BitmapScanlines = {};
  MappedRow = nullptr;
  Width = 0;
  Height = 0;
  BitCount = 0;
  ChannelCount = 0;
  RowLen = 0;
  PixelFormat = lknull;
  Palette = nullptr;
  PaletteLen = 0;
  AlphaChannel = nullptr;
  Memory = nullptr;
  MemoryBlock = nullptr;
  VclBitmap = nullptr;
  Full = false;
  VclBitmapEncapsulated = false;
  MemoryEncapsulated = false;
  ReallocPending = true;
}

// ---------------------------------------------------------------------------
// Alpha channel

TLKBitmap* TLKBitmap::GetAlphaChannel() {
  if (IsAlphaChannel) return nullptr;
  if (!AlphaChannel) AlphaChannel = new TLKBitmap(GetWidth(), GetHeight(), Location);
  return AlphaChannel;
}

void TLKBitmap::RemoveAlphaChannel() {
  if (IsAlphaChannel) return;
  delete AlphaChannel;
  AlphaChannel = nullptr;
}
