// The cursor registry: the image views' 33 screen cursors come from the
// program's resources with their hot spots; standard cursors map to Qt's.
#include <gtest/gtest.h>

#include <QCursor>
#include <QWidget>
#include <optional>

#include "platform/controls.h"
#include "platform/cursors.h"
#include "platform/forms.h"

TEST(Cursors, TheViewCursorsLoadWithTheirHotSpots) {
  struct TRow {
    TCursor Id;
    const char* Resource;
    TPoint Mono;
    std::optional<TPoint> Colour;
  };
  // Screen cursors 1778..1810 as the single-image view registers them.
  const TRow rows[] = {
      {1778, "ZOOMMENO", {10, 10}, {}}, {1779, "ZOOMPIU", {10, 10}, {}},  {1780, "CROCE", {16, 15}, {}},
      {1781, "GOMMA", {10, 7}, {}},     {1782, "MANO", {8, 7}, {}},       {1783, "PENNA", {2, 29}, {}},
      {1784, "CROCE1", {16, 15}, {}},   {1785, "CROCE3", {16, 15}, {}},   {1786, "MOVE2", {15, 15}, {}},
      {1787, "MOVEY", {15, 15}, {}},    {1788, "MOVE1", {15, 15}, {}},    {1789, "MOVEX", {15, 15}, {}},
      {1790, "MOVE", {10, 10}, {}},     {1791, "CROCE3+", {16, 15}, {}},  {1792, "CROCE3-", {16, 15}, {}},
      {1793, "CROCE2", {16, 15}, {}},   {1794, "CROCE2+", {16, 15}, {}},  {1795, "CROCE2-", {15, 16}, {}},
      {1796, "CROCE2-", {15, 16}, {}},  {1797, "1795", {0, 15}, TPoint{2, 14}},
      {1798, "1796", {1, 15}, TPoint{1, 14}},   {1799, "1797", {13, 14}, TPoint{15, 14}},
      {1800, "1798", {8, 15}, TPoint{8, 13}},   {1801, "1799", {8, 8}, TPoint{8, 7}},
      {1802, "1800", {3, 3}, TPoint{3, 3}},     {1803, "1801", {1, 1}, TPoint{1, 2}},
      {1804, "1802", {1, 1}, TPoint{0, 0}},     {1805, "1803", {0, 0}, {}},
      {1806, "1803", {0, 0}, {}},               {1807, "1805", {6, 7}, TPoint{7, 7}},
      {1808, "1806", {1, 1}, TPoint{0, 0}},     {1809, "1807", {7, 0}, TPoint{7, 0}},
      {1810, "1808", {11, 11}, TPoint{6, 5}},
  };
  QWidget w;
  for (const TRow& r : rows) {
    SCOPED_TRACE(r.Resource);
    ASSERT_TRUE(Screen->LoadCursor(r.Id, r.Resource));
    const TCursorResource* c = GetScreenCursor(r.Id);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Monochrome.HotSpot, r.Mono);
    EXPECT_EQ(c->Colour.has_value(), r.Colour.has_value());
    if (r.Colour) EXPECT_EQ(c->Colour->HotSpot, *r.Colour);
    EXPECT_EQ(c->Shown().Width, 32);
    EXPECT_EQ(c->Shown().Pixels.size(), 32u * 32u);
    // The screen shows the colour image's hot spot where there is one.
    ApplyCursor(&w, r.Id);
    const TPoint shown = r.Colour ? *r.Colour : r.Mono;
    EXPECT_EQ(w.cursor().hotSpot(), QPoint(shown.X, shown.Y));
    EXPECT_FALSE(w.cursor().pixmap().isNull());
  }
}

TEST(Cursors, RegistrationReplacesAndStandardCursorsMapToShapes) {
  EXPECT_FALSE(LoadScreenCursor(4000, "NO SUCH CURSOR"));
  EXPECT_EQ(GetScreenCursor(4000), nullptr);
  TCursorResource mine;
  mine.Monochrome.Pixels.assign(32 * 32, 0xFF000000u);
  mine.Monochrome.HotSpot = TPoint{4, 5};
  RegisterCursorResource("MINE", mine);
  ASSERT_TRUE(LoadScreenCursor(4000, "MINE"));
  mine.Monochrome.HotSpot = TPoint{6, 7};
  RegisterCursorResource("MINE", mine);
  EXPECT_EQ(GetScreenCursor(4000)->Monochrome.HotSpot, (TPoint{4, 5})) << "the screen keeps its copy";
  ASSERT_TRUE(LoadScreenCursor(4000, "MINE"));
  EXPECT_EQ(GetScreenCursor(4000)->Monochrome.HotSpot, (TPoint{6, 7})) << "a second load replaces the first";

  TCustomControl c;
  c.SetCursor(crSizeWE);
  EXPECT_EQ(c.GetPeer()->cursor().shape(), Qt::SizeHorCursor);
  c.SetCursor(4000);
  EXPECT_EQ(c.GetPeer()->cursor().hotSpot(), QPoint(6, 7));
  c.SetCursor(12345);  // nobody registered it
  EXPECT_EQ(c.GetPeer()->cursor().shape(), Qt::ArrowCursor);
  c.SetCursor(crDefault);
  EXPECT_EQ(c.GetPeer()->cursor().shape(), Qt::ArrowCursor);
}
