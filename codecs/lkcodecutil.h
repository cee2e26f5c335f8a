// Small helpers shared by the raster codecs: progress reports, whole reads,
// and the few colour helpers the writers share (two-colour reduction,
// nearest palette entry, 24-bit working copies). Failures go through
// LKAbort and picture sizes through LKAllowPicture (core/).
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "core/hylkdefs.h"
#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lkbytereader.h"
#include "platform/classes.h"

namespace lkcodec {

/// Sends Percent to the progress event when one is assigned.
void Report(TProgressRec& Progress, Integer Percent);

/// Reads up to Count bytes, looping over short reads; returns the bytes read.
Int64 ReadFull(TStream& S, void* Buffer, Int64 Count);
/// Bytes from the position to the end of the stream (0 when unknown).
Int64 Remaining(TStream& S);
/// Reads everything from the position to the end (at most Limit bytes).
std::vector<Byte> ReadRest(TStream& S, Int64 Limit = INT64_MAX);

/// Runs Write; a stream error it raises (a full disk, a stream that cannot
/// grow) becomes the abort flag with the error's text and the format's name,
/// as every writer reports a failed write.
void AbortOnStreamError(TProgressRec& Progress, const char* Format, const std::function<void()>& Write);

/// Writes FileName through a new file (platform/atomicfile.h) that replaces
/// it only when Write leaves the abort flag clear; a write that came up
/// short (a full disk) sets the flag. The old file stays in every failure.
/// Raises EFCreateError when the new file cannot be made or renamed.
void WriteFileUnlessAborted(const String& FileName, TProgressRec& Progress, const std::function<void(TStream&)>& Write);

/// The picture as 1-bit when it holds at most two colours: an lk1g copy
/// whose 0 bits are Dark and 1 bits Light (the darker colour first). Null
/// when the picture has more colours. lk1g pictures come back as copies with
/// black and white.
std::unique_ptr<TLKBitmap> ConvertTo1bitEx(TLKBitmap& Source, TRGB& Dark, TRGB& Light);
/// Index of the palette entry nearest to C (least squared distance over
/// red, green and blue); 0 for an empty palette.
Integer NearestColor(const TRGB* Palette, Integer Count, const TRGB& C);
/// Source itself when it is in one of the formats Keep allows, else a
/// lk24RGB copy held by Holder (alpha channel kept).
TLKBitmap* WorkingCopy(TLKBitmap& Source, std::unique_ptr<TLKBitmap>& Holder, bool Keep1g, bool Keep8p);

/// Dots per inch from pixels per metre (round(ppm / 100 x 2.54)) and back.
Integer PpmToDpi(double Ppm);
Integer DpiToPpm(double Dpi);

// Short names of the byte-order reads and writes of core/lkbytereader.h.
inline Word Le16(const Byte* p) { return LKGetLE16(p); }
inline DWORD Le32(const Byte* p) { return LKGetLE32(p); }
inline void PutLe16(Byte* p, Word v) { LKPutLE16(p, v); }
inline void PutLe32(Byte* p, DWORD v) { LKPutLE32(p, v); }

}  // namespace lkcodec
