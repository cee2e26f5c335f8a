// Many small pictures kept in one temporary file instead of memory: the
// thumbnails of the thumbnail view and their display copies.
//
// Design
// - Each image occupies one contiguous block of a TLKFileBuffer: its rows
//   bottom-up (LKBitmapRowLen(width, bits, 32) bytes each) and, when it has
//   alpha, one byte holding the alpha channel's "fully opaque" flag followed
//   by the alpha rows, bottom-up.
// - At most GetMappedLimit() blocks are in memory at once; mapping one more
//   writes the least recently used one back and drops it. So memory stays
//   bounded whatever the number of images.
// - Space of deleted images is reused first fit (a reused block is taken
//   whole). Growing the file forgets the free blocks.
// - Callers hold an image's record (TLKVirtualImageInfo*) as its handle; it
//   stays valid until Delete or the list's destruction.
// - GetBitmap lends a reference-counted TLKBitmap copy; ReleaseBitmap with
//   copy back writes the caller's changes into the file.
//
// Threads: none of its own. A list belongs to one thread at a time; the
// thumbnail view guards its lists with its lock when workers store images.
#pragma once

#include <vector>

#include "core/hylkdefs.h"
#include "core/lkfilebuffer.h"

class TLKBitmap;
class TBitmap;

/// One image of a TLKVirtualImageList; its address is the image's handle.
struct TLKVirtualImageInfo {
  Int64 Offset = 0;
  Int64 Size = 0;
  Int64 MappedLength = 0;
  void* Data = nullptr;  ///< the in-memory copy, nil when not mapped
  bool HandedOut = false;
  Integer OriginalWidth = 0;
  Integer OriginalHeight = 0;
  bool HasAlpha = false;
  TLKDataAccess Access;
  Integer Width = 0;
  Integer Height = 0;
  Integer BitsPerPixel = 0;
  TLKPixelFormat PixelFormat = lknull;
};

/// A list of images stored in one temporary file (see the top of the file).
class TLKVirtualImageList : public TObject {
 public:
  /// Creates the 256 KiB file named with Prefix (in the temporary folder).
  explicit TLKVirtualImageList(const String& Prefix);
  ~TLKVirtualImageList() override;
  TLKVirtualImageList(const TLKVirtualImageList&) = delete;
  TLKVirtualImageList& operator=(const TLKVirtualImageList&) = delete;

  /// Grows the file by room for Count images of that size (alpha not
  /// counted) ahead of a batch; forgets the free blocks.
  void PrepareSpaceFor(Integer Width, Integer Height, Integer BitsPerPixel, Integer Count);
  /// A new image of that geometry (pixels undefined), appended to the list.
  TLKVirtualImageInfo* AddBlankImage(Integer Width, Integer Height, Integer BitsPerPixel,
                                     TLKPixelFormat PixelFormat, bool HasAlpha);
  /// A new image holding a copy of Bitmap (and its alpha channel).
  TLKVirtualImageInfo* AddLKBitmap(TLKBitmap* Bitmap);
  /// A new image holding a copy of a class-library bitmap.
  TLKVirtualImageInfo* AddBitmap(TBitmap* Bitmap);
  /// A new image holding the Width x Height rectangle at (X, Y) of Bitmap.
  TLKVirtualImageInfo* AddBitmapRect(TBitmap* Bitmap, Integer X, Integer Y, Integer Width, Integer Height);

  /// Lends a bitmap copy of Image (reference counted: the same bitmap while
  /// it is lent). Nil when the image cannot be mapped (no pixels).
  TLKBitmap* GetBitmap(TLKVirtualImageInfo* Image);
  /// Gives a lent bitmap back; with CopyBack its pixels (and size) become
  /// the image's. The bitmap is freed when its count reaches 0. Nil or a
  /// bitmap this list did not lend is ignored.
  void ReleaseBitmap(TLKBitmap* Bitmap, bool CopyBack);
  /// ReleaseBitmap of the bitmap lent for Image, if any.
  void ReleaseBitmapByImage(TLKVirtualImageInfo* Image, bool CopyBack);
  /// Copies Image into Bitmap (allocated in the image's format and size).
  void DirectCopyToBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap);
  /// As DirectCopyToBitmap, but takes the lent bitmap when there is one.
  void CopyToLKBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap);
  /// Writes Bitmap into Image; a different size, depth or alpha presence
  /// gives the image a new block (and the bitmap's size as original size).
  void CopyFromLKBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap);

  Integer GetImageCount() const { return static_cast<Integer>(Images.size()); }
  /// Image number Index in insertion order (nil out of range).
  TLKVirtualImageInfo* GetImage(Integer Index) const;
  /// Geometry, from the lent bitmap while one exists, else from the record.
  Integer GetImageWidth(TLKVirtualImageInfo* Image);
  Integer GetImageHeight(TLKVirtualImageInfo* Image);
  Integer GetImageBitCount(TLKVirtualImageInfo* Image);
  TLKPixelFormat GetImagePixelFormat(TLKVirtualImageInfo* Image);
  Integer GetImageOriginalWidth(TLKVirtualImageInfo* Image) const { return Image->OriginalWidth; }
  Integer GetImageOriginalHeight(TLKVirtualImageInfo* Image) const { return Image->OriginalHeight; }
  void SetImageOriginalWidth(TLKVirtualImageInfo* Image, Integer Value) { Image->OriginalWidth = Value; }
  void SetImageOriginalHeight(TLKVirtualImageInfo* Image, Integer Value) { Image->OriginalHeight = Value; }
  /// Address of the image's first stored row (its last picture row); the
  /// lent bitmap's last row while one is lent. Valid until the next call.
  void* GetImageBits(TLKVirtualImageInfo* Image);
  /// Address of the stored alpha rows, nil when the image has no alpha or
  /// its alpha is fully opaque.
  void* GetAlphaBits(TLKVirtualImageInfo* Image);
  /// Removes Image (its block becomes a free block).
  void Delete(TLKVirtualImageInfo* Image);
  /// Removes every image and releases the file.
  void FreeBits();

  /// Most images mapped into memory at once (at least 1).
  Integer GetMappedLimit() const { return MappedLimit; }
  void SetMappedLimit(Integer Value);
  Integer GetMappedCount() const { return MappedCount; }
  /// Images currently mapped, least recently used first.
  const std::vector<TLKVirtualImageInfo*>& GetMapped() const { return Mapped; }
  Int64 GetFileSize() const { return FileSize; }
  Int64 GetEndOfUsedSpace() const { return EndOfUsedSpace; }
  Integer GetGrowthStep() const { return GrowthStep; }
  Integer GetFreeBlockCount() const { return static_cast<Integer>(FreeBlocks.size()); }
  /// Size of free block Index (0 out of range).
  Integer GetFreeBlockSize(Integer Index) const;
  /// Bytes of memory the mapped blocks and the lent bitmaps hold.
  Int64 GetMemoryInUse() const;

 private:
  struct FreeBlock {
    Int64 Offset;
    Integer Size;
  };
  struct HandOut {
    TLKVirtualImageInfo* Image;
    TLKBitmap* Bitmap;
    Integer Count;
  };
  static Int64 BlockSize(Integer Width, Integer Height, Integer Bits, bool HasAlpha);
  void ReAllocate();
  void Allocate(TLKVirtualImageInfo* Image, Integer Width, Integer Height, Integer Bits, TLKPixelFormat Format,
                bool HasAlpha);
  bool MapImage(TLKVirtualImageInfo* Image, TLKDataAccess Access);
  void DiscardImage(TLKVirtualImageInfo* Image);
  void RemoveImage(TLKVirtualImageInfo* Image);
  HandOut* FindHandOut(TLKVirtualImageInfo* Image);
  void WriteBitmap(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap);
  void ReadInto(TLKVirtualImageInfo* Image, TLKBitmap* Bitmap);

  TLKFileBuffer File;
  Int64 FileSize = 262144;
  std::vector<TLKVirtualImageInfo*> Images;
  std::vector<TLKVirtualImageInfo*> Mapped;
  std::vector<FreeBlock> FreeBlocks;
  Int64 EndOfUsedSpace = 0;
  Integer GrowthStep = 262144;
  Integer MappedLimit = 10;
  Integer MappedCount = 0;
  std::vector<HandOut> HandOuts;
  Integer LastAllocationSize = 0;
  String Prefix;
};
