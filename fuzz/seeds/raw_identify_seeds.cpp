// Writes the seed corpus of raw_identify_load_fuzz: one small camera-like
// file per magic-number path of identification and a few rows of the
// file-size table, built with the test kit.
// Usage: raw_identify_seeds <directory>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "raw/kit/rawkit.h"

using rawkit::Bytes;
using rawkit::ByteWriter;
using rawkit::CiffBuilder;
using rawkit::TiffBuilder;
using rawkit::TiffIfd;

namespace {

Bytes PhaseOne() {
  ByteWriter w(false);
  w.text("MMMMRawT", false).u32(20);
  w.pad_to(12 + 20 + 136);
  w.u32(64);
  w.pad_to(w.size() + 12);
  w.u32(32);
  w.pad_to(4096, 0x35);
  return w.bytes();
}

Bytes CanonTiff(bool little) {
  TiffBuilder t(little);
  TiffIfd ifd0;
  ifd0.add_text(271, "Canon").add_text(272, "Canon EOS-1D");
  t.ifds = {ifd0};
  ByteWriter w(little);
  t.write(w);
  w.pad_to(4096, 0x5a);
  return w.bytes();
}

Bytes NikonTiff() {
  TiffBuilder t(false);
  TiffIfd ifd0, raw;
  ifd0.add_text(271, "NIKON CORPORATION").add_text(272, "NIKON D1").add_sub(330, 1);
  raw.add_long(256, 64).add_long(257, 32).add_short(259, 1).add_long(273, 1024);
  t.ifds = {ifd0, raw};
  ByteWriter w(false);
  t.write(w);
  w.pad_to(4096, 0x47);
  return w.bytes();
}

Bytes CanonCiff() {
  ByteWriter names(true);
  names.text("Canon").text("Canon PowerShot G1");
  ByteWriter sizes(true);
  sizes.u16(0).u16(2144).u16(1560);
  CiffBuilder cb(true);
  Bytes file = cb.build_file({CiffBuilder::heap(0x300a, {CiffBuilder::rec(0x080a, names.bytes())}),
                              CiffBuilder::rec(0x1031, sizes.bytes())});
  file.resize(4096, 0x6b);
  return file;
}

Bytes Minolta() {
  ByteWriter w(false);
  w.u8(0).text("MRM", false).u32(992);
  w.pad_to(12);
  w.u32(400);
  w.pad_to(24);
  w.u16(32).u16(64);
  w.pad_to(48);
  TiffBuilder t(false);
  TiffIfd ifd0;
  ifd0.add_text(271, "MINOLTA").add_text(272, "DiMAGE 7");
  t.ifds = {ifd0};
  t.write(w);
  w.pad_to(420);
  w.u32(0);
  w.pad_to(436);
  w.u16(300).u16(200).u16(100).u16(400);
  w.pad_to(4096, 0x21);
  return w.bytes();
}

Bytes JpegExif() {
  ByteWriter w(false);
  w.u8(0xFF).u8(0xD8).u8(0xFF).u8(0xE1).u16(0).text("Exif", true).u8(0);
  TiffBuilder t(true);
  TiffIfd ifd0;
  ifd0.add_text(271, "Canon").add_text(272, "Canon EOS-1DS");
  t.ifds = {ifd0};
  t.write(w);
  w.put16_at(4, uint32_t(w.size() - 4));
  w.u8(0);
  w.pad_to(4096, 0x3c);
  return w.bytes();
}

Bytes Nucore(const char* magic, uint32_t width, uint32_t height, bool bmq) {
  ByteWriter w(true);
  w.text(magic, false);
  w.pad_to(10);
  w.u32(100).u32(0).u32(width).u32(height);
  w.pad_to(38);
  if (bmq) w.u32(2834).u32(2834);
  w.pad_to(4096, 0x11);
  return w.bytes();
}

Bytes Contax() {
  Bytes b = rawkit::sensor_dump(4096);
  std::memcpy(b.data() + 25, "ARECOYK", 7);
  return b;
}

Bytes Fuji() {
  ByteWriter w(false);
  w.text("FUJIFILM", false);
  w.pad_to(84);
  w.u32(188);
  w.pad_to(100);
  w.u32(1000);
  w.pad_to(200);
  TiffBuilder t(false);
  TiffIfd ifd0;
  ifd0.add_text(271, "FUJIFILM").add_text(272, "FinePix S5000");
  t.ifds = {ifd0};
  t.write(w);
  w.pad_to(4096, 0x73);
  return w.bytes();
}

Bytes Foveon() {
  ByteWriter w(true);
  w.text("FOVb", false);
  w.pad_to(248);
  w.u32(64).u32(32);
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

Bytes Rollei() {
  ByteWriter w;
  for (const char* line : {"DSC-Image", "HDR=1024", "X  =64", "Y  =32", "EOHD"}) {
    const size_t at = w.size();
    w.text(line, false);
    w.pad_to(at + 128);
  }
  w.pad_to(4096, 0x29);
  return w.bytes();
}

// A headerless sensor dump of `size` bytes with varied content.
Bytes Busy(size_t size) {
  return rawkit::sensor_dump(size, [](size_t i) { return uint8_t(1 + (i * 7) % 83); });
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <directory>\n", argv[0]);
    return 2;
  }
  const std::vector<std::pair<const char*, Bytes>> seeds = {
      {"phase_one", PhaseOne()},       {"canon_tiff_ii", CanonTiff(true)},
      {"canon_tiff_mm", CanonTiff(false)}, {"nikon_tiff", NikonTiff()},
      {"canon_ciff", CanonCiff()},     {"minolta_mrm", Minolta()},
      {"jpeg_exif", JpegExif()},       {"nucore_br", Nucore("BR", 64, 32, false)},
      {"nucore_bmq", Nucore("BM", 2597, 1950, true)}, {"contax", Contax()},
      {"fuji", Fuji()},                {"foveon", Foveon()},
      {"rollei", Rollei()},
      // Headerless files of the file-size table (larger; fuzz them with a
      // matching -max_len).
      {"size_kodak_dc20", Busy(62464)},  {"size_kodak_dc20_2", Busy(124928)},
      {"size_creative", Busy(787456)},
  };
  for (const auto& [name, bytes] : seeds) {
    const std::string path = std::string(argv[1]) + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
