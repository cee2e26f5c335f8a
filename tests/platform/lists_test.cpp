#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/classes.h"

namespace {

std::vector<std::string> Items(const TStrings& l) {
  std::vector<std::string> v;
  for (Integer i = 0; i < l.GetCount(); ++i) v.push_back(l.Get(i));
  return v;
}

using V = std::vector<std::string>;

// --- TList -----------------------------------------------------------------

TEST(TListTest, EditingOperations) {
  int a = 1, b = 2, c = 3, d = 4;
  TList l;
  EXPECT_EQ(l.Add(&a), 0);
  l.Add(&b);
  l.Add(&c);
  l.Insert(0, &d);  // d a b c
  EXPECT_EQ(l.First(), &d);
  EXPECT_EQ(l.Last(), &c);
  EXPECT_EQ(l.IndexOf(&b), 2);
  EXPECT_EQ(l.IndexOf(nullptr), -1);
  l.Move(0, 3);  // a b c d
  EXPECT_EQ(l.Get(3), &d);
  EXPECT_EQ(l.Get(0), &a);
  l.Exchange(0, 1);  // b a c d
  EXPECT_EQ(l.Items(0), &b);
  EXPECT_EQ(l.Remove(&c), 2);  // b a d
  EXPECT_EQ(l.Remove(&c), -1);
  l.Put(1, nullptr);
  l.Add(nullptr);
  l.Pack();  // b d
  ASSERT_EQ(l.Count(), 2);
  EXPECT_EQ(l.Get(1), &d);
  l.SetCount(4);
  EXPECT_EQ(l.Get(3), nullptr);
  l.Delete(3);
  EXPECT_EQ(l.Count(), 3);
  l.Clear();
  EXPECT_EQ(l.Count(), 0);
}

TEST(TListTest, BadIndexesRaise) {
  TList l;
  int x = 0;
  l.Add(&x);
  struct Case {
    const char* what;
    std::function<void()> call;
    const char* message;
  } cases[] = {
      {"get -1", [&] { l.Get(-1); }, "List index out of bounds (-1)"},
      {"get count", [&] { l.Get(1); }, "List index out of bounds (1)"},
      {"put", [&] { l.Put(5, nullptr); }, "List index out of bounds (5)"},
      {"delete", [&] { l.Delete(1); }, "List index out of bounds (1)"},
      {"insert past count", [&] { l.Insert(2, nullptr); }, "List index out of bounds (2)"},
      {"exchange", [&] { l.Exchange(0, 7); }, "List index out of bounds (7)"},
      {"move", [&] { l.Move(0, 3); }, "List index out of bounds (3)"},
      {"count", [&] { l.SetCount(-2); }, "List count out of bounds (-2)"},
      {"capacity", [&] { l.SetCapacity(0); }, "List capacity out of bounds (0)"},
  };
  for (auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << c.what << ": no exception";
    } catch (const EListError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.what;
    }
  }
  TList empty;
  EXPECT_THROW(empty.First(), EListError);
  EXPECT_THROW(empty.Last(), EListError);
  EXPECT_EQ(l.Count(), 1);
}

TEST(TListTest, SortIsStableAndSurvivesInconsistentCompare) {
  struct R {
    int key, seq;
  };
  std::vector<R> rs;
  for (int i = 0; i < 40; ++i) rs.push_back({(i * 7) % 5, i});
  TList l;
  for (auto& r : rs) l.Add(&r);
  l.Sort([](void* a, void* b) { return static_cast<R*>(a)->key - static_cast<R*>(b)->key; });
  for (Integer i = 1; i < l.Count(); ++i) {
    auto* p = static_cast<R*>(l.Get(i - 1));
    auto* q = static_cast<R*>(l.Get(i));
    ASSERT_TRUE(p->key < q->key || (p->key == q->key && p->seq < q->seq)) << i;
  }
  // A comparison that answers at random must not run off the list.
  std::srand(1);
  l.Sort([](void*, void*) { return std::rand() % 3 - 1; });
  EXPECT_EQ(l.Count(), 40);
  for (auto& r : rs) EXPECT_GE(l.IndexOf(&r), 0);
}

// --- TStringList -----------------------------------------------------------

TEST(TStringListTest, UnsortedIndexOfIgnoresCase) {
  TStringList l;
  l.Add("Alpha");
  l.Add("beta");
  EXPECT_EQ(l.IndexOf("ALPHA"), 0);
  EXPECT_EQ(l.IndexOf("Beta"), 1);
  EXPECT_EQ(l.IndexOf("gamma"), -1);
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.IndexOf("ALPHA"), -1);
  EXPECT_EQ(l.IndexOf("Alpha"), 0);
}

TEST(TStringListTest, SortedAddFindAndDuplicates) {
  TStringList l;
  l.SetSorted(true);
  for (const char* s : {"pear", "Apple", "fig", "apple", "banana"}) l.Add(s);
  // dupIgnore: "apple" equals "Apple" without case.
  EXPECT_EQ(Items(l), (V{"Apple", "banana", "fig", "pear"}));
  Integer i = -1;
  EXPECT_TRUE(l.Find("FIG", i));
  EXPECT_EQ(i, 2);
  EXPECT_FALSE(l.Find("cherry", i));
  EXPECT_EQ(i, 2);  // where it would go
  EXPECT_FALSE(l.Find("zzz", i));
  EXPECT_EQ(i, 4);
  EXPECT_EQ(l.IndexOf("PEAR"), 3);

  l.SetDuplicates(dupAccept);
  l.Add("FIG");
  EXPECT_TRUE(l.Find("fig", i));
  EXPECT_EQ(i, 2);  // the first of the equal strings
  EXPECT_EQ(l.GetCount(), 5);

  l.SetDuplicates(dupError);
  try {
    l.Add("banana");
    FAIL() << "no exception";
  } catch (const EListError& e) {
    EXPECT_STREQ(e.what(), "String list does not allow duplicates");
  }
  EXPECT_THROW(l.Insert(0, "x"), EListError);
  EXPECT_THROW(l.Put(0, "x"), EListError);
  EXPECT_THROW(l.Move(0, 1), EListError);
  EXPECT_EQ(l.GetCount(), 5);  // a refused move loses nothing

  // Case-sensitive sorting puts capitals first (byte order).
  l.SetCaseSensitive(true);
  EXPECT_EQ(l.Get(0), "Apple");
  EXPECT_EQ(l.Get(1), "FIG");
}

TEST(TStringListTest, SettingSortedSortsAndUnsortedListAppends) {
  TStringList l;
  l.SetText("c\nA\nb");
  EXPECT_EQ(Items(l), (V{"c", "A", "b"}));
  l.SetSorted(true);
  EXPECT_EQ(Items(l), (V{"A", "b", "c"}));
  l.SetSorted(false);
  l.Add("a0");
  EXPECT_EQ(l.Get(3), "a0");
  l.CustomSort([](TStringList* list, Integer a, Integer b) {
    return static_cast<int>(list->Get(b).size()) - static_cast<int>(list->Get(a).size());
  });
  EXPECT_EQ(l.Get(0), "a0");
}

TEST(TStringListTest, TextSplitsEveryLineBreakAndJoinsWithLF) {
  struct Case {
    const char* text;
    V lines;
  } cases[] = {
      {"", {}},
      {"a", {"a"}},
      {"a\n", {"a"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\n\nb", {"a", "", "b"}},
      {"a\rb", {"a", "b"}},
      {"\r\n", {""}},
      {"x\r\r\ny", {"x", "", "y"}},
  };
  for (auto& c : cases) {
    TStringList l;
    l.SetText(c.text);
    EXPECT_EQ(Items(l), c.lines) << c.text;
  }
  TStringList l;
  l.SetText("one\r\ntwo");
  EXPECT_EQ(l.GetText(), "one\ntwo\n");
}

TEST(TStringListTest, CommaTextQuotingAndRoundTrip) {
  struct Case {
    V items;
    const char* comma;
  } cases[] = {
      {{"a", "b", "c"}, "a,b,c"},
      {{"two words", "x"}, "\"two words\",x"},
      {{"say \"hi\""}, "\"say \"\"hi\"\"\""},
      {{"a,b"}, "\"a,b\""},
      {{""}, "\"\""},
      {{"a", "", "b"}, "a,,b"},
      {{}, ""},
  };
  for (auto& c : cases) {
    TStringList l;
    for (auto& s : c.items) l.Add(s);
    EXPECT_EQ(l.GetCommaText(), c.comma);
    TStringList back;
    back.SetCommaText(c.comma);
    EXPECT_EQ(Items(back), c.items) << c.comma;
  }
  // Blanks separate unquoted fields; a trailing comma adds an empty field; an
  // unterminated quote takes the rest.
  struct Parse {
    const char* comma;
    V items;
  } parses[] = {
      {"  a b ,c", {"a", "b", "c"}},
      {"a,", {"a", ""}},
      {"\"open, end", {"open, end"}},
      {"\"q\"x", {"q", "x"}},
  };
  for (auto& p : parses) {
    TStringList l;
    l.SetCommaText(p.comma);
    EXPECT_EQ(Items(l), p.items) << p.comma;
  }
}

TEST(TStringListTest, NamesAndValues) {
  TStringList l;
  l.Add("Width=640");
  l.Add("plain");
  l.Add("Title=a=b");
  EXPECT_EQ(l.GetValue("width"), "640");
  EXPECT_EQ(l.GetValue("Title"), "a=b");
  EXPECT_EQ(l.GetValue("plain"), "");
  EXPECT_EQ(l.GetName(0), "Width");
  EXPECT_EQ(l.GetName(1), "");
  EXPECT_EQ(l.GetValueFromIndex(2), "a=b");
  l.SetValue("Height", "480");
  EXPECT_EQ(l.Get(3), "Height=480");
  l.SetValue("WIDTH", "800");
  EXPECT_EQ(l.Get(0), "WIDTH=800");
  l.SetValue("Title", "");
  EXPECT_EQ(l.IndexOfName("Title"), -1);
  EXPECT_EQ(l.GetCount(), 3);
}

TEST(TStringListTest, ObjectsOwnedOnlyWhenAsked) {
  static int freed = 0;
  struct Counted : TObject {
    ~Counted() override { ++freed; }
  };
  freed = 0;
  Counted keep;
  {
    TStringList l;
    l.AddObject("k", &keep);
    EXPECT_EQ(l.Objects(0), &keep);
    EXPECT_EQ(l.IndexOfObject(&keep), 0);
  }
  EXPECT_EQ(freed, 0);
  {
    TStringList l;
    l.SetOwnsObjects(true);
    l.AddObject("a", new Counted);
    l.AddObject("b", new Counted);
    l.AddObject("c", new Counted);
    l.Move(0, 2);  // moving keeps the object alive
    EXPECT_EQ(freed, 0);
    l.Delete(0);
    EXPECT_EQ(freed, 1);
    TObject* old = l.Objects(0);
    l.PutObject(0, new Counted);  // replacing hands the old one back
    EXPECT_EQ(freed, 1);
    delete old;
  }
  EXPECT_EQ(freed, 4);
}

TEST(TStringListTest, StreamsFilesAndAssign) {
  TStringList l;
  l.SetText("first\nsecond");
  TMemoryStream m;
  l.SaveToStream(&m);
  EXPECT_EQ(m.GetSize(), 13);
  // Loading reads from the stream's position; CR LF files load too.
  TStringStream in("skip|x\r\ny\r\n");
  in.SetPosition(5);
  TStringList r;
  r.LoadFromStream(&in);
  EXPECT_EQ(Items(r), (V{"x", "y"}));

  char tmpl[] = "/tmp/pcore-lists-XXXXXX";
  std::string dir = mkdtemp(tmpl);
  l.SaveToFile(dir + "/l.txt");
  TStringList f;
  f.LoadFromFile(dir + "/l.txt");
  EXPECT_EQ(Items(f), (V{"first", "second"}));
  EXPECT_THROW(f.LoadFromFile(dir + "/missing.txt"), EFOpenError);
  std::system(("rm -rf '" + dir + "'").c_str());

  TStringList copy;
  copy.Add("old");
  copy.Assign(&l);
  EXPECT_EQ(Items(copy), (V{"first", "second"}));
  TList notStrings;
  (void)notStrings;
  EXPECT_THROW(copy.Assign(nullptr), EConvertError);
}

TEST(TStringListTest, IndexErrors) {
  TStringList l;
  l.Add("a");
  EXPECT_THROW(l.Get(1), EListError);
  EXPECT_THROW(l.Delete(-1), EListError);
  EXPECT_THROW(l.Insert(3, "x"), EListError);
  EXPECT_THROW(l.Objects(2), EListError);
  EXPECT_THROW(l.Move(0, 1), EListError);
  EXPECT_EQ(Items(l), (V{"a"}));
}

}  // namespace
