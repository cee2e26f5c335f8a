// The camera RAW plug-in, loaded from its built path and driven through its
// nine exports by a small host of the test's own: its answers, its probe,
// and pixels identical to the library's built-in reader on every kit file.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkextio.h"
#include "io/lkparams.h"
#include "io/lkxplugin.h"
#include "raw/lkraw.h"
#include "raw/rawfiles.h"

using rawfiles::Bytes;
using rawfiles::SamePixels;

namespace {

// The plug-in's exports.
struct Plugin : TLKXExports {
  void* lib = nullptr;

  Plugin() {
    lib = dlopen(RAWDEVLIB_PATH, RTLD_NOW | RTLD_LOCAL);
    if (lib) Resolve([&](const char* name) { return dlsym(lib, name); });
  }
  ~Plugin() {
    if (lib) dlclose(lib);
  }
  bool Complete() const { return lib && TLKXExports::Complete(); }
};

Plugin& ThePlugin() {
  static Plugin p;
  return p;
}

// The test's host side of one call: a byte block with a position, a
// parameter record (or none) and a log of the progress reports.
struct Host {
  Bytes data;
  int64_t pos = 0;
  TIOParamsVals* params = nullptr;
  std::vector<int32_t> progress;

  static Host& Of(void* c) { return *static_cast<Host*>(c); }
  static void Progress(int32_t p, void* c) { Of(c).progress.push_back(p); }
  static int32_t Read(void* buf, int32_t n, void* c) {
    Host& h = Of(c);
    if (n <= 0 || h.pos >= int64_t(h.data.size())) return 0;
    const int64_t k = std::min<int64_t>(n, int64_t(h.data.size()) - h.pos);
    std::memcpy(buf, h.data.data() + h.pos, size_t(k));
    h.pos += k;
    return int32_t(k);
  }
  static int32_t Write(const void*, int32_t, void*) { return 0; }
  static void SetPos(int32_t p, void* c) { Of(c).pos = p < 0 ? 0 : p; }
  static int32_t GetPos(void* c) { return int32_t(Of(c).pos); }
  static int32_t Size(void* c) { return int32_t(Of(c).data.size()); }
  static void GetParam(const char* name, char* dest, void* c) {
    Host& h = Of(c);
    const String v = h.params ? h.params->GetProperty(name) : String();
    const size_t n = std::min(v.size(), size_t(LKX_PARAM_BUFFER_SIZE - 1));
    std::memcpy(dest, v.data(), n);
    dest[n] = 0;
  }
  static void SetParam(const char* name, const char* value, void* c) {
    Host& h = Of(c);
    if (h.params) h.params->SetProperty(name, value);
  }

  // Opens an instance with this host's callbacks.
  LKX_Handle Open() {
    Plugin& p = ThePlugin();
    const LKX_Handle handle = p.Initialize(0);
    p.SetCallBacks(handle, Progress, Read, Write, SetPos, GetPos, Size, GetParam, SetParam, this);
    return handle;
  }
};

int32_t IntInfo(LKX_Handle h, int32_t code) {
  const void* v = ThePlugin().GetInfo(h, code);
  return v ? *static_cast<const int32_t*>(v) : -1;
}

// Reads a file through the plug-in into a bitmap the way a host does: 24-bit
// rows from red-green-blue, 48-bit samples byte-swapped. False when the
// plug-in delivered no rows.
bool PluginRead(const Bytes& file, TIOParamsVals& params, TLKBitmap& out, int32_t mode = LKX_MODE_IMAGE,
                Host* log = nullptr) {
  Host local;
  Host& host = log ? *log : local;
  host.data = file;
  host.params = &params;
  Plugin& p = ThePlugin();
  const LKX_Handle h = host.Open();
  p.ExecuteRead(h, mode);
  const int32_t w = IntInfo(h, LKX_INFO_WIDTH), ht = IntInfo(h, LKX_INFO_HEIGHT);
  const int32_t fmt = IntInfo(h, LKX_INFO_PIXELFORMAT);
  const uint8_t* rows = static_cast<const uint8_t*>(p.GetInfo(h, LKX_INFO_ROWS));
  params.WIDTH = w;
  params.HEIGHT = ht;
  bool got = false;
  if (rows && w > 0 && ht > 0 && (fmt == LKX_PF_24RGB || fmt == LKX_PF_48RGB)) {
    out.Allocate(w, ht, fmt == LKX_PF_24RGB ? lk24RGB : lk48RGB);
    const int64_t len = LKX_RowLength(fmt, w);
    for (int32_t y = 0; y < ht; ++y) {
      const uint8_t* in = rows + len * y;
      uint8_t* o = static_cast<uint8_t*>(out.GetScanLine(y));
      for (int64_t i = 0; i < len; i += fmt == LKX_PF_24RGB ? 3 : 2) {
        if (fmt == LKX_PF_24RGB) {
          o[i] = in[i + 2];
          o[i + 1] = in[i + 1];
          o[i + 2] = in[i];
        } else {
          o[i] = in[i + 1];
          o[i + 1] = in[i];
        }
      }
    }
    got = true;
  }
  p.Finalize(h);
  return got;
}

// The built-in reader over the same file and settings.
void BuiltInRead(const Bytes& file, TIOParamsVals& params, TLKBitmap& out, bool& aborted) {
  auto s = rawfiles::Stream(file);
  std::atomic<bool> flag{false};
  TProgressRec rec;
  rec.AbortFlag = &flag;
  LKReadCameraRAWStream(*s, out, params, rec, false);
  aborted = flag.load();
}

}  // namespace

TEST(RawPluginTest, ExportsAndAnswers) {
  Plugin& p = ThePlugin();
  ASSERT_TRUE(p.lib) << dlerror();
  ASSERT_TRUE(p.Complete());
  const LKX_Handle h = p.Initialize(0);
  ASSERT_NE(h, 0);
  EXPECT_EQ(IntInfo(h, LKX_INFO_FLAGS), LKX_FLAG_READ | LKX_FLAG_THREADSAFE);
  EXPECT_STREQ(static_cast<const char*>(p.GetInfo(h, LKX_INFO_NAME)), "Camera RAW");
  EXPECT_STREQ(static_cast<const char*>(p.GetInfo(h, LKX_INFO_EXTENSIONS)),
               "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR");
  EXPECT_NE(IntInfo(h, LKX_INFO_WANTEXIF), 0);
  EXPECT_EQ(IntInfo(h, LKX_INFO_FORMATCOUNT), 1);
  EXPECT_EQ(p.GetInfo(h, 9999), nullptr);
  p.Finalize(h);
  // Only the library's one format exists; unknown handles are ignored.
  EXPECT_EQ(p.Initialize(1), 0);
  EXPECT_EQ(p.ExecuteRead(12345, 0), 0);
  EXPECT_EQ(p.GetInfo(12345, LKX_INFO_WIDTH), nullptr);
  p.Finalize(12345);
}

TEST(RawPluginTest, ProbeAnswersAndLeavesThePosition) {
  ASSERT_TRUE(ThePlugin().Complete());
  struct Case {
    std::string name;
    Bytes file;
    bool accept;
  };
  std::vector<Case> cases;
  for (auto& f : rawfiles::Kit()) cases.push_back({f.name, f.bytes, true});
  cases.push_back({"jpeg", rawfiles::Jpeg(16, 8), false});
  cases.push_back({"empty", {}, false});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Host host;
    host.data = c.file;
    host.pos = 3;
    const LKX_Handle h = host.Open();
    EXPECT_EQ(ThePlugin().ExecuteTry(h) != 0, c.accept);
    EXPECT_EQ(host.pos, 3);
    ThePlugin().Finalize(h);
  }
}

// The plug-in and the built-in reader give the same pixels and the same
// camera name and resolution, at both depths and both interpolations.
TEST(RawPluginTest, SamePicturesAsTheBuiltInReader) {
  ASSERT_TRUE(ThePlugin().Complete());
  for (const auto& f : rawfiles::Kit()) {
    for (int mode = 0; mode < 4; ++mode) {
      const bool wide = mode & 1, quick = mode & 2;
      SCOPED_TRACE(f.name + (wide ? " 48-bit" : " 24-bit") + (quick ? " quick" : " refined"));
      TIOParamsVals pp, bp;
      for (TIOParamsVals* p : {&pp, &bp}) {
        p->ISNATIVEPIXELFORMAT = wide;
        p->RAW_QUICKINTERPOLATE = quick;
        p->RAW_AUTOADJUSTCOLORS = true;
      }
      TLKBitmap viaPlugin, builtIn;
      bool aborted = true;
      BuiltInRead(f.bytes, bp, builtIn, aborted);
      ASSERT_FALSE(aborted);
      Host log;
      ASSERT_TRUE(PluginRead(f.bytes, pp, viaPlugin, LKX_MODE_IMAGE, &log));
      EXPECT_TRUE(SamePixels(viaPlugin, builtIn));
      EXPECT_EQ(pp.RAW_CAMERA, bp.RAW_CAMERA);
      EXPECT_EQ(pp.DPIX, bp.DPIX);
      EXPECT_EQ(pp.WIDTH, bp.WIDTH);
      EXPECT_EQ(pp.HEIGHT, bp.HEIGHT);
      ASSERT_FALSE(log.progress.empty());
      EXPECT_EQ(log.progress.back(), 100);
    }
  }
}

TEST(RawPluginTest, ParamsOnlyReportsTheSizeWithoutRows) {
  ASSERT_TRUE(ThePlugin().Complete());
  TIOParamsVals p;
  TLKBitmap b;
  EXPECT_FALSE(PluginRead(rawfiles::Nucore(48, 64), p, b, LKX_MODE_PARAMS));
  EXPECT_EQ(p.WIDTH, 62);
  EXPECT_EQ(p.HEIGHT, 46);
  EXPECT_EQ(p.RAW_CAMERA, "Nucore RAW ");
  EXPECT_TRUE(b.IsEmpty());
}

// A file the decoder does not accept delivers no rows and a zero size.
TEST(RawPluginTest, FailuresDeliverNoRows) {
  ASSERT_TRUE(ThePlugin().Complete());
  for (const Bytes& file : {rawfiles::Jpeg(16, 8), Bytes{}, rawkit::sensor_dump(5000)}) {
    TIOParamsVals p;
    TLKBitmap b;
    EXPECT_FALSE(PluginRead(file, p, b));
    EXPECT_EQ(p.WIDTH, 0);
    EXPECT_EQ(p.HEIGHT, 0);
  }
}

// The thumbnail request through the plug-in gives the embedded picture.
TEST(RawPluginTest, ThumbnailRequest) {
  ASSERT_TRUE(ThePlugin().Complete());
  TIOParamsVals p;
  p.SetRAW_GetExifThumbnail(true);
  TLKBitmap b;
  ASSERT_TRUE(PluginRead(rawfiles::CanonCiff(48, 64, true), p, b));
  EXPECT_EQ(b.GetWidth(), 40);
  EXPECT_EQ(b.GetHeight(), 30);
}

// The plug-in declares itself safe on several threads: decodes running at
// once give each the picture a lone decode gives.
TEST(RawPluginTest, ConcurrentDecodesAgree) {
  ASSERT_TRUE(ThePlugin().Complete());
  const Bytes file = rawfiles::Nucore(48, 64);
  TIOParamsVals p0;
  TLKBitmap expected;
  ASSERT_TRUE(PluginRead(file, p0, expected));
  constexpr int kThreads = 4;
  std::vector<TLKBitmap> got(kThreads);
  std::vector<std::thread> threads;
  std::atomic<int> ok{0};
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      TIOParamsVals p;
      if (PluginRead(file, p, got[size_t(i)])) ++ok;
    });
  for (auto& t : threads) t.join();
  EXPECT_EQ(ok.load(), kThreads);
  for (auto& b : got) EXPECT_TRUE(SamePixels(b, expected));
}
