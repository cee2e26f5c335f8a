// JPEG decode and encode of photograph-like pictures (24 and 12 MP, quality
// 80, 4:2:0) through the I/O component, beside the same work done by calling
// the JPEG library directly in this process with the same options: the
// difference is the component's own cost. bench/jpeg_side_by_side.sh puts
// these figures next to the command-line tools on the same files.
//
// The files come from the folder named by LK_JPEG_BENCH_DIR (made by the
// script's helper); without it they are made once in a temporary folder
// that is removed at exit.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "bench/jpeg_fixture.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"

namespace {

using jpegbench::FixtureName;
using jpegbench::k12MP;
using jpegbench::k24MP;
using jpegbench::TSize2;

// Name of the temporary folder; a plain array, so the clean-up at exit never
// meets a destroyed string.
char gTempDir[] = "/tmp/lkjpeg-bench-XXXXXX";

void RemoveTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(gTempDir, ec);
}

// The folder holding the JPEG fixtures (made here when the environment names
// none); empty when they could not be made.
const std::string& FixtureDir() {
  static const std::string dir = [] {
    if (const char* env = std::getenv("LK_JPEG_BENCH_DIR"); env && *env) return std::string(env);
    if (!mkdtemp(gTempDir)) return std::string();
    std::atexit(RemoveTempDir);
    const std::string d = gTempDir;
    for (const TSize2& s : {k24MP, k12MP}) {
      auto bmp = jpegbench::MakePicture(s);
      if (!jpegbench::SaveJpeg(*bmp, FixtureName(d, s, "", ".jpg"), false) ||
          !jpegbench::SaveJpeg(*bmp, FixtureName(d, s, "p", ".jpg"), true))
        return std::string();
    }
    return d;
  }();
  return dir;
}

// The source pictures of the encoders, made once.
TLKBitmap& Picture(const TSize2& S) {
  static std::unique_ptr<TLKBitmap> p24, p12;
  auto& p = S.Width == k24MP.Width ? p24 : p12;
  if (!p) p = jpegbench::MakePicture(S);
  return *p;
}

// One decode case: the picture, the progressive file or not, the DCT method
// and the scale denominator.
struct TDecodeCase {
  TSize2 Size;
  bool Progressive;
  TIOJPEGDctMethod Dct;
  int Denom;
};

const TDecodeCase kDecodeCases[] = {
    {k24MP, false, ioJPEG_ISLOW, 1},  // 0
    {k24MP, false, ioJPEG_IFAST, 1},  // 1
    {k24MP, false, ioJPEG_FLOAT, 1},  // 2
    {k24MP, true, ioJPEG_ISLOW, 1},   // 3
    {k24MP, false, ioJPEG_ISLOW, 8},  // 4
    {k12MP, false, ioJPEG_ISLOW, 1},  // 5
};

// One encode case: the picture, the DCT method, optimised tables,
// progressive.
struct TEncodeCase {
  TSize2 Size;
  TIOJPEGDctMethod Dct;
  bool Optimize;
  bool Progressive;
};

const TEncodeCase kEncodeCases[] = {
    {k24MP, ioJPEG_ISLOW, false, false},  // 0
    {k24MP, ioJPEG_ISLOW, true, false},   // 1
    {k24MP, ioJPEG_ISLOW, false, true},   // 2
    {k24MP, ioJPEG_IFAST, false, false},  // 3
    {k12MP, ioJPEG_ISLOW, false, false},  // 4
};

J_DCT_METHOD LibraryDct(TIOJPEGDctMethod M) {
  return M == ioJPEG_IFAST ? JDCT_IFAST : M == ioJPEG_FLOAT ? JDCT_FLOAT : JDCT_ISLOW;
}

TIOJPEGScale Scale(int Denom) {
  switch (Denom) {
    case 2: return ioJPEG_HALF;
    case 4: return ioJPEG_QUARTER;
    case 8: return ioJPEG_EIGHTH;
    default: return ioJPEG_FULLSIZE;
  }
}

std::string DecodeSource(const TDecodeCase& C) {
  return FixtureName(FixtureDir(), C.Size, C.Progressive ? "p" : "", ".jpg");
}

void Label(benchmark::State& State, const TSize2& S, bool Progressive, TIOJPEGDctMethod Dct) {
  static const char* const kDct[] = {"islow", "ifast", "float"};
  State.SetLabel(std::string(S.Stem) + (Progressive ? " progressive " : " baseline ") + kDct[Dct]);
  State.SetItemsProcessed(State.iterations() * Int64{S.Width} * S.Height);
}

// Decode through the component: LoadFromFile into its own bitmap.
void BM_JpegDecode_IO(benchmark::State& state) {
  const TDecodeCase& c = kDecodeCases[state.range(0)];
  if (FixtureDir().empty()) return state.SkipWithError("fixtures could not be made");
  const std::string src = DecodeSource(c);
  TLumerakIO io;
  for (auto _ : state) {
    TIOParamsVals& p = *io.GetIOParams();
    p.JPEG_DCTMETHOD = c.Dct;
    p.JPEG_SCALE = Scale(c.Denom);
    io.LoadFromFile(src);
    if (io.GetAborted() || io.GetLKBitmap()->GetWidth() != (c.Size.Width + c.Denom - 1) / c.Denom)
      return state.SkipWithError("load failed");
  }
  Label(state, c.Size, c.Progressive, c.Dct);
}

// The same decode by the library alone: file to a blue-green-red buffer
// kept across runs (as the component keeps its bitmap), several rows per
// call.
void BM_JpegDecode_Library(benchmark::State& state) {
  const TDecodeCase& c = kDecodeCases[state.range(0)];
  if (FixtureDir().empty()) return state.SkipWithError("fixtures could not be made");
  const std::string src = DecodeSource(c);
  std::vector<JSAMPLE> image;
  for (auto _ : state) {
    std::FILE* f = std::fopen(src.c_str(), "rb");
    if (!f) return state.SkipWithError("cannot open the fixture");
    jpeg_decompress_struct ci;
    jpeg_error_mgr jerr;
    ci.err = jpeg_std_error(&jerr);  // errors end the program: the files are our own
    jpeg_create_decompress(&ci);
    jpeg_stdio_src(&ci, f);
    jpeg_read_header(&ci, TRUE);
    ci.out_color_space = JCS_EXT_BGR;
    ci.dct_method = LibraryDct(c.Dct);
    ci.scale_num = 1;
    ci.scale_denom = static_cast<unsigned>(c.Denom);
    jpeg_start_decompress(&ci);
    const std::size_t stride = std::size_t{ci.output_width} * 3;
    image.resize(stride * ci.output_height);
    JSAMPROW rows[16];
    while (ci.output_scanline < ci.output_height) {
      for (std::size_t i = 0; i < 16; ++i)
        rows[i] = image.data() + stride * std::min<std::size_t>(ci.output_scanline + i, ci.output_height - 1);
      jpeg_read_scanlines(&ci, rows, 16);
    }
    jpeg_finish_decompress(&ci);
    jpeg_destroy_decompress(&ci);
    std::fclose(f);
    benchmark::DoNotOptimize(image.data());
  }
  Label(state, c.Size, c.Progressive, c.Dct);
}

// Encode through the component: SaveToFile from a bitmap in memory.
void BM_JpegEncode_IO(benchmark::State& state) {
  const TEncodeCase& c = kEncodeCases[state.range(0)];
  if (FixtureDir().empty()) return state.SkipWithError("fixtures could not be made");
  const std::string out = FixtureDir() + "/ours-" + std::to_string(getpid()) + ".jpg";
  TLumerakIO io;
  io.SetLKBitmap(&Picture(c.Size));
  for (auto _ : state) {
    TIOParamsVals& p = *io.GetIOParams();
    p.JPEG_QUALITY = 80;
    p.JPEG_COLORSPACE = ioJPEG_YCbCr;
    p.JPEG_DCTMETHOD = c.Dct;
    p.JPEG_OPTIMALHUFFMAN = c.Optimize;
    p.JPEG_PROGRESSIVE = c.Progressive;
    io.SaveToFile(out);
    if (io.GetAborted()) return state.SkipWithError("save failed");
  }
  io.SetLKBitmap(nullptr);
  std::remove(out.c_str());
  Label(state, c.Size, c.Progressive, c.Dct);
}

// The same encode by the library alone: the bitmap's rows straight to a
// file, several rows per call.
void BM_JpegEncode_Library(benchmark::State& state) {
  const TEncodeCase& c = kEncodeCases[state.range(0)];
  if (FixtureDir().empty()) return state.SkipWithError("fixtures could not be made");
  const std::string out = FixtureDir() + "/lib-" + std::to_string(getpid()) + ".jpg";
  TLKBitmap& bmp = Picture(c.Size);
  for (auto _ : state) {
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f) return state.SkipWithError("cannot create the output");
    jpeg_compress_struct ci;
    jpeg_error_mgr jerr;
    ci.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&ci);
    jpeg_stdio_dest(&ci, f);
    ci.image_width = static_cast<JDIMENSION>(c.Size.Width);
    ci.image_height = static_cast<JDIMENSION>(c.Size.Height);
    ci.input_components = 3;
    ci.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&ci);
    ci.dct_method = LibraryDct(c.Dct);
    ci.optimize_coding = c.Optimize ? TRUE : FALSE;
    jpeg_set_quality(&ci, 80, TRUE);
    if (c.Progressive) jpeg_simple_progression(&ci);
    jpeg_start_compress(&ci, TRUE);
    JSAMPROW rows[16];
    while (ci.next_scanline < ci.image_height) {
      const JDIMENSION n = std::min<JDIMENSION>(16, ci.image_height - ci.next_scanline);
      for (JDIMENSION i = 0; i < n; ++i)
        rows[i] = static_cast<JSAMPROW>(bmp.GetScanLine(static_cast<Integer>(ci.next_scanline + i)));
      jpeg_write_scanlines(&ci, rows, n);
    }
    jpeg_finish_compress(&ci);
    jpeg_destroy_compress(&ci);
    std::fclose(f);
  }
  std::remove(out.c_str());
  Label(state, c.Size, c.Progressive, c.Dct);
}

}  // namespace

BENCHMARK(BM_JpegDecode_IO)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegDecode_Library)->DenseRange(0, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegEncode_IO)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegEncode_Library)->DenseRange(0, 4)->Unit(benchmark::kMillisecond)->UseRealTime();
