// Metafiles of both kinds written record by record, following the
// published record layouts, for the player's tests, the fuzz target's seeds
// and the checks against other players.
#pragma once

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <string>

#include "platform/system.h"

namespace mfkit {

inline void Put32(std::string& S, Cardinal V) {
  for (int i = 0; i < 4; ++i) S += char(V >> (8 * i));
}
inline void Put16(std::string& S, Word V) {
  S += char(V);
  S += char(V >> 8);
}
inline std::string Le32(std::initializer_list<Cardinal> V) {
  std::string s;
  for (Cardinal v : V) Put32(s, v);
  return s;
}
inline std::string Le16(std::initializer_list<int> V) {
  std::string s;
  for (int v : V) Put16(s, Word(v));
  return s;
}
inline Cardinal Rgb(int R, int G, int B) { return Cardinal(R) | Cardinal(G) << 8 | Cardinal(B) << 16; }

/// A packed bottom-up bitmap of W x H pixels at 24 bits (Bits 24) or with a
/// palette of the colours Pixel gives (Bits 8: index = Pixel's blue byte,
/// colour from Palette).
inline std::string Dib(int W, int H, const std::function<Cardinal(int X, int Y)>& Pixel, int Bits = 24,
                       std::initializer_list<Cardinal> Palette = {}) {
  const int stride = (W * Bits + 31) / 32 * 4;
  std::string s = Le32({40, Cardinal(W), Cardinal(H)}) + Le16({1, Bits}) +
                  Le32({0, Cardinal(stride * H), 2835, 2835, Cardinal(Palette.size()), 0});
  for (Cardinal c : Palette) Put32(s, (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF));
  for (int y = H - 1; y >= 0; --y) {
    std::string row;
    for (int x = 0; x < W; ++x) {
      const Cardinal c = Pixel(x, y);
      if (Bits == 8) {
        row += char(c & 0xFF);
      } else {
        row += char(c >> 16 & 0xFF);  // blue, green, red
        row += char(c >> 8 & 0xFF);
        row += char(c & 0xFF);
      }
    }
    row.resize(size_t(stride), '\0');
    s += row;
  }
  return s;
}

/// A 16-bit metafile: records of 16-bit parameters (as stored, which for
/// most records is last argument first).
struct Wmf {
  std::string Records;
  Word Objects = 16;
  Cardinal Largest = 3;  // the longest record, in words
  void Rec(Word Fn, const std::string& Params) {
    std::string p = Params;
    if (p.size() % 2) p += '\0';
    Largest = std::max(Largest, Cardinal(3 + p.size() / 2));
    Put32(Records, Cardinal(3 + p.size() / 2));
    Put16(Records, Fn);
    Records += p;
  }
  void Rec(Word Fn, std::initializer_list<int> Words) { Rec(Fn, Le16(Words)); }
  /// The file: a placeable header of W x H units at Inch units per inch
  /// (none when Inch is 0), the header, the records and the end record.
  std::string Bytes(int W, int H, int Inch = 96) const {
    std::string s;
    if (Inch) {
      s = Le32({0x9AC6CDD7u}) + Le16({0, 0, 0, W, H, Inch}) + Le32({0});
      Word sum = 0;  // the first ten words XORed
      for (size_t i = 0; i < s.size(); i += 2) sum ^= Word(Byte(s[i]) | Byte(s[i + 1]) << 8);
      Put16(s, sum);
    }
    std::string body = Records;
    Put32(body, 3);
    Put16(body, 0);
    s += Le16({1, 9, 0x300});
    Put32(s, Cardinal(9 + body.size() / 2));
    Put16(s, Objects);
    Put32(s, Largest);
    Put16(s, 0);
    return s + body;
  }
};

/// An enhanced metafile of W x H device pixels (bounds 0..W-1, 0..H-1) on
/// a reference device of 96 pixels per inch.
struct Emf {
  std::string Records;
  Cardinal Count = 0;
  void Rec(Cardinal Type, const std::string& Params) {
    std::string p = Params;
    while (p.size() % 4) p += '\0';
    Put32(Records, Type);
    Put32(Records, Cardinal(8 + p.size()));
    Records += p;
    ++Count;
  }
  void Rec(Cardinal Type, std::initializer_list<Cardinal> Params) { Rec(Type, Le32(Params)); }
  std::string Bytes(int W, int H) const {
    std::string body = Records + Le32({14, 20, 0, 16, 20});
    const Cardinal mmW = Cardinal(W * 254 / 96), mmH = Cardinal(H * 254 / 96);  // tenths of a millimetre
    std::string h = Le32({1, 88, 0, 0, Cardinal(W - 1), Cardinal(H - 1), 0, 0, mmW * 10, mmH * 10, 0x464D4520u,
                          0x10000, 0, Count + 2, 0, 0, 0, 0, 1024, 768, 271, 203});
    h.replace(48, 4, Le32({Cardinal(88 + body.size())}));
    h.replace(56, 2, Le16({64}));
    return h + body;
  }
};

/// The parameters of an enhanced text record (EXTTEXTOUTW) drawing Text at
/// (X, Y) with the given advances (none when empty).
inline std::string EmfText(int X, int Y, const std::u16string& Text, std::initializer_list<int> Dx = {},
                           Cardinal Options = 0, int L = 0, int T = 0, int R = -1, int B = -1) {
  const Cardinal offString = 8 + 68;
  const Cardinal strBytes = Cardinal((Text.size() * 2 + 3) & ~size_t(3));
  std::string s = Le32({0, 0, 0, 0, 1, 0, 0, Cardinal(X), Cardinal(Y), Cardinal(Text.size()), offString, Options,
                        Cardinal(L), Cardinal(T), Cardinal(R), Cardinal(B),
                        Dx.size() ? offString + strBytes : 0});
  std::string str;
  for (char16_t c : Text) Put16(str, Word(c));
  while (str.size() < strBytes) str += '\0';
  s += str;
  for (int d : Dx) Put32(s, Cardinal(d));
  return s;
}

/// The parameters of an enhanced font record (EXTCREATEFONTINDIRECTW).
inline std::string EmfFont(Cardinal Handle, int Height, int Escapement, int Weight, const std::u16string& Face) {
  std::string s = Le32({Handle, Cardinal(Height), 0, Cardinal(Escapement), Cardinal(Escapement), Cardinal(Weight)});
  s += std::string(8, '\0');
  std::string face;
  for (char16_t c : Face) Put16(face, Word(c));
  face.resize(64, '\0');
  return s + face;
}

/// The parameters of a 16-bit font record.
inline std::string WmfFont(int Height, int Escapement, int Weight, const std::string& Face) {
  std::string s = Le16({Height, 0, Escapement, Escapement, Weight}) + std::string(8, '\0') + Face;
  s.resize(18 + 32, '\0');
  return s;
}

/// The parameters of an enhanced STRETCHDIBITS record drawing the packed
/// bitmap Dib (of W x H pixels) into the rectangle X, Y, Cx, Cy.
inline std::string EmfStretchDib(int X, int Y, int Cx, int Cy, const std::string& Dib, int W, int H,
                                 Cardinal Rop = 0x00CC0020) {
  const Cardinal fixed = 8 + 72;
  const Cardinal info = 40 + 4 * Cardinal(Byte(Dib[32]) | Byte(Dib[33]) << 8);  // header and palette
  return Le32({0, 0, 0, 0, Cardinal(X), Cardinal(Y), 0, 0, Cardinal(W), Cardinal(H), fixed, info, fixed + info,
               Cardinal(Dib.size() - info), 0, Rop, Cardinal(Cx), Cardinal(Cy)}) +
         Dib;
}

}  // namespace mfkit
