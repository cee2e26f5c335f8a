// Shared vocabulary of the image library: pixel formats and their bit and
// channel counts, storage kinds, pixel records, the progress record, the
// abstract base of the image buffers, the row-length, byte-order and 64-bit
// helpers, and the process-wide settings every unit reads.
#pragma once

#include <atomic>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>

#include "platform/system.h"

class TCriticalSection;
class TStream;
class QWidget;
/// Pixel format of the class-library bitmap (platform/graphics.h).
enum TPixelFormat : Byte;

// ---------------------------------------------------------------------------
// Small sets of enumeration values

/// A set of values of an enumeration with at most 64 members; bit n stands
/// for ordinal n.
template <typename E>
class TLKSet {
 public:
  constexpr TLKSet() = default;
  constexpr TLKSet(std::initializer_list<E> items) {
    for (E e : items) bits_ |= Bit(e);
  }
  /// True when the value is in the set.
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr void Include(E e) { bits_ |= Bit(e); }
  constexpr void Exclude(E e) { bits_ &= ~Bit(e); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr std::uint64_t Bits() const { return bits_; }
  friend constexpr bool operator==(TLKSet a, TLKSet b) { return a.bits_ == b.bits_; }
  friend constexpr TLKSet operator+(TLKSet a, TLKSet b) { return FromBits(a.bits_ | b.bits_); }
  friend constexpr TLKSet operator-(TLKSet a, TLKSet b) { return FromBits(a.bits_ & ~b.bits_); }
  friend constexpr TLKSet operator*(TLKSet a, TLKSet b) { return FromBits(a.bits_ & b.bits_); }

 private:
  static constexpr std::uint64_t Bit(E e) {
    return std::uint64_t{1} << (static_cast<unsigned>(e) & 63u);
  }
  static constexpr TLKSet FromBits(std::uint64_t b) {
    TLKSet s;
    s.bits_ = b;
    return s;
  }
  std::uint64_t bits_ = 0;
};

// ---------------------------------------------------------------------------
// Pixel formats and storage kinds

/// Pixel format of an image buffer (one byte; the ordinals index the bit and
/// channel tables below).
enum TLKPixelFormat : Byte {
  lknull = 0,    ///< no pixels (an unallocated buffer)
  lk1g = 1,      ///< 1 bit, leftmost pixel in the most significant bit, 1 = white
  lk8p = 2,      ///< 8-bit index into a palette of TRGB entries
  lk8g = 3,      ///< 8-bit grey, 0 black .. 255 white
  lk16g = 4,     ///< 16-bit little-endian grey
  lk24RGB = 5,   ///< one TRGB (blue, green, red)
  lk32f = 6,     ///< 32-bit IEEE float grey, nominally 0.0 .. 1.0
  lkCMYK = 7,    ///< one TCMYK
  lk48RGB = 8,   ///< one TRGB48 (red, green, blue words)
  lkCIELab = 9,  ///< one TCIELab
};

/// Number of pixel formats (lknull included).
inline constexpr int LKPixelFormatCount = 10;

/// Bits per pixel of each format, indexed by the format ordinal.
inline constexpr Integer lkPixelFormatBits[LKPixelFormatCount] = {0, 1, 8, 8, 16, 24, 32, 32, 48, 24};
/// Channels of each format, indexed by the format ordinal.
inline constexpr Integer lkPixelFormatChannels[LKPixelFormatCount] = {0, 1, 1, 1, 1, 3, 1, 4, 3, 3};

/// Bits per pixel of a format; 0 for a value outside the enumeration.
constexpr Integer LKPixelFormatBitCount(TLKPixelFormat f) {
  return static_cast<unsigned>(f) < LKPixelFormatCount ? lkPixelFormatBits[f] : 0;
}
/// Channels of a format; 0 for a value outside the enumeration.
constexpr Integer LKPixelFormatChannelCount(TLKPixelFormat f) {
  return static_cast<unsigned>(f) < LKPixelFormatCount ? lkPixelFormatChannels[f] : 0;
}

/// A set of pixel formats; operations that accept only some formats take one.
using TLKPixelFormatSet = TLKSet<TLKPixelFormat>;

/// Storage kind of an image buffer.
enum TLKLocation : Byte {
  lkMemory = 0,   ///< one block of memory
  lkFile = 1,     ///< a temporary file, mapped a row at a time
  lkTBitmap = 2,  ///< a class-library TBitmap held or wrapped by the buffer
};

/// Members of TLKDataAccess.
enum TLKDataAccessKind : Byte { lkdRead = 0, lkdWrite = 1 };
/// Whether a row mapped from file storage is read when mapped (lkdRead) and
/// written back when released (lkdWrite).
using TLKDataAccess = TLKSet<TLKDataAccessKind>;

/// Allocator of the memory block of lkMemory storage.
enum TLKMemoryAllocator : Byte {
  lkmaVCL = 0,     ///< the run-time heap
  lkmaSystem = 1,  ///< zero-filled system memory (LKSystemAlloc)
  lkmaAuto = 2,    ///< LKAutoAlloc: heap below 1 MB, system memory above
};

/// How a buffer converts to lk1g.
enum TLKDitherMethod : Byte { lkOrdered = 0, lkThreshold = 1 };

/// Where the old picture goes when a buffer's canvas is resized.
enum TLKHAlign : Byte { lkhLeft, lkhCenter, lkhRight };
enum TLKVAlign : Byte { lkvTop, lkvCenter, lkvBottom };

/// Resampling method of size changes and scaled drawing.
enum TResampleFilter : Byte {
  rfNone = 0,
  rfTriangle = 1,
  rfHermite = 2,
  rfBell = 3,
  rfBSpline = 4,
  rfLanczos3 = 5,
  rfMitchell = 6,
  rfNearest = 7,
  rfLinear = 8,
  rfFastLinear = 9,
  rfBilinear = 10,
  rfBicubic = 11,
  rfProjectBW = 12,
  rfProjectWB = 13,
};

/// Bit of pixel x inside byte (x div 8) of an lk1g row: entry (x and 7).
inline constexpr Byte lkbitmask1[8] = {128, 64, 32, 16, 8, 4, 2, 1};

// ---------------------------------------------------------------------------
// Pixel records (packed, fields in memory order)

#pragma pack(push, 1)
/// 24-bit pixel and palette entry: blue, green, red.
struct TRGB {
  Byte b, g, r;
  friend bool operator==(const TRGB&, const TRGB&) = default;
};
/// 32-bit pixel: blue, green, red, alpha.
struct TRGBA {
  Byte b, g, r, a;
  friend bool operator==(const TRGBA&, const TRGBA&) = default;
};
/// 48-bit pixel: red, green, blue words (red first, unlike TRGB).
struct TRGB48 {
  Word r, g, b;
  friend bool operator==(const TRGB48&, const TRGB48&) = default;
};
/// CMYK pixel; every ink byte is held inverted (255 = no ink).
struct TCMYK {
  Byte c, m, y, k;
  friend bool operator==(const TCMYK&, const TCMYK&) = default;
};
/// CIELab pixel: lightness scaled into a byte, signed a and b.
struct TCIELab {
  Byte l;
  ShortInt a, b;
  friend bool operator==(const TCIELab&, const TCIELab&) = default;
};
#pragma pack(pop)
static_assert(sizeof(TRGB) == 3);
static_assert(sizeof(TRGBA) == 4);
static_assert(sizeof(TRGB48) == 6);
static_assert(sizeof(TCMYK) == 4);
static_assert(sizeof(TCIELab) == 3);

using PRGB = TRGB*;
using PRGBA = TRGBA*;
using PRGB48 = TRGB48*;
using PCMYK = TCMYK*;
using PCIELab = TCIELab*;

// ---------------------------------------------------------------------------
// Progress

/// Progress report: the reporting object and a percentage, normally 0..100.
/// Unassigned (empty) means no reports.
using TLKProgressEvent = std::function<void(TObject* Sender, Integer per)>;

struct TLKAbortNote;

/// Progress and abort record handed to every codec and processing routine;
/// the caller owns it.
struct TProgressRec {
  TLKProgressEvent OnProgress;           ///< event to call; empty means no reports
  TObject* Sender = nullptr;             ///< first argument of the event
  Integer Done = 0;                      ///< finished units of a multi-pass operation
  Integer Passes = 0;                    ///< number of passes of a multi-pass operation
  double Step = 0;                       ///< percent per unit
  double Step2 = 0;                      ///< second factor for a second kind of unit
  std::atomic<bool>* AbortFlag = nullptr;  ///< caller's abort flag, may be null
  TLKAbortNote* AbortNote = nullptr;     ///< where LKAbort keeps its reason, may be null (core/lkabort.h)
};

// ---------------------------------------------------------------------------
// Checked conversions of computed doubles

/// Truncates toward zero into a 32-bit integer; out-of-range values clamp to
/// the nearest bound and NaN gives 0.
inline Integer LKTrunc(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 2147483647.0) return std::numeric_limits<Integer>::max();
  if (v <= -2147483648.0) return std::numeric_limits<Integer>::min();
  return static_cast<Integer>(v);
}
/// Rounds half to even into a 32-bit integer, clamped like LKTrunc.
inline Integer LKRound(double v) { return LKTrunc(std::nearbyint(v)); }
/// Truncates toward zero into a 64-bit integer; clamped, NaN gives 0.
inline Int64 LKTrunc64(double v) {
  if (std::isnan(v)) return 0;
  if (v >= 9223372036854775807.0) return std::numeric_limits<Int64>::max();
  if (v <= -9223372036854775808.0) return std::numeric_limits<Int64>::min();
  return static_cast<Int64>(v);
}
/// Rounds half to even into a 64-bit integer, clamped like LKTrunc64.
inline Int64 LKRound64(double v) { return LKTrunc64(std::nearbyint(v)); }

// ---------------------------------------------------------------------------
// Abstract image buffer

/// Base of the two image buffers (TLKBitmap and TLKDibbitmap). Code that only
/// reads or writes rows takes a TLKBaseBitmap so that it works on both.
class TLKBaseBitmap : public TObject {
 public:
  /// Whether file-backed rows are read when mapped and written when released.
  TLKDataAccess Access;

  /// Address of row `row` (0 = top row). No bounds check.
  virtual void* GetScanLine(Integer row) = 0;
  virtual Integer GetBitCount() = 0;
  virtual Integer GetHeight() = 0;
  virtual Integer GetWidth() = 0;
  virtual TLKPixelFormat GetPixelFormat() = 0;
  /// Bytes per stored row.
  virtual Integer GetRowLen() = 0;
  virtual TRGB GetPalette(Integer index) = 0;
  virtual void SetPalette(Integer index, TRGB value) = 0;
  virtual Integer GetPaletteLen() = 0;
  virtual void Allocate(Integer width, Integer height, TLKPixelFormat format) = 0;
  virtual void Assign(TObject* source) = 0;
};

// ---------------------------------------------------------------------------
// Row length, bit and byte-order helpers

/// Bytes of one row of `width` pixels of `bits` bits, rounded up to a
/// multiple of `alignment` bits (8, 16 or 32; anything that is not a positive
/// multiple of 8 counts as 32). Computed in 64 bits: 0 for a non-positive
/// width or bit count, saturated at the largest Integer when too long.
Integer LKBitmapRowLen(Integer width, Integer bits, Integer alignment);

/// Length of the first run of set bits of a colour mask (skipping the clear
/// bits from bit 0); 0 for an empty mask.
Integer _GetBitCount(DWORD mask);

/// Bits per pixel needed for `colors` colours: k when colours is 2^k, else
/// (index of the highest set bit) + 1; -1 for 0.
Integer _NColToBitsPixel(Integer colors);

/// Bits per pixel of a class-library pixel format: pf1bit 1, pf4bit 4,
/// pf8bit 8, pf15bit 15, pf16bit 16, pf24bit 24, pf32bit 32, any other 0.
Integer _Pixelformat2BitCount(TPixelFormat format);
/// Class-library pixel format of a bit count (1, 4, 8, 15, 16, 24, 32),
/// pfCustom for any other.
TPixelFormat _Bitcount2Pixelformat(Integer bits);
/// Bytes of a 32-bit aligned row of a class-library pixel format.
Integer _PixelFormat2RowLen(Integer width, TPixelFormat format);
/// pf1bit -> lk1g; pf4bit and pf8bit -> lk8p; any other -> lk24RGB.
TLKPixelFormat LKVCLPixelFormat2LumerakPixelFormat(TPixelFormat format);

/// The two bytes of a 16-bit value exchanged.
constexpr Word LKSwapWord(Word w) { return static_cast<Word>((w >> 8) | (w << 8)); }
/// The four bytes of a 32-bit value in reverse order.
constexpr Integer LKSwapDWord(Integer d) {
  const auto u = static_cast<DWORD>(d);
  return static_cast<Integer>((u >> 24) | ((u >> 8) & 0xFF00u) | ((u << 8) & 0xFF0000u) | (u << 24));
}
/// LKSwapWord when `swap` is true (big-endian data), else the value unchanged.
constexpr Word LKCSwapWord(Word w, bool swap) { return swap ? LKSwapWord(w) : w; }
/// LKSwapDWord when `swap` is true, else the value unchanged.
constexpr DWORD LKCSwapDWord(DWORD d, bool swap) {
  return swap ? static_cast<DWORD>(LKSwapDWord(static_cast<Integer>(d))) : d;
}

/// (outHi:outLo) := (aHi:aLo) + (bHi:bLo); a carry out of the top is dropped.
void LKAdd64(DWORD aLo, DWORD aHi, DWORD bLo, DWORD bHi, DWORD& outLo, DWORD& outHi);
/// True when (aHi:aLo) > (bHi:bLo) as unsigned 64-bit numbers.
bool LKGreater64(DWORD aLo, DWORD aHi, DWORD bLo, DWORD bHi);
/// The full unsigned 64-bit product of a and b.
void LKMul64(DWORD a, DWORD b, DWORD& outLo, DWORD& outHi);

/// Writes `count` bytes through the stream's own Write; when it reports fewer
/// bytes written, sets *abortFlag (when given) to true. Never clears it.
void SafeStreamWrite(TStream* stream, std::atomic<bool>* abortFlag, const void* buffer, Integer count);

// ---------------------------------------------------------------------------
// Process-wide settings

/// Process-wide re-entrant lock, created at start-up; the thumbnail view
/// takes it around its request, worker and cache lists.
extern TCriticalSection* gThreadCS;

/// Weights of red, green and blue in the grey level
/// (R * 21 + G * 71 + B * 8) div 100; read at every use.
extern Integer gRedToGrayCoef;
extern Integer gGreenToGrayCoef;
extern Integer gBlueToGrayCoef;

/// Set by the I/O components when they start the platform's AVI library.
extern bool gAVIFILEinit;

/// Byte size of one value of each TIFF field type 1..12 (entry 0 is unused
/// and 0).
inline constexpr Word LKTAGSIZE[13] = {0, 1, 1, 2, 4, 8, 1, 1, 2, 4, 8, 4, 8};
/// Byte size of one value of a TIFF field type; 0 for a type outside 1..12.
constexpr Word LKTagSize(Integer type) { return type >= 1 && type <= 12 ? LKTAGSIZE[type] : 0; }

/// A procedure that places a dialog window.
using TLKDialogCenter = std::function<void(QWidget* window)>;
/// When set, LKCenterWindow calls it instead of placing the window itself.
extern TLKDialogCenter LKDefDialogCenter;

class TCustomForm;
/// Places a dialog window: through LKDefDialogCenter when it is set;
/// otherwise moves it, keeping its size, to x = (screen width - its width)
/// div 2 and y = (screen height - its height) div 3.
void LKCenterWindow(TCustomForm* window);

/// Size threshold that each new TLKBitmap takes at creation for keeping its
/// pixels in a temporary file; -1 means half the free physical memory (32 MB
/// when that reads as 0).
extern Integer LKDefMinFileSize;

/// Blend table: entry i = round(64 - 64 * cos(i * pi / 255)), halves to even.
extern Integer lkCosineTable[256];
