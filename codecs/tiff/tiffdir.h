// TIFF directories: loading one image file directory of a little-endian
// ("II") or big-endian ("MM") TIFF stream and reading its tag values by tag
// number, plus the TIFF and DNG content probes. Every value is read through
// bounds checks against the stream: a count, offset or directory chain that
// points outside the stream gives the routine's default, never a read past
// the end, and chains that loop are cut.
#pragma once

#include <string>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/classes.h"

#pragma pack(push, 1)
/// One 12-byte directory entry. After loading, every field is in host byte
/// order; a value held in the entry keeps the layout a 32-bit read in the
/// file's byte order gives it (the first SHORT is the low half for "II" and
/// the high half for "MM").
struct TTIFFTAG {
  Word Tag;        ///< tag number
  Word FieldType;  ///< field type 1..12 (BYTE .. DOUBLE)
  DWORD Count;     ///< number of values
  DWORD Value;     ///< the value itself when it fits in 4 bytes, else its offset
};
#pragma pack(pop)
static_assert(sizeof(TTIFFTAG) == 12, "a directory entry is 12 bytes");

/// TIFF field types.
enum TLKTagType : Word {
  ttUnknown = 0, ttByte = 1, ttAscii = 2, ttShort = 3, ttLong = 4, ttRational = 5, ttSByte = 6,
  ttUndefined = 7, ttSShort = 8, ttSLong = 9, ttSRational = 10, ttFloat = 11, ttDouble = 12
};

/// One loaded directory. A default record with only Stream and LittleEndian
/// set is a valid empty directory: every read gives its default.
struct TTIFFEnv {
  bool LittleEndian = true;      ///< true for "II", false for "MM"
  TStream* Stream = nullptr;     ///< what the entries' offsets point into; not owned
  std::vector<TTIFFTAG> Tags;    ///< the entries, host byte order
  Int64 Base = 0;                ///< stream position every file offset is added to
};

/// Largest text the string readers take (longer values leave the text as it was).
inline constexpr DWORD LKTIFF_MAXSTRING = 1048575;

/// Index of the first entry with tag number Tag, or -1.
Integer TIFFFindTAG(Word Tag, const TTIFFEnv& Env);
/// The entry's count; 0 when absent.
DWORD TIFFGetDataLength(const TTIFFEnv& Env, Word Tag);
/// The value held in the entry: when the values fit in it, the first one
/// (a SHORT by the half of the value field the byte order puts first, a
/// BYTE, ASCII or UNDEFINED by its first byte, SBYTE and SSHORT
/// sign-extended, a LONG or SLONG whole); otherwise the whole value field,
/// which is the values' offset. Default when absent.
Integer TIFFReadSingleValDef(const TTIFFEnv& Env, Word Tag, Integer Default);
/// The first value as a real: RATIONAL and SRATIONAL as numerator /
/// denominator (unsigned or signed, a zero denominator read as 1), FLOAT
/// and DOUBLE in the file's byte order, integer types as their value; 0
/// when absent or when the value lies outside the stream.
double TIFFReadSingleRational(const TTIFFEnv& Env, Word Tag);
/// The N-th value read as TIFFReadSingleRational does; 0 when absent or N
/// is not below the count.
double TIFFReadRationalIndex(const TTIFFEnv& Env, Word Tag, Integer N);
/// The N-th value of a SHORT or LONG entry, from the entry when the values
/// fit in it, else from the stream; 0 when absent, for other types, for N
/// outside the count or a value outside the stream.
Integer TIFFReadIndexValN(const TTIFFEnv& Env, Word Tag, Integer N);
/// Fills Values with every value of a SHORT or LONG entry (as
/// TIFFReadIndexValN reads them) and returns the count; 0 and an empty
/// array when absent, of another type or when the values do not lie
/// within the stream.
Integer TIFFReadArrayIntegers(const TTIFFEnv& Env, std::vector<Integer>& Values, Word Tag);
/// The value's bytes as they stand in the file, count x element size of
/// its type (count bytes for unknown types); from the entry when they fit
/// in 4 bytes. False (Data emptied) when absent or outside the stream.
bool TIFFReadRawData(const TTIFFEnv& Env, Word Tag, std::vector<Byte>& Data);
/// The text of a tag: empty when absent; values of 1..4 bytes as
/// TIFFReadMiniString; longer ones read from the stream with one final zero
/// byte dropped. A count above LKTIFF_MAXSTRING or a value outside the
/// stream leaves Text unchanged.
void TIFFReadString(const TTIFFEnv& Env, Word Tag, String& Text);
/// The 1..4 bytes held in the entry, in file order, kept as they are (a
/// terminating zero stays part of the text); empty when absent; other
/// counts leave Text unchanged.
void TIFFReadMiniString(const TTIFFEnv& Env, Word Tag, String& Text);
/// The count bytes of a tag read as little-endian UTF-16 (count / 2
/// characters, a final zero character dropped); empty when absent; unchanged for a count above
/// LKTIFF_MAXSTRING or a value outside the stream.
void TIFFReadWideString(const TTIFFEnv& Env, Word Tag, std::u16string& Text);

/// Walks the directory chain of Env's stream from Offset (relative to
/// Env.Base) and loads the entries of directory number Index (0 = first;
/// -1 loads none and only counts). Count returns the number of directories
/// the chain holds. The walk stops at a next offset of 0, below 8, outside
/// the stream, or at a directory already visited. False when the wanted
/// directory has no entries or the chain ends before it.
bool TIFFReadIFD(Integer Index, Int64 Offset, TTIFFEnv& Env, Integer& Count);
/// Clears Env, takes Stream with base 0 (or the current position when
/// Relative is set), reads the 8-byte header at the current position ("II"
/// or "MM", else false) and loads directory Index of the chain (false when
/// the first-directory offset is 0 or the directory does not exist).
bool TIFFLoadTags(TStream* Stream, Integer& Count, Integer Index, TTIFFEnv& Env, bool Relative = false);
/// Frees the entries of Env.
void TIFFFreeTags(TTIFFEnv& Env);
/// Loads the directory that tag PointerTag of Parent points to (EXIF, GPS,
/// interoperability) into Sub with Parent's stream, byte order and base.
/// False (Sub empty) when the tag is absent or the directory unreadable.
bool TIFFLoadSubIFD(const TTIFFEnv& Parent, Word PointerTag, TTIFFEnv& Sub);

/// Content probe: a TIFF header whose first directory holds ImageWidth and
/// ImageLength. The stream position is restored.
bool IsTIFFStream(TStream* Stream);
/// DNG probe: the first directory carries DNGVersion (BYTE x 4), a CFA or
/// linear-raw photometric interpretation, or SubIFDs with the TIFF/EP
/// standard ID and a size below 200 x 200. The stream position is restored.
bool IsDNGStream(TStream* Stream);
