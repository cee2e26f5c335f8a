// Icon, cursor and animated cursor files written byte by byte from the
// published layouts, for the animated cursor tests and the fuzz seeds.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/metafile_kit.h"

namespace anikit {

using mfkit::Put16;
using mfkit::Put32;

/// An icon (Type 1) or cursor (Type 2, hot spot HotX, HotY) file of one
/// W x H image at 24 bits, or at 8 bits with Colour as its only palette
/// entry but the first; Colour(x, y) gives 0xRRGGBB, and pixels where
/// Clear(x, y) is true are transparent in the mask.
inline std::string Icon(int W, int H, const std::function<Cardinal(int, int)>& Colour,
                        const std::function<bool(int, int)>& Clear = nullptr, Word Type = 1, Word HotX = 0,
                        Word HotY = 0, int Bits = 24) {
  std::string img;
  Put32(img, 40);
  Put32(img, Cardinal(W));
  Put32(img, Cardinal(2 * H));
  Put16(img, 1);
  Put16(img, Word(Bits));
  for (int i = 0; i < 6; ++i) Put32(img, 0);
  std::vector<Cardinal> palette;
  if (Bits == 8) {
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        const Cardinal c = Colour(x, y);
        bool seen = false;
        for (Cardinal p : palette) seen = seen || p == c;
        if (!seen) palette.push_back(c);
      }
    palette.resize(256, 0);
    for (Cardinal c : palette) Put32(img, (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
  }
  const int stride = (W * Bits + 31) / 32 * 4, maskStride = (W + 31) / 32 * 4;
  for (int y = H - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < W; ++x) {
      const Cardinal c = Colour(x, y);
      if (Bits == 8) {
        size_t i = 0;
        while (palette[i] != c) ++i;
        row += char(i);
      } else {
        row += char(c & 0xFF), row += char(c >> 8 & 0xFF), row += char(c >> 16 & 0xFF);
      }
    }
    row.resize(size_t(stride), '\0');
    img += row;
  }
  for (int y = H - 1; y >= 0; --y) {
    std::string row(size_t(maskStride), '\0');
    for (int x = 0; x < W; ++x)
      if (Clear && Clear(x, y)) row[size_t(x / 8)] = char(row[size_t(x / 8)] | (0x80 >> (x % 8)));
    img += row;
  }
  std::string s;
  Put16(s, 0);
  Put16(s, Type);
  Put16(s, 1);
  s += char(W), s += char(H), s += char(Bits == 8 ? 0 : 0), s += char(0);
  Put16(s, Type == 2 ? HotX : 1);
  Put16(s, Type == 2 ? HotY : Word(Bits));
  Put32(s, Cardinal(img.size()));
  Put32(s, 22);
  return s + img;
}

/// A chunk: tag, size, data padded to an even length.
inline std::string Chunk(const std::string& Tag, const std::string& Data) {
  std::string s = Tag;
  Put32(s, Cardinal(Data.size()));
  s += Data;
  if (Data.size() % 2) s += '\0';
  return s;
}
inline std::string List(const std::string& Type, const std::vector<std::string>& Chunks) {
  std::string body = Type;
  for (const std::string& c : Chunks) body += c;
  return Chunk("LIST", body);
}
inline std::string Values(const std::vector<Cardinal>& V) {
  std::string s;
  for (Cardinal v : V) Put32(s, v);
  return s;
}
/// The "anih" chunk: frames, steps, rate in jiffies and flags.
inline std::string Anih(Cardinal Frames, Cardinal Steps, Cardinal Rate, Cardinal Flags = 1) {
  return Chunk("anih", Values({36, Frames, Steps, 0, 0, 0, 0, Rate, Flags}));
}
/// The whole file: "RIFF", its size, "ACON" and the chunks.
inline std::string Ani(const std::vector<std::string>& Chunks) {
  std::string body = "ACON";
  for (const std::string& c : Chunks) body += c;
  return Chunk("RIFF", body);
}
inline std::string Frames(const std::vector<std::string>& Icons) {
  std::vector<std::string> chunks;
  for (const std::string& i : Icons) chunks.push_back(Chunk("icon", i));
  return List("fram", chunks);
}

}  // namespace anikit
