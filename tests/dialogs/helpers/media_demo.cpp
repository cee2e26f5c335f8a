// A window with a metafile of text, a bitmap, curves, a hatch and clipping
// drawn into an image view, and the AVI compressor form beside it, for
// looking at them under a virtual X server. Usage: media_demo [FILE]
// (FILE: a metafile shown in place of the built-in one)
#include <QApplication>
#include <QWidget>

#include <vector>

#include "common/metafile_kit.h"
#include "core/lkbitmap.h"
#include "dialogs/lkavicodecdlg.h"
#include "io/lumerakio.h"
#include "platform/metafile.h"
#include "views/lumerakview.h"

using namespace mfkit;

namespace {

std::string Scene() {
  Emf e;
  e.Rec(39, {1, 0, Rgb(235, 240, 250), 0});
  e.Rec(37, {1});
  e.Rec(37, {0x80000008u});
  e.Rec(43, {0, 0, 480, 300});
  // A bitmap of a colour ramp, stretched.
  const std::string ramp = Dib(32, 16, [](int X, int Y) { return Rgb(8 * X, 16 * Y, 255 - 8 * X); });
  e.Rec(81, EmfStretchDib(20, 70, 200, 100, ramp, 32, 16));
  // Text: a title, a turned label and one with an opaque background.
  e.Rec(82, EmfFont(2, -28, 0, 700, u"DejaVu Sans"));
  e.Rec(37, {2});
  e.Rec(18, {1});
  e.Rec(24, {Rgb(20, 40, 120)});
  e.Rec(84, EmfText(20, 15, u"Text and a bitmap"));
  e.Rec(82, EmfFont(3, -18, 450, 400, u"DejaVu Serif"));
  e.Rec(37, {3});
  e.Rec(24, {Rgb(160, 0, 0)});
  e.Rec(22, {24});
  e.Rec(84, EmfText(250, 250, u"turned 45 degrees"));
  e.Rec(22, {0});
  e.Rec(37, {2});
  e.Rec(18, {2});
  e.Rec(25, {Rgb(255, 230, 120)});
  e.Rec(24, {Rgb(0, 0, 0)});
  e.Rec(84, EmfText(20, 190, u"opaque background"));
  // A pie, a Bézier and a hatched rectangle clipped to a circle.
  e.Rec(39, {4, 0, Rgb(0, 160, 80), 0});
  e.Rec(37, {4});
  e.Rec(38, {5, 0, 2, 0, Rgb(0, 0, 0)});
  e.Rec(37, {5});
  e.Rec(47, {260, 70, 360, 170, 360, 120, 310, 70});
  e.Rec(38, {6, 0, 4, 0, Rgb(200, 0, 160)});
  e.Rec(37, {6});
  e.Rec(2, {0, 0, 0, 0, 4, 380, 170, 400, 60, 460, 200, 470, 80});
  e.Rec(33, std::initializer_list<Cardinal>{});
  e.Rec(59, std::initializer_list<Cardinal>{});
  e.Rec(42, {370, 200, 460, 290});
  e.Rec(60, std::initializer_list<Cardinal>{});
  e.Rec(67, {5});
  e.Rec(39, {7, 2, Rgb(0, 0, 200), 5});
  e.Rec(37, {7});
  e.Rec(43, {360, 190, 470, 300});
  e.Rec(34, {Cardinal(-1)});
  return e.Bytes(480, 300);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QWidget form;
  form.resize(500, 320);
  form.move(0, 0);
  form.setWindowTitle("metafile");
  TLumerakView v;
  v.SetParentWindow(&form);
  v.SetBounds(0, 0, 500, 320);
  const std::string bytes = Scene();
  TMetafile meta;
  if (argc < 2 || !meta.LoadFromFile(argv[1])) meta.LoadFromBytes(std::vector<Byte>(bytes.begin(), bytes.end()));
  TLumerakIO io;
  io.SetAttachedLKBitmap(v.GetLKBitmap());
  io.ImportMetaFile(meta, -1, -1, false);
  io.SetAttachedLKBitmap(nullptr);
  v.Update();
  form.show();
  TLKAVICodecDialog codec;
  codec.SetCompressors(LKAVICompressors());
  codec.SetPosition(poDesigned);
  codec.SetLeft(520);
  codec.SetTop(40);
  codec.Show();
  return app.exec();
}
