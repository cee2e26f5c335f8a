#include "codecs/gif/giflzw.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "io/lkparams.h"

namespace {

constexpr Integer kMaxCodes = 4096;

// The data bytes of the sub-blocks that follow the minimum code size byte,
// one at a time, read from the stream in large pieces. Finish sets the
// stream just after the zero-length sub-block (or at the end of the stream
// when it has none), wherever the decoder stopped.
class TSubBlockReader {
 public:
  explicit TSubBlockReader(TStream& Stream) : S(Stream), Base(Stream.Position()), Raw(65536) {}
  /// True when another data byte follows.
  bool More() {
    if (BlockLeft == 0) {
      if (Ended) return false;
      Byte len = 0;
      if (!RawByte(len) || len == 0) {
        Ended = true;
        return false;
      }
      BlockLeft = len;
    }
    if (At < Have || Fill()) return true;
    Ended = true;  // a sub-block cut short by the end of the stream
    BlockLeft = 0;
    return false;
  }
  /// The next data byte; only after More gave true.
  Byte Take() {
    --BlockLeft;
    return Raw[size_t(At++)];
  }
  void Finish() {
    while (More()) {
      const Integer skip = std::min(BlockLeft, Have - At);
      At += skip;
      BlockLeft -= skip;
    }
    S.Seek(Base + At, soBeginning);
  }

 private:
  bool RawByte(Byte& B) {
    if (At >= Have && !Fill()) return false;
    B = Raw[size_t(At++)];
    return true;
  }
  // Drops what was used and reads the next piece; false at the stream's end.
  bool Fill() {
    Base += At;
    Have = 0;
    At = 0;
    const Integer n = S.Read(Raw.data(), Integer(Raw.size()));
    if (n <= 0) return false;
    Have = n;
    return true;
  }

  TStream& S;
  Int64 Base;  // stream position of Raw[0]
  std::vector<Byte> Raw;
  Integer Have = 0, At = 0;
  Integer BlockLeft = 0;  // data bytes left in the current sub-block
  bool Ended = false;     // the zero-length sub-block or the stream's end was met
};

// Where decoded or encoded pixels go: rows in plain or four-pass order.
struct TPixelWalker {
  Integer Width, Height;
  bool Interlaced;
  Integer Row = 0, Col = 0, Pass = 0, Step = 8;
  TPixelWalker(Integer W, Integer H, bool I) : Width(W), Height(H), Interlaced(I) {
    if (!Interlaced) Step = 1;
  }
  bool Done() const { return Row >= Height; }
  void NextRow() {
    Col = 0;
    Row += Step;
    if (!Interlaced) return;
    while (Row >= Height && Pass < 3) {
      ++Pass;
      static const Integer kStart[4] = {0, 4, 2, 1}, kStep[4] = {8, 8, 4, 2};
      Row = kStart[Pass];
      Step = kStep[Pass];
    }
  }
};

}  // namespace

void GIFLZWDecodeRows(TStream* Stream, Integer Height, Integer Width, bool Interlaced, TGIFRowTarget& Target) {
  if (!Stream || Width <= 0 || Height <= 0) return;
  TStream& S = *Stream;
  const Int64 start = S.Position();
  Byte m = 0;
  if (S.Read(&m, 1) != 1 || m < 2 || m > 9) {
    S.Seek(start, soBeginning);
    return;
  }
  TSubBlockReader data(S);
  if (!data.More()) return data.Finish();
  bool failed = false;
  auto fail = [&] { failed = true; };

  const Integer C = 1 << m, E = C + 1;
  Integer w = m + 1, N = E + 1, L = 1 << w;
  // String table: prefix code, last value, first value and length of each
  // entry.
  std::unique_ptr<Word[]> prefix(new Word[kMaxCodes]), length(new Word[kMaxCodes]);
  std::unique_ptr<Byte[]> suffix(new Byte[kMaxCodes]), first(new Byte[kMaxCodes]);
  std::unique_ptr<Byte[]> stack(new Byte[kMaxCodes + 1]);
  for (Integer i = 0; i < C; ++i) {
    prefix[i] = 0;
    length[i] = 1;
    suffix[i] = first[i] = Byte(i);
  }
  DWORD acc = 0;
  Integer bits = 0;
  // Takes w bits, least significant first; bits past the data read as 0.
  auto readCode = [&]() -> Integer {
    while (bits < w) {
      const DWORD b = data.More() ? data.Take() : 0;
      acc |= b << bits;
      bits += 8;
    }
    const Integer code = Integer(acc & ((1u << w) - 1));
    acc >>= w;
    bits -= w;
    return code;
  };
  // The data is used up when its bytes cannot give another whole code.
  auto exhausted = [&] { return bits < w && !data.More(); };

  TPixelWalker out(Width, Height, Interlaced);
  Byte* rowPtr = Target.Row(0);
  // Moves to the next row once the current one is full.
  auto advance = [&] {
    if (out.Col < Width) return;
    Target.Done(out.Row, Width);
    out.NextRow();
    if (!out.Done()) rowPtr = Target.Row(out.Row);
  };
  auto emit = [&](const Byte* values, Integer count) {
    while (count > 0 && !out.Done()) {
      const Integer n = std::min(count, Width - out.Col);
      std::memcpy(rowPtr + out.Col, values, size_t(n));
      values += n;
      count -= n;
      out.Col += n;
      advance();
    }
  };
  // The string of a table entry: written backwards straight into the row
  // when it fits there, else through the stack.
  auto emitCode = [&](Integer c) {
    if (out.Done()) return;
    const Integer n = length[c];
    if (n <= Width - out.Col) {
      Byte* p = rowPtr + out.Col + n;
      while (c >= C) {
        *--p = suffix[c];
        c = prefix[c];
      }
      *--p = suffix[c];
      out.Col += n;
      advance();
      return;
    }
    Integer sp = kMaxCodes + 1;
    while (c >= C) {
      stack[--sp] = suffix[c];
      c = prefix[c];
    }
    stack[--sp] = suffix[c];
    emit(stack.get() + sp, kMaxCodes + 1 - sp);
  };

  Integer prev = -1;
  Integer code = readCode();
  // Runs the code stream; returns when it ends, runs out or fails.
  auto run = [&] {
    while (code != E) {
      if (code == C) {
        w = m + 1;
        N = E + 1;
        L = 1 << w;
        do {
          if (exhausted()) return;
          code = readCode();
        } while (code == C);
        if (code == E) {
          if (data.More()) fail();
          return;
        }
        if (code >= N) code = 0;
        const Byte v = Byte(code);
        emit(&v, 1);
        prev = code;
      } else if (code > N || (code == N && prev < 0) || code >= kMaxCodes) {
        return fail();
      } else {
        // The new entry is the previous string and the first value of this
        // one (for code == N: of the previous string, which is the same);
        // made first, it also serves a code naming it.
        if (prev >= 0 && N < kMaxCodes) {
          const Integer c = code == N ? prev : code;
          prefix[N] = Word(prev);
          suffix[N] = first[c];
          first[N] = first[prev];
          length[N] = Word(length[prev] + 1);
          ++N;
          if (N >= L && w < 12) {
            w += 1;
            L <<= 1;
          }
        }
        emitCode(code);
        prev = code;
      }
      if (exhausted()) return;
      code = readCode();
    }
  };
  run();
  if (!out.Done() && out.Col > 0) Target.Done(out.Row, out.Col);
  if (failed)
    S.Seek(start, soBeginning);
  else
    data.Finish();
}

void GIFLZWDecompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, Byte* Output) {
  if (!Output) return;
  struct TFlat final : TGIFRowTarget {
    Byte* Out;
    Integer W;
    TFlat(Byte* O, Integer Wd) : Out(O), W(Wd) {}
    Byte* Row(Integer Y) override { return Out + size_t(Y) * size_t(W); }
    void Done(Integer, Integer) override {}
  } flat(Output, Width);
  GIFLZWDecodeRows(Stream, Height, Width, Interlaced, flat);
}

namespace {

// Sub-block output: a length byte and up to BlockMax bytes, gathered into a
// buffer that is written to the stream in large pieces.
struct TBlockWriter {
  TStream& S;
  Integer BlockMax;
  std::vector<Byte> Out;
  Byte Block[256];
  Integer Len = 0;
  TBlockWriter(TStream& Stream, Integer Max) : S(Stream), BlockMax(Max) { Out.reserve(1 << 16); }
  void Put(Byte b) {
    Block[Len++] = b;
    if (Len == BlockMax) FlushBlock();
  }
  void FlushBlock() {
    if (Len == 0) return;
    Out.push_back(Byte(Len));
    Out.insert(Out.end(), Block, Block + Len);
    Len = 0;
    if (Out.size() >= (1 << 16)) Drain();
  }
  void Drain() {
    if (!Out.empty()) S.WriteBuffer(Out.data(), Int64(Out.size()));
    Out.clear();
  }
  void Finish() {
    FlushBlock();
    Out.push_back(0);
    Drain();
  }
};

// Packs codes of varying width least significant bit first.
struct TCodePacker {
  TBlockWriter& W;
  DWORD Acc = 0;
  Integer Bits = 0;
  explicit TCodePacker(TBlockWriter& Writer) : W(Writer) {}
  void Put(Integer Code, Integer Width) {
    Acc |= DWORD(Code) << Bits;
    Bits += Width;
    while (Bits >= 8) {
      W.Put(Byte(Acc));
      Acc >>= 8;
      Bits -= 8;
    }
  }
  void Flush() {
    if (Bits > 0) W.Put(Byte(Acc));
    Acc = 0;
    Bits = 0;
  }
};

// Pixels in the encoders' order.
struct TPixelSource {
  const Byte* Pixels;
  TPixelWalker Walk;
  TPixelSource(const Byte* P, Integer W, Integer H, bool I) : Pixels(P), Walk(W, H, I) {}
  bool Next(Byte& Value) {
    if (Walk.Done()) return false;
    Value = Pixels[size_t(Walk.Row) * size_t(Walk.Width) + size_t(Walk.Col)];
    if (++Walk.Col >= Walk.Width) Walk.NextRow();
    return true;
  }
};

}  // namespace

void GIFLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Pixels,
                    Integer BitsPerPixel) {
  if (!Stream) return;
  const Integer b = std::clamp<Integer>(BitsPerPixel, 2, 8);
  const Byte mcs = Byte(b);
  Stream->WriteBuffer(&mcs, 1);
  TBlockWriter writer(*Stream, 254);
  TCodePacker packer(writer);
  const Integer w0 = b + 1, C = 1 << b, E = C + 1;
  Integer w = w0, M = (1 << w) - 1, F = C + 2;
  bool clearFlag = false;
  constexpr Integer kHashSize = 5003, kShift = 4;
  std::vector<Integer> htab(kHashSize, -1);
  std::vector<Word> codetab(kHashSize, 0);
  // Emits a code and moves to the next code width (or back to the first
  // after a clear), as the decoder will.
  auto output = [&](Integer code) {
    packer.Put(code, w);
    if (F > M || clearFlag) {
      if (clearFlag) {
        w = w0;
        M = (1 << w) - 1;
        clearFlag = false;
      } else {
        ++w;
        M = w == 12 ? kMaxCodes : (1 << w) - 1;
      }
    }
  };
  output(C);
  if (Width <= 0 || Height <= 0 || !Pixels) {
    output(E);
    packer.Flush();
    writer.Finish();
    return;
  }
  TPixelSource src(Pixels, Width, Height, Interlaced);
  Byte px = 0;
  src.Next(px);
  Integer ent = px & (C - 1);
  while (src.Next(px)) {
    const Integer c = px & (C - 1);
    const Integer fcode = (c << 12) + ent;
    Integer i = (c << kShift) ^ ent;
    if (htab[i] == fcode) {
      ent = codetab[i];
      continue;
    }
    if (htab[i] >= 0) {
      const Integer disp = i == 0 ? 1 : kHashSize - i;
      bool found = false;
      do {
        i -= disp;
        if (i < 0) i += kHashSize;
        if (htab[i] == fcode) {
          found = true;
          break;
        }
      } while (htab[i] > 0);
      if (found) {
        ent = codetab[i];
        continue;
      }
    }
    output(ent);
    if (F < kMaxCodes) {
      codetab[i] = Word(F++);
      htab[i] = fcode;
    } else {
      std::fill(htab.begin(), htab.end(), -1);
      F = C + 2;
      clearFlag = true;
      output(C);
    }
    ent = c;
  }
  output(ent);
  output(E);
  packer.Flush();
  writer.Finish();
}

namespace {
// Codes a run of n pixels from a freshly cleared table takes: the codes p,
// C+2, C+3, ... stand for 1, 2, 3, ... pixels, so k codes cover
// k(k+1)/2 pixels; a table holds at most Full codes before it must be
// cleared again (one more code).
Int64 FreshRunCodes(Int64 n, Int64 Full) {
  const Int64 perTable = Full * (Full + 1) / 2;
  Int64 codes = 0;
  if (n > perTable) {
    codes += (n / perTable) * (Full + 1);
    n %= perTable;
  }
  if (n <= 0) return codes;
  // The least k with k(k+1) >= 2n, from an integer square root.
  Int64 k = Int64(std::sqrt(double(2 * n)));
  while (k > 0 && (k - 1) * k >= 2 * n) --k;
  while (k * (k + 1) < 2 * n) ++k;
  return codes + k;
}
}  // namespace

void GIFNONLZWCompress(TStream* Stream, Integer Height, Integer Width, bool Interlaced, const Byte* Pixels,
                       Integer BitsPerPixel) {
  if (!Stream) return;
  const Integer m = BitsPerPixel <= 1 ? 2 : std::min<Integer>(BitsPerPixel, 8);
  const Byte mcs = Byte(m);
  Stream->WriteBuffer(&mcs, 1);
  TBlockWriter writer(*Stream, 255);
  TCodePacker packer(writer);
  const Integer C = 1 << m, E = C + 1;
  // The encoder builds no string table of its own. It follows the decoder's
  // table instead: every code after the first one following a clear adds
  // an entry, which fixes the code width. Runs of one pixel are sent with
  // codes the decoder has just come to hold: after a clear, p, C+2, C+3, ...
  // stand for runs of 1, 2, 3, ... pixels p. Other pixels go as plain codes,
  // with a clear before the width would grow, so they stay m+1 bits wide.
  // The table is cleared before it fills, as some decoders refuse a
  // deferred clear.
  const Integer full = kMaxCodes - (C + 3);           // most codes between clears
  const Integer plainLimit = m + 1 <= 3 ? 9 : C - 2;  // plain codes between clears
  Integer w = m + 1, N = C + 2, count = 0;
  bool justCleared = true;
  Integer knownPixel = -1,
          knownRun = 0;  // C+2 .. C+knownRun hold runs of knownPixel
  auto put = [&](Integer code) {
    packer.Put(code, w);
    ++count;
    if (!justCleared) {
      ++N;
      if (N >= (1 << w) && w < 12) ++w;
    }
    justCleared = false;
  };
  auto clear = [&] {
    packer.Put(C, w);
    w = m + 1;
    N = C + 2;
    count = 0;
    justCleared = true;
    knownPixel = -1;
    knownRun = 0;
  };
  // A run from the cleared state: p, then C+k for k = 2, 3, ...; the last
  // code is cut to what is left. A table that fills is cleared and the run
  // goes on from the fresh one.
  auto freshRun = [&](Integer p, Int64 n) {
    Integer k = 1;
    while (n > 0) {
      if (count >= full) clear();
      if (justCleared) {
        put(p);
        --n;
        knownPixel = p;
        knownRun = 1;
        k = 2;
      } else if (n >= k) {
        put(C + k);
        knownRun = k;
        n -= k;
        ++k;
      } else {
        put(n == 1 ? p : C + Integer(n));
        n = 0;
      }
    }
  };
  auto flush = [&](Integer p, Int64 n) {
    if (n <= 0) return;
    if (n == 1) {
      put(p);
      if (count >= plainLimit) clear();
      return;
    }
    const Int64 fresh = 1 + FreshRunCodes(n, full);
    if (justCleared) {
      freshRun(p, n);
    } else if (knownPixel == p && knownRun >= 2 && count + n / knownRun + 1 <= full &&
               n / knownRun + (n % knownRun ? 1 : 0) <= fresh) {
      for (Int64 i = n / knownRun; i > 0; --i) put(C + knownRun);
      const Int64 r = n % knownRun;
      if (r) put(r == 1 ? p : C + Integer(r));
    } else if (fresh < n) {
      clear();
      freshRun(p, n);
    } else {
      for (Int64 i = 0; i < n; ++i) {
        put(p);
        if (count >= plainLimit) clear();
      }
      return;
    }
    if (count >= plainLimit) clear();
  };
  packer.Put(C, w);
  if (Pixels && Width > 0 && Height > 0) {
    TPixelSource src(Pixels, Width, Height, Interlaced);
    Byte px = 0;
    src.Next(px);
    Integer run = px & (C - 1);
    Int64 n = 1;
    while (src.Next(px)) {
      const Integer c = px & (C - 1);
      if (c == run) {
        ++n;
        continue;
      }
      flush(run, n);
      run = c;
      n = 1;
    }
    flush(run, n);
  }
  packer.Put(E, w);
  packer.Flush();
  writer.Finish();
}

namespace {
// The GIF codec reaches its coders through the process-wide hooks; install
// them when the library loads, before any parameter record copies them.
struct TInstallGIFCoders {
  TInstallGIFCoders() {
    DefGIF_LZWDECOMPFUNC = GIFLZWDecompress;
    DefGIF_LZWCOMPFUNC = GIFLZWCompress;
  }
} installGIFCoders;
}  // namespace
