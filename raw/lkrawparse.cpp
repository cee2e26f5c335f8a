#include "raw/lkrawparse.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "raw/lkrawbits.h"

// The mask words are constants of the camera's file format; without a
// published value the block is taken as stored.
const Word kCanonWhiteMask[2] = {0x0000, 0x0000};

namespace {

// Directories a TIFF chain may hold before it is taken as a loop.
constexpr int kMaxDirectories = 256;
// Sub-directories listed by one entry that are followed.
constexpr Int64 kMaxSubDirectories = 64;
// Nesting of CIFF heaps; real files use two or three levels.
constexpr int kMaxHeapDepth = 8;
// Records one CIFF parse visits in all: sub-heaps that overlap each other
// could otherwise multiply the work level by level.
constexpr Int64 kMaxRecordVisits = 1 << 16;

// A sensor dimension from the file: values no sensor has are taken as
// unknown, which makes identification reject the file.
Integer dimension(Cardinal v) { return v > 65535 ? 0 : static_cast<Integer>(v); }

// Entry count of a directory, bounded by the entries the data can hold.
Integer bounded_count(TRAWDecoderState& s, Integer count, Integer entry_size) {
  return static_cast<Integer>(std::min<Int64>(count, stream_remaining(s) / entry_size));
}

// One directory entry; `value` follows the TIFF rule: a short with a count
// below 3 sits in the first half of the value field.
struct Entry {
  Word tag, type;
  Cardinal count, value;
};

Entry read_entry(TRAWDecoderState& s) {
  Entry e;
  e.tag = read_u16(s);
  e.type = read_u16(s);
  e.count = read_u32(s);
  if (e.type == 3 && e.count < 3) {
    e.value = read_u16(s);
    stream_skip(s, 2);
  } else {
    e.value = read_u32(s);
  }
  return e;
}

// Whole decimal number of a header text (surrounding blanks allowed); 0 when
// the text is no number or does not fit.
Integer parse_int(const std::string& v) {
  size_t b = v.find_first_not_of(" \t\r\n"), e = v.find_last_not_of(" \t\r\n");
  if (b == std::string::npos) return 0;
  std::string t = v.substr(b, e - b + 1);
  char* stop = nullptr;
  errno = 0;
  long long n = std::strtoll(t.c_str(), &stop, 10);
  if (*stop || errno || n < INT32_MIN || n > INT32_MAX) return 0;
  return static_cast<Integer>(n);
}

// Reads camera multipliers w0..w3 at the current position.
void read_camera_multipliers(TRAWDecoderState& s) {
  Word w[4];
  for (Word& x : w) x = read_u16(s);
  s.camera_red = w[0];
  if (w[0]) s.camera_red = static_cast<float>(w[1]) / w[0];
  s.camera_blue = w[2];
  if (w[3]) s.camera_blue /= w[3];
}

void parse_ciff_heap(TRAWDecoderState& s, Int64 start, Int64 length, int depth, Int64& budget);

}  // namespace

void parse_tiff(TRAWDecoderState& s, Int64 base) {
  stream_seek(s, base);
  s.order = read_u16(s);
  stream_skip(s, 2);
  Integer width = 0, height = 0;
  Int64 strip_value = 0, first_strip = 0;
  bool adobe = false;
  std::set<Int64> visited;
  for (int dirs = 0; dirs < kMaxDirectories; ++dirs) {
    Int64 doff = read_u32(s);
    if (doff == 0 || doff + base >= stream_size(s) || !visited.insert(doff + base).second) break;
    stream_seek(s, doff + base);
    Integer entries = bounded_count(s, read_u16(s), 12);
    while (entries-- > 0) {
      Entry e = read_entry(s);
      Int64 save = stream_position(s);
      Int64 at = Int64(e.value) + base;
      stream_seek(s, at);
      switch (e.tag) {
        case 17: s.camera_red = e.value / 256.0f; break;
        case 18: s.camera_blue = e.value / 256.0f; break;
        case 256: width = dimension(e.value); break;
        case 257: height = dimension(e.value); break;
        case 271: read_text(s, s.make, sizeof s.make, 64); break;
        case 272: read_text(s, s.model, sizeof s.model, 64); break;
        case 273:
          strip_value = e.value;
          first_strip = read_u32(s);
          break;
        case 274: {
          static const Integer flips[8] = {0, 1, 3, 2, 4, 6, 7, 5};
          // Orientation 0 is no orientation at all.
          if (e.value) s.flip = flips[(e.value - 1) % 8];
          break;
        }
        case 291:
          s.curve_offset = e.value;
          s.curve_length = static_cast<Integer>(std::min<Cardinal>(e.count, 0x7fffffff));
          break;
        case 305: {
          char software[64];
          read_text(s, software, sizeof software, 64);
          if (text_starts(software, "Adobe")) {
            s.make[0] = 0;
            adobe = true;
          }
          break;
        }
        case 324:
          set_text(s.make, "Leaf");
          s.raw_width = width;
          s.raw_height = height;
          s.data_offset = e.count < 2 ? Int64(e.value) : Int64(read_u32(s));
          break;
        case 330: {
          Int64 count = e.count;
          if (count > 2 && std::strcmp(s.make, "Kodak") == 0) count = 2;
          if (count < 2) {
            parse_tiff_ifd(s, base);
          } else {
            count = std::min({count, kMaxSubDirectories, stream_remaining(s) / 4});
            for (Int64 i = 0; i < count; ++i) {
              stream_seek(s, at + 4 * i);
              stream_seek(s, Int64(read_u32(s)) + base);
              parse_tiff_ifd(s, base);
            }
          }
          break;
        }
        case 33405: read_text(s, s.model2, sizeof s.model2, 64); break;
        case 34665: parse_exif_ifd(s, base); break;
        default: break;
      }
      stream_seek(s, save);
    }
  }
  // A converted file keeps the camera's make; reject it whatever came later.
  if (adobe) s.make[0] = 0;
  if (text_starts(s.make, "OLYMPUS")) {
    s.make[7] = 0;
    s.raw_width = width;
    s.raw_height = (height + 1) & ~1;
    s.data_offset = first_strip;
  }
  if (std::strcmp(s.make, "Canon") == 0 && std::strcmp(s.model, "EOS D2000C") != 0)
    s.data_offset = strip_value;
  if (!s.make[0] && width == 680 && height == 680) {
    set_text(s.make, "Imacon");
    set_text(s.model, "Ixpress");
  }
}

void parse_tiff_ifd(TRAWDecoderState& s, Int64 base) {
  Integer entries = bounded_count(s, read_u16(s), 12);
  while (entries-- > 0) {
    Entry e = read_entry(s);
    switch (e.tag) {
      case 256: s.raw_width = dimension(e.value); break;
      case 257: s.raw_height = dimension(e.value); break;
      case 259: s.compression = static_cast<Integer>(std::min<Cardinal>(e.value, 0x7fffffff)); break;
      case 262: s.photometric = static_cast<Integer>(std::min<Cardinal>(e.value, 0x7fffffff)); break;
      case 273:
        if (e.count == 1) {
          s.data_offset = e.value;
        } else {
          Int64 save = stream_position(s);
          s.data_offset = read_u32_at(s, Int64(e.value) + base);
          stream_seek(s, save);
        }
        break;
      case 291:
        s.curve_offset = e.value;
        s.curve_length = static_cast<Integer>(std::min<Cardinal>(e.count, 0x7fffffff));
        break;
      default: break;
    }
  }
}

void parse_exif_ifd(TRAWDecoderState& s, Int64 base) {
  Integer entries = bounded_count(s, read_u16(s), 12);
  while (entries-- > 0) {
    Word tag = read_u16(s);
    stream_skip(s, 6);  // type and count
    Cardinal value = read_u32(s);
    Int64 save = stream_position(s);
    stream_seek(s, Int64(value) + base);
    if (tag == 37500 && (text_starts(s.make, "NIKON") || text_starts(s.make, "OLYMPUS")))
      parse_makernote(s);
    stream_seek(s, save);
  }
}

void parse_makernote(TRAWDecoderState& s) {
  const Word saved_order = s.order;
  char buf[10];
  read_bytes(s, buf, 10);
  Int64 base = 0;
  if (std::memcmp(buf, "Nikon", 6) == 0) {
    base = stream_position(s);
    s.order = read_u16(s);
    stream_skip(s, 2);
    stream_seek(s, base + read_u32(s));
  } else if (std::memcmp(buf, "OLYMP", 5) == 0) {
    stream_skip(s, -2);
  } else {
    stream_skip(s, -10);
  }
  Integer entries = bounded_count(s, read_u16(s), 12);
  while (entries-- > 0) {
    Word tag = read_u16(s);
    Word type = read_u16(s);
    stream_skip(s, 4);
    Cardinal value;
    if (type == 3) {
      value = read_u16(s);
      stream_skip(s, 2);
    } else {
      value = read_u32(s);
    }
    Int64 save = stream_position(s);
    Int64 at = Int64(value) + base;
    switch (tag) {
      case 12: {
        stream_seek(s, at);
        float a = static_cast<float>(read_u32(s)), b = static_cast<float>(read_u32(s));
        float c = static_cast<float>(read_u32(s)), d = static_cast<float>(read_u32(s));
        if (b != 0 && d != 0) {
          s.camera_red = a / b;
          s.camera_blue = c / d;
        }
        break;
      }
      case 140: s.curve_offset = at + 2112; break;
      case 150: s.curve_offset = at + 2; break;
      case 151:
        if (std::strcmp(s.model, "NIKON D100 ") == 0) {
          stream_seek(s, at + 72);
          s.camera_red = read_u16(s) / 256.0f;
          s.camera_blue = read_u16(s) / 256.0f;
        } else if (std::strcmp(s.model, "NIKON D2H") == 0) {
          stream_seek(s, at + 10);
          Word w[4];
          for (Word& x : w) x = read_u16(s);
          if (w[1] && w[2]) {
            s.camera_red = static_cast<float>(w[0]) / w[1];
            s.camera_blue = static_cast<float>(w[3]) / w[2];
          }
        } else if (std::strcmp(s.model, "NIKON D70") == 0) {
          stream_seek(s, at + 20);
          Word w[4];
          for (Word& x : w) x = read_u16(s);
          if (w[1] && w[3]) {
            s.camera_red = static_cast<float>(w[0]) / w[1];
            s.camera_blue = static_cast<float>(w[2]) / w[3];
          }
        }
        break;
      case 4119: s.camera_red = value / 256.0f; break;
      case 4120: s.camera_blue = value / 256.0f; break;
      default: break;
    }
    stream_seek(s, save);
  }
  s.order = saved_order;
}

void parse_ciff(TRAWDecoderState& s, Int64 start, Int64 length) {
  Int64 budget = kMaxRecordVisits;
  parse_ciff_heap(s, start, length, 0, budget);
}

namespace {

void parse_ciff_heap(TRAWDecoderState& s, Int64 start, Int64 length, int depth, Int64& budget) {
  if (depth > kMaxHeapDepth || start < 0 || length < 6 || start + length > stream_size(s)) return;
  Integer wbi = -1;
  stream_seek(s, start + length - 4);
  Int64 table = start + read_u32(s);
  if (table < start || table + 2 > start + length) return;
  stream_seek(s, table);
  // Records must fit between the table and the heap's last word.
  Integer nrecs = static_cast<Integer>(std::min<Int64>(read_u16(s), (start + length - 4 - (table + 2)) / 10));
  for (; nrecs > 0 && budget > 0; --nrecs, --budget) {
    Word type = read_u16(s);
    Int64 len = read_u32(s);
    Int64 aoff = start + read_u32(s);
    Int64 save = stream_position(s);
    stream_seek(s, aoff);
    switch (type) {
      case 0x080a: {
        read_text(s, s.make, sizeof s.make, 64);
        stream_seek(s, aoff + static_cast<Int64>(std::strlen(s.make)) + 1);
        read_text(s, s.model, sizeof s.model, 64);
        break;
      }
      case 0x102a:
        wbi = read_u16_at(s, aoff + 14);
        if (wbi == 6 && (std::strcmp(s.model, "Canon EOS DIGITAL REBEL") == 0 ||
                         std::strcmp(s.model, "Canon EOS 300D DIGITAL") == 0))
          wbi = 7;
        break;
      case 0x102c:
        if (std::strcmp(s.model, "Canon PowerShot G1") == 0 ||
            std::strcmp(s.model, "Canon PowerShot Pro90 IS") == 0) {
          stream_seek(s, aoff + 120);
          Word w[4];
          for (Word& x : w) x = read_u16(s);
          s.white[0][1] = static_cast<SmallInt>(w[0] << 4);
          s.white[0][0] = static_cast<SmallInt>(w[1] << 4);
          s.white[1][0] = static_cast<SmallInt>(w[2] << 4);
          s.white[1][1] = static_cast<SmallInt>(w[3] << 4);
        } else if (wbi == 6 && read_u32_at(s, aoff + 100) == 0) {
          wbi = 15;
        } else {
          stream_seek(s, aoff + 100);
          read_camera_multipliers(s);
        }
        break;
      case 0x0032:
        if (std::strcmp(s.model, "Canon EOS D30") == 0) {
          stream_seek(s, aoff + 72);
          read_camera_multipliers(s);
        } else if (s.camera_red == 0) {
          static const int step[6] = {1, 2, 3, 4, 5, 1};
          stream_seek(s, aoff + 80 + (wbi >= 0 && wbi < 6 ? 8 * step[wbi] : 0));
          read_camera_multipliers(s);
        }
        break;
      case 0x10a9: {
        Integer idx = wbi;
        if (std::strcmp(s.model, "Canon EOS 10D") == 0) {
          static const int map10[10] = {0, 1, 3, 4, 5, 6, 0, 0, 2, 8};
          idx = idx >= 0 && idx < 10 ? map10[idx] : -1;
          wbi = idx;
        }
        // Without a known white-balance index there is no table entry.
        if (idx < 0) break;
        stream_seek(s, aoff + 2 + 8 * Int64(idx));
        Word w[4];
        for (Word& x : w) x = read_u16(s);
        // A zero divisor leaves the camera balance as it was.
        if (w[1] && w[2]) {
          s.camera_red = static_cast<float>(w[0]) / w[1];
          s.camera_blue = static_cast<float>(w[3]) / w[2];
        }
        break;
      }
      case 0x1030:
        if (wbi > 14) parse_ciff_white_table(s);
        break;
      case 0x1031:
        s.raw_width = read_u16_at(s, aoff + 2);
        s.raw_height = read_u16(s);
        break;
      case 0x180e: s.timestamp = static_cast<Integer>(read_u32(s)); break;
      case 0x580e: s.timestamp = static_cast<Integer>(len); break;
      case 0x1810:
        switch (read_u32_at(s, aoff + 12)) {
          case 90: s.flip = 6; break;
          case 180: s.flip = 3; break;
          case 270: s.flip = 5; break;
          default: break;
        }
        break;
      case 0x1835: canon_init_tables(s, read_u32(s)); break;
      default:
        // A sub-heap lies inside its parent and is smaller than it.
        if (((type >> 8) == 0x28 || (type >> 8) == 0x30) && aoff >= start &&
            aoff + len <= start + length && len < length)
          parse_ciff_heap(s, aoff, len, depth + 1, budget);
        break;
    }
    stream_seek(s, save);
  }
  if (wbi == 0 && std::strcmp(s.model, "Canon EOS D30") == 0) s.camera_red = -1;
}

}  // namespace

void parse_ciff_white_table(TRAWDecoderState& s) { parse_ciff_white_table(s, kCanonWhiteMask); }

void parse_ciff_white_table(TRAWDecoderState& s, const Word mask[2]) {
  stream_skip(s, 2);
  if (read_u32(s) != 0x80008) return;
  if (read_u32(s) == 0) return;
  const int w = read_u16(s);
  if (w != 10 && w != 12) return;
  Cardinal bits = 0;
  int vbits = 0, word = 0;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 8; ++j) {
      if (vbits < w) {
        bits = (bits << 16) | (read_u16(s) ^ mask[word++ & 1]);
        vbits += 16;
      }
      Cardinal cell = (bits >> (vbits - w)) & ((1u << w) - 1);
      vbits -= w;
      s.white[i][j] = static_cast<SmallInt>(cell << (14 - w));
    }
}

void parse_rollei(TRAWDecoderState& s) {
  stream_seek(s, 0);
  Int64 tile_w = 0, tile_h = 0;
  auto number = parse_int;
  for (;;) {
    char line[129] = {};
    // The header ends at "EOHD"; a file without it ends at its last line.
    if (read_bytes(s, line, 128) == 0) break;
    if (std::strncmp(line, "EOHD", 4) == 0) break;
    std::string text(line);
    size_t eq = text.find('=');
    std::string key = text.substr(0, eq);
    std::string value = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    if (key == "HDR") s.data_offset = number(value);
    else if (key == "X  ") s.raw_width = dimension(static_cast<Cardinal>(std::max(0, number(value))));
    else if (key == "Y  ") s.raw_height = dimension(static_cast<Cardinal>(std::max(0, number(value))));
    else if (key == "TX ") tile_w = number(value);
    else if (key == "TY ") tile_h = number(value);
  }
  s.data_offset += tile_w * tile_h * 2;
  set_text(s.make, "Rollei");
  set_text(s.model, "d530flex");
}

void parse_foveon(TRAWDecoderState& s) {
  s.order = 0x4949;
  const Int64 size = stream_size(s);
  const Int64 dir = read_u32_at(s, size - 4);
  if (dir < 0 || dir >= size) return;
  stream_seek(s, dir);
  const Cardinal kCamf = 0x464d4143;  // "CAMF" read little-endian
  bool found = false;
  while (stream_position(s) + 4 <= size)
    if (read_u32(s) == kCamf) {
      found = true;
      break;
    }
  if (!found) return;
  const Int64 p = read_u32(s);
  const Int64 n = read_u32_at(s, p + 8);
  const Int64 first = p + 8 * n + 24;
  // The property strings must lie inside the file, before the directory.
  if (first < 0 || first > dir) return;
  const Int64 chars = (dir - first) / 2;
  auto block = raw_alloc<char>(chars + 1, "parse_foveon()");
  stream_seek(s, first);
  for (Int64 i = 0; i < chars; ++i) block[i] = static_cast<char>(read_u16(s) & 0xff);
  block[chars] = 0;
  for (Int64 i = 0; i < chars;) {
    const char* name = block.get() + i;
    Int64 vi = i + static_cast<Int64>(std::strlen(name)) + 1;
    if (vi > chars) break;
    const char* value = block.get() + vi;
    if (std::strcmp(name, "CAMMANUF") == 0) set_text(s.make, value);
    else if (std::strcmp(name, "CAMMODEL") == 0) set_text(s.model, value);
    else if (std::strcmp(name, "TIME") == 0) s.timestamp = parse_int(value);
    i = vi + static_cast<Int64>(std::strlen(value)) + 1;
  }
  s.raw_width = dimension(read_u32_at(s, 248));
  s.raw_height = dimension(read_u32_at(s, 252));
}
