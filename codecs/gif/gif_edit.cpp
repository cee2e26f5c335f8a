// GIF frame editing: every editor rebuilds the whole file in a memory
// stream from the blocks of the old one and replaces the stream or file
// only at the end.
#include <cstring>
#include <memory>

#include "codecs/gif/gif_pvt.h"
#include "codecs/gif/giffilter.h"
#include "codecs/lkcodecutil.h"

using namespace gifcodec;

namespace {

// Reads the header and copies it (version set to "GIF89a", screen grown to
// MinWidth x MinHeight) and the global colour table into Out.
bool CopyHead(TStream& In, TStream& Out, Integer MinWidth = 0, Integer MinHeight = 0) {
  Byte raw[kHeaderSize];
  TGIFHeader h{};
  if (lkcodec::ReadFull(In, raw, kHeaderSize) != kHeaderSize || !ParseHeader(raw, h)) return false;
  std::memcpy(h.Signature, "GIF89a", 6);
  if (MinWidth > h.ScreenWidth) h.ScreenWidth = Word(std::min<Integer>(MinWidth, 65535));
  if (MinHeight > h.ScreenHeight) h.ScreenHeight = Word(std::min<Integer>(MinHeight, 65535));
  StoreHeader(h, raw);
  Out.WriteBuffer(raw, kHeaderSize);
  if (h.Flags & 0x80) {
    std::vector<Byte> table(size_t(TableEntries(h.Flags)) * 3, 0);
    lkcodec::ReadFull(In, table.data(), Int64(table.size()));
    Out.WriteBuffer(table.data(), Int64(table.size()));
  }
  return true;
}

// Copies the 9 descriptor bytes (already read), the local table, the
// minimum code size byte and the data sub-blocks of one image; false when
// the image runs past the end of the stream.
bool CopyImage(TStream& In, TStream& Out, const Byte* Descriptor) {
  Out.WriteBuffer(&kImage, 1);
  Out.WriteBuffer(Descriptor, 9);
  if (Descriptor[8] & 0x80) {
    const Int64 n = Int64(TableEntries(Descriptor[8])) * 3;
    std::vector<Byte> table(static_cast<size_t>(n));
    const Int64 got = lkcodec::ReadFull(In, table.data(), n);
    Out.WriteBuffer(table.data(), got);
    if (got < n) return false;
  }
  Byte mcs = 0;
  if (!GetByte(In, mcs)) return false;
  Out.WriteBuffer(&mcs, 1);
  return PassSubBlocks(In, &Out);
}

void SkipImage(TStream& In, const Byte* Descriptor) {
  if (Descriptor[8] & 0x80) In.Seek(Int64(TableEntries(Descriptor[8])) * 3, soCurrent);
  Byte mcs = 0;
  GetByte(In, mcs);
  PassSubBlocks(In, nullptr);
}

// The loop block: application extension "NETSCAPE2.0" with a loop count.
void WriteLoopBlock(TStream& Out, Word Loops) {
  Byte b[19] = {kExtension, kApplication, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0};
  lkcodec::PutLe16(b + 16, Loops);
  Out.WriteBuffer(b, 19);
}

// True when the next bytes are the loop block's introducer, label and
// first sub-block; the position is left at the block's start.
bool AtLoopBlock(TStream& In) {
  const Int64 at = In.Position();
  Byte b[14];
  const bool yes = lkcodec::ReadFull(In, b, 14) == 14 && b[0] == kExtension && b[1] == kApplication && b[2] == 11 &&
                   std::memcmp(b + 3, "NETSCAPE2.0", 11) == 0;
  In.Seek(at, soBeginning);
  return yes;
}

void SaveOver(TMemoryStream& M, const String& FileName) { M.SaveToFile(FileName); }

}  // namespace

Integer _InsertGIFImStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  lkcodec::Report(Progress, 0);
  if (LKAborted(Progress) || !Stream || !Bitmap) return 0;
  TStream& S = *Stream;
  TMemoryStream out;
  const Int64 start = S.Position();
  Integer wanted = Params.GIF_IMAGEINDEX;
  {
    Byte raw[kHeaderSize];
    TGIFHeader h{};
    const bool gif = lkcodec::ReadFull(S, raw, kHeaderSize) == kHeaderSize && ParseHeader(raw, h);
    S.Seek(start, soBeginning);
    if (!gif) return 0;
  }
  TGIFLZWCompFunc encode = Params.GIF_LZWCompressor ? Params.GIF_LZWCompressor : DefGIF_LZWCOMPFUNC;
  if (!encode) {
    LKAbort(Progress, "GIF: damaged or unsupported data");
    return 0;
  }
  CopyHead(S, out);
  TGIFFrame f;
  if (!MakeFrame(*Bitmap, Params, true, f)) {
    S.Seek(start, soBeginning);
    LKAbort(Progress, "GIF: damaged or unsupported data");
    return 0;
  }
  lkcodec::Report(Progress, 30);
  if (LKAborted(Progress)) {
    S.Seek(start, soBeginning);
    return 0;
  }
  std::atomic<bool>* abort = Progress.AbortFlag;
  auto writeFrame = [&] {
    WriteGraphicControl(out, Params, f, abort);
    WriteImageDescriptor(out, Params, f, true, abort);
    const std::vector<Byte> table = TableBytes(f.Palette, 1 << f.Bits);
    out.WriteBuffer(table.data(), Int64(table.size()));
    encode(&out, f.Height, f.Width, Params.GIF_INTERLACED, f.Indices.data(), f.Bits);
  };
  Integer i = 0;
  for (;;) {
    if (LKAborted(Progress)) break;
    Byte intro = 0;
    if (!GetByte(S, intro) || intro == kTrailer) {
      if (i == wanted) {
        writeFrame();
        ++i;
      }
      out.WriteBuffer(&kTrailer, 1);
      break;
    }
    if (intro == kExtension) {
      Byte label = 0;
      GetByte(S, label);
      if (label == kGraphicControl && i == wanted) {
        writeFrame();
        wanted = -1;
        ++i;
      }
      out.WriteBuffer(&kExtension, 1);
      out.WriteBuffer(&label, 1);
      PassSubBlocks(S, &out);
    } else if (intro == kImage) {
      Byte d[9] = {};
      const bool whole = lkcodec::ReadFull(S, d, 9) == 9;
      // A first image without a graphic control gets the new frame before
      // it all the same.
      if (i == wanted) {
        writeFrame();
        wanted = -1;
        ++i;
      }
      if (!whole || !CopyImage(S, out, d)) {
        LKAbort(Progress, "GIF: damaged or unsupported data");
        break;
      }
      ++i;
      if (i == wanted) {
        lkcodec::Report(Progress, 70);
        if (LKAborted(Progress)) {
          S.Seek(start, soBeginning);
          return 0;
        }
        writeFrame();
        wanted = -1;
        ++i;
      }
    }
  }
  S.Seek(start, soBeginning);
  out.SaveToStream(&S);
  S.SetSize(start + out.Size());
  if (!LKAborted(Progress)) lkcodec::Report(Progress, 100);
  return i;
}

Integer _InsertGIFIm(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  // The frame goes into a copy of the file, which replaces it only when the
  // insertion succeeded.
  TMemoryStream copy;
  copy.LoadFromFile(FileName);
  Integer frames = 0;
  lkcodec::WriteFileUnlessAborted(FileName, Progress, [&](TStream& f) {
    copy.SaveToStream(&f);
    f.Seek(0, soBeginning);
    frames = _InsertGIFImStream(&f, Bitmap, Params, Progress);
  });
  return frames;
}

namespace {

// Copies the GIF at In's position into Out without frame Index (-1: every
// frame kept); Copied counts the frames copied. False when no GIF, or when
// a damaged image cut the copy short (Out then has no trailer).
bool CopyWithoutFrame(TStream& in, Integer Index, TMemoryStream& out, Integer& copied) {
  copied = 0;
  if (!CopyHead(in, out)) return false;
  Integer i = 0;
  for (;;) {
    Byte intro = 0;
    if (!GetByte(in, intro) || intro == kTrailer) {
      out.WriteBuffer(&kTrailer, 1);
      return true;
    }
    if (intro == kExtension) {
      Byte label = 0;
      GetByte(in, label);
      if (label == kGraphicControl && i == Index) {
        PassSubBlocks(in, nullptr);
      } else {
        out.WriteBuffer(&kExtension, 1);
        out.WriteBuffer(&label, 1);
        PassSubBlocks(in, &out);
      }
    } else if (intro == kImage) {
      Byte d[9] = {};
      if (lkcodec::ReadFull(in, d, 9) != 9) return false;
      if (i == Index) {
        SkipImage(in, d);
      } else {
        ++copied;
        if (!CopyImage(in, out, d)) return false;
      }
      ++i;
    }
  }
}

}  // namespace

Integer _DeleteGIFIm(const String& FileName, Integer Index, bool Save) {
  TMemoryStream out;
  Integer copied = 0;
  bool whole = false;
  {
    TFileStream in(FileName, fmOpenRead | fmShareDenyWrite);
    whole = CopyWithoutFrame(in, Index, out, copied);
  }
  // A copy cut short by a damaged image has no trailer: the file is left
  // as it was rather than replaced by a shorter broken one.
  if (Save && whole) SaveOver(out, FileName);
  return copied;
}

Integer _DeleteGIFImStream(TStream* Stream, Integer Index, bool Save) {
  if (!Stream) return 0;
  const Int64 start = Stream->Position();
  TMemoryStream out;
  Integer copied = 0;
  const bool whole = CopyWithoutFrame(*Stream, Index, out, copied);
  Stream->Seek(start, soBeginning);
  if (Save && whole) {
    Stream->SetSize(start);
    Stream->WriteBuffer(out.GetMemory(), out.Size());
    Stream->Seek(start, soBeginning);
  }
  return copied;
}

bool _CheckGIFAnimate(const String& FileName) {
  TFileStream in(FileName, fmOpenRead | fmShareDenyWrite);
  TMemoryStream scratch;
  return CopyHead(in, scratch) && AtLoopBlock(in);
}

void _GIFMakeAnimate(const String& FileName, Word LoopCount, Integer Width, Integer Height) {
  TMemoryStream out;
  {
    TFileStream in(FileName, fmOpenRead | fmShareDenyWrite);
    if (!CopyHead(in, out, Width, Height)) return;
    if (AtLoopBlock(in)) {
      // The old loop block is dropped (19 bytes).
      in.Seek(19, soCurrent);
    }
    WriteLoopBlock(out, LoopCount);
    const Int64 rest = lkcodec::Remaining(in);
    if (rest > 0) out.CopyFrom(&in, rest);
  }
  SaveOver(out, FileName);
}
