// The graphic classes over the I/O component: form-file round trips for
// every format with a writer, the picture object's table after
// LKRegisterFormats, copies from class-library bitmaps, the clipboard form
// and refused files.
#include "io/lkgraphicbase.h"

#include <gtest/gtest.h>

#include <cstring>
#include <typeindex>

#include "io/io_kit.h"
#include "platform/clipboard.h"

namespace {

/// A w x h 24-bit picture whose pixels tell their position.
void Paint(TLKBitmap* B, Integer W, Integer H) {
  B->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      row[3 * x] = Byte(x * 20);
      row[3 * x + 1] = Byte(y * 30);
      row[3 * x + 2] = Byte(100 + x + y);
    }
  }
}

int MaxDifference(TLKBitmap* A, TLKBitmap* B) {
  int worst = 0;
  for (Integer y = 0; y < A->GetHeight(); ++y) {
    auto* a = static_cast<Byte*>(A->GetScanLine(y));
    std::vector<Byte> rowA(a, a + 3 * A->GetWidth());
    auto* b = static_cast<Byte*>(B->GetScanLine(y));
    for (Integer i = 0; i < 3 * A->GetWidth(); ++i) worst = std::max(worst, std::abs(int(rowA[i]) - int(b[i])));
  }
  return worst;
}

struct RoundTripCase {
  const char* Name;
  std::function<std::unique_ptr<TLKGraphicBase>()> Make;
  Integer FileType;
  int Tolerance;  // lossy formats
};

}  // namespace

TEST(LKGraphicBaseTest, FormFileRoundTripOfEveryWritableFormat) {
  const RoundTripCase cases[] = {
      {"TIFF", [] { return std::make_unique<TLKTIFFImage>(); }, 1, 0},
      {"JPEG", [] { return std::make_unique<TLKJpegImage>(); }, 3, 40},
      {"PCX", [] { return std::make_unique<TLKPCXImage>(); }, 4, 0},
      {"BMP", [] { return std::make_unique<TLKBMPImage>(); }, 5, 0},
      {"PNG", [] { return std::make_unique<TLKPNGImage>(); }, 8, 0},
      {"TGA", [] { return std::make_unique<TLKTGAImage>(); }, 11, 0},
      {"PXM", [] { return std::make_unique<TLKPXMImage>(); }, 12, 0},
      {"PSD", [] { return std::make_unique<TLKPSDImage>(); }, 24, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    auto g = c.Make();
    EXPECT_EQ(g->GetFileType(), c.FileType);
    Paint(g->GetLKBitmap(), 7, 5);
    TMemoryStream form;
    g->WriteData(&form);
    // The count ahead of the picture is the picture's byte count.
    form.SetPosition(0);
    Byte le[4];
    form.ReadBuffer(le, 4);
    EXPECT_EQ(Int64(le[0] | le[1] << 8 | le[2] << 16 | le[3] << 24), form.GetSize() - 4);
    form.SetPosition(0);
    auto back = c.Make();
    back->ReadData(&form);
    ASSERT_EQ(back->GetWidth(), 7);
    ASSERT_EQ(back->GetHeight(), 5);
    TLKBitmap copy;
    copy.Assign(back->GetLKBitmap());
    if (copy.GetPixelFormat() != lk24RGB) copy.SetPixelFormat(lk24RGB);
    EXPECT_LE(MaxDifference(g->GetLKBitmap(), &copy), c.Tolerance);
  }
}

TEST(LKGraphicBaseTest, NewGraphicIsNeverEmptyAndReadDataSkipsAZeroCount) {
  TLKJpegImage g;
  EXPECT_FALSE(g.GetEmpty());
  EXPECT_EQ(g.GetWidth(), 0);
  TLKGraphicBase base;
  EXPECT_EQ(base.GetFileType(), 0);
  const Byte zero[4] = {0, 0, 0, 0};
  TMemoryStream s;
  s.WriteBuffer(zero, 4);
  s.SetPosition(0);
  g.ReadData(&s);
  EXPECT_EQ(g.GetWidth(), 0);
}

TEST(LKGraphicBaseTest, RefusedFileRaisesAndKeepsThePicture) {
  TLKPNGImage g;
  Paint(g.GetLKBitmap(), 4, 3);
  int changes = 0;
  g.OnChange = [&](TObject*) { ++changes; };
  TMemoryStream junk;
  const char text[] = "this is not a PNG file at all";
  junk.WriteBuffer(text, sizeof text);
  junk.SetPosition(0);
  EXPECT_THROW(g.LoadFromStream(&junk), EInvalidGraphic);
  EXPECT_EQ(g.GetWidth(), 4);
  EXPECT_EQ(g.GetHeight(), 3);
  EXPECT_EQ(changes, 0);
  // The I/O component still works on the graphic's own picture afterwards.
  TMemoryStream out;
  g.SaveToStream(&out);
  out.SetPosition(0);
  TLKPNGImage back;
  back.LoadFromStream(&out);
  EXPECT_EQ(back.GetWidth(), 4);
}

TEST(LKGraphicBaseTest, AssignFromBitmapsAndGraphics) {
  TBitmap deep(6, 2, pf32bit);
  TLKTGAImage g;
  g.Assign(&deep);
  // The class library's bitmap itself is converted first.
  EXPECT_EQ(deep.GetPixelFormat(), pf24bit);
  EXPECT_EQ(g.GetWidth(), 6);
  EXPECT_EQ(g.GetLKBitmap()->GetPixelFormat(), lk24RGB);

  TBitmap mono(9, 3, pf1bit);
  g.Assign(&mono);
  EXPECT_EQ(mono.GetPixelFormat(), pf1bit);
  EXPECT_EQ(g.GetWidth(), 9);

  TLKPNGImage other;
  other.Assign(&g);
  EXPECT_EQ(other.GetWidth(), 9);
  EXPECT_EQ(other.GetHeight(), 3);
  EXPECT_THROW(other.Assign(nullptr), EConvertError);
  TPicture pic;
  EXPECT_THROW(other.Assign(&pic), EConvertError);
}

TEST(LKGraphicBaseTest, ClipboardFormIsAPackedDIB) {
  TLKJpegImage g;
  Paint(g.GetLKBitmap(), 5, 4);
  Word format = 0;
  std::vector<Byte> dib;
  g.SaveToClipboardFormat(format, dib);
  EXPECT_EQ(format, CF_DIB);
  ASSERT_GE(dib.size(), 40u);

  TLKPNGImage other;
  other.LoadFromClipboardFormat(CF_BITMAP, dib);
  EXPECT_EQ(other.GetWidth(), 0);
  other.LoadFromClipboardFormat(CF_DIB, dib);
  EXPECT_EQ(other.GetWidth(), 5);
  EXPECT_EQ(other.GetHeight(), 4);
  EXPECT_EQ(MaxDifference(g.GetLKBitmap(), other.GetLKBitmap()), 0);
}

TEST(LKGraphicBaseTest, RegisteredExtensionsReachThePictureObject) {
  const size_t before = TPicture::FileFormats().size();
  LKRegisterFormats();
  EXPECT_EQ(TPicture::FileFormats().size(), before + 28);
  iokit::TempDir dir;
  // A TGA and a PBM written by the graphic classes load back through the
  // picture object by extension alone.
  {
    TLKTGAImage tga;
    Paint(tga.GetLKBitmap(), 3, 2);
    tga.SaveToFile(dir.File("a.tga"));
    TLKPXMImage pbm;
    pbm.Assign(&tga);
    pbm.SaveToFile(dir.File("b.pbm"));
    TBitmap bmp(2, 2, pf24bit);
    bmp.SaveToFile(dir.File("c.bmp"));
  }
  TPicture pic;
  pic.LoadFromFile(dir.File("a.tga"));
  EXPECT_EQ(std::type_index(typeid(*pic.GetGraphic())), std::type_index(typeid(TLKTGAImage)));
  EXPECT_EQ(pic.GetWidth(), 3);
  pic.LoadFromFile(dir.File("b.pbm"));
  EXPECT_EQ(std::type_index(typeid(*pic.GetGraphic())), std::type_index(typeid(TLKPXMImage)));
  EXPECT_EQ(pic.GetHeight(), 2);
  pic.LoadFromFile(dir.File("c.bmp"));
  EXPECT_NE(dynamic_cast<TBitmap*>(pic.GetGraphic()), nullptr);
  EXPECT_FALSE(TPicture::FindFileFormat("ico"));

  // A TPicture keeps a copy of the same class.
  TPicture copy;
  TLKTGAImage held;
  Paint(held.GetLKBitmap(), 2, 2);
  copy.SetGraphic(&held);
  EXPECT_EQ(std::type_index(typeid(*copy.GetGraphic())), std::type_index(typeid(TLKTGAImage)));
  EXPECT_EQ(copy.GetWidth(), 2);

  LKUnregisterFormats();
  EXPECT_NO_THROW(LKUnregisterFormats());
  EXPECT_EQ(TPicture::FileFormats().size(), before);
  EXPECT_THROW(pic.LoadFromFile(dir.File("a.tga")), EInvalidGraphic);
}
