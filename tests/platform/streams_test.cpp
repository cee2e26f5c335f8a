#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "platform/classes.h"

namespace {

// A fresh folder per test, removed afterwards.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/pcore-streams-XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::vector<Byte> Pattern(std::size_t n) {
  std::vector<Byte> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<Byte>(i * 7 + 3);
  return v;
}

// The same seek/read/size rules hold for every stream kind.
enum class Kind { Memory, String, File };

struct StreamCase {
  Kind kind;
  std::unique_ptr<TStream> stream;
};

class AnyStreamTest : public ::testing::TestWithParam<Kind> {
 protected:
  std::unique_ptr<TStream> Make() {
    switch (GetParam()) {
      case Kind::Memory: return std::make_unique<TMemoryStream>();
      case Kind::String: return std::make_unique<TStringStream>();
      case Kind::File: return std::make_unique<TFileStream>(dir_.File("s.bin"), fmCreate);
    }
    return nullptr;
  }
  TempDir dir_;
};

TEST_P(AnyStreamTest, SeekOriginsReadsAndSizes) {
  auto s = Make();
  auto data = Pattern(100);
  s->WriteBuffer(data.data(), 100);
  EXPECT_EQ(s->GetSize(), 100);
  EXPECT_EQ(s->GetPosition(), 100);

  // From the end: size + offset.
  EXPECT_EQ(s->Seek(-10, soEnd), 90);
  EXPECT_EQ(s->Seek(0, soFromEnd), 100);
  EXPECT_EQ(s->Seek(-5, soCurrent), 95);
  EXPECT_EQ(s->Seek(3, soFromBeginning), 3);

  // A short read at the end returns what is there.
  Byte buf[20] = {};
  s->SetPosition(90);
  EXPECT_EQ(s->Read(buf, 20), 10);
  EXPECT_EQ(buf[0], data[90]);
  EXPECT_EQ(buf[9], data[99]);
  EXPECT_EQ(s->Read(buf, 20), 0);

  // ReadBuffer raises on a short read.
  s->SetPosition(95);
  try {
    s->ReadBuffer(buf, 10);
    FAIL() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }

  // Seeking past the end is allowed, reading there gives nothing, writing
  // there extends the stream.
  EXPECT_EQ(s->Seek(150, soBeginning), 150);
  EXPECT_EQ(s->Read(buf, 1), 0);
  EXPECT_EQ(s->GetSize(), 100);
  Byte one = 0xAB;
  s->WriteBuffer(&one, 1);
  EXPECT_EQ(s->GetSize(), 151);
  s->SetPosition(120);
  s->ReadBuffer(buf, 1);
  EXPECT_EQ(buf[0], 0);  // the gap reads as zeros

  // SetSize shrinks (clipping the position) and grows.
  s->SetPosition(140);
  s->SetSize(50);
  EXPECT_EQ(s->GetSize(), 50);
  EXPECT_LE(s->GetPosition(), 50);
  s->SetSize(80);
  EXPECT_EQ(s->GetSize(), 80);
  s->SetPosition(49);
  s->ReadBuffer(buf, 2);
  EXPECT_EQ(buf[0], data[49]);
  EXPECT_EQ(buf[1], 0);
}

TEST_P(AnyStreamTest, CopyFromWholeSourceAndCount) {
  auto data = Pattern(200000);  // larger than one copy buffer
  TMemoryStream src;
  src.WriteBuffer(data.data(), static_cast<Int64>(data.size()));

  auto dst = Make();
  // Count 0 copies the whole source from its start, wherever it stands.
  src.SetPosition(500);
  EXPECT_EQ(dst->CopyFrom(&src, 0), 200000);
  EXPECT_EQ(dst->GetSize(), 200000);
  // A counted copy starts at the source's position.
  src.SetPosition(10);
  EXPECT_EQ(dst->CopyFrom(&src, 5), 5);
  std::vector<Byte> back(200005);
  dst->SetPosition(0);
  dst->ReadBuffer(back.data(), 200005);
  EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
  EXPECT_TRUE(std::equal(back.begin() + 200000, back.end(), data.begin() + 10));
  // More than the source holds raises, as does a negative count.
  src.SetPosition(199990);
  EXPECT_THROW(dst->CopyFrom(&src, 11), EReadError);
  EXPECT_THROW(dst->CopyFrom(&src, -1), EReadError);
}

INSTANTIATE_TEST_SUITE_P(Kinds, AnyStreamTest,
                         ::testing::Values(Kind::Memory, Kind::String, Kind::File),
                         [](const auto& info) {
                           switch (info.param) {
                             case Kind::Memory: return std::string("Memory");
                             case Kind::String: return std::string("String");
                             case Kind::File: return std::string("File");
                           }
                           return std::string("Unknown");
                         });

// A stream over a fixed outside block, as the library's wrappers build.
class FixedStream : public TCustomMemoryStream {
 public:
  FixedStream(void* p, Int64 n) { SetPointer(p, n); }
  Integer Write(const void* Buffer, Integer Count) override {
    Int64 n = std::min<Int64>(Count, FSize - FPosition);
    if (n <= 0 || FPosition < 0) return 0;
    std::memcpy(static_cast<Byte*>(FMemory) + FPosition, Buffer, static_cast<std::size_t>(n));
    FPosition += n;
    return static_cast<Integer>(n);
  }
};

// Writing past a block that cannot grow comes up short.
TEST(StreamTest, WriteBufferRaisesOnShortWrite) {
  Byte block[8] = {};
  FixedStream s(block, 8);
  Byte src[10] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  try {
    s.WriteBuffer(src, 10);
    FAIL() << "no exception";
  } catch (const EWriteError& e) {
    EXPECT_STREQ(e.what(), "Stream write error");
  }
  EXPECT_EQ(block[7], 8);
}

TEST(StreamTest, MemoryStreamWrapsOutsideMemoryAndSaves) {
  TempDir dir;
  char block[] = "hello";
  {
    FixedStream s(block, 5);
    EXPECT_EQ(s.GetSize(), 5);
    TStringStream out;
    s.SaveToStream(&out);
    EXPECT_EQ(out.DataString(), "hello");
  }
  EXPECT_EQ(std::string(block), "hello");  // the outside block is left alone

  TMemoryStream m;
  m.WriteBuffer("abc", 3);
  m.SaveToFile(dir.File("m.bin"));
  TMemoryStream loaded;
  loaded.LoadFromFile(dir.File("m.bin"));
  ASSERT_EQ(loaded.GetSize(), 3);
  EXPECT_EQ(std::string(static_cast<char*>(loaded.Memory()), 3), "abc");
  EXPECT_EQ(loaded.GetPosition(), 0);
  loaded.Clear();
  EXPECT_EQ(loaded.GetSize(), 0);
  EXPECT_EQ(loaded.Memory(), nullptr);
}

TEST(StreamTest, MemoryStreamLoadAndCapacity) {
  // A source that promises more than it holds: the load fails cleanly and
  // leaves an empty stream, not a half-filled block.
  class LyingStream : public TStringStream {
   public:
    using TStringStream::TStringStream;
    Int64 GetSize() override { return 1000; }
  };
  LyingStream src("short");
  TMemoryStream m;
  m.WriteBuffer("old", 3);
  EXPECT_THROW(m.LoadFromStream(&src), EReadError);
  EXPECT_EQ(m.GetSize(), 0);
  EXPECT_EQ(m.GetPosition(), 0);

  std::vector<Byte> big(1 << 20, 7);
  m.WriteBuffer(big.data(), static_cast<Int64>(big.size()));
  EXPECT_GE(m.GetCapacity(), 1 << 20);
  m.SetSize(10);  // shrinking gives the room back
  EXPECT_LT(m.GetCapacity(), 1 << 20);
  EXPECT_EQ(static_cast<Byte*>(m.Memory())[9], 7);
}

TEST(StreamTest, StringStreamKeepsTailOnMiddleWrite) {
  TStringStream s("abcdef");
  s.SetPosition(2);
  s.WriteString("XY");
  EXPECT_EQ(s.DataString(), "abXYef");
  s.SetPosition(4);
  EXPECT_EQ(s.ReadString(10), "ef");
}

TEST(FileStreamTest, OpenAndCreateErrorsNameFileAndReason) {
  TempDir dir;
  const std::string missing = dir.File("nope.bin");
  try {
    TFileStream f(missing, fmOpenRead | fmShareDenyWrite);
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "Cannot open file \"" + missing + "\". No such file or directory");
  }
  const std::string bad = dir.File("no/such/folder.bin");
  try {
    TFileStream f(bad, fmCreate);
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_EQ(e.Message(), "Cannot create file \"" + bad + "\". No such file or directory");
  }
  // A folder opens on Linux but cannot be read: refuse it up front.
  EXPECT_THROW(TFileStream(dir.File(""), fmOpenRead), EFOpenError);
}

TEST(FileStreamTest, ModesReadWriteAndTruncate) {
  TempDir dir;
  const std::string name = dir.File("m.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("0123456789", 10);
  }
  {
    TFileStream f(name, fmOpenRead);
    EXPECT_EQ(f.GetSize(), 10);
    EXPECT_EQ(f.Write("x", 1), 0);  // read-only
  }
  {
    TFileStream f(name, fmOpenReadWrite | fmShareExclusive);
    f.SetPosition(5);
    f.WriteBuffer("ab", 2);
  }
  {
    TFileStream f(name, fmOpenWrite);
    char c;
    EXPECT_EQ(f.Read(&c, 1), 0);  // write-only
  }
  TStringStream all;
  {
    TFileStream f(name, fmOpenRead);
    all.CopyFrom(&f, 0);
  }
  EXPECT_EQ(all.DataString(), "01234ab789");
  {
    TFileStream f(name, fmCreate);  // empties an existing file
    EXPECT_EQ(f.GetSize(), 0);
  }
}

TEST(FileStreamTest, PositionsAndSizesPast4GiB) {
  TempDir dir;
  const Int64 five = Int64{5} << 30;
  TFileStream f(dir.File("big.bin"), fmCreate);
  EXPECT_EQ(f.Seek(five, soBeginning), five);
  EXPECT_EQ(f.GetPosition(), five);
  Byte b = 0x5A;
  f.WriteBuffer(&b, 1);  // sparse: only one block is written
  EXPECT_EQ(f.GetPosition(), five + 1);
  EXPECT_EQ(f.GetSize(), five + 1);
  EXPECT_EQ(f.Seek(-1, soEnd), five);
  Byte r = 0;
  f.ReadBuffer(&r, 1);
  EXPECT_EQ(r, 0x5A);
  f.SetSize(five - 10);
  EXPECT_EQ(f.GetSize(), five - 10);
  EXPECT_EQ(f.GetPosition(), five - 10);

  // Memory streams keep 64-bit positions without allocating.
  TMemoryStream m;
  EXPECT_EQ(m.Seek(five, soBeginning), five);
  EXPECT_EQ(m.Seek(five, soCurrent), 2 * five);
  EXPECT_EQ(m.GetSize(), 0);
  // An overflowing seek is refused and leaves the position alone.
  EXPECT_EQ(m.Seek(INT64_MAX, soCurrent), -1);
  EXPECT_EQ(m.GetPosition(), 2 * five);
}

TEST(FileStreamTest, HandleStreamLeavesDescriptorOpen) {
  TempDir dir;
  int fd = ::open(dir.File("h.bin").c_str(), O_RDWR | O_CREAT, 0600);
  ASSERT_GE(fd, 0);
  {
    THandleStream h(fd);
    h.WriteBuffer("xyz", 3);
    EXPECT_EQ(h.GetSize(), 3);
  }
  EXPECT_EQ(::lseek(fd, 0, SEEK_END), 3);  // still open
  ::close(fd);

  // A pipe has no size and no position: a whole-source copy refuses it.
  int p[2];
  ASSERT_EQ(::pipe(p), 0);
  ASSERT_EQ(::write(p[1], "ab", 2), 2);
  ::close(p[1]);
  THandleStream pipe(p[0]);
  EXPECT_EQ(pipe.GetSize(), -1);
  TMemoryStream m;
  EXPECT_THROW(m.CopyFrom(&pipe, 0), EReadError);
  char buf[4];
  EXPECT_EQ(pipe.Read(buf, 4), 2);  // reads stop at the end of the data
  ::close(p[0]);
}

}  // namespace
