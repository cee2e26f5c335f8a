// Byte-buffer encoders shared by the PostScript and PDF writers: ASCII85
// (binary data as 7-bit text), the RunLength format both page languages
// decode, an ASCII85 decoder for library users, and the line writer of the
// PostScript text. All work on caller-owned memory.
#pragma once

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Destination bytes LKASCII85EncodeBlock may write for Count input bytes.
Int64 LKASCII85EncodedMax(Int64 Count);
/// Destination bytes LKPSRunLengthEncode may write for Count input bytes
/// (up to three bytes for every two: "a b b c c" codes as literals of two).
Int64 LKRunLengthEncodedMax(Int64 Count);

/// Encodes Count bytes from Source as one ASCII85 block: groups of four
/// bytes as five characters ("z" for a full zero group), a line break
/// (CR LF) after any group that takes the line past 74 characters, then
/// "~>" and CR LF. Advances both pointers; adds the number of encoded
/// characters (line breaks and the end marker not counted) to Counter.
/// Returns the bytes written.
Integer LKASCII85EncodeBlock(const Byte*& Source, Integer Count, Byte*& Dest, Integer& Counter);

/// Decodes up to Count characters of ASCII85 text from Source, skipping
/// characters outside the alphabet and stopping after "~>". A short last
/// group is completed with "u". Advances both pointers; returns the bytes
/// decoded. The caller sizes Dest (4 bytes per 5 characters, 4 per "z").
Integer LKASCII85DecodeBlock(const Byte*& Source, Integer Count, Byte*& Dest);

/// RunLength encoding: runs of 2 to 128 equal bytes as 257 - n and the
/// byte, literals of up to 128 bytes as n - 1 and the bytes, then the end
/// byte 128. Returns the bytes written.
Integer LKPSRunLengthEncode(const Byte* Source, Integer Count, Byte* Dest);

/// Writes Text followed by CR LF.
void LKWriteStrLn(TStream* Stream, const String& Text);
