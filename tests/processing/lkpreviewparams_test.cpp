// The preview dialog's parameter block (stored form byte by byte, keys,
// short and damaged blocks) and the dialog run through a scripted dialog.
#include "processing/lkpreviewparams.h"

#include <gtest/gtest.h>

#include <cstring>

#include "color_fixtures.h"
#include "common/file_kit.h"
#include "processing/lkprocutils.h"
#include "processing/lumerakproc.h"

namespace {

using namespace color_test;
using Block = std::vector<Byte>;

Block Saved(const TIPDialogParams& p) {
  TMemoryStream s;
  p.SaveToStream(&s);
  const Byte* m = static_cast<const Byte*>(s.GetMemory());
  return Block(m, m + s.GetSize());
}

Integer Int32At(const Block& b, size_t o) {
  return static_cast<Integer>(b[o] | b[o + 1] << 8 | b[o + 2] << 16 | uint32_t(b[o + 3]) << 24);
}
double RealAt(const Block& b, size_t o) {
  double d;
  std::memcpy(&d, &b[o], 8);
  return d;
}

TEST(DialogParams, NewBlockStoredFieldByField) {
  TIPDialogParams p;
  const Block b = Saved(p);
  ASSERT_EQ(b.size(), 221u);
  EXPECT_EQ(RealAt(b, 140), 1.7);
  EXPECT_EQ(b[220], 1);
  EXPECT_EQ(Int32At(b, 44 + 16), 1);  // kernel centre
  EXPECT_EQ(Int32At(b, 104), 150);
  EXPECT_EQ((Block{b[87], b[88], b[89]}), (Block{255, 255, 255}));
  EXPECT_EQ((Block{b[112], b[113], b[114], b[115]}), (Block{255, 255, 255, 0}));  // colour, then a gap
  EXPECT_EQ((Block{b[120], b[121], b[122], b[123]}), (Block{1, 0, 0, 0}));
  EXPECT_EQ(Int32At(b, 172), 1);
  EXPECT_EQ(Int32At(b, 176), 0);  // gap before the 8-byte angle
  EXPECT_EQ(RealAt(b, 188), 1.0);
  EXPECT_EQ(Int32At(b, 204), -1);
  EXPECT_EQ(Int32At(b, 216), -1);

  // Values land at their offsets, little-endian; colours blue first.
  p.ContrastBrightness = -2;
  p.EqDown = CreateRGB(1, 2, 3);
  p.WaveReflect = true;
  p.RotateAngle = -2.5;
  const Block c = Saved(p);
  EXPECT_EQ((Block{c[4], c[5], c[6], c[7]}), (Block{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ((Block{c[90], c[91], c[92]}), (Block{3, 2, 1}));
  EXPECT_EQ(c[164], 1);
  EXPECT_EQ(RealAt(c, 180), -2.5);
}

TEST(DialogParams, LoadTakesEveryFieldAndKeepsTheGaps) {
  TIPDialogParams p;
  Block b = Saved(p);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<Byte>(i * 7 + 1);
  // Booleans must hold 0 or 1 and reals finite numbers.
  for (size_t o : {120, 148, 164, 220}) b[o] = o == 148 ? 0 : 1;
  const double lens = 2.25, angle = 30, gamma = 0.5;
  std::memcpy(&b[140], &lens, 8);
  std::memcpy(&b[180], &angle, 8);
  std::memcpy(&b[188], &gamma, 8);
  TMemoryStream s;
  s.WriteBuffer(b.data(), static_cast<Integer>(b.size()));
  s.SetPosition(0);
  p.LoadFromStream(&s);
  EXPECT_EQ(Saved(p), b);  // byte for byte, gaps included
  EXPECT_EQ(p.LensRef, 2.25);
  EXPECT_FALSE(p.LensAuto);
  EXPECT_EQ(p.UserFilterValues[8], Int32At(b, 76));
}

TEST(DialogParams, ShortOrDamagedBlockRefusedAndNothingChanges) {
  TIPDialogParams p;
  p.WaveAmplitude = 33;
  const Block good = Saved(p);
  struct Case {
    const char* name;
    Block data;
    const char* message;
  } cases[] = {
      {"empty", {}, "221 bytes expected, 0 read"},
      {"one byte short", Block(good.begin(), good.end() - 1), "221 bytes expected, 220 read"},
      {"Boolean of 2", [&] { Block b = good; b[164] = 2; return b; }(), "WAVE_REFLECT"},
      {"real not a number", [&] { Block b = good; std::memset(&b[188], 0xFF, 8); return b; }(),
       "GAMMACORRECTION_VALUE"},
  };
  for (const Case& c : cases) {
    TIPDialogParams target;
    target.SharpenSize = 77;
    TMemoryStream s;
    if (!c.data.empty()) s.WriteBuffer(c.data.data(), static_cast<Integer>(c.data.size()));
    s.SetPosition(0);
    try {
      target.LoadFromStream(&s);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const EReadError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << c.name << ": " << e.what();
    }
    EXPECT_EQ(target.SharpenSize, 77) << c.name;
    EXPECT_EQ(s.GetPosition(), 0) << c.name;
    EXPECT_EQ(target.WaveAmplitude, 10) << c.name;
  }
}

TEST(DialogParams, FileRoundTripAndMissingFile) {
  filekit::TempDir dir("lkparams");
  TIPDialogParams p;
  p.FFTTop = 12;
  p.SaveToFile(dir / "a.prm");
  p.FFTTop = 0;
  EXPECT_EQ(filekit::LoadFile(dir / "a.prm").size(), 221u);
  p.SaveToFile(dir / "a.prm");  // replaced, no temporary file left
  EXPECT_EQ(dir.Files(), 1u);
  TIPDialogParams q;
  q.LoadFromFile(dir / "a.prm");
  EXPECT_EQ(q.FFTTop, 0);
  EXPECT_THROW(q.LoadFromFile(dir / "missing.prm"), EFOpenError);
  filekit::SaveFile(dir / "short.prm", filekit::Bytes(100, 0));
  EXPECT_THROW(q.LoadFromFile(dir / "short.prm"), EReadError);
}

TEST(DialogParams, Keys) {
  TIPDialogParams p;
  const std::pair<const char*, const char*> defaults[] = {
      {"CONTRAST_CONTRAST", "0"}, {"lens_ref", "1.7"}, {"LENS_WIDTH", "150"},
      {"EQUALIZATION_THRESHOLDUP", "255,255,255"}, {"BUMPMAP_AUTO", "1"}, {"WAVE_REFLECT", "0"},
      {"GAMMACORRECTION_VALUE", "1"}, {"SHARPEN_SIZE", "4"}, {"FFT_BOTTOM", "-1"},
      {"USERFILTER_VALUES11", "1"}, {"USERFILTER_VALUES", "0"}, {"USER\tFILTER_VALUES1", "0"},
      {"NOTHING", "INVALID PROPERTY"}, {"USERFILTER_VALUES33", "INVALID PROPERTY"},
  };
  for (const auto& [key, value] : defaults) EXPECT_EQ(p.GetProperty(key), value) << key;

  p.SetProperty("LENS_REF", "2,5");
  EXPECT_EQ(p.LensRef, 2.5);
  p.SetProperty("LENS_REF", "x");
  EXPECT_EQ(p.LensRef, 1.7);
  p.SetProperty("rotate_angle", "x");
  EXPECT_EQ(p.RotateAngle, 0);
  p.SetProperty("USERFILTER_VALUES11", "9");
  EXPECT_EQ(p.UserFilterValues[4], 9);
  p.SetProperty("USERFILTER_VALUES2", "-3");  // second digit missing: element 6
  EXPECT_EQ(p.UserFilterValues[6], -3);
  p.SetProperty("BUMPMAP_AUTO", "0");
  p.SetProperty("BUMPMAP_AUTO", "t");
  EXPECT_TRUE(p.BumpAuto);
  p.SetProperty("WAVE_AMPLITUDE", "abc");
  EXPECT_EQ(p.WaveAmplitude, 0);
  p.SetProperty("BUMPMAP_COL", "1,2,3");
  EXPECT_EQ(p.BumpCol, CreateRGB(1, 2, 3));
  p.SetProperty("NOTHING", "5");  // ignored
  EXPECT_EQ(p.GetProperty("BUMPMAP_COL"), "1,2,3");
}

// A dialog whose answer and result the test chooses.
struct ScriptedDialog : TLKPreviewDialog {
  TLKBitmap bitmap;
  Integer answer = 1;
  bool lock = false;
  std::function<void(TLKBitmap*)> edit;
  TIPDialogParams* params = nullptr;
  TPreviewEffects pages;
  void SetLockPreview(bool v) override { lock = v; }
  bool GetLockPreview() override { return lock; }
  void SetLanguage(TMsgLanguage) override {}
  void SetPreviewFont(TFont*) override {}
  void SetProcessing(const TLKProgressEvent&, TLumerakProc*) override {}
  void SetBackground(TColor) override {}
  void SetFilterFolder(const String&) override {}
  TLKBitmap* GetBitmap() override { return &bitmap; }
  void SetPages(TPreviewEffects e, TIPDialogParams* p) override { pages = e, params = p; }
  Integer ShowModal() override {
    if (answer == 1 && edit) edit(&bitmap);
    lock = true;
    return answer;
  }
  String GetUndoCaption() override { return "Contrast 5"; }
};

TEST(DoPreviews, ConfirmedResultGoesBackThroughTheSelection) {
  for (bool file : {false, true}) {
    StorageScope storage(file);
    ProcOnView s(8, 6);
    auto& [view, before, proc, ev] = s;
    view.SelectRect(2, 1, 4, 3);
    view.Mask.SetPixel(2, 1, 0);
    ScriptedDialog* seen = nullptr;
    Integer boxW = 0;
    proc.SetPreviewDialogFactory([&](TLumerakProc*) {
      auto d = std::make_unique<ScriptedDialog>();
      d->edit = [&](TLKBitmap* b) {
        boxW = b->GetWidth();
        Paint(b, [](Integer, Integer) { return CreateRGB(1, 2, 3); });
      };
      seen = d.get();
      return d;
    });
    bool previewed = false;
    proc.OnPreview = [&](TObject*, TLKPreviewDialog* d) { previewed = d == seen; };
    EXPECT_TRUE(proc.DoPreviews({peContrast, peGamma}));
    EXPECT_TRUE(previewed);
    EXPECT_EQ(boxW, 3);
    EXPECT_EQ(proc.GetUndoCaptions(0), "Contrast 5");
    EXPECT_TRUE(proc.GetPRPreviewParams().Contains(prppDefaultLockPreview));
    for (Integer y = 0; y < 6; ++y)
      for (Integer x = 0; x < 8; ++x)
        EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(x, y),
                  view.Mask.IsPointInside(x, y) ? CreateRGB(1, 2, 3) : before.GetPixels_lk24RGB(x, y));
    EXPECT_EQ(ev.finished, 1);
  }
}

TEST(DoPreviews, CancelTurnedResultAndNoDialog) {
  ProcOnView s(6, 4);
  auto& [view, before, proc, ev] = s;
  // No dialog available: nothing, but the finishing events fire.
  EXPECT_FALSE(proc.DoPreviews({peAll}));
  EXPECT_EQ(ev.finished, 1);
  Integer answer = 2;
  bool turn = false;
  proc.SetPreviewDialogFactory([&](TLumerakProc*) {
    auto d = std::make_unique<ScriptedDialog>();
    d->answer = answer;
    if (turn) d->edit = [](TLKBitmap* b) { b->Allocate(4, 6, lk24RGB), Paint(b, Varied); };
    return d;
  });
  EXPECT_FALSE(proc.DoPreviews({peRotate}));
  EXPECT_EQ(proc.GetUndoCount(), 0);
  EXPECT_EQ(Pixels(view.GetLKBitmap()), Pixels(&before));
  EXPECT_EQ(ev.finished, 2);
  // A selection turned a quarter: the result of another size is the picture.
  view.SelectRect(1, 1, 4, 2);
  answer = 1;
  turn = true;
  EXPECT_TRUE(proc.DoPreviews({peRotate}));
  EXPECT_EQ(view.GetLKBitmap()->GetWidth(), 4);
  EXPECT_EQ(view.GetLKBitmap()->GetHeight(), 6);
  EXPECT_EQ(view.GetLKBitmap()->GetPixels_lk24RGB(3, 5), Varied(3, 5));
}

}  // namespace
