// PCX and DCX, PSD and headerless pixels: byte layouts where they are fixed,
// round trips, peer decodes of the same files, and hostile headers.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "codecs/lkcodecutil.h"
#include "codecs/pcx/pcxfilt.h"
#include "codecs/psd/psdfilt.h"
#include "codecs/rawpix/rawpixels.h"
#include "common/file_kit.h"
#include "core/lkallocgate.h"
#include "tests/codecs/codec_kit.h"
#include "views/lklayer.h"

using namespace codeckit;

namespace {

const std::string kPsdData = "/work/shared/testdata/psd/";

// A path in this test run's own temporary folder.
std::string TempPath(const std::string& Name) {
  static filekit::TempDir dir("lk_pcxpsd");
  return dir / Name;
}

// What ImageMagick itself decodes (not the stand-in on the path).
Bytes MagickRGBA(const std::string& File, Integer& W, Integer& H, const std::string& Frame = "0") {
  return PeerRGBA(File, W, H, Frame, "/usr/bin/convert");
}

Bytes Opaque(Bytes B) {
  for (size_t i = 3; i < B.size(); i += 4) B[i] = 255;
  return B;
}


struct Layers {
  TList list;
  ~Layers() {
    for (Integer i = 0; i < list.GetCount(); ++i) delete At(i);
  }
  TLKLayer* At(Integer i) const { return static_cast<TLKLayer*>(list.Get(i)); }
};

// ---------------------------------------------------------------------------
// PCX

TEST(PCX, RunsAreAtMost63LongAndEachPlaneLineIsCodedApart) {
  TLKBitmap b(100, 1, lk24RGB);
  for (Integer x = 0; x < 100; ++x) b.SetPixels_lk24RGB(x, 0, TRGB{3, 2, 1});
  TIOParamsVals p;
  p.BITSPERSAMPLE = 8;
  p.SAMPLESPERPIXEL = 3;
  p.PCX_COMPRESSION = ioPCX_RLE;
  Progress pr;
  TMemoryStream ms;
  WritePcxStream(&ms, &b, p, pr.rec);
  const Bytes d = BytesOf(ms);
  ASSERT_EQ(d.size(), 128u + 12);
  EXPECT_EQ(d[65], 3);
  EXPECT_EQ(d[68] | d[69] << 8, 0);  // palette information 0 for 24 bits
  const Bytes body(d.begin() + 128, d.end());
  EXPECT_EQ(body, (Bytes{0xFF, 1, 0xE5, 1, 0xFF, 2, 0xE5, 2, 0xFF, 3, 0xE5, 3}));
}

TEST(PCX, EveryDepthRoundTripsAtOddWidths) {
  struct Case {
    Integer Bits, Samples, Colours;
    TIOPCXCompression Compression;
  } cases[] = {{8, 3, 0, ioPCX_RLE}, {8, 3, 0, ioPCX_UNCOMPRESSED}, {8, 1, 200, ioPCX_RLE}, {4, 1, 16, ioPCX_RLE},
               {4, 1, 16, ioPCX_UNCOMPRESSED}, {1, 1, 2, ioPCX_RLE}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Bits * c.Samples);
    TLKBitmap b;
    MakePicture(b, 37, 11, c.Colours);
    if (c.Bits == 1)  // 1-bit pictures read as black and white
      for (Integer y = 0; y < 11; ++y)
        for (Integer x = 0; x < 37; ++x) b.SetPixels_lk24RGB(x, y, (x + y) % 3 ? TRGB{255, 255, 255} : TRGB{0, 0, 0});
    TIOParamsVals p;
    p.BITSPERSAMPLE = c.Bits;
    p.SAMPLESPERPIXEL = c.Samples;
    p.PCX_COMPRESSION = c.Compression;
    p.PCX_VERSION = 5;
    Progress pr;
    TMemoryStream ms;
    WritePcxStream(&ms, &b, p, pr.rec);
    ms.SetPosition(0);
    TLKBitmap back;
    TIOParamsVals q;
    ReadPcxStream(&ms, &back, q, ms.Size(), pr.rec, false);
    ASSERT_FALSE(pr.Aborted());
    EXPECT_EQ(q.BITSPERSAMPLE * q.SAMPLESPERPIXEL, c.Bits * c.Samples);
    ASSERT_EQ(back.GetWidth(), 37);
    EXPECT_EQ(Differences(RGBAOf(b), RGBAOf(back), 0, false), 0);
    if (c.Compression == ioPCX_UNCOMPRESSED) continue;  // netpbm reads run-length files only
    const std::string file = TempPath("pcx_rt.pcx");
    filekit::SaveFile(file, BytesOf(ms));
    Integer w = 0, h = 0;
    EXPECT_EQ(Differences(Opaque(PeerPNM("pcxtoppm", "", file, w, h)), RGBAOf(b), 0, false), 0);
    std::remove(file.c_str());
  }
}

TEST(PCX, ReadsWhatNetpbmWritesIncludingFourBitPlanes) {
  TLKBitmap b;
  MakePicture(b, 21, 9, 12);
  const std::string ppm = TempPath("pcx_src.ppm"), pcx = TempPath("pcx_src.pcx");
  {
    Bytes d;
    const std::string head = "P6\n21 9\n255\n";
    d.assign(head.begin(), head.end());
    const Bytes rgba = RGBAOf(b);
    for (size_t i = 0; i < rgba.size(); i += 4) d.insert(d.end(), {rgba[i], rgba[i + 1], rgba[i + 2]});
    filekit::SaveFile(ppm, d);
  }
  for (const char* opt : {"-24bit", "-8bit", "-planes 4"}) {
    SCOPED_TRACE(opt);
    ASSERT_TRUE(codeckit::Run(std::string("ppmtopcx ") + opt + " '" + ppm + "' > '" + pcx + "' 2>/dev/null"));
    auto ms = StreamOf(filekit::LoadFile(pcx));
    TLKBitmap back;
    TIOParamsVals q;
    Progress pr;
    ReadPcxStream(ms.get(), &back, q, ms->Size(), pr.rec, false);
    ASSERT_FALSE(pr.Aborted());
    if (std::string(opt) == "-planes 4") {
      EXPECT_EQ(q.BITSPERSAMPLE, 4);
      EXPECT_EQ(q.SAMPLESPERPIXEL, 1);
    }
    EXPECT_EQ(Differences(RGBAOf(b), RGBAOf(back), 0, false), 0);
  }
  std::remove(ppm.c_str());
  std::remove(pcx.c_str());
}

TEST(PCX, HeaderValuesAndCutData) {
  TLKBitmap b;
  MakePicture(b, 16, 4, 50);
  TIOParamsVals p;
  p.BITSPERSAMPLE = 8;
  p.SAMPLESPERPIXEL = 1;
  p.PCX_COMPRESSION = ioPCX_RLE;
  p.DPIX = 200;
  p.DPIY = 0;
  Progress pr;
  TMemoryStream ms;
  WritePcxStream(&ms, &b, p, pr.rec);
  const Bytes d = BytesOf(ms);
  ASSERT_EQ(d[d.size() - 769], 12);
  TIOParamsVals q;
  TLKBitmap back;
  auto s = StreamOf(d);
  ReadPcxStream(s.get(), &back, q, s->Size(), pr.rec, false);
  EXPECT_EQ(q.DPIX, gDefaultDPIX);  // a zero in either direction gives the default in both
  EXPECT_EQ(q.DPIY, gDefaultDPIY);
  EXPECT_EQ(Differences(RGBAOf(b), RGBAOf(back), 0, false), 0);
  // Cut before its palette the picture reads, with other colours; a bad
  // maker byte is refused.
  s->SetPosition(0);
  ReadPcxStream(s.get(), &back, q, s->Size() - 769, pr.rec, false);
  EXPECT_GT(Differences(RGBAOf(b), RGBAOf(back), 0, false), 0);
  Bytes bad = d;
  bad[0] = 11;
  auto sb = StreamOf(bad);
  Progress pr2;
  ReadPcxStream(sb.get(), &back, q, sb->Size(), pr2.rec, false);
  EXPECT_TRUE(pr2.Aborted());
  // Run-length data that ends early: the rows read are kept, the flag set.
  Bytes cut(d.begin(), d.begin() + 128 + 20);
  auto sc = StreamOf(cut);
  Progress pr3;
  ReadPcxStream(sc.get(), &back, q, sc->Size(), pr3.rec, false);
  EXPECT_TRUE(pr3.Aborted());
}

// Coded data far longer than the reader takes from the stream at a time:
// 24-bit run-length lines whose run packets follow one another across line
// ends and block ends (one of the two layouts cuts a packet between its two
// bytes at any even block size), and the same samples uncoded.
TEST(PCX, LongDataReadsWholeWhereverItsBlocksEnd) {
  const Integer w = 1000, h = 110, bpl = 1000;
  const size_t total = size_t(3 * bpl) * h;
  for (Integer layout : {0, 1, 2}) {
    SCOPED_TRACE(layout);
    Bytes samples, coded;
    if (layout == 1) {  // one literal first shifts every packet by a byte
      samples.push_back(5);
      coded.push_back(5);
    }
    for (Integer k = 0; samples.size() < total; ++k) {
      const Byte v = Byte(k * 7 % 192);
      coded.insert(coded.end(), {0xC2, v});
      samples.insert(samples.end(), {v, v});
    }
    samples.resize(total);
    Bytes file(128, 0);
    file[0] = 10;
    file[1] = 5;
    file[2] = layout == 2 ? 0 : 1;
    file[3] = 8;
    lkcodec::PutLe16(&file[8], Word(w - 1));
    lkcodec::PutLe16(&file[10], Word(h - 1));
    file[65] = 3;
    lkcodec::PutLe16(&file[66], Word(bpl));
    const Bytes& body = layout == 2 ? samples : coded;
    file.insert(file.end(), body.begin(), body.end());
    auto ms = StreamOf(file);
    TLKBitmap b;
    TIOParamsVals p;
    Progress pr;
    ReadPcxStream(ms.get(), &b, p, ms->Size(), pr.rec, false);
    ASSERT_FALSE(pr.Aborted());
    ASSERT_EQ(b.GetHeight(), h);
    Integer wrong = 0;
    for (Integer y = 0; y < h; ++y) {
      const auto* row = static_cast<const TRGB*>(b.GetScanLine(y));
      const Byte* line = samples.data() + size_t(y) * 3 * bpl;
      for (Integer x = 0; x < w; ++x)
        wrong += !(row[x] == TRGB{line[2 * bpl + x], line[bpl + x], line[x]});
    }
    EXPECT_EQ(wrong, 0);
  }
}

// ---------------------------------------------------------------------------
// DCX

std::unique_ptr<TMemoryStream> DcxOf(Integer Pages) {
  auto ms = std::make_unique<TMemoryStream>();
  for (Integer i = 0; i < Pages; ++i) {
    TLKBitmap b;
    MakePicture(b, 10 + i, 5, 0);
    TIOParamsVals p;
    p.BITSPERSAMPLE = 8;
    p.SAMPLESPERPIXEL = 3;
    p.PCX_COMPRESSION = ioPCX_RLE;
    p.DCX_IMAGEINDEX = i;
    Progress pr;
    ms->SetPosition(0);
    LKDCXInsertStream(ms.get(), &b, p, pr.rec);
    EXPECT_FALSE(pr.Aborted());
  }
  ms->SetPosition(0);
  return ms;
}

Integer PageWidth(TMemoryStream& S, Integer Index) {
  TIOParamsVals p;
  p.DCX_IMAGEINDEX = Index;
  TLKBitmap b;
  Progress pr;
  S.SetPosition(0);
  LKDCXReadStream(&S, &b, p, pr.rec, false);
  S.SetPosition(0);
  return pr.Aborted() ? -1 : b.GetWidth();
}

TEST(DCX, InsertDeleteCountAndRead) {
  auto ms = DcxOf(3);
  EXPECT_TRUE(LKDCXTryStream(ms.get()));
  EXPECT_EQ(LKDCXCountStream(ms.get()), 3);
  const Bytes d = BytesOf(*ms);
  EXPECT_EQ(lkcodec::Le32(d.data()), 987654321u);
  EXPECT_EQ(lkcodec::Le32(d.data() + 4), 4u + 4 * 4);  // pages + 2 entries
  // Index 0 makes the new picture page 0, index 3 appends it.
  TLKBitmap nb;
  MakePicture(nb, 30, 5, 0);
  for (Integer index : {0, 4}) {
    TIOParamsVals p;
    p.BITSPERSAMPLE = 8;
    p.SAMPLESPERPIXEL = 3;
    p.DCX_IMAGEINDEX = index;
    Progress pr;
    LKDCXInsertStream(ms.get(), &nb, p, pr.rec);
    ms->SetPosition(0);
  }
  EXPECT_EQ(LKDCXCountStream(ms.get()), 5);
  EXPECT_EQ(PageWidth(*ms, 0), 30);
  EXPECT_EQ(PageWidth(*ms, 1), 10);
  EXPECT_EQ(PageWidth(*ms, 3), 12);
  EXPECT_EQ(PageWidth(*ms, 4), 30);
  EXPECT_EQ(PageWidth(*ms, 99), 30);  // clamped to the last page
  // An index past the pages inserts nothing.
  {
    TIOParamsVals p;
    p.DCX_IMAGEINDEX = 9;
    Progress pr;
    LKDCXInsertStream(ms.get(), &nb, p, pr.rec);
    ms->SetPosition(0);
    EXPECT_EQ(LKDCXCountStream(ms.get()), 5);
  }
  EXPECT_EQ(LKDCXDeleteStream(ms.get(), 0), 4);
  EXPECT_EQ(PageWidth(*ms, 0), 10);
  EXPECT_EQ(PageWidth(*ms, 3), 30);
  // Peers read our file with all its pages.
  const std::string file = TempPath("pages.dcx");
  filekit::SaveFile(file, BytesOf(*ms));
  Integer w = 0, h = 0;
  EXPECT_EQ(Differences(Opaque(MagickRGBA(file, w, h, "1")), RGBAOf(*[] {
              static TLKBitmap b;
              MakePicture(b, 11, 5, 0);
              return &b;
            }()),
                        0, false),
            0);
  std::remove(file.c_str());
}

TEST(DCX, RefusesTablesPointingOutsideAndNonDcxStreams) {
  auto ms = DcxOf(2);
  Bytes d = BytesOf(*ms);
  lkcodec::PutLe32(d.data() + 8, Cardinal(d.size()));
  auto bad = StreamOf(d);
  EXPECT_FALSE(LKDCXTryStream(bad.get()));
  EXPECT_EQ(PageWidth(*bad, 0), -1);
  EXPECT_EQ(LKDCXDeleteStream(bad.get(), 0), 0);
  EXPECT_EQ(BytesOf(*bad), d);  // left unchanged
  TLKBitmap b(4, 4, lk24RGB);
  TIOParamsVals p;
  Progress pr;
  LKDCXInsertStream(bad.get(), &b, p, pr.rec);
  EXPECT_TRUE(pr.Aborted());
  EXPECT_EQ(BytesOf(*bad), d);
}

// ---------------------------------------------------------------------------
// PSD

TEST(PSD, MergedPicturesMatchImageMagickInEveryColourMode) {
  struct Case {
    const char* File;
    Integer Tolerance;
  } cases[] = {{"colormodes/4x4_8bit_rgb.psd", 0},       {"colormodes/4x4_16bit_rgb.psd", 1},
               {"colormodes/4x4_8bit_grayscale.psd", 0}, {"colormodes/4x4_16bit_grayscale.psd", 1},
               {"colormodes/4x4_1bit_bitmap.psd", 0},    {"colormodes/4x4_8bit_duotone.psd", 0},
               {"colormodes/4x4_8bit_lab.psd", 12},      {"colormodes/4x4_8bit_rgba.psd", 0},
               {"16bit5x5.psd", 1},                      {"2layers.psd", 0},
               {"mask.psd", 0},                          {"layer_mask_data.psd", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    const std::string file = kPsdData + c.File;
    auto ms = StreamOf(filekit::LoadFile(file));
    TLKBitmap b;
    TIOParamsVals p;
    Progress pr;
    LKReadPSD(ms.get(), &b, p, pr.rec, false, nullptr);
    ASSERT_FALSE(pr.Aborted());
    Integer w = 0, h = 0;
    const Bytes peer = MagickRGBA(file, w, h);
    ASSERT_FALSE(peer.empty());
    ASSERT_EQ(b.GetWidth(), w);
    EXPECT_EQ(Differences(Opaque(RGBAOf(b)), Opaque(peer), c.Tolerance, false), 0);
  }
}

TEST(PSD, NativeFormatsAndResolution) {
  struct Case {
    const char* File;
    TLKPixelFormat Native;
  } cases[] = {{"colormodes/4x4_16bit_rgb.psd", lk48RGB}, {"colormodes/4x4_16bit_grayscale.psd", lk16g},
               {"colormodes/4x4_8bit_lab.psd", lkCIELab}, {"colormodes/4x4_8bit_index_color.psd", lk8p}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.File);
    for (bool native : {true, false}) {
      auto ms = StreamOf(filekit::LoadFile(kPsdData + c.File));
      TLKBitmap b;
      TIOParamsVals p;
      p.ISNATIVEPIXELFORMAT = native;
      Progress pr;
      LKReadPSD(ms.get(), &b, p, pr.rec, false, nullptr);
      EXPECT_EQ(b.GetPixelFormat(), native ? c.Native : lk24RGB);
      EXPECT_EQ(p.DPIX, 72);
    }
  }
}

// Writes Merged with the layers of In into Ms and reads the document back
// with its layers into Out (Q its parameters); false when either aborts.
bool LayersRoundTrip(TLKBitmap& Merged, TList& In, TIOParamsVals& P, TMemoryStream& Ms, Layers& Out,
                     TIOParamsVals& Q) {
  Progress pr;
  LKWritePSD(&Ms, P, pr.rec, &Merged, &In);
  if (pr.Aborted()) return false;
  Ms.SetPosition(0);
  TLKBitmap back;
  LKReadPSD(&Ms, &back, Q, pr.rec, true, &Out.list);
  return !pr.Aborted();
}

// Two layers (the second with a user mask, hidden, half opaque, multiplied),
// written, read back by us with their masks and by ImageMagick as layers.
TEST(PSD, LayersWithMasksRoundTripAndOpenInImageMagick) {
  TLKBitmap merged;
  MakePicture(merged, 40, 30, 0);
  Layers in;
  auto* l0 = new TLKLayer(nullptr, nullptr, false);
  l0->Bitmap->Assign(&merged);
  l0->Name = "Background";
  auto* l1 = new TLKLayer(nullptr, nullptr, false);
  MakePicture(*l1->Bitmap, 12, 9, 5);
  l1->PosX = 7;
  l1->PosY = 5;
  l1->Opacity = 128;
  l1->Visible = false;
  l1->Operation = lklMul;
  l1->Name = "Top";
  for (Integer y = 0; y < 9; ++y)
    for (Integer x = 0; x < 12; ++x) l1->Bitmap->GetAlphaChannel()->SetPixels_lk8(x, y, Byte(x * 20));
  auto* m = new TLKLayer(nullptr, nullptr, false);
  m->IsMask = true;
  m->Bitmap->Allocate(6, 4, lk8g);
  for (Integer y = 0; y < 4; ++y)
    for (Integer x = 0; x < 6; ++x) m->Bitmap->SetPixels_lk8(x, y, Byte(40 * y + x));
  m->PosX = 8;
  m->PosY = 6;
  in.list.Add(l0);
  in.list.Add(l1);
  in.list.Add(m);
  TIOParamsVals p;
  p.DPIX = p.DPIY = 150;
  Progress pr;
  TMemoryStream ms;
  Layers out;
  TLKBitmap back;
  TIOParamsVals q;
  ASSERT_TRUE(LayersRoundTrip(merged, in.list, p, ms, out, q));
  EXPECT_EQ(q.DPIX, 150);
  ASSERT_EQ(out.list.GetCount(), 3);
  TLKLayer* r1 = out.At(1);
  EXPECT_EQ(r1->Name, "Top");
  EXPECT_EQ(r1->PosX, 7);
  EXPECT_EQ(r1->PosY, 5);
  EXPECT_EQ(r1->Opacity, 128);
  EXPECT_FALSE(r1->Visible);
  EXPECT_EQ(r1->Operation, lklMul);
  EXPECT_EQ(Differences(RGBAOf(*l1->Bitmap), RGBAOf(*r1->Bitmap), 0, true), 0);
  TLKLayer* rm = out.At(2);
  EXPECT_TRUE(rm->IsMask);
  EXPECT_FALSE(rm->Visible);
  EXPECT_EQ(rm->PosX, 8);
  ASSERT_EQ(rm->Bitmap->GetWidth(), 6);
  EXPECT_EQ(rm->Bitmap->GetPixels_lk8(5, 3), 125);
  EXPECT_EQ(Differences(RGBAOf(merged), RGBAOf(*out.At(0)->Bitmap), 0, false), 0);

  // The merged picture alone when layers are not asked for.
  ms.SetPosition(0);
  LKReadPSD(&ms, &back, q, pr.rec, false, &out.list);
  EXPECT_EQ(out.list.GetCount(), 3);
  EXPECT_EQ(Differences(RGBAOf(merged), RGBAOf(back), 0, false), 0);

  const std::string file = TempPath("layers_rt.psd");
  filekit::SaveFile(file, BytesOf(ms));
  Integer w = 0, h = 0;
  EXPECT_EQ(Differences(Opaque(MagickRGBA(file, w, h, "0")), RGBAOf(merged), 0, false), 0);
  const Bytes top = MagickRGBA(file, w, h, "2");
  EXPECT_EQ(w, 12);
  EXPECT_EQ(Differences(Opaque(top), RGBAOf(*l1->Bitmap), 0, false), 0);
  std::remove(file.c_str());
}

TEST(PSD, ReadsLayersImageMagickWrites) {
  const std::string file = TempPath("im_layers.psd");
  ASSERT_TRUE(codeckit::Run("/usr/bin/convert -size 30x20 gradient:red-blue \\( -size 10x8 xc:lime -repage +5+4 \\) "
                  "\\( -size 6x6 xc:yellow -repage +20+10 \\) \\( -clone 0-2 -flatten \\) -insert 0 '" + file + "'"));
  Layers out;
  TLKBitmap merged;
  TIOParamsVals p;
  Progress pr;
  auto ms = StreamOf(filekit::LoadFile(file));
  LKReadPSD(ms.get(), &merged, p, pr.rec, true, &out.list);
  ASSERT_FALSE(pr.Aborted());
  ASSERT_GE(out.list.GetCount(), 2);
  for (Integer i = 0; i < out.list.GetCount(); ++i) {
    SCOPED_TRACE(i);
    Integer w = 0, h = 0;
    const Bytes peer = MagickRGBA(file, w, h, std::to_string(i + 1));
    ASSERT_EQ(out.At(i)->Bitmap->GetWidth(), w);
    EXPECT_EQ(Differences(Opaque(peer), Opaque(RGBAOf(*out.At(i)->Bitmap)), 1, false), 0);  // 16-bit samples
  }
  std::remove(file.c_str());
}

// Writes B alone into Ms and reads it back in its own pixel format; false
// when either aborts.
bool NativeRoundTrip(TLKBitmap& B, TMemoryStream& Ms, TLKBitmap& Back) {
  TIOParamsVals p, q;
  Progress pr;
  LKWritePSD(&Ms, p, pr.rec, &B, nullptr);
  if (pr.Aborted()) return false;
  Ms.SetPosition(0);
  q.ISNATIVEPIXELFORMAT = true;
  LKReadPSD(&Ms, &Back, q, pr.rec, false, nullptr);
  return !pr.Aborted();
}

TEST(PSD, EveryModeRoundTripsAndLabKeepsItsSigns) {
  for (TLKPixelFormat f : {lk1g, lk8g, lk16g, lk8p, lk24RGB, lk48RGB, lkCMYK, lkCIELab}) {
    SCOPED_TRACE(Integer(f));
    TLKBitmap b;
    MakePicture(b, 9, 7, f == lk8p ? 20 : 0);
    b.ConvertToPixelFormat(f);
    TMemoryStream ms;
    TLKBitmap back;
    ASSERT_TRUE(NativeRoundTrip(b, ms, back));
    ASSERT_EQ(back.GetPixelFormat(), f);
    for (Integer y = 0; y < 7; ++y)
      EXPECT_EQ(std::memcmp(b.GetScanLine(y), back.GetScanLine(y), size_t(b.GetRowLen())), 0) << "row " << y;
  }
  TLKBitmap none(3, 3, lk32f);
  TIOParamsVals p;
  Progress pr;
  TMemoryStream ms;
  LKWritePSD(&ms, p, pr.rec, &none, nullptr);
  EXPECT_TRUE(pr.Aborted());
  EXPECT_EQ(ms.Size(), 0);
}

// A document of 1 x 2 grey pixels with the given layer section and merged
// image bytes after an empty resource section.
Bytes GreyDocument(const Bytes& LayerSection, const Bytes& Merged) {
  Bytes d = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, 1,
             0, 0, 0, 0, 0, 0, 0, 0};
  d.insert(d.end(), LayerSection.begin(), LayerSection.end());
  d.insert(d.end(), Merged.begin(), Merged.end());
  return d;
}

TEST(PSD, PackBitsMinus128IsANoOpAndRowsAreBounded) {
  // Compression 1, row counts 3 and 2: row 0 "-128, -0 (copy 1), 7", row 1
  // "repeat 200 times 9" (clipped to the one-pixel row).
  const Bytes merged = {0, 1, 0, 3, 0, 2, 0x80, 0x00, 7, 0x81, 9};
  auto ms = StreamOf(GreyDocument({0, 0, 0, 0}, merged));
  TLKBitmap b;
  TIOParamsVals p;
  p.ISNATIVEPIXELFORMAT = true;
  Progress pr;
  LKReadPSD(ms.get(), &b, p, pr.rec, false, nullptr);
  ASSERT_FALSE(pr.Aborted());
  EXPECT_EQ(b.GetPixels_lk8(0, 0), 7);
  EXPECT_EQ(b.GetPixels_lk8(0, 1), 9);
}

TEST(PSD, AbsurdLayerCountsAndChannelSizesAreRefusedBeforeAllocation) {
  LKSetAllocationLimit(Int64{64} << 20);
  auto be32 = [](Bytes& d, Cardinal v) { d.insert(d.end(), {Byte(v >> 24), Byte(v >> 16), Byte(v >> 8), Byte(v)}); };
  // 30000 layers claimed in a 60-byte section.
  Bytes many;
  be32(many, 60);
  be32(many, 56);
  many.insert(many.end(), {0x75, 0x30});
  many.resize(many.size() + 54, 0);
  // One layer of 30000 x 30000 whose one channel claims 4 GB.
  Bytes huge;
  Bytes rec;
  for (Cardinal v : {0u, 0u, 30000u, 30000u}) be32(rec, v);
  rec.insert(rec.end(), {0, 1, 0, 0});
  be32(rec, 0xFFFFFFF0u);
  rec.insert(rec.end(), {'8', 'B', 'I', 'M', 'n', 'o', 'r', 'm', 255, 0, 0, 0});
  be32(rec, 12);
  rec.resize(rec.size() + 12, 0);
  be32(huge, Cardinal(rec.size() + 10));
  be32(huge, Cardinal(rec.size() + 2));
  huge.insert(huge.end(), {0, 1});
  huge.insert(huge.end(), rec.begin(), rec.end());
  // The same layer with a small channel: its data cannot hold the picture.
  Bytes thin = huge;
  thin[4 + 4 + 2 + 16 + 2 + 2 + 3] = 8;
  for (size_t k = 4 + 4 + 2 + 16 + 2 + 2; k < 4 + 4 + 2 + 16 + 2 + 2 + 3; ++k) thin[k] = 0;
  thin.resize(thin.size() + 8, 0);
  for (const Bytes* section : {&many, &huge, &thin}) {
    auto ms = StreamOf(GreyDocument(*section, {0, 0, 1, 2}));
    Layers out;
    TLKBitmap b;
    TIOParamsVals p;
    Progress pr;
    LKReadPSD(ms.get(), &b, p, pr.rec, true, &out.list);
    EXPECT_TRUE(pr.Aborted());
    EXPECT_EQ(out.list.GetCount(), 0);
  }
  LKSetAllocationLimit(0);
}

TEST(PSD, IndexedTransparencyGivesAlpha) {
  TLKBitmap b;
  MakePicture(b, 8, 2, 4);
  b.ConvertToPixelFormat(lk8p);
  TIOParamsVals p;
  Progress pr;
  TMemoryStream ms;
  LKWritePSD(&ms, p, pr.rec, &b, nullptr);  // writes transparency index 255
  // Point one pixel at index 255 through the merged data: rewrite as raw.
  ms.SetPosition(0);
  TLKBitmap back;
  TIOParamsVals q;
  q.ISNATIVEPIXELFORMAT = true;
  b.SetPixels_lk8(3, 1, 255);
  TMemoryStream ms2;
  LKWritePSD(&ms2, p, pr.rec, &b, nullptr);
  ms2.SetPosition(0);
  LKReadPSD(&ms2, &back, q, pr.rec, false, nullptr);
  ASSERT_TRUE(back.GetHasAlphaChannel());
  EXPECT_EQ(back.GetAlpha(3, 1), 0);
  EXPECT_EQ(back.GetAlpha(2, 1), 255);
}

// User masks of 16-bit and bitmap documents are written at the document's
// depth and read back into their 8-bit mask layers (the bitmap one with an
// alpha channel on its layer too).
TEST(PSD, MasksOfSixteenBitAndBitmapDocumentsRoundTrip) {
  for (TLKPixelFormat f : {lk48RGB, lk1g}) {
    SCOPED_TRACE(Integer(f));
    TLKBitmap merged;
    MakePicture(merged, 21, 10, 0);
    merged.ConvertToPixelFormat(f);
    Layers in;
    auto* l0 = new TLKLayer(nullptr, nullptr, false);
    l0->Bitmap->Assign(&merged);
    if (f == lk1g) l0->Bitmap->GetAlphaChannel()->Fill(255);
    auto* m = new TLKLayer(nullptr, nullptr, false);
    m->IsMask = true;
    m->Bitmap->Allocate(11, 5, lk8g);
    for (Integer y = 0; y < 5; ++y)
      for (Integer x = 0; x < 11; ++x) m->Bitmap->SetPixels_lk8(x, y, f == lk1g ? ((x + y) % 3 ? 255 : 0) : Byte(x * 23 + y));
    in.list.Add(l0);
    in.list.Add(m);
    TIOParamsVals p, q;
    TMemoryStream ms;
    Layers out;
    ASSERT_TRUE(LayersRoundTrip(merged, in.list, p, ms, out, q));
    ASSERT_EQ(out.list.GetCount(), 2);
    TLKBitmap& rm = *out.At(1)->Bitmap;
    ASSERT_EQ(rm.GetWidth(), 11);
    for (Integer y = 0; y < 5; ++y)
      EXPECT_EQ(std::memcmp(rm.GetScanLine(y), m->Bitmap->GetScanLine(y), 11), 0) << "row " << y;
  }
}

// Rows of equal-byte runs of every length from 1 to 140 at every offset,
// packed as the reference PackBits does: runs of 4 to 128 as a repeat
// packet, the rest in literal packets of up to 128.
TEST(PSD, PackBitsRunsAtEveryOffsetMatchTheReference) {
  auto reference = [](const Byte* S, size_t N, Bytes& Out) {
    size_t i = 0, lit = 0;
    auto flush = [&](size_t end) {
      for (; lit < end;) {
        const size_t k = std::min<size_t>(128, end - lit);
        Out.push_back(Byte(k - 1));
        Out.insert(Out.end(), S + lit, S + lit + k);
        lit += k;
      }
    };
    while (i < N) {
      size_t run = 1;
      while (i + run < N && run < 128 && S[i + run] == S[i]) ++run;
      if (run >= 4) {
        flush(i);
        Out.push_back(Byte(1 - Integer(run)));
        Out.push_back(S[i]);
        lit = i += run;
      } else {
        i += run;
      }
    }
    flush(N);
  };
  const Integer w = 301, h = 150;
  TLKBitmap b(w, h, lk8g);
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(b.GetScanLine(y));
    // Literal bytes (y % 17 of them), a run of y % 141 + 1, then the same
    // again with other values, up to the row's end.
    Integer x = 0, v = y;
    while (x < w) {
      for (Integer k = 0; k < y % 17 && x < w; ++k) row[x++] = Byte(v++ * 37);
      const Byte r = Byte(v++ * 37);
      for (Integer k = 0; k <= y % 141 && x < w; ++k) row[x++] = r;
    }
  }
  TMemoryStream ms;
  TLKBitmap back;
  ASSERT_TRUE(NativeRoundTrip(b, ms, back));
  for (Integer y = 0; y < h; ++y) EXPECT_EQ(std::memcmp(b.GetScanLine(y), back.GetScanLine(y), size_t(w)), 0);
  Bytes tail = {0, 1}, rows;
  for (Integer y = 0; y < h; ++y) {
    const size_t before = rows.size();
    reference(static_cast<const Byte*>(b.GetScanLine(y)), size_t(w), rows);
    tail.insert(tail.end(), {Byte((rows.size() - before) >> 8), Byte(rows.size() - before)});
  }
  tail.insert(tail.end(), rows.begin(), rows.end());
  const Bytes d = BytesOf(ms);
  ASSERT_GT(d.size(), tail.size());
  EXPECT_TRUE(std::equal(tail.begin(), tail.end(), d.end() - Integer(tail.size())));
}

// A merged picture whose channels are longer than the reader takes from the
// stream at a time, packed and raw; the packed one cut in its second channel
// keeps what was there, zeros the rest and says so.
TEST(PSD, LongChannelsReadWholeAndCutOnesKeepTheirRows) {
  const Integer w = 701, h = 400;
  TLKBitmap b(w, h, lk24RGB);
  Cardinal seed = 1;
  for (Integer y = 0; y < h; ++y) {
    Byte* row = static_cast<Byte*>(b.GetScanLine(y));
    for (Integer i = 0; i < 3 * w; ++i) row[i] = Byte((seed = seed * 1103515245u + 12345u) >> 23);
  }
  TIOParamsVals p;
  Progress pr;
  TMemoryStream packed;
  LKWritePSD(&packed, p, pr.rec, &b, nullptr);
  // The picture as a document of raw channels without resources or layers.
  Bytes raw = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3};
  for (Integer v : {h, w}) raw.insert(raw.end(), {Byte(v >> 24), Byte(v >> 16), Byte(v >> 8), Byte(v)});
  raw.insert(raw.end(), {0, 8, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  for (Integer c = 0; c < 3; ++c)
    for (Integer y = 0; y < h; ++y) {
      const Byte* row = static_cast<const Byte*>(b.GetScanLine(y));
      for (Integer x = 0; x < w; ++x) raw.push_back(row[3 * x + 2 - c]);
    }
  // The packed document cut after the first half of its green rows.
  const Bytes whole = BytesOf(packed);
  auto be32 = [&](size_t At) { return size_t(whole[At]) << 24 | size_t(whole[At + 1]) << 16 | size_t(whole[At + 2]) << 8 | whole[At + 3]; };
  const size_t resources = be32(30), merged = 38 + resources + be32(34 + resources);
  size_t end = merged + 2 + 6 * size_t(h);
  for (Integer k = 0; k < h + h / 2; ++k) end += size_t(whole[merged + 2 + 2 * k]) << 8 | whole[merged + 3 + 2 * k];
  const Bytes cut(whole.begin(), whole.begin() + Integer(end));
  struct Case {
    const char* Name;
    Bytes File;
    bool Whole;
  } cases[] = {{"packed", whole, true}, {"raw", raw, true}, {"cut", cut, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    auto ms = StreamOf(c.File);
    TLKBitmap back;
    TIOParamsVals q;
    Progress rp;
    LKReadPSD(ms.get(), &back, q, rp.rec, false, nullptr);
    EXPECT_EQ(rp.Aborted(), !c.Whole);
    ASSERT_EQ(back.GetHeight(), h);
    Integer wrong = 0;
    for (Integer y = 0; y < h; ++y) {
      const auto* in = static_cast<const TRGB*>(b.GetScanLine(y));
      const auto* out = static_cast<const TRGB*>(back.GetScanLine(y));
      for (Integer x = 0; x < w; ++x) {
        // Cut: red whole, green for the first half of the rows, no blue.
        const TRGB want = c.Whole ? in[x] : TRGB{0, y < h / 2 ? in[x].g : Byte(0), in[x].r};
        wrong += !(out[x] == want);
      }
    }
    EXPECT_EQ(wrong, 0);
  }
}

// ---------------------------------------------------------------------------
// Headerless pixels and metafile probes

TEST(RawPixels, AlignmentOrderAndPlanes) {
  TLKBitmap b(3, 2, lk24RGB);
  for (Integer y = 0; y < 2; ++y)
    for (Integer x = 0; x < 3; ++x) b.SetPixels_lk24RGB(x, y, TRGB{Byte(x), Byte(10 + y), Byte(100 + x + y)});
  const TLKBitmap* keep = nullptr;
  (void)keep;
  const Bytes before = RGBAOf(b);
  for (Integer align : {8, 32}) {
    TIOParamsVals p;
    p.BMPRAW_RowAlignBits = align;
    Progress pr;
    TMemoryStream ms;
    LKRealRAWWriteStream(&ms, &b, p, pr.rec);
    EXPECT_EQ(ms.Size(), align == 32 ? 24 : 18);
    const Bytes d = BytesOf(ms);
    EXPECT_EQ(d[0], 100);  // red first
    if (align == 32) {
      EXPECT_EQ(d[9], 0);
      EXPECT_EQ(d[11], 0);  // padding written as zeros
    }
    EXPECT_EQ(RGBAOf(b), before);  // the bitmap is left alone
    ms.SetPosition(0);
    TLKBitmap back(3, 2, lk24RGB);
    LKRealRAWReadStream(&ms, &back, p, pr.rec);
    EXPECT_EQ(ms.Position(), ms.Size());
    EXPECT_EQ(RGBAOf(back), before);
  }
  // Planar red, green, blue planes read like the interleaved stream.
  TIOParamsVals p;
  p.BMPRAW_Planes = plPlanar;
  Progress pr;
  TMemoryStream planes;
  LKRealRAWWriteStream(&planes, &b, p, pr.rec);
  const Bytes pd = BytesOf(planes);
  EXPECT_EQ(pd[0], 100);
  EXPECT_EQ(pd[6], 10);
  EXPECT_EQ(pd[12], 0);
  planes.SetPosition(0);
  TLKBitmap back(3, 2, lk24RGB);
  LKRealRAWReadStream(&planes, &back, p, pr.rec);
  EXPECT_EQ(RGBAOf(back), before);
  // 48-bit written red first; a header is skipped on reading.
  TLKBitmap w48(1, 1, lk48RGB);
  w48.SetPixels_lk48RGB(0, 0, TRGB48{0x1234, 2, 3});
  TIOParamsVals p48;
  TMemoryStream m48;
  LKRealRAWWriteStream(&m48, &w48, p48, pr.rec);
  EXPECT_EQ(BytesOf(m48), (Bytes{0x34, 0x12, 2, 0, 3, 0}));
  Bytes skipped = {9, 9, 9, 0x34, 0x12, 2, 0, 3, 0};
  auto ss = StreamOf(skipped);
  p48.BMPRAW_SkipBytes = 3;
  TLKBitmap r48(1, 1, lk48RGB);
  LKRealRAWReadStream(ss.get(), &r48, p48, pr.rec);
  EXPECT_EQ(r48.GetPixels_lk48RGB(0, 0).r, 0x1234);
  // Lab pictures are refused.
  TLKBitmap lab(2, 2, lkCIELab);
  Progress pl;
  TMemoryStream ml;
  LKRealRAWWriteStream(&ml, &lab, p, pl.rec);
  EXPECT_TRUE(pl.Aborted());
}

TEST(RawPixels, MetafileProbes) {
  Bytes wmf(40, 0);
  lkcodec::PutLe32(wmf.data(), 0x9AC6CDD7u);
  wmf[22] = 1;
  wmf[24] = 9;
  auto s = StreamOf(wmf);
  s->SetPosition(0);
  EXPECT_TRUE(LKWMFTryStream(s.get()));
  EXPECT_EQ(s->Position(), 0);
  wmf[38] = 1;  // a parameter count
  EXPECT_FALSE(LKWMFTryStream(StreamOf(wmf).get()));
  Bytes emf(100, 0);
  emf[0] = 1;
  std::memcpy(&emf[40], " EMF", 4);
  EXPECT_TRUE(LKEMFTryStream(StreamOf(emf).get()));
  emf.resize(99);
  EXPECT_FALSE(LKEMFTryStream(StreamOf(emf).get()));
}

}  // namespace
