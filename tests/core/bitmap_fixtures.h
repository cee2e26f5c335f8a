// Helpers shared by the image-buffer tests: a private temporary folder, the
// storage thresholds that send pictures to memory or to files, the list of
// pixel formats, and raw access to single pixels.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkioglobals.h"
#include "platform/graphics.h"
#include "processing/lkprocutils.h"

namespace bitmap_test {

/// A private temporary folder, set as DefTEMPPATH for the lifetime of the
/// object; the old path is restored and the folder removed afterwards.
class TempFolder {
 public:
  TempFolder() : saved_(DefTEMPPATH) {
    std::string pattern = ::testing::TempDir() + "lktest-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    path_ = std::string(::mkdtemp(buf.data())) + "/";
    DefTEMPPATH = path_;
  }
  ~TempFolder() {
    DefTEMPPATH = saved_;
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  /// The folder, with a trailing '/'.
  const std::string& path() const { return path_; }
  /// Number of entries in the folder.
  size_t FileCount() const {
    namespace fs = std::filesystem;
    return static_cast<size_t>(std::distance(fs::directory_iterator(path_), fs::directory_iterator()));
  }

 private:
  std::string path_, saved_;
};

/// Sets LKDefMinFileSize for the lifetime of the guard, so that new bitmaps
/// go to memory or to a temporary file.
class MinFileSizeGuard {
 public:
  explicit MinFileSizeGuard(Integer v) : saved_(LKDefMinFileSize) { LKDefMinFileSize = v; }
  ~MinFileSizeGuard() { LKDefMinFileSize = saved_; }
  MinFileSizeGuard(const MinFileSizeGuard&) = delete;
  MinFileSizeGuard& operator=(const MinFileSizeGuard&) = delete;

 private:
  Integer saved_;
};

/// Base of tests run once per LKDefMinFileSize given as the parameter
/// (1 << 30: every picture in memory, 1: in temporary files); the old value
/// is restored after each test.
class MinFileSizeTest : public ::testing::TestWithParam<Integer> {
 protected:
  void SetUp() override { guard_ = std::make_unique<MinFileSizeGuard>(GetParam()); }
  void TearDown() override { guard_.reset(); }

 private:
  std::unique_ptr<MinFileSizeGuard> guard_;
};

/// Sets LKDefMinFileSize and a private DefTEMPPATH for one test and restores
/// both afterwards.
class StorageSettings {
 public:
  explicit StorageSettings(Integer minFileSize) : minFileSize_(minFileSize) {}

  /// The private temporary folder, with a trailing '/'.
  const std::string& path() const { return folder_.path(); }
  /// Number of entries (temporary files) in the private folder.
  size_t FileCount() const { return folder_.FileCount(); }

 private:
  TempFolder folder_;
  MinFileSizeGuard minFileSize_;
};

/// Thresholds that send every picture of these tests to memory or to a file.
inline constexpr Integer kAllInMemory = 1 << 30;
inline constexpr Integer kAllInFiles = 1;

/// Every pixel format a buffer can hold.
inline constexpr TLKPixelFormat kFormats[] = {lk1g,  lk8p,   lk8g,    lk16g,   lk24RGB,
                                              lk32f, lkCMYK, lk48RGB, lkCIELab};

using Bytes = std::vector<Byte>;

/// Writes the raw bytes of pixel x of row y; lk1g takes one byte, 0 or not.
inline void PutPixel(TLKBitmap& bmp, Integer x, Integer y, const Bytes& v) {
  Byte* row = static_cast<Byte*>(bmp.GetScanLine(y));
  if (bmp.GetPixelFormat() == lk1g) {
    if (v[0])
      row[x >> 3] |= lkbitmask1[x & 7];
    else
      row[x >> 3] &= static_cast<Byte>(~lkbitmask1[x & 7]);
    return;
  }
  std::memcpy(row + static_cast<size_t>(x) * v.size(), v.data(), v.size());
}

/// The raw bytes of pixel x of row y; lk1g gives one byte, 0 or 1.
inline Bytes GetPixel(TLKBitmap& bmp, Integer x, Integer y) {
  const Byte* row = static_cast<const Byte*>(bmp.GetScanLine(y));
  if (bmp.GetPixelFormat() == lk1g) return Bytes{static_cast<Byte>((row[x >> 3] & lkbitmask1[x & 7]) ? 1 : 0)};
  const size_t n = static_cast<size_t>(bmp.GetBitCount() / 8);
  return Bytes(row + x * n, row + (x + 1) * n);
}

/// An 8-bit colour from three channel values.
inline TRGB Rgb(int r, int g, int b) {
  return CreateRGB(static_cast<Byte>(r), static_cast<Byte>(g), static_cast<Byte>(b));
}

}  // namespace bitmap_test
