#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "platform/sysutils.h"

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/pcore-sysutils-XXXXXX";
    path_ = mkdtemp(tmpl);
    path_ += "/";
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& Path() const { return path_; }
  std::string Touch(const std::string& name, const std::string& text = "x") const {
    std::ofstream(path_ + name) << text;
    return path_ + name;
  }

 private:
  std::string path_;
};

TEST(PathTest, ExtractAndChangeParts) {
  struct Case {
    const char* name;
    const char* path;
    const char* dir;
    const char* file;
    const char* ext;
    const char* changed;  // ChangeFileExt(name, ".tif")
  } cases[] = {
      {"/home/u/pic.crw", "/home/u/", "/home/u", "pic.crw", ".crw", "/home/u/pic.tif"},
      {"pic", "", "", "pic", "", "pic.tif"},
      {"/a.b/file", "/a.b/", "/a.b", "file", "", "/a.b/file.tif"},
      {"archive.tar.gz", "", "", "archive.tar.gz", ".gz", "archive.tar.tif"},
      {"/root.txt", "/", "/", "root.txt", ".txt", "/root.tif"},
      {"dir/", "dir/", "dir", "", "", "dir/.tif"},
  };
  for (auto& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.name), c.path) << c.name;
    EXPECT_EQ(ExtractFileDir(c.name), c.dir) << c.name;
    EXPECT_EQ(ExtractFileName(c.name), c.file) << c.name;
    EXPECT_EQ(ExtractFileExt(c.name), c.ext) << c.name;
    EXPECT_EQ(ChangeFileExt(c.name, ".tif"), c.changed) << c.name;
  }
  EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp"), "/tmp/");
  EXPECT_EQ(IncludeTrailingPathDelimiter("/tmp/"), "/tmp/");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/tmp/"), "/tmp");
  EXPECT_EQ(ExcludeTrailingPathDelimiter("/"), "/");
  EXPECT_EQ(ExpandFileName("/a/b/../c/./d"), "/a/c/d");
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  EXPECT_EQ(ExpandFileName("x/../y.txt"), std::string(cwd) + "/y.txt");
}

TEST(FileTest, ExistsCreateDeleteRename) {
  TempDir d;
  std::string f = d.Touch("one.txt", "12345");
  EXPECT_TRUE(FileExists(f));
  EXPECT_FALSE(FileExists(d.Path()));  // a folder is no file
  EXPECT_TRUE(DirectoryExists(d.Path()));
  EXPECT_FALSE(DirectoryExists(f));
  EXPECT_EQ(FileSizeOf(f), 5);
  EXPECT_EQ(FileSizeOf(d.Path() + "none"), -1);

  EXPECT_TRUE(ForceDirectories(d.Path() + "a/b/c/"));
  EXPECT_TRUE(DirectoryExists(d.Path() + "a/b/c"));
  EXPECT_TRUE(ForceDirectories(d.Path() + "a/b"));  // already there
  EXPECT_FALSE(ForceDirectories(f + "/sub"));        // under a file
  EXPECT_FALSE(ForceDirectories(""));

  std::string g = d.Touch("two.txt", "2");
  EXPECT_FALSE(RenameFile(f, g));  // never over an existing file
  EXPECT_EQ(FileSizeOf(g), 1);
  EXPECT_TRUE(RenameFile(f, d.Path() + "three.txt"));
  EXPECT_FALSE(FileExists(f));
  EXPECT_TRUE(ReplaceFile(d.Path() + "three.txt", g));  // the save-over step
  EXPECT_EQ(FileSizeOf(g), 5);
  EXPECT_TRUE(DeleteFile(g));
  EXPECT_FALSE(DeleteFile(g));

  TDateTime age = 0;
  std::string h = d.Touch("h.txt");
  ASSERT_TRUE(FileAge(h, age));
  EXPECT_NEAR(age, Now(), 1.0 / 24);
  EXPECT_FALSE(FileAge(d.Path() + "none", age));
}

TEST(FileTest, Attributes) {
  TempDir d;
  std::string f = d.Touch("f.txt");
  std::string h = d.Touch(".hidden");
  EXPECT_EQ(FileGetAttr(f), faArchive);
  EXPECT_EQ(FileGetAttr(h), faArchive | faHidden);
  EXPECT_EQ(FileGetAttr(d.Path()) & faDirectory, faDirectory);
  chmod(f.c_str(), 0444);
  EXPECT_EQ(FileGetAttr(f), faArchive | faReadOnly);
  ASSERT_EQ(symlink(f.c_str(), (d.Path() + "link").c_str()), 0);
  EXPECT_EQ(FileGetAttr(d.Path() + "link") & faSymLink, faSymLink);
  EXPECT_EQ(FileGetAttr(d.Path() + "none"), -1);
}

TEST(FindTest, MasksAreCaseInsensitive) {
  struct Case {
    const char* name;
    const char* mask;
    bool match;
  } cases[] = {
      {"IMG_0001.CR2", "*.cr2", true}, {"img.crw", "*.CRW", true}, {"img.crw", "*.cr?", true},
      {"img.cr", "*.cr?", false},      {"readme", "*.*", true},    {"a.b.c", "*.c", true},
      {"abc", "a*c", true},            {"abcd", "a*c", false},     {"aXbXc", "a*b*c", true},
      {"", "*", true},                 {"x", "", false},           {"photo.nef", "p?oto.*", true},
  };
  for (auto& c : cases) EXPECT_EQ(MatchesMask(c.name, c.mask), c.match) << c.name << " ~ " << c.mask;
}

TEST(FindTest, ListsMatchingEntriesInNameOrder) {
  TempDir d;
  d.Touch("b.CRW", "bb");
  d.Touch("a.crw", "a");
  d.Touch("C.crw");
  d.Touch("x.txt");
  d.Touch(".hidden.crw");
  ASSERT_TRUE(CreateDir(d.Path() + "folder.crw"));

  auto list = [&](const std::string& mask, Integer attr) {
    std::vector<std::string> names;
    TSearchRec sr;
    if (FindFirst(d.Path() + mask, attr, sr) == 0) {
      do names.push_back(sr.Name);
      while (FindNext(sr) == 0);
      FindClose(sr);
    }
    return names;
  };
  EXPECT_EQ(list("*.crw", faArchive), (std::vector<std::string>{"a.crw", "b.CRW", "C.crw"}));
  EXPECT_EQ(list("*.crw", faAnyFile),
            (std::vector<std::string>{".hidden.crw", "a.crw", "b.CRW", "C.crw", "folder.crw"}));
  EXPECT_EQ(list("*.jpg", faAnyFile), std::vector<std::string>{});

  TSearchRec sr;
  ASSERT_EQ(FindFirst(d.Path() + "b.crw", faArchive, sr), 0);
  EXPECT_EQ(sr.Size, 2);
  EXPECT_EQ(sr.Attr, faArchive);
  EXPECT_GT(sr.TimeStamp, 40000);
  EXPECT_NE(FindNext(sr), 0);
  EXPECT_NE(FindFirst(d.Path() + "missing/*", faAnyFile, sr), 0);
}

TEST(TempTest, FolderAndExclusiveCreation) {
  const char* old = std::getenv("TMPDIR");
  std::string saved = old ? old : "";
  TempDir d;
  setenv("TMPDIR", d.Path().substr(0, d.Path().size() - 1).c_str(), 1);
  EXPECT_EQ(GetTempFolder(), d.Path());
  setenv("TMPDIR", "/no/such/folder", 1);
  EXPECT_EQ(GetTempFolder(), "/tmp/");
  if (old) setenv("TMPDIR", saved.c_str(), 1); else unsetenv("TMPDIR");

  std::string name = d.Path() + "IMG-0A1B2C3D.tmp";
  EXPECT_EQ(CreateFileExclusive(name), 0);
  struct stat st {};
  ASSERT_EQ(stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_size, 0);
  EXPECT_EQ(CreateFileExclusive(name), EEXIST);
  // A dangling symbolic link is taken too: never follow it to create a file.
  ASSERT_EQ(symlink((d.Path() + "target").c_str(), (d.Path() + "lnk.tmp").c_str()), 0);
  EXPECT_EQ(CreateFileExclusive(d.Path() + "lnk.tmp"), EEXIST);
  EXPECT_FALSE(FileExists(d.Path() + "target"));
  EXPECT_EQ(CreateFileExclusive(d.Path() + "no/dir.tmp"), ENOENT);
}

TEST(MemoryTest, AvailableMemoryFromMemInfo) {
  TempDir d;
  std::string big = d.Touch("big", "MemTotal:       67108864 kB\nMemFree:  100 kB\nMemAvailable:   33554432 kB\n");
  std::string small = d.Touch("small", "MemAvailable: 1024 kB\n");
  std::string none = d.Touch("none", "MemTotal: 1 kB\n");
  std::string junk = d.Touch("junk", "MemAvailable: lots kB\n");
  EXPECT_EQ(GetAvailablePhysicalMemory(big), Int64{33554432} * 1024);
  EXPECT_EQ(GetAvailablePhysicalMemory32(big), INT32_MAX);
  EXPECT_EQ(GetAvailablePhysicalMemory32(small), 1024 * 1024);
  EXPECT_EQ(GetAvailablePhysicalMemory(none), -1);
  EXPECT_EQ(GetAvailablePhysicalMemory(junk), -1);
  EXPECT_EQ(GetAvailablePhysicalMemory(d.Path() + "missing"), -1);
  EXPECT_GT(GetAvailablePhysicalMemory(), 0);
}

TEST(NumberTextTest, Integers) {
  EXPECT_EQ(IntToStr(-42), "-42");
  EXPECT_EQ(IntToStr(Int64{1} << 40), "1099511627776");
  EXPECT_EQ(IntToHex(255, 4), "00FF");
  EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");  // two's complement of a 32-bit value
  EXPECT_EQ(IntToHex(Int64{-2}, 1), "FFFFFFFFFFFFFFFE");
  EXPECT_EQ(IntToHex(Byte{0xAB}, 0), "AB");
  EXPECT_EQ(IntToHex(0xDEADu, 8), "0000DEAD");

  struct Case {
    const char* text;
    bool ok;
    Integer value;
  } cases[] = {
      {"0", true, 0},          {"  -17", true, -17},      {"+5", true, 5},
      {"$ff", true, 255},      {"0x10", true, 16},        {"2147483647", true, INT32_MAX},
      {"-2147483648", true, INT32_MIN}, {"2147483648", false, 0}, {"", false, 0},
      {"12 ", false, 0},       {"1.5", false, 0},         {"abc", false, 0},
      {"-", false, 0},         {"$", false, 0},           {"--1", false, 0},
  };
  for (auto& c : cases) {
    Integer v = 0;
    EXPECT_EQ(TryStrToInt(c.text, v), c.ok) << c.text;
    if (c.ok) {
      EXPECT_EQ(v, c.value) << c.text;
    }
    EXPECT_EQ(StrToIntDef(c.text, -99), c.ok ? c.value : -99) << c.text;
  }
  try {
    StrToInt("x1");
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "'x1' is not a valid integer value");
  }
  EXPECT_EQ(StrToInt64("-9223372036854775808"), INT64_MIN);
  EXPECT_THROW(StrToInt64("9223372036854775808"), EConvertError);
}

TEST(NumberTextTest, FloatsIgnoreTheLocale) {
  // Qt sets the user's locale at start-up; a comma locale must not leak in.
  const char* had = std::setlocale(LC_NUMERIC, nullptr);
  std::string saved = had ? had : "C";
  std::setlocale(LC_NUMERIC, "de_DE.UTF-8");

  struct Case {
    double value;
    const char* text;
  } cases[] = {
      {0.1, "0.1"},       {1.5, "1.5"},          {-2.25, "-2.25"},  {100, "100"},
      {1e20, "1E20"},     {1.5e-5, "1.5E-5"},    {0.0001, "0.0001"}, {1.0 / 3, "0.333333333333333"},
      {123456789012345.0, "123456789012345"},   {1234567890123456.0, "1.23456789012346E15"},
      {-0.0, "0"},        {2.2, "2.2"},
  };
  for (auto& c : cases) EXPECT_EQ(FloatToStr(c.value), c.text) << c.value;
  EXPECT_EQ(FloatToStr(std::nan("")), "NAN");
  EXPECT_EQ(FloatToStr(-INFINITY), "-INF");

  struct Parse {
    const char* text;
    bool ok;
    double value;
  } parses[] = {
      {"1.5", true, 1.5},  {" -2.5e3 ", true, -2500}, {"+.5", true, 0.5}, {"7", true, 7},
      {"1,5", false, 0},   {"inf", false, 0},         {"nan", false, 0},  {"", false, 0},
      {"1.5x", false, 0},  {"e5", false, 0},          {"+-1", false, 0},  {"1E-5", true, 1e-5},
  };
  for (auto& p : parses) {
    double v = 0;
    EXPECT_EQ(TryStrToFloat(p.text, v), p.ok) << p.text;
    if (p.ok) {
      EXPECT_DOUBLE_EQ(v, p.value) << p.text;
    }
  }
  // Every printed value reads back exactly enough.
  for (auto& c : cases) EXPECT_NEAR(StrToFloat(FloatToStr(c.value)), c.value, std::fabs(c.value) * 1e-14);
  EXPECT_THROW(StrToFloat("abc"), EConvertError);
  EXPECT_EQ(StrToFloatDef("1,5", 9.0), 9.0);
  std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(StringTest, AsciiHelpers) {
  EXPECT_EQ(UpperCase("abcXYZ-é"), "ABCXYZ-é");
  EXPECT_EQ(LowerCase("ABCxyz"), "abcxyz");
  EXPECT_EQ(Trim(" \t a b \r\n"), "a b");
  EXPECT_EQ(TrimLeft("  a "), "a ");
  EXPECT_EQ(TrimRight("  a "), "  a");
  EXPECT_TRUE(SameText("Camera RAW", "CAMERA raw"));
  EXPECT_LT(CompareText("abc", "ABD"), 0);
  EXPECT_GT(CompareText("abcd", "ABC"), 0);
  EXPECT_LT(CompareStr("ABC", "abc"), 0);
}

TEST(DateTimeTest, EncodeDecode) {
  struct Case {
    Word y, m, d;
    double value;
  } cases[] = {
      {1899, 12, 30, 0}, {1900, 1, 1, 2}, {2000, 1, 1, 36526}, {2000, 2, 29, 36585},
      {1, 1, 1, -693593}, {9999, 12, 31, 2958465}, {1899, 12, 29, -1},
  };
  for (auto& c : cases) {
    EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.value) << c.y << "-" << c.m << "-" << c.d;
    Word y, m, d;
    // Before day 0 the time of day is written as a negative fraction.
    DecodeDate(c.value + (c.value >= 0 ? 0.75 : -0.75), y, m, d);
    EXPECT_EQ((std::vector<Word>{y, m, d}), (std::vector<Word>{c.y, c.m, c.d})) << c.value;
  }
  for (auto bad : {std::vector<Word>{2001, 2, 29}, {2000, 13, 1}, {0, 1, 1}, {2000, 4, 31}, {10000, 1, 1}}) {
    try {
      EncodeDate(bad[0], bad[1], bad[2]);
      ADD_FAILURE() << bad[0] << "-" << bad[1] << "-" << bad[2];
    } catch (const EConvertError& e) {
      EXPECT_STREQ(e.what(), "Invalid argument to date encode");
    }
  }
  EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
  EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
  EXPECT_THROW(EncodeTime(1, 0, 0, 1000), EConvertError);

  Word h, mi, s, ms, y, mo, d;
  DecodeTime(36526 + EncodeTime(13, 45, 30, 250), h, mi, s, ms);
  EXPECT_EQ((std::vector<Word>{h, mi, s, ms}), (std::vector<Word>{13, 45, 30, 250}));
  // Before 1899-12-30 the fraction still counts forward from midnight.
  DecodeTime(-1.25, h, mi, s, ms);
  EXPECT_EQ(h, 6);
  // A value a hair below midnight rounds to the next day, not to 24:00.
  DecodeDate(36526.99999999999, y, mo, d);
  DecodeTime(36526.99999999999, h, mi, s, ms);
  EXPECT_EQ((std::vector<Word>{y, mo, d, h, mi, s, ms}), (std::vector<Word>{2000, 1, 2, 0, 0, 0, 0}));
  // Values outside the calendar give zeros, never garbage.
  for (double v : {std::nan(""), 1e300, -1e7, static_cast<double>(INFINITY)}) {
    DecodeDate(v, y, mo, d);
    DecodeTime(v, h, mi, s, ms);
    EXPECT_EQ((std::vector<Word>{y, mo, d, h, mi, s, ms}), (std::vector<Word>(7, 0))) << v;
  }
  EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 10)), 5);  // a Thursday
  EXPECT_EQ(DayOfWeek(0), 7);                         // 1899-12-30 was a Saturday
}

TEST(DateTimeTest, FixedDateAndTimeText) {
  TDateTime v = EncodeDate(2007, 3, 4) + EncodeTime(9, 5, 7, 999);
  EXPECT_EQ(DateToStr(v), "2007-03-04");
  EXPECT_EQ(TimeToStr(v), "09:05:07");
  EXPECT_EQ(DateTimeToStr(v), "2007-03-04 09:05:07");
  EXPECT_EQ(DateTimeToStr(std::nan("")), "0000-00-00 00:00:00");
  struct Case {
    const char* text;
    bool ok;
    double value;
  } cases[] = {
      {"2007-03-04", true, EncodeDate(2007, 3, 4)}, {" 1999-1-2 ", true, EncodeDate(1999, 1, 2)},
      {"2007-02-30", false, 0}, {"07-03-04", false, 0}, {"2007/03/04", false, 0},
      {"2007-03-04x", false, 0}, {"", false, 0}, {"2007-003-04", false, 0},
  };
  for (auto& c : cases) {
    TDateTime d = -5;
    EXPECT_EQ(TryStrToDate(c.text, d), c.ok) << c.text;
    EXPECT_EQ(d, c.ok ? c.value : -5) << c.text;  // untouched on failure
  }
}

TEST(DateTimeTest, NowReadsTheInjectedClock) {
  const TDateTime pinned = EncodeDate(2024, 2, 29) + EncodeTime(23, 59, 58, 500);
  SetNowFunction([&] { return pinned; });
  EXPECT_EQ(Now(), pinned);
  EXPECT_EQ(Date(), EncodeDate(2024, 2, 29));
  EXPECT_NEAR(Time(), EncodeTime(23, 59, 58, 500), 1e-9);
  SetNowFunction(nullptr);
  // Back on the system clock: agrees with the local time of time().
  TDateTime expected = UnixToLocalDateTime(static_cast<Int64>(std::time(nullptr)));
  EXPECT_NEAR(Now(), expected, 5.0 / 86400);
  EXPECT_EQ(UnixToLocalDateTime(0) > 25568 && UnixToLocalDateTime(0) < 25570, true);
}

}  // namespace
