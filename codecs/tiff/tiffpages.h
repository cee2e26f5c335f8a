// TIFF page operations: rewriting the page chain of a TIFF stream without
// decoding pixels. Each page is copied with its strips or tiles and every
// value outside its entries, the offsets rewritten; the output keeps the
// source's byte order. Streams that do not begin with "II" or "MM" are left
// alone. Pages without byte counts for their strips cannot be copied.
#pragma once

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Rewrites the TIFF of Stream (from position 0) without the pages listed in
/// Indexes; returns the number of pages kept. When a kept page cannot be
/// copied, or the stream is no TIFF, the stream is left as it was and the
/// result is 0.
Integer _DeleteTIFFImStreamGroup(TStream* Stream, const Integer* Indexes, Integer Count);
/// _DeleteTIFFImStreamGroup with one index.
Integer _DeleteTIFFImStream(TStream* Stream, Integer Index);
/// Writes page Index of Stream (read from position 0) as a one-page file at
/// Output's position. False (Output holding a file without pages) when the
/// page is not in the chain or cannot be copied; nothing is written when
/// Stream is no TIFF.
bool _ExtractTIFFImStream(TStream* Stream, Integer Index, TStream* Output);
/// Writes every page of Stream to Output with every page of InsertStream
/// placed before page Index (after the last when Index equals the page
/// count; an index past that inserts nothing). Inserted and kept pages are
/// marked as pages of a multi-page document where they carry
/// NewSubfileType. Returns the output position of the last link, or -1
/// when either stream is no TIFF, their byte orders differ (nothing
/// written) or a page cannot be copied (the output is then incomplete).
Int64 _InsertTIFFImStream(TStream* Stream, TStream* InsertStream, Integer Index, TStream* Output);
