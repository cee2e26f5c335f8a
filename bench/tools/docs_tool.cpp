// Side-by-side helper for the PostScript, PDF and JPEG 2000 writers and the
// JPEG 2000 reader (bench/docs_side_by_side.sh):
//   docs_tool make W H out.ppm             a photo-like test picture
//   docs_tool pdf in.ppm out.pdf jpeg|lzw  a one-page PDF
//   docs_tool ps in.ppm out.ps jpeg|rle    a one-page PostScript document
//   docs_tool j2k in.ppm out.j2k           a lossless code stream
//   docs_tool unj2k in.j2k out.ppm         decodes a code stream or JP2 file
// The page is the picture's size in points, so nothing is scaled.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/tools/ppm_io.h"
#include "codecs/jp2/j2kfilt.h"
#include "codecs/pdf/lkpdfwriter.h"
#include "codecs/ps/lkpswriter.h"
#include "io/lkparams.h"
#include "platform/classes.h"

namespace {

bool WritePPM(TLKBitmap& B, const char* Path) {
  std::FILE* f = std::fopen(Path, "wb");
  if (!f) return false;
  const Integer w = B.GetWidth(), h = B.GetHeight();
  std::fprintf(f, "P6\n%d %d\n255\n", w, h);
  std::vector<Byte> row(size_t(w) * 3);
  for (Integer y = 0; y < h; ++y) {
    const auto* p = static_cast<const Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      row[size_t(3 * x)] = p[3 * x + 2];
      row[size_t(3 * x + 1)] = p[3 * x + 1];
      row[size_t(3 * x + 2)] = p[3 * x];
    }
    std::fwrite(row.data(), 1, row.size(), f);
  }
  return std::fclose(f) == 0;
}

// Smooth shapes with a little texture: compresses like a photograph.
void Make(TLKBitmap& B) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  for (Integer y = 0; y < h; ++y) {
    auto* p = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < w; ++x) {
      const double fx = double(x) / w, fy = double(y) / h;
      const int noise = int((unsigned(x * 2654435761u) ^ unsigned(y * 40503u)) >> 28);
      p[3 * x + 2] = Byte(std::lround(127 + 100 * std::sin(fx * 9 + fy * 3)) + noise);
      p[3 * x + 1] = Byte(std::lround(127 + 90 * std::cos(fy * 7 - fx * 2)) + noise);
      p[3 * x] = Byte(std::lround(127 + 80 * std::sin((fx + fy) * 5)) + noise);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return 2;
  const std::string cmd = argv[1];
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  TIOParamsVals params;
  if (cmd == "make") {
    auto b = ppm_io::InMemory(std::atol(argv[2]), std::atol(argv[3]));
    Make(*b);
    return argc > 4 && WritePPM(*b, argv[4]) ? 0 : 1;
  }
  if (cmd == "unj2k") {
    TFileStream in(argv[2], fmOpenRead);
    TLKBitmap b;
    b.SetMinFileSize(INT_MAX);
    J2KReadStream(&in, &b, params, pr, false);
    return !abort && WritePPM(b, argv[3]) ? 0 : 1;
  }
  auto b = ppm_io::ReadPPM(argv[2]);
  if (!b) return 1;
  const std::string mode = argc > 4 ? argv[4] : "";
  TFileStream out(argv[3], fmCreate);
  // The quality the peers are given for their JPEG pages.
  params.JPEG_QUALITY = 75;
  if (cmd == "pdf") {
    params.PDF_PAPERWIDTH = b->GetWidth();
    params.PDF_PAPERHEIGHT = b->GetHeight();
    params.PDF_COMPRESSION = mode == "lzw" ? ioPDF_LZW : ioPDF_JPEG;
    LKPDFSaveOneStep(&out, b.get(), params, pr);
  } else if (cmd == "ps") {
    params.PS_PAPERWIDTH = b->GetWidth();
    params.PS_PAPERHEIGHT = b->GetHeight();
    params.PS_COMPRESSION = mode == "rle" ? ioPS_RLE : ioPS_JPEG;
    LKPostScriptSaveOneStep(&out, b.get(), params, pr);
  } else if (cmd == "j2k") {
    params.BITSPERSAMPLE = 8;
    params.J2000_RATE = 1.0;
    J2KWriteStream(&out, b.get(), params, pr, 1);
  } else {
    return 2;
  }
  return abort ? 1 : 0;
}
