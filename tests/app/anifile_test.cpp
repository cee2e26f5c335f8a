// Animated cursors read from files written here from the published layout,
// their hand-over as icon, strip bitmap, icon list and GIF frames, the icon
// list, the transparent stretch helpers and the shell's start-up
// registrations.
#include "app/AniFile.h"

#include <gtest/gtest.h>

#include "app/IcoList.h"
#include "app/RxGIF.h"
#include "app/RxGraph.h"
#include "app/app_kit.h"
#include "common/ani_kit.h"
#include "common/file_kit.h"
#include "platform/cursors.h"

using namespace anikit;

namespace {

constexpr Cardinal kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00;

// An 8 x 8 icon of one colour (0xRRGGBB) whose left column is transparent.
std::string Solid(Cardinal C, Word Type = 1, Word HotX = 0, Word HotY = 0) {
  return Icon(8, 8, [C](int, int) { return C; }, [](int X, int) { return X == 0; }, Type, HotX, HotY);
}

std::unique_ptr<TAnimatedCursorImage> Load(const std::string& Bytes) {
  TMemoryStream m;
  m.WriteBuffer(Bytes.data(), Int64(Bytes.size()));
  m.SetPosition(0);
  auto a = std::make_unique<TAnimatedCursorImage>();
  a->LoadAniFromStream(&m);
  return a;
}

// The colour (0xRRGGBB) at the middle of a frame's icon.
Cardinal Middle(const TIconFrame* F) {
  TBitmap b;
  F->GetIcon()->AssignTo(&b);
  const TColor c = b.GetCanvas()->GetPixel(4, 4);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

TEST(AniFile, StepsRatesSequenceAndInfo) {
  const std::string file = Ani({Anih(2, 3, 10), Chunk("rate", Values({5, 6, 7})), Chunk("seq ", Values({1, 0, 1})),
                                List("INFO", {Chunk("INAM", "Spin"), Chunk("IART", "Odd")}),
                                Frames({Solid(kRed), Solid(kBlue)})});
  auto a = Load(file);
  ASSERT_EQ(a->GetFrameCount(), 3);
  EXPECT_EQ(a->GetHeader().Frames, 3u);
  EXPECT_EQ(a->GetTitle(), "Spin");
  EXPECT_EQ(a->GetCreator(), "Odd");
  const Cardinal colours[] = {kBlue, kRed, kBlue}, rates[] = {5, 6, 7};
  for (Integer i = 0; i < 3; ++i) {
    EXPECT_EQ(Middle(a->GetFrame(i)), colours[i]) << i;
    EXPECT_EQ(a->GetFrame(i)->GetJiffRate(), rates[i]) << i;
    EXPECT_TRUE(a->GetFrame(i)->GetIsIcon());
  }
  // One "rate" chunk per frame, as some writers store them, reads alike.
  auto b = Load(Ani({Anih(2, 2, 10), Chunk("rate", Values({8})), Chunk("rate", Values({9})),
                                     Frames({Solid(kRed), Solid(kBlue)})}));
  ASSERT_EQ(b->GetFrameCount(), 2);
  EXPECT_EQ(b->GetFrame(0)->GetJiffRate(), 8u);
  EXPECT_EQ(b->GetFrame(1)->GetJiffRate(), 9u);
}

TEST(AniFile, WithoutSequenceStepIShowsIconI) {
  struct Case {
    Cardinal Steps;
    int Icons;
    std::vector<Integer> Seqs;  // of the frames read
  };
  const Cardinal colours[] = {kRed, kBlue, kGreen};
  for (const Case& c : {Case{3, 3, {0, 1, 2}}, Case{2, 3, {0, 1, -1}}, Case{3, 2, {0, 1}}, Case{0, 2, {-1, -1}}}) {
    SCOPED_TRACE(testing::Message() << c.Steps << " steps, " << c.Icons << " icons");
    std::vector<std::string> icons;
    for (int i = 0; i < c.Icons; ++i) icons.push_back(Solid(colours[i]));
    auto a = Load(Ani({Anih(Cardinal(c.Icons), c.Steps, 4), Frames(icons)}));
    ASSERT_EQ(a->GetFrameCount(), Integer(c.Seqs.size()));
    for (size_t i = 0; i < c.Seqs.size(); ++i) {
      EXPECT_EQ(a->GetFrame(Integer(i))->GetSeq(), c.Seqs[i]);
      EXPECT_EQ(Middle(a->GetFrame(Integer(i))), colours[i]);
      EXPECT_EQ(a->GetFrame(Integer(i))->GetJiffRate(), 4u);
    }
  }
}

TEST(AniFile, HotSpotsAndColourCount) {
  auto a = Load(Ani({Anih(2, 2, 1), Frames({Solid(kRed, 2, 3, 5), Solid(kBlue, 1)})}));
  ASSERT_EQ(a->GetFrameCount(), 2);
  EXPECT_FALSE(a->GetFrame(0)->GetIsIcon());
  EXPECT_EQ(a->GetFrame(0)->GetHotSpot().X, 3);  // a cursor's own
  EXPECT_EQ(a->GetFrame(0)->GetHotSpot().Y, 5);
  EXPECT_EQ(a->GetFrame(1)->GetHotSpot().X, 4);  // an icon's middle
  EXPECT_EQ(a->GetFrame(1)->GetHotSpot().Y, 4);
  EXPECT_EQ(a->GetOriginalColors(), 0);
  const std::string eight = Icon(8, 8, [](int X, int) { return X < 4 ? kRed : kGreen; }, nullptr, 1, 0, 0, 8);
  EXPECT_EQ(Load(Ani({Anih(1, 1, 1), Frames({eight})}))->GetOriginalColors(), 256);
}

TEST(AniFile, DamagedFilesRaiseAndLeaveTheImageEmpty) {
  const std::string good = Ani({Anih(1, 1, 1), Frames({Solid(kRed)})});
  std::string notRiff = good, notAcon = good;
  notRiff[0] = 'X';
  notAcon[9] = 'X';
  struct Case {
    const char* Name;
    std::string Bytes;
  };
  const Case cases[] = {
      {"not RIFF", notRiff},
      {"not ACON", notAcon},
      {"no icon flag", Ani({Anih(1, 1, 1, 0), Frames({Solid(kRed)})})},
      {"no frames", Ani({Anih(0, 1, 1), Frames({Solid(kRed)})})},
      {"short header", Ani({Chunk("anih", Values({36, 1, 1})), Frames({Solid(kRed)})})},
      {"steps past any file", Ani({Anih(1, 0xFFFFFFFFu, 1), Frames({Solid(kRed)})})},
      {"no icons", Ani({Anih(1, 1, 1)})},
      {"only a damaged icon", Ani({Anih(1, 1, 1), Frames({Solid(kRed).substr(0, 30)})})},
      {"too short", "RIFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_THROW(Load(c.Bytes), EReadError);
    filekit::TempDir dir("lkani");
    const std::string name = dir / "a.ani";
    filekit::SaveFile(name, filekit::Bytes(c.Bytes.begin(), c.Bytes.end()));
    auto a = Load(good);
    EXPECT_THROW(a->LoadAniFromFile(name), EReadError);
    EXPECT_EQ(a->GetFrameCount(), 0);
    EXPECT_EQ(a->GetHeader().Steps, 0u);
  }
  // A damaged icon ends the list: what came before it stays.
  auto a = Load(Ani({Anih(3, 3, 1), Frames({Solid(kRed), "junk!!", Solid(kBlue)})}));
  ASSERT_EQ(a->GetFrameCount(), 1);
  EXPECT_EQ(Middle(a->GetFrame(0)), kRed);
  // A chunk stating more than is left ends reading; what was read is kept.
  std::string cut = Ani({Anih(1, 1, 1), Frames({Solid(kRed)}), Chunk("junk", "abcd")});
  cut.resize(cut.size() - 2);
  EXPECT_EQ(Load(cut)->GetFrameCount(), 1);
}

TEST(AniFile, HandsOverAsIconStripListAndGif) {
  auto a = Load(Ani({Anih(2, 2, 6), Chunk("rate", Values({6, 12})), List("INFO", {Chunk("INAM", "T")}),
                                     Frames({Solid(kRed), Solid(kBlue)})}));
  TAnimatedCursorImage copy;
  copy.Assign(a.get());
  ASSERT_EQ(copy.GetFrameCount(), 2);
  EXPECT_EQ(copy.GetTitle(), "T");
  EXPECT_EQ(Middle(copy.GetFrame(1)), kBlue);

  TIcon icon;
  a->AssignTo(&icon);
  EXPECT_EQ(icon.GetWidth(), 8);
  EXPECT_EQ(icon.GetData(), a->GetFrame(0)->GetIcon()->GetData());

  // The strip: frames side by side on the bitmap's brush colour, which
  // shows through the transparent left columns.
  TBitmap strip;
  strip.GetCanvas()->GetBrush()->SetColor(clWhite);
  a->AssignTo(&strip);
  ASSERT_EQ(strip.GetWidth(), 16);
  ASSERT_EQ(strip.GetHeight(), 8);
  EXPECT_EQ(strip.GetCanvas()->GetPixel(0, 3), clWhite);
  EXPECT_EQ(strip.GetCanvas()->GetPixel(4, 3), TColor(0x0000FF));  // red as a colour value
  EXPECT_EQ(strip.GetCanvas()->GetPixel(8, 3), clWhite);
  EXPECT_EQ(strip.GetCanvas()->GetPixel(12, 3), TColor(0xFF0000));

  TIconList list;
  list.Add(&icon);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  a->AssignTo(&list);
  EXPECT_EQ(list.GetCount(), 2);
  EXPECT_EQ(changes, 1);

  TGIFImage gif;
  gif.Assign(a.get());
  ASSERT_EQ(gif.GetCount(), 2);
  EXPECT_EQ(gif.GetBackgroundColor(), clWindow);
  EXPECT_EQ(gif.GetFrame(0)->GetAnimateInterval(), 100);
  EXPECT_EQ(gif.GetFrame(1)->GetAnimateInterval(), 200);
  gif.SetFrameIndex(1);
  gif.SetTransparent(true);
  TBitmap shown(8, 8, pf24bit);
  shown.GetCanvas()->GetBrush()->SetColor(clWhite);
  shown.GetCanvas()->FillRect(TRect{0, 0, 8, 8});
  shown.GetCanvas()->Draw(0, 0, &gif);
  EXPECT_EQ(shown.GetCanvas()->GetPixel(4, 4), TColor(0xFF0000));
  EXPECT_EQ(shown.GetCanvas()->GetPixel(0, 4), clWhite);  // left out
}

TEST(IconList, EditsNotifyAndStream) {
  TIcon red, blue;
  {
    TMemoryStream m;
    const std::string r = Solid(kRed), b = Solid(kBlue);
    m.WriteBuffer(r.data(), Int64(r.size()));
    m.SetPosition(0);
    red.LoadFromStream(&m);
    TMemoryStream n;
    n.WriteBuffer(b.data(), Int64(b.size()));
    n.SetPosition(0);
    blue.LoadFromStream(&n);
  }
  TIconList l;
  int changes = 0;
  l.OnChange = [&](TObject*) { ++changes; };
  l.Add(&red);
  l.Put(1, &blue);  // the count appends
  l.Insert(0, nullptr);
  EXPECT_EQ(changes, 3);
  ASSERT_EQ(l.GetCount(), 3);
  EXPECT_TRUE(l.GetIcon(0)->GetEmpty());
  EXPECT_NE(l.GetIcon(1), &red);  // a copy is kept
  EXPECT_EQ(l.GetIcon(1)->GetData(), red.GetData());
  l.BeginUpdate();
  l.Exchange(1, 2);
  l.Move(0, 2);
  EXPECT_EQ(changes, 3);
  l.EndUpdate();
  EXPECT_EQ(changes, 4);
  EXPECT_EQ(l.GetIcon(0)->GetData(), blue.GetData());
  EXPECT_EQ(l.GetIcon(1)->GetData(), red.GetData());
  EXPECT_TRUE(l.GetIcon(2)->GetEmpty());
  EXPECT_EQ(l.IndexOf(l.GetIcon(1)), 1);
  EXPECT_EQ(l.IndexOf(&red), -1);
  EXPECT_THROW(l.GetIcon(3), EListError);
  EXPECT_THROW(l.Delete(-1), EListError);

  TMemoryStream s;
  l.WriteData(&s);
  EXPECT_EQ(s.GetSize(), Int64(4 + 4 + blue.GetData().size() + 4 + red.GetData().size() + 4));
  s.SetPosition(0);
  TIconList back;
  back.ReadData(&s);
  ASSERT_EQ(back.GetCount(), 3);
  EXPECT_EQ(back.GetIcon(1)->GetData(), red.GetData());
  EXPECT_TRUE(back.GetIcon(2)->GetEmpty());

  // A count or size past the data, and a damaged icon, raise.
  auto bytes = [](std::string S) {
    auto m = std::make_unique<TMemoryStream>();
    m->WriteBuffer(S.data(), Int64(S.size()));
    m->SetPosition(0);
    return m;
  };
  EXPECT_THROW(back.ReadData(bytes(Values({0x7FFFFFFF})).get()), EReadError);
  EXPECT_THROW(back.ReadData(bytes(Values({1, 1000}) + "abc").get()), EReadError);
  EXPECT_THROW(back.ReadData(bytes(Values({1, 6}) + "abcdef").get()), EInvalidGraphic);
}

TEST(ShellGraphics, TransparentStretch) {
  // A 4 x 2 bitmap: blue with a green pixel at the bottom left.
  TBitmap src(4, 2, pf24bit);
  src.GetCanvas()->GetBrush()->SetColor(TColor(0xFF0000));
  src.GetCanvas()->FillRect(TRect{0, 0, 4, 2});
  src.GetCanvas()->SetPixel(0, 1, TColor(0x00FF00));
  struct Case {
    const char* Name;
    TColor Key;
    TRect Dest;
    TColor At00, At01;  // destination pixels over source (0, 0) and (0, 1)
  };
  const Case cases[] = {
      {"none copies everything", clNone, TRect{0, 0, 0, 0}, TColor(0xFF0000), TColor(0x00FF00)},
      {"default leaves the bottom-left colour out", clDefault, TRect{0, 0, 0, 0}, TColor(0xFF0000), clWhite},
      {"a colour is left out", TColor(0xFF0000), TRect{0, 0, 4, 2}, clWhite, TColor(0x00FF00)},
      {"stretched twice", TColor(0xFF0000), TRect{0, 0, 8, 4}, clWhite, TColor(0x00FF00)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TBitmap dst(8, 4, pf24bit);
    dst.GetCanvas()->GetBrush()->SetColor(clWhite);
    dst.GetCanvas()->FillRect(TRect{0, 0, 8, 4});
    DrawBitmapTransparentStretched(dst.GetCanvas(), &src, c.Key, c.Dest, TRect{0, 0, 0, 0});
    const int s = c.Dest.Right == 8 ? 2 : 1;
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, 0), c.At00);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(0, s), c.At01);
    EXPECT_EQ(dst.GetCanvas()->GetPixel(7, 3), s == 2 ? TColor(0xFF0000) == c.Key ? clWhite : TColor(0xFF0000) : clWhite);
  }
  // A part of the source at a point, at its own size.
  TBitmap dst(8, 4, pf24bit);
  dst.GetCanvas()->GetBrush()->SetColor(clWhite);
  dst.GetCanvas()->FillRect(TRect{0, 0, 8, 4});
  DrawBitmapRectTransparent(dst.GetCanvas(), 5, 1, clNone, &src, TRect{0, 1, 2, 2});
  EXPECT_EQ(dst.GetCanvas()->GetPixel(5, 1), TColor(0x00FF00));
  EXPECT_EQ(dst.GetCanvas()->GetPixel(6, 1), TColor(0xFF0000));
  EXPECT_EQ(dst.GetCanvas()->GetPixel(7, 1), clWhite);
  EXPECT_EQ(dst.GetCanvas()->GetPixel(5, 2), clWhite);
}

TEST(ShellGraphics, StartUpRegistersCursorsAndTheIconFormat) {
  RegisterShellGraphics();
  const TCursorResource* hand = GetScreenCursor(crHand);
  const TCursorResource* drag = GetScreenCursor(crDragHand);
  ASSERT_TRUE(hand && drag);
  EXPECT_EQ(hand->Shown().Pixels, FindCursorResource("RX_HANDCUR")->Shown().Pixels);
  EXPECT_EQ(drag->Shown().Pixels, FindCursorResource("RX_DRAGCUR")->Shown().Pixels);
  EXPECT_NE(hand->Shown().Pixels, drag->Shown().Pixels);
  EXPECT_NE(CF_ICON(), 0);
  EXPECT_EQ(CF_ICON(), RegisterClipboardFormat("Icon Image"));
}

}  // namespace
