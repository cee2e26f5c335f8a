// TIFF page operations: delete, extract and insert pages by copying raw
// directories, checked by reading the pages back and by tiffinfo's page
// count; EXIF directories travel with their page; bad streams are left
// alone.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <string>
#include <vector>

#include "codecs/tiff/tiffilt.h"
#include "codecs/tiff/tiffpages.h"
#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"

using filekit::Bytes;

namespace {

Bytes Contents(TMemoryStream& S) {
  const Byte* p = static_cast<const Byte*>(S.GetMemory());
  return Bytes(p, p + S.GetSize());
}

void Fill(TMemoryStream& S, const Bytes& B) {
  S.SetSize(0);
  S.SetPosition(0);
  if (!B.empty()) S.Write(B.data(), static_cast<Integer>(B.size()));
  S.SetPosition(0);
}

// A file of pages in flat shades, each with a different coding; the
// second also carries EXIF data.
Bytes Pages(std::initializer_list<Byte> Shades) {
  TMemoryStream s;
  Integer i = 0;
  for (Byte shade : Shades) {
    TLKBitmap b;
    b.Allocate(30, 20, lk24RGB);
    b.Fill(shade);
    TIOParamsVals p(nullptr);
    p.TIFF_IMAGEINDEX = i;
    p.TIFF_COMPRESSION = i % 2 ? ioTIFF_LZW : ioTIFF_PACKBITS;
    p.TIFF_IMAGEDESCRIPTION = "page " + std::to_string(i) + " of the test file";
    if (i == 1) {
      p.EXIF_HASEXIF = true;
      p.EXIF_EXPOSURETIME = 0.004;
      p.EXIF_MAKE = "Shade Maker";
    }
    std::atomic<bool> abort{false};
    TProgressRec pr;
    pr.AbortFlag = &abort;
    s.SetPosition(i == 0 ? 0 : s.GetSize());
    TIFFWriteStream(&s, i > 0, &b, p, pr);
    EXPECT_FALSE(abort.load());
    ++i;
  }
  return Contents(s);
}

// The shade of every page, in order.
std::vector<int> Shades(const Bytes& File, TIOParamsVals* Page1 = nullptr) {
  std::vector<int> out;
  for (Integer i = 0;; ++i) {
    TMemoryStream s;
    Fill(s, File);
    TIOParamsVals p(nullptr);
    p.TIFF_IMAGEINDEX = i;
    TLKBitmap b;
    std::atomic<bool> abort{false};
    TProgressRec pr;
    pr.AbortFlag = &abort;
    Integer pages = 0;
    TIFFReadStream(&b, &s, pages, &p, pr, false, nullptr, false, true, false);
    if (i >= pages) break;
    if (abort.load() || b.IsEmpty()) {
      out.push_back(-1);
      continue;
    }
    if (i == 1 && Page1) Page1->Assign(&p);
    out.push_back(b.GetPixels(5, 5).r);
  }
  return out;
}

Integer PeerPages(const Bytes& File) {
  if (!filekit::HaveTool("tiffinfo")) return -2;
  filekit::TempDir dir("tiffops");
  filekit::SaveFile(dir / "f.tif", File);
  if (std::system(("tiffinfo -D '" + (dir / "f.tif") + "' > '" + (dir / "out") + "' 2>/dev/null").c_str()) != 0)
    return -1;
  const Bytes text = filekit::LoadFile(dir / "out");
  const std::string s(text.begin(), text.end());
  Integer n = 0;
  for (size_t at = s.find("=== TIFF directory"); at != std::string::npos; at = s.find("=== TIFF directory", at + 1)) ++n;
  return n;
}

void ExpectPeerPages(const Bytes& File, Integer Expected) {
  const Integer n = PeerPages(File);
  if (n != -2) {
    EXPECT_EQ(n, Expected);
  }
}

TEST(TiffPages, DeleteKeepsTheOtherPagesWithTheirData) {
  const Bytes file = Pages({10, 20, 30, 40});
  ASSERT_EQ(Shades(file), (std::vector<int>{10, 20, 30, 40}));
  TMemoryStream s;
  Fill(s, file);
  const Integer drop[] = {0, 2};
  EXPECT_EQ(_DeleteTIFFImStreamGroup(&s, drop, 2), 2);
  const Bytes after = Contents(s);
  TIOParamsVals page1(nullptr);
  EXPECT_EQ(Shades(after, &page1), (std::vector<int>{20, 40}));
  ExpectPeerPages(after, 2);
  Fill(s, after);
  EXPECT_EQ(_DeleteTIFFImStream(&s, 1), 1);
  EXPECT_EQ(Shades(Contents(s)), (std::vector<int>{20}));
}

TEST(TiffPages, ExtractKeepsByteOrderAndMetadata) {
  Bytes file = Pages({10, 20, 30});
  filekit::TempDir dir("tiffext");
  bool bigEndian = false;
  if (filekit::HaveTool("tiffcp")) {
    filekit::SaveFile(dir / "le.tif", file);
    ASSERT_TRUE(filekit::RunTool("tiffcp -B '" + (dir / "le.tif") + "' '" + (dir / "be.tif") + "'"));
    file = filekit::LoadFile(dir / "be.tif");
    bigEndian = true;
  }
  TMemoryStream in, out;
  Fill(in, file);
  ASSERT_TRUE(_ExtractTIFFImStream(&in, 1, &out));
  const Bytes page = Contents(out);
  ASSERT_GE(page.size(), 8u);
  EXPECT_EQ(page[0], bigEndian ? 'M' : 'I');
  EXPECT_EQ(Shades(page), (std::vector<int>{20}));
  ExpectPeerPages(page, 1);
  // The EXIF directory of our own page came along (tiffcp drops it).
  if (!bigEndian) {
    TMemoryStream s;
    Fill(s, page);
    TIOParamsVals p(nullptr);
    std::atomic<bool> abort{false};
    TProgressRec pr;
    pr.AbortFlag = &abort;
    Integer pages = 0;
    TIFFReadStream(nullptr, &s, pages, &p, pr, true, nullptr, false, true, false);
    EXPECT_EQ(p.EXIF_MAKE, "Shade Maker");
    EXPECT_NEAR(p.EXIF_EXPOSURETIME, 0.004, 1e-9);
  }
  TMemoryStream none;
  EXPECT_FALSE(_ExtractTIFFImStream(&in, 7, &none));
}

TEST(TiffPages, InsertPlacesEveryPageAtTheIndex) {
  const Bytes three = Pages({10, 20, 30}), two = Pages({70, 80});
  const std::pair<Integer, std::vector<int>> cases[] = {
      {0, {70, 80, 10, 20, 30}}, {2, {10, 20, 70, 80, 30}}, {3, {10, 20, 30, 70, 80}}, {9, {10, 20, 30}}};
  for (const auto& [index, expected] : cases) {
    SCOPED_TRACE(index);
    TMemoryStream a, b, out;
    Fill(a, three);
    Fill(b, two);
    EXPECT_GT(_InsertTIFFImStream(&a, &b, index, &out), 0);
    EXPECT_EQ(Shades(Contents(out)), expected);
    ExpectPeerPages(Contents(out), static_cast<Integer>(expected.size()));
  }
}

TEST(TiffPages, BadStreamsAreLeftAlone) {
  const Bytes junk = {'X', 'Y', 0, 42, 8, 0, 0, 0, 1, 2, 3};
  TMemoryStream s, other, out;
  Fill(s, junk);
  const Integer one = 0;
  EXPECT_EQ(_DeleteTIFFImStreamGroup(&s, &one, 1), 0);
  EXPECT_EQ(Contents(s), junk);
  EXPECT_FALSE(_ExtractTIFFImStream(&s, 0, &out));
  EXPECT_EQ(out.GetSize(), 0);
  Fill(other, Pages({1}));
  EXPECT_EQ(_InsertTIFFImStream(&s, &other, 0, &out), -1);
  EXPECT_EQ(out.GetSize(), 0);
  // A chain that loops back to its first page ends after one round.
  Bytes loop = Pages({5, 6});
  TMemoryStream l;
  Fill(l, loop);
  Integer count = _EnumTIFFImStream(&l);
  EXPECT_EQ(count, 2);
}

}  // namespace
