// A 24-megapixel lossless rotation by 90 degrees (4:2:0, quality 90), file
// to file, against the command-line JPEG transformer doing the same in the
// same run (its time includes starting the process, a few milliseconds).
// Both outputs are checked to decode to the same pixels before timing.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkjpegtransform.h"

namespace {

constexpr Integer kWidth = 6000, kHeight = 4000;

// Name of the source picture; a plain array, so the clean-up at exit never
// meets a destroyed string.
char gSourceName[] = "/tmp/lkxform-bench-XXXXXX";

void RemoveFiles() {
  const std::string name = gSourceName;
  unlink(name.c_str());
  unlink((name + ".ours").c_str());
  unlink((name + ".tool").c_str());
}

// The source picture, written once to the temporary folder and removed at
// exit: smooth gradients with fine texture, like a photograph.
std::string SourceFile() {
  static const bool made = [] {
    const int fd = mkstemp(gSourceName);
    if (fd >= 0) close(fd);
    TLKBitmap bmp(kWidth, kHeight, lk24RGB);
    for (Integer y = 0; y < kHeight; ++y) {
      auto* row = static_cast<TRGB*>(bmp.GetScanLine(y));
      for (Integer x = 0; x < kWidth; ++x)
        row[x] = TRGB{Byte(x / 24 + ((x * y) & 7)), Byte(y / 16 + ((x ^ y) & 15)), Byte((x + y) / 40)};
    }
    TIOParamsVals params;
    params.JPEG_QUALITY = 90;
    TFileStream fs(gSourceName, fmCreate);
    TProgressRec pr;
    WriteJPegStream(&fs, &bmp, params, pr);
    std::atexit(RemoveFiles);
    return true;
  }();
  (void)made;
  return gSourceName;
}

std::vector<Byte> Pixels(const std::string& name) {
  TFileStream fs(name, fmOpenRead);
  TLKBitmap bmp;
  TIOParamsVals params;
  std::atomic<bool> abort{false};
  TProgressRec pr;
  pr.AbortFlag = &abort;
  ReadJPegStream(&fs, nullptr, &bmp, params, pr, false, false, false, false, false, false, -1);
  std::vector<Byte> out;
  if (abort.load()) return out;
  for (Integer y = 0; y < bmp.GetHeight(); ++y) {
    const Byte* row = static_cast<const Byte*>(bmp.GetScanLine(y));
    out.insert(out.end(), row, row + 3 * bmp.GetWidth());
  }
  return out;
}

const std::string kToolCommand = "jpegtran -rotate 90 -trim -copy none -outfile ";

void BM_JpegRotate90_24MP(benchmark::State& state) {
  const std::string src = SourceFile();
  const std::string out = src + ".ours";
  for (auto _ : state) {
    if (!JpegLosslessTransform(src, out, jtRotate90, false, jcCopyNone, TRect{})) {
      state.SkipWithError("transform failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * Int64{kWidth} * kHeight);
}

void BM_JpegRotate90_24MP_CommandLineTool(benchmark::State& state) {
  const std::string src = SourceFile();
  const std::string out = src + ".tool";
  if (std::system("command -v jpegtran >/dev/null 2>&1") != 0) {
    state.SkipWithError("jpegtran not installed");
    return;
  }
  const std::string cmd = kToolCommand + out + " " + src;
  if (std::system(cmd.c_str()) != 0 ||
      !JpegLosslessTransform(src, src + ".ours", jtRotate90, false, jcCopyNone, TRect{}) ||
      Pixels(out) != Pixels(src + ".ours")) {
    state.SkipWithError("outputs differ");
    return;
  }
  for (auto _ : state) {
    if (std::system(cmd.c_str()) != 0) {
      state.SkipWithError("jpegtran failed");
      return;
    }
  }
  state.SetItemsProcessed(state.iterations() * Int64{kWidth} * kHeight);
}

}  // namespace

BENCHMARK(BM_JpegRotate90_24MP)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegRotate90_24MP_CommandLineTool)->Unit(benchmark::kMillisecond)->UseRealTime();
