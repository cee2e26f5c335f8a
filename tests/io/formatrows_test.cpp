// Tests over every format row: a format joins them by having a row with a
// reader and a writer (and its RoundTripTolerance and HeaderClaiming).
//  - Every row that can write: a picture saved and loaded back through the
//    component comes back at its size, its samples within the row's
//    tolerance.
//  - Every row that can read: hostile inputs (empty, one byte, a truncated
//    header, huge and zero dimensions) fail with the abort flag and the
//    finish, quickly, without sizing a picture past the allocation gate.
//  - Every row with page operations: a file its writer made counts one
//    page, and the page operations it offers (insert, delete, extract) keep
//    the count right.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

constexpr Int64 kLimit = Int64{64} << 20;

struct GateLimit {
  GateLimit() { LKSetAllocationLimit(kLimit); }
  ~GateLimit() { LKSetAllocationLimit(0); }
};

// Rows of registered formats whose codec exists.
std::vector<const TLKFormatRow*> RowsWith(bool NeedWrite) {
  std::vector<const TLKFormatRow*> rows;
  for (const TLKFormatRow& r : LKFormatRows())
    if (r.Registered && r.Read && (!NeedWrite || r.Write)) rows.push_back(&r);
  return rows;
}

// A 37 x 23 picture: smooth gradients, so lossy formats keep it well.
void Gradient(TLKBitmap& B) {
  B.Allocate(37, 23, lk24RGB);
  for (Integer y = 0; y < 23; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < 37; ++x) {
      row[3 * x] = Byte(x * 6);
      row[3 * x + 1] = Byte(y * 10);
      row[3 * x + 2] = Byte(128 + x * 2 - y * 3);
    }
  }
}

Integer MaxDifference(TLKBitmap& A, TLKBitmap& B) {
  TLKBitmap a, b;
  a.Assign(&A);
  b.Assign(&B);
  a.SetPixelFormat(lk24RGB);
  b.SetPixelFormat(lk24RGB);
  Integer worst = 0;
  for (Integer y = 0; y < a.GetHeight(); ++y) {
    const auto* p = static_cast<const Byte*>(a.GetScanLine(y));
    const auto* q = static_cast<const Byte*>(b.GetScanLine(y));
    for (Integer x = 0; x < a.GetWidth() * 3; ++x) worst = std::max(worst, Integer(std::abs(p[x] - q[x])));
  }
  return worst;
}

TEST(FormatRows, EveryWriterRoundTripsThroughItsReader) {
  FreshRegistry registry;
  const auto rows = RowsWith(true);
  EXPECT_FALSE(rows.empty());
  for (const TLKFormatRow* row : rows) {
    SCOPED_TRACE(row->Name);
    TLumerakIO out;
    Gradient(*out.GetLKBitmap());
    TLKBitmap original;
    original.Assign(out.GetLKBitmap());
    TMemoryStream s;
    out.SaveToStream(&s, row->Type);
    EXPECT_FALSE(out.GetAborted()) << out.GetAbortReason();
    if (out.GetAborted()) continue;
    s.Seek(0, soBeginning);
    TLumerakIO in;
    in.LoadFromStreamFormat(&s, row->Type);
    EXPECT_FALSE(in.GetAborted()) << in.GetAbortReason();
    if (in.GetAborted()) continue;
    TLKBitmap& back = *in.GetLKBitmap();
    EXPECT_EQ(in.GetIOParams()->FILETYPE, row->Type);
    if (row->RoundTripResizes) continue;
    EXPECT_EQ(back.GetWidth(), 37);
    EXPECT_EQ(back.GetHeight(), 23);
    if (back.GetWidth() != 37 || back.GetHeight() != 23) continue;
    if (row->RoundTripTolerance >= 0) EXPECT_LE(MaxDifference(original, back), row->RoundTripTolerance);
  }
}

TEST(FormatRows, EveryReaderRefusesHostileHeaders) {
  FreshRegistry registry;
  GateLimit limit;
  const auto rows = RowsWith(false);
  EXPECT_FALSE(rows.empty());
  for (const TLKFormatRow* row : rows) {
    std::vector<std::pair<const char*, std::vector<Byte>>> inputs = {{"empty", {}}, {"one byte", {0xFF}}};
    if (row->HeaderClaiming) {
      std::vector<Byte> file;
      row->HeaderClaiming(64, 48, file);
      inputs.push_back({"truncated header", std::vector<Byte>(file.begin(), file.begin() + file.size() / 2)});
      row->HeaderClaiming(65500, 65500, file);
      inputs.push_back({"huge dimensions", file});
      row->HeaderClaiming(0, 0, file);
      inputs.push_back({"zero dimensions", file});
    }
    for (const auto& [name, bytes] : inputs) {
      SCOPED_TRACE(std::string(row->Name) + " / " + name);
      TMemoryStream s;
      if (!bytes.empty()) s.WriteBuffer(bytes.data(), Integer(bytes.size()));
      s.Seek(0, soBeginning);
      TLumerakIO io;
      Recorder rec(io);
      io.LoadFromStreamFormat(&s, row->Type);
      EXPECT_TRUE(io.GetAborted());
      EXPECT_EQ(rec.Finishes, 1);
      TLKBitmap* b = io.GetLKBitmap();
      EXPECT_LE(LKPictureBytes(b->GetWidth(), b->GetHeight(), 24), kLimit);
    }
  }
}

// The page operations run straight on the file's bytes, as the page
// routines of the component and the multi-page files do.
TEST(FormatRows, EveryMultiPageFormatCountsInsertsDeletesAndExtractsPages) {
  FreshRegistry registry;
  int formats = 0;
  for (const TLKFormatRow& row : LKFormatRows()) {
    if (!row.Pages || !row.Write) continue;
    SCOPED_TRACE(row.Name);
    ++formats;
    const TLKPageOps& ops = *row.Pages;
    ASSERT_NE(ops.Count, nullptr);
    TLumerakIO io;
    Gradient(*io.GetLKBitmap());
    TMemoryStream file;
    io.SaveToStream(&file, row.Type);
    ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
    file.Seek(0, soBeginning);
    EXPECT_EQ(ops.Count(file), 1);
    Integer pages = 1;
    const TLKFormatJobProc insert = ops.SaveInserts ? row.Write : ops.Insert;
    if (insert) {
      TProgressRec pr = lkio::MakeSilentProgress(io);
      io.GetIOParams()->SetImageIndex(1);
      TLKFormatJob job(row, file, io.GetLKBitmap(), *io.GetIOParams(), pr, false);
      file.Seek(0, soBeginning);
      insert(job);
      ASSERT_FALSE(io.GetAborted()) << io.GetAbortReason();
      file.Seek(0, soBeginning);
      EXPECT_EQ(ops.Count(file), ++pages);
    }
    if (ops.Extract) {
      TMemoryStream one;
      file.Seek(0, soBeginning);
      EXPECT_TRUE(ops.Extract(file, pages - 1, one));
      // A picture file of its own (DCX pages come out as PCX files).
      one.Seek(0, soBeginning);
      TLumerakIO back;
      back.LoadFromStream(&one);
      EXPECT_FALSE(back.GetAborted()) << back.GetAbortReason();
      EXPECT_EQ(back.GetLKBitmap()->GetWidth(), 37);
      TMemoryStream none;
      EXPECT_FALSE(ops.Extract(file, pages, none));  // past the last page
    }
    if (ops.Delete && pages > 1) {
      file.Seek(0, soBeginning);
      EXPECT_EQ(ops.Delete(file, 0), pages - 1);
      file.Seek(0, soBeginning);
      EXPECT_EQ(ops.Count(file), pages - 1);
    }
  }
  EXPECT_GE(formats, 3);  // TIFF, GIF, DCX at least
}

}  // namespace
