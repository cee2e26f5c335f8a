// CCITT fax coder: decodes and encodes single rows of bilevel pictures in
// modified Huffman (TIFF compression 2), T.4 one- and two-dimensional
// (Group 3, compression 3) and T.6 (Group 4, compression 4) coding.
// Rows are bit rows, most significant bit first. Decoders deliver 1 for
// white and 0 for black; encoders take 0 as white and 1 as black. Fill
// order 1 reads each byte from its most significant bit, 2 from its least.
#pragma once

#include <atomic>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

/// Decodes one modified-Huffman row from bit 0 of Data; returns the bytes
/// used (rows start on byte boundaries).
Integer CCITTHuffmanGetLine(Byte* Row, const Byte* Data, Integer Length, Integer Width, Integer FillOrder);
/// Decodes one T.4 one-dimensional row from bit BitPos; returns the new bit
/// position. End-of-line codes before the row are passed over.
Int64 _CCITTHuffmanGetLine(Byte* Row, const Byte* Data, Integer Length, Integer Width, Int64 BitPos,
                           Integer FillOrder);
/// Decodes one T.4 two-dimensional or T.6 row against RefRow (Width bits,
/// 1 = white) from bit BitPos; in G3 mode end-of-line codes and the
/// one-/two-dimensional tag bit are honoured. Returns the new bit position;
/// the decoded row is copied into RefRow.
Int64 CCITT3_2D_GetLine(Byte* Row, const Byte* Data, Integer Length, Integer Width, Byte* RefRow, Int64 BitPos,
                        Integer FillOrder, bool G3Mode);

/// Encoder carry-over between rows of one strip: the pending partial byte,
/// its bit count and, for the two-dimensional encoders, the reference row.
struct TCCITTEncoder {
  Byte Pending = 0;
  Integer PendingBits = 0;
  bool Started = false;          ///< a 2-D encoder has coded its first row
  std::vector<Byte> RefRow;      ///< previous row (0 = white), empty before the first
};

/// Modified Huffman (compression 2): one row of runs padded to a byte.
void CCITTHuffmanPutLine(const Byte* Row, Integer Width, TStream* Out, std::atomic<bool>* Abort, Integer FillOrder);
/// Group 3 one-dimensional: an end-of-line code and one row of runs into a
/// continuous bit stream. Row nil writes the pending partial byte.
void CCITTHuffmanPutLineG3(const Byte* Row, Integer Width, TStream* Out, TCCITTEncoder& State,
                           std::atomic<bool>* Abort, Integer FillOrder);
/// Group 3 two-dimensional: end-of-line and tag bit (1 and one-dimensional
/// for the first row, 0 and two-dimensional after). Row nil writes a final
/// end-of-line code and the pending partial byte, and resets State.
void CCITTHuffmanPutLineG32D(const Byte* Row, Integer Width, TStream* Out, TCCITTEncoder& State,
                             std::atomic<bool>* Abort, Integer FillOrder);
/// Group 4: each row two-dimensional against the previous (the first
/// against white). Row nil writes the end of facsimile block, pads to a
/// byte and resets State.
void CCITTHuffmanPutLineG4(const Byte* Row, Integer Width, TStream* Out, TCCITTEncoder& State,
                           std::atomic<bool>* Abort, Integer FillOrder);
