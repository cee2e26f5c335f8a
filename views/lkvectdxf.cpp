// DXF import of the vector view: the lines, circles and arcs of a drawing in
// the text form of DXF become line, ellipse and arc objects, scaled so that
// the drawing's extents fit the picture, y turned over.
//
// The file is read as pairs of lines, a group code and a value. Lines may
// end in CR LF and codes may be padded with blanks; numbers always use "."
// whatever the locale. A line longer than any DXF line, a number that is
// not one, or extents without width or height end the import with false;
// the objects added until then stay.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <string_view>
#include <memory>
#include <stdexcept>

#include "core/lkbitmap.h"
#include "views/lumerakvect.h"

namespace {

constexpr std::size_t kMaxLine = 4096;
constexpr double kPi = 3.14159265358979323846;

struct DxfError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

/// The file's lines, one at a time, without their end of line.
class TDxfLines {
 public:
  explicit TDxfLines(std::FILE* F) : FFile(F) {}
  /// False at the end of the file.
  bool Next(std::string& Line) {
    Line.clear();
    int c;
    bool any = false;
    while ((c = std::fgetc(FFile)) != EOF) {
      any = true;
      if (c == '\n') break;
      if (Line.size() >= kMaxLine) throw DxfError("A line of the DXF file is too long");
      Line.push_back(static_cast<char>(c));
    }
    if (std::ferror(FFile)) throw DxfError("The DXF file could not be read");
    if (!Line.empty() && Line.back() == '\r') Line.pop_back();
    return any;
  }

 private:
  std::FILE* FFile;
};

std::string_view Trim(std::string_view S) {
  const auto blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!S.empty() && blank(S.front())) S.remove_prefix(1);
  while (!S.empty() && blank(S.back())) S.remove_suffix(1);
  return S;
}

/// A group code; nullopt for a line that is not an integer.
std::optional<Integer> Code(const std::string& Line) {
  const std::string_view s = Trim(Line);
  Integer v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty()) return std::nullopt;
  return v;
}

double Number(const std::string& Line) {
  std::string_view s = Trim(Line);
  if (!s.empty() && s.front() == '+') s.remove_prefix(1);
  double v = 0;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size() || s.empty() || !std::isfinite(v))
    throw DxfError("The DXF file holds a value that is not a number: \"" + Line.substr(0, 40) + "\"");
  return v;
}

Integer Clamp(double V) {
  if (!(V == V)) return 0;
  return static_cast<Integer>(std::clamp(V, double(std::numeric_limits<Integer>::min()),
                                         double(std::numeric_limits<Integer>::max())));
}

/// Reads pairs until every wanted code was seen (or the file ends); the
/// value of each wanted code's first pair goes to its slot.
void ReadValues(TDxfLines& L, std::initializer_list<std::pair<Integer, double*>> Wanted) {
  std::vector<bool> seen(Wanted.size(), false);
  std::size_t left = Wanted.size();
  std::string code, value;
  while (left > 0 && L.Next(code)) {
    if (!L.Next(value)) break;
    const std::optional<Integer> c = Code(code);
    if (!c) continue;
    std::size_t i = 0;
    for (const auto& w : Wanted) {
      if (w.first == *c && !seen[i]) {
        *w.second = Number(value);
        seen[i] = true;
        --left;
        break;
      }
      ++i;
    }
  }
}

}  // namespace

bool TLumerakVect::ImportDXF(const String& FileName) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(FileName.c_str(), "rb"), &std::fclose);
  if (!f) {
    Update();
    return false;
  }
  const double W = GetLKBitmap()->GetWidth(), H = GetLKBitmap()->GetHeight();
  TLKVObject rec = FTemplate;
  rec.UserData = nullptr;
  rec.UserDataLength = 0;
  rec.BitmapIdx = -1;
  rec.BeginShape = rec.EndShape = lksNONE;
  rec.ShapeWidth = 10;
  rec.ShapeHeight = 20;
  rec.PenWidth = 1;
  rec.LabelPos = lklEnd;

  double minX = 0, minY = 0, maxX = 1000, maxY = 1000;
  double s = 1, yOff = 0;
  const auto scale = [&] {
    const double dx = maxX - minX + 1, dy = maxY - minY + 1;
    if (dx == 0 || dy == 0) throw DxfError("The DXF file's extents have no width or height");
    s = std::min(W / dx, H / dy);
    if (!std::isfinite(s)) throw DxfError("The DXF file's extents cannot be scaled to the picture");
    yOff = H - LKTrunc((maxY - minY) * s);
  };
  // Pixels of a drawing coordinate, computed wide and clamped.
  const auto px = [&](double x) { return Clamp(static_cast<double>(LKTrunc64((x - minX) * s))); };
  const auto py = [&](double y) { return Clamp(H - static_cast<double>(LKTrunc64((y - minY) * s)) - yOff); };

  bool ok = true;
  try {
    scale();
    TDxfLines lines(f.get());
    Integer section = 0;
    std::string code, value;
    while (lines.Next(code)) {
      if (!lines.Next(value)) break;
      const std::optional<Integer> c = Code(code);
      if (!c) continue;
      if (*c == 0 && value == "SECTION") {
        std::string nameCode, name;
        if (!lines.Next(nameCode)) break;
        const std::optional<Integer> nc = Code(nameCode);
        if (!nc) throw DxfError("The DXF file has no group code after \"SECTION\"");
        if (!lines.Next(name)) break;
        static const char* const kSections[] = {"HEADER", "CLASSES", "TABLES", "BLOCKS", "ENTITIES", "OBJECTS"};
        section = 0;
        if (*nc == 2)
          for (Integer i = 0; i < 6; ++i)
            if (name == kSections[i]) section = i + 1;
        continue;
      }
      if (*c == 9 && section == 1) {
        if (value == "$EXTMIN") {
          ReadValues(lines, {{10, &minX}, {20, &minY}});
        } else if (value == "$EXTMAX") {
          ReadValues(lines, {{10, &maxX}, {20, &maxY}});
          scale();
        }
        continue;
      }
      if (*c != 0 || section != 5) continue;
      if (value == "LINE") {
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
        ReadValues(lines, {{10, &x1}, {20, &y1}});
        ReadValues(lines, {{11, &x2}, {21, &y2}});
        rec.Kind = lkkLINE;
        rec.X1 = px(x1);
        rec.Y1 = py(y1);
        rec.X2 = px(x2);
        rec.Y2 = py(y2);
        AddVObject(rec);
      } else if (value == "CIRCLE" || value == "ARC") {
        double cx = 0, cy = 0, r = 0;
        ReadValues(lines, {{10, &cx}, {20, &cy}, {40, &r}});
        rec.Kind = value == "ARC" ? lkkARC : lkkELLIPSE;
        rec.X1 = px(cx - r);
        rec.Y1 = py(cy - r);
        rec.X2 = px(cx + r);
        rec.Y2 = py(cy + r);
        if (rec.Kind == lkkARC) {
          double a0 = 0, a1 = 0;
          ReadValues(lines, {{50, &a0}, {51, &a1}});
          rec.ArcStartingAngle = 2 * kPi - a0 * kPi / 180;
          rec.ArcEndingAngle = 2 * kPi - a1 * kPi / 180;
        }
        AddVObject(rec);
        rec.ArcStartingAngle = FTemplate.ArcStartingAngle;
        rec.ArcEndingAngle = FTemplate.ArcEndingAngle;
      }
    }
  } catch (const DxfError&) {
    ok = false;
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  Update();
  return ok;
}
