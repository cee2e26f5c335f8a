// System and text helpers: folders, the platform questions, GUID and Base64
// text and the tolerant text-to-real conversion.
#include "core/lkutils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "platform/controls.h"
#include "tests/common/file_kit.h"

namespace {

TEST(LKUtilsTest, FoldersAndFileSizes) {
  filekit::TempDir dir("lkutils_");
  EXPECT_THROW(
      {
        try {
          LKForceDirectories("");
        } catch (const Exception& e) {
          EXPECT_STREQ(e.what(), "Cannot Create Directory");
          throw;
        }
      },
      Exception);
  LKForceDirectories("/");  // the root: nothing to do
  // Only the first of three levels exists; the trailing "/" is dropped.
  const std::string deep = dir / "a/b/";
  LKForceDirectories(deep);
  EXPECT_TRUE(LKDirectoryExists(dir / "a"));
  EXPECT_TRUE(LKDirectoryExists(dir / "a/b"));
  LKForceDirectories(deep);  // already there
  filekit::SaveFile(dir / "f", {1, 2, 3, 4, 5});
  EXPECT_FALSE(LKDirectoryExists(dir / "f"));
  EXPECT_FALSE(LKDirectoryExists(""));
  EXPECT_EQ(_getfilesize(dir / "f"), 5);
  EXPECT_EQ(_getfilesize(dir / "missing"), -1);
  EXPECT_EQ(_getfilesize(dir / "a"), -1);
  // A folder under a file cannot be made and is not reported.
  LKForceDirectories(dir / "f/g");
  EXPECT_FALSE(LKDirectoryExists(dir / "f/g"));
}

TEST(LKUtilsTest, FindHandleWalksToTheFirstWindowedOwner) {
  TCustomControl outer;
  TComponent part(&outer);
  EXPECT_EQ(LKFindHandle(&part), nullptr);  // the window is not made yet
  outer.HandleNeeded();
  ASSERT_NE(outer.GetPeer(), nullptr);
  EXPECT_EQ(LKFindHandle(&part), outer.GetPeer());
  // A windowed control without its window ends the walk, whatever its owner.
  auto* inner = new TCustomControl(&outer);
  TComponent deep(inner);
  EXPECT_EQ(LKFindHandle(&deep), nullptr);
  EXPECT_EQ(LKFindHandle(nullptr), nullptr);
}

TEST(LKUtilsTest, ScrollBarCalls) {
  TCustomControl c;
  c.SetBounds(0, 0, 200, 100);
  for (bool flat : {false, true}) {
    EXPECT_EQ(LKSetScrollRange(&c, SB_VERT, 0, 99, 1, flat), 1);
    LKSetScrollPos(&c, SB_VERT, 0, 1, flat);
    EXPECT_EQ(LKSetSBPageSize(&c, SB_VERT, 50, true, flat), 0);
    EXPECT_EQ(c.GetScrollBarState(SB_VERT).Page, 50);
    EXPECT_EQ(LKSetScrollPos(&c, SB_VERT, 30, 1, flat), 0);
    EXPECT_EQ(LKSetScrollPos(&c, SB_VERT, 70, 1, flat), 30);  // the old position; the new one is limited
    EXPECT_EQ(c.GetScrollBarState(SB_VERT).Pos, 50);
    TScrollInfo info;
    info.fMask = SIF_RANGE | SIF_POS;
    info.nMin = 0, info.nMax = 9, info.nPos = 4;
    EXPECT_EQ(LKSetScrollInfo(&c, SB_HORZ, info, -1, flat), 4);
    EXPECT_EQ(LKShowScrollBar(&c, SB_BOTH, 1, flat), 1);
    EXPECT_TRUE(c.GetScrollBarState(SB_HORZ).Shown && c.GetScrollBarState(SB_VERT).Shown);
    EXPECT_EQ(LKEnableScrollBar(&c, SB_BOTH, ESB_DISABLE_BOTH, flat), 1);
    EXPECT_FALSE(c.GetScrollBarState(SB_HORZ).Enabled || c.GetScrollBarState(SB_VERT).Enabled);
    EXPECT_EQ(LKEnableScrollBar(&c, SB_VERT, ESB_ENABLE_BOTH, flat), 1);
    EXPECT_TRUE(c.GetScrollBarState(SB_VERT).Enabled);
    EXPECT_EQ(LKShowScrollBar(&c, SB_BOTH, 0, flat), 1);
    EXPECT_FALSE(c.GetScrollBarState(SB_HORZ).Shown);
  }
  EXPECT_EQ(LKSetScrollRange(nullptr, SB_VERT, 0, 9, 1, false), 0);
  EXPECT_EQ(LKSetScrollPos(&c, 7, 1, 1, false), 0);
}

TEST(LKUtilsTest, VersionQuestions) {
  struct Case {
    TLKOSVersion V;
    bool Win2000MeXp, XP, Win98;
  };
  const Case cases[] = {
      {{2, 10, 0}, true, false, false},  // what the system reports
      {{2, 6, 1}, true, false, false},  {{2, 5, 1}, true, true, false},   {{2, 5, 0}, true, false, false},
      {{2, 4, 0}, false, false, false}, {{1, 4, 90}, true, false, false}, {{1, 4, 10}, false, false, true},
      {{1, 3, 95}, false, false, false}, {{0, 10, 0}, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.V.PlatformId << " " << c.V.Major << "." << c.V.Minor);
    EXPECT_EQ(LKIs_Win2000_ME_XP(c.V), c.Win2000MeXp);
    EXPECT_EQ(LKIs_XP(c.V), c.XP);
    EXPECT_EQ(LKIs_98(c.V), c.Win98);
  }
  EXPECT_TRUE(LKIs_Win2000_ME_XP());
  EXPECT_FALSE(LKIs_XP());
  EXPECT_FALSE(LKIs_98());
  EXPECT_FALSE(LKIsRemoteSession());
#if defined(__x86_64__)
  EXPECT_TRUE(LKMMXSupported());
#endif
}

TEST(LKUtilsTest, GuidText) {
  EXPECT_EQ(LKConvertGUIDToString(TGUID{}), "{00000000-0000-0000-0000-000000000000}");
  const TGUID g{0x0123ABCD, 0x45EF, 0x89A0, {0xB1, 0xC2, 0xD3, 0xE4, 0xF5, 0x06, 0x17, 0x28}};
  const String text = LKConvertGUIDToString(g);
  EXPECT_EQ(text, "{0123abcd-45ef-89a0-b1c2-d3e4f5061728}");
  String upper = text;
  for (char& c : upper) c = char(std::toupper(static_cast<unsigned char>(c)));
  TGUID back;
  ASSERT_TRUE(LKConvertStringToGUID(upper, back));
  EXPECT_EQ(back, g);
  // The closing brace is not needed; short texts and non-digits are refused.
  EXPECT_TRUE(LKConvertStringToGUID(text.substr(0, 37), back));
  EXPECT_EQ(back, g);
  for (const String bad : {String(""), text.substr(0, 36), String("{0123abcd-45ef-89a0-b1c2-d3e4f506172x}")}) {
    EXPECT_FALSE(LKConvertStringToGUID(bad, back)) << bad;
    EXPECT_EQ(back, TGUID{});
  }
}

TEST(LKUtilsTest, Base64Lines) {
  struct Case {
    std::string Bytes;
    Integer LineLength;
    std::string Text;
  };
  const std::string all57(57, '\xff');
  const Case cases[] = {
      {"", 76, ""},
      {"Man", 76, "TWFu\n"},
      {"Ma", 76, "TWE=\n"},
      {"M", 76, "TQ==\n"},
      {all57, 76, std::string(76, '/') + "\n"},
      {all57 + "\xfb", 76, std::string(76, '/') + "\n+w==\n"},
      {"abcdefghij", 10, "YWJjZGVmZ2hp\nag==\n"},  // 10 / 4 = 2.5: three groups a line
  };
  for (const Case& c : cases) {
    TMemoryStream m;
    m.WriteBuffer(c.Bytes.data(), Int64(c.Bytes.size()));
    m.SetPosition(0);
    std::ostringstream out;
    LKencode64(&m, out, c.LineLength);
    EXPECT_EQ(out.str(), c.Text) << c.Bytes.size();
  }
  // Only what follows the position is written.
  TMemoryStream m;
  m.WriteBuffer("xxMan", 5);
  m.SetPosition(2);
  std::ostringstream out;
  LKencode64(&m, out, 76);
  EXPECT_EQ(out.str(), "TWFu\n");
  std::ostringstream broken;
  broken.setstate(std::ios::badbit);
  m.SetPosition(0);
  EXPECT_THROW(LKencode64(&m, broken, 76), EWriteError);
}

TEST(LKUtilsTest, TolerantTextToReal) {
  EXPECT_DOUBLE_EQ(LKStrToFloatDef("1.5", 7), 1.5);
  EXPECT_DOUBLE_EQ(LKStrToFloatDef("1,5", 7), 1.5);
  EXPECT_DOUBLE_EQ(LKStrToFloatDef(" -2.25 ", 7), -2.25);
  EXPECT_DOUBLE_EQ(LKStrToFloatDef("abc", 7), 7);
  EXPECT_DOUBLE_EQ(LKStrToFloatDef("", 7), 7);
  EXPECT_DOUBLE_EQ(LKStrToFloatDef("1,5,5", 7), 7);
}

}  // namespace
