// TIFF writer: one bitmap as one page of a little-endian TIFF stream, as a
// new file or inserted into an existing little-endian file. The page's
// layout and coding follow the parameter record; pixel rows go out in
// strips of about 512 KB, raw or coded with CCITT, LZW, PackBits or JPEG.
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <set>

#include "codecs/jpeg/jpegfilt.h"
#include "codecs/tiff/ccitt.h"
#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tifwrite_exif.h"
#include "core/lkbytereader.h"
#include "core/lkicc.h"
#include "core/lkquantizer.h"
#include "io/lkconvertcolor.h"
#include "io/lkimagingannot.h"

namespace {

constexpr Int64 kStripBytes = 524288;

// The page's coding, settled before anything is written.
struct TPageCoding {
  Integer Compression = 1;
  bool TwoD = false;
  Integer FillOrder = 1;
  Integer Photometric = 2;   // photometric code of the page
  Integer Predictor = 1;
  Integer Bits = 8;          // bits per sample
  Integer Samples = 3;
  bool Alpha = false;        // a fourth, alpha sample
  bool Invert = false;       // bilevel rows inverted before CCITT coding
  TTIFFLZWCompFunc LZW = nullptr;
  std::unique_ptr<TLKQuantizer> Quantizer;
  std::vector<TRGB> Palette; // palette of photometric 3
};

Integer CompressionCode(TIOTIFFCompression C, bool& TwoD) {
  TwoD = false;
  switch (C) {
    case ioTIFF_CCITT1D: return 2;
    case ioTIFF_G3FAX1D: return 3;
    case ioTIFF_G3FAX2D: TwoD = true; return 3;
    case ioTIFF_G4FAX: return 4;
    case ioTIFF_LZW: return 5;
    case ioTIFF_OLDJPEG: return 6;
    case ioTIFF_JPEG: return 7;
    case ioTIFF_PACKBITS: return 32773;
    default: return 1;
  }
}

// Settles the working bitmap (the caller's or a converted copy in Owned)
// and the page's coding from the parameters.
TLKBitmap* Normalise(TLKBitmap* B, TIOParamsVals& P, TPageCoding& C, std::unique_ptr<TLKBitmap>& Owned) {
  auto copyAs = [&](TLKPixelFormat pf) {
    Owned = std::make_unique<TLKBitmap>();
    Owned->Assign(B);
    Owned->ConvertToPixelFormat(pf);
    B = Owned.get();
  };
  TLKPixelFormat pf = B->GetPixelFormat();
  C.Compression = CompressionCode(P.TIFF_COMPRESSION, C.TwoD);
  const bool bilevel = P.BITSPERSAMPLE == 1 && P.SAMPLESPERPIXEL == 1;
  if (pf == lk32f || pf == lkCIELab) copyAs(lk24RGB);
  if (!bilevel && B->GetPixelFormat() == lk1g) copyAs(lk24RGB);
  if (bilevel && B->GetPixelFormat() != lk1g) copyAs(lk1g);
  pf = B->GetPixelFormat();
  if ((C.Compression == 6 || C.Compression == 7) && pf != lk24RGB) copyAs(lk24RGB), pf = lk24RGB;
  const bool jpeg = C.Compression == 6 || C.Compression == 7;

  C.Bits = 8;
  C.Samples = 3;
  C.Photometric = 2;
  switch (pf) {
    case lk1g:
      C.Bits = 1, C.Samples = 1, C.Photometric = 1;
      break;
    case lk8g:
      C.Samples = 1, C.Photometric = 1;
      break;
    case lk16g:
      C.Bits = 16, C.Samples = 1, C.Photometric = 1;
      break;
    case lk8p:
      C.Samples = 1, C.Photometric = 3;
      C.Palette.resize(256);
      for (Integer i = 0; i < 256; ++i) C.Palette[static_cast<size_t>(i)] = B->GetPalette(i);
      break;
    case lk48RGB:
      C.Bits = 16;
      break;
    case lkCMYK:
      C.Samples = 4, C.Photometric = 5;
      break;
    default: {  // lk24RGB
      const Integer bits = P.BITSPERSAMPLE;
      if (P.SAMPLESPERPIXEL == 1 && ((bits >= 2 && bits <= 8) || bits == 16)) {
        const Integer n = std::min(1 << std::min<Integer>(bits, 8), 256);
        C.Palette.assign(static_cast<size_t>(n), TRGB{});
        C.Quantizer = std::make_unique<TLKQuantizer>(B, C.Palette.data(), n - 1, n);
        if (C.Compression != 5 && C.Compression != 32773) C.Compression = 1;
        C.Samples = 1;
        C.Bits = bits;
        if (C.Quantizer->GetGrayScale()) {
          C.Photometric = 1;
          C.Palette.clear();
        } else {
          C.Photometric = 3;
          if (C.Bits == 16) C.Bits = 8;
        }
      } else if (P.TIFF_PHOTOMETINTEPRET == ioTIFF_CMYK && !jpeg) {
        C.Samples = 4, C.Photometric = 5;
      } else if (P.TIFF_PHOTOMETINTEPRET == ioTIFF_CIELAB && !jpeg) {
        C.Photometric = 8;
      }
    }
  }
  // CCITT codings take bilevel pictures only; others go out uncompressed.
  if (C.Compression >= 2 && C.Compression <= 4) {
    if (pf != lk1g) C.Compression = 1;
    else C.Photometric = 0, C.Invert = true;
  }
  if (C.Compression == 5) {
    C.LZW = P.TIFF_LZWCompressor ? P.TIFF_LZWCompressor : DefTIFF_LZWCOMPFUNC;
    if (!C.LZW) C.Compression = 1;
  }
  if (C.Compression == 6 || C.Compression == 7) {
    switch (P.TIFF_JPEGCOLORSPACE) {
      case ioJPEG_GRAYLEV: C.Photometric = 1, C.Samples = 1; break;
      case ioJPEG_YCbCr: C.Photometric = 6; break;
      case ioJPEG_CMYK: C.Photometric = 5, C.Samples = 4; break;
      default: C.Photometric = 2; break;
    }
  }
  C.FillOrder = P.TIFF_FILLORDER == 2 ? 2 : 1;
  // An alpha channel that is not fully opaque travels as a fourth sample.
  if (pf == lk24RGB && C.Photometric == 2 && C.Samples == 3 && B->GetHasAlphaChannel() &&
      !B->GetAlphaChannel()->GetFull() && (C.Compression == 1 || C.Compression == 5 || C.Compression == 32773)) {
    C.Alpha = true;
    C.Samples = 4;
  }
  if (C.Compression == 5 && C.Bits == 8 && C.Samples == 3 && C.Photometric == 2) C.Predictor = 2;
  return B;
}

// Packs the low Bits bits of each of N bytes most significant bit first.
void PackBitsOf(const Byte* In, size_t N, Integer Bits, Byte* Out) {
  const size_t bytes = (N * static_cast<size_t>(Bits) + 7) / 8;
  std::memset(Out, 0, bytes);
  size_t bit = 0;
  for (size_t i = 0; i < N; ++i)
    for (Integer b = Bits - 1; b >= 0; --b, ++bit)
      if ((In[i] >> b) & 1) Out[bit >> 3] |= Byte(0x80 >> (bit & 7));
}

// Produces the file bytes of row Y into Out.
void MakeRow(TLKBitmap* B, Integer Y, const TPageCoding& C, TIOParamsVals& P, std::vector<Byte>& Out,
             std::vector<Byte>& Tmp) {
  const Integer w = B->GetWidth();
  const size_t n = static_cast<size_t>(w);
  const Byte* row = static_cast<const Byte*>(B->GetScanLine(Y));
  const TLKPixelFormat pf = B->GetPixelFormat();
  const size_t rowBytes = (n * static_cast<size_t>(C.Bits * C.Samples) + 7) / 8;
  Out.resize(rowBytes);
  switch (pf) {
    case lk1g:
      for (size_t i = 0; i < rowBytes; ++i) Out[i] = C.Invert ? Byte(~row[i]) : row[i];
      return;
    case lk8g:
    case lk8p:
    case lk16g:
    case lk48RGB:
      std::memcpy(Out.data(), row, rowBytes);
      return;
    case lkCMYK:
      for (size_t i = 0; i < rowBytes; ++i) Out[i] = Byte(255 - row[i]);
      return;
    default:
      break;
  }
  // lk24RGB
  if (C.Photometric == 5) {
    LKConvertColorFunction(const_cast<Byte*>(row), lkcmsBGR, Out.data(), lkcmsCMYK, w, &P);
    for (Byte& b : Out) b = Byte(255 - b);
    return;
  }
  if (C.Photometric == 8) {
    LKConvertColorFunction(const_cast<Byte*>(row), lkcmsBGR, Out.data(), lkcmsCIELab, w, &P);
    return;
  }
  if (C.Quantizer) {
    const TRGB* px = reinterpret_cast<const TRGB*>(row);
    if (C.Bits == 16) {
      for (size_t x = 0; x < n; ++x) {
        const Word v = Word(C.Quantizer->GetRGBIndex(px[x]) * 257);
        Out[2 * x] = Byte(v);
        Out[2 * x + 1] = Byte(v >> 8);
      }
      return;
    }
    Tmp.resize(n);
    for (size_t x = 0; x < n; ++x) Tmp[x] = Byte(std::max(0, C.Quantizer->GetRGBIndex(px[x])));
    if (C.Bits == 8) std::memcpy(Out.data(), Tmp.data(), n);
    else PackBitsOf(Tmp.data(), n, C.Bits, Out.data());
    return;
  }
  const Byte* alpha = C.Alpha ? static_cast<const Byte*>(B->GetAlphaChannel()->GetScanLine(Y)) : nullptr;
  const size_t s = static_cast<size_t>(C.Samples);
  for (size_t x = 0; x < n; ++x) {
    Out[s * x] = row[3 * x + 2];
    Out[s * x + 1] = row[3 * x + 1];
    Out[s * x + 2] = row[3 * x];
    if (alpha) Out[s * x + 3] = alpha[x];
  }
  if (C.Predictor == 2)
    for (size_t i = rowBytes; i-- > 3;) Out[i] = Byte(Out[i] - Out[i - 3]);
}

void PackBitsRow(const Byte* Row, size_t Len, std::vector<Byte>& Out) {
  size_t i = 0, litStart = 0;
  auto flushLiteral = [&](size_t end) {
    while (litStart < end) {
      const size_t k = std::min<size_t>(128, end - litStart);
      Out.push_back(Byte(k - 1));
      Out.insert(Out.end(), Row + litStart, Row + litStart + k);
      litStart += k;
    }
  };
  while (i < Len) {
    size_t run = 1;
    while (i + run < Len && run < 128 && Row[i + run] == Row[i]) ++run;
    if (run >= 4) {
      flushLiteral(i);
      Out.push_back(Byte(1 - static_cast<int>(run)));
      Out.push_back(Row[i]);
      i += run;
      litStart = i;
    } else {
      i += run;
    }
  }
  flushLiteral(Len);
}

// Writes the pixel strips and adds the strip entries. False on abort.
bool WriteStrips(TStream* S, TLKTIFFDirWriter& Dir, TLKBitmap* B, TPageCoding& C, TIOParamsVals& P,
                 TProgressRec& Pr, std::atomic<bool>& Abort) {
  const Integer h = B->GetHeight(), w = B->GetWidth();
  std::vector<DWORD> offsets, counts;
  Integer rps = h;
  if (C.Compression == 7) {
    TIOParamsVals jp(nullptr);
    jp.JPEG_QUALITY = P.TIFF_JPEGQUALITY > 0 ? P.TIFF_JPEGQUALITY : jp.JPEG_QUALITY;
    jp.JPEG_COLORSPACE = P.TIFF_JPEGCOLORSPACE == ioJPEG_YCbCrK ? ioJPEG_RGB : P.TIFF_JPEGCOLORSPACE;
    jp.SetDpiX(P.DPIX);
    jp.SetDpiY(P.DPIY);
    const DWORD at = Dir.Here();
    WriteJPegStream(S, B, jp, Pr);
    offsets.push_back(at);
    counts.push_back(Dir.Here() - at);
  } else {
    const Int64 n = std::max<Int64>(Int64{h} * B->GetRowLen() / kStripBytes, 1);
    rps = static_cast<Integer>(std::max<Int64>(h / n, 1));
    std::vector<Byte> row, tmp, coded;
    std::intptr_t lzw = 0;
    TCCITTEncoder fax;
    DWORD start = Dir.Here();
    Pr.Done = 0;
    for (Integer y = 0; y < h && !Abort.load(); ++y) {
      if (Pr.OnProgress) Pr.OnProgress(Pr.Sender, static_cast<Integer>(Int64{y} * 100 / h));
      MakeRow(B, y, C, P, row, tmp);
      switch (C.Compression) {
        case 2: CCITTHuffmanPutLine(row.data(), w, S, &Abort, C.FillOrder); break;
        case 3:
          if (C.TwoD) CCITTHuffmanPutLineG32D(row.data(), w, S, fax, &Abort, C.FillOrder);
          else CCITTHuffmanPutLineG3(row.data(), w, S, fax, &Abort, C.FillOrder);
          break;
        case 4: CCITTHuffmanPutLineG4(row.data(), w, S, fax, &Abort, C.FillOrder); break;
        case 5: C.LZW(row.data(), static_cast<Integer>(row.size()), S, lzw); break;
        case 32773:
          coded.clear();
          PackBitsRow(row.data(), row.size(), coded);
          SafeStreamWrite(S, &Abort, coded.data(), static_cast<Integer>(coded.size()));
          break;
        default: SafeStreamWrite(S, &Abort, row.data(), static_cast<Integer>(row.size())); break;
      }
      if ((y + 1) % rps == 0 || y + 1 == h) {
        // Close the strip's coder so every strip stands alone.
        switch (C.Compression) {
          case 3:
            if (C.TwoD) CCITTHuffmanPutLineG32D(nullptr, w, S, fax, &Abort, C.FillOrder);
            else CCITTHuffmanPutLineG3(nullptr, w, S, fax, &Abort, C.FillOrder);
            break;
          case 4: CCITTHuffmanPutLineG4(nullptr, w, S, fax, &Abort, C.FillOrder); break;
          case 5: C.LZW(nullptr, 0, S, lzw); break;
          default: break;
        }
        fax = TCCITTEncoder{};
        offsets.push_back(start);
        counts.push_back(Dir.Here() - start);
        start = Dir.Here();
      }
    }
    if (lzw) C.LZW(nullptr, 0, S, lzw);
  }
  if (Abort.load()) return false;
  Dir.AddLong(278, static_cast<DWORD>(rps));
  auto array = [&](Word tag, const std::vector<DWORD>& v) {
    if (v.size() == 1) {
      Dir.AddLong(tag, v[0]);
      return;
    }
    const DWORD at = Dir.Here();
    std::vector<Byte> bytes(v.size() * 4);
    for (size_t i = 0; i < v.size(); ++i)
      for (int k = 0; k < 4; ++k) bytes[4 * i + k] = Byte(v[i] >> (8 * k));
    Dir.Put(bytes.data(), static_cast<Integer>(bytes.size()));
    Dir.Add(tag, twLong, static_cast<DWORD>(v.size()), at);
  };
  array(273, offsets);
  array(279, counts);
  return !Abort.load();
}

// Old-style JPEG page (compression 6): the whole JPEG is stored, the strip
// pointing at its scan data.
bool WriteOldJPEG(TStream* S, TLKTIFFDirWriter& Dir, TLKBitmap* B, TIOParamsVals& P, TProgressRec& Pr,
                  std::atomic<bool>& Abort) {
  TMemoryStream mem;
  TIOParamsVals jp(nullptr);
  jp.JPEG_QUALITY = P.TIFF_JPEGQUALITY > 0 ? P.TIFF_JPEGQUALITY : jp.JPEG_QUALITY;
  jp.JPEG_COLORSPACE = P.TIFF_JPEGCOLORSPACE == ioJPEG_YCbCrK ? ioJPEG_RGB : P.TIFF_JPEGCOLORSPACE;
  WriteJPegStream(&mem, B, jp, Pr);
  if (Abort.load()) return false;
  const Byte* d = static_cast<const Byte*>(mem.GetMemory());
  const DWORD len = static_cast<DWORD>(mem.GetSize());
  DWORD sos = 0;
  for (DWORD i = 0; i + 1 < len; ++i)
    if (d[i] == 0xFF && d[i + 1] == 0xDA) {
      sos = i;
      break;
    }
  const DWORD at = Dir.Here();
  Dir.Put(d, static_cast<Integer>(len));
  Dir.AddLong(514, len);
  Dir.AddLong(513, at);
  Dir.AddLong(278, static_cast<DWORD>(B->GetHeight()));
  Dir.AddLong(279, len - sos);
  Dir.AddLong(273, at + sos);
  Dir.AddShort(512, {1});
  Dir.AddShort(530, {2, 2});
  return !Abort.load();
}

DWORD Get32LE(const Byte* p) { return LKGetLE32(p); }

}  // namespace

Integer TIFFWriteStream(TStream* Stream, bool Append, TLKBitmap* Bitmap, TIOParamsVals& P, TProgressRec& Pr) {
  std::atomic<bool> own{false};
  std::atomic<bool>& abort = Pr.AbortFlag ? *Pr.AbortFlag : own;
  if (!Stream || (Bitmap && Bitmap->IsEmpty())) {
    abort = true;
    return 0;
  }
  try {
    Integer result = 1;
    Int64 linkPos = -1;  // where the new directory's position goes
    DWORD nextDir = 0;   // what the new directory links on to
    const Int64 headerPos = Stream->GetPosition();
    if (Append) {
      const Int64 size = Stream->GetSize();
      Byte h[8];
      Stream->SetPosition(0);
      if (size < 8 || Stream->Read(h, 8) != 8 || h[0] != 'I' || h[1] != 'I') {
        abort = true;
        return 0;
      }
      // Walk the chain to the pointer the new page takes the place of.
      Int64 ptrPos = 4;
      DWORD ptr = Get32LE(h + 4);
      Integer passed = 0;
      std::set<DWORD> seen;
      while (true) {
        if ((P.TIFF_IMAGEINDEX == passed) || (ptr == 0 && passed < P.TIFF_IMAGEINDEX)) {
          if (linkPos < 0) {
            linkPos = ptrPos;
            nextDir = ptr;
          }
        }
        if (ptr == 0 || ptr >= size || !seen.insert(ptr).second) break;
        Byte c[2];
        Stream->SetPosition(ptr);
        if (Stream->Read(c, 2) != 2) break;
        const Int64 entries = c[0] | (c[1] << 8);
        ptrPos = Int64{ptr} + 2 + 12 * entries;
        Byte n[4];
        Stream->SetPosition(ptrPos);
        if (Stream->Read(n, 4) != 4) break;
        ++passed;
        ptr = Get32LE(n);
      }
      if (linkPos < 0) {  // a chain cut short: the page goes last
        linkPos = ptrPos;
        nextDir = 0;
      }
      result = passed + 1;
      Stream->SetPosition(size);
      // Offsets are 32 bits: a file that would pass 4 GiB cannot take a page.
      if (Bitmap && size + Int64{Bitmap->GetRowLen()} * Bitmap->GetHeight() * 2 > 0xFFFFFFF0LL) {
        abort = true;
        return 0;
      }
    } else {
      const Byte blank[8] = {};
      SafeStreamWrite(Stream, &abort, blank, 8);
    }

    TLKTIFFDirWriter dir(Stream, 0, &abort);
    if (P.EXIF_HASEXIF) {
      TIFFWriteEXIF(dir, Stream, 0, P, &abort);
    } else {
      dir.AddText(270, P.TIFF_IMAGEDESCRIPTION);
      // A resolution of 0 is no resolution: the default takes its place.
      dir.AddRationalPairs(282, {{static_cast<DWORD>(P.DPIX > 0 ? P.DPIX : gDefaultDPIX), 1}});
      dir.AddRationalPairs(283, {{static_cast<DWORD>(P.DPIY > 0 ? P.DPIY : gDefaultDPIY), 1}});
      dir.AddShort(296, {2});
    }
    TPageCoding c;
    std::unique_ptr<TLKBitmap> owned;
    TLKBitmap* b = Bitmap;
    if (Bitmap) {
      b = Normalise(Bitmap, P, c, owned);
      dir.AddLong(256, static_cast<DWORD>(b->GetWidth()));
      dir.AddLong(257, static_cast<DWORD>(b->GetHeight()));
      if (c.Samples == 1) dir.AddShort(258, {c.Bits});
      else if (c.Samples == 3) dir.AddShort(258, {c.Bits, c.Bits, c.Bits});
      else dir.AddShort(258, {c.Bits, c.Bits, c.Bits, c.Bits});
      dir.AddShort(259, {c.Compression});
      dir.AddShort(262, {c.Photometric});
      dir.AddText(269, P.TIFF_DOCUMENTNAME);
      if (c.Compression >= 2 && c.Compression <= 4) {
        dir.AddShort(266, {c.FillOrder});
        dir.AddShort(327, {0});
      }
      dir.AddShort(284, {1});
      const bool ok = c.Compression == 6 ? WriteOldJPEG(Stream, dir, b, P, Pr, abort)
                                         : WriteStrips(Stream, dir, b, c, P, Pr, abort);
      if (!ok) abort = true;
    }
    if (abort.load()) return 0;
    if (Bitmap) {
      dir.AddShort(277, {c.Samples});
      if (c.Alpha) dir.AddShort(338, {2});
      if (c.Predictor == 2) dir.AddShort(317, {2});
      if (c.Compression == 3) dir.AddLong(292, c.TwoD ? 1 : 0);
      if (c.Compression == 4) dir.AddLong(293, 0);
      if (c.Photometric == 3) {
        const size_t n = size_t{1} << std::min<Integer>(c.Bits, 8);
        std::vector<Byte> map(n * 6, 0);
        auto put = [&](size_t i, Word v) {
          map[2 * i] = Byte(v);
          map[2 * i + 1] = Byte(v >> 8);
        };
        for (size_t i = 0; i < n; ++i) {
          const TRGB e = i < c.Palette.size() ? c.Palette[i] : TRGB{};
          put(i, Word(e.r * 257));
          put(n + i, Word(e.g * 257));
          put(2 * n + i, Word(e.b * 257));
        }
        const DWORD at = dir.Here();
        dir.Put(map.data(), static_cast<Integer>(map.size()));
        dir.Add(320, twShort, static_cast<DWORD>(3 * n), at);
      }
    }
    dir.AddText(285, P.TIFF_PAGENAME);
    if (P.TIFF_XPOS != 0) dir.AddRationalPairs(286, {{static_cast<DWORD>(P.TIFF_XPOS), 1}});
    if (P.TIFF_YPOS != 0) dir.AddRationalPairs(287, {{static_cast<DWORD>(P.TIFF_YPOS), 1}});
    dir.AddLong(254, 0);
    if (P.TIFF_PAGENUMBER >= 0 || P.TIFF_PAGECOUNT >= 0)
      dir.AddShort(297, {std::max(P.TIFF_PAGENUMBER, 0), std::max(P.TIFF_PAGECOUNT, 0)});
    const std::vector<Byte> iptc = P.IPTC_Records.SaveToStandardBuffer(false);
    if (!iptc.empty()) {
      std::vector<Byte> padded = iptc;
      padded.resize((iptc.size() + 3) / 4 * 4, 0);
      const DWORD at = dir.Here();
      dir.Put(padded.data(), static_cast<Integer>(padded.size()));
      dir.Add(33723, twLong, static_cast<DWORD>(padded.size() / 4), at);
    }
    if (!P.XMP_INFO.empty())
      dir.AddBytes(700, twByte, P.XMP_INFO.data(), static_cast<DWORD>(P.XMP_INFO.size()));
    if (P.ImagingAnnot) {
      std::vector<Byte> annot;
      Integer len = 0;
      P.ImagingAnnot->SaveToStandardBuffer(annot, len);
      if (len > 0) dir.AddBytes(32932, twByte, annot.data(), static_cast<DWORD>(len));
    }
    if (P.InputICC && !P.InputICC->GetRaw().empty()) {
      const auto& icc = P.InputICC->GetRaw();
      dir.AddBytes(34675, twUndefined, icc.data(), static_cast<DWORD>(icc.size()));
    }
    if (abort.load()) return 0;
    Int64 nextPtr = 0;
    const DWORD at = dir.WriteDirectory(nextDir, &nextPtr);
    if (abort.load()) return 0;
    const Int64 end = Stream->GetPosition();
    Byte ptr[4] = {Byte(at), Byte(at >> 8), Byte(at >> 16), Byte(at >> 24)};
    if (Append) {
      Stream->SetPosition(linkPos);
      SafeStreamWrite(Stream, &abort, ptr, 4);
    } else {
      const Byte head[4] = {'I', 'I', 42, 0};
      Stream->SetPosition(headerPos);
      SafeStreamWrite(Stream, &abort, head, 4);
      SafeStreamWrite(Stream, &abort, ptr, 4);
    }
    Stream->SetPosition(end);
    return abort.load() ? 0 : result;
  } catch (...) {
    abort = true;
    return 0;
  }
}
