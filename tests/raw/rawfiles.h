// Whole camera files for the reader and plug-in tests, built in memory from
// the fixture kit: each is identified by the camera identification and
// carries sensor data its loader decodes.
#pragma once

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "platform/classes.h"
#include "raw/kit/loaderkit.h"
#include "raw/kit/rawkit.h"

namespace rawfiles {

using rawkit::Bytes;
using rawkit::ByteWriter;

/// A smooth sensor pattern with some detail, 12-bit.
inline int Sample(int row, int col) { return (row * 37 + col * 23 + ((row * col) % 17) * 40) % 4096; }

/// A Nucore "BR" file: 16-bit little-endian samples (12 significant bits)
/// of rows × cols cells at offset 512.
inline Bytes Nucore(int rows, int cols, const std::function<int(int, int)>& sample = Sample) {
  ByteWriter w(true);
  w.text("BR", false);
  w.pad_to(10);
  w.u32(512).u32(0).u32(uint32_t(cols)).u32(uint32_t(rows));
  w.pad_to(512);
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) w.u16(uint32_t(sample(r, c)));
  return w.bytes();
}

/// A 24-bit picture of the given size with a diagonal gradient.
inline void Picture(TLKBitmap& b, int w, int h, int seed = 0) {
  b.Allocate(w, h, lk24RGB);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.SetPixels_lk24RGB(x, y, TRGB{Byte((x * 255) / std::max(1, w - 1)), Byte((y * 255) / std::max(1, h - 1)),
                                     Byte((x + y + seed * 40) % 256)});
}

/// A baseline JPEG of a w × h gradient picture.
inline Bytes Jpeg(int w, int h, int seed = 0) {
  TLKBitmap b;
  Picture(b, w, h, seed);
  TMemoryStream ms;
  TIOParamsVals p;
  p.JPEG_QUALITY = 90;
  TProgressRec progress;
  WriteJPegStream(&ms, &b, p, progress);
  Bytes out(size_t(ms.Size()));
  ms.Seek(0, soBeginning);
  ms.Read(out.data(), Integer(out.size()));
  return out;
}

/// Canon CIFF file of a camera the model rules do not list: names, a sensor
/// of `rows` × `cols` cells, optionally an embedded JPEG thumbnail, then the
/// compressed sensor data (any bytes decode).
inline Bytes CanonCiff(int rows, int cols, bool thumbnail, bool little = true) {
  ByteWriter names(little);
  names.text("Canon").text("Canon PowerShot Test");
  ByteWriter sizes(little);
  sizes.u16(0).u16(uint32_t(cols)).u16(uint32_t(rows));
  std::vector<rawkit::CiffRecord> image = {rawkit::CiffBuilder::rec(0x080a, names.bytes()),
                                           rawkit::CiffBuilder::rec(0x0805, ByteWriter(little).text("Test shot").bytes())};
  std::vector<rawkit::CiffRecord> root = {rawkit::CiffBuilder::heap(0x300a, image),
                                          rawkit::CiffBuilder::rec(0x1031, sizes.bytes())};
  if (thumbnail) root.push_back(rawkit::CiffBuilder::rec(0x2008, Jpeg(40, 30, 1)));
  Bytes sensor(size_t(rows) * size_t(cols) * 2);
  for (size_t i = 0; i < sensor.size(); ++i) sensor[i] = uint8_t((i * 131 + (i >> 7) * 7) & 0xff);
  root.push_back(rawkit::CiffBuilder::rec(0x2005, sensor));
  return rawkit::CiffBuilder(little).build_file(root);
}

/// A Nikon TIFF: the first page a small uncompressed RGB picture (the EXIF
/// thumbnail a TIFF reader finds), a sub-directory with the sensor's
/// rows × cols 12-bit samples, packed, uncompressed.
inline Bytes NikonTiff(int rows, int cols, const char* model = "NIKON D1",
                       const std::function<int(int, int)>& sample = Sample) {
  constexpr int tw = 16, th = 12;
  Bytes thumb(size_t(tw) * th * 3);
  for (size_t i = 0; i < thumb.size(); ++i) thumb[i] = uint8_t(40 + (i * 5) % 200);
  rawkit::TiffIfd ifd0, raw;
  ByteWriter bits(true);
  bits.u16(8).u16(8).u16(8);
  ifd0.add_long(256, tw).add_long(257, th).add_data(258, 3, 3, bits.bytes()).add_short(259, 1).add_short(262, 2);
  ifd0.add_text(271, "NIKON CORPORATION").add_text(272, model);
  ifd0.add_data(273, 4, 1, thumb).add_short(277, 3).add_long(278, th).add_long(279, uint32_t(thumb.size()));
  ifd0.add_sub(330, 1);
  raw.add_long(256, uint32_t(cols)).add_long(257, uint32_t(rows)).add_short(259, 1).add_short(262, 32803);
  raw.add_data(273, 4, 1, rawkit::pack_bits(rows, cols, 12, sample));
  rawkit::TiffBuilder t(true);
  t.ifds = {ifd0, raw};
  ByteWriter w(true);
  t.write(w);
  return w.bytes();
}

/// One named file of the kit.
struct KitFile {
  std::string name;
  Bytes bytes;
};

/// Every whole file the reader and plug-in tests run over.
inline std::vector<KitFile> Kit() {
  return {
      {"nucore 64x48", Nucore(48, 64)},
      {"nucore odd 37x29", Nucore(29, 37)},
      {"kodak dc20 size row", rawkit::sensor_dump(62464, [](size_t i) { return uint8_t(1 + (i * 7) % 83); })},
      {"canon ciff with thumbnail", CanonCiff(48, 64, true)},
      {"canon ciff big-endian", CanonCiff(40, 56, false, false)},
      {"nikon tiff with exif thumbnail", NikonTiff(48, 64)},
  };
}

/// A stream over a copy of bytes.
inline std::unique_ptr<TMemoryStream> Stream(const Bytes& b) {
  auto ms = std::make_unique<TMemoryStream>();
  if (!b.empty()) ms->Write(b.data(), Integer(b.size()));
  ms->Seek(0, soBeginning);
  return ms;
}

/// Fills a bitmap with a recognisable 3 × 2 picture.
inline void Mark(TLKBitmap& b) {
  b.Allocate(3, 2, lk24RGB);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) b.SetPixels_lk24RGB(x, y, TRGB{Byte(x), Byte(y), 99});
}

/// True when the bitmap still holds the picture of Mark.
inline bool IsMark(TLKBitmap& b) {
  if (b.GetWidth() != 3 || b.GetHeight() != 2 || b.GetPixelFormat() != lk24RGB) return false;
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x)
      if (!(b.GetPixels_lk24RGB(x, y) == TRGB{Byte(x), Byte(y), 99})) return false;
  return true;
}

/// True when both bitmaps have the same size, pixel format and pixels.
inline bool SamePixels(TLKBitmap& a, TLKBitmap& b) {
  if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight() || a.GetPixelFormat() != b.GetPixelFormat())
    return false;
  const size_t n = size_t(a.GetWidth()) * size_t(a.GetBitCount() / 8);
  for (Integer y = 0; y < a.GetHeight(); ++y)
    if (std::memcmp(a.GetScanLine(y), b.GetScanLine(y), n) != 0) return false;
  return true;
}

}  // namespace rawfiles
