// DXF import of the vector view. The files come from a small writer of our
// own that follows the published DXF reference (group codes right-aligned
// in three columns, HEADER extents with codes 10/20/30, entities on layer
// "0"), not from the view.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/file_kit.h"
#include "views/vect_fixture.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

/// Writes group pairs the way drawing programs write them.
class TDxfWriter {
 public:
  explicit TDxfWriter(const char* EndOfLine = "\n") : FEol(EndOfLine) {}
  TDxfWriter& Pair(int Code, const std::string& Value) {
    char code[16];
    std::snprintf(code, sizeof code, "%3d", Code);
    FOut << code << FEol << Value << FEol;
    return *this;
  }
  TDxfWriter& Num(int Code, double V) {
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s.precision(15);
    s << V;
    return Pair(Code, s.str());
  }
  TDxfWriter& Section(const std::string& Name) { return Pair(0, "SECTION").Pair(2, Name); }
  TDxfWriter& EndSection() { return Pair(0, "ENDSEC"); }
  TDxfWriter& Point(int Code, double X, double Y) { return Num(Code, X).Num(Code + 10, Y).Num(Code + 20, 0); }
  TDxfWriter& Extents(double X0, double Y0, double X1, double Y1) {
    return Section("HEADER").Pair(9, "$ACADVER").Pair(1, "AC1009").Pair(9, "$EXTMIN").Point(10, X0, Y0)
        .Pair(9, "$EXTMAX").Point(10, X1, Y1).EndSection();
  }
  TDxfWriter& Line(double X0, double Y0, double X1, double Y1) {
    return Pair(0, "LINE").Pair(8, "0").Point(10, X0, Y0).Point(11, X1, Y1);
  }
  TDxfWriter& Circle(double X, double Y, double R) { return Pair(0, "CIRCLE").Pair(8, "0").Point(10, X, Y).Num(40, R); }
  TDxfWriter& Arc(double X, double Y, double R, double A0, double A1) {
    return Circle(X, Y, R).Num(50, A0).Num(51, A1).Rename("CIRCLE", "ARC");
  }
  TDxfWriter& Raw(const std::string& S) {
    FOut << S;
    return *this;
  }
  std::string Text() { return FOut.str() + "  0" + FEol + "EOF" + FEol; }

 private:
  // Renames the last entity (an arc is a circle with two angles).
  TDxfWriter& Rename(const std::string& From, const std::string& To) {
    std::string s = FOut.str();
    const std::size_t at = s.rfind(From);
    s.replace(at, From.size(), To);
    FOut.str("");
    FOut << s;
    return *this;
  }
  std::string FEol;
  std::ostringstream FOut;
};

class VectDxf : public VectTest {
 protected:
  bool Import(const std::string& Text, Integer W, Integer H) {
    v_->GetLKBitmap()->Allocate(W, H, lk24RGB);
    std::ofstream(path_, std::ios::binary) << Text;
    return v_->ImportDXF(path_);
  }
  TRect Rect(Integer I) { return v_->GetObjRect(v_->GetObjectAt(I)); }
  TLKVObject& At(Integer I) { return *v_->GetObj(v_->GetObjectAt(I)); }
  // Each test process has a folder of its own: ctest runs these side by side.
  filekit::TempDir dir_{"vect_dxf_"};
  std::string path_ = dir_ / "drawing.dxf";
};

TEST_F(VectDxf, LinesMapIntoThePictureWithYTurnedOver) {
  struct Case {
    const char* Name;
    bool Header;
    double X0, Y0, X1, Y1;  // extents
    Integer W, H;
    double LX0, LY0, LX1, LY1;  // the line
    TRect Want;
  };
  const Case cases[] = {
      {"no header", false, 0, 0, 0, 0, 1001, 1001, 0, 0, 1000, 1000, {0, 1000, 1000, 0}},
      {"wide extents", true, 0, 0, 100, 50, 505, 505, 100, 50, 0, 0, {500, 0, 0, 250}},
      {"offset extents", true, -10, 20, 90, 120, 101, 101, -10, 20, 90, 120, {0, 100, 100, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    v_->RemoveAllObjects();
    TDxfWriter w;
    if (c.Header) w.Extents(c.X0, c.Y0, c.X1, c.Y1);
    w.Section("ENTITIES").Line(c.LX0, c.LY0, c.LX1, c.LY1).EndSection();
    ASSERT_TRUE(Import(w.Text(), c.W, c.H));
    ASSERT_EQ(v_->GetObjectCount(), 1);
    EXPECT_EQ(At(0).Kind, lkkLINE);
    EXPECT_EQ(Rect(0), c.Want);
    EXPECT_EQ(At(0).PenWidth, 1);
    EXPECT_EQ(At(0).EndShape, lksNONE);
  }
}

TEST_F(VectDxf, CirclesAndArcsBecomeOrderedBoxes) {
  TDxfWriter w;
  w.Extents(0, 0, 100, 100).Section("ENTITIES").Circle(50, 50, 10).Arc(30, 70, 5, 0, 90).EndSection();
  ASSERT_TRUE(Import(w.Text(), 101, 101));
  ASSERT_EQ(v_->GetObjectCount(), 2);
  EXPECT_EQ(At(0).Kind, lkkELLIPSE);
  EXPECT_EQ(Rect(0), (TRect{40, 40, 60, 60}));
  EXPECT_EQ(At(1).Kind, lkkARC);
  EXPECT_EQ(Rect(1), (TRect{25, 25, 35, 35}));
  EXPECT_DOUBLE_EQ(At(1).ArcStartingAngle, 2 * kPi);
  EXPECT_DOUBLE_EQ(At(1).ArcEndingAngle, 1.5 * kPi);
}

TEST_F(VectDxf, HeaderOrderSectionsAndMissingCodes) {
  // The maximum first: the scale uses it with the initial minimum and is
  // not recomputed when the minimum follows.
  TDxfWriter a;
  a.Section("HEADER").Pair(9, "$EXTMAX").Point(10, 100, 100).Pair(9, "$EXTMIN").Point(10, 50, 50).EndSection();
  a.Section("ENTITIES").Line(50, 50, 60, 60).EndSection();
  ASSERT_TRUE(Import(a.Text(), 101, 101));
  EXPECT_EQ(Rect(0), (TRect{0, 100, 10, 90}));

  // Entities in BLOCKS, polylines and texts are passed over; a line without
  // its end point takes it from the pairs that follow, swallowing the
  // circle on the way.
  v_->RemoveAllObjects();
  TDxfWriter b;
  b.Extents(0, 0, 1000, 1000).Section("BLOCKS").Pair(0, "BLOCK").Line(1, 1, 2, 2).Pair(0, "ENDBLK").EndSection();
  b.Section("ENTITIES").Pair(0, "POLYLINE").Pair(66, "1").Pair(0, "TEXT").Point(10, 3, 3).Pair(1, "hello");
  b.Pair(0, "LINE").Point(10, 0, 0).Circle(9, 9, 1).Line(100, 100, 200, 300).EndSection();
  ASSERT_TRUE(Import(b.Text(), 1001, 1001));
  ASSERT_EQ(v_->GetObjectCount(), 1);
  EXPECT_EQ(Rect(0), (TRect{0, 1000, 200, 700}));
}

// Real files end lines with CR LF and pad codes with blanks; they import
// the same as plain ones.
TEST_F(VectDxf, CrLfAndPaddedCodesImport) {
  TDxfWriter w("\r\n");
  w.Extents(0, 0, 100, 100).Section("ENTITIES").Line(0, 0, 100, 100).Raw("    0\r\nCIRCLE\r\n 10\r\n50\r\n 20\r\n50\r\n40\r\n 10 \r\n");
  w.EndSection();
  ASSERT_TRUE(Import(w.Text(), 101, 101));
  ASSERT_EQ(v_->GetObjectCount(), 2);
  EXPECT_EQ(Rect(0), (TRect{0, 100, 100, 0}));
  EXPECT_EQ(Rect(1), (TRect{40, 40, 60, 60}));
}

// Bad files end with false, the objects read before kept, and never a
// division by zero, an overflow or a runaway line.
TEST_F(VectDxf, BadFilesAreRefusedKeepingWhatWasRead) {
  struct Case {
    const char* Name;
    std::string Text;
    bool Result;
    Integer Objects;
  };
  const std::string line = TDxfWriter().Section("ENTITIES").Line(0, 0, 10, 10).Text();
  const std::string entities = line.substr(0, line.rfind("  0"));
  const Case cases[] = {
      {"not a DXF file", "hello\nworld\n1\n2\n", true, 0},
      {"empty file", "", true, 0},
      {"section without a code", "0\nSECTION\nabc\nHEADER\n", false, 0},
      {"bad number", entities + "  0\nLINE\n 10\n1.5.3\n 20\n0\n", false, 1},
      {"not a number", entities + "  0\nCIRCLE\n 10\nnan\n", false, 1},
      {"extents without width", TDxfWriter().Extents(5, 5, 4, 10).Text(), false, 0},
      {"huge values", entities + "  0\nLINE\n 10\n1e300\n 20\n-1e300\n 11\n1e308\n 21\n0\n", true, 2},
      {"huge extents", TDxfWriter().Extents(0, 0, -0.9999999999, -0.9999999999).Section("ENTITIES").Line(1, 1, 2, 2).Text(), true,
       1},
      {"endless line", entities + std::string(100000, '7'), false, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    v_->RemoveAllObjects();
    EXPECT_EQ(Import(c.Text, 200, 100), c.Result);
    EXPECT_EQ(v_->GetObjectCount(), c.Objects);
  }
  EXPECT_FALSE(v_->ImportDXF("/nonexistent/folder/x.dxf"));
}

}  // namespace
