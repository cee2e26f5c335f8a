#include "platform/sysutils.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <climits>
#include <cmath>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <mutex>

namespace {

constexpr Int64 kMSecsPerDay = 86400000;
// TDateTime day numbers of 0001-01-01 and of the day after 9999-12-31.
constexpr Int64 kMinDay = -693593;
constexpr Int64 kMaxDayExclusive = 2958466;

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
Int64 DaysFromCivil(Int64 y, unsigned m, unsigned d) {
  y -= m <= 2;
  const Int64 era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<Int64>(doe) - 719468;
}

void CivilFromDays(Int64 z, Int64& y, unsigned& m, unsigned& d) {
  z += 719468;
  const Int64 era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  y = static_cast<Int64>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y += m <= 2;
}

// 1970-01-01 is day 25569 of TDateTime.
constexpr Int64 kUnixEpochDay = 25569;

// Splits a value into a day number and milliseconds since midnight, after
// rounding to the millisecond; false when out of range.
bool SplitDateTime(TDateTime v, Int64& day, Int64& ms) {
  if (!std::isfinite(v) || v <= static_cast<double>(kMinDay - 1) || v >= static_cast<double>(kMaxDayExclusive))
    return false;
  const Int64 total = std::llround(v * static_cast<double>(kMSecsPerDay));
  day = total / kMSecsPerDay;  // toward zero, as the fraction counts from midnight
  ms = total % kMSecsPerDay;
  if (ms < 0) ms = -ms;
  return day >= kMinDay && day < kMaxDayExclusive;
}

TDateTime SystemNow() {
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  time_t secs = ts.tv_sec;
  tm local{};
  localtime_r(&secs, &local);
  TDateTime date = static_cast<double>(
      DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                    static_cast<unsigned>(local.tm_mday)) + kUnixEpochDay);
  Int64 ms = (local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59)) * Int64{1000} +
             ts.tv_nsec / 1000000;
  return date + static_cast<double>(ms) / static_cast<double>(kMSecsPerDay);
}

std::mutex gClockMutex;
std::function<TDateTime()> gClock;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

// --- Dates and times -------------------------------------------------------

TDateTime Now() {
  std::function<TDateTime()> clock;
  {
    std::lock_guard<std::mutex> lock(gClockMutex);
    clock = gClock;
  }
  return clock ? clock() : SystemNow();
}

TDateTime Date() { return std::trunc(Now()); }

TDateTime Time() {
  TDateTime n = Now();
  return n - std::trunc(n);
}

void SetNowFunction(std::function<TDateTime()> Clock) {
  std::lock_guard<std::mutex> lock(gClockMutex);
  gClock = std::move(Clock);
}

bool IsLeapYear(Word Year) { return Year % 4 == 0 && (Year % 100 != 0 || Year % 400 == 0); }

bool TryEncodeDate(Word Year, Word Month, Word Day, TDateTime& Value) {
  static const Word kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (Year < 1 || Year > 9999 || Month < 1 || Month > 12 || Day < 1) return false;
  Word last = kDays[Month - 1] + (Month == 2 && IsLeapYear(Year) ? 1 : 0);
  if (Day > last) return false;
  Value = static_cast<double>(DaysFromCivil(Year, Month, Day) + kUnixEpochDay);
  return true;
}

TDateTime EncodeDate(Word Year, Word Month, Word Day) {
  TDateTime v;
  if (!TryEncodeDate(Year, Month, Day, v)) throw EConvertError("Invalid argument to date encode");
  return v;
}

bool TryEncodeTime(Word Hour, Word Min, Word Sec, Word MSec, TDateTime& Value) {
  if (Hour >= 24 || Min >= 60 || Sec >= 60 || MSec >= 1000) return false;
  Value = static_cast<double>((Hour * 3600 + Min * 60 + Sec) * Int64{1000} + MSec) / static_cast<double>(kMSecsPerDay);
  return true;
}

TDateTime EncodeTime(Word Hour, Word Min, Word Sec, Word MSec) {
  TDateTime v;
  if (!TryEncodeTime(Hour, Min, Sec, MSec, v)) throw EConvertError("Invalid argument to time encode");
  return v;
}

void DecodeDate(TDateTime Value, Word& Year, Word& Month, Word& Day) {
  Int64 day, ms;
  Year = Month = Day = 0;
  if (!SplitDateTime(Value, day, ms)) return;
  Int64 y;
  unsigned m, d;
  CivilFromDays(day - kUnixEpochDay, y, m, d);
  Year = static_cast<Word>(y);
  Month = static_cast<Word>(m);
  Day = static_cast<Word>(d);
}

void DecodeTime(TDateTime Value, Word& Hour, Word& Min, Word& Sec, Word& MSec) {
  Int64 day, ms;
  Hour = Min = Sec = MSec = 0;
  if (!SplitDateTime(Value, day, ms)) return;
  Hour = static_cast<Word>(ms / 3600000);
  Min = static_cast<Word>(ms / 60000 % 60);
  Sec = static_cast<Word>(ms / 1000 % 60);
  MSec = static_cast<Word>(ms % 1000);
}

Integer DayOfWeek(TDateTime Value) {
  Int64 day, ms;
  if (!SplitDateTime(Value, day, ms)) return 0;
  // Day 0 (1899-12-30) was a Saturday.
  Int64 r = (day + 6) % 7;
  if (r < 0) r += 7;
  return static_cast<Integer>(r) + 1;
}

TDateTime UnixToLocalDateTime(Int64 Seconds) {
  time_t secs = static_cast<time_t>(Seconds);
  tm local{};
  if (localtime_r(&secs, &local) == nullptr) return 0;
  TDateTime date = static_cast<double>(
      DaysFromCivil(local.tm_year + Int64{1900}, static_cast<unsigned>(local.tm_mon + 1),
                    static_cast<unsigned>(local.tm_mday)) + kUnixEpochDay);
  Int64 s = local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59);
  return date + static_cast<double>(s) / 86400.0;
}

namespace {
String TwoDigits(unsigned v) {
  char b[3] = {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10), 0};
  return b;
}
}  // namespace

String DateToStr(TDateTime Value) {
  Word y, m, d;
  DecodeDate(Value, y, m, d);
  return TwoDigits(y / 100) + TwoDigits(y % 100) + "-" + TwoDigits(m) + "-" + TwoDigits(d);
}

String TimeToStr(TDateTime Value) {
  Word h, mi, s, ms;
  DecodeTime(Value, h, mi, s, ms);
  return TwoDigits(h) + ":" + TwoDigits(mi) + ":" + TwoDigits(s);
}

String DateTimeToStr(TDateTime Value) { return DateToStr(Value) + " " + TimeToStr(Value); }

bool TryStrToDate(const String& S, TDateTime& Value) {
  String t = Trim(S);
  unsigned parts[3] = {0, 0, 0};
  std::size_t p = 0;
  for (int i = 0; i < 3; ++i) {
    if (i > 0) {
      if (p >= t.size() || t[p] != '-') return false;
      ++p;
    }
    std::size_t start = p;
    while (p < t.size() && p - start < 5 && std::isdigit(static_cast<unsigned char>(t[p]))) {
      parts[i] = parts[i] * 10 + static_cast<unsigned>(t[p] - '0');
      ++p;
    }
    const std::size_t len = p - start;
    if (len == 0 || (i == 0 ? len != 4 : len > 2)) return false;
  }
  if (p != t.size()) return false;
  return TryEncodeDate(static_cast<Word>(parts[0]), static_cast<Word>(parts[1]), static_cast<Word>(parts[2]), Value);
}

// --- Files and folders -----------------------------------------------------

bool FileExists(const String& FileName) {
  struct stat st {};
  return !FileName.empty() && ::stat(FileName.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const String& Dir) {
  struct stat st {};
  return !Dir.empty() && ::stat(Dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const String& Dir) { return !Dir.empty() && ::mkdir(Dir.c_str(), 0777) == 0; }

bool ForceDirectories(const String& Dir) {
  if (Dir.empty()) return false;
  String d = ExcludeTrailingPathDelimiter(Dir);
  if (d.empty() || DirectoryExists(d)) return DirectoryExists(Dir);
  String parent = ExtractFileDir(d);
  if (!parent.empty() && parent != d && !ForceDirectories(parent)) return false;
  return CreateDir(d) || DirectoryExists(d);
}

bool DeleteFile(const String& FileName) { return !FileName.empty() && ::unlink(FileName.c_str()) == 0; }

bool RenameFile(const String& OldName, const String& NewName) {
  if (OldName.empty() || NewName.empty()) return false;
#ifdef SYS_renameat2
  long r = ::syscall(SYS_renameat2, AT_FDCWD, OldName.c_str(), AT_FDCWD, NewName.c_str(), 1 /* RENAME_NOREPLACE */);
  if (r == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
#endif
  // File systems without the no-replace rename: check, then rename.
  struct stat st {};
  if (::lstat(NewName.c_str(), &st) == 0) return false;
  return ::rename(OldName.c_str(), NewName.c_str()) == 0;
}

bool ReplaceFile(const String& Source, const String& Target) {
  return !Source.empty() && !Target.empty() && ::rename(Source.c_str(), Target.c_str()) == 0;
}

String ExtractFilePath(const String& FileName) {
  std::size_t p = FileName.rfind('/');
  return p == String::npos ? String() : FileName.substr(0, p + 1);
}

String ExtractFileDir(const String& FileName) {
  std::size_t p = FileName.rfind('/');
  if (p == String::npos) return String();
  return p == 0 ? String("/") : FileName.substr(0, p);
}

String ExtractFileName(const String& FileName) {
  std::size_t p = FileName.rfind('/');
  return p == String::npos ? FileName : FileName.substr(p + 1);
}

String ExtractFileExt(const String& FileName) {
  std::size_t dot = FileName.rfind('.');
  std::size_t slash = FileName.rfind('/');
  if (dot == String::npos || (slash != String::npos && dot < slash)) return String();
  return FileName.substr(dot);
}

String ChangeFileExt(const String& FileName, const String& Extension) {
  std::size_t dot = FileName.rfind('.');
  std::size_t slash = FileName.rfind('/');
  if (dot == String::npos || (slash != String::npos && dot < slash)) return FileName + Extension;
  return FileName.substr(0, dot) + Extension;
}

String IncludeTrailingPathDelimiter(const String& S) {
  return (!S.empty() && S.back() == '/') ? S : S + "/";
}

String ExcludeTrailingPathDelimiter(const String& S) {
  if (S.size() > 1 && S.back() == '/') return S.substr(0, S.size() - 1);
  return S;
}

String ExpandFileName(const String& FileName) {
  if (FileName.empty()) return String();
  std::error_code ec;
  std::filesystem::path p(FileName);
  if (p.is_relative()) {
    auto cwd = std::filesystem::current_path(ec);
    if (ec) return FileName;
    p = cwd / p;
  }
  String r = p.lexically_normal().string();
  // lexically_normal keeps a final "/" of "dir/." as "dir/"; a path that
  // named a folder with a final "/" keeps it, others lose it.
  if (r.size() > 1 && r.back() == '/' && FileName.back() != '/') r.pop_back();
  return r;
}

Int64 FileSizeOf(const String& FileName) {
  struct stat st {};
  if (FileName.empty() || ::stat(FileName.c_str(), &st) != 0) return -1;
  return static_cast<Int64>(st.st_size);
}

bool FileAge(const String& FileName, TDateTime& FileDateTime) {
  struct stat st {};
  if (FileName.empty() || ::stat(FileName.c_str(), &st) != 0) return false;
  FileDateTime = UnixToLocalDateTime(static_cast<Int64>(st.st_mtime));
  return true;
}

namespace {
Integer AttrOf(const String& name, const struct stat& st, bool isLink) {
  Integer a = 0;
  if (S_ISDIR(st.st_mode))
    a |= faDirectory;
  else if (S_ISREG(st.st_mode))
    a |= faArchive;
  else
    a |= faSysFile;  // devices, pipes and sockets
  if ((st.st_mode & S_IWUSR) == 0) a |= faReadOnly;
  String base = ExtractFileName(ExcludeTrailingPathDelimiter(name));
  if (!base.empty() && base[0] == '.' && base != "." && base != "..") a |= faHidden;
  if (isLink) a |= faSymLink;
  return a;
}
}  // namespace

Integer FileGetAttr(const String& FileName) {
  struct stat st {}, lst {};
  if (FileName.empty() || ::stat(FileName.c_str(), &st) != 0) return -1;
  bool link = ::lstat(FileName.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode);
  return AttrOf(FileName, st, link);
}

bool MatchesMask(const String& FileName, const String& Mask) {
  if (Mask == "*.*" || Mask == "*") return true;
  // Iterative glob with one backtrack point: linear in practice, no recursion.
  std::size_t n = 0, m = 0, starM = String::npos, starN = 0;
  while (n < FileName.size()) {
    if (m < Mask.size() && Mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (m < Mask.size() && (Mask[m] == '?' || AsciiLower(Mask[m]) == AsciiLower(FileName[n]))) {
      ++m;
      ++n;
    } else if (starM != String::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < Mask.size() && Mask[m] == '*') ++m;
  return m == Mask.size();
}

Integer FindFirst(const String& Path, Integer Attr, TSearchRec& F) {
  F = TSearchRec();
  String dir = ExtractFilePath(Path);
  String mask = ExtractFileName(Path);
  DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return errno ? errno : ENOENT;
  // Folders, hidden and system entries are left out unless Attr asks.
  const Integer exclude = ~Attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  std::vector<TSearchRec> found;
  while (dirent* e = ::readdir(d)) {
    String name = e->d_name;
    if (name == "." || name == "..") continue;
    if (!MatchesMask(name, mask)) continue;
    String full = dir + name;
    struct stat st {}, lst {};
    bool haveLink = ::lstat(full.c_str(), &lst) == 0;
    if (::stat(full.c_str(), &st) != 0) {
      if (!haveLink) continue;
      st = lst;  // a dangling link is listed as what it is
    }
    TSearchRec r;
    r.Name = name;
    r.Attr = AttrOf(full, st, haveLink && S_ISLNK(lst.st_mode));
    if ((r.Attr & exclude) != 0) continue;
    r.Size = S_ISDIR(st.st_mode) ? 0 : static_cast<Int64>(st.st_size);
    r.TimeStamp = UnixToLocalDateTime(static_cast<Int64>(st.st_mtime));
    found.push_back(std::move(r));
  }
  ::closedir(d);
  if (found.empty()) return ENOENT;
  // readdir order is arbitrary: list by name as the desktop does.
  std::sort(found.begin(), found.end(), [](const TSearchRec& a, const TSearchRec& b) {
    int c = CompareText(a.Name, b.Name);
    return c != 0 ? c < 0 : a.Name < b.Name;
  });
  std::reverse(found.begin(), found.end());  // pop from the back
  F = std::move(found.back());
  found.pop_back();
  F.Pending = std::move(found);
  return 0;
}

Integer FindNext(TSearchRec& F) {
  if (F.Pending.empty()) return ENOENT;
  std::vector<TSearchRec> rest = std::move(F.Pending);
  F = std::move(rest.back());
  rest.pop_back();
  F.Pending = std::move(rest);
  return 0;
}

void FindClose(TSearchRec& F) { F.Pending.clear(); }

int ListFolderEntries(const String& Folder, const std::vector<String>& Masks, Integer Attr,
                      std::vector<TFolderEntry>& Out) {
  Out.clear();
  DIR* d = ::opendir(Folder.empty() ? "." : Folder.c_str());
  if (d == nullptr) return errno ? errno : ENOENT;
  const int fd = ::dirfd(d);
  const Integer exclude = ~Attr & (faHidden | faSysFile | faVolumeID | faDirectory);
  while (dirent* e = ::readdir(d)) {
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0'))) continue;
    // A leading dot marks a hidden entry: left out before any lookup.
    if (n[0] == '.' && (exclude & faHidden) != 0) continue;
    String name = n;
    if (std::none_of(Masks.begin(), Masks.end(), [&](const String& m) { return MatchesMask(name, m); })) continue;
    struct stat st {};
    bool link = e->d_type == DT_LNK;
    if (::fstatat(fd, n, &st, 0) != 0) {
      // A dangling link is listed as what it is.
      if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
      link = S_ISLNK(st.st_mode);
    } else if (e->d_type == DT_UNKNOWN) {
      struct stat lst {};
      link = ::fstatat(fd, n, &lst, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(lst.st_mode);
    }
    const Integer attr = AttrOf(name, st, link);
    if ((attr & exclude) != 0) continue;
    Out.push_back(TFolderEntry{std::move(name), S_ISDIR(st.st_mode) ? 0 : static_cast<Int64>(st.st_size), attr});
  }
  ::closedir(d);
  return 0;
}

// --- Temporary files and memory --------------------------------------------

String GetTempFolder() {
  const char* env = std::getenv("TMPDIR");
  if (env != nullptr && *env != '\0' && DirectoryExists(env)) return IncludeTrailingPathDelimiter(env);
  return "/tmp/";
}

int CreateFileExclusive(const String& FileName) {
  if (FileName.empty()) return ENOENT;
  int fd;
  do {
    fd = ::open(FileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

Int64 GetAvailablePhysicalMemory(const String& MemInfoFile) {
  FILE* f = std::fopen(MemInfoFile.c_str(), "re");
  if (f == nullptr) return -1;
  char line[256];
  Int64 result = -1;
  // /proc/meminfo is short; stop after a bounded number of lines anyway.
  for (int i = 0; i < 4096 && std::fgets(line, sizeof line, f) != nullptr; ++i) {
    if (std::strncmp(line, "MemAvailable:", 13) != 0) continue;
    const char* p = line + 13;
    while (*p == ' ' || *p == '\t') ++p;
    UInt64 kb = 0;
    auto [end, ec] = std::from_chars(p, line + std::strlen(line), kb);
    if (ec == std::errc() && end != p && kb <= static_cast<UInt64>(INT64_MAX / 1024)) result = static_cast<Int64>(kb * 1024);
    break;
  }
  std::fclose(f);
  return result;
}

Integer GetAvailablePhysicalMemory32(const String& MemInfoFile) {
  Int64 v = GetAvailablePhysicalMemory(MemInfoFile);
  if (v < 0) return -1;
  return static_cast<Integer>(std::min<Int64>(v, INT32_MAX));
}

// --- Number text -----------------------------------------------------------

String IntToHexU(UInt64 Value, Integer Digits) {
  char buf[17];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, Value, 16);
  String s(buf, end);
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (Digits > 0 && static_cast<std::size_t>(Digits) > s.size())
    s.insert(0, std::min<std::size_t>(static_cast<std::size_t>(Digits), 64) - s.size(), '0');
  return s;
}

bool TryStrToInt64(const String& S, Int64& Value) {
  std::size_t p = 0, n = S.size();
  while (p < n && IsBlank(S[p])) ++p;
  bool neg = false;
  if (p < n && (S[p] == '+' || S[p] == '-')) neg = S[p++] == '-';
  int base = 10;
  if (p < n && S[p] == '$') {
    base = 16;
    ++p;
  } else if (p + 1 < n && S[p] == '0' && (S[p + 1] == 'x' || S[p + 1] == 'X')) {
    base = 16;
    p += 2;
  }
  if (p >= n) return false;
  UInt64 mag = 0;
  auto [end, ec] = std::from_chars(S.data() + p, S.data() + n, mag, base);
  if (ec != std::errc() || end != S.data() + n) return false;
  if (neg) {
    if (mag > static_cast<UInt64>(INT64_MAX) + 1) return false;
    Value = mag == static_cast<UInt64>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<Int64>(mag);
  } else {
    if (mag > static_cast<UInt64>(INT64_MAX)) return false;
    Value = static_cast<Int64>(mag);
  }
  return true;
}

bool TryStrToInt(const String& S, Integer& Value) {
  Int64 v;
  if (!TryStrToInt64(S, v) || v < INT32_MIN || v > INT32_MAX) return false;
  Value = static_cast<Integer>(v);
  return true;
}

Integer StrToInt(const String& S) {
  Integer v;
  if (!TryStrToInt(S, v)) throw EConvertError("'" + S + "' is not a valid integer value");
  return v;
}

Int64 StrToInt64(const String& S) {
  Int64 v;
  if (!TryStrToInt64(S, v)) throw EConvertError("'" + S + "' is not a valid integer value");
  return v;
}

Integer StrToIntDef(const String& S, Integer Default) {
  Integer v;
  return TryStrToInt(S, v) ? v : Default;
}

Int64 StrToInt64Def(const String& S, Int64 Default) {
  Int64 v;
  return TryStrToInt64(S, v) ? v : Default;
}

String FloatToStr(double Value) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  if (Value == 0) return "0";
  char buf[64];
  auto [end, ec] = std::to_chars(buf, buf + sizeof buf, Value, std::chars_format::general, 15);
  String s(buf, end);
  // to_chars writes "1e+20" and "1.5e-05"; the desktop writes "1E20" and
  // "1.5E-5".
  std::size_t e = s.find('e');
  if (e != String::npos) {
    String mant = s.substr(0, e);
    String exp = s.substr(e + 1);
    bool neg = !exp.empty() && exp[0] == '-';
    if (!exp.empty() && (exp[0] == '+' || exp[0] == '-')) exp.erase(0, 1);
    exp.erase(0, std::min(exp.find_first_not_of('0'), exp.size() - 1));
    s = mant + "E" + (neg ? "-" : "") + exp;
  }
  return s;
}

bool TryStrToFloat(const String& S, double& Value) {
  std::size_t p = 0, n = S.size();
  while (p < n && IsBlank(S[p])) ++p;
  while (n > p && IsBlank(S[n - 1])) --n;
  if (p < n && S[p] == '+') {
    ++p;
    if (p < n && S[p] == '-') return false;
  }
  // Only digits, a sign and "." may start a number: no "inf" or "nan".
  std::size_t q = p;
  if (q < n && S[q] == '-') ++q;
  if (q >= n || !(std::isdigit(static_cast<unsigned char>(S[q])) || S[q] == '.')) return false;
  double v = 0;
  auto [end, ec] = std::from_chars(S.data() + p, S.data() + n, v, std::chars_format::general);
  if (ec != std::errc() || end != S.data() + n) return false;
  Value = v;
  return true;
}

double StrToFloat(const String& S) {
  double v;
  if (!TryStrToFloat(S, v)) throw EConvertError("'" + S + "' is not a valid floating point value");
  return v;
}

double StrToFloatDef(const String& S, double Default) {
  double v;
  return TryStrToFloat(S, v) ? v : Default;
}

// --- ASCII string helpers --------------------------------------------------

String UpperCase(const String& S) {
  String r = S;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return r;
}

String LowerCase(const String& S) {
  String r = S;
  for (char& c : r) c = AsciiLower(c);
  return r;
}

String TrimLeft(const String& S) {
  std::size_t p = 0;
  while (p < S.size() && IsBlank(S[p])) ++p;
  return S.substr(p);
}

String TrimRight(const String& S) {
  std::size_t n = S.size();
  while (n > 0 && IsBlank(S[n - 1])) --n;
  return S.substr(0, n);
}

String Trim(const String& S) { return TrimLeft(TrimRight(S)); }

int CompareText(const String& S1, const String& S2) {
  std::size_t n = std::min(S1.size(), S2.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char a = static_cast<unsigned char>(AsciiLower(S1[i]));
    unsigned char b = static_cast<unsigned char>(AsciiLower(S2[i]));
    if (a != b) return a < b ? -1 : 1;
  }
  return S1.size() < S2.size() ? -1 : (S1.size() > S2.size() ? 1 : 0);
}

int CompareStr(const String& S1, const String& S2) {
  int c = S1.compare(S2);
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool SameText(const String& S1, const String& S2) { return CompareText(S1, S2) == 0; }
