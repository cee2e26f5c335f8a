// The multi-image component's video and address roads: entries written as
// AVI frames and read back through the AVI reader and the media framework,
// and pictures fetched from a server the test runs on 127.0.0.1.
#include <gtest/gtest.h>

#include <QWidget>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "common/http_kit.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "tests/core/bitmap_fixtures.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

namespace {

using bitmap_test::TempFolder;

class MioMedia : public testing::Test {
 protected:
  void SetUp() override {
    form_.resize(500, 400);
    view_ = new TLumerakMView();
    view_->SetParentWindow(&form_);
    view_->SetBounds(0, 0, 440, 330);
    mio_ = view_->GetLumerakMIO();
  }
  void TearDown() override { delete view_; }
  // Appends entries of 16 x 8 pixels, entry i of grey 40 * (i + 1).
  void AddFrames(Integer N) {
    for (Integer i = 0; i < N; ++i) {
      TLKBitmap b(16, 8, lk24RGB);
      b.Fill(0x010101 * (40 * (i + 1)));
      view_->SetLKBitmap(view_->AppendImage(), &b);
    }
  }
  Byte Grey(Integer Idx) {
    TLKBitmap b;
    view_->CopyToLKBitmap(Idx, &b);
    return b.GetPPixels_lk24RGB(8, 4)->g;
  }
  QWidget form_;
  TLumerakMView* view_ = nullptr;
  TLumerakMIO* mio_ = nullptr;
  TempFolder temp_;
};

TEST_F(MioMedia, EntriesRoundTripThroughAVIFilesAndTheMediaFramework) {
  AddFrames(3);
  view_->SetImageDelayTime(0, 125);  // 8 frames per second
  const String plain = temp_.path() + "plain.avi", mjpg = temp_.path() + "m.avi";
  mio_->SaveToFile(plain);
  ASSERT_FALSE(mio_->GetAborted());
  mio_->SaveToFileAVI(mjpg, "MJPG");
  ASSERT_FALSE(mio_->GetAborted());

  struct Row {
    const char* Name;
    String File;
    bool Media;
    int Tolerance;  // grey levels: Motion-JPEG is lossy
  };
  for (const Row& r : {Row{"plain rows", plain, false, 0}, Row{"motion jpeg", mjpg, false, 6},
                       Row{"through the media framework", plain, true, 2}}) {
    SCOPED_TRACE(r.Name);
    view_->Clear();
    if (r.Media)
      mio_->LoadFromMediaFile(r.File);
    else
      mio_->LoadFromFile(r.File);
    ASSERT_FALSE(mio_->GetAborted());
    ASSERT_EQ(view_->GetImageCount(), 3);
    for (Integer i = 0; i < 3; ++i) {
      EXPECT_NEAR(Grey(i), 40 * (i + 1), r.Tolerance) << i;
      EXPECT_EQ(view_->GetImageDelayTime(i), 125) << i;
      EXPECT_EQ(mio_->GetParams(i)->FILENAME, r.File);
      EXPECT_EQ(mio_->GetParams(i)->FILETYPE, 0);
    }
    if (!r.Media) EXPECT_EQ(mio_->GetParams(2)->GIF_DELAYTIME, 125);
  }
  // Frames go in at the selected entry.
  view_->SetSelectedItem(1);
  mio_->LoadFromFileAVI(plain);
  ASSERT_EQ(view_->GetImageCount(), 6);
  EXPECT_EQ(Grey(1), 40);
  EXPECT_EQ(Grey(4), 40 * 2);

  // What no reader or player takes fails; a first delay of 0 is 1000 frames
  // per second.
  view_->Clear();
  std::ofstream(temp_.path() + "junk.avi") << "RIFF junk";
  std::ofstream(temp_.path() + "junk.mkv") << "not a video";
  for (const String& name : {temp_.path() + "junk.avi", temp_.path() + "junk.mkv", temp_.path() + "none.avi"}) {
    mio_->LoadFromFile(name);
    EXPECT_TRUE(mio_->GetAborted()) << name;
  }
  EXPECT_EQ(view_->GetImageCount(), 0);
  AddFrames(1);
  view_->SetImageDelayTime(0, 0);
  mio_->SaveToFile(plain);
  TLumerakIO io;
  EXPECT_EQ(io.OpenAVIFile(plain), 1);
  io.LoadFromAVI(0);
  EXPECT_EQ(io.GetIOParams()->AVI_FrameDelayTime, 1);
}

TEST_F(MioMedia, PicturesLoadFromAnAddressPageByPage) {
  AddFrames(2);
  const String tif = temp_.path() + "two.tif", jpg = temp_.path() + "one.jpg";
  mio_->SaveToFile(tif);
  TLKBitmap one(12, 6, lk24RGB);
  one.Fill(0x808080);
  TLumerakIO io;
  io.SetAttachedLKBitmap(&one);
  io.SaveToFile(jpg);
  auto read = [](const String& Name) {
    std::ifstream f(Name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(f)), {});
  };
  httpkit::Server server;
  const std::string tifBytes = read(tif), jpgBytes = read(jpg);
  server.On("/two", [&](const httpkit::Request&, const httpkit::Client& c) { c.Send(httpkit::Response(200, tifBytes)); });
  server.On("/one", [&](const httpkit::Request&, const httpkit::Client& c) {
    c.Send(httpkit::Response(200, jpgBytes, -2, "Content-Type: image/jpeg; charset=binary\r\n"));
  });
  server.On("/sneaky", [&](const httpkit::Request&, const httpkit::Client& c) {
    c.Send(httpkit::Response(200, jpgBytes, -2, "Content-Type: image/../../jpeg\r\n"));
  });
  server.On("/gone", [&](const httpkit::Request&, const httpkit::Client& c) { c.Send(httpkit::Response(404, "no")); });

  struct Row {
    const char* Path;
    Integer Entries;  // -1: the load fails
    Integer Width;    // of the first entry
  };
  for (const Row& r : {Row{"/two", 2, 16}, Row{"/one", 1, 12}, Row{"/sneaky", 1, 12}, Row{"/gone", -1, 0}}) {
    SCOPED_TRACE(r.Path);
    view_->Clear();
    const size_t files = temp_.FileCount();
    int finishes = 0;
    mio_->OnFinishWork = [&](TObject*) { ++finishes; };
    mio_->LoadFromFile(server.Url(r.Path));
    mio_->OnFinishWork = nullptr;
    EXPECT_EQ(mio_->GetAborted(), r.Entries < 0);
    EXPECT_EQ(view_->GetImageCount(), std::max<Integer>(r.Entries, 0));
    if (r.Entries > 0) EXPECT_EQ(view_->GetImageWidth(0), r.Width);
    EXPECT_EQ(temp_.FileCount(), files) << "the downloaded file is deleted";
    if (r.Entries != 1) EXPECT_EQ(finishes, 1);
  }
  EXPECT_TRUE(std::filesystem::exists(temp_.path() + "two.tif"));
}

TEST(MioMediaNames, AContentTypeGivesAnExtensionAndNeverAPath) {
  struct Row {
    const char* Type;
    const char* Ext;
  } rows[] = {{"image/jpeg", "jpeg"},      {"image/JPEG; charset=x", "jpeg"}, {"image/svg+xml", "svg+xml"},
              {"image/../../etc/x", "etcx"}, {"text", ""},                   {"image/", ""},
              {"a/b/c", "bc"}};
  for (const Row& r : rows) EXPECT_EQ(LKMExtensionOfContentType(r.Type), r.Ext) << r.Type;
}

}  // namespace
