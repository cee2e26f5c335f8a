// Small camera-like files, one per magic-number path of camera
// identification, for the identification tests and the fuzzing seed corpus.
// Each carries the sizes it is given; `size` and `fill` pad the file out.
//
// Header-only, so every test program may include it.
#pragma once

#include <cstring>
#include <string>

#include "raw/kit/rawkit.h"

namespace rawkit {

/// Appends a TIFF in the given byte order whose only directory names the
/// camera's make and model.
inline void write_camera_tiff(ByteWriter& w, bool little, const char* make, const char* model) {
  TiffBuilder t(little);
  TiffIfd ifd0;
  ifd0.add_text(271, make).add_text(272, model);
  t.ifds = {ifd0};
  t.write(w);
}

/// Phase One: "MMMMRawT", an offset to skip, raw width and height.
inline Bytes phase_one_file(uint32_t width, uint32_t height, size_t size = 4096, uint8_t fill = 0) {
  ByteWriter w(false);
  w.text("MMMMRawT", false).u32(20);
  w.pad_to(12 + 20 + 136);
  w.u32(width);
  w.pad_to(w.size() + 12);
  w.u32(height);
  w.pad_to(size, fill);
  return w.bytes();
}

/// A TIFF whose first directory names the Canon EOS-1D and nothing else.
inline Bytes canon_tiff_file(bool little, size_t size = 4096, uint8_t fill = 0) {
  ByteWriter w(little);
  write_camera_tiff(w, little, "Canon", "Canon EOS-1D");
  w.pad_to(size, fill);
  return w.bytes();
}

/// Canon CIFF of a PowerShot G1: names and the 2144 × 1560 sensor size
/// record, nothing after the heap.
inline Bytes canon_ciff_file() {
  ByteWriter names(true);
  names.text("Canon").text("Canon PowerShot G1");
  ByteWriter sizes(true);
  sizes.u16(0).u16(2144).u16(1560);
  CiffBuilder cb(true);
  return cb.build_file({CiffBuilder::heap(0x300a, {CiffBuilder::rec(0x080a, names.bytes())}),
                        CiffBuilder::rec(0x1031, sizes.bytes())});
}

/// Minolta "\0MRM" of a DiMAGE 7: TIFF at 48, raw sizes at 24, data offset
/// 1000, white balance 300 200 100 400 at 436 after two skips.
inline Bytes minolta_file(uint32_t rawHeight, uint32_t rawWidth, size_t size = 4096, uint8_t fill = 0) {
  ByteWriter w(false);
  w.u8(0).text("MRM", false).u32(992);  // data offset 1000
  w.pad_to(12);
  w.u32(400);                           // skip to 420
  w.pad_to(24);
  w.u16(rawHeight).u16(rawWidth);
  w.pad_to(48);
  write_camera_tiff(w, false, "MINOLTA", "DiMAGE 7");
  w.pad_to(420);
  w.u32(0);                             // skip 12 more: balance at 436
  w.pad_to(436);
  w.u16(300).u16(200).u16(100).u16(400);
  w.pad_to(size, fill);
  return w.bytes();
}

/// JPEG with EXIF: the TIFF of a Canon EOS-1DS inside the APP1 segment at
/// 12.
inline Bytes jpeg_exif_file(size_t size = 4096, uint8_t fill = 0) {
  ByteWriter w(false);
  w.u8(0xFF).u8(0xD8).u8(0xFF).u8(0xE1).u16(0).text("Exif", true).u8(0);
  write_camera_tiff(w, true, "Canon", "Canon EOS-1DS");
  const size_t len = w.size() - 4;
  w.put16_at(4, uint32_t(len));
  w.u8(0);  // the byte after the segment is no marker
  w.pad_to(size, fill);
  return w.bytes();
}

/// Nucore "BR" or "BM": data offset, width and height at 10; with `bmq`
/// the two 2834 words at 38 that mark a BMQ file.
inline Bytes nucore_file(const char* magic, uint32_t offset, uint32_t width, uint32_t height, bool bmq,
                         size_t size = 4096, uint8_t fill = 0) {
  ByteWriter w(true);
  w.text(magic, false);
  w.pad_to(10);
  w.u32(offset).u32(0).u32(width).u32(height);
  w.pad_to(38);
  if (bmq) w.u32(2834).u32(2834);
  w.pad_to(size, fill);
  return w.bytes();
}

/// CONTAX: a sensor dump with "ARECOYK" at 25.
inline Bytes contax_file(size_t size = 4096) {
  Bytes b = sensor_dump(size);
  std::memcpy(b.data() + 25, "ARECOYK", 7);
  return b;
}

/// FUJIFILM of a FinePix S5000: TIFF at (value at 84) + 12, the data offset
/// at 100.
inline Bytes fuji_file(uint32_t dataOffset, size_t size, uint8_t fill = 0) {
  ByteWriter w(false);
  w.text("FUJIFILM", false);
  w.pad_to(84);
  w.u32(188);
  w.pad_to(100);
  w.u32(dataOffset);
  w.pad_to(200);
  write_camera_tiff(w, false, "FUJIFILM", "FinePix S5000");
  w.pad_to(size, fill);
  return w.bytes();
}

/// Foveon of a SIGMA SD10: the properties in a section found through the
/// directory at the end.
inline Bytes foveon_file(uint32_t width, uint32_t height) {
  ByteWriter w(true);
  w.text("FOVb", false);
  w.pad_to(248);
  w.u32(width).u32(height);
  w.pad_to(300);
  const size_t p = w.size();
  w.u32(0).u32(0).u32(2);
  w.pad_to(p + 8 + 8 * 2 + 24);
  for (const char* text : {"CAMMANUF", "SIGMA", "CAMMODEL", "SIGMA SD10"}) {
    for (const char* c = text; *c; ++c) w.u16(uint8_t(*c));
    w.u16(0);
  }
  const size_t dir = w.size();
  w.text("SECd", false).u32(0).u32(0x464d4143).u32(uint32_t(p));
  w.u32(uint32_t(dir));
  return w.bytes();
}

/// Rollei text header: 128-byte lines up to "EOHD" with the sizes as text.
inline Bytes rollei_file(int x, int y, size_t size = 4096, uint8_t fill = 0) {
  ByteWriter w;
  const std::string lines[] = {"DSC-Image", "HDR=1024", "X  =" + std::to_string(x), "Y  =" + std::to_string(y), "EOHD"};
  for (const std::string& line : lines) {
    const size_t at = w.size();
    w.text(line, false);
    w.pad_to(at + 128);
  }
  w.pad_to(size, fill);
  return w.bytes();
}

}  // namespace rawkit
