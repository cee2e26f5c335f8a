// Helpers of the raster codec tests: a progress record with its abort flag,
// pictures made in code, RGBA views of our bitmaps and of what peer tools
// decode from the same file.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <string>
#include <vector>

#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "core/lkmask.h"
#include "platform/classes.h"

namespace codeckit {

using filekit::Bytes;

struct Progress {
  std::atomic<bool> abort{false};
  TProgressRec rec;
  std::vector<Integer> reports;
  Progress() {
    rec.AbortFlag = &abort;
    rec.OnProgress = [this](TObject*, Integer p) { reports.push_back(p); };
  }
  bool Aborted() const { return abort.load(); }
};

/// A memory stream holding Data, positioned at 0.
inline std::unique_ptr<TMemoryStream> StreamOf(const Bytes& Data) {
  auto ms = std::make_unique<TMemoryStream>();
  if (!Data.empty()) ms->Write(Data.data(), Integer(Data.size()));
  ms->SetPosition(0);
  return ms;
}

inline Bytes BytesOf(TMemoryStream& M) {
  const Byte* p = static_cast<const Byte*>(M.Memory());
  return Bytes(p, p + M.Size());
}

/// A picture of Colours distinct colours (0: a smooth gradient), every pixel
/// different from its neighbours where possible.
inline void MakePicture(TLKBitmap& B, Integer W, Integer H, Integer Colours = 0) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<TRGB*>(B.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      if (Colours > 0) {
        const Integer k = (x / 3 + y * 5) % Colours;
        row[x] = TRGB{Byte(k * 37 % 256), Byte(k * 91 % 256), Byte(255 - k * 53 % 256)};
      } else {
        row[x] = TRGB{Byte(x * 255 / std::max(1, W - 1)), Byte(y * 255 / std::max(1, H - 1)), Byte((x * 7 + y * 13) & 255)};
      }
    }
  }
}

/// Our bitmap as RGBA bytes (alpha from the alpha channel or Mask, else 255).
inline Bytes RGBAOf(TLKBitmap& B, TLKMask* Mask = nullptr) {
  const Integer w = B.GetWidth(), h = B.GetHeight();
  Bytes out(size_t(w) * size_t(h) * 4);
  TLKBitmap* a = B.GetHasAlphaChannel() ? B.GetAlphaChannel() : nullptr;
  for (Integer y = 0; y < h; ++y)
    for (Integer x = 0; x < w; ++x) {
      const TRGB c = B.GetPixels(x, y);
      Byte* o = &out[(size_t(y) * w + x) * 4];
      o[0] = c.r, o[1] = c.g, o[2] = c.b;
      o[3] = Mask ? Byte(Mask->GetPixel(x, y)) : a ? a->GetPixels_lk8(x, y) : 255;
    }
  return out;
}

/// What convert decodes from File (frame Frame) as RGBA bytes; empty when
/// it fails. Convert names the program ("/usr/bin/convert": ImageMagick's
/// own, not a stand-in found first on the path).
inline Bytes PeerRGBA(const std::string& File, Integer& W, Integer& H, const std::string& Frame = "0",
                      const std::string& Convert = "convert") {
  const std::string out = File + ".peer.rgba";
  const std::string src = "'" + File + "[" + Frame + "]'";
  std::string size;
  FILE* p = popen((Convert + " " + src + " -format '%w %h' info: 2>/dev/null").c_str(), "r");
  if (!p) return {};
  char buf[64] = {};
  const size_t n = fread(buf, 1, sizeof buf - 1, p);
  pclose(p);
  if (n == 0 || std::sscanf(buf, "%d %d", &W, &H) != 2) return {};
  if (!filekit::RunTool(Convert + " " + src + " -depth 8 RGBA:'" + out + "'")) return {};
  Bytes b = filekit::LoadFile(out);
  std::remove(out.c_str());
  return b;
}

/// Runs a shell command line quietly (its own redirections kept); true when
/// it succeeded.
inline bool Run(const std::string& Cmd) { return filekit::RunTool("(" + Cmd + ")"); }

/// Parses a binary PNM (P4, P5 or P6; samples scaled to 8 bits, 16-bit ones
/// at maximum 65535 by their high byte) into RGBA bytes with alpha 255; empty when it is not one.
inline Bytes ParsePNM(const Bytes& D, Integer& W, Integer& H) {
  size_t i = 0;
  auto token = [&]() -> long {
    while (i < D.size() && (std::isspace(D[i]) || D[i] == '#')) {
      if (D[i] == '#')
        while (i < D.size() && D[i] != '\n') ++i;
      else
        ++i;
    }
    long v = 0;
    while (i < D.size() && std::isdigit(D[i])) v = v * 10 + (D[i++] - '0');
    return v;
  };
  if (D.size() < 2 || D[0] != 'P' || D[1] < '4' || D[1] > '6') return {};
  const int ch = D[1] == '6' ? 3 : 1;
  i = 2;
  W = Integer(token());
  H = Integer(token());
  if (D[1] == '4') {
    ++i;
    Bytes out(size_t(W) * H * 4, 255);
    const size_t row = size_t(W + 7) / 8;
    for (size_t y = 0; y < size_t(H); ++y)
      for (size_t x = 0; x < size_t(W); ++x) {
        const size_t at = i + y * row + x / 8;
        const bool black = at < D.size() && (D[at] >> (7 - (x & 7))) & 1;
        for (int k = 0; k < 3; ++k) out[(y * W + x) * 4 + k] = black ? 0 : 255;
      }
    return out;
  }
  const long max = token();
  ++i;
  const size_t bytes = max > 255 ? 2 : 1;
  Bytes out(size_t(W) * H * 4, 255);
  for (size_t p = 0; p < size_t(W) * H; ++p)
    for (int k = 0; k < 3; ++k) {
      const size_t at = i + (p * ch + (ch == 3 ? k : 0)) * bytes;
      if (at >= D.size()) continue;
      const long v = bytes == 2 ? (D[at] << 8) | (at + 1 < D.size() ? D[at + 1] : 0) : D[at];
      out[p * 4 + k] = Byte(max == 255 ? v : max == 65535 ? v >> 8 : std::min(v, max) * 255 / max);
    }
  return out;
}

/// What a netpbm converter (Cmd followed by the file) decodes, as RGBA;
/// AlphaCmd (may be empty) gives the alpha as a grey map.
inline Bytes PeerPNM(const std::string& Cmd, const std::string& AlphaCmd, const std::string& File, Integer& W,
                     Integer& H) {
  const std::string out = File + ".peer.pnm";
  if (!Run(Cmd + " '" + File + "' > '" + out + "'")) return {};
  Bytes rgba = ParsePNM(filekit::LoadFile(out), W, H);
  if (!AlphaCmd.empty() && Run(AlphaCmd + " '" + File + "' > '" + out + "'")) {
    Integer w = 0, h = 0;
    const Bytes a = ParsePNM(filekit::LoadFile(out), w, h);
    if (a.size() == rgba.size())
      for (size_t p = 3; p < rgba.size(); p += 4) rgba[p] = a[p - 3];
  }
  std::remove(out.c_str());
  return rgba;
}

/// Number of pixels whose colour differs by more than Tol in a channel;
/// pixels that are fully transparent in both are not compared, and alpha
/// only when CompareAlpha.
inline Integer Differences(const Bytes& A, const Bytes& B, Integer Tol, bool CompareAlpha) {
  if (A.size() != B.size()) return -1;
  Integer bad = 0;
  for (size_t i = 0; i < A.size(); i += 4) {
    if (A[i + 3] == 0 && B[i + 3] == 0) continue;
    bool diff = false;
    for (int k = 0; k < 3; ++k) diff |= std::abs(A[i + k] - B[i + k]) > Tol;
    if (CompareAlpha) diff |= std::abs(A[i + 3] - B[i + 3]) > Tol;
    bad += diff;
  }
  return bad;
}

}  // namespace codeckit
