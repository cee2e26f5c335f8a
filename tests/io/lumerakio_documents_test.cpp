// PostScript and PDF output of the I/O component: documents kept open
// while pages are added, and the one-step saves.
#include <gtest/gtest.h>

#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "common/file_kit.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

void Picture(TLumerakIO& IO, TLKPixelFormat Format, Integer W = 12, Integer H = 9) {
  TLKBitmap* b = IO.GetLKBitmap();
  b->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < W * 3; ++x) row[x] = Byte(x * 9 + y * 17);
  }
  if (Format != lk24RGB) b->SetPixelFormat(Format);
}

size_t Count(const std::string& Text, const std::string& What) {
  size_t n = 0;
  for (size_t p = Text.find(What); p != std::string::npos; p = Text.find(What, p + 1)) ++n;
  return n;
}

TEST(Documents, ThreePagesThenCloseInBothKinds) {
  TempDir dir;
  TLumerakIO io;
  Recorder rec(io);
  io.CreatePSFile(dir.File("a.ps"));
  io.CreatePDFFile(dir.File("a.pdf"));
  EXPECT_EQ(ReadAll(dir.File("a.pdf")), "");  // nothing before the close
  for (int i = 0; i < 3; ++i) {
    Picture(io, i == 1 ? lk1g : lk24RGB, 10 + i, 8);
    io.SaveToPS();
    io.SaveToPDF();
    EXPECT_FALSE(io.GetAborted());
  }
  EXPECT_EQ(rec.Finishes, 0);  // page saves fire no finish
  io.ClosePSFile();
  io.ClosePDFFile();
  io.ClosePSFile();  // nothing open: nothing happens
  const std::string ps = ReadAll(dir.File("a.ps")), pdf = ReadAll(dir.File("a.pdf"));
  EXPECT_NE(ps.find("%%Pages: 3     \r\n"), std::string::npos);
  EXPECT_NE(ps.find("%%Page: 3 3\r\n"), std::string::npos);
  EXPECT_EQ(ps.substr(ps.size() - 23), "%%Trailer\r\nend\r\n%%EOF\r\n");
  EXPECT_NE(pdf.find("/Count 3\n"), std::string::npos);
  EXPECT_EQ(Count(pdf, "/Type /Page\n"), 3u);
  if (filekit::HaveTool("qpdf")) EXPECT_EQ(std::system(("qpdf --check '" + dir.File("a.pdf") + "' >/dev/null").c_str()), 0);
}

TEST(Documents, CreateThenCloseGivesEmptyDocuments) {
  TempDir dir;
  TLumerakIO io;
  io.CreatePSFile(dir.File("e.ps"));
  io.CreatePDFFile(dir.File("e.pdf"));
  io.ClosePSFile();
  io.ClosePDFFile();
  const std::string ps = ReadAll(dir.File("e.ps")), pdf = ReadAll(dir.File("e.pdf"));
  EXPECT_NE(ps.find("%%Pages: 0     \r\n"), std::string::npos);
  EXPECT_NE(ps.find("%%EndProlog\r\n%%Trailer\r\nend\r\n%%EOF\r\n"), std::string::npos);
  EXPECT_NE(pdf.find("/Kids []\n/Count 0\n"), std::string::npos);
}

TEST(Documents, PageSavesConvertPalettePicturesAndKeepOneBit) {
  TempDir dir;
  TLumerakIO io;
  io.CreatePDFFile(dir.File("c.pdf"));
  Picture(io, lk8p);
  io.SaveToPDF();
  EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), lk24RGB);
  Picture(io, lk1g);
  io.SaveToPDF();
  EXPECT_EQ(io.GetLKBitmap()->GetPixelFormat(), lk1g);
  io.ClosePDFFile();
  // A page save without a document is ignored.
  io.SaveToPS();
  EXPECT_FALSE(io.GetAborted());
}

TEST(Documents, TheDestructorFinishesAnOpenDocument) {
  TempDir dir;
  {
    TLumerakIO io;
    Picture(io, lk24RGB);
    io.CreatePDFFile(dir.File("d.pdf"));
    io.SaveToPDF();
    io.CreatePSFile(dir.File("d.ps"));
    io.SaveToPS();
  }
  EXPECT_NE(ReadAll(dir.File("d.pdf")).find("%%EOF\n"), std::string::npos);
  EXPECT_NE(ReadAll(dir.File("d.ps")).find("%%EOF\r\n"), std::string::npos);
}

TEST(Documents, OneStepSavesByNameStreamAndWorker) {
  TempDir dir;
  TLumerakIO io;
  Recorder rec(io);
  Picture(io, lk24RGB);
  io.SaveToFilePS(dir.File("one.ps"));
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(io.GetIOParams()->FILENAME, dir.File("one.ps"));
  io.SaveToFile(dir.File("two.pdf"));
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(rec.Finishes, 2);
  EXPECT_EQ(ReadAll(dir.File("one.ps")).substr(0, 16), "%!PS-Adobe-3.0\r\n");
  EXPECT_EQ(ReadAll(dir.File("two.pdf")).substr(0, 9), "%PDF-1.4\n");
  TMemoryStream ms;
  io.SyncSaveToStreamPDF(&ms);
  EXPECT_GT(ms.Size(), 100);

  // On a worker: a component over an outside bitmap in asynchronous mode.
  TLKBitmap outside;
  outside.Allocate(8, 8, lk24RGB);
  TLumerakIO async;
  async.SetLKBitmap(&outside);
  async.SetAsyncEnabled(true);
  async.SaveToFilePS(dir.File("w.ps"));
  async.WaitThreads(false);
  EXPECT_FALSE(async.GetAborted());
  EXPECT_EQ(async.GetIOParams()->FILENAME, dir.File("w.ps"));
  EXPECT_NE(ReadAll(dir.File("w.ps")).find("%%Pages: 1     \r\n"), std::string::npos);
}

}  // namespace
