#include "codecs/zlib/lkzlib.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr Integer kBufferSize = 65536;
const char kInvalid[] = "Invalid ZStream operation!";

int LevelOf(TZCompressionLevel L) {
  switch (L) {
    case zcNone: return 0;
    case zcFastest: return 1;
    case zcMax: return 9;
    default: return Z_DEFAULT_COMPRESSION;
  }
}

String Message(int Code) { return zError(Code); }

int CCheck(int Code) {
  if (Code < 0) throw EZCompressionError(Message(Code));
  return Code;
}

int DCheck(int Code) {
  if (Code < 0) throw EZDecompressionError(Message(Code));
  return Code;
}

}  // namespace

TCustomZStream::TCustomZStream(TStream* Stream) : FStrm(Stream), FStrmPos(Stream->Position()), FBuffer(kBufferSize) {}

void TCustomZStream::DoProgress() {
  if (OnProgress) OnProgress(this);
}

TZCompressionStream::TZCompressionStream(TStream* Dest, TZCompressionLevel Level) : TCustomZStream(Dest) {
  FZRec.next_out = FBuffer.data();
  FZRec.avail_out = kBufferSize;
  CCheck(deflateInit(&FZRec, LevelOf(Level)));
}

TZCompressionStream::~TZCompressionStream() {
  FZRec.next_in = nullptr;
  FZRec.avail_in = 0;
  try {
    if (FStrm->Position() != FStrmPos) FStrm->Seek(FStrmPos, soBeginning);
    while (CCheck(deflate(&FZRec, Z_FINISH)) != Z_STREAM_END) {
      FStrm->WriteBuffer(FBuffer.data(), kBufferSize);
      FZRec.next_out = FBuffer.data();
      FZRec.avail_out = kBufferSize;
    }
    if (FZRec.avail_out < kBufferSize) FStrm->WriteBuffer(FBuffer.data(), kBufferSize - FZRec.avail_out);
  } catch (...) {
    // A destructor cannot report; the destination is left short.
  }
  deflateEnd(&FZRec);
}

Integer TZCompressionStream::Read(void*, Integer) { throw EZCompressionError(kInvalid); }

Integer TZCompressionStream::Write(const void* Buffer, Integer Count) {
  if (Count <= 0) return 0;
  FZRec.next_in = static_cast<Bytef*>(const_cast<void*>(Buffer));
  FZRec.avail_in = uInt(Count);
  if (FStrm->Position() != FStrmPos) FStrm->Seek(FStrmPos, soBeginning);
  while (FZRec.avail_in > 0) {
    CCheck(deflate(&FZRec, Z_NO_FLUSH));
    if (FZRec.avail_out == 0) {
      FStrm->WriteBuffer(FBuffer.data(), kBufferSize);
      FZRec.next_out = FBuffer.data();
      FZRec.avail_out = kBufferSize;
      FStrmPos = FStrm->Position();
      DoProgress();
    }
  }
  return Count;
}

Int64 TZCompressionStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  if (Offset == 0 && Origin == soCurrent) return Int64(FZRec.total_in);
  throw EZCompressionError(kInvalid);
}

float TZCompressionStream::GetCompressionRate() {
  if (FZRec.total_in == 0) return 0;
  return float((1.0 - double(FZRec.total_out) / double(FZRec.total_in)) * 100.0);
}

TZDecompressionStream::TZDecompressionStream(TStream* Source) : TCustomZStream(Source), FStart(FStrmPos) {
  FZRec.next_in = FBuffer.data();
  FZRec.avail_in = 0;
  DCheck(inflateInit(&FZRec));
}

TZDecompressionStream::~TZDecompressionStream() { inflateEnd(&FZRec); }

Integer TZDecompressionStream::Read(void* Buffer, Integer Count) {
  if (Count <= 0) return 0;
  FZRec.next_out = static_cast<Bytef*>(Buffer);
  FZRec.avail_out = uInt(Count);
  if (FStrm->Position() != FStrmPos) FStrm->Seek(FStrmPos, soBeginning);
  int result = Z_OK;
  while (FZRec.avail_out > 0 && result != Z_STREAM_END) {
    if (FZRec.avail_in == 0) {
      const Integer n = FStrm->Read(FBuffer.data(), kBufferSize);
      if (n <= 0) break;
      FZRec.next_in = FBuffer.data();
      FZRec.avail_in = uInt(n);
      FStrmPos = FStrm->Position();
      DoProgress();
    }
    result = DCheck(inflate(&FZRec, Z_NO_FLUSH));
  }
  if (result == Z_STREAM_END && FZRec.avail_in > 0) {
    FStrm->Seek(-Int64(FZRec.avail_in), soCurrent);
    FStrmPos = FStrm->Position();
    FZRec.avail_in = 0;
  }
  return Count - Integer(FZRec.avail_out);
}

Integer TZDecompressionStream::Write(const void*, Integer) { throw EZDecompressionError(kInvalid); }

Int64 TZDecompressionStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  auto skip = [&](Int64 n) {
    Byte buf[8192];
    while (n > 0) {
      const Integer want = Integer(std::min<Int64>(n, sizeof buf));
      if (Read(buf, want) != want) throw EReadError("Stream read error");
      n -= want;
    }
  };
  if (Offset == 0 && Origin == soBeginning) {
    DCheck(inflateReset(&FZRec));
    FZRec.next_in = FBuffer.data();
    FZRec.avail_in = 0;
    // Back to where the compressed data began (callers start at 0, where
    // the two agree).
    FStrm->Seek(FStart, soBeginning);
    FStrmPos = FStart;
  } else if ((Offset >= 0 && Origin == soCurrent) ||
             (Origin == soBeginning && Offset > Int64(FZRec.total_out))) {
    skip(Origin == soCurrent ? Offset : Offset - Int64(FZRec.total_out));
  } else if (Offset == 0 && Origin == soEnd) {
    Byte buf[8192];
    while (Read(buf, sizeof buf) > 0) {
    }
  } else {
    throw EZDecompressionError(kInvalid);
  }
  return Int64(FZRec.total_out);
}

void ZCompress(const void* InBuf, Integer InBytes, std::vector<Byte>& Out, TZCompressionLevel Level) {
  const size_t in = size_t(std::max(InBytes, 0));
  Out.assign((in + in / 10 + 12 + 255) & ~size_t(255), 0);
  z_stream z{};
  z.next_in = static_cast<Bytef*>(const_cast<void*>(InBuf));
  z.avail_in = uInt(in);
  CCheck(deflateInit(&z, LevelOf(Level)));
  try {
    z.next_out = Out.data();
    z.avail_out = uInt(Out.size());
    while (CCheck(deflate(&z, Z_FINISH)) != Z_STREAM_END) {
      const size_t used = Out.size() - z.avail_out;
      Out.resize(Out.size() + 256);
      z.next_out = Out.data() + used;
      z.avail_out = uInt(Out.size() - used);
    }
  } catch (...) {
    deflateEnd(&z);
    Out.clear();
    throw;
  }
  Out.resize(z.total_out);
  CCheck(deflateEnd(&z));
}

void ZDecompress(const void* InBuf, Integer InBytes, std::vector<Byte>& Out, Integer OutEstimate) {
  const size_t in = size_t(std::max(InBytes, 0));
  const size_t step = std::max<size_t>((in + 255) & ~size_t(255), 256);
  Out.assign(OutEstimate > 0 ? size_t(OutEstimate) : step, 0);
  z_stream z{};
  z.next_in = static_cast<Bytef*>(const_cast<void*>(InBuf));
  z.avail_in = uInt(in);
  DCheck(inflateInit(&z));
  try {
    z.next_out = Out.data();
    z.avail_out = uInt(Out.size());
    for (;;) {
      const int r = DCheck(inflate(&z, Z_NO_FLUSH));
      if (r == Z_STREAM_END) break;
      // Input used up before the end: the data are cut short.
      if (z.avail_in == 0 && z.avail_out > 0) throw EZDecompressionError(Message(Z_BUF_ERROR));
      const size_t used = Out.size() - z.avail_out;
      Out.resize(Out.size() + step);
      z.next_out = Out.data() + used;
      z.avail_out = uInt(Out.size() - used);
    }
  } catch (...) {
    inflateEnd(&z);
    Out.clear();
    throw;
  }
  Out.resize(z.total_out);
  DCheck(inflateEnd(&z));
}

String ZCompressStr(const String& S, TZCompressionLevel Level) {
  std::vector<Byte> out;
  ZCompress(S.data(), Integer(S.size()), out, Level);
  return String(out.begin(), out.end());
}

String ZDecompressStr(const String& S) {
  std::vector<Byte> out;
  ZDecompress(S.data(), Integer(S.size()), out, 0);
  return String(out.begin(), out.end());
}

void ZCompressStream(TStream* Source, TStream* Dest, TZCompressionLevel Level) {
  constexpr Integer kPiece = 32768;
  std::vector<Byte> in(kPiece), out(kPiece);
  z_stream z{};
  CCheck(deflateInit(&z, LevelOf(Level)));
  try {
    int flush = Z_NO_FLUSH;
    do {
      const Integer n = Source->Read(in.data(), kPiece);
      z.next_in = in.data();
      z.avail_in = uInt(std::max(n, 0));
      flush = n <= 0 ? Z_FINISH : Z_NO_FLUSH;
      do {
        z.next_out = out.data();
        z.avail_out = kPiece;
        CCheck(deflate(&z, flush));
        Dest->WriteBuffer(out.data(), kPiece - z.avail_out);
      } while (z.avail_out == 0);
    } while (flush != Z_FINISH);
  } catch (...) {
    deflateEnd(&z);
    throw;
  }
  deflateEnd(&z);
}

void ZDecompressStream(TStream* Source, TStream* Dest) {
  constexpr Integer kPiece = 32768;
  std::vector<Byte> in(kPiece), out(kPiece);
  z_stream z{};
  DCheck(inflateInit(&z));
  try {
    int r = Z_OK;
    while (r != Z_STREAM_END) {
      const Integer n = Source->Read(in.data(), kPiece);
      if (n <= 0) throw EZDecompressionError(Message(Z_BUF_ERROR));
      z.next_in = in.data();
      z.avail_in = uInt(n);
      do {
        z.next_out = out.data();
        z.avail_out = kPiece;
        r = DCheck(inflate(&z, Z_NO_FLUSH));
        Dest->WriteBuffer(out.data(), kPiece - z.avail_out);
      } while (z.avail_out == 0 && r != Z_STREAM_END);
    }
  } catch (...) {
    inflateEnd(&z);
    throw;
  }
  inflateEnd(&z);
}
