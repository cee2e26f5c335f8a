// Kodak DC120 JPEG loader: a small colour JPEG made by our writer is stored
// the camera's way (16-bit words byte-swapped), loaded, and every cell is
// compared with the component it comes from; damaged data must raise, never
// crash or hang.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "raw/lkrawloaders.h"

namespace {

using Bytes = std::vector<Byte>;

// Component k (0 red, 1 green, 2 blue) of JPEG pixel (row, x): smooth
// gradients that survive quality 100 within a step or two.
int Component(int k, int row, int x) { return 20 + 30 * k + 2 * x + 3 * row; }

// A quality-100 RGB JPEG of w x h pixels with the values of Component, or
// a grey one of the green component.
Bytes MakeJpeg(int w, int h, bool grey = false) {
  TLKBitmap bmp;
  bmp.Allocate(w, h, lk24RGB);
  for (int y = 0; y < h; ++y) {
    auto* row = static_cast<TRGB*>(bmp.GetScanLine(y));
    for (int x = 0; x < w; ++x)
      row[x] = TRGB{Byte(Component(2, y, x)), Byte(Component(1, y, x)), Byte(Component(0, y, x))};
  }
  TIOParamsVals params;
  params.JPEG_QUALITY = 100;
  params.JPEG_COLORSPACE = grey ? ioJPEG_GRAYLEV : ioJPEG_RGB;
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TMemoryStream ms;
  WriteJPegStream(&ms, &bmp, params, progress);
  EXPECT_FALSE(abort.load());
  const auto* p = static_cast<const Byte*>(ms.GetMemory());
  return Bytes(p, p + ms.GetSize());
}

// The camera's storage: the bytes of every 16-bit word swapped, an odd
// length padded with a zero first.
Bytes SwapWords(Bytes b) {
  if (b.size() & 1) b.push_back(0);
  for (size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
  return b;
}

// A decoder state over `file` with a height x width picture and the data at
// `offset`.
struct Dc120Rig {
  Bytes file;
  std::unique_ptr<TRAWMemorySource> src;
  std::unique_ptr<TRAWDecoderState> s = std::make_unique<TRAWDecoderState>();

  Dc120Rig(Bytes data, int height, int width, int offset = 0) : file(Bytes(size_t(offset), 0x5A)) {
    file.insert(file.end(), data.begin(), data.end());
    src = std::make_unique<TRAWMemorySource>(file.data(), Int64(file.size()));
    set_source(*s, src.get());
    reset_decoder_state(*s);
    s->height = s->iheight = height;
    s->width = s->iwidth = width;
    s->filters = 0x61616161u;
    s->data_offset = offset;
    alloc_image(*s);
    stream_seek(*s, offset);
  }
  Word at(int r, int c) const {
    return s->image[size_t(r) * size_t(s->iwidth) + size_t(c)][cell_color(*s, r, c)];
  }
};

}  // namespace

TEST(KodakJpegLoaderTest, CellsComeFromTheirComponents) {
  const int w = 48, h = 32;  // JPEG of 48 x 16
  Dc120Rig rig(SwapWords(MakeJpeg(w, h / 2)), h, w, 6);
  kodak_jpeg_load_raw(*rig.s);
  // Each pixel pair P (column c), Q (column c + 1) of JPEG row j fills
  // cells (2j, c) = P green, (2j + 1, c + 1) = Q green, (2j, c + 1) = red
  // sum, (2j + 1, c) = blue sum; a JPEG step of 2 per component allowed.
  int bad = 0;
  std::string first;
  for (int j = 0; j < h / 2; ++j)
    for (int c = 0; c < w; c += 2) {
      const std::pair<std::pair<int, int>, int> want[4] = {
          {{2 * j, c}, Component(1, j, c) << 6},
          {{2 * j + 1, c + 1}, Component(1, j, c + 1) << 6},
          {{2 * j, c + 1}, (Component(0, j, c) + Component(0, j, c + 1)) << 5},
          {{2 * j + 1, c}, (Component(2, j, c) + Component(2, j, c + 1)) << 5}};
      for (const auto& [cell, v] : want) {
        const int got = rig.at(cell.first, cell.second);
        if (std::abs(got - v) > 2 << 6 && bad++ == 0)
          first = std::to_string(cell.first) + "," + std::to_string(cell.second) + " got " + std::to_string(got) +
                  " want " + std::to_string(v);
      }
    }
  EXPECT_EQ(bad, 0) << first;
}

TEST(KodakJpegLoaderTest, DamagedDataRaises) {
  const Bytes good = MakeJpeg(16, 8);
  const Bytes grey = MakeJpeg(16, 8, true);
  struct Case {
    const char* name;
    Bytes data;
    int height, width;
    bool dimensions;  // ": incorrect JPEG dimensions" rather than a JPEG library error
  };
  const Case cases[] = {
      {"wrong height", SwapWords(good), 18, 16, true},
      {"wrong width", SwapWords(good), 16, 18, true},
      {"one component", SwapWords(grey), 16, 16, true},
      {"words not swapped", good, 16, 16, false},
      {"empty", {}, 16, 16, false},
      {"cut in the header", SwapWords(Bytes(good.begin(), good.begin() + 40)), 16, 16, false},
      {"junk", Bytes(3000, 0xA7), 16, 16, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Dc120Rig rig(c.data, c.height, c.width);
    if (c.dimensions) {
      try {
        kodak_jpeg_load_raw(*rig.s);
        ADD_FAILURE() << "no error";
      } catch (const ELKJpegException& e) {
        ADD_FAILURE() << "JPEG error " << e.what();
      } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), ": incorrect JPEG dimensions");
      }
    } else {
      EXPECT_THROW(kodak_jpeg_load_raw(*rig.s), ELKJpegException);
    }
  }
}

TEST(KodakJpegLoaderTest, DataCutInTheScanEndsSafely) {
  // The picture data ends early: the loader finishes what it has (or
  // reports a JPEG error) without reading past the file or hanging.
  const Bytes good = MakeJpeg(48, 16);
  for (size_t keep : {good.size() / 2, good.size() - 3}) {
    Dc120Rig rig(SwapWords(Bytes(good.begin(), good.begin() + Int64(keep))), 32, 48);
    try {
      kodak_jpeg_load_raw(*rig.s);
    } catch (const ELKJpegException&) {
    }
  }
}
