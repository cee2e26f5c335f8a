#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <vector>

#include "core/lkbitmap.h"
#include "io/lkfileformats.h"
#include "io/lkparams.h"
#include "platform/classes.h"

namespace {

// Every test starts from a freshly started registry and leaves none behind,
// so removals and additions of one test never leak into the next.
class FileFormats : public ::testing::Test {
 protected:
  void SetUp() override {
    LKIOModuleEnd();
    LKIOModuleStart();
  }
  void TearDown() override {
    LKIOModuleEnd();
    DefGIF_LZWDECOMPFUNC = savedDecomp;
    DefGIF_LZWCOMPFUNC = savedComp;
  }
  TGIFLZWDecompFunc savedDecomp = DefGIF_LZWDECOMPFUNC;
  TGIFLZWCompFunc savedComp = DefGIF_LZWCOMPFUNC;
};

PLKFileFormatInfo At(Integer i) { return static_cast<PLKFileFormatInfo>(lkgFileFormats->Get(i)); }

std::vector<Integer> Types() {
  std::vector<Integer> t;
  for (Integer i = 0; i < lkgFileFormats->GetCount(); ++i) t.push_back(At(i)->FormatType);
  return t;
}

struct ExpectedRow {
  Integer Type;
  const char* Name;
  const char* Exts;
  bool R, W;
  TPreviewParams Pages;
};

const ExpectedRow kBuiltIn[] = {
    {1, "TIFF Bitmap", "TIF;TIFF;FAX;G3N;G3F;XIF", true, true, PreviewPage(ppTIFF)},
    {2, "CompuServe Bitmap", "GIF", true, true, PreviewPage(ppGIF)},
    {3, "JPEG Bitmap", "JPG;JPEG;JPE;JIF", true, true, PreviewPage(ppJPEG)},
    {4, "PaintBrush", "PCX", true, true, PreviewPage(ppPCX)},
    {5, "Windows Bitmap", "BMP;DIB;RLE", true, true, PreviewPage(ppBMP)},
    {6, "Windows Icon", "ICO", true, true, 0},
    {7, "Windows Cursor", "CUR", true, false, 0},
    {8, "Portable Network Graphics", "PNG", true, true, PreviewPage(ppPNG)},
    {9, "Windows Metafile", "WMF", true, false, 0},
    {10, "Enhanced Windows Metafile", "EMF", true, false, 0},
    {11, "Targa Bitmap", "TGA;TARGA;VDA;ICB;VST;PIX", true, true, PreviewPage(ppTGA)},
    {12, "Portable Pixmap, GrayMap, BitMap", "PXM;PPM;PGM;PBM", true, true, 0},
    {16, "Wireless Bitmap", "WBMP", true, true, 0},
    {13, "JPEG2000", "JP2", true, true, PreviewPage(ppJ2000)},
    {14, "JPEG2000 Code Stream", "J2K;JPC;J2C", true, true, PreviewPage(ppJ2000)},
    {17, "PostScript Level 2", "PS;EPS", false, true, 0},
    {18, "Adobe PDF", "PDF", false, true, 0},
    {19, "Multipage PCX", "DCX", true, true, 0},
    {20, "Camera RAW", "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR", true, false, 0},
    {24, "Photoshop PSD", "PSD", true, true, 0},
};

TEST_F(FileFormats, BuiltInRowsInRegistrationOrder) {
  ASSERT_EQ(lkgFileFormats->GetCount(), 20);
  for (Integer i = 0; i < 20; ++i) {
    const ExpectedRow& e = kBuiltIn[i];
    const PLKFileFormatInfo r = At(i);
    SCOPED_TRACE(e.Name);
    EXPECT_EQ(r->FormatType, e.Type);
    EXPECT_EQ(r->FormatName, e.Name);
    EXPECT_EQ(r->ExtensionList, e.Exts);
    EXPECT_TRUE(r->BuiltIn);
    EXPECT_EQ(r->OptionPages, e.Pages);
    EXPECT_EQ(r->ReadProc != nullptr, e.R);
    EXPECT_EQ(r->WriteProc != nullptr, e.W);
    EXPECT_NE(r->ProbeProc, nullptr);
  }
}

// Save dialogs number their filters by the writable formats in registration
// order; the third must be JPEG.
TEST_F(FileFormats, WritersStartWithTiffGifJpeg) {
  std::vector<Integer> writers;
  for (Integer i = 0; i < lkgFileFormats->GetCount(); ++i)
    if (At(i)->WriteProc) writers.push_back(At(i)->FormatType);
  ASSERT_GE(writers.size(), 3u);
  EXPECT_EQ(writers[0], 1);
  EXPECT_EQ(writers[1], 2);
  EXPECT_EQ(writers[2], 3);
}

// Built-in entries called through the registry before their codec exists
// must report failure, not a silent success; probes of built-in records
// always answer false.
TEST_F(FileFormats, BuiltInEntriesFailHonestly) {
  TMemoryStream stream;
  const Byte jpeg[] = {0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0};
  stream.Write(jpeg, sizeof jpeg);
  stream.SetPosition(0);
  TLKBitmap bitmap;
  TIOParamsVals params;
  for (Integer i = 0; i < lkgFileFormats->GetCount(); ++i) {
    const PLKFileFormatInfo r = At(i);
    SCOPED_TRACE(r->FormatName);
    std::atomic<bool> aborted{false};
    TProgressRec progress;
    progress.AbortFlag = &aborted;
    if (r->ReadProc) {
      r->ReadProc(stream, bitmap, params, progress, false);
      EXPECT_TRUE(aborted.load());
    }
    aborted = false;
    if (r->WriteProc) {
      r->WriteProc(stream, bitmap, params, progress);
      EXPECT_TRUE(aborted.load());
    }
    EXPECT_FALSE(r->ProbeProc(stream, r->FormatType));
    // A progress record without abort flag is tolerated.
    TProgressRec bare;
    if (r->ReadProc) r->ReadProc(stream, bitmap, params, bare, true);
  }
}

TEST_F(FileFormats, LookupByExtension) {
  struct Case {
    const char* Ext;
    Integer Type;
  } const cases[] = {
      {".TIF", 1}, {"tif", 1}, {"XIF", 1},  {".xif", 1}, {".jpg", 3}, {"JPG", 3}, {".JPG", 3},
      {"jif", 3},  {"pix", 11}, {"CR2", 20}, {"psd", 24}, {"eps", 17}, {"wbmp", 16},
      {"..jpg", 0},  // only one leading dot is dropped
      {"", 0},     {".", 0},   {"avi", 0},  {"jp", 0},   {"jpgx", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Ext);
    EXPECT_EQ(LKExtToFileFormat(c.Ext), c.Type);
    const PLKFileFormatInfo info = LKFileFormatGetInfo2(c.Ext);
    EXPECT_EQ(info ? info->FormatType : 0, c.Type);
  }
  EXPECT_EQ(LKFileFormatGetInfo(13)->FormatName, "JPEG2000");
  EXPECT_EQ(LKFileFormatGetInfo(15), nullptr);  // AVI is used but never registered
  EXPECT_EQ(LKFileFormatGetInfo(21), nullptr);  // nor are raw pixels
  EXPECT_EQ(LKFileFormatGetInfo(0), nullptr);
}

TEST_F(FileFormats, ExtensionItems) {
  EXPECT_EQ(LKFileFormatGetExtCount(3), 4);
  EXPECT_EQ(LKFileFormatGetExt(3, 0), "JPG");
  EXPECT_EQ(LKFileFormatGetExt(3, 3), "JIF");
  EXPECT_EQ(LKFileFormatGetExt(3, 4), "");
  EXPECT_EQ(LKFileFormatGetExt(3, -1), "");
  EXPECT_EQ(LKFileFormatGetExtCount(20), 12);
  EXPECT_EQ(LKFileFormatGetExt(20, 11), "DCR");
  EXPECT_EQ(LKFileFormatGetExtCount(99), 0);
  EXPECT_EQ(LKFileFormatGetExt(99, 0), "");

  // An empty item ends the count early; items after it stay reachable by index.
  TLKFileFormatInfo gap;
  gap.FormatType = 5000;
  gap.ExtensionList = "AA;;BB";
  LKFileFormatAdd(gap);
  EXPECT_EQ(LKFileFormatGetExtCount(5000), 1);
  EXPECT_EQ(LKFileFormatGetExt(5000, 1), "");
  EXPECT_EQ(LKFileFormatGetExt(5000, 2), "BB");
  TLKFileFormatInfo none;
  none.FormatType = 5001;
  LKFileFormatAdd(none);
  EXPECT_EQ(LKFileFormatGetExtCount(5001), 0);
}

// The main window replaces the library's camera RAW record by a plug-in.
TEST_F(FileFormats, RemoveAndRegisterPlugin) {
  LKFileFormatRemove(20);
  EXPECT_EQ(lkgFileFormats->GetCount(), 19);
  EXPECT_EQ(LKFileFormatGetInfo(20), nullptr);
  EXPECT_EQ(LKExtToFileFormat("RAW"), 0);
  EXPECT_EQ(LKExtToFileFormat("nef"), 0);

  LKFileFormatRemove(20);  // not registered any more: nothing happens
  LKFileFormatRemove(4711);
  EXPECT_EQ(lkgFileFormats->GetCount(), 19);

  TLKFileFormatInfo plugin;
  plugin.FormatType = kLKFirstExternalFormat;
  plugin.FormatName = "External RAW";
  plugin.ExtensionList = "RAW;CR2";
  plugin.ReadProc = [](TStream&, TLKBitmap&, TIOParamsVals&, TProgressRec&, bool) {};
  LKFileFormatAdd(plugin);
  EXPECT_EQ(LKExtToFileFormat("RAW"), 4096);
  EXPECT_EQ(LKExtToFileFormat(".cr2"), 4096);
  EXPECT_FALSE(LKIsInternalFormat("raw"));
  EXPECT_TRUE(IsKnownFormat("/photos/IMG_1.CR2"));
  EXPECT_EQ(Types().back(), 4096);

  // The registry keeps its own copy of the record.
  plugin.FormatName = "changed";
  EXPECT_EQ(LKFileFormatGetInfo(4096)->FormatName, "External RAW");
}

TEST_F(FileFormats, FirstRegisteredWins) {
  TLKFileFormatInfo a;
  a.FormatType = 4096;
  a.FormatName = "first";
  a.ExtensionList = "XYZ;JPG";
  TLKFileFormatInfo b = a;
  b.FormatName = "second";
  b.ExtensionList = "xyz";
  LKFileFormatAdd(a);
  LKFileFormatAdd(b);
  EXPECT_EQ(LKFileFormatGetInfo(4096)->FormatName, "first");
  EXPECT_EQ(LKFileFormatGetInfo2("xyz")->FormatName, "first");
  EXPECT_EQ(LKExtToFileFormat("jpg"), 3);  // the built-in JPEG record came first

  // Removing the first uncovers the second.
  LKFileFormatRemove(4096);
  EXPECT_EQ(LKFileFormatGetInfo(4096)->FormatName, "second");
  LKFileFormatRemove(4096);
  EXPECT_EQ(LKFileFormatGetInfo(4096), nullptr);
}

TEST_F(FileFormats, NamesAreCutTo80Characters) {
  TLKFileFormatInfo info;
  info.FormatType = 4096;
  info.FormatName = String(100, 'n');
  info.ExtensionList = "ABC;" + String(100, 'e');
  LKFileFormatAdd(info);
  EXPECT_EQ(LKFileFormatGetInfo(4096)->FormatName.size(), 80u);
  EXPECT_EQ(LKFileFormatGetInfo(4096)->ExtensionList.size(), 80u);
}

TEST_F(FileFormats, InternalAndKnownFormats) {
  EXPECT_TRUE(LKIsInternalFormat(".jpg"));
  EXPECT_TRUE(LKIsInternalFormat("PDF"));
  EXPECT_FALSE(LKIsInternalFormat("avi"));
  struct Case {
    const char* Name;
    bool Known;
  } const cases[] = {
      {"a.pdf", false},  {"a.ps", false},      {"a.eps", false},  // write-only formats
      {"x.cur", true},   {"dir/x.JPG", true},  {"x.tiff", true},
      {"x", false},      {"x.avi", false},     {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(IsKnownFormat(c.Name), c.Known) << c.Name;
}

TEST_F(FileFormats, CountsKnownFilesOfAFolder) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("lkfileformats_" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "folder.png");  // a folder is never counted
  for (const char* name : {"a.jpg", "b.PNG", "c.pdf", "d.txt", "e"}) std::ofstream(dir / name) << "x";
  EXPECT_EQ(LKFindNumberWithKnownFormat(dir.string()), 2);
  EXPECT_EQ(LKFindNumberWithKnownFormat((dir / "missing").string()), 0);
  fs::remove_all(dir);
}

TEST_F(FileFormats, GIFStatusFollowsTheLZWHooks) {
  DefGIF_LZWDECOMPFUNC = [](TStream*, Integer, Integer, bool, Byte*) {};
  DefGIF_LZWCOMPFUNC = nullptr;
  LKUpdateGIFStatus();
  EXPECT_NE(LKFileFormatGetInfo(2)->ReadProc, nullptr);
  EXPECT_EQ(LKFileFormatGetInfo(2)->WriteProc, nullptr);

  DefGIF_LZWCOMPFUNC = [](TStream*, Integer, Integer, bool, const Byte*, Integer) {};
  LKUpdateGIFStatus();
  EXPECT_NE(LKFileFormatGetInfo(2)->WriteProc, nullptr);

  DefGIF_LZWDECOMPFUNC = nullptr;
  LKUpdateGIFStatus();
  EXPECT_EQ(LKFileFormatGetInfo(2)->ReadProc, nullptr);

  LKFileFormatRemove(2);
  LKUpdateGIFStatus();  // no GIF record: nothing to do
  EXPECT_EQ(LKFileFormatGetInfo(2), nullptr);
}

TEST_F(FileFormats, FileTypeTextUsesTheRegistry) {
  TIOParamsVals params;
  params.FILETYPE = 8;
  EXPECT_EQ(params.GetFileTypeStr().rfind("Portable Network Graphics (PNG)", 0), 0u) << params.GetFileTypeStr();
  LKIOModuleEnd();
  EXPECT_EQ(params.GetFileTypeStr().find("Portable"), String::npos);
}

// After the module has ended, the first registry call starts it again.
TEST_F(FileFormats, RestartsOnFirstUse) {
  LKIOModuleEnd();
  EXPECT_EQ(lkgFileFormats, nullptr);
  EXPECT_EQ(LKExtToFileFormat("png"), 8);
  ASSERT_NE(lkgFileFormats, nullptr);
  EXPECT_EQ(lkgFileFormats->GetCount(), 20);
}

}  // namespace
