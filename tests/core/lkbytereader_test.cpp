// The bounded byte reader over both inputs, and the allocation gate.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/statvfs.h>

#include <functional>
#include <memory>

#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbytereader.h"
#include "core/lkfilebuffer.h"
#include "platform/classes.h"

namespace {

const Byte kBytes[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};

// The same checks over a memory block and over a stream that starts two
// bytes in (the reader's 0 is the stream's position when it was made).
struct Input {
  const char* Name;
  std::function<std::unique_ptr<TLKByteReader>(TMemoryStream&)> Make;
};

const Input kInputs[] = {
    {"memory", [](TMemoryStream&) { return std::make_unique<TLKByteReader>(kBytes, sizeof kBytes); }},
    {"stream",
     [](TMemoryStream& s) {
       s.WriteBuffer("xy", 2);
       s.WriteBuffer(kBytes, sizeof kBytes);
       s.Seek(2, soBeginning);
       return std::make_unique<TLKByteReader>(s);
     }},
};

TEST(ByteReader, ReadsBothByteOrdersAndFailsStickilyAtTheEnd) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.Name);
    TMemoryStream s;
    auto r = in.Make(s);
    EXPECT_EQ(r->Size(), 6);
    EXPECT_EQ(r->U16LE(), 0x0201);
    EXPECT_EQ(r->U16BE(), 0x0304);
    EXPECT_EQ(r->Remaining(), 2);
    EXPECT_TRUE(r->Ok());
    // Four bytes asked, two there: the value is 0, the reader fails
    // and stays failed; the cursor stops at the end.
    EXPECT_EQ(r->U32LE(), 0u);
    EXPECT_TRUE(r->Failed());
    EXPECT_EQ(r->Remaining(), 0);
    EXPECT_TRUE(r->Seek(0));
    EXPECT_EQ(r->U8(), 1);
    EXPECT_TRUE(r->Failed());
  }
}

TEST(ByteReader, ReadsAtAnOffsetLeaveTheCursorAndNeverPassTheEnd) {
  for (const Input& in : kInputs) {
    SCOPED_TRACE(in.Name);
    TMemoryStream s;
    auto r = in.Make(s);
    r->Skip(1);
    EXPECT_EQ(r->U32BEAt(2), 0x03040506u);
    EXPECT_EQ(r->U32LEAt(0), 0x04030201u);
    EXPECT_EQ(r->Position(), 1);
    EXPECT_TRUE(r->Ok());
    Byte buf[4] = {9, 9, 9, 9};
    EXPECT_FALSE(r->PeekAt(4, buf, 4));
    EXPECT_EQ(buf[0], 5);
    EXPECT_EQ(buf[2], 0);
    EXPECT_EQ(r->U16LEAt(-1), 0);
    EXPECT_EQ(r->U16LEAt(Int64{1} << 62), 0);
    EXPECT_TRUE(r->Failed());
    EXPECT_EQ(r->Position(), 1);
  }
}

TEST(ByteReader, SeeksAndSkipsOutsideTheInputFail) {
  TLKByteReader r(kBytes, sizeof kBytes);
  EXPECT_TRUE(r.Seek(6));
  EXPECT_EQ(r.Remaining(), 0);
  EXPECT_TRUE(r.Ok());
  EXPECT_TRUE(r.Seek(2));
  EXPECT_FALSE(r.Skip(5));
  EXPECT_TRUE(r.Failed());
  TLKByteReader neg(kBytes, sizeof kBytes);
  EXPECT_FALSE(neg.Seek(-1));
  TLKByteReader back(kBytes, sizeof kBytes);
  EXPECT_FALSE(back.Skip(-1));
}

TEST(ByteReader, ALengthBoundsAStreamReader) {
  TMemoryStream s;
  s.WriteBuffer(kBytes, sizeof kBytes);
  s.Seek(0, soBeginning);
  TLKByteReader r(s, 3);
  EXPECT_EQ(r.Size(), 3);
  Byte buf[4];
  EXPECT_EQ(r.ReadSome(buf, 4), 3u);
  EXPECT_TRUE(r.Ok());
  // The stream stands after what was read: a new reader starts there.
  TLKByteReader longer(s, 100);
  EXPECT_EQ(longer.Size(), 3);
  EXPECT_EQ(longer.U8(), 4);
}

// ---------------------------------------------------------------------------
// The allocation gate

struct GateProgress {
  std::atomic<bool> Flag{false};
  TLKAbortNote Note;
  TProgressRec Rec;
  GateProgress() {
    Rec.AbortFlag = &Flag;
    Rec.AbortNote = &Note;
  }
};

struct LimitGuard {
  ~LimitGuard() { LKSetAllocationLimit(0); }
};

TEST(AllocationGate, RefusesWhatPassesTheLimitTheFormatOrTheInput) {
  LimitGuard guard;
  LKSetAllocationLimit(Int64{1} << 20);  // 1 MiB
  struct Case {
    const char* Name;
    TLKPictureRequest Request;
    bool Allowed;
  } cases[] = {
      {"fits", {512, 512, 24, 0, 0, -1}, true},
      {"past the limit", {1024, 1024, 24, 0, 0, -1}, false},
      {"65500 square", {65500, 65500, 24, 0, 0, -1}, false},
      {"no width", {0, 10, 8, 0, 0, -1}, false},
      {"negative height", {10, -1, 8, 0, 0, -1}, false},
      {"past the format's side", {300, 2, 8, 256, 0, -1}, false},
      {"input too short", {100, 100, 8, 0, 10000, 659}, false},
      {"input long enough", {100, 100, 8, 0, 10000, 10000}, true},
      {"wrapping product", {Int64{1} << 40, Int64{1} << 40, 32, 0, 0, -1}, false},
      {"picture and working memory fit", {256, 256, 24, 0, 0, -1, false, 500000}, true},
      {"working memory pushes it past", {512, 512, 24, 0, 0, -1, false, 400000}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    GateProgress pr;
    EXPECT_EQ(LKAllowPicture(c.Request, pr.Rec, "Test"), c.Allowed);
    EXPECT_EQ(pr.Flag.load(), !c.Allowed);
    EXPECT_EQ(pr.Note.Get().empty(), c.Allowed);
    if (!c.Allowed) {
      EXPECT_EQ(pr.Note.Get().rfind("Test of ", 0), 0u) << pr.Note.Get();
    }
  }
}

TEST(AllocationGate, TheDefaultHonoursTheFileSizeLimitAndASetLimitReturnsToIt) {
  LimitGuard guard;
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit lower = old;
  lower.rlim_cur = rlim_t(512) << 20;
  if (old.rlim_max != RLIM_INFINITY && old.rlim_max < lower.rlim_cur) lower.rlim_cur = old.rlim_max;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lower), 0);
  const Int64 limit = LKDefaultAllocationLimit();
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_LE(limit, Int64(lower.rlim_cur));
  EXPECT_GT(limit, 0);

  // Unset, one picture may take half of memory, or half of the temporary
  // folder's free space once it lives in a file; never both added up.
  const Int64 physical = LKPhysicalMemory();
  EXPECT_LE(LKMemoryAllocationLimit(), physical / 2);
  EXPECT_GE(LKDefaultAllocationLimit(), std::min(LKMemoryAllocationLimit(), physical / 2));
  struct statvfs st {};
  ASSERT_EQ(statvfs(LKTempFolder().c_str(), &st), 0);
  const Int64 tempFree = Int64(st.f_bavail) * Int64(st.f_frsize ? st.f_frsize : st.f_bsize);
  const Int64 slack = Int64{1} << 30;  // other programs write to the same disk
  EXPECT_LE(LKDefaultAllocationLimit(), std::max(physical / 2, tempFree / 2) + slack);
  GateProgress big;
  TLKPictureRequest inMemory{20000, 20000, 32, 0, 0, -1, true};
  inMemory.Width = std::min<Int64>(physical / 2 / 20000 / 4 + 100, Int64{1} << 30);
  EXPECT_FALSE(LKAllowPicture(inMemory, big.Rec, "Test"));

  LKSetAllocationLimit(4096);
  EXPECT_EQ(LKAllocationLimit(), 4096);
  LKSetAllocationLimit(0);
  EXPECT_GT(LKAllocationLimit(), 4096);
  EXPECT_EQ(LKPictureBytes(3, 2, 24), 24);  // rows of 9 bytes padded to 12
}

}  // namespace
