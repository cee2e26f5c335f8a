#include "core/lkstreams.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

namespace {

// Position arithmetic that refuses to overflow instead of wrapping.
bool AddPosition(Int64 a, Int64 b, Int64& out) { return !__builtin_add_overflow(a, b, &out); }
bool SubPosition(Int64 a, Int64 b, Int64& out) { return !__builtin_sub_overflow(a, b, &out); }

}  // namespace

// ---------------------------------------------------------------------------
// TLKBufferedReadStream

TLKBufferedReadStream::TLKBufferedReadStream(TStream* Source, Integer BufferSize)
    : FSource(Source) {
  FSourceSize = FSource->GetSize();
  FPosition = FSource->GetPosition();
  AllocBufferSize(BufferSize);
}

TLKBufferedReadStream::~TLKBufferedReadStream() = default;

void TLKBufferedReadStream::AllocBufferSize(Integer Size) {
  // A zero-byte buffer could never make progress.
  Size = std::max<Integer>(Size, 1);
  // The new block is taken before the old one goes, so a failed allocation
  // leaves the stream as it was.
  std::unique_ptr<Byte[]> block;
  try {
    block = std::make_unique<Byte[]>(static_cast<std::size_t>(Size));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  }
  FBuffer = std::move(block);
  FBufferSize = Size;
  LoadData();
}

void TLKBufferedReadStream::LoadData() {
  FBufferIndex = 0;
  FBufferFill = 0;
  if (FPosition < 0 || FPosition >= FSourceSize) return;
  if (FSource->Seek(FPosition, soBeginning) != FPosition) return;
  const auto want = static_cast<Integer>(std::min<Int64>(FBufferSize, FSourceSize - FPosition));
  // A source may deliver a block in several pieces; stop at the first empty one.
  while (FBufferFill < want) {
    const Integer got = FSource->Read(FBuffer.get() + FBufferFill, want - FBufferFill);
    if (got <= 0) break;
    FBufferFill += std::min(got, want - FBufferFill);
  }
}

Integer TLKBufferedReadStream::Read(void* Buffer, Integer Count) {
  if (Count <= 0 || Buffer == nullptr) return 0;
  // Fast path for the short reads of marker scans and bit readers: the
  // loaded window only ever holds bytes within 0 .. size - 1.
  if (Count <= FBufferFill - FBufferIndex) {
    if (Count == 1)
      *static_cast<Byte*>(Buffer) = FBuffer[static_cast<std::size_t>(FBufferIndex)];
    else
      std::memcpy(Buffer, FBuffer.get() + FBufferIndex, static_cast<std::size_t>(Count));
    FBufferIndex += Count;
    FPosition += Count;
    return Count;
  }
  if (Count > FBufferSize && FPosition >= 0 && FPosition < FSourceSize) {
    // Grow for large reads, but only to what the source still holds: a
    // corrupt length must not allocate gigabytes for a short file.
    const auto grown = static_cast<Integer>(std::min<Int64>(Count, FSourceSize - FPosition));
    if (grown > FBufferSize) AllocBufferSize(grown);
  }
  auto* dest = static_cast<Byte*>(Buffer);
  Integer done = 0;
  while (done < Count && FPosition >= 0 && FPosition < FSourceSize) {
    if (FBufferIndex >= FBufferFill) {
      LoadData();
      if (FBufferFill == 0) break;  // the source ended before its size said
    }
    const auto run = static_cast<Integer>(std::min<Int64>(
        {Int64{Count} - done, Int64{FBufferFill} - FBufferIndex, FSourceSize - FPosition}));
    std::memcpy(dest + done, FBuffer.get() + FBufferIndex, static_cast<std::size_t>(run));
    done += run;
    FBufferIndex += run;
    FPosition += run;
  }
  return done;
}

Integer TLKBufferedReadStream::Write(const void*, Integer) {
  throw Exception("TLKBufferedReadStream cannot write!");
}

Int64 TLKBufferedReadStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  Int64 target = FPosition;
  bool ok = true;
  switch (Origin) {
    case soBeginning: target = Offset; break;
    case soCurrent: ok = AddPosition(FPosition, Offset, target); break;
    case soEnd: ok = SubPosition(FSourceSize, Offset, target); break;
    default: break;
  }
  if (!ok) return -1;
  if (target != FPosition) {
    const Int64 windowStart = FPosition - FBufferIndex;
    FPosition = target;
    if (target >= windowStart && target < windowStart + FBufferFill) {
      FBufferIndex = static_cast<Integer>(target - windowStart);
    } else {
      // Loaded lazily by the next read, so seeks in a row cost nothing.
      FBufferIndex = 0;
      FBufferFill = 0;
    }
  }
  return FPosition;
}

// ---------------------------------------------------------------------------
// TLKBufferedWriteStream

TLKBufferedWriteStream::TLKBufferedWriteStream(TStream* Target, Integer BufferSize)
    : FTarget(Target), FBufferSize(std::max<Integer>(BufferSize, 1)) {
  FBuffer = std::make_unique<Byte[]>(static_cast<std::size_t>(FBufferSize));
}

TLKBufferedWriteStream::~TLKBufferedWriteStream() {
  try {
    FlushData();
  } catch (...) {
    // A destructor cannot report; callers that care flush first.
  }
}

Integer TLKBufferedWriteStream::Write(const void* Buffer, Integer Count) {
  if (Count <= 0 || Buffer == nullptr) return 0;
  auto* src = static_cast<const Byte*>(Buffer);
  Integer left = Count;
  if (FCount > 0) {
    const Integer take = std::min(left, FBufferSize - FCount);
    std::memcpy(FBuffer.get() + FCount, src, static_cast<std::size_t>(take));
    FCount += take;
    src += take;
    left -= take;
    if (FCount == FBufferSize) FlushData();
  }
  if (left >= FBufferSize) {
    // Whole buffers go straight to the target: the same bytes in the same
    // order as filling and flushing the buffer each time.
    const Integer whole = left - left % FBufferSize;
    FTarget->WriteBuffer(src, whole);
    src += whole;
    left -= whole;
  }
  if (left > 0) {
    std::memcpy(FBuffer.get(), src, static_cast<std::size_t>(left));
    FCount = left;
  }
  return Count;
}

Integer TLKBufferedWriteStream::Read(void*, Integer) {
  throw Exception("TLKBufferedWriteStream cannot read!");
}

Int64 TLKBufferedWriteStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  FlushData();
  return FTarget->Seek(Offset, Origin);
}

void TLKBufferedWriteStream::FlushData() {
  if (FCount <= 0) return;
  const Integer n = FCount;
  FCount = 0;
  FTarget->WriteBuffer(FBuffer.get(), n);
}

// ---------------------------------------------------------------------------
// LKQuickSort

namespace {

void QuickSortRange(Integer L, Integer R, const TLKCompareFunction& Compare,
                    const TLKSwapFunction& Swap) {
  do {
    Integer I = L, J = R, P = L + (R - L) / 2;
    do {
      // The bounds only matter for an inconsistent comparison; a consistent
      // one stops at the pivot at the latest.
      while (Compare(I, P) < 0 && I < R) ++I;
      while (Compare(J, P) > 0 && J > L) --J;
      if (I <= J) {
        Swap(I, J);
        // The pivot is the item, not the place: follow it when it moves.
        if (P == I)
          P = J;
        else if (P == J)
          P = I;
        ++I;
        --J;
      }
    } while (I <= J);
    // Recurse into the smaller part and loop over the larger one, so the
    // stack depth stays logarithmic whatever the input.
    if (J - L < R - I) {
      if (L < J) QuickSortRange(L, J, Compare, Swap);
      L = I;
    } else {
      if (I < R) QuickSortRange(I, R, Compare, Swap);
      R = J;
    }
  } while (L < R);
}

}  // namespace

void LKQuickSort(Integer Count, const TLKCompareFunction& Compare, const TLKSwapFunction& Swap) {
  if (Count <= 0) return;
  QuickSortRange(0, Count - 1, Compare, Swap);
}

// ---------------------------------------------------------------------------
// Value text

String LKFloatToStr(long double Value) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  if (Value == 0) return "0";

  // 15 significant digits, correctly rounded, independent of any locale.
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::scientific, 14);
  const std::string sci(buf, res.ptr);  // "-d.ddddddddddddddde+XX"
  const bool negative = sci[0] == '-';
  const std::size_t ePos = sci.find('e');
  std::string digits;
  for (std::size_t i = negative ? 1 : 0; i < ePos; ++i)
    if (sci[i] != '.') digits += sci[i];
  int exponent = 0;
  std::from_chars(sci.data() + ePos + (sci[ePos + 1] == '+' ? 2 : 1), sci.data() + sci.size(),
                  exponent);
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  String out = negative ? "-" : "";
  if (exponent >= 15 || exponent < -4) {
    out += digits[0];
    if (digits.size() > 1) {
      out += '.';
      out.append(digits, 1, std::string::npos);
    }
    out += 'E';
    out += std::to_string(exponent);
  } else if (exponent >= 0) {
    const auto intDigits = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= intDigits) {
      out += digits + std::string(intDigits - digits.size(), '0');
    } else {
      out += digits.substr(0, intDigits) + "." + digits.substr(intDigits);
    }
  } else {
    out += "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  }
  // The text is built from digits alone, so no locale separator can appear.
  return out;
}

String LKRemoveCtrlChars(const String& S) {
  String out;
  out.reserve(S.size());
  for (char c : S) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 32 && u != 127) out += c;
  }
  return out;
}

String LKrgb2str(const TRGB& Colour) {
  return std::to_string(Colour.r) + "," + std::to_string(Colour.g) + "," + std::to_string(Colour.b);
}

String LKbool2str(bool Value) { return Value ? "1" : "0"; }

namespace {

// A decimal integer with an optional sign and blanks around it; 0 for
// anything else, including values outside the 32-bit range.
Integer StrToIntDef0(const String& S) {
  std::size_t b = 0, e = S.size();
  while (b < e && static_cast<unsigned char>(S[b]) <= ' ') ++b;
  while (e > b && static_cast<unsigned char>(S[e - 1]) <= ' ') --e;
  if (b < e && S[b] == '+') {
    ++b;
    if (b < e && S[b] == '-') return 0;
  }
  if (b == e) return 0;
  Integer value = 0;
  const auto res = std::from_chars(S.data() + b, S.data() + e, value, 10);
  if (res.ec != std::errc() || res.ptr != S.data() + e) return 0;
  return value;
}

}  // namespace

void LKstr2rgb(const String& S, TRGB& Colour) {
  Byte* fields[3] = {&Colour.r, &Colour.g, &Colour.b};
  std::size_t start = 0;
  for (int part = 0; part < 3; ++part) {
    const std::size_t comma = S.find(',', start);
    const String text = S.substr(start, comma == String::npos ? String::npos : comma - start);
    *fields[part] = static_cast<Byte>(static_cast<std::uint32_t>(StrToIntDef0(text)) & 0xFFu);
    if (comma == String::npos) break;
    start = comma + 1;
  }
}

TRGB LKstr2rgb(const String& S) {
  TRGB c{0, 0, 0};
  LKstr2rgb(S, c);
  return c;
}

bool LKstr2bool(const String& S) {
  String u = S;
  for (char& c : u)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return u == "1" || u == "TRUE" || u == "T";
}
