// Every road that replaces a file, run out of disk: a write that fails part
// way (the file-size limit stands in for a full disk) must leave the old file
// byte for byte, nothing beside it, and the failure reported (the abort flag
// or an exception), never a success.
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>
#include <memory>

#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lktiffhandler.h"
#include "io/lumerakio.h"
#include "platform/classes.h"
#include "platform/graphics.h"
#include "tests/common/file_kit.h"
#include "tests/io/io_kit.h"
#include "views/lumerakview.h"

using namespace iokit;

namespace {

using filekit::FileSizeLimit;

constexpr rlim_t kLimit = 16 * 1024;

// A picture of noise, which no coder packs below the limit.
void Noise(TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, lk24RGB);
  uint32_t v = 12345;
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < W * 3; ++x) {
      v = v * 1103515245u + 12345u;
      row[x] = Byte(v >> 24);
    }
  }
}

// A small file of the format, written by the component.
std::string Small(const String& Ext) {
  TempDir dir;
  TLumerakIO io;
  Noise(*io.GetLKBitmap(), 4, 4);
  const String f = dir.File("s" + Ext);
  io.SaveToFile(f);
  return ReadAll(f);
}

// A save of a picture of noise through the component's file road.
bool SavedAs(const String& File, Integer Side = 128) {
  TLumerakIO io;
  Noise(*io.GetLKBitmap(), Side, Side);
  io.GetIOParams()->PDF_COMPRESSION = ioPDF_UNCOMPRESSED;
  io.SaveToFile(File);
  return io.GetAborted();
}

struct Road {
  const char* Name;
  const char* Ext;
  std::string Old;  // what the file holds before ("" : plain bytes)
  // Runs the replacement; returns true when it reported a failure through
  // a flag (an exception counts as reported too).
  std::function<bool(const String&)> Run;
  rlim_t Limit = kLimit;  // the room on the disk
};

TEST(ReplaceFile, EveryRoadKeepsTheOldFileWhenTheDiskFills) {
  const std::vector<Road> roads = {
      {"row save", ".bmp", "", [](const String& f) { return SavedAs(f); }},
      {"PostScript save", ".ps", "", [](const String& f) { return SavedAs(f); }},
      {"PDF save", ".pdf", "", [](const String& f) { return SavedAs(f); }},
      {"DCX page insertion", ".dcx", Small(".dcx"), [](const String& f) { return SavedAs(f); }},
      {"TIFF page insertion", ".tif", Small(".tif"), [](const String& f) {
         TLumerakIO io;
         Noise(*io.GetLKBitmap(), 128, 128);
         io.InsertToFileTIFF(f);
         return io.GetAborted();
       }},
      {"GIF frame insertion", ".gif", Small(".gif"), [](const String& f) {
         TLumerakIO io;
         Noise(*io.GetLKBitmap(), 256, 256);
         io.InsertToFileGIF(f);
         return io.GetAborted();
       }},
      {"PostScript document", ".ps", "", [](const String& f) {
         TLumerakIO io;
         Noise(*io.GetLKBitmap(), 128, 128);
         io.CreatePSFile(f);
         io.SaveToPS();
         const bool pageFailed = io.GetAborted();
         io.ClosePSFile();
         return pageFailed || io.GetAborted();
       }},
      {"TIFF tag editor", ".tif", Small(".tif"), [](const String& f) {
         TLKTIFFHandler h;
         if (!h.ReadFile(f)) return false;
         const std::vector<Byte> big(kLimit * 2, 7);
         h.SetValueRAW(0, 65000, 7, Integer(big.size()), big.data());
         h.WriteFile(f);
         return false;
       }},
      {"layers file", ".lyr", "", [](const String& f) {
         TLumerakView view;
         Noise(*view.GetLKBitmap(), 128, 128);
         view.LayersAdd();
         view.LayersSaveToFile(f, -1);
         return false;
       }},
      {"parameter record", ".prm", "", [](const String& f) {
         TIOParamsVals p(nullptr);
         p.SaveToFile(f);
         return false;
       }, 64},
      {"string list", ".txt", "", [](const String& f) {
         TStringList l;
         for (int i = 0; i < 4000; ++i) l.Add("a line of text that fills the disk");
         l.SaveToFile(f);
         return false;
       }},
      {"desktop bitmap", ".bmp", "", [](const String& f) {
         TBitmap b(128, 128, pf24bit);
         b.SaveToFile(f);
         return false;
       }},
  };
  for (const Road& r : roads) {
    TempDir dir;
    const String file = dir.File(String("old") + r.Ext);
    const std::string old = r.Old.empty() ? std::string("OLD FILE") : r.Old;
    WriteAll(file, old);
    bool reported = false;
    {
      FileSizeLimit limit(r.Limit);
      try {
        reported = r.Run(file);
      } catch (const Exception&) {
        reported = true;
      }
    }
    EXPECT_TRUE(reported) << r.Name;
    EXPECT_EQ(ReadAll(file), old) << r.Name;
    EXPECT_EQ(dir.Names().size(), 1u) << r.Name;  // no new file left beside it
  }
}

}  // namespace

namespace {

// A stream that takes Room bytes and then refuses more, as a full disk does.
class TFullStream : public TMemoryStream {
 public:
  explicit TFullStream(Int64 Room) : FRoom(Room) {}
  Integer Write(const void* Buffer, Integer Count) override {
    const Integer n = Integer(std::clamp<Int64>(FRoom - GetPosition(), 0, Count));
    return n > 0 ? TMemoryStream::Write(Buffer, n) : 0;
  }

 private:
  Int64 FRoom;
};

// PostScript, PDF and DCX saves that run out of room report it the way every
// other format does: the abort flag, not an exception.
TEST(ReplaceFile, AStreamThatFillsUpSetsTheFlagForEveryWriter) {
  for (Integer type : {lkftPS, lkftPDF, lkftDCX, lkftBMP, lkftPSD}) {
    TLumerakIO io;
    Noise(*io.GetLKBitmap(), 64, 64);
    TFullStream full(1000);
    EXPECT_NO_THROW(io.SaveToStream(&full, type)) << type;
    EXPECT_TRUE(io.GetAborted()) << type;
  }
}

// Saves report their progress on the way (not only 0 and 100) and stop when
// the flag is set from the progress event; the file is then not written.
TEST(ReplaceFile, SavesReportProgressAndCanBeCancelled) {
  for (const char* ext : {".pdf", ".psd", ".ico", ".ps"}) {
    TempDir dir;
    const String file = dir.File(String("p") + ext);
    for (const bool cancel : {false, true}) {
      TLumerakIO io;
      Noise(*io.GetLKBitmap(), 256, 256);
      io.GetIOParams()->ICO_PageSizes[0] = TSize{256, 256};
      io.GetIOParams()->ICO_PageBitCounts[0] = 24;
      std::vector<Integer> between;
      io.OnProgress = [&](TObject*, Integer per) {
        if (per <= 0 || per >= 100) return;
        between.push_back(per);
        if (cancel) io.SetAborted(true);
      };
      io.SaveToFile(file);
      if (!cancel) {
        EXPECT_FALSE(io.GetAborted()) << ext;
        EXPECT_GE(between.size(), 3u) << ext;
      } else {
        EXPECT_TRUE(io.GetAborted()) << ext;
        EXPECT_EQ(between.size(), 1u) << ext;  // stopped at the first report
        EXPECT_FALSE(std::filesystem::exists(file)) << ext;
      }
      std::filesystem::remove(file);
    }
  }
}

}  // namespace
