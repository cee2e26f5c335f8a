// TIFF page operations: delete pages, extract one page, insert the pages of
// a second file, all by copying raw directories with their strip or tile
// data and out-of-entry values and rewriting the offsets; no pixel is
// decoded. Directories keep the source's byte order. The EXIF, GPS and
// interoperability directories a page points to are copied along; SubIFDs
// are dropped, as nothing here follows them.
#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "codecs/tiff/tiffpages.h"
#include "core/lkbytereader.h"

namespace {

// Directories with more entries than this are taken as damaged.
constexpr Integer kMaxEntries = 4096;
// Chains longer than this are taken as damaged (and end the walk).
constexpr Integer kMaxPages = 65535;

Word Size16(const Byte* p, bool LE) { return LE ? LKGetLE16(p) : LKGetBE16(p); }
DWORD Size32(const Byte* p, bool LE) { return LE ? LKGetLE32(p) : LKGetBE32(p); }
void Put16(Byte* p, Word V, bool LE) { LE ? LKPutLE16(p, V) : LKPutBE16(p, V); }
void Put32(Byte* p, DWORD V, bool LE) { LE ? LKPutLE32(p, V) : LKPutBE32(p, V); }

bool IsPointerTag(Word Tag) { return Tag == 34665 || Tag == 34853 || Tag == 40965; }

// Copies directories of one source into an output stream.
class TPageCopier {
 public:
  TPageCopier(TStream* Src, TStream* Out, Int64 OutBase, bool LE)
      : src_(Src), out_(Out), outBase_(OutBase), le_(LE), srcSize_(Src->GetSize()) {}

  bool LE() const { return le_; }

  // Reads the 16-bit count and the raw entries of the directory at Offset
  // and its next pointer. False when it does not lie inside the source.
  bool ReadIFD(DWORD Offset, std::vector<Byte>& Entries, DWORD& Next) {
    Byte c[2];
    if (!ReadAt(Offset, c, 2)) return false;
    const Integer n = Size16(c, le_);
    if (n == 0 || n > kMaxEntries) return false;
    Entries.resize(static_cast<size_t>(n) * 12);
    Byte nx[4];
    if (!ReadAt(Int64{Offset} + 2, Entries.data(), Int64{n} * 12)) return false;
    Next = ReadAt(Int64{Offset} + 2 + Int64{n} * 12, nx, 4) ? Size32(nx, le_) : 0;
    return true;
  }

  // Copies the directory at Offset with its data; links it from LinkPos
  // (an output position holding a 4-byte pointer) and returns the output
  // position of its own next pointer, or -1 when it could not be copied.
  Int64 CopyPage(DWORD Offset, Int64 LinkPos, bool MultiPage) {
    const Int64 dir = CopyDirectory(Offset, MultiPage, 0);
    if (dir < 0) return -1;
    Link(LinkPos, dir);
    return dir + 2 + static_cast<Int64>(lastCount_) * 12;
  }

  // Writes the 4-byte pointer at output position Pos.
  void Link(Int64 Pos, Int64 Target) {
    Byte p[4];
    Put32(p, static_cast<DWORD>(Target - outBase_), le_);
    const Int64 here = out_->GetPosition();
    out_->SetPosition(Pos);
    out_->WriteBuffer(p, 4);
    out_->SetPosition(here);
  }

 private:
  bool ReadAt(Int64 Pos, void* Buf, Int64 Count) {
    if (Pos < 0 || Count < 0 || Pos > srcSize_ || Count > srcSize_ - Pos) return false;
    src_->SetPosition(Pos);
    return Count == 0 || src_->Read(Buf, static_cast<Integer>(Count)) == static_cast<Integer>(Count);
  }

  DWORD Here() const { return static_cast<DWORD>(out_->GetPosition() - outBase_); }

  // Copies Count bytes at source Offset to the output's position; data
  // outside the source is left out (the part inside is copied).
  void CopyBlock(Int64 Offset, Int64 Count) {
    if (Offset < 0 || Offset >= srcSize_ || Count <= 0) return;
    Count = std::min(Count, srcSize_ - Offset);
    std::vector<Byte> buf(static_cast<size_t>(std::min<Int64>(Count, 1 << 20)));
    while (Count > 0) {
      const Int64 k = std::min<Int64>(Count, static_cast<Int64>(buf.size()));
      if (!ReadAt(Offset, buf.data(), k)) return;
      out_->WriteBuffer(buf.data(), static_cast<Integer>(k));
      Offset += k;
      Count -= k;
    }
  }

  std::vector<DWORD> Values(const Byte* E) {
    const Word type = Size16(E + 2, le_);
    const DWORD count = Size32(E + 4, le_);
    std::vector<DWORD> v;
    if ((type != 3 && type != 4) || count == 0 || count > srcSize_) return v;
    const size_t size = type == 3 ? 2 : 4;
    std::vector<Byte> raw(count * size);
    if (count * size <= 4) std::memcpy(raw.data(), E + 8, raw.size());
    else if (!ReadAt(Size32(E + 8, le_), raw.data(), static_cast<Int64>(raw.size()))) return {};
    for (DWORD i = 0; i < count; ++i)
      v.push_back(size == 2 ? Size16(&raw[i * 2], le_) : Size32(&raw[i * 4], le_));
    return v;
  }

  void PutLongs(Byte* E, const std::vector<DWORD>& V) {
    Put16(E + 2, 4, le_);
    Put32(E + 4, static_cast<DWORD>(V.size()), le_);
    if (V.size() == 1) {
      Put32(E + 8, V[0], le_);
      return;
    }
    std::vector<Byte> raw(V.size() * 4);
    for (size_t i = 0; i < V.size(); ++i) Put32(&raw[i * 4], V[i], le_);
    Put32(E + 8, Here(), le_);
    out_->WriteBuffer(raw.data(), static_cast<Integer>(raw.size()));
  }

  Int64 CopyDirectory(DWORD Offset, bool MultiPage, int Depth) {
    std::vector<Byte> e;
    DWORD next = 0;
    if (Depth > 3 || !ReadIFD(Offset, e, next)) return -1;
    const size_t n = e.size() / 12;
    std::vector<DWORD> counts;
    for (size_t i = 0; i < n; ++i) {
      const Word tag = Size16(&e[i * 12], le_);
      if (tag == 279 || tag == 325) counts = Values(&e[i * 12]);
    }
    std::vector<Byte> kept;
    for (size_t i = 0; i < n; ++i) {
      Byte* E = &e[i * 12];
      const Word tag = Size16(E, le_);
      const Word type = Size16(E + 2, le_);
      const DWORD count = Size32(E + 4, le_);
      if (tag == 330) continue;  // SubIFDs are not followed
      if (tag == 273 || tag == 324) {
        const std::vector<DWORD> offsets = Values(E);
        if (offsets.empty() || counts.size() < offsets.size()) return -1;  // no byte counts to copy by
        std::vector<DWORD> moved;
        for (size_t k = 0; k < offsets.size(); ++k) {
          moved.push_back(Here());
          CopyBlock(offsets[k], counts[k]);
        }
        PutLongs(E, moved);
      } else if (IsPointerTag(tag) && count == 1 && (type == 4 || type == 13)) {
        const Int64 sub = CopyDirectory(Size32(E + 8, le_), false, Depth + 1);
        if (sub < 0) continue;
        Put32(E + 8, static_cast<DWORD>(sub - outBase_), le_);
      } else if (tag == 254 && MultiPage && count == 1) {
        const DWORD v = type == 3 ? Size16(E + 8, le_) : Size32(E + 8, le_);
        if (type == 3) Put16(E + 8, Word(v | 2), le_);
        else Put32(E + 8, v | 2, le_);
      } else {
        const Int64 bytes = Int64{count} * LKTagSize(type);
        if (bytes > 4) {
          if (bytes > srcSize_) continue;  // values the source cannot hold
          const DWORD at = Here();
          CopyBlock(Size32(E + 8, le_), bytes);
          Put32(E + 8, at, le_);
        }
      }
      kept.insert(kept.end(), E, E + 12);
    }
    if (out_->GetPosition() & 1) {
      const Byte zero = 0;
      out_->WriteBuffer(&zero, 1);
    }
    const Int64 dir = out_->GetPosition();
    Byte c[2];
    lastCount_ = static_cast<Integer>(kept.size() / 12);
    Put16(c, static_cast<Word>(lastCount_), le_);
    out_->WriteBuffer(c, 2);
    out_->WriteBuffer(kept.data(), static_cast<Integer>(kept.size()));
    const Byte zero[4] = {};
    out_->WriteBuffer(zero, 4);
    return dir;
  }

  TStream* src_;
  TStream* out_;
  Int64 outBase_;
  bool le_;
  Int64 srcSize_;
  Integer lastCount_ = 0;
};

// Reads the 8-byte header at position 0; false unless "II" or "MM".
bool Header(TStream* S, Byte H[8], bool& LE) {
  if (!S || S->GetSize() < 8) return false;
  S->SetPosition(0);
  if (S->Read(H, 8) != 8) return false;
  if (H[0] == 'I' && H[1] == 'I') LE = true;
  else if (H[0] == 'M' && H[1] == 'M') LE = false;
  else return false;
  return true;
}

// The chain of page directory offsets of a source, cut at a cycle or a
// pointer outside the source.
std::vector<DWORD> Chain(TStream* S, const Byte H[8], bool LE) {
  std::vector<DWORD> pages;
  std::set<DWORD> seen;
  DWORD at = Size32(H + 4, LE);
  const Int64 size = S->GetSize();
  while (at != 0 && at >= 8 && at < size && seen.insert(at).second && static_cast<Integer>(pages.size()) < kMaxPages) {
    Byte c[2];
    S->SetPosition(at);
    if (S->Read(c, 2) != 2) break;
    const Int64 n = Size16(c, LE);
    if (n == 0) break;
    pages.push_back(at);
    Byte nx[4];
    const Int64 nextPos = Int64{at} + 2 + 12 * n;
    if (nextPos + 4 > size) break;
    S->SetPosition(nextPos);
    if (S->Read(nx, 4) != 4) break;
    at = Size32(nx, LE);
  }
  return pages;
}

// Starts an output file: the source's 4 header bytes and a zero pointer.
Int64 StartOutput(TStream* Out, const Byte H[8]) {
  const Int64 base = Out->GetPosition();
  const Byte head[8] = {H[0], H[1], H[2], H[3], 0, 0, 0, 0};
  Out->WriteBuffer(head, 8);
  return base;
}

}  // namespace

Integer _DeleteTIFFImStreamGroup(TStream* Stream, const Integer* Indexes, Integer Count) {
  Byte h[8];
  bool le = true;
  if (!Header(Stream, h, le)) return 0;
  const std::vector<DWORD> pages = Chain(Stream, h, le);
  std::set<Integer> drop(Indexes, Indexes + std::max(Count, 0));
  TMemoryStream out;
  StartOutput(&out, h);
  TPageCopier copy(Stream, &out, 0, le);
  Int64 link = 4;
  Integer kept = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    if (drop.count(static_cast<Integer>(i))) continue;
    const Int64 next = copy.CopyPage(pages[i], link, false);
    if (next < 0) return 0;  // a page that cannot be copied: the file stays as it was
    link = next;
    ++kept;
  }
  Stream->SetPosition(0);
  Stream->SetSize(0);
  Stream->WriteBuffer(out.GetMemory(), static_cast<Integer>(out.GetSize()));
  return kept;
}

Integer _DeleteTIFFImStream(TStream* Stream, Integer Index) { return _DeleteTIFFImStreamGroup(Stream, &Index, 1); }

bool _ExtractTIFFImStream(TStream* Stream, Integer Index, TStream* Output) {
  Byte h[8];
  bool le = true;
  if (!Header(Stream, h, le) || !Output) return false;
  const std::vector<DWORD> pages = Chain(Stream, h, le);
  const Int64 base = StartOutput(Output, h);
  if (Index < 0 || Index >= static_cast<Integer>(pages.size())) return false;
  TPageCopier copy(Stream, Output, base, le);
  return copy.CopyPage(pages[static_cast<size_t>(Index)], base + 4, false) >= 0;
}

Int64 _InsertTIFFImStream(TStream* Stream, TStream* InsertStream, Integer Index, TStream* Output) {
  Byte h[8], ih[8];
  bool le = true, ile = true;
  if (!Header(Stream, h, le) || !Header(InsertStream, ih, ile) || !Output) return -1;
  // One file holds one byte order: pages of the other are not mixed in.
  if (le != ile) return -1;
  const std::vector<DWORD> pages = Chain(Stream, h, le);
  const std::vector<DWORD> inserted = Chain(InsertStream, ih, ile);
  const Int64 base = StartOutput(Output, h);
  TPageCopier copy(Stream, Output, base, le);
  TPageCopier copyIn(InsertStream, Output, base, le);
  Int64 link = base + 4;
  for (size_t i = 0; i <= pages.size(); ++i) {
    if (static_cast<Integer>(i) == Index)
      for (DWORD p : inserted) {
        link = copyIn.CopyPage(p, link, true);
        if (link < 0) return -1;
      }
    if (i == pages.size()) break;
    link = copy.CopyPage(pages[i], link, true);
    if (link < 0) return -1;
  }
  return link;
}
