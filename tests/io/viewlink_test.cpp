// The view link is enough for the components: a link that is no widget and
// no component (as a thumbnail or vector view's may be) serves the I/O and
// processing components, and its going away leaves them on bitmaps of their
// own.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/lkbitmap.h"
#include "core/lkviewlink.h"
#include "io/lumerakio.h"
#include "processing/lumerakproc.h"

namespace {

class TPlainLink : public TLKViewLink {
 public:
  TLKBitmap Picture{3, 2, lk24RGB};
  std::vector<std::string> Calls;
  std::vector<std::pair<Integer, TLKBitmapChangeEvent>> Callbacks;
  Integer Next = 0;
  Integer DpiX = 0, DpiY = 0;

  /// Tells the attached components that the link goes away.
  void Vanish() {
    auto callbacks = std::move(Callbacks);
    for (auto& c : callbacks) c.second(nullptr, true);
  }

  TComponent* GetLinkComponent() override { return nullptr; }
  std::shared_ptr<TLKViewPost> GetPost() override { return nullptr; }
  Integer RegisterBitmapChangeEvent(TLKBitmapChangeEvent Event) override {
    Callbacks.emplace_back(Next, std::move(Event));
    return Next++;
  }
  void RemoveBitmapChangeEvent(Integer Handle) override {
    std::erase_if(Callbacks, [Handle](const auto& c) { return c.first == Handle; });
  }
  TLKBitmap* GetLKBitmap() override { return &Picture; }
  TBitmap* GetFBitmap() override { return nullptr; }
  TLKBitmap* GetAlphaChannel() override { return Picture.GetAlphaChannel(); }
  bool GetHasAlphaChannel() override { return Picture.GetHasAlphaChannel(); }
  void RemoveAlphaChannel(bool) override { Picture.RemoveAlphaChannel(); }
  TColor GetBackground() const override { return 0; }
  void SetBackGround(TColor) override {}
  void DrawBackgroundToCanvas(TCanvas*) override {}
  Integer GetDpiX() const override { return DpiX; }
  Integer GetDpiY() const override { return DpiY; }
  void SetDPIX(Integer V) override { if (V != 0) DpiX = V; }
  void SetDPIY(Integer V) override { if (V != 0) DpiY = V; }
  void SetDPI(Integer X, Integer Y) override { SetDPIX(X), SetDPIY(Y); }
  void LockPaint() override { Calls.push_back("LockPaint"); }
  Integer UnLockPaint() override { Calls.push_back("UnLockPaint"); return 0; }
  Integer NPUnLockPaint() override { return 0; }
  void Update() override { Calls.push_back("Update"); }
  void ImageChange() override { Calls.push_back("ImageChange"); }
  void ShowFrame(TBitmap*) override {}
};

}  // namespace

TEST(ViewLink, APlainLinkServesTheIOComponentUntilItGoes) {
  TPlainLink link;
  {
    TLumerakIO io;
    io.SetAttachedLumerak(&link);
    EXPECT_EQ(io.GetLKBitmap(), &link.Picture);
    io.Update();
    EXPECT_EQ(link.Calls, (std::vector<std::string>{"Update", "ImageChange"}));
    io.GetIOParams()->SetDpiX(150);
    EXPECT_EQ(link.DpiX, 150) << "the resolution goes to the link";

    link.Vanish();
    EXPECT_EQ(io.GetAttachedLumerak(), nullptr);
    EXPECT_NE(io.GetLKBitmap(), &link.Picture);
    EXPECT_TRUE(io.GetOwnsBitmap());
  }
  // A component going first withdraws its callback.
  TLumerakIO io;
  io.SetAttachedLumerak(&link);
  EXPECT_EQ(link.Callbacks.size(), 1u);
  io.SetAttachedLumerak(nullptr);
  EXPECT_TRUE(link.Callbacks.empty());
}

TEST(ViewLink, APlainLinkServesTheProcessingComponentUntilItGoes) {
  TPlainLink link;
  auto proc = std::make_unique<TLumerakProc>();
  proc->SetAttachedLumerak(&link);
  const TRGB before = link.Picture.GetPixels(1, 1);
  proc->Negative();
  EXPECT_NE(link.Picture.GetPixels(1, 1), before) << "the processing worked on the link's picture";
  EXPECT_EQ(link.Calls, (std::vector<std::string>{"Update", "ImageChange"}));

  link.Vanish();
  EXPECT_EQ(proc->GetAttachedLumerak(), nullptr);
  proc->Negative();  // on a bitmap of its own now
  EXPECT_EQ(link.Calls.size(), 2u);

  proc->SetAttachedLumerak(&link);
  proc.reset();
  EXPECT_TRUE(link.Callbacks.empty()) << "a component going first withdraws its callback";
}
