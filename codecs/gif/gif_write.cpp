// GIF writer: one frame with a global colour table, its graphic control,
// the LZW data from the encoder hook and the comment extension.
#include <cstring>

#include "codecs/gif/gif_pvt.h"
#include "codecs/gif/giffilter.h"
#include "codecs/lkcodecutil.h"

using namespace gifcodec;

void WriteGIFStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  lkcodec::Report(Progress, 0);
  if (LKAborted(Progress)) return;
  if (!Stream || !Bitmap || Bitmap->IsEmpty()) return LKAbort(Progress, "GIF: damaged or unsupported data");
  TStream& S = *Stream;
  std::atomic<bool>* abort = Progress.AbortFlag;
  TGIFFrame f;
  if (!MakeFrame(*Bitmap, Params, false, f)) return LKAbort(Progress, "GIF: damaged or unsupported data");
  lkcodec::Report(Progress, 30);
  if (LKAborted(Progress)) return;

  TGIFHeader h{};
  String version = Params.GIF_VERSION;
  version.resize(6, ' ');
  if (version.compare(0, 3, "GIF") != 0) version = "GIF89a";
  std::memcpy(h.Signature, version.data(), 6);
  h.ScreenWidth = Word(f.Width);
  h.ScreenHeight = Word(f.Height);
  h.Flags = Byte(0x80 | ((f.Bits - 1) << 4) | (f.Bits - 1));
  h.Background = Byte(f.BackgroundIndex);
  Byte raw[kHeaderSize];
  StoreHeader(h, raw);
  SafeStreamWrite(&S, abort, raw, kHeaderSize);
  const std::vector<Byte> table = TableBytes(f.Palette, 1 << f.Bits);
  SafeStreamWrite(&S, abort, table.data(), Integer(table.size()));
  WriteGraphicControl(S, Params, f, abort);
  WriteImageDescriptor(S, Params, f, false, abort);
  lkcodec::Report(Progress, 70);
  if (LKAborted(Progress)) return;
  TGIFLZWCompFunc encode = Params.GIF_LZWCompressor ? Params.GIF_LZWCompressor : DefGIF_LZWCOMPFUNC;
  if (!encode) return LKAbort(Progress, "GIF: damaged or unsupported data");
  try {
    encode(&S, f.Height, f.Width, Params.GIF_INTERLACED, f.Indices.data(), f.Bits);
  } catch (const EStreamError&) {
    return LKAbort(Progress, "GIF: damaged or unsupported data");
  }
  // Comments, one sub-block each (cut to the 255 bytes a sub-block holds;
  // empty ones would end the list early and are left out).
  std::vector<Byte> c = {kExtension, kComment};
  for (Integer i = 0; i < Params.GIF_CommentLines.Count(); ++i) {
    const String line = Params.GIF_CommentLines.Strings(i).substr(0, 255);
    if (line.empty()) continue;
    c.push_back(Byte(line.size()));
    c.insert(c.end(), line.begin(), line.end());
  }
  c.push_back(0);
  c.push_back(kTrailer);
  SafeStreamWrite(&S, abort, c.data(), Integer(c.size()));
  if (!LKAborted(Progress)) lkcodec::Report(Progress, 100);
}

void WriteGIF(const String& FileName, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress) {
  lkcodec::WriteFileUnlessAborted(FileName, Progress,
                                  [&](TStream& f) { WriteGIFStream(&f, Bitmap, Params, Progress); });
}
