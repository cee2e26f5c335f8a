#include "codecs/jp2/j2kfilt.h"

#include <openjpeg.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbytereader.h"
#include "io/lkformatrow.h"

namespace {

// ---------------------------------------------------------------------------
// Probes

bool HasJP2Signature(TLKByteReader& r) {
  static const Byte kBox[12] = {0, 0, 0, 12, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
  Byte b[12];
  return r.Read(b, 12) && std::memcmp(b, kBox, 12) == 0;
}

bool HasCodeStreamStart(TLKByteReader& r) { return r.Size() >= 4 && r.U32BE() == 0xFF4FFF51u; }

// The tile grid of the image size marker (SIZ) right after the start of
// the code stream, which in a JP2 file is the content of its "jp2c" box.
// Returns the number of tiles, 0 when the marker cannot be found (the
// decoder then says what is wrong).
Int64 TileCount(TLKByteReader& r, bool JP2) {
  Int64 cs = 0;
  if (JP2) {
    Int64 at = 0;
    cs = -1;
    for (int boxes = 0; boxes < 64 && at + 8 <= r.Size(); ++boxes) {
      Int64 len = r.U32BEAt(at);
      const Cardinal type = r.U32BEAt(at + 4);
      Int64 head = 8;
      if (len == 1) {
        len = Int64((UInt64(r.U32BEAt(at + 8)) << 32) | r.U32BEAt(at + 12));
        head = 16;
      } else if (len == 0) {
        len = r.Size() - at;
      }
      if (type == 0x6A703263u) {  // "jp2c"
        cs = at + head;
        break;
      }
      if (len < head || !r.Ok()) return 0;
      at += len;
    }
    if (cs < 0) return 0;
  }
  if (r.U32BEAt(cs) != 0xFF4FFF51u) return 0;
  const Int64 siz = cs + 6;  // after FF 4F, FF 51 and the segment length
  const Int64 x1 = r.U32BEAt(siz + 2), y1 = r.U32BEAt(siz + 6);
  const Int64 tw = r.U32BEAt(siz + 18), th = r.U32BEAt(siz + 22);
  const Int64 tx0 = r.U32BEAt(siz + 26), ty0 = r.U32BEAt(siz + 30);
  if (!r.Ok() || tw == 0 || th == 0 || x1 <= tx0 || y1 <= ty0) return 0;
  const Int64 across = (x1 - tx0 + tw - 1) / tw, down = (y1 - ty0 + th - 1) / th;
  // Each is below 2^32: their product is capped rather than overflowing.
  return across > (Int64{1} << 62) / down ? Int64{1} << 62 : across * down;
}

// ---------------------------------------------------------------------------
// OpenJPEG streams over ours

// Reading: every byte comes through the bounded reader.
OPJ_SIZE_T ReadFn(void* Buffer, OPJ_SIZE_T Count, void* User) {
  auto* r = static_cast<TLKByteReader*>(User);
  const size_t n = r->ReadSome(Buffer, Count);
  return n ? n : OPJ_SIZE_T(-1);
}
OPJ_OFF_T SkipReadFn(OPJ_OFF_T Count, void* User) {
  auto* r = static_cast<TLKByteReader*>(User);
  const Int64 from = r->Position();
  const Int64 to = std::clamp<Int64>(from + Count, 0, r->Size());
  r->Seek(to);
  return to - from == Count ? Count : -1;
}
OPJ_BOOL SeekReadFn(OPJ_OFF_T Pos, void* User) {
  auto* r = static_cast<TLKByteReader*>(User);
  return Pos >= 0 && Pos <= r->Size() && r->Seek(Pos);
}

// Writing: at the caller's stream from where the writer started.
struct TWriteTarget {
  TStream* Stream;
  Int64 Origin;
};
OPJ_SIZE_T WriteFn(void* Buffer, OPJ_SIZE_T Count, void* User) {
  auto* t = static_cast<TWriteTarget*>(User);
  Integer done = t->Stream->Write(Buffer, Integer(Count));
  return done == Integer(Count) ? Count : OPJ_SIZE_T(-1);
}
OPJ_OFF_T SkipWriteFn(OPJ_OFF_T Count, void* User) {
  auto* t = static_cast<TWriteTarget*>(User);
  t->Stream->Seek(Count, soCurrent);
  return Count;
}
OPJ_BOOL SeekWriteFn(OPJ_OFF_T Pos, void* User) {
  auto* t = static_cast<TWriteTarget*>(User);
  return t->Stream->Seek(t->Origin + Pos, soBeginning) == t->Origin + Pos;
}

// The codec's messages: errors set the abort flag with their text.
void ErrorFn(const char* Msg, void* User) {
  String text = Msg ? Msg : "";
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  LKAbort(*static_cast<TProgressRec*>(User), "JPEG 2000: " + text);
}
void QuietFn(const char*, void*) {}

struct TCodec {
  opj_codec_t* Codec = nullptr;
  opj_stream_t* Stream = nullptr;
  opj_image_t* Image = nullptr;
  ~TCodec() {
    if (Image) opj_image_destroy(Image);
    if (Stream) opj_stream_destroy(Stream);
    if (Codec) opj_destroy_codec(Codec);
  }
};

void SetHandlers(opj_codec_t* Codec, TProgressRec& Progress) {
  opj_set_error_handler(Codec, ErrorFn, &Progress);
  opj_set_warning_handler(Codec, QuietFn, nullptr);
  opj_set_info_handler(Codec, QuietFn, nullptr);
  // One thread: pictures are decoded on the caller's thread.
  opj_codec_set_threads(Codec, 0);
}

// A sample of precision Prec as a byte: its top 8 bits (smaller precisions
// are shifted up).
inline Byte TopByte(std::int32_t V, Integer Prec) {
  if (Prec >= 8) return Byte(V >> (Prec - 8));
  return Byte(V << (8 - Prec));
}

}  // namespace

const TJ2KYCbCrTables& J2KYCbCrTables() {
  static const TJ2KYCbCrTables tables = [] {
    TJ2KYCbCrTables t{};
    constexpr double kr = 0.299, kg = 0.587, kb = 0.114;
    for (int c = 0; c < 256; ++c) {
      const double r = c - 128;
      // nearbyint rounds halves to even.
      t.RedFromCr[c] = Integer(std::nearbyint((2 - 2 * kr) * r));
      t.BlueFromCb[c] = Integer(std::nearbyint((2 - 2 * kb) * r));
      t.GreenFromCr[c] = -Integer(std::nearbyint(kr * (2 - 2 * kr) / kg * r));
      t.GreenFromCb[c] = -Integer(std::nearbyint(kb * (2 - 2 * kb) / kg * r));
    }
    return t;
  }();
  return tables;
}

bool J2KTryStreamJP2(TStream* Stream) { return Stream && LKProbeWith(*Stream, HasJP2Signature); }
bool J2KTryStreamJ2K(TStream* Stream) { return Stream && LKProbeWith(*Stream, HasCodeStreamStart); }

// ---------------------------------------------------------------------------
// Reading

void J2KReadStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                   bool ParamsOnly) {
  const bool jp2 = J2KTryStreamJP2(Stream);
  if (!jp2 && !J2KTryStreamJ2K(Stream)) return LKAbort(Progress, "JPEG 2000: no JP2 signature or code stream");

  const Int64 start = Stream->Position();
  TLKByteReader headers(*Stream);
  // Every tile takes at least a tile-part header (12 bytes) and the start
  // of its data (2): a short stream claiming many tiles is refused before
  // the decoder sets up its tile structures for all of them.
  const Int64 tiles = TileCount(headers, jp2);
  if (tiles > 1 && tiles > headers.Size() / 14)
    return LKAbort(Progress, "JPEG 2000: " + IntToStr(tiles) + " tiles claimed by " + IntToStr(headers.Size()) +
                                 " bytes");
  Stream->Seek(start, soBeginning);
  TLKByteReader reader(*Stream);
  TCodec c;
  c.Codec = opj_create_decompress(jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  if (!c.Codec) return LKAbort(Progress, "JPEG 2000: no decoder");
  SetHandlers(c.Codec, Progress);
  opj_dparameters_t dp;
  opj_set_default_decoder_parameters(&dp);
  if (!opj_setup_decoder(c.Codec, &dp)) return LKAbort(Progress, "JPEG 2000: decoder set-up failed");
  c.Stream = opj_stream_create(1 << 16, OPJ_TRUE);
  if (!c.Stream) return LKAbort(Progress, "JPEG 2000: no stream");
  opj_stream_set_user_data(c.Stream, &reader, nullptr);
  opj_stream_set_user_data_length(c.Stream, OPJ_UINT64(reader.Size()));
  opj_stream_set_read_function(c.Stream, ReadFn);
  opj_stream_set_skip_function(c.Stream, SkipReadFn);
  opj_stream_set_seek_function(c.Stream, SeekReadFn);

  if (!opj_read_header(c.Stream, c.Codec, &c.Image) || !c.Image || LKAborted(Progress))
    return LKAbort(Progress, "JPEG 2000: unreadable header");
  opj_image_t& im = *c.Image;
  if (im.numcomps == 0 || !im.comps || im.x1 <= im.x0 || im.y1 <= im.y0)
    return LKAbort(Progress, "JPEG 2000: the picture has no pixels");
  const Int64 w64 = Int64(im.x1) - im.x0, h64 = Int64(im.y1) - im.y0;

  // Which components make the picture, by colour space. Code streams and
  // files without one are grey with one or two components, else RGB.
  enum { kGrey, kRGB, kYCbCr } kind;
  switch (im.color_space) {
    case OPJ_CLRSPC_GRAY: kind = kGrey; break;
    case OPJ_CLRSPC_SRGB: kind = kRGB; break;
    case OPJ_CLRSPC_SYCC: kind = kYCbCr; break;
    case OPJ_CLRSPC_UNSPECIFIED:
    case OPJ_CLRSPC_UNKNOWN: kind = im.numcomps >= 3 ? kRGB : kGrey; break;
    default: return LKAbort(Progress, "JPEG 2000: unsupported colour space");
  }
  const Cardinal used = kind == kGrey ? 1 : 3;
  if (im.numcomps < used) return LKAbort(Progress, "JPEG 2000: too few components for the colour space");
  for (Cardinal i = 0; i < used; ++i) {
    const opj_image_comp_t& k = im.comps[i];
    if (k.dx == 0 || k.dy == 0 || k.prec == 0 || k.prec > 31)
      return LKAbort(Progress, "JPEG 2000: bad component parameters");
  }

  Params.BITSPERSAMPLE = Integer(im.comps[0].prec);
  Params.SAMPLESPERPIXEL = Integer(used);
  Params.DPIX = gDefaultDPIX;
  Params.DPIY = gDefaultDPIY;
  Params.WIDTH = Integer(std::min<Int64>(w64, 0x7FFFFFFF));
  Params.HEIGHT = Integer(std::min<Int64>(h64, 0x7FFFFFFF));
  if (ParamsOnly) return;

  const bool bilevel = kind == kGrey && im.comps[0].prec == 1;
  // The picture, and the decoder's own buffers: one 32-bit sample per
  // component and pixel, in memory.
  TLKPictureRequest req;
  req.Width = w64;
  req.Height = h64;
  req.BitsPerPixel = bilevel ? 1 : 24;
  if (!LKAllowPicture(req, Progress, "JPEG 2000")) return;
  TLKPictureRequest work = req;
  work.BitsPerPixel = Integer(32 * used);
  work.MemoryOnly = true;
  if (!LKAllowPicture(work, Progress, "JPEG 2000")) return;

  // Decode only the components the picture uses.
  OPJ_UINT32 comps[3] = {0, 1, 2};
  if (im.numcomps > used && !opj_set_decoded_components(c.Codec, used, comps, OPJ_FALSE))
    return LKAbort(Progress, "JPEG 2000: cannot select components");
  if (!opj_decode(c.Codec, c.Stream, c.Image) || !opj_end_decompress(c.Codec, c.Stream) || LKAborted(Progress))
    return LKAbort(Progress, "JPEG 2000: the code stream cannot be decoded");
  for (Cardinal i = 0; i < used; ++i)
    if (!im.comps[i].data || im.comps[i].w == 0 || im.comps[i].h == 0)
      return LKAbort(Progress, "JPEG 2000: a component was not decoded");

  const Integer w = Integer(w64), h = Integer(h64);
  Bitmap->Allocate(w, h, bilevel ? lk1g : lk24RGB);
  if (Bitmap->GetWidth() != w || Bitmap->GetHeight() != h) return LKAbort(Progress, "JPEG 2000: no memory");

  // Column indices of each component, computed once per picture.
  std::vector<std::int32_t> colIndex[3];
  for (Cardinal i = 0; i < used; ++i) {
    const opj_image_comp_t& k = im.comps[i];
    colIndex[i].resize(size_t(w));
    for (Integer x = 0; x < w; ++x) {
      const Int64 cx = (Int64(im.x0) + x) / k.dx - Int64(k.x0);
      colIndex[i][size_t(x)] = cx >= 0 && cx < Int64(k.w) ? std::int32_t(cx) : -1;
    }
  }
  const TJ2KYCbCrTables& t = J2KYCbCrTables();
  std::vector<Byte> samples[3];
  for (auto& s : samples) s.resize(size_t(w));
  for (Integer y = 0; y < h && !LKAborted(Progress); ++y) {
    for (Cardinal i = 0; i < used; ++i) {
      const opj_image_comp_t& k = im.comps[i];
      const Int64 cy = (Int64(im.y0) + y) / k.dy - Int64(k.y0);
      const bool rowInside = cy >= 0 && cy < Int64(k.h);
      const Integer prec = Integer(k.prec);
      const std::int32_t offset = k.sgnd ? std::int32_t(1) << (prec - 1) : 0;
      const std::int32_t maxv = std::int32_t((Int64(1) << prec) - 1);
      const OPJ_INT32* row = k.data + (rowInside ? size_t(cy) * k.w : 0);
      for (Integer x = 0; x < w; ++x) {
        const std::int32_t cx = colIndex[i][size_t(x)];
        // A position outside the component reads its first sample.
        const std::int32_t v = rowInside && cx >= 0 ? row[cx] : k.data[0];
        samples[i][size_t(x)] = TopByte(std::int32_t(std::clamp<Int64>(Int64(v) + offset, 0, maxv)), prec);
      }
    }
    auto* out = static_cast<Byte*>(Bitmap->GetScanLine(y));
    if (bilevel) {
      std::memset(out, 0, size_t(w + 7) / 8);
      for (Integer x = 0; x < w; ++x)
        if (samples[0][size_t(x)]) out[x >> 3] |= Byte(0x80 >> (x & 7));
    } else if (kind == kGrey) {
      for (Integer x = 0; x < w; ++x) out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = samples[0][size_t(x)];
    } else if (kind == kRGB) {
      for (Integer x = 0; x < w; ++x) {
        out[3 * x] = samples[2][size_t(x)];
        out[3 * x + 1] = samples[1][size_t(x)];
        out[3 * x + 2] = samples[0][size_t(x)];
      }
    } else {
      for (Integer x = 0; x < w; ++x) {
        const Integer yv = samples[0][size_t(x)], cb = samples[1][size_t(x)], cr = samples[2][size_t(x)];
        out[3 * x + 2] = Byte(std::clamp(yv + t.RedFromCr[cr], 0, 255));
        out[3 * x + 1] = Byte(std::clamp(yv + t.GreenFromCb[cb] + t.GreenFromCr[cr], 0, 255));
        out[3 * x] = Byte(std::clamp(yv + t.BlueFromCb[cb], 0, 255));
      }
    }
    if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Integer(Int64(y) * 100 / h));
  }
}

// ---------------------------------------------------------------------------
// Writing

String J2KOptionText(const TIOParamsVals& Params) {
  char buf[64];
  // to_chars writes a point whatever the locale says.
  const auto r = std::to_chars(buf, buf + sizeof buf, Params.J2000_RATE);
  return "rate=" + String(buf, r.ptr) +
         (Params.J2000_SCALABLEBY == ioJ2000_Resolution ? " prg=rlcp" : " prg=lrcp");
}

void J2KWriteStream(TStream* Stream, TLKBitmap* Bitmap, TIOParamsVals& Params, TProgressRec& Progress,
                    Integer Format) {
  if (!Bitmap || Bitmap->IsEmpty() || Bitmap->GetWidth() <= 0 || Bitmap->GetHeight() <= 0)
    return LKAbort(Progress, "JPEG 2000: the picture has no pixels");
  const TLKPixelFormat pf = Bitmap->GetPixelFormat();
  if (pf != lk1g && pf != lk24RGB) return LKAbort(Progress, "JPEG 2000: only 1-bit and 24-bit pictures are written");
  if (pf == lk1g) {
    Params.BITSPERSAMPLE = 1;
    Params.J2000_COLORSPACE = ioJ2000_GRAYLEV;
  }
  if (Params.J2000_COLORSPACE > ioJ2000_YCbCr) return LKAbort(Progress, "JPEG 2000: unknown colour space");
  const Integer bps = std::clamp<Integer>(Params.BITSPERSAMPLE > 0 ? Params.BITSPERSAMPLE : 8, 1, 16);
  const Int64 maxv = (Int64(1) << bps) - 1;
  const Integer w = Bitmap->GetWidth(), h = Bitmap->GetHeight();
  const bool grey = Params.J2000_COLORSPACE == ioJ2000_GRAYLEV;
  const Cardinal ncomp = grey ? 1 : 3;

  opj_image_cmptparm_t cp[3];
  std::memset(cp, 0, sizeof cp);
  for (Cardinal i = 0; i < ncomp; ++i) {
    cp[i].dx = cp[i].dy = 1;
    cp[i].w = OPJ_UINT32(w);
    cp[i].h = OPJ_UINT32(h);
    cp[i].prec = OPJ_UINT32(bps);
    cp[i].sgnd = 0;
  }
  TCodec c;
  c.Image = opj_image_create(ncomp, cp, grey ? OPJ_CLRSPC_GRAY : OPJ_CLRSPC_SRGB);
  if (!c.Image) return LKAbort(Progress, "JPEG 2000: no memory");
  opj_image_t& im = *c.Image;
  im.x0 = im.y0 = 0;
  im.x1 = OPJ_UINT32(w);
  im.y1 = OPJ_UINT32(h);

  // Samples: v / 255 * maximum, truncated.
  std::int32_t scale[256];
  for (int v = 0; v < 256; ++v) scale[v] = std::int32_t(Int64(v) * maxv / 255);
  for (Integer y = 0; y < h && !LKAborted(Progress); ++y) {
    const auto* row = static_cast<const Byte*>(Bitmap->GetScanLine(y));
    const size_t at = size_t(y) * size_t(w);
    if (pf == lk1g) {
      for (Integer x = 0; x < w; ++x) im.comps[0].data[at + size_t(x)] = (row[x >> 3] >> (7 - (x & 7))) & 1;
    } else if (grey) {
      for (Integer x = 0; x < w; ++x) {
        const Integer g = (row[3 * x + 2] * gRedToGrayCoef + row[3 * x + 1] * gGreenToGrayCoef +
                           row[3 * x] * gBlueToGrayCoef) / 100;
        im.comps[0].data[at + size_t(x)] = scale[std::clamp(g, 0, 255)];
      }
    } else {
      OPJ_INT32 *r = im.comps[0].data + at, *g = im.comps[1].data + at, *b = im.comps[2].data + at;
      for (Integer x = 0; x < w; ++x) {
        r[x] = scale[row[3 * x + 2]];
        g[x] = scale[row[3 * x + 1]];
        b[x] = scale[row[3 * x]];
      }
    }
    if (Progress.OnProgress) Progress.OnProgress(Progress.Sender, Integer(Int64(y) * 100 / h));
  }
  if (LKAborted(Progress)) return;

  opj_cparameters_t ep;
  opj_set_default_encoder_parameters(&ep);
  ep.tcp_numlayers = 1;
  ep.cp_disto_alloc = 1;
  // The rate is a fraction of the raw size; OpenJPEG takes the compression
  // ratio, 0 for lossless.
  const double rate = Params.J2000_RATE;
  ep.tcp_rates[0] = rate > 0 && rate < 1 ? float(1.0 / rate) : 0.0f;
  ep.prog_order = Params.J2000_SCALABLEBY == ioJ2000_Resolution ? OPJ_RLCP : OPJ_LRCP;
  ep.tcp_mct = grey ? 0 : 1;
  ep.irreversible = 0;
  // Small pictures cannot take the default number of resolutions.
  while (ep.numresolution > 1 && ((w >> (ep.numresolution - 1)) == 0 || (h >> (ep.numresolution - 1)) == 0))
    --ep.numresolution;

  c.Codec = opj_create_compress(Format == 0 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
  if (!c.Codec) return LKAbort(Progress, "JPEG 2000: no encoder");
  SetHandlers(c.Codec, Progress);
  if (!opj_setup_encoder(c.Codec, &ep, c.Image)) return LKAbort(Progress, "JPEG 2000: encoder set-up failed");
  TWriteTarget target{Stream, Stream->Position()};
  c.Stream = opj_stream_create(1 << 16, OPJ_FALSE);
  if (!c.Stream) return LKAbort(Progress, "JPEG 2000: no stream");
  opj_stream_set_user_data(c.Stream, &target, nullptr);
  opj_stream_set_write_function(c.Stream, WriteFn);
  opj_stream_set_skip_function(c.Stream, SkipWriteFn);
  opj_stream_set_seek_function(c.Stream, SeekWriteFn);
  if (!opj_start_compress(c.Codec, c.Image, c.Stream) || !opj_encode(c.Codec, c.Stream) ||
      !opj_end_compress(c.Codec, c.Stream))
    return LKAbort(Progress, "JPEG 2000: encoding failed");
}
