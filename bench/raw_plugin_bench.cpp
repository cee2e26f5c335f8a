// Developing a 24-megapixel Bayer file through the camera RAW plug-in
// (loaded from its built path and driven through its exports as the host
// does), quick and gradient interpolation, 24- and 48-bit output, with the
// time of each stage taken from the plug-in's progress reports. In the same
// run, two yardsticks over the same amount of data: a memcpy of the file's
// bytes and the decoding of a JPEG picture of the same size.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lkxplugin.h"

namespace {

constexpr int kCols = 6000, kRows = 4000;  // 24 MP

using Clock = std::chrono::steady_clock;

// A Nucore "BR" file: 16-bit samples of a smooth pattern with detail.
const std::vector<uint8_t>& BayerFile() {
  static const std::vector<uint8_t> file = [] {
    std::vector<uint8_t> b(512 + size_t(kRows) * kCols * 2, 0);
    auto put32 = [&](size_t at, uint32_t v) {
      for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'R';
    put32(10, 512);
    put32(18, kCols);
    put32(22, kRows);
    uint8_t* p = b.data() + 512;
    for (int r = 0; r < kRows; ++r)
      for (int c = 0; c < kCols; ++c, p += 2) {
        const int v = (r * 3 + c * 2 + ((r ^ c) & 63) * 8) % 4096;
        p[0] = uint8_t(v);
        p[1] = uint8_t(v >> 8);
      }
    return b;
  }();
  return file;
}

struct Plugin {
  void* lib = dlopen(RAWDEVLIB_PATH, RTLD_NOW | RTLD_LOCAL);
  template <typename F>
  F Get(const char* name) {
    return lib ? reinterpret_cast<F>(dlsym(lib, name)) : nullptr;
  }
  LKX_InitializeProc Initialize = Get<LKX_InitializeProc>(LKX_NAME_INITIALIZE);
  LKX_FinalizeProc Finalize = Get<LKX_FinalizeProc>(LKX_NAME_FINALIZE);
  LKX_SetCallBacksProc SetCallBacks = Get<LKX_SetCallBacksProc>(LKX_NAME_SETCALLBACKS);
  LKX_ExecuteReadProc ExecuteRead = Get<LKX_ExecuteReadProc>(LKX_NAME_EXECUTEREAD);
  LKX_GetInfoProc GetInfo = Get<LKX_GetInfoProc>(LKX_NAME_GETINFO);
  bool Ok() const { return Initialize && Finalize && SetCallBacks && ExecuteRead && GetInfo; }
};

Plugin& ThePlugin() {
  static Plugin p;
  return p;
}

// The host side: the file as a stream, the settings as parameters, and the
// moments at which each progress percentage was first reported.
struct Host {
  const std::vector<uint8_t>* data = nullptr;
  int64_t pos = 0;
  TIOParamsVals params;
  Clock::time_point start;
  double lastLoadRow = 0, at70 = 0, at85 = 0, at90 = 0;

  static Host& Of(void* c) { return *static_cast<Host*>(c); }
  double Now() const { return std::chrono::duration<double>(Clock::now() - start).count(); }
  static void Progress(int32_t p, void* c) {
    Host& h = Of(c);
    const double t = h.Now();
    if (p <= 50) h.lastLoadRow = t;
    else if (p == 70) h.at70 = t;
    else if (p == 85) h.at85 = t;
    else if (p == 90) h.at90 = t;
  }
  static int32_t Read(void* buf, int32_t n, void* c) {
    Host& h = Of(c);
    const int64_t size = int64_t(h.data->size());
    if (n <= 0 || h.pos >= size) return 0;
    const int64_t k = std::min<int64_t>(n, size - h.pos);
    std::memcpy(buf, h.data->data() + h.pos, size_t(k));
    h.pos += k;
    return int32_t(k);
  }
  static int32_t Write(const void*, int32_t, void*) { return 0; }
  static void SetPos(int32_t p, void* c) { Of(c).pos = p < 0 ? 0 : p; }
  static int32_t GetPos(void* c) { return int32_t(Of(c).pos); }
  static int32_t Size(void* c) { return int32_t(Of(c).data->size()); }
  static void GetParam(const char* name, char* dest, void* c) {
    const String v = Of(c).params.GetProperty(name);
    const size_t n = std::min(v.size(), size_t(LKX_PARAM_BUFFER_SIZE - 1));
    std::memcpy(dest, v.data(), n);
    dest[n] = 0;
  }
  static void SetParam(const char* name, const char* value, void* c) { Of(c).params.SetProperty(name, value); }
};

// Args: quick interpolation (0/1), 48-bit output (0/1).
void BM_RawPluginDevelop24MP(benchmark::State& state) {
  Plugin& p = ThePlugin();
  if (!p.Ok()) {
    state.SkipWithError("plug-in not found");
    return;
  }
  const std::vector<uint8_t>& file = BayerFile();
  double load = 0, balance = 0, demosaic = 0, output = 0, rest = 0;
  for (auto _ : state) {
    Host host;
    host.data = &file;
    host.params.RAW_QUICKINTERPOLATE = state.range(0) != 0;
    host.params.ISNATIVEPIXELFORMAT = state.range(1) != 0;
    host.start = Clock::now();
    const LKX_Handle h = p.Initialize(0);
    p.SetCallBacks(h, Host::Progress, Host::Read, Host::Write, Host::SetPos, Host::GetPos, Host::Size,
                   Host::GetParam, Host::SetParam, &host);
    p.ExecuteRead(h, LKX_MODE_IMAGE);
    benchmark::DoNotOptimize(p.GetInfo(h, LKX_INFO_ROWS));
    const double end = host.Now();
    p.Finalize(h);
    load += host.lastLoadRow;
    balance += host.at70 - host.lastLoadRow;
    demosaic += host.at85 - host.at70;
    output += host.at90 - host.at85;
    rest += end - host.at90;
  }
  const double n = double(state.iterations());
  // Seconds per development, per stage (the load includes reading the
  // metadata and the identification).
  state.counters["load_s"] = load / n;
  state.counters["balance_s"] = balance / n;
  state.counters["demosaic_convert_s"] = demosaic / n;
  state.counters["output_s"] = output / n;
  state.counters["rows_s"] = rest / n;
  state.SetBytesProcessed(state.iterations() * int64_t(file.size()));
}
BENCHMARK(BM_RawPluginDevelop24MP)
    ->ArgNames({"quick", "wide"})
    ->Args({1, 0})
    ->Args({0, 0})
    ->Args({1, 1})
    ->Args({0, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(2);

// Yardstick: copying the file's bytes once.
void BM_RawPluginMemcpySameBytes(benchmark::State& state) {
  const std::vector<uint8_t>& file = BayerFile();
  std::vector<uint8_t> copy(file.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), file.data(), file.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(file.size()));
}
BENCHMARK(BM_RawPluginMemcpySameBytes)->Unit(benchmark::kMillisecond)->UseRealTime();

// Yardstick: decoding a JPEG picture of the same pixel count (quality 90).
void BM_RawPluginJpegSameSize(benchmark::State& state) {
  static const std::vector<uint8_t> jpeg = [] {
    TLKBitmap b;
    b.Allocate(kCols, kRows, lk24RGB);
    for (int y = 0; y < kRows; ++y) {
      uint8_t* row = static_cast<uint8_t*>(b.GetScanLine(y));
      for (int x = 0; x < kCols; ++x) {
        row[3 * x] = uint8_t(x / 24);
        row[3 * x + 1] = uint8_t(y / 16);
        row[3 * x + 2] = uint8_t((x ^ y) & 255);
      }
    }
    TMemoryStream ms;
    TIOParamsVals p;
    p.JPEG_QUALITY = 90;
    TProgressRec pr;
    WriteJPegStream(&ms, &b, p, pr);
    std::vector<uint8_t> out(size_t(ms.Size()));
    ms.Seek(0, soBeginning);
    ms.Read(out.data(), Integer(out.size()));
    return out;
  }();
  for (auto _ : state) {
    TMemoryStream ms;
    ms.Write(jpeg.data(), Integer(jpeg.size()));
    ms.Seek(0, soBeginning);
    TLKBitmap b;
    TIOParamsVals p;
    std::atomic<bool> aborted{false};
    TProgressRec pr;
    pr.AbortFlag = &aborted;
    ReadJPegStream(&ms, nullptr, &b, p, pr, false, false, false, false, false, false, -1);
    benchmark::DoNotOptimize(b.GetScanLine(0));
  }
  state.SetItemsProcessed(state.iterations() * int64_t(kCols) * kRows);
  state.SetLabel("items = pixels");
}
BENCHMARK(BM_RawPluginJpegSameSize)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
