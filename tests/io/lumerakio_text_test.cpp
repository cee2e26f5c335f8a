// The picture as text: the four forms byte for byte, over a registered
// stand-in writer whose output the test chooses, and the failures that must
// leave an existing file alone.
#include <gtest/gtest.h>

#include <string>

#include "core/lkbitmap.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "tests/io/io_kit.h"

using namespace iokit;

namespace {

constexpr Integer kBytesType = 5100;
std::string gEncoded;  // what the stand-in writer writes

void WriteChosen(TStream& S, TLKBitmap&, TIOParamsVals&, TProgressRec&) {
  if (!gEncoded.empty()) S.WriteBuffer(gEncoded.data(), Integer(gEncoded.size()));
}

struct Text : ::testing::Test {
  TempDir dir;
  TLumerakIO io;
  void SetUp() override {
    TLKFileFormatInfo info;
    info.FormatType = kBytesType;
    info.FormatName = "Chosen bytes";
    info.ExtensionList = "CHB";
    info.WriteProc = WriteChosen;
    LKFileFormatAdd(info);
    io.GetLKBitmap()->Allocate(2, 2, lk24RGB);
  }
  void TearDown() override { LKFileFormatRemove(kBytesType); }
  // SaveToText of Bytes into a file named Name (relative to the current
  // folder, as the identifier is made from the name exactly as passed).
  std::string Save(const std::string& Bytes, TLKTextFormat Format, const String& Name = "pic.txt") {
    gEncoded = Bytes;
    const String path = dir.File(Name);
    io.SaveToText(path, kBytesType, Format);
    return ReadAll(path);
  }
};

std::string Seq(int N) {
  std::string s;
  for (int i = 0; i < N; ++i) s += char(i);
  return s;
}

TEST_F(Text, PascalArray) {
  const String id = dir.File("pic_txt");
  EXPECT_EQ(Save("\x01\xab\x03", lktfPascal),
            "const\n  " + id + "_Size = 3;\n  " + id + " : array [0.." + id +
                "_Size-1] of byte = (\n    $01,$AB,$03);\n");
  // 18 items make 72 characters, past 70: a line; the rest ends with ");".
  const std::string t = Save(Seq(20), lktfPascal);
  EXPECT_NE(t.find("(\n    $00,$01,$02,$03,$04,$05,$06,$07,$08,$09,$0A,$0B,$0C,$0D,$0E,$0F,$10,$11,\n"
                   "    $12,$13);\n"),
            std::string::npos)
      << t;
  // A last byte that fills a line ends that line.
  const std::string u = Save(Seq(18), lktfPascal);
  EXPECT_EQ(u.substr(u.find("(\n") + 2), "    $00,$01,$02,$03,$04,$05,$06,$07,$08,$09,$0A,$0B,$0C,$0D,$0E,$0F,$10,$11);\n")
      << u;
  EXPECT_EQ(io.GetIOParams()->FILENAME, dir.File("pic.txt"));
}

TEST_F(Text, HexBytesNeverIndentAndEndWithoutAComma) {
  // 15 items of 5 characters pass 70 and make a line.
  const std::string t = Save(Seq(17), lktfHEX);
  EXPECT_EQ(t,
            "\\\\ Size=17\n"
            "0x00,0x01,0x02,0x03,0x04,0x05,0x06,0x07,0x08,0x09,0x0A,0x0B,0x0C,0x0D,0x0E,\n"
            "0x0F,0x10\n");
  EXPECT_EQ(Save("\xff", lktfHEX), "\\\\ Size=1\n0xFF\n");
}

TEST_F(Text, Base64Lines) {
  struct Row {
    std::string In, Out;
  };
  const std::vector<Row> rows = {
      {"abc", "YWJj\n"},
      {"ab", "YWI=\n"},
      {"a", "YQ==\n"},
      {"", ""},
      {std::string(57, '\xff'), std::string(76, '/') + "\n"},
      {std::string(58, '\0'), std::string(76, 'A') + "\nAA==\n"},
  };
  for (const Row& r : rows) EXPECT_EQ(Save(r.In, lktfBase64), r.Out) << r.In.size();
}

TEST_F(Text, AsciiArtOfGreys) {
  TLKBitmap* b = io.GetLKBitmap();
  b->Allocate(5, 2, lk24RGB);
  const Byte greys[2][5] = {{0, 255, 128, 29, 227}, {255, 0, 57, 200, 100}};
  for (Integer y = 0; y < 2; ++y) {
    auto* row = static_cast<Byte*>(b->GetScanLine(y));
    for (Integer x = 0; x < 5; ++x) row[3 * x] = row[3 * x + 1] = row[3 * x + 2] = greys[y][x];
  }
  // Grey g is the character at trunc(g / 255 * 9) of "W@#*+:., ": 29 is
  // just past the first step (1.02), 227 just past the last (8.01); 255
  // (index 9) takes the last character too.
  EXPECT_EQ(Save("", lktfASCIIArt), "W +@ \n W#,*\n");
}

// Failures leave an existing file as it was: a picture that is not 24-bit
// for ASCII art, a type nobody writes for the encoded forms.
TEST_F(Text, FailuresKeepTheOldFile) {
  const String path = dir.File("keep.txt");
  WriteAll(path, "old");
  io.GetLKBitmap()->Allocate(4, 4, lk8g);
  io.SaveToText(path, kBytesType, lktfASCIIArt);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(ReadAll(path), "old");
  io.SetAborted(false);
  io.SaveToText(path, 7777, lktfPascal);
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(ReadAll(path), "old");
  EXPECT_THROW(io.SaveToText(dir.File("no/such/folder.txt"), kBytesType, lktfHEX), EFCreateError);
}

}  // namespace
