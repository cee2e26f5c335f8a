// Temporary-file storage of large pictures and the allocators of pixel
// memory. A TLKFileBuffer is an ordinary file opened for reading and writing;
// callers copy byte ranges of it into heap blocks (Map), work on the blocks
// and copy them back (UnMap). No operating-system file mapping is used.
#pragma once

#include <vector>

#include "core/hylkdefs.h"

/// A temporary file holding pixels, read and written through heap blocks.
/// The buffer owns the file and deletes it when deallocated or destroyed.
/// Not safe for concurrent use.
class TLKFileBuffer : public TObject {
 public:
  TLKFileBuffer() = default;
  /// DeAllocate, and frees any block still mapped.
  ~TLKFileBuffer() override;

  /// True while a file is open.
  bool IsAllocated() const { return fd_ >= 0; }
  /// Full name of the file; empty until the first allocation.
  const String& GetFileName() const { return FileName; }

  /// Creates a new temporary file named with `prefix` in DefTEMPPATH (or the
  /// system's temporary folder when that is empty), exclusively and readable
  /// only by its owner, and sets its size. Returns false when the file cannot
  /// be created or sized; after a failed sizing the file stays allocated and
  /// is deleted by the next DeAllocate.
  bool AllocateFile(Int64 size, const String& prefix);
  /// Sets the file's size. Raises EWriteError when that fails.
  void ReAllocateFile(Int64 size);
  /// Drops every mapped block (unwritten: the file goes), closes and deletes
  /// the file. False when nothing was allocated or the deletion failed.
  bool DeAllocate();

  /// Allocates a heap block of `length` bytes; when a file is open and
  /// `access` holds lkdRead, fills it from `offset` (bytes past the end of the
  /// file read as 0). Returns the block, owned by the buffer until UnMap.
  /// Raises EOutOfMemory when no block can be had, EReadError on a read error.
  void* Map(Int64 offset, Int64 length, TLKDataAccess access);
  /// Releases a block that Map returned: when it was mapped with lkdWrite,
  /// writes it back at its offset first. An address that is not mapped is
  /// ignored. Raises EWriteError when the write-back fails (the block is
  /// released all the same).
  void UnMap(void* address);
  /// When a file is open, unmaps the newest block until none is left.
  void UnMapAll();
  /// Position of the map record of a block, -1 when not mapped.
  Integer IndexOf(void* address) const;
  /// Number of blocks currently mapped.
  Integer GetMapCount() const { return static_cast<Integer>(Maps.size()); }

  /// Copies `size` bytes at `position` of this file into `dest`'s file at the
  /// same position, after unmapping every block of both. Copying the whole
  /// file from 0 makes the destination an identical copy (size included).
  /// Does nothing unless both buffers have a file. Raises EReadError or
  /// EWriteError on an I/O error.
  void CopyTo(TLKFileBuffer* dest, Int64 position, Int64 size);

  /// Writes out blocks whose write-back is still gathered in memory, so the
  /// file on disk holds every unmapped block. Raises EWriteError on failure.
  void Flush();

  /// A count that moves on whenever a block is unmapped or the file changes
  /// size or content through this buffer; a mapped block whose count is
  /// still current holds what the file holds for its range.
  UInt64 GetChangeCount() const { return changeCount_; }

  /// Size of the open file in bytes (after Flush); 0 when none.
  Int64 GetFileSize();

 private:
  struct TLKMapRecord {
    Int64 Offset;
    Int64 Length;
    void* Block;
    TLKDataAccess Access;
  };
  void ReleaseRecord(size_t index);
  void WriteBack(const void* block, Int64 length, Int64 offset);

  int fd_ = -1;
  String FileName;
  std::vector<TLKMapRecord> Maps;
  // One released block kept for the next Map, so walking rows one at a time
  // does not allocate and free a block per row.
  void* spare_ = nullptr;
  size_t spareSize_ = 0;
  // Write-backs of consecutive ranges (a walk down the rows) are gathered
  // here and written in one call, up to 1 MB at a time. Reads that overlap
  // the gathered range flush it first.
  std::vector<Byte> pending_;
  Int64 pendingOffset_ = 0;
  UInt64 changeCount_ = 0;
};

/// folder + prefix + "-" + eight upper-case hexadecimal digits of a random
/// number in 0 .. 2^31 - 2 + ".tmp", drawn again while a file of that name
/// exists. The folder is used unchanged (it should end with "/"; empty means
/// the current folder). Only a name: files are created by the caller.
String LKGetTempFileName(const String& prefix, const String& folder);
/// LKGetTempFileName("lktemp", folder) with the folder of LKTempFolder.
String LKGetTempFileName2();
/// The folder for temporary files, ending with "/": DefTEMPPATH when it is
/// not empty, else the system's temporary folder.
String LKTempFolder();

/// Zero-filled system memory; nil when none is left.
void* LKSystemAlloc(size_t size);
/// Asks the system for 2 MB pages over the whole 2 MB pages inside a large
/// block (nothing for blocks below 8 MB): fewer faults when it is first
/// written.
void LKAdviseHugePages(void* address, size_t size);
/// Releases LKSystemAlloc memory and sets the reference to nil.
void LKSystemFree(void*& address);
/// Below 1 MB from the run-time heap (falling back to system memory when the
/// heap has none), from 1 MB on from system memory. The block is aligned to
/// 16 bytes. Raises EOutOfMemory when both fail.
void* LKAutoAlloc(size_t size);
/// Releases a block of LKAutoAlloc by the allocator that gave it, and sets
/// the reference to nil. Nil is ignored.
void LKAutoFree(void*& address);
/// Available physical memory in bytes, saturated at the largest Integer.
Integer LKGetFreeMemory();
