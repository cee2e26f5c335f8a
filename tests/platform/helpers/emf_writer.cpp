// Writes an enhanced metafile through libEMF's drawing calls, for checking
// the metafile player on files another writer made.
// Usage: emf_writer FILE [margin]
// With "margin" the frame starts 10 mm left of and 5 mm above the drawing's
// origin, so everything sits 32 x 16 reference pixels further in.
// The picture is 200 x 100 pixels: a red rectangle (10, 10)-(50, 40), a blue
// ellipse (60, 10)-(110, 50) and triangle (120, 10), (190, 10), (120, 60),
// an arc in the box (10, 50)-(60, 95) and "HHH" in green at (120, 65).
#include <libEMF/emf.h>

int main(int argc, char** argv) {
  if (argc != 2 && argc != 3) return 2;
  RECT frame = {0, 0, 6250, 3125};  // hundredths of a millimetre
  if (argc == 3) frame = {-1000, -500, 6250, 3125};
  HDC dc = CreateEnhMetaFileA(0, argv[1], &frame, const_cast<char*>("emf_writer\0\0"));
  SelectObject(dc, GetStockObject(NULL_PEN));
  SelectObject(dc, CreateSolidBrush(RGB(255, 0, 0)));
  Rectangle(dc, 10, 10, 50, 40);
  SelectObject(dc, CreateSolidBrush(RGB(0, 0, 255)));
  Ellipse(dc, 60, 10, 110, 50);
  POINT tri[3] = {{120, 10}, {190, 10}, {120, 60}};
  Polygon(dc, tri, 3);
  SelectObject(dc, GetStockObject(BLACK_PEN));
  Arc(dc, 10, 50, 60, 95, 60, 72, 35, 50);
  SelectObject(dc, CreateFontA(-24, 0, 0, 0, 700, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "DejaVu Sans"));
  SetTextColor(dc, RGB(0, 128, 0));
  SetBkMode(dc, TRANSPARENT);
  TextOutA(dc, 120, 65, "HHH", 3);
  DeleteEnhMetaFile(CloseEnhMetaFile(dc));
  return 0;
}
