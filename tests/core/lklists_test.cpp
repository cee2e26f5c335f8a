#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <memory>
#include <vector>

#include "core/lklists.h"

namespace {

std::vector<Byte> Bytes(TMemoryStream& s) {
  const auto* p = static_cast<const Byte*>(s.GetMemory());
  return std::vector<Byte>(p, p + s.GetSize());
}

TMemoryStream* StreamOf(const std::vector<Byte>& bytes) {
  auto* s = new TMemoryStream;
  if (!bytes.empty()) s->WriteBuffer(bytes.data(), static_cast<Int64>(bytes.size()));
  s->Seek(0, soBeginning);
  return s;
}

TEST(LKListTest, IntegerListItemsAndChangeFlags) {
  TLKIntegerList list;
  EXPECT_EQ(list.GetItemSize(), 4);
  EXPECT_TRUE(list.GetChanges().Empty());
  EXPECT_EQ(list.Add(5), 0);
  EXPECT_EQ(list.GetChanges(), TLKListChanges({lklItems}));

  list.SetItem(3, 7);  // beyond the count: nothing
  EXPECT_EQ(list.GetCount(), 1);
  EXPECT_EQ(list.GetItem(0), 5);
  EXPECT_EQ(list.IndexOf(6), -1);
  list.Delete(-1);
  list.Delete(1);
  EXPECT_EQ(list.GetCount(), 1);
  list.Insert(5, 9);  // beyond the count: appends
  list.Insert(0, 1);
  list.Insert(1, 3);
  std::vector<Integer> items;
  for (Integer i = 0; i < list.GetCount(); ++i) items.push_back(list.GetItem(i));
  EXPECT_EQ(items, (std::vector<Integer>{1, 3, 5, 9}));
  EXPECT_EQ(list.IndexOf(9), 3);
  list.Delete(1);
  EXPECT_EQ(list.GetItem(1), 5);
  EXPECT_THROW(list.GetItem(3), EListError);
  EXPECT_THROW(list.Insert(-1, 0), EListError);

  list.SetRangeMin(0);
  EXPECT_EQ(list.GetChanges(), TLKListChanges({lklItems, lklRange}));
  list.SetCurrentValue(list.GetCurrentValue());  // the same value still counts as a change
  EXPECT_EQ(list.GetChanges(), TLKListChanges({lklItems, lklRange, lklCurrentValue}));

  list.SetRangeMax(10);
  list.SetRangeStep(2);
  list.Clear();
  EXPECT_TRUE(list.GetChanges().Empty());
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetRangeMax(), 0);
  EXPECT_EQ(list.GetRangeStep(), 0);
  EXPECT_EQ(list.GetItemSize(), 4);

  list.SetCount(3);
  EXPECT_EQ(list.GetCount(), 3);
  EXPECT_EQ(list.GetChanges(), TLKListChanges({lklItems}));
  EXPECT_THROW(list.SetCount(-1), EListError);
}

TEST(LKListTest, DoubleListComparesBytesExactly) {
  TLKDoubleList list;
  EXPECT_EQ(list.GetItemSize(), 8);
  list.Add(-0.0);
  list.Add(2.5);
  EXPECT_EQ(list.IndexOf(0.0), -1);
  EXPECT_EQ(list.IndexOf(-0.0), 0);
  EXPECT_EQ(list.IndexOf(2.5), 1);
}

TEST(LKListTest, AssignCopiesItemsRangeAndFlags) {
  TLKDoubleList src;
  src.Add(1.5);
  src.Add(2.5);
  src.SetRangeMin(-1);
  src.SetRangeMax(4);
  src.SetRangeStep(0.5);
  src.SetCurrentValue(2);

  TLKDoubleList dst;
  dst.Add(9);
  dst.Assign(&src);
  EXPECT_EQ(dst.GetCount(), 2);
  EXPECT_EQ(dst.GetItem(1), 2.5);
  EXPECT_EQ(dst.GetRangeMin(), -1);
  EXPECT_EQ(dst.GetRangeStep(), 0.5);
  EXPECT_EQ(dst.GetCurrentValue(), 2);
  EXPECT_EQ(dst.GetChanges(), src.GetChanges());
  dst.Assign(nullptr);
  dst.Assign(&dst);
  EXPECT_EQ(dst.GetCount(), 2);

  // Another class: the items come across, then the cast fails.
  TLKIntegerList ints;
  EXPECT_THROW(ints.Assign(&src), EConvertError);
  EXPECT_EQ(ints.GetCount(), 2);
}

TEST(LKListTest, RecordList) {
  struct Rec { Integer x, y; };
  TLKRecordList list(sizeof(Rec));
  EXPECT_EQ(list.GetItemSize(), 8);
  const Rec a{1, 2}, b{3, 4}, c{5, 6};
  EXPECT_EQ(list.Add(&a), 0);
  EXPECT_EQ(list.Add(&c), 1);
  list.Insert(1, &b);
  EXPECT_EQ(list.IndexOf(&c), 2);
  const Rec d{7, 8};
  list.SetItem(0, &d);
  Rec got;
  std::memcpy(&got, list.GetItem(0), sizeof got);
  EXPECT_EQ(got.x, 7);
  EXPECT_EQ(list.IndexOf(&a), -1);
  EXPECT_THROW(list.GetItem(3), EListError);
  EXPECT_THROW(TLKRecordList(-1), EListError);
}

TEST(LKByteArrayTest, GrowsAndShrinksInSteps) {
  struct Step { Integer size, capacity; };
  const std::vector<std::vector<Step>> sequences = {
      {{100000, 108192}, {10, 8202}},
      {{9000, 17192}, {9000, 17192}, {8999, 17191}},
      {{8192, 8192}, {0, 8192}},  // a new array never reallocates up to one step
      {{8193, 16385}, {8193, 16385}, {8194, 16385}, {8193, 16385}},
  };
  for (const auto& seq : sequences) {
    TLKByteArray a;
    EXPECT_EQ(a.GetCapacity(), 8192);
    for (const Step& s : seq) {
      a.SetSize(s.size);
      EXPECT_EQ(a.GetSize(), s.size);
      EXPECT_EQ(a.GetCapacity(), s.capacity) << "after SetSize(" << s.size << ")";
    }
  }
  TLKByteArray a;
  a.SetSize(100000);
  for (Integer i = 0; i < 10; ++i) a.GetData()[i] = static_cast<Byte>(i + 1);
  a.SetSize(10);
  EXPECT_EQ(a.GetData()[9], 10);  // the kept bytes survive the reallocation
  EXPECT_THROW(a.SetSize(-1), EListError);
  EXPECT_THROW(a.SetSize(2147483647), EOutOfMemory);

  TLKByteArray bytes;
  for (int i = 0; i < 20000; ++i) bytes.AddByte(static_cast<Byte>(i));
  EXPECT_EQ(bytes.GetSize(), 20000);
  EXPECT_EQ(bytes.GetData()[19999], static_cast<Byte>(19999));
  bytes.Clear();
  EXPECT_EQ(bytes.GetSize(), 0);
  EXPECT_EQ(bytes.GetCapacity(), 8192);
}

TEST(LKByteArrayTest, AppendFromStreamTakesWhatArrives) {
  std::unique_ptr<TMemoryStream> s(StreamOf({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
  s->Seek(2, soBeginning);
  TLKByteArray a;
  a.AddByte(0xAA);
  EXPECT_EQ(a.AppendFromStream(s.get(), 1000), 10);
  EXPECT_EQ(a.GetSize(), 11);
  EXPECT_EQ(a.GetData()[0], 0xAA);
  EXPECT_EQ(a.GetData()[1], 3);
  EXPECT_EQ(a.GetData()[10], 12);
  EXPECT_EQ(a.GetCapacity(), 8192);  // a huge count does not grow the block
  EXPECT_EQ(a.AppendFromStream(s.get(), 5), 0);
  EXPECT_EQ(a.AppendFromStream(s.get(), -5), 0);
  EXPECT_EQ(a.AppendFromStream(nullptr, 5), 0);
  EXPECT_EQ(a.GetSize(), 11);
}

TEST(LKStringStreamTest, ByteExactForm) {
  TMemoryStream s;
  SaveStringToStream(&s, "");
  SaveStringToStream(&s, "ab");
  EXPECT_EQ(Bytes(s), (std::vector<Byte>{0, 0, 0, 0, 2, 0, 0, 0, 'a', 'b'}));

  TMemoryStream l;
  TStringList empty;
  SaveStringListToStream(&l, &empty);
  EXPECT_EQ(Bytes(l), (std::vector<Byte>{0, 0, 0, 0}));

  TMemoryStream m;
  TStringList list;
  list.Add("x");
  list.Add("");
  list.Add(std::string("y\0z", 3));
  SaveStringListToStream(&m, &list);
  EXPECT_EQ(Bytes(m), (std::vector<Byte>{3, 0, 0, 0, 1, 0, 0, 0, 'x', 0, 0, 0, 0, 3, 0, 0, 0, 'y', 0, 'z'}));

  m.Seek(0, soBeginning);
  TStringList back;
  back.Add("old");
  LoadStringListFromStream(&m, &back);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_EQ(back.Strings(0), "x");
  EXPECT_EQ(back.Strings(1), "");
  EXPECT_EQ(back.Strings(2), std::string("y\0z", 3));
  EXPECT_EQ(m.GetPosition(), m.GetSize());

  s.Seek(0, soBeginning);
  String a = "old", b;
  LoadStringFromStream(&s, a);
  LoadStringFromStream(&s, b);
  EXPECT_EQ(a, "");
  EXPECT_EQ(b, "ab");
}

TEST(LKStringStreamTest, ReadersRefuseCountsBeyondTheStream) {
  struct Case { const char* name; std::vector<Byte> bytes; };
  // Each of these once made a reader allocate or read past what was there.
  const Case strings[] = {
      {"no length", {}},
      {"short length", {5, 0}},
      {"negative length", {0xFF, 0xFF, 0xFF, 0xFF}},
      {"length past the end", {5, 0, 0, 0, 'a', 'b'}},
      {"huge length", {0xFF, 0xFF, 0xFF, 0x7F, 'a'}},
  };
  for (const auto& c : strings) {
    std::unique_ptr<TMemoryStream> s(StreamOf(c.bytes));
    String text = "kept";
    EXPECT_THROW(LoadStringFromStream(s.get(), text), EReadError) << c.name;
    EXPECT_EQ(text, "kept") << c.name;
  }
  const Case lists[] = {
      {"no count", {1, 0}},
      {"negative count", {0xFE, 0xFF, 0xFF, 0xFF}},
      {"count past the end", {3, 0, 0, 0, 0, 0, 0, 0}},
      {"huge count", {0xFF, 0xFF, 0xFF, 0x7F}},
      {"bad string inside", {2, 0, 0, 0, 1, 0, 0, 0, 'x', 9, 0, 0, 0, 'y'}},
  };
  for (const auto& c : lists) {
    std::unique_ptr<TMemoryStream> s(StreamOf(c.bytes));
    TStringList list;
    list.Add("kept");
    EXPECT_THROW(LoadStringListFromStream(s.get(), &list), EReadError) << c.name;
    ASSERT_EQ(list.Count(), 1) << c.name;
    EXPECT_EQ(list.Strings(0), "kept");
  }
}

TEST(LKNulStreamTest, CountsWithoutStoring) {
  TNulStream s;
  std::vector<Byte> buf(100, 0x5A);
  EXPECT_EQ(s.Write(buf.data(), 100), 100);
  EXPECT_EQ(s.Seek(0, soEnd), 100);
  EXPECT_EQ(s.Seek(10, soEnd), 90);  // counts backwards from the end
  EXPECT_EQ(s.Seek(50, soBeginning), 50);
  EXPECT_EQ(s.GetSize(), 100);
  EXPECT_EQ(s.Read(buf.data(), 10), 10);
  EXPECT_EQ(buf, std::vector<Byte>(100, 0x5A));
  EXPECT_EQ(s.GetPosition(), 60);
  EXPECT_EQ(s.Seek(60, soCurrent), 120);  // seeking past the end raises the size
  EXPECT_EQ(s.GetSize(), 120);
  EXPECT_EQ(s.Seek(500, soEnd), -380);  // from the end the size stays
  EXPECT_EQ(s.GetSize(), 120);
  EXPECT_EQ(s.Seek(3, static_cast<TSeekOrigin>(9)), -380);
  EXPECT_EQ(s.Write(buf.data(), -4), 0);
  EXPECT_EQ(s.GetPosition(), -380);
  EXPECT_EQ(s.Seek(std::numeric_limits<Int64>::max(), soBeginning), std::numeric_limits<Int64>::max());
  EXPECT_EQ(s.Write(buf.data(), 1), 0);  // would overflow: refused
}

TEST(LKMemStreamTest, ReadOnlyViewOfCallerMemory) {
  Byte block[6] = {1, 2, 3, 4, 5, 6};
  TLKMemStream s(block, sizeof block);
  EXPECT_EQ(s.GetSize(), 6);
  Byte out[4] = {};
  EXPECT_EQ(s.Read(out, 4), 4);
  EXPECT_EQ(out[3], 4);
  EXPECT_EQ(s.Seek(-2, soEnd), 4);  // the platform's rule: size + offset
  EXPECT_EQ(s.Read(out, 4), 2);
  EXPECT_EQ(out[1], 6);
  const Byte zeros[3] = {};
  s.Seek(0, soBeginning);
  EXPECT_EQ(s.Write(zeros, 3), 0);
  s.SetSize(1);
  EXPECT_EQ(s.GetSize(), 6);
  EXPECT_EQ(block[0], 1);

  TLKMemStream none(nullptr, 10);
  EXPECT_EQ(none.GetSize(), 0);
  EXPECT_EQ(none.Read(out, 4), 0);
}

}  // namespace
