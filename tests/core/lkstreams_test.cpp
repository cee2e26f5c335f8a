#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <limits>
#include <locale>
#include <numeric>
#include <random>
#include <vector>

#include "core/lkstreams.h"

namespace {

// A memory stream that counts the reads made on it, and can claim a larger
// size than it holds or hand out its bytes in small pieces.
class ProbeStream : public TMemoryStream {
 public:
  explicit ProbeStream(Integer n, Int64 claimedExtra = 0, Integer maxPiece = 0)
      : claimedExtra_(claimedExtra), maxPiece_(maxPiece) {
    for (Integer i = 0; i < n; ++i) {
      const Byte b = static_cast<Byte>(i);
      Write(&b, 1);
    }
    Seek(0, soBeginning);
  }
  Integer Read(void* Buffer, Integer Count) override {
    ++reads;
    if (maxPiece_ > 0) Count = std::min(Count, maxPiece_);
    return TMemoryStream::Read(Buffer, Count);
  }
  Int64 GetSize() override { return TMemoryStream::GetSize() + claimedExtra_; }
  int reads = 0;

 private:
  Int64 claimedExtra_;
  Integer maxPiece_;
};

std::vector<Byte> ReadBytes(TStream& s, Integer n) {
  std::vector<Byte> out(static_cast<std::size_t>(std::max(n, 0)) + 8, 0xEE);
  const Integer got = s.Read(out.data(), n);
  out.resize(static_cast<std::size_t>(std::max(got, 0)));
  return out;
}

std::vector<Byte> Range(int from, int to) {  // from .. to - 1
  std::vector<Byte> v;
  for (int i = from; i < to; ++i) v.push_back(static_cast<Byte>(i));
  return v;
}

TEST(LKBufferedReadStreamTest, StartsAtSourcePositionAndSeeksBackwardsFromEnd) {
  ProbeStream src(10);
  src.Seek(2, soBeginning);
  TLKBufferedReadStream s(&src, 4);
  EXPECT_EQ(s.GetPosition(), 2);
  EXPECT_EQ(s.GetSize(), 10);
  EXPECT_EQ(ReadBytes(s, 3), Range(2, 5));
  EXPECT_EQ(s.Seek(0, soEnd), 10);
  EXPECT_TRUE(ReadBytes(s, 5).empty());
  EXPECT_EQ(s.Seek(3, soEnd), 7);  // counts backwards from the end
  EXPECT_EQ(ReadBytes(s, 10), Range(7, 10));
  EXPECT_EQ(s.Seek(-4, soCurrent), 6);
  EXPECT_EQ(ReadBytes(s, 2), Range(6, 8));
  EXPECT_EQ(s.Seek(5, static_cast<TSeekOrigin>(7)), 8);  // unknown origin keeps the position
}

TEST(LKBufferedReadStreamTest, RandomReadsAndSeeksMatchTheSource) {
  // Every buffer size against reads and seeks that start, end and span
  // buffer boundaries, checked byte for byte against the source.
  constexpr Integer kSize = 300;
  std::mt19937 rng(12345);
  for (Integer bufferSize : {1, 2, 3, 7, 8, 16, 100, 299, 300, 301, 4096}) {
    ProbeStream src(kSize);
    TLKBufferedReadStream s(&src, bufferSize);
    Int64 pos = 0;
    for (int step = 0; step < 400; ++step) {
      const int op = static_cast<int>(rng() % 4);
      if (op == 0) {
        const Int64 to = static_cast<Int64>(rng() % (kSize + 20)) - 10;
        ASSERT_EQ(s.Seek(to, soBeginning), to);
        pos = to;
      } else if (op == 1) {
        const Int64 by = static_cast<Int64>(rng() % 41) - 20;
        ASSERT_EQ(s.Seek(by, soCurrent), pos + by);
        pos += by;
      } else {
        const Integer n = static_cast<Integer>(rng() % (2 * bufferSize + 5));
        const std::vector<Byte> got = ReadBytes(s, n);
        std::vector<Byte> want;
        if (pos >= 0)
          for (Int64 p = pos; p < std::min<Int64>(pos + n, kSize); ++p) want.push_back(static_cast<Byte>(p));
        ASSERT_EQ(got, want) << "buffer " << bufferSize << " step " << step << " pos " << pos << " n " << n;
        pos += static_cast<Int64>(want.size());
      }
      ASSERT_EQ(s.GetPosition(), pos);
    }
  }
}

TEST(LKBufferedReadStreamTest, LargeReadGrowsBufferOnlyToWhatRemains) {
  ProbeStream src(50);
  TLKBufferedReadStream s(&src, 8);
  std::vector<Byte> out(100);
  EXPECT_EQ(s.Read(out.data(), 100), 50);
  out.resize(50);
  EXPECT_EQ(out, Range(0, 50));
  // A read asking for more than the source holds does not allocate for it.
  EXPECT_EQ(s.GetBufferSize(), 50);

  s.Seek(45, soBeginning);
  std::vector<Byte> small(16);
  EXPECT_EQ(s.Read(small.data(), std::numeric_limits<Integer>::max()), 5);
  EXPECT_EQ(s.GetBufferSize(), 50);
}

TEST(LKBufferedReadStreamTest, SeeksInsideTheWindowDoNotReload) {
  ProbeStream src(100);
  TLKBufferedReadStream s(&src, 16);
  const int afterCreate = src.reads;
  EXPECT_EQ(ReadBytes(s, 4), Range(0, 4));
  s.Seek(4, soBeginning);  // the current position
  s.Seek(12, soBeginning);
  s.Seek(1, soBeginning);
  EXPECT_EQ(ReadBytes(s, 15), Range(1, 16));
  EXPECT_EQ(src.reads, afterCreate);
  s.Seek(60, soBeginning);  // outside: loaded on the next read
  s.Seek(70, soBeginning);
  EXPECT_EQ(src.reads, afterCreate);
  EXPECT_EQ(ReadBytes(s, 2), Range(70, 72));
  EXPECT_EQ(src.reads, afterCreate + 1);
}

TEST(LKBufferedReadStreamTest, ShortSourceNeverOverReads) {
  // The source claims 40 bytes more than it holds: reads end where the data
  // ends, and nothing stale or uninitialised is handed out.
  ProbeStream claims(60, 40);
  TLKBufferedReadStream s(&claims, 16);
  EXPECT_EQ(ReadBytes(s, 100), Range(0, 60));
  EXPECT_TRUE(ReadBytes(s, 10).empty());

  // A source that hands out at most 3 bytes per call still fills the buffer.
  ProbeStream pieces(50, 0, 3);
  TLKBufferedReadStream p(&pieces, 16);
  EXPECT_EQ(ReadBytes(p, 50), Range(0, 50));

  // An empty source and positions before the start read nothing.
  ProbeStream empty(0);
  TLKBufferedReadStream e(&empty, 8);
  EXPECT_TRUE(ReadBytes(e, 8).empty());
  ProbeStream ten(10);
  TLKBufferedReadStream n(&ten, 4);
  EXPECT_EQ(n.Seek(-3, soBeginning), -3);
  EXPECT_TRUE(ReadBytes(n, 5).empty());
  EXPECT_EQ(n.GetPosition(), -3);
}

TEST(LKBufferedReadStreamTest, RefusesWritesAndBadArguments) {
  ProbeStream src(10);
  TLKBufferedReadStream s(&src, 0);  // raised to one byte: still makes progress
  EXPECT_EQ(s.GetBufferSize(), 1);
  EXPECT_EQ(ReadBytes(s, 10), Range(0, 10));
  Byte b = 0;
  try {
    s.Write(&b, 1);
    FAIL() << "Write did not raise";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TLKBufferedReadStream cannot write!");
  }
  EXPECT_EQ(s.Read(nullptr, 4), 0);
  EXPECT_EQ(s.Read(&b, -1), 0);
  const Int64 before = s.GetPosition();
  EXPECT_EQ(s.Seek(std::numeric_limits<Int64>::max(), soCurrent), -1);
  EXPECT_EQ(s.Seek(std::numeric_limits<Int64>::min(), soEnd), -1);
  EXPECT_EQ(s.GetPosition(), before);
}

TEST(LKBufferedWriteStreamTest, HoldsTheTailUntilFlushSeekOrDestruction) {
  TMemoryStream target;
  const std::vector<Byte> data = Range(0, 10);
  {
    TLKBufferedWriteStream w(&target, 4);
    EXPECT_EQ(w.Write(data.data(), 10), 10);
    EXPECT_EQ(target.GetSize(), 8);
    EXPECT_EQ(w.GetCount(), 2);
    w.FlushData();
    EXPECT_EQ(target.GetSize(), 10);
    EXPECT_EQ(w.Write(data.data(), 3), 3);
    EXPECT_EQ(w.Seek(0, soBeginning), 0);  // flushes, then the target's own seek
    EXPECT_EQ(target.GetSize(), 13);
    EXPECT_EQ(w.Write(data.data() + 5, 1), 1);
  }
  EXPECT_EQ(target.GetSize(), 13);
  const auto* mem = static_cast<const Byte*>(target.GetMemory());
  EXPECT_EQ(mem[0], 5);  // written at the target's new position on destruction
  EXPECT_EQ(mem[10], 0);
  EXPECT_EQ(mem[12], 2);
}

TEST(LKBufferedWriteStreamTest, AnySplitOfWritesGivesTheSameBytes) {
  const std::vector<std::vector<Integer>> splits = {
      {1, 1, 1, 1, 1, 1, 1}, {7}, {3, 4}, {5, 13, 2}, {16}, {17, 0, -3, 1}, {2, 30, 1}};
  for (Integer bufferSize : {1, 4, 5, 16}) {
    for (const auto& split : splits) {
      std::vector<Byte> expected;
      TMemoryStream target;
      {
        TLKBufferedWriteStream w(&target, bufferSize);
        Byte next = 0;
        for (Integer n : split) {
          std::vector<Byte> chunk;
          for (Integer i = 0; i < n; ++i) chunk.push_back(next++);
          EXPECT_EQ(w.Write(chunk.data(), n), std::max(n, 0));
          expected.insert(expected.end(), chunk.begin(), chunk.end());
          EXPECT_EQ(target.GetSize() + w.GetCount(), static_cast<Int64>(expected.size()));
          EXPECT_LT(w.GetCount(), bufferSize);
        }
      }
      const auto* mem = static_cast<const Byte*>(target.GetMemory());
      ASSERT_EQ(target.GetSize(), static_cast<Int64>(expected.size()));
      EXPECT_TRUE(std::equal(expected.begin(), expected.end(), mem)) << "buffer " << bufferSize;
    }
  }
}

// A target that accepts nothing, as a full disc would.
class RefusingStream : public TMemoryStream {
 public:
  Integer Write(const void*, Integer) override { return 0; }
};

TEST(LKBufferedWriteStreamTest, ReportsTargetFailuresAndRefusesReads) {
  RefusingStream target;
  TLKBufferedWriteStream w(&target, 4);
  const std::vector<Byte> data = Range(0, 10);
  EXPECT_EQ(w.Write(data.data(), 2), 2);
  EXPECT_THROW(w.FlushData(), EWriteError);  // a lost write is not a success
  EXPECT_EQ(w.GetCount(), 0);
  EXPECT_THROW(w.Write(data.data(), 10), EWriteError);
  Byte b;
  try {
    w.Read(&b, 1);
    FAIL() << "Read did not raise";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "TLKBufferedWriteStream cannot read!");
  }
}

struct SortProbe {
  std::vector<int> items;
  bool inRange = true;
  int compares = 0, swaps = 0;
  TLKCompareFunction Compare() {
    return [this](Integer a, Integer b) {
      ++compares;
      Check(a), Check(b);
      if (!inRange) return 0;
      return items[a] < items[b] ? -1 : items[a] > items[b] ? 1 : 0;
    };
  }
  TLKSwapFunction Swap() {
    return [this](Integer a, Integer b) {
      ++swaps;
      Check(a), Check(b);
      if (inRange) std::swap(items[a], items[b]);
    };
  }
  void Check(Integer i) {
    if (i < 0 || i >= static_cast<Integer>(items.size())) inRange = false;
  }
};

TEST(LKQuickSortTest, CallsForZeroAndOneItem) {
  SortProbe none;
  LKQuickSort(0, none.Compare(), none.Swap());
  LKQuickSort(-5, none.Compare(), none.Swap());
  EXPECT_EQ(none.compares + none.swaps, 0);

  SortProbe one;
  one.items = {42};
  LKQuickSort(1, one.Compare(), one.Swap());
  EXPECT_EQ(one.compares, 2);
  EXPECT_EQ(one.swaps, 1);
}

TEST(LKQuickSortTest, SortsEveryShapeOfInput) {
  // Most of these came out unsorted when the pivot was held by its index
  // instead of following the item.
  std::mt19937 rng(2024);
  std::vector<std::vector<int>> inputs = {{2, 1}, {3, 1, 2}, {1, 1, 1}, {5, 4, 3, 2, 1}, {1, 3, 2, 3, 1}};
  for (int n = 1; n <= 60; ++n)
    for (int trial = 0; trial < 20; ++trial) {
      std::vector<int> v(static_cast<std::size_t>(n));
      for (int& x : v) x = static_cast<int>(rng() % (trial % 2 ? 5 : 1000));
      inputs.push_back(v);
    }
  for (const auto& input : inputs) {
    SortProbe p;
    p.items = input;
    LKQuickSort(static_cast<Integer>(input.size()), p.Compare(), p.Swap());
    ASSERT_TRUE(p.inRange);
    auto expected = input;
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(p.items, expected);
  }
}

TEST(LKQuickSortTest, LargeAndAdversarialInputsStayBoundedAndInRange) {
  const int n = 100000;
  std::vector<std::vector<int>> inputs(4, std::vector<int>(n));
  std::iota(inputs[0].begin(), inputs[0].end(), 0);   // sorted
  std::iota(inputs[1].rbegin(), inputs[1].rend(), 0);  // reversed
  std::fill(inputs[2].begin(), inputs[2].end(), 7);   // all equal
  for (int i = 0; i < n; ++i) inputs[3][i] = (i % 2) ? i : n - i;  // organ pipe
  for (const auto& input : inputs) {
    SortProbe p;
    p.items = input;
    LKQuickSort(n, p.Compare(), p.Swap());
    EXPECT_TRUE(p.inRange);
    EXPECT_TRUE(std::is_sorted(p.items.begin(), p.items.end()));
  }
  // An inconsistent comparison ends and never hands out a foreign index.
  std::mt19937 rng(7);
  SortProbe random;
  random.items.assign(500, 0);
  LKQuickSort(500, [&](Integer a, Integer b) {
    random.Check(a), random.Check(b);
    return static_cast<Integer>(rng() % 3) - 1;
  }, random.Swap());
  EXPECT_TRUE(random.inRange);
}

// Installs a locale whose decimal separator is a comma, for the C library
// (when the system has one) and for C++ streams, and restores both.
class CommaLocale {
 public:
  struct Comma : std::numpunct<char> {
    char do_decimal_point() const override { return ','; }
  };
  CommaLocale() : oldCpp_(std::locale()) {
    oldC_ = std::setlocale(LC_ALL, nullptr);
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "de_DE"})
      if (std::setlocale(LC_ALL, name) != nullptr) break;
    std::locale::global(std::locale(std::locale::classic(), new Comma));
  }
  ~CommaLocale() {
    std::setlocale(LC_ALL, oldC_.c_str());
    std::locale::global(oldCpp_);
  }

 private:
  std::string oldC_;
  std::locale oldCpp_;
};

TEST(LKValueTextTest, FloatToStrTable) {
  const std::pair<long double, const char*> cases[] = {
      {1.5, "1.5"},       {0.6, "0.6"},     {1, "1"},     {2.2, "2.2"},   {-3.25, "-3.25"},
      {0.1 + 0.2, "0.3"}, {100, "100"},     {0, "0"},     {-0.0, "0"},    {12345.678, "12345.678"},
      {1.0 / 3, "0.333333333333333"},       {2.0 / 3, "0.666666666666667"},
      {1e14, "100000000000000"},            {1e15, "1E15"},    {123456789012345678.0L, "1.23456789012346E17"},
      {0.0001, "0.0001"}, {0.00001, "1E-5"}, {1.5e-7, "1.5E-7"}, {-2.5e20, "-2.5E20"}, {1e300, "1E300"},
      {std::numeric_limits<long double>::quiet_NaN(), "NAN"},
      {std::numeric_limits<long double>::infinity(), "INF"},
      {-std::numeric_limits<long double>::infinity(), "-INF"},
  };
  for (const auto& [value, text] : cases) EXPECT_EQ(LKFloatToStr(value), text) << static_cast<double>(value);
}

TEST(LKValueTextTest, TextFormsIgnoreTheLocale) {
  CommaLocale comma;
  EXPECT_EQ(LKFloatToStr(1.5), "1.5");
  EXPECT_EQ(LKFloatToStr(-1234.5e-10), "-1.2345E-7");
  EXPECT_EQ(LKrgb2str(TRGB{3, 2, 1}), "1,2,3");
  EXPECT_EQ(LKstr2rgb(" 10 , 20 , 30 "), (TRGB{30, 20, 10}));
}

TEST(LKValueTextTest, ColourAndBooleanText) {
  EXPECT_EQ(LKrgb2str(TRGB{0, 128, 255}), "255,128,0");  // blue, green, red fields
  EXPECT_EQ(LKrgb2str(TRGB{255, 255, 255}), "255,255,255");

  struct Case { const char* text; TRGB expected; };
  const TRGB start{7, 8, 9};  // b, g, r
  const Case cases[] = {
      {" 10 , 20 , 30 ", {30, 20, 10}},
      {"10,x,30", {30, 0, 10}},            // a part that is no number counts 0
      {"10,20", {7, 20, 10}},              // blue has no part and keeps its value
      {"1,2,3,4,5", {3, 2, 1}},            // parts beyond the third are ignored
      {"256,-1,511", {255, 255, 0}},       // low byte of each
      {"+5,+-5,99999999999", {0, 0, 5}},   // not integers: 0
      {"", {7, 8, 0}},
      {",,", {0, 0, 0}},
  };
  for (const auto& c : cases) {
    TRGB colour = start;
    LKstr2rgb(c.text, colour);
    EXPECT_EQ(colour, c.expected) << '"' << c.text << '"';
  }
  EXPECT_EQ(LKstr2rgb("10,20"), (TRGB{0, 20, 10}));  // from black: missing parts are 0

  const std::pair<const char*, bool> bools[] = {{"1", true},   {"TRUE", true}, {"true", true}, {"t", true},
                                                {"T", true},   {"yes", false}, {"0", false},   {"", false},
                                                {" 1", false}, {"tru", false}};
  for (const auto& [text, expected] : bools) EXPECT_EQ(LKstr2bool(text), expected) << text;
  EXPECT_EQ(LKbool2str(true), "1");
  EXPECT_EQ(LKbool2str(false), "0");
}

TEST(LKValueTextTest, RemoveCtrlChars) {
  EXPECT_EQ(LKRemoveCtrlChars(std::string("a\tb\x7f" " c\x01\n", 8)), "ab c");
  EXPECT_EQ(LKRemoveCtrlChars(std::string("x\0y", 3)), "xy");
  EXPECT_EQ(LKRemoveCtrlChars("Gr\xC3\xBC\xC3\x9F"), "Gr\xC3\xBC\xC3\x9F");  // UTF-8 bytes stay
}

}  // namespace
