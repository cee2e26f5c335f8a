#include "codecs/ps/lkascii85.h"

#include <vector>

Int64 LKASCII85EncodedMax(Int64 Count) {
  const Int64 chars = (Count + 3) / 4 * 5;
  return chars + (chars / 75 + 1) * 2 + 4;
}

// A literal ends with the first byte of an equal pair, so the pair's second
// byte may start a literal of its own: two input bytes can take three.
Int64 LKRunLengthEncodedMax(Int64 Count) { return Count + (Count + 1) / 2 + 2; }

Integer LKASCII85EncodeBlock(const Byte*& Source, Integer Count, Byte*& Dest, Integer& Counter) {
  static constexpr Cardinal kDivisors[5] = {52200625u, 614125u, 7225u, 85u, 1u};
  Byte* out = Dest;
  Integer line = 0;
  Integer left = Count;
  while (left > 0) {
    const Integer n = left < 4 ? left : 4;
    Cardinal v = 0;
    for (Integer i = 0; i < 4; ++i) v = (v << 8) | (i < n ? Source[i] : 0u);
    Source += n;
    left -= n;
    if (n == 4 && v == 0) {
      *out++ = 'z';
      ++line;
      ++Counter;
    } else {
      for (Integer i = 0; i <= n; ++i) *out++ = Byte(v / kDivisors[i] % 85 + 33);
      line += n + 1;
      Counter += n + 1;
    }
    if (line > 74) {
      *out++ = '\r';
      *out++ = '\n';
      line = 0;
    }
  }
  *out++ = '~';
  *out++ = '>';
  *out++ = '\r';
  *out++ = '\n';
  const Integer written = Integer(out - Dest);
  Dest = out;
  return written;
}

Integer LKASCII85DecodeBlock(const Byte*& Source, Integer Count, Byte*& Dest) {
  // Collect the characters of the alphabet up to the end marker.
  std::vector<Byte> chars;
  chars.reserve(size_t(Count > 0 ? Count : 0));
  Integer i = 0;
  for (; i < Count; ++i) {
    const Byte c = Source[i];
    if (c == '~') {
      Integer j = i + 1;
      while (j < Count && !((Source[j] >= '!' && Source[j] <= 'u') || Source[j] == 'z' || Source[j] == '~' ||
                            Source[j] == '>'))
        ++j;
      if (j < Count && Source[j] == '>') {
        i = j + 1;
        break;
      }
      continue;
    }
    if ((c >= '!' && c <= 'u') || c == 'z') chars.push_back(c);
  }
  Source += i;
  Byte* out = Dest;
  size_t p = 0;
  while (p < chars.size()) {
    if (chars[p] == 'z') {
      for (int k = 0; k < 4; ++k) *out++ = 0;
      ++p;
      continue;
    }
    size_t n = 0;
    Byte group[5];
    while (n < 5 && p < chars.size() && chars[p] != 'z') group[n++] = chars[p++];
    if (n < 2) break;  // a lone character carries no byte
    for (size_t k = n; k < 5; ++k) group[k] = 'u';
    uint64_t v = 0;
    for (int k = 0; k < 5; ++k) v = v * 85 + (group[k] - 33);
    const auto w = Cardinal(v);  // values past 2^32 - 1 are not valid ASCII85; keep the low bits
    for (size_t k = 0; k + 1 < n; ++k) *out++ = Byte(w >> (24 - 8 * k));
  }
  const Integer written = Integer(out - Dest);
  Dest = out;
  return written;
}

Integer LKPSRunLengthEncode(const Byte* Source, Integer Count, Byte* Dest) {
  Byte* out = Dest;
  Integer i = 0;
  while (i < Count) {
    Integer run = 1;
    while (i + run < Count && run < 128 && Source[i + run] == Source[i]) ++run;
    if (run >= 2) {
      *out++ = Byte(257 - run);
      *out++ = Source[i];
      i += run;
      continue;
    }
    // A literal up to the first pair of equal neighbours (the first of the
    // pair included), at most 128 bytes.
    Integer n = 1;
    while (i + n < Count && n < 128 && Source[i + n] != Source[i + n - 1]) ++n;
    *out++ = Byte(n - 1);
    for (Integer k = 0; k < n; ++k) *out++ = Source[i + k];
    i += n;
  }
  *out++ = 128;
  return Integer(out - Dest);
}

void LKWriteStrLn(TStream* Stream, const String& Text) {
  if (!Text.empty()) Stream->WriteBuffer(Text.data(), Integer(Text.size()));
  Stream->WriteBuffer("\r\n", 2);
}
