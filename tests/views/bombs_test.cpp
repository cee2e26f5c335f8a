// Small files that claim huge pictures, loaded under the default allocation
// limit (no limit set by the program): each must be refused quickly and
// without taking memory for what it claims.
#include <gtest/gtest.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "common/tiff_builder.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "platform/classes.h"
#include "views/view_fixture.h"

namespace {

using Bytes = std::vector<Byte>;

void Put32BE(Bytes& B, uint32_t V) {
  for (int s = 24; s >= 0; s -= 8) B.push_back(Byte(V >> s));
}
void Put32LE(Bytes& B, uint32_t V) {
  for (int s = 0; s < 32; s += 8) B.push_back(Byte(V >> s));
}

// A PNG chunk with its length field set to Declared (the data may be
// shorter) and the CRC of what is there.
void PngChunk(Bytes& B, const char* Type, const Bytes& Data, uint32_t Declared) {
  Put32BE(B, Declared);
  const size_t start = B.size();
  B.insert(B.end(), Type, Type + 4);
  B.insert(B.end(), Data.begin(), Data.end());
  Put32BE(B, uint32_t(crc32(0, B.data() + start, uInt(B.size() - start))));
}

Bytes Png(uint32_t Width, uint32_t Height, const char* Extra = nullptr) {
  Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  Bytes ihdr;
  Put32BE(ihdr, Width);
  Put32BE(ihdr, Height);
  ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});
  PngChunk(b, "IHDR", ihdr, 13);
  if (Extra) PngChunk(b, Extra, {'k', 'e', 'y', 0, 0, 0, 'x'}, 0x7FFFFFF0);  // claims 2 GB
  PngChunk(b, "IDAT", {0x78, 0x9C, 0x63, 0, 0, 0, 1, 0, 1}, 9);
  PngChunk(b, "IEND", {}, 0);
  return b;
}

// A real JPEG of 16 x 16 whose frame header then claims Side x Side.
Bytes Jpeg(bool Progressive, uint16_t Side) {
  TLKBitmap pic(16, 16, lk24RGB);
  pic.Fill(RGB(40, 90, 160));
  TIOParamsVals p;
  p.JPEG_PROGRESSIVE = Progressive;
  TProgressRec pr;
  TMemoryStream m;
  WriteJPegStream(&m, &pic, p, pr);
  const Byte* d = static_cast<const Byte*>(m.GetMemory());
  Bytes b(d, d + m.GetSize());
  for (size_t i = 2; i + 9 < b.size(); ++i)
    if (b[i] == 0xFF && (b[i + 1] == 0xC0 || b[i + 1] == 0xC2)) {
      b[i + 5] = b[i + 7] = Byte(Side >> 8);
      b[i + 6] = b[i + 8] = Byte(Side);
      break;
    }
  return b;
}

Bytes Gif() {
  Bytes b = {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0, 0, 0, 0};
  b.insert(b.end(), {0x2C, 0, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 2, 2, 0x44, 0x01, 0, 0x3B});
  return b;
}

Bytes Tiff(uint32_t Side, uint16_t Bits, uint16_t Compression) {
  tiffkit::Builder tb;
  const int d = tb.AddIfd();
  tb.Long(d, 256, {Side});
  tb.Long(d, 257, {Side});
  tb.Short(d, 258, {Bits});
  tb.Short(d, 259, {Compression});
  tb.Short(d, 262, {1});
  tb.BlobOffset(d, 273, tb.AddBlob(Bytes(16, 0)));
  tb.Long(d, 279, {16});
  return tb.Build();
}

// A layers stream of one layer in the raw form through zlib, whose image
// header claims Side x Side 24-bit pixels that the data does not hold.
Bytes Layers(Integer Side) {
  TLKBitmap pic(4, 4, lk24RGB);
  Bytes raw(size_t(pic.CalcRAWSize()));
  pic.SaveRAWToBufferOrStream(raw.data(), nullptr);
  uint32_t entries = 0;  // the palette goes before the size
  std::memcpy(&entries, &raw[16], 4);
  for (int k = 0; k < 2; ++k) std::memcpy(&raw[20 + 3 * entries + 4 * k], &Side, 4);  // width, height
  uLongf n = compressBound(uLong(raw.size()));
  Bytes packed(n);
  compress2(packed.data(), &n, raw.data(), uLong(raw.size()), Z_BEST_COMPRESSION);
  packed.resize(n);
  Bytes b = {'L', 'U', 'M', 'E', 'R', 'A', 'K', 'L', 'A', 'Y', 'E', 'R', 'S'};
  Put32LE(b, 1);           // version
  Put32LE(b, uint32_t(-1));  // raw form through zlib
  Put32LE(b, 1);           // layers
  b.insert(b.end(), {1, 0});
  Put32LE(b, 255);         // opacity
  b.insert(b.end(), 4 + 4 + 3 + 8 + 2 + 8, 0);
  const uint32_t at = uint32_t(b.size() + 8);
  Put32LE(b, at);
  Put32LE(b, 0);
  Put32LE(b, uint32_t(packed.size()));
  b.insert(b.end(), packed.begin(), packed.end());
  return b;
}

Int64 StatusKB(const char* Field) {
  std::ifstream f("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(Field);
  while (std::getline(f, line))
    if (line.compare(0, n, Field) == 0) return std::stoll(line.substr(n + 1));
  return 0;
}

// Runs Load and returns the growth of the peak resident memory it caused,
// in bytes: the peak is reset first where the kernel allows it.
Int64 PeakGrowth(const std::function<void()>& Load) {
  { std::ofstream("/proc/self/clear_refs") << "5"; }
  const Int64 before = std::max(StatusKB("VmRSS:"), StatusKB("VmHWM:"));
  Load();
  return (StatusKB("VmHWM:") - before) * 1024;
}

}  // namespace

TEST_F(ViewTest, SmallFilesClaimingHugePicturesAreRefusedQuickly) {
  LKSetAllocationLimit(0);
  struct Case {
    const char* name;
    Bytes file;
    bool layers;
  };
  const Case cases[] = {
      {"PNG of 2147483647 square", Png(0x7FFFFFFF, 0x7FFFFFFF), false},
      {"PNG with a 2 GB text chunk", Png(1, 1, "tEXt"), false},
      {"PNG with a 2 GB compressed text chunk", Png(1, 1, "zTXt"), false},
      {"PNG with a 2 GB international text chunk", Png(1, 1, "iTXt"), false},
      {"PNG with a 2 GB suggested palette", Png(1, 1, "sPLT"), false},
      {"baseline JPEG of 65000 square", Jpeg(false, 65000), false},
      {"progressive JPEG of 65500 square", Jpeg(true, 65500), false},
      {"GIF frame of 65535 square", Gif(), false},
      {"LZW TIFF of 60000 square", Tiff(60000, 8, 5), false},
      {"G4 TIFF of 1000000 square", Tiff(1000000, 1, 4), false},
      {"layers stream of 60000 square", Layers(60000), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_LT(c.file.size(), 4096u);
    TMemoryStream m;
    m.WriteBuffer(c.file.data(), Int64(c.file.size()));
    m.SetPosition(0);
    bool refused = false;
    const auto start = std::chrono::steady_clock::now();
    const Int64 growth = PeakGrowth([&] {
      if (c.layers) {
        refused = !view_->LayersLoadFromStream(&m);
      } else {
        TLKBitmap b;
        TLumerakIO io(nullptr);
        io.SetAttachedLKBitmap(&b);
        io.LoadFromStream(&m);
        refused = io.GetAborted() && b.IsEmpty();
      }
    });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(refused);
    EXPECT_LT(seconds, 1.0);
    EXPECT_LT(growth, Int64{100} << 20);
  }
}
