// The allocation gate: every reader asks it before it sizes a picture from
// what a file says, so that a small file whose header claims a huge picture
// is refused before anything is allocated or written.
//
// The gate refuses
//  - a picture without pixels (a side of 0 or less);
//  - a side past the format's own maximum, when the reader gives one;
//  - a picture whose bytes pass the process-wide limit;
//  - a picture the input is too short for, when the reader knows the least
//    number of coded bytes such a picture takes (formats whose rows have a
//    bounded coded size: uncompressed and simply packed rows).
// A refusal sets the abort flag with a reason (LKAbort) and returns false;
// the reader then returns without touching the bitmap.
//
// The limit is process-wide. By default it is the least of
//  - what the process may use: its address-space limit and its file-size
//    limit (a large picture lives in a temporary file, and writing past the
//    file-size limit kills the process);
//  - what one picture may fairly take of the machine: half of physical
//    memory for a picture held in memory, half of the temporary folder's
//    free space for one large enough to live in a temporary file.
// Buffers that cannot go to a file (MemoryOnly pictures, a library's
// working memory) are held to half of physical memory as well.
// A program (or a test) may set a limit of its own.
#pragma once

#include "core/hylkdefs.h"

/// What a reader is about to allocate and what it knows of its input.
struct TLKPictureRequest {
  Int64 Width = 0;          ///< pixels per row
  Int64 Height = 0;         ///< rows
  Integer BitsPerPixel = 0; ///< bits of one pixel in the bitmap (24 for lk24RGB); 0 counts as 8
  Int64 MaxSide = 0;        ///< the format's own largest side; 0: no maximum of its own
  Int64 MinCodedBytes = 0;  ///< least input bytes such a picture takes; 0: unknown
  Int64 AvailableBytes = -1;  ///< input bytes from the reader's position on; -1: unknown
  bool MemoryOnly = false;  ///< the buffer cannot go to a temporary file: physical memory bounds it too
  Int64 WorkBytes = 0;      ///< memory the reader or a library under it holds beside the picture while it reads
};

/// The bytes a picture of Width x Height at BitsPerPixel takes in memory
/// (rows rounded up to whole 32-bit words); saturates instead of wrapping.
Int64 LKPictureBytes(Int64 Width, Int64 Height, Integer BitsPerPixel);

/// True when the picture may be allocated; otherwise sets the abort flag of
/// Progress with a reason naming Format and returns false.
bool LKAllowPicture(const TLKPictureRequest& Request, TProgressRec& Progress, const char* Format);

/// Physical memory of the machine in bytes.
Int64 LKPhysicalMemory();

/// Shorthand for the common case: the size and depth only.
bool LKAllowPicture(Int64 Width, Int64 Height, Integer BitsPerPixel, TProgressRec& Progress, const char* Format);

/// The limit in bytes the gate applies now: the one set, else the default.
Int64 LKAllocationLimit();
/// Sets the process-wide limit in bytes; 0 or less returns to the default.
/// Any thread may call it; loads already past the gate are not affected.
void LKSetAllocationLimit(Int64 Bytes);
/// The default limit, computed from the process limits, the physical memory
/// and the temporary folder's free space at the time of the call: the most
/// one picture may take, in memory or in a temporary file.
Int64 LKDefaultAllocationLimit();
/// The limit for buffers that must stay in memory: the set limit held to
/// physical memory, else the default held to half of physical memory.
Int64 LKMemoryAllocationLimit();
