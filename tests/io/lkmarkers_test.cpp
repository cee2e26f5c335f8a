#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "io/lkmarkers.h"

namespace {

using Bytes = std::vector<Byte>;

Bytes StreamBytes(TMemoryStream& s) {
  const auto* p = static_cast<const Byte*>(s.GetMemory());
  return Bytes(p, p + s.GetSize());
}

void Fill(TMemoryStream& s, const Bytes& b) {
  s.Clear();
  if (!b.empty()) s.WriteBuffer(b.data(), static_cast<Int64>(b.size()));
  s.SetPosition(0);
}

String Payload(const TLKMarkerList& l, Integer i) {
  return String(reinterpret_cast<const char*>(l.GetMarkerData(i)), static_cast<std::size_t>(l.GetMarkerLength(i)));
}

void AppendInt(Bytes& b, Integer v) {
  const auto* p = reinterpret_cast<const Byte*>(&v);
  b.insert(b.end(), p, p + 4);
}

TEST(LKMarkerListTest, SortOrdersByCodeAndKeepsEqualCodesInSequence) {
  TLKMarkerList l;
  // Two APP1 blocks (EXIF, then XMP) and two APP2 chunks of one ICC
  // profile must stay in their order.
  const char* data[] = {"iptc", "jfif", "exif", "icc1", "xmp", "icc2", "comment"};
  const Byte codes[] = {0xED, 0xE0, 0xE1, 0xE2, 0xE1, 0xE2, 0xFE};
  for (int i = 0; i < 7; ++i) l.AddMarker(codes[i], data[i], static_cast<Integer>(std::strlen(data[i])));
  l.Sort();
  const Byte wantCodes[] = {0xE0, 0xE1, 0xE1, 0xE2, 0xE2, 0xED, 0xFE};
  const char* wantData[] = {"jfif", "exif", "xmp", "icc1", "icc2", "iptc", "comment"};
  ASSERT_EQ(l.GetCount(), 7);
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(l.GetMarkerType(i), wantCodes[i]) << i;
    EXPECT_EQ(Payload(l, i), wantData[i]) << i;
  }
  EXPECT_EQ(l.IndexOf(0xE1), 1);
  EXPECT_EQ(l.IndexOf(0xDB), -1);
}

TEST(LKMarkerListTest, PayloadAboveSegmentLimitIsRefused) {
  TLKMarkerList l;
  Bytes big(LKMaxMarkerPayload + 1, 0x55);
  EXPECT_EQ(l.AddMarker(0xE1, big.data(), LKMaxMarkerPayload + 1), -1);
  EXPECT_EQ(l.GetCount(), 0);
  EXPECT_EQ(l.AddMarker(0xE1, big.data(), LKMaxMarkerPayload), 0);
  EXPECT_EQ(l.GetMarkerLength(0), LKMaxMarkerPayload);
  EXPECT_FALSE(l.InsertMarker(0, big.data(), 0xE0, 65535));
  EXPECT_FALSE(l.SetMarker(0, 0xE2, big.data(), 65534));
  EXPECT_EQ(l.GetCount(), 1);
  EXPECT_EQ(l.GetMarkerType(0), 0xE1);
  EXPECT_EQ(l.GetMarkerLength(0), LKMaxMarkerPayload);
  EXPECT_EQ(l.AddMarker(0xE1, big.data(), -1), -1);
}

TEST(LKMarkerListTest, EditsAssignAndPayloadStream) {
  TLKMarkerList l;
  l.AddMarker(0xE0, "aa", 2);
  l.AddMarker(0xE2, "cc", 2);
  EXPECT_TRUE(l.InsertMarker(1, "bbb", 0xE1, 3));
  EXPECT_TRUE(l.SetMarker(2, 0xEE, "d", 1));
  EXPECT_EQ(Payload(l, 1), "bbb");
  EXPECT_EQ(l.GetMarkerType(2), 0xEE);
  TMemoryStream* s = l.GetMarkerStream(1);
  s->SetPosition(2);
  EXPECT_EQ(l.GetMarkerStream(1)->GetPosition(), 0);
  TLKMarkerList copy;
  copy.AddMarker(0xFE, "x", 1);
  copy.Assign(&l);
  l.DeleteMarker(0);
  ASSERT_EQ(copy.GetCount(), 3);
  EXPECT_EQ(Payload(copy, 0), "aa");
  copy.Assign(nullptr);
  EXPECT_EQ(copy.GetCount(), 3);
  EXPECT_THROW(l.DeleteMarker(5), EListError);
}

TEST(LKMarkerListTest, StreamFormIsByteExactAndRoundTrips) {
  TLKMarkerList l;
  l.AddMarker(0xED, "abc", 3);
  l.AddMarker(0xE0, nullptr, 0);
  TMemoryStream s;
  l.SaveToStream(&s);
  Bytes want = {0};
  AppendInt(want, 2);
  want.push_back(0xED);
  AppendInt(want, 3);
  want.insert(want.end(), {'a', 'b', 'c'});
  want.push_back(0xE0);
  AppendInt(want, 0);
  EXPECT_EQ(StreamBytes(s), want);

  s.SetPosition(0);
  TLKMarkerList back;
  back.AddMarker(0x01, "old", 3);
  back.LoadFromStream(&s);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetMarkerType(0), 0xED);
  EXPECT_EQ(Payload(back, 0), "abc");
  EXPECT_EQ(back.GetMarkerLength(1), 0);
  EXPECT_EQ(s.GetPosition(), s.GetSize());
}

TEST(LKMarkerListTest, HostileStreamsAreRefusedAndLeaveTheList) {
  TLKMarkerList l;
  l.AddMarker(0xE1, "payload", 7);
  l.AddMarker(0xE2, "xy", 2);
  TMemoryStream s;
  l.SaveToStream(&s);
  const Bytes good = StreamBytes(s);
  // Every proper prefix of a good stream is cut short.
  for (std::size_t n = 0; n < good.size(); ++n) {
    Fill(s, Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)));
    TLKMarkerList t;
    t.AddMarker(0xFE, "keep", 4);
    EXPECT_THROW(t.LoadFromStream(&s), EReadError) << n;
    ASSERT_EQ(t.GetCount(), 1);
    EXPECT_EQ(Payload(t, 0), "keep");
  }
  struct Case {
    const char* name;
    Bytes bytes;
  };
  std::vector<Case> cases;
  {
    Bytes b = {0};
    AppendInt(b, 0x7FFFFFFF);  // a count no stream of this size can hold
    cases.push_back({"huge count", b});
  }
  {
    Bytes b = {0};
    AppendInt(b, -1);
    cases.push_back({"negative count", b});
  }
  {
    Bytes b = {0};
    AppendInt(b, 1);
    b.push_back(0xE1);
    AppendInt(b, -5);
    cases.push_back({"negative length", b});
  }
  {
    Bytes b = {0};
    AppendInt(b, 1);
    b.push_back(0xE1);
    AppendInt(b, 70000);  // longer than a JPEG segment, although present
    b.resize(b.size() + 70000, 0);
    cases.push_back({"oversized payload", b});
  }
  for (const Case& c : cases) {
    Fill(s, c.bytes);
    TLKMarkerList t;
    EXPECT_THROW(t.LoadFromStream(&s), EReadError) << c.name;
    EXPECT_EQ(t.GetCount(), 0) << c.name;
  }
}

TEST(LKIPTCInfoListTest, StandardBufferWithAndWithoutHeader) {
  TLKIPTCInfoList l;
  l.AddStringItem(2, 120, "abc");
  const Bytes plain = l.SaveToStandardBuffer(false);
  const Bytes wantPlain = {0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x02, 0x1C, 0x02, 0x78, 0x00, 0x03, 'a', 'b', 'c', 0x00};
  EXPECT_EQ(plain, wantPlain);

  const Bytes withHeader = l.SaveToStandardBuffer(true);
  ASSERT_EQ(withHeader.size(), 34u);
  const char head[] = "Photoshop 3.0\0" "8BIM";
  EXPECT_EQ(std::memcmp(withHeader.data(), head, 18), 0);
  const Bytes rest(withHeader.begin() + 18, withHeader.end());
  const Bytes wantRest = {0x04, 0x04, 0, 0, 0, 0, 0, 8, 0x1C, 0x02, 0x78, 0x00, 0x03, 'a', 'b', 'c'};
  EXPECT_EQ(rest, wantRest);

  EXPECT_TRUE(TLKIPTCInfoList().SaveToStandardBuffer(true).empty());
}

TEST(LKIPTCInfoListTest, LongItemUsesExtendedLengthAndParsesBack) {
  TLKIPTCInfoList l;
  String big(40000, 'q');
  big[0] = 'A';
  big[39999] = 'Z';
  l.AddStringItem(2, 25, big);
  const Bytes b = l.SaveToStandardBuffer(false);
  ASSERT_GE(b.size(), 7u + 9u + 40000u);
  const Bytes itemHead(b.begin() + 7, b.begin() + 16);
  EXPECT_EQ(itemHead, (Bytes{0x1C, 0x02, 25, 0x80, 0x04, 0x00, 0x00, 0x9C, 0x40}));
  TLKIPTCInfoList back;
  back.LoadFromStandardBuffer(b.data(), static_cast<Integer>(b.size()));
  // The record-version item comes back too, then the long item.
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetDataSet(0), 0);
  EXPECT_EQ(back.GetStrings(1), big);
  EXPECT_FALSE(back.GetChangedSinceRead());
}

TEST(LKIPTCInfoListTest, RecordVersionItemIsSkippedOnWriteButParsed) {
  TLKIPTCInfoList l;
  l.AddStringItem(2, 0, "vv");
  l.AddStringItem(2, 5, "");  // empty items are not written either
  l.AddStringItem(2, 5, "title");
  const Bytes b = l.SaveToStandardBuffer(true);
  TLKIPTCInfoList back;
  back.LoadFromStandardBuffer(b.data(), static_cast<Integer>(b.size()));
  ASSERT_EQ(back.GetCount(), 1);
  EXPECT_EQ(back.GetStrings(0), "title");

  const Byte withVersion[] = {'x', 0x1C, 0x1C, 0x02, 0x00, 0x00, 0x02, 0x00, 0x04};
  back.LoadFromStandardBuffer(withVersion, sizeof withVersion);
  ASSERT_EQ(back.GetCount(), 1);
  EXPECT_EQ(back.GetRecordNumber(0), 2);
  EXPECT_EQ(back.GetDataSet(0), 0);
  EXPECT_EQ(back.GetStrings(0), String("\x00\x04", 2));
}

TEST(LKIPTCInfoListTest, ChangedFlagFollowsEditsAndParsing) {
  TLKIPTCInfoList l;
  EXPECT_FALSE(l.GetChangedSinceRead());
  l.LoadFromStandardBuffer(nullptr, 0);
  EXPECT_TRUE(l.GetChangedSinceRead());
  EXPECT_EQ(l.GetCount(), 0);
  const Byte one[] = {0x1C, 0x02, 0x05, 0x00, 0x01, 'x'};
  l.LoadFromStandardBuffer(one, sizeof one);
  EXPECT_FALSE(l.GetChangedSinceRead());
  EXPECT_EQ(l.GetCount(), 1);

  l.AddStringItem(2, 10, "b");
  l.InsertStringItem(0, 2, 5, "text");
  EXPECT_EQ(l.GetDataSet(0), 5);
  EXPECT_EQ(l.GetStrings(0), "text");
  EXPECT_EQ(l.GetStrings(1), "x");
  EXPECT_EQ(l.IndexOf(2, 10), 2);
  EXPECT_EQ(l.GetStrings(7), "");
  EXPECT_EQ(l.GetStrings(-1), "");

  struct Edit {
    const char* name;
    std::function<void(TLKIPTCInfoList&)> run;
  };
  const Edit edits[] = {
      {"SetRecordNumber", [](TLKIPTCInfoList& x) { x.SetRecordNumber(0, 1); }},
      {"SetDataSet", [](TLKIPTCInfoList& x) { x.SetDataSet(0, 1); }},
      {"SetStrings", [](TLKIPTCInfoList& x) { x.SetStrings(0, "y"); }},
      {"AddBufferItem", [](TLKIPTCInfoList& x) { x.AddBufferItem(2, 1, "z", 1); }},
      {"DeleteItem", [](TLKIPTCInfoList& x) { x.DeleteItem(0); }},
      {"Clear", [](TLKIPTCInfoList& x) { x.Clear(); }},
      {"Assign", [](TLKIPTCInfoList& x) { TLKIPTCInfoList o; x.Assign(&o); }},
  };
  for (const Edit& e : edits) {
    TLKIPTCInfoList x;
    x.LoadFromStandardBuffer(one, sizeof one);
    ASSERT_FALSE(x.GetChangedSinceRead());
    e.run(x);
    EXPECT_TRUE(x.GetChangedSinceRead()) << e.name;
  }
}

TEST(LKIPTCInfoListTest, HostileStandardBuffersStopQuietly) {
  TLKIPTCInfoList l;
  l.AddStringItem(2, 5, "first");
  l.AddStringItem(2, 120, String(40000, 'c'));
  const Bytes good = l.SaveToStandardBuffer(true);
  // Any cut keeps a prefix of the items and never reads past the end.
  for (std::size_t n = 0; n <= good.size(); n += (n < 64 ? 1 : 997)) {
    Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    TLKIPTCInfoList t;
    t.LoadFromStandardBuffer(cut.data(), static_cast<Integer>(cut.size()));
    EXPECT_LE(t.GetCount(), 2);
    if (t.GetCount() >= 1) EXPECT_EQ(t.GetStrings(0), "first");
  }
  // An extended length with the top bit set must not wrap to a negative
  // size or a huge allocation.
  const Byte huge[] = {0x1C, 0x02, 0x05, 0x80, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b'};
  TLKIPTCInfoList t;
  t.LoadFromStandardBuffer(huge, sizeof huge);
  EXPECT_EQ(t.GetCount(), 0);
  const Byte shortLen[] = {0x1C, 0x02, 0x05, 0x00, 0x09, 'a'};
  t.LoadFromStandardBuffer(shortLen, sizeof shortLen);
  EXPECT_EQ(t.GetCount(), 0);
}

TEST(LKIPTCInfoListTest, StreamFormRoundTripsAndRefusesBadCounts) {
  TLKIPTCInfoList l;
  l.AddStringItem(2, 5, "title");
  l.AddBufferItem(1, 90, "\x1b%G", 3);
  TMemoryStream s;
  l.SaveToStream(&s);
  Bytes want;
  AppendInt(want, 0);
  AppendInt(want, 2);
  AppendInt(want, 2);
  AppendInt(want, 5);
  AppendInt(want, 5);
  want.insert(want.end(), {'t', 'i', 't', 'l', 'e'});
  AppendInt(want, 1);
  AppendInt(want, 90);
  AppendInt(want, 3);
  want.insert(want.end(), {0x1b, '%', 'G'});
  EXPECT_EQ(StreamBytes(s), want);

  s.SetPosition(0);
  TLKIPTCInfoList back;
  back.LoadFromStream(&s);
  ASSERT_EQ(back.GetCount(), 2);
  EXPECT_EQ(back.GetStrings(1), "\x1b%G");
  EXPECT_TRUE(back.GetChangedSinceRead());

  for (std::size_t n = 0; n < want.size(); ++n) {
    Fill(s, Bytes(want.begin(), want.begin() + static_cast<std::ptrdiff_t>(n)));
    TLKIPTCInfoList t;
    t.AddStringItem(9, 9, "keep");
    EXPECT_THROW(t.LoadFromStream(&s), EReadError) << n;
    EXPECT_EQ(t.GetStrings(0), "keep");
  }
  Bytes huge;
  AppendInt(huge, 0);
  AppendInt(huge, 0x10000000);
  Fill(s, huge);
  EXPECT_THROW(back.LoadFromStream(&s), EReadError);
  EXPECT_EQ(back.GetCount(), 2);
}

}  // namespace
