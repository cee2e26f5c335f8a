// Camera identification: magic numbers and header parsing, the table of
// headerless file sizes, maker normalisation and the per-model rules.
#include "raw/lkrawident.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "raw/lkrawbits.h"
#include "raw/lkrawcoeff.h"
#include "raw/lkrawloaders.h"
#include "raw/lkrawparse.h"

namespace {

// ---------------------------------------------------------------- text helpers

bool StrEq(const char* a, const char* b) { return std::strcmp(a, b) == 0; }
bool StrEqNoCase(const char* a, const char* b) { return strcasecmp(a, b) == 0; }
bool StartsWith(const char* a, const char* prefix) {
  return std::strncmp(a, prefix, std::strlen(prefix)) == 0;
}
bool Contains(const char* a, const char* part) { return std::strstr(a, part) != nullptr; }

// Copies a text into one of the state's 64-byte name fields, always terminated.
void SetName(char (&field)[64], const char* text) {
  std::size_t n = std::min<std::size_t>(std::strlen(text), sizeof(field) - 1);
  std::memmove(field, text, n);
  std::memset(field + n, 0, sizeof(field) - n);
}

// Removes trailing blanks.
void TrimRight(char (&field)[64]) {
  std::size_t n = strnlen(field, sizeof(field));
  while (n > 0 && field[n - 1] == ' ') field[--n] = 0;
}

// Position of a pattern inside the header window, or -1.
Integer WindowFind(const TRAWIdentContext& ctx, const char* pattern) {
  const std::size_t n = std::strlen(pattern);
  for (std::size_t i = 0; i + n <= sizeof(ctx.window); ++i)
    if (std::memcmp(ctx.window + i, pattern, n) == 0) return Integer(i);
  return -1;
}
bool WindowAt(const TRAWIdentContext& ctx, std::size_t pos, const char* pattern) {
  const std::size_t n = std::strlen(pattern);
  return pos + n <= sizeof(ctx.window) && std::memcmp(ctx.window + pos, pattern, n) == 0;
}

// Division of two stored words for a camera multiplier; a zero divisor gives
// 0 (balance unknown) instead of an infinite multiplier.
float Ratio(Word a, Word b) { return b ? float(a) / float(b) : 0.0f; }

// Camera balance at a fixed offset (Kodak KD and Minolta DiMAGE G files):
// big-endian words w0..w3 give red = w0 / w2 and blue = w1 / w3. A negative
// offset reads at the current position.
void ReadBalanceAt(TRAWDecoderState& s, Int64 offset) {
  if (offset >= 0) stream_seek(s, offset);
  s.order = 0x4D4D;
  Word w[4];
  for (Word& v : w) v = read_u16(s);
  s.camera_red = Ratio(w[0], w[2]);
  s.camera_blue = Ratio(w[1], w[3]);
}

// -------------------------------------------------------------- rule hooks

void HookCanon2144(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (StrEq(s.model, "PowerShot G1")) {
    s.filters = 0xb4b4b4b4;
    s.colors = 4;
    s.pre_mul[0] = 1.446f;
    s.pre_mul[1] = 1.405f;
    s.pre_mul[2] = 1.016f;
  }
}

void HookCanon2376(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (StrEq(s.model, "PowerShot G2") || StrEq(s.model, "PowerShot S40")) {
    s.pre_mul[0] = 1.965f;
    s.pre_mul[2] = 1.208f;
  }
}

void HookCanon3152(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (StrEq(s.model, "EOS Kiss Digital")) {
    s.pre_mul[0] = 1.882f;
    s.pre_mul[2] = 1.094f;
  }
}

void HookYmag2(TRAWDecoderState& s, const TRAWIdentContext&) { s.ymag = 2; }

void HookD100(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (s.compression == 34713 && s.load_raw == nikon_load_raw) {
    s.width += 3;
    s.raw_width = s.width + 3;
  }
}

void HookCoolpixCoeff(TRAWDecoderState& s, const TRAWIdentContext&) { nikon_coolpix_coeff(s); }

void HookE990(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (nikon_e990_test(s)) {
    s.filters = 0xb4b4b4b4;
    nikon_coolpix_coeff(s);
    s.pre_mul[0] = 1.196f;
    s.pre_mul[1] = 1.246f;
    s.pre_mul[2] = 1.018f;
  } else {
    SetName(s.model, "E995");
    s.filters = 0xe1e1e1e1;
    s.pre_mul[0] = 1.253f;
    s.pre_mul[1] = 1.178f;
    s.pre_mul[3] = 1.035f;
  }
}

void HookE2100(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (nikon_e2100_test(s)) {
    s.height = 1206;
    s.load_raw = nikon_e2100_load_raw;
    s.pre_mul[0] = 1.945f;
    s.pre_mul[2] = 1.04f;
  } else {
    SetName(s.model, "E2500");
    s.height = 1204;
    s.filters = 0x4b4b4b4b;
    s.colors = 4;
    s.pre_mul[0] = 1.3f;
    s.pre_mul[1] = 1.3f;
    s.pre_mul[3] = 1.148f;
  }
}

void HookE4300(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (minolta_z2_test(s)) {
    SetName(s.make, "Minolta");
    SetName(s.model, "DiMAGE Z2");
    s.load_raw = nikon_e2100_load_raw;
  }
}

void HookBalance2032(TRAWDecoderState& s, const TRAWIdentContext&) { ReadBalanceAt(s, 2032); }

void HookMinolta(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (StartsWith(s.model, "DiMAGE A")) {
    s.load_raw = packed_12_load_raw;
    s.maximum = s.model[8] == '1' ? 15916 : 16380;
  } else if (StartsWith(s.model, "DiMAGE G")) {
    Int64 balance = -1;
    switch (s.model[8]) {
      case '4':
        s.data_offset = 5056;
        balance = 2078;
        s.height = 1716;
        s.width = 2304;
        break;
      case '5':
        s.data_offset = 4016;
        balance = 1936;
        s.height = 1956;
        s.width = 2607;
        s.raw_width = 2624;
        break;
      case '6':
        s.data_offset = 4032;
        balance = 2030;
        s.height = 2136;
        s.width = 2848;
        break;
      default:
        break;
    }
    s.filters = 0x61616161;
    s.load_raw = unpacked_be10_low_load_raw;
    s.maximum = 15856;
    ReadBalanceAt(s, balance);
  }
}

void HookPhaseOne(TRAWDecoderState& s, const TRAWIdentContext&) {
  switch (s.raw_height) {
    case 2060:
      SetName(s.model, "LightPhase");
      s.height = 2048;
      s.width = 3080;
      s.top_margin = 5;
      s.left_margin = 22;
      s.pre_mul[0] = 1.331f;
      s.pre_mul[2] = 1.154f;
      break;
    case 2682:
      SetName(s.model, "H10");
      s.height = 2672;
      s.width = 4012;
      s.top_margin = 5;
      s.left_margin = 26;
      break;
    case 4128:
      SetName(s.model, "H20");
      s.height = 4098;
      s.width = 4098;
      s.top_margin = 20;
      s.left_margin = 26;
      s.pre_mul[0] = 1.963f;
      s.pre_mul[2] = 1.43f;
      break;
    case 5488:
      SetName(s.model, "H25");
      s.height = 5458;
      s.width = 4098;
      s.top_margin = 20;
      s.left_margin = 26;
      s.pre_mul[0] = 2.8f;
      s.pre_mul[2] = 1.2f;
      break;
    default:
      break;
  }
  s.filters = (s.top_margin & 1) ? 0x94949494 : 0x49494949;
}

void HookSinar(TRAWDecoderState& s, const TRAWIdentContext&) {
  stream_seek(s, 14);
  s.height = Integer(read_u32(s));
  s.width = Integer(read_u32(s));
}

void HookLeaf(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (s.height > s.width) s.filters = 0x16161616;
}

void HookSonyCoeff(TRAWDecoderState& s, const TRAWIdentContext&) { sony_coeff(s); }

// Kodak models: width change, margin, curve length, black, multipliers.
enum class TKodakMatch : Byte { Model, Model2Starts, ModelNoCase };
struct TKodakRule {
  TKodakMatch match;
  const char* name;
  Integer widthDelta, left, curveLength, black;
  bool mono, cmy;
  float mul[4];
};

const TKodakRule kKodakRules[] = {
    {TKodakMatch::Model, "NC2000F", -4, 1, 176, 0, false, false, {1.509f, 0, 2.686f, 0}},
    {TKodakMatch::Model, "EOSDCS3B", -4, 2, 0, 0, false, false, {1.629f, 0, 2.767f, 0}},
    {TKodakMatch::Model, "EOSDCS1", -4, 2, 0, 0, false, false, {1.386f, 0, 2.405f, 0}},
    {TKodakMatch::Model, "DCS315C", 0, 0, 0, 32, false, false, {0, 1.068f, 1.036f, 0}},
    {TKodakMatch::Model, "DCS330C", 0, 0, 0, 32, false, false, {0, 1.012f, 1.804f, 0}},
    {TKodakMatch::Model, "DCS420", -4, 2, 0, 0, false, false, {1.327f, 0, 2.074f, 0}},
    {TKodakMatch::Model, "DCS460", -4, 2, 0, 0, false, false, {1.724f, 0, 2.411f, 0}},
    {TKodakMatch::Model, "DCS460A", -4, 2, 0, 0, true, false, {0, 0, 0, 0}},
    {TKodakMatch::Model, "DCS520C", 0, 0, 0, 720, false, false, {1.006f, 0, 1.858f, 0}},
    {TKodakMatch::Model, "DCS560C", 0, 0, 0, 750, false, false, {0, 1.053f, 1.703f, 0}},
    {TKodakMatch::Model, "DCS620C", 0, 0, 0, 720, false, false, {0, 1.002f, 1.818f, 0}},
    {TKodakMatch::Model, "DCS62$", 0, 0, 0, 740, false, true, {1.486f, 0, 1.28f, 0}},
    {TKodakMatch::Model, "DCS660C", 0, 0, 0, 855, false, false, {1.156f, 0, 1.626f, 0}},
    {TKodakMatch::Model, "DCS660M", 0, 0, 0, 855, true, false, {0, 0, 0, 0}},
    {TKodakMatch::Model, "DCS72$", 0, 0, 0, 0, false, true, {1.35f, 0, 1.18f, 0}},
    {TKodakMatch::Model, "DCS760C", 0, 0, 0, 0, false, false, {1.06f, 0, 1.72f, 0}},
    {TKodakMatch::Model, "DCS760M", 0, 0, 0, 0, true, false, {0, 0, 0, 0}},
    {TKodakMatch::Model, "ProBack", 0, 0, 0, 0, false, false, {1.06f, 0, 1.385f, 0}},
    {TKodakMatch::Model2Starts, "PB645C", 0, 0, 0, 0, false, false, {1.0497f, 0, 1.3306f, 0}},
    {TKodakMatch::Model2Starts, "PB645H", 0, 0, 0, 0, false, false, {1.201f, 0, 1.5061f, 0}},
    {TKodakMatch::Model2Starts, "PB645M", 0, 0, 0, 0, false, false, {1.01755f, 0, 1.5424f, 0}},
    {TKodakMatch::ModelNoCase, "DCS Pro 14n", 0, 0, 0, 0, false, false, {0, 1.0323f, 1.258f, 0}},
    {TKodakMatch::ModelNoCase, "DCS Pro 14nx", 0, 0, 0, 0, false, false, {1.336f, 0, 1.3155f, 0}},
    {TKodakMatch::ModelNoCase, "DCS Pro SLR/c", 0, 0, 0, 0, false, false, {1.425f, 0, 1.293f, 0}},
    {TKodakMatch::ModelNoCase, "DCS Pro SLR/n", 0, 0, 0, 0, false, false, {1.324f, 0, 1.483f, 0}},
};

bool KodakRuleMatches(const TKodakRule& k, const TRAWDecoderState& s) {
  switch (k.match) {
    case TKodakMatch::Model: return StrEq(s.model, k.name);
    case TKodakMatch::Model2Starts: return StartsWith(s.model2, k.name);
    case TKodakMatch::ModelNoCase: return StrEqNoCase(s.model, k.name);
  }
  return false;
}

// Kodak: model table, then the loader by compression, then the small
// point-and-shoot models. A compression the decoder does not know rejects
// the file by leaving it without a loader.
void HookKodak(TRAWDecoderState& s, const TRAWIdentContext& ctx) {
  s.filters = 0x61616161;
  for (const TKodakRule& k : kKodakRules) {
    if (!KodakRuleMatches(k, s)) continue;
    s.width += k.widthDelta;
    if (k.left) s.left_margin = k.left;
    if (k.curveLength) s.curve_length = k.curveLength;
    if (k.black) s.black = k.black;
    if (k.mono) {
      s.colors = 1;
      s.filters = 0;
    }
    if (k.cmy) s.use_cmy = 1;
    for (int c = 0; c < 4; ++c)
      if (k.mul[c] != 0) s.pre_mul[c] = k.mul[c];
    break;
  }
  switch (s.compression) {
    case 0:
    case 1:
      s.load_raw = kodak_easy_load_raw;
      break;
    case 7:
      s.load_raw = lossless_jpeg_load_raw;
      break;
    case 32867:
      break;
    case 65000:
      if (s.photometric == 32803) {
        s.load_raw = kodak_compressed_load_raw;
      } else {
        s.load_raw = kodak_yuv_load_raw;
        s.height += s.height & 1;
        s.width += s.width & 1;
        s.filters = 0;
      }
      break;
    default:
      // Unknown compression: rejected before the small models below can
      // pick a loader.
      s.load_raw = nullptr;
      return;
  }
  const bool small = ctx.fsize < 100000;
  if (StrEq(s.model, "DC20")) {
    s.height = 242;
    s.width = small ? 249 : 501;
    s.raw_width = small ? 256 : 512;
    s.data_offset = s.raw_width + 1;
    s.colors = 4;
    s.filters = 0x8d8d8d8d;
    kodak_dc20_coeff(s, 0.5f);
    s.pre_mul[1] = 1.179f;
    s.pre_mul[2] = 1.209f;
    s.pre_mul[3] = 1.036f;
    s.load_raw = kodak_easy_load_raw;
  } else if (Contains(s.model, "DC25")) {
    SetName(s.model, "DC25");
    s.height = 242;
    s.width = small ? 249 : 501;
    s.raw_width = small ? 256 : 512;
    s.data_offset = small ? 15681 : 15937;
    s.colors = 4;
    s.filters = 0xb4b4b4b4;
    s.load_raw = kodak_easy_load_raw;
  } else if (StrEq(s.model, "Digital Camera 40")) {
    SetName(s.model, "DC40");
    s.height = 512;
    s.width = 768;
    s.data_offset = 1152;
    s.load_raw = kodak_dc40_load_raw;
  } else if (Contains(s.model, "DC50")) {
    SetName(s.model, "DC50");
    s.height = 512;
    s.width = 768;
    s.data_offset = 19712;
    s.load_raw = kodak_dc40_load_raw;
  } else if (Contains(s.model, "DC120")) {
    SetName(s.model, "DC120");
    s.height = 976;
    s.width = 848;
    s.load_raw = s.compression == 7 ? kodak_jpeg_load_raw : kodak_dc120_load_raw;
  }
}

void HookRollei(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (s.raw_width == 1316) {
    s.height = 1030;
    s.width = 1300;
    s.top_margin = 1;
    s.left_margin = 6;
  } else if (s.raw_width == 2568) {
    s.height = 1960;
    s.width = 2560;
    s.top_margin = 2;
    s.left_margin = 8;
  }
}

void HookSigma(TRAWDecoderState& s, const TRAWIdentContext&) {
  if (s.raw_height == 763) {
    s.height = 756;
    s.top_margin = 2;
  } else if (s.raw_height == 1531) {
    s.height = 1514;
    s.top_margin = 7;
  }
  if (s.raw_width == 1152) {
    s.width = 1136;
    s.left_margin = 8;
  } else if (s.raw_width == 2304) {
    s.width = 2271;
    s.left_margin = 17;
  }
  s.filters = 0;
  s.is_foveon = 1;
  if (s.height * 2 < s.width) s.ymag = 2;
  s.pre_mul[0] = 1.179f;
  s.pre_mul[2] = 0.713f;
  if (StrEq(s.model, "SD10")) {
    s.pre_mul[0] *= 2.07f;
    s.pre_mul[2] *= 2.3f;
  }
  foveon_coeff(s);
}

using M = TRAWRuleMatch;
constexpr float kNoMul[4] = {0, 0, 0, 0};

}  // namespace

const TRAWSizeEntry kRAWSizeTable[16] = {
    {62464, "Kodak", "DC20"},
    {124928, "Kodak", "DC20"},
    {2465792, "NIKON", "E950"},
    {2940928, "NIKON", "E2100"},
    {4771840, "NIKON", "E990"},
    {5865472, "NIKON", "E4500"},
    {5869568, "NIKON", "E4300"},
    {787456, "Creative", "PC-CAM 600"},
    {1976352, "Casio", "QV-2000UX"},
    {3217760, "Casio", "QV-3*00EX"},
    {6218368, "Casio", "QV-5700"},
    {7684000, "Casio", "QV-4000"},
    {9313536, "Casio", "EX-P600"},
    {4841984, "Pentax", "Optio S"},
    {6114240, "Pentax", "Optio S4"},
    {12582980, "Sinar", ""},
};

const char* const kRAWMakers[7] = {"Canon", "NIKON", "Kodak", "PENTAX", "MINOLTA", "Minolta", "Konica"};

// clang-format off
// match, name, alt, raw width key, raw height, raw width, height, width, top,
// left, filters, colours, loader, multipliers r g b g2, black, maximum, data
// offset, hook.
const TRAWModelRule kRAWModelRules[65] = {
  /* 1*/ {M::Model, "PowerShot 600", nullptr, 0, 0, 0, 613, 854, 0, 0, 0xe1e4e1e4, 4, canon_600_load_raw, {1.137f, 1.257f, 0, 0}, 0, 0, 0, nullptr},
  /* 2*/ {M::Model, "PowerShot A5", "PowerShot A5 Zoom", 0, 0, 992, 776, 960, 0, 0, 0x1e4e1e4e, 4, canon_a5_load_raw, {1.5842f, 1.2966f, 1.0419f, 0}, 0, 0, 0, nullptr},
  /* 3*/ {M::Model, "PowerShot A50", nullptr, 0, 0, 1320, 968, 1290, 0, 0, 0x1b4e4b1e, 4, canon_a5_load_raw, {1.75f, 1.381f, 0, 1.182f}, 0, 0, 0, nullptr},
  /* 4*/ {M::Model, "PowerShot Pro70", nullptr, 0, 0, 0, 1024, 1552, 0, 0, 0x1e4b4e1b, 4, canon_a5_load_raw, {1.389f, 1.343f, 0, 1.034f}, 0, 0, 0, nullptr},
  /* 5*/ {M::Model, "PowerShot Pro90 IS", nullptr, 0, 0, 0, 0, 1896, 0, 0, 0xb4b4b4b4, 4, nullptr, {1.496f, 1.509f, 0, 1.009f}, 0, 0, 0, nullptr},
  /* 6*/ {M::CanonRawWidth, nullptr, nullptr, 2144, 0, 0, 1550, 2088, 8, 4, 0, 0, nullptr, {1.785f, 0, 1.266f, 0}, 0, 0, 0, HookCanon2144},
  /* 7*/ {M::CanonRawWidth, nullptr, nullptr, 2224, 0, 0, 1448, 2176, 6, 48, 0, 0, nullptr, {1.592f, 0, 1.261f, 0}, 0, 0, 0, nullptr},
  /* 8*/ {M::CanonRawWidth, nullptr, nullptr, 2376, 0, 0, 1720, 2312, 6, 12, 0, 0, nullptr, {1.855f, 0, 1.339f, 0}, 0, 0, 0, HookCanon2376},
  /* 9*/ {M::CanonRawWidth, nullptr, nullptr, 2672, 0, 0, 1960, 2616, 6, 12, 0, 0, nullptr, {1.895f, 0, 1.403f, 0}, 0, 0, 0, nullptr},
  /*10*/ {M::CanonRawWidth, nullptr, nullptr, 3152, 0, 0, 2056, 3088, 12, 64, 0, 0, nullptr, {2.242f, 0, 1.245f, 0}, 0, 16000, 0, HookCanon3152},
  /*11*/ {M::CanonRawWidth, nullptr, nullptr, 3160, 0, 0, 2328, 3112, 12, 44, 0, 0, nullptr, {1.85f, 0, 1.53f, 0}, 0, 0, 0, nullptr},
  /*12*/ {M::CanonRawWidth, nullptr, nullptr, 3344, 0, 0, 2472, 3288, 6, 4, 0, 0, nullptr, {1.621f, 0, 1.528f, 0}, 0, 0, 0, nullptr},
  /*13*/ {M::Model, "EOS-1D", nullptr, 0, 0, 0, 1662, 2496, 0, 0, 0, 0, nullptr, {1.976f, 0, 1.282f, 0}, 0, 0, 288912, nullptr},
  /*14*/ {M::Model, "EOS-1DS", nullptr, 0, 0, 0, 2718, 4082, 0, 0, 0, 0, nullptr, {1.66f, 0, 1.13f, 0}, 0, 14464, 289168, nullptr},
  /*15*/ {M::Model, "EOS-1D Mark II", "EOS 20D", 0, 2360, 3596, 2360 - 12, 3596 - 74, 12, 74, 0x94949494, 0, nullptr, {1.95f, 0, 1.36f, 0}, 0, 0, 0, nullptr},
  /*16*/ {M::Model, "EOS-1Ds Mark II", nullptr, 0, 3349, 5108, 3349 - 13, 5108 - 98, 13, 98, 0x94949494, 0, nullptr, {1.609f, 0, 1.848f, 0}, 0, 14848, 0, nullptr},
  /*17*/ {M::Model, "EOS D2000C", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, {0, 0, 1.25f, 0}, 800, 0, 0, nullptr},
  /*18*/ {M::Model, "D1", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, nullptr, {0.838f, 0, 1.095f, 0}, 0, 0, 0, nullptr},
  /*19*/ {M::Model, "D1H", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, nullptr, {2.301f, 0, 1.129f, 0}, 0, 0, 0, nullptr},
  /*20*/ {M::Model, "D1X", nullptr, 0, 0, 0, 0, 4024, 0, 0, 0x16161616, 0, nullptr, {1.91f, 0, 1.22f, 0}, 0, 0, 0, HookYmag2},
  /*21*/ {M::Model, "D100", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x61616161, 0, nullptr, {2.374f, 0, 1.677f, 0}, 0, 15632, 0, HookD100},
  /*22*/ {M::Model, "D2H", nullptr, 0, 0, 0, 0, 2482, 0, 6, 0x49494949, 0, nullptr, {2.8f, 0, 1.2f, 0}, 0, 0, 0, nullptr},
  /*23*/ {M::Model, "D70", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, nullptr, {2.043f, 0, 1.625f, 0}, 0, 0, 0, nullptr},
  /*24*/ {M::Model, "E950", nullptr, 0, 0, 0, 1203, 1616, 0, 0, 0x4b4b4b4b, 4, nikon_e950_load_raw, {1.18193f, 0, 1.16452f, 1.1725f}, 0, 0, 0, HookCoolpixCoeff},
  /*25*/ {M::Model, "E990", nullptr, 0, 0, 0, 1540, 2064, 0, 0, 0, 4, nullptr, {0, 0, 0, 0}, 0, 0, 0, HookE990},
  /*26*/ {M::Model, "E2100", nullptr, 0, 0, 0, 0, 1616, 0, 0, 0, 0, nullptr, {0, 0, 0, 0}, 0, 0, 0, HookE2100},
  /*27*/ {M::Model, "E4300", nullptr, 0, 0, 0, 1710, 2288, 0, 0, 0x16161616, 0, nullptr, {0, 0, 0, 0}, 0, 0, 0, HookE4300},
  /*28*/ {M::Model, "E4500", nullptr, 0, 0, 0, 1708, 2288, 0, 0, 0xb4b4b4b4, 4, nullptr, {1.3f, 1.3f, 0, 1.148f}, 0, 0, 0, nullptr},
  /*29*/ {M::Model, "E5000", "E5700", 0, 0, 0, 0, 0, 0, 0, 0xb4b4b4b4, 4, nullptr, {1.3f, 1.3f, 0, 1.148f}, 0, 0, 0, nullptr},
  /*30*/ {M::Model, "E5400", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, nullptr, {1.7f, 0, 1.344f, 0}, 0, 0, 0, nullptr},
  /*31*/ {M::Model, "E8700", "E8800", 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, nullptr, {2.131f, 0, 1.3f, 0}, 0, 0, 0, nullptr},
  /*32*/ {M::Model, "FinePixS2Pro", nullptr, 0, 0, 0, 3584, 3583, 0, 0, 0x61616161, 0, fuji_s2_load_raw, {1.424f, 0, 1.718f, 0}, 512, 0, 0, nullptr},
  /*33*/ {M::Model, "FinePix S5000", nullptr, 0, 0, 0, 2499, 2500, 0, 0, 0x49494949, 0, fuji_load_raw_common, {1.639f, 0, 1.438f, 0}, 0, 63488, 0, nullptr},
  /*34*/ {M::Model, "FinePix S7000", nullptr, 0, 0, 0, 3587, 3588, 0, 0, 0x49494949, 0, fuji_load_raw_common, {1.62f, 0, 1.38f, 0}, 0, 63488, 0, nullptr},
  /*35*/ {M::Model, "FinePix E550", nullptr, 0, 0, 0, 3587, 3588, 0, 0, 0x49494949, 0, fuji_load_raw_common, {1.45f, 0, 1.25f, 0}, 0, 63488, 0, nullptr},
  /*36*/ {M::Model, "FinePix F700", "FinePix S20Pro", 0, 0, 0, 2523, 2524, 0, 0, 0x49494949, 0, fuji_f700_load_raw, {1.639f, 0, 1.438f, 0}, 0, 15872, 0, nullptr},
  /*37*/ {M::Model, "Digital Camera KD-400Z", nullptr, 0, 0, 2336, 1712, 2312, 0, 0, 0, 0, unpacked_be10_low_load_raw, {1.42f, 0, 1.25f, 0}, 0, 15856, 4034, HookBalance2032},
  /*38*/ {M::Model, "Digital Camera KD-510Z", nullptr, 0, 0, 2624, 1956, 2607, 0, 0, 0x61616161, 0, unpacked_be10_low_load_raw, {1.42f, 0, 1.25f, 0}, 0, 15856, 4032, HookBalance2032},
  /*39*/ {M::MakeNoCase, "MINOLTA", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, unpacked_be12_low_load_raw, {1.42f, 0, 1.25f, 0}, 0, 15860, 0, HookMinolta},
  /*40*/ {M::Model, "*ist D", nullptr, 0, 0, 0, 2024, 3040, 0, 0, 0, 0, unpacked_be12_low_load_raw, {1.76f, 1.07f, 0, 0}, 0, 0, 65536, nullptr},
  /*41*/ {M::Model, "Optio S", nullptr, 0, 0, 3136, 1544, 2068, 0, 0, 0, 0, packed_12_load_raw, {1.506f, 0, 1.152f, 0}, 0, 0, 0, nullptr},
  /*42*/ {M::Model, "Optio S4", nullptr, 0, 0, 3520, 1737, 2324, 0, 0, 0, 0, packed_12_load_raw, {1.308f, 0, 1.275f, 0}, 0, 0, 0, nullptr},
  /*43*/ {M::Make, "Phase One", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, phase_one_load_raw, {0, 0, 0, 0}, 0, 65535, 0, HookPhaseOne},
  /*44*/ {M::Model, "Ixpress", nullptr, 0, 0, 0, 4084, 4080, 0, 0, 0x49494949, 0, ixpress_load_raw, {1.963f, 0, 1.43f, 0}, 0, 65535, 0, nullptr},
  /*45*/ {M::MakeSinar8BPS, "Sinar", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x61616161, 0, unpacked_be16_load_raw, {0, 0, 0, 0}, 0, 65535, 68, HookSinar},
  /*46*/ {M::Make, "Leaf", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, unpacked_be16_load_raw, {1.1629f, 0, 1.3556f, 0}, 0, 65535, 0, HookLeaf},
  /*47*/ {M::Model, "DIGILUX 2", "DMC-LC1", 0, 0, 0, 1928, 2568, 0, 0, 0, 0, unpacked_le12_high_load_raw, {1.883f, 0, 1.367f, 0}, 0, 0, 1024, nullptr},
  /*48*/ {M::Model, "E-1", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x61616161, 0, unpacked_le12_high_load_raw, {1.57f, 0, 1.48f, 0}, 0, 0, 0, nullptr},
  /*49*/ {M::Model, "E-10", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, unpacked_be12_high_load_raw, {1.43f, 0, 1.77f, 0}, 0, 0, 0, nullptr},
  /*50*/ {M::ModelStarts, "E-20", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, unpacked_be12_high_load_raw, {1.43f, 0, 1.77f, 0}, 640, 0, 0, nullptr},
  /*51*/ {M::Model, "C5050Z", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, olympus_load_raw, {1.533f, 0, 1.88f, 0}, 0, 0, 0, nullptr},
  /*52*/ {M::Model, "C5060WZ", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, olympus_load_raw, {2.285f, 0, 1.023f, 0}, 0, 0, 0, nullptr},
  /*53*/ {M::Model, "C8080WZ", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, olympus_load_raw, {2.335f, 0, 1.323f, 0}, 0, 0, 0, nullptr},
  /*54*/ {M::Model, "N DIGITAL", nullptr, 0, 0, 0, 2047, 3072, 0, 0, 0x61616161, 0, packed_12_load_raw, {1.366f, 0, 1.251f, 0}, 0, 0, 6656, nullptr},
  /*55*/ {M::Model, "DSC-F828", nullptr, 0, 0, 3360, 2460, 3288, 0, 5, 0xb4b4b4b4, 4, sony_load_raw, {1.512f, 1.02f, 1.405f, 0}, 0, 0, 0, HookSonyCoeff},
  /*56*/ {M::MakeNoCase, "KODAK", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr, {0, 0, 0, 0}, 0, 0, 0, HookKodak},
  /*57*/ {M::Make, "Rollei", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x16161616, 0, rollei_load_raw, {1.8f, 0, 1.3f, 0}, 0, 0, 0, HookRollei},
  /*58*/ {M::Make, "SIGMA", nullptr, 0, 0, 0, 0, 0, 0, 0, 0, 0, foveon_load_raw, {0, 0, 0, 0}, 0, 5600, 0, HookSigma},
  /*59*/ {M::Model, "PC-CAM 600", nullptr, 0, 0, 0, 768, 1024, 0, 0, 0x49494949, 0, eight_bit_load_raw, {1.14f, 0, 2.73f, 0}, 0, 0, 1024, nullptr},
  /*60*/ {M::Model, "QV-2000UX", nullptr, 0, 0, 0, 1208, 1632, 0, 0, 0, 0, eight_bit_load_raw, {0, 0, 0, 0}, 0, 0, 3264, nullptr},
  /*61*/ {M::Model, "QV-3*00EX", nullptr, 0, 0, 2080, 1546, 2070, 0, 0, 0, 0, eight_bit_load_raw, {0, 0, 0, 0}, 0, 0, 0, nullptr},
  /*62*/ {M::Model, "QV-4000", nullptr, 0, 0, 0, 1700, 2260, 0, 0, 0, 0, unpacked_be12_high_load_raw, {0, 0, 0, 0}, 0, 0, 0, nullptr},
  /*63*/ {M::Model, "QV-5700", nullptr, 0, 0, 0, 1924, 2576, 0, 0, 0, 0, casio_qv5700_load_raw, {0, 0, 0, 0}, 0, 0, 0, nullptr},
  /*64*/ {M::Model, "EX-P600", nullptr, 0, 0, 4288, 2142, 2844, 0, 0, 0, 0, packed_12_load_raw, {2.356f, 1.069f, 0, 0}, 0, 0, 0, nullptr},
  /*65*/ {M::Make, "Nucore", nullptr, 0, 0, 0, 0, 0, 0, 0, 0x61616161, 0, nucore_load_raw, {0, 0, 0, 0}, 0, 0, 0, nullptr},
};
// clang-format on

namespace {

bool RuleMatches(const TRAWModelRule& r, const TRAWDecoderState& s, const TRAWIdentContext& ctx) {
  switch (r.match) {
    case M::Model: return StrEq(s.model, r.name) || (r.alt && StrEq(s.model, r.alt));
    case M::ModelStarts: return StartsWith(s.model, r.name);
    case M::Make: return StrEq(s.make, r.name);
    case M::MakeNoCase: return StrEqNoCase(s.make, r.name);
    case M::CanonRawWidth: return s.is_canon && s.raw_width == r.rawWidthKey;
    case M::MakeSinar8BPS: return StrEq(s.make, r.name) && WindowAt(ctx, 0, "8BPS");
  }
  return false;
}

void ApplyRule(const TRAWModelRule& r, TRAWDecoderState& s, const TRAWIdentContext& ctx) {
  if (r.rawHeight) s.raw_height = r.rawHeight;
  if (r.rawWidth) s.raw_width = r.rawWidth;
  if (r.height) s.height = r.height;
  if (r.width) s.width = r.width;
  if (r.top) s.top_margin = r.top;
  if (r.left) s.left_margin = r.left;
  if (r.filters) s.filters = r.filters;
  if (r.colors) s.colors = r.colors;
  if (r.loader) s.load_raw = r.loader;
  for (int c = 0; c < 4; ++c)
    if (r.mul[c] != 0) s.pre_mul[c] = r.mul[c];
  if (r.black) s.black = r.black;
  if (r.maximum) s.maximum = r.maximum;
  if (r.dataOffset) s.data_offset = r.dataOffset;
  if (r.hook) r.hook(s, ctx);
}

// Magic numbers and header parsing; fills make, model and the raw layout.
void ReadHeaders(TRAWDecoderState& s, const TRAWIdentContext& ctx) {
  const Byte* w = ctx.window;
  const Int64 hlen = read_u32_at(s, 2);
  const Integer rawT = WindowFind(ctx, "MMMMRawT");
  if (rawT >= 0) {
    SetName(s.make, "Phase One");
    s.data_offset = rawT;
    stream_seek(s, rawT + 8);
    const Int64 v = read_u32(s);
    stream_seek(s, stream_position(s) + v + 136);
    s.raw_width = Integer(read_u32(s));
    stream_seek(s, stream_position(s) + 12);
    s.raw_height = Integer(read_u32(s));
  } else if (s.order == 0x4949 || s.order == 0x4D4D) {
    if (WindowAt(ctx, 6, "HEAPCCDR")) {
      s.data_offset = hlen;
      parse_ciff(s, hlen, ctx.fsize - hlen);
    } else {
      parse_tiff(s, 0);
      if (StartsWith(s.make, "NIKON") && s.raw_width == 0) s.make[0] = 0;
    }
  } else if (std::memcmp(w, "\0MRM", 4) == 0) {
    parse_tiff(s, 48);
    s.data_offset = Int64(read_u32_at(s, 4)) + 8;
    stream_seek(s, 24);
    s.raw_height = read_u16(s);
    s.raw_width = read_u16(s);
    stream_seek(s, 12);
    Int64 skip = read_u32(s);
    stream_seek(s, stream_position(s) + skip + 4);
    skip = read_u32(s);
    stream_seek(s, stream_position(s) + skip + 12);
    Word v[4];
    for (Word& x : v) x = read_u16(s);
    s.camera_red = Ratio(v[0], v[1]);
    s.camera_blue = Ratio(v[3], v[2]);
  } else if (w[0] == 0xFF && w[1] == 0xD8 && w[2] == 0xFF && w[3] == 0xE1 && WindowAt(ctx, 6, "Exif")) {
    const Int64 pos = Int64(read_u16_at(s, 4)) + 4;
    stream_seek(s, pos);
    if (read_byte(s) != 0xFF) parse_tiff(s, 12);
  } else if (WindowAt(ctx, 0, "BM") || WindowAt(ctx, 0, "BR")) {
    bool nucore = true;
    if (w[1] == 'M') {
      s.data_offset = 4096;
      s.order = 0x4949;
      nucore = read_u32_at(s, 38) == 2834 && read_u32_at(s, 42) == 2834;
      if (nucore) SetName(s.model, "BMQ");
    } else {
      SetName(s.model, "RAW");
    }
    if (nucore) {
      SetName(s.make, "Nucore");
      s.order = 0x4949;
      s.data_offset += read_u32_at(s, 10);
      read_u32(s);
      s.raw_width = Integer(read_u32(s));
      s.raw_height = Integer(read_u32(s));
      if (s.model[0] == 'B' && s.raw_width == 2597) {
        s.raw_width = 2598;
        s.data_offset -= 4096;
      }
    }
  } else if (WindowAt(ctx, 25, "ARECOYK")) {
    SetName(s.make, "CONTAX");
    SetName(s.model, "N DIGITAL");
  } else if (WindowAt(ctx, 0, "FUJIFILM")) {
    const Int64 base = Int64(read_u32_at(s, 84)) + 12;
    parse_tiff(s, base);
    s.order = 0x4D4D;
    s.data_offset = read_u32_at(s, 100);
  } else if (WindowAt(ctx, 0, "DSC-Image")) {
    parse_rollei(s);
  } else if (WindowAt(ctx, 0, "FOVb")) {
    parse_foveon(s);
  } else {
    for (const TRAWSizeEntry& e : kRAWSizeTable)
      if (ctx.fsize == e.fsize) {
        SetName(s.make, e.make);
        SetName(s.model, e.model);
      }
  }
}

// Makes the maker name one of the known spellings and trims the model.
void NormaliseNames(TRAWDecoderState& s) {
  for (const char* maker : kRAWMakers)
    if (Contains(s.make, maker)) {
      SetName(s.make, maker);
      break;
    }
  if (StartsWith(s.make, "KODAK")) {
    s.make[16] = 0;
    s.model[16] = 0;
  }
  TrimRight(s.make);
  TrimRight(s.model);
  const std::size_t n = std::strlen(s.make);
  if (n > 0 && std::strncmp(s.model, s.make, n) == 0) {
    const std::size_t cut = std::min(n + 1, std::strlen(s.model));
    char rest[64];
    SetName(rest, s.model + cut);
    SetName(s.model, rest);
  }
}

// Sizes a decode can work with. Header values can be anything: no sensor
// is larger than 65535 cells a side, demosaicing drops a one-cell border of
// a colour-filter sensor (fewer than three cells a side would leave no
// picture), and the loaders that store the rows in two interlaced fields
// divide by half the height.
bool PlausibleSize(const TRAWDecoderState& s) {
  constexpr Integer kMax = 65535;
  if (s.height <= 0 || s.width <= 0 || s.height > kMax || s.width > kMax) return false;
  if (s.filters && (s.height < 3 || s.width < 3)) return false;
  if (s.raw_height < 0 || s.raw_width < 0 || s.raw_height > kMax || s.raw_width > kMax) return false;
  const bool interlaced = s.load_raw == olympus_load_raw || (s.load_raw == nikon_load_raw && s.model[0] == 'E');
  return !interlaced || s.height >= 2;
}

// Adds the fourth colour to a three-colour pattern: green cells of the odd
// groups become colour 3.
void MakeFourColor(TRAWDecoderState& s) {
  Cardinal f = s.filters;
  for (int shift = 0; shift < 32; shift += 4) {
    const Cardinal g = (f >> shift) & 15;
    if (g == 9) f |= Cardinal(2) << shift;
    if (g == 6) f |= Cardinal(8) << shift;
  }
  s.filters = f;
  s.colors = 4;
  s.pre_mul[3] = s.pre_mul[1];
  if (s.use_coeff)
    for (auto& row : s.coeff) row[3] = row[1] /= 2;
}

}  // namespace

Integer identify_apply_rules(TRAWDecoderState& s, const TRAWIdentContext& ctx) {
  s.make[sizeof(s.make) - 1] = 0;
  s.model[sizeof(s.model) - 1] = 0;
  s.model2[sizeof(s.model2) - 1] = 0;
  NormaliseNames(s);
  if (s.make[0] == 0) return 1;

  s.load_raw = nullptr;
  s.height = s.raw_height;
  s.width = s.raw_width;
  s.top_margin = s.left_margin = 0;
  s.colors = 3;
  s.filters = 0x94949494;
  s.black = 0;
  s.use_cmy = s.is_foveon = s.use_coeff = 0;
  for (float& m : s.pre_mul) m = 1;
  s.xmag = s.ymag = 1;
  s.maximum = 0x4000;
  s.is_canon = StrEq(s.make, "Canon");

  if (s.is_canon) {
    if (!WindowAt(ctx, 6, "HEAPCCDR")) {
      s.filters = 0x61616161;
      s.load_raw = lossless_jpeg_load_raw;
    } else if (s.raw_width) {
      s.load_raw = canon_compressed_load_raw;
    }
  } else if (StrEq(s.make, "NIKON")) {
    s.load_raw = nikon_is_compressed(s) ? nikon_compressed_load_raw : nikon_load_raw;
  }

  for (const TRAWModelRule& r : kRAWModelRules)
    if (RuleMatches(r, s, ctx)) {
      ApplyRule(r, s, ctx);
      break;
    }

  if (!s.load_raw || !PlausibleSize(s)) return 1;
  if (s.raw_height == 0) s.raw_height = s.height;
  if (s.raw_width == 0) s.raw_width = s.width;
  if (s.colors == 4 && !s.use_coeff) cmyg_coeff_from_table(s);
  if (s.use_coeff)
    for (int c = 0; c < 4; ++c) {
      s.coeff[0][c] *= s.red_scale;
      s.coeff[2][c] *= s.blue_scale;
    }
  if (s.four_color_rgb && s.filters && s.colors == 3) MakeFourColor(s);
  stream_seek(s, s.data_offset);
  return 0;
}

Integer identify_camera(TRAWDecoderState& s) {
  s.raw_height = s.raw_width = s.flip = 0;
  s.make[0] = s.model[0] = s.model2[0] = 0;
  std::memset(s.white, 0, sizeof(s.white));
  s.camera_red = s.camera_blue = 0;
  s.timestamp = 0;
  s.data_offset = s.curve_offset = s.compression = 0;
  s.zero_after_ff = 0;

  TRAWIdentContext ctx;
  ctx.fsize = stream_size(s);
  stream_seek(s, 0);
  s.order = read_u16(s);
  stream_seek(s, 0);
  for (Byte& b : ctx.window) b = read_byte(s);
  ReadHeaders(s, ctx);
  return identify_apply_rules(s, ctx);
}
