#include "core/lkutils.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/controls.h"
#include "platform/sysutils.h"

namespace fs = std::filesystem;

bool LKDirectoryExists(const String& Path) {
  std::error_code ec;
  return !Path.empty() && fs::is_directory(fs::path(Path), ec);
}

void LKForceDirectories(const String& Path) {
  if (Path.empty()) throw Exception("Cannot Create Directory");
  String dir = Path;
  if (dir.back() == '/') dir.pop_back();
  if (dir.empty() || LKDirectoryExists(dir)) return;
  const size_t slash = dir.rfind('/');
  if (slash != String::npos) {
    const String parent = dir.substr(0, slash + 1);
    if (parent != dir) LKForceDirectories(parent);
  }
  std::error_code ec;
  fs::create_directory(fs::path(dir), ec);
}

Int64 _getfilesize(const String& FileName) {
  std::error_code ec;
  const fs::path p(FileName);
  if (FileName.empty() || !fs::is_regular_file(p, ec)) return -1;
  const auto size = fs::file_size(p, ec);
  return ec ? -1 : Int64(size);
}

QWidget* LKFindHandle(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->GetOwner())
    if (auto* w = dynamic_cast<TWinControl*>(c)) return w->HandleAllocated() ? w->GetPeer() : nullptr;
  return nullptr;
}

namespace {

// The bars a call names: one, or both for SB_BOTH; none for anything else.
std::vector<Integer> BarsOf(Integer Bar) {
  if (Bar == SB_BOTH) return {SB_HORZ, SB_VERT};
  if (Bar == SB_HORZ || Bar == SB_VERT) return {Bar};
  return {};
}

}  // namespace

Integer LKSetScrollRange(TCustomControl* Window, Integer Bar, Integer Min, Integer Max, Integer Redraw, bool) {
  if (!Window || BarsOf(Bar).size() != 1) return 0;
  Window->SetScrollRange(Bar, Min, Max, Redraw != 0);
  return 1;
}

Integer LKSetScrollInfo(TCustomControl* Window, Integer Bar, const TScrollInfo& Info, Integer Redraw, bool) {
  if (!Window || BarsOf(Bar).size() != 1) return 0;
  if (Info.fMask & SIF_RANGE) Window->SetScrollRange(Bar, Info.nMin, Info.nMax, Redraw != 0);
  if (Info.fMask & SIF_PAGE)
    Window->SetScrollPage(Bar, Integer(std::min<Cardinal>(Info.nPage, Cardinal(INT32_MAX))), Redraw != 0);
  if (Info.fMask & SIF_POS) Window->SetScrollPos(Bar, Info.nPos, Redraw != 0);
  return Window->GetScrollBarState(Bar).Pos;
}

Integer LKSetSBPageSize(TCustomControl* Window, Integer Bar, Integer PageSize, bool Redraw, bool Flat) {
  TScrollInfo info;
  info.fMask = SIF_PAGE;
  info.nPage = Cardinal(PageSize);
  return LKSetScrollInfo(Window, Bar, info, Redraw ? -1 : 0, Flat);
}

Integer LKSetScrollPos(TCustomControl* Window, Integer Bar, Integer Pos, Integer Redraw, bool) {
  if (!Window || BarsOf(Bar).size() != 1) return 0;
  const Integer old = Window->GetScrollBarState(Bar).Pos;
  Window->SetScrollPos(Bar, Pos, Redraw != 0);
  return old;
}

Integer LKEnableScrollBar(TCustomControl* Window, Cardinal Bar, Cardinal Arrows, bool) {
  const std::vector<Integer> bars = BarsOf(Integer(std::min<Cardinal>(Bar, 4)));
  if (!Window || bars.empty()) return 0;
  for (Integer b : bars) Window->EnableScrollBar(b, Arrows != ESB_DISABLE_BOTH);
  return 1;
}

Integer LKShowScrollBar(TCustomControl* Window, Integer Bar, Integer Show, bool) {
  const std::vector<Integer> bars = BarsOf(Bar);
  if (!Window || bars.empty()) return 0;
  for (Integer b : bars) Window->ShowScrollBar(b, Show != 0);
  return 1;
}

bool LKIs_Win2000_ME_XP(const TLKOSVersion& Version) {
  return (Version.PlatformId == 2 && Version.Major > 4) ||
         (Version.PlatformId == 1 && Version.Major > 3 && Version.Minor >= 90);
}

bool LKIs_XP(const TLKOSVersion& Version) {
  return Version.PlatformId == 2 && Version.Major == 5 && Version.Minor == 1;
}

bool LKIs_98(const TLKOSVersion& Version) {
  return Version.PlatformId == 1 && Version.Major == 4 && Version.Minor == 10;
}

bool LKIsRemoteSession() { return false; }

bool LKMMXSupported() {
#if defined(__x86_64__) || defined(__i386__)
  return __builtin_cpu_supports("mmx");
#else
  return false;
#endif
}

namespace {

constexpr char kHex[] = "0123456789abcdef";

void PutHex(String& S, uint64_t Value, int Digits) {
  for (int i = Digits - 1; i >= 0; --i) S += kHex[(Value >> (i * 4)) & 15];
}

int HexValue(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

}  // namespace

String LKConvertGUIDToString(const TGUID& Guid) {
  String s = "{";
  PutHex(s, Guid.D1, 8);
  s += '-';
  PutHex(s, Guid.D2, 4);
  s += '-';
  PutHex(s, Guid.D3, 4);
  s += '-';
  for (int i = 0; i < 8; ++i) {
    if (i == 2) s += '-';
    PutHex(s, Guid.D4[i], 2);
  }
  return s + "}";
}

bool LKConvertStringToGUID(const String& Text, TGUID& Guid) {
  Guid = TGUID{};
  if (Text.size() < 37) return false;
  // Reads Digits hexadecimal digits from index From; false on a non-digit.
  auto read = [&](size_t From, int Digits, uint64_t& Value) {
    Value = 0;
    for (int i = 0; i < Digits; ++i) {
      const int v = HexValue(Text[From + size_t(i)]);
      if (v < 0) return false;
      Value = Value << 4 | uint64_t(v);
    }
    return true;
  };
  uint64_t d1, d2, d3, b;
  TGUID g;
  if (!read(1, 8, d1) || !read(10, 4, d2) || !read(15, 4, d3)) return false;
  g.D1 = DWORD(d1), g.D2 = Word(d2), g.D3 = Word(d3);
  for (int i = 0; i < 8; ++i) {
    const size_t at = i < 2 ? 20 + size_t(i) * 2 : 25 + size_t(i - 2) * 2;
    if (!read(at, 2, b)) return false;
    g.D4[i] = Byte(b);
  }
  Guid = g;
  return true;
}

void LKencode64(TStream* Stream, std::ostream& Text, Integer LineLength) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (!Stream) return;
  const double perLine = LineLength / 4.0;
  Integer groups = 0;
  std::array<Byte, 3> in{};
  while (Stream->Position() < Stream->Size()) {
    in = {};
    const Integer n = Stream->Read(in.data(), 3);
    if (n <= 0) break;
    const uint32_t v = uint32_t(in[0]) << 16 | uint32_t(in[1]) << 8 | in[2];
    char out[4] = {kAlphabet[v >> 18], kAlphabet[(v >> 12) & 63], kAlphabet[(v >> 6) & 63], kAlphabet[v & 63]};
    if (n < 3) out[3] = '=';
    if (n < 2) out[2] = '=';
    Text.write(out, 4);
    ++groups;
    if (groups >= perLine || Stream->Position() >= Stream->Size()) {
      Text << '\n';
      groups = 0;
    }
    if (!Text) throw EWriteError("I/O error writing Base64 text");
  }
  if (groups > 0) Text << '\n';
  if (!Text) throw EWriteError("I/O error writing Base64 text");
}

double LKStrToFloatDef(const String& Text, double Default) {
  double v;
  if (TryStrToFloat(Text, v)) return v;
  String t = Text;
  if (const size_t comma = t.find(','); comma != String::npos) t[comma] = '.';
  else if (const size_t dot = t.find('.'); dot != String::npos) t[dot] = ',';
  return TryStrToFloat(t, v) ? v : Default;
}
