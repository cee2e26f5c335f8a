#include "raw/lkrawciff.h"

#include <algorithm>
#include <cstring>

#include "core/lkbytereader.h"

namespace {

// Nesting of heaps the walks follow; real files use two or three levels.
constexpr int kMaxHeapDepth = 8;
// Records one walk visits in all: sub-heaps that overlap each other could
// otherwise multiply the work level by level.
constexpr Int64 kMaxRecordVisits = 1 << 16;
// Longest text taken from a record; camera texts are a few dozen bytes.
constexpr Int64 kMaxTextLength = 4096;
// Bytes of maker-note arrays kept in all; real files keep well under 1 KB.
constexpr Int64 kMaxNoteBytes = 1 << 20;

// Byte-order reads at absolute positions; outside the source they give 0.
struct CiffReader {
  TRAWSource& src;
  bool big;
  Int64 size;

  Word u16(Int64 pos) {
    Byte b[2] = {};
    src.ReadAt(pos, b, 2);
    return big ? LKGetBE16(b) : LKGetLE16(b);
  }
  Cardinal u32(Int64 pos) {
    Byte b[4] = {};
    src.ReadAt(pos, b, 4);
    return big ? LKGetBE32(b) : LKGetLE32(b);
  }
  // A text of at most `limit` characters, ending at a zero byte or at the
  // end of the data; `end` receives the position after its zero byte.
  String text(Int64 pos, Int64 limit, Int64* end = nullptr) {
    String t;
    if (pos >= 0 && limit > 0) {
      t.resize(static_cast<size_t>(std::min(limit, std::max<Int64>(0, size - pos))));
      t.resize(static_cast<size_t>(src.ReadAt(pos, t.data(), static_cast<Int64>(t.size()))));
    }
    size_t zero = t.find('\0');
    bool terminated = zero != String::npos;
    if (terminated) t.resize(zero);
    if (end) *end = pos + static_cast<Int64>(t.size()) + (terminated ? 1 : 0);
    return t;
  }
};

// One record of a heap: its kind, where its data lies, and the end of the
// heap that holds it (data beyond that end is not the record's).
struct Record {
  Word kind;
  Int64 pos, len;
  Int64 heap_end;
  // The record's length, cut at its heap's end.
  Int64 avail() const { return std::max<Int64>(0, std::min(len, heap_end - pos)); }
};

// Calls `act` for every record of the heap [start, start + length) and
// recurses into sub-heaps, each inside its parent and smaller than it.
template <typename Act>
void walk(CiffReader& r, Int64 start, Int64 length, Integer max_records, int depth, Int64& budget,
          Act& act) {
  if (depth > kMaxHeapDepth || start < 0 || length < 6 || start + length > r.size) return;
  Int64 table = start + r.u32(start + length - 4);
  if (table < start || table + 2 > start + length) return;
  // The records must fit between the count and the heap's last word.
  Int64 count = std::min<Int64>(r.u16(table), (start + length - 4 - (table + 2)) / 10);
  if (max_records >= 0) count = std::min<Int64>(count, max_records);
  for (Int64 i = 0; i < count && budget > 0; ++i, --budget) {
    Int64 at = table + 2 + 10 * i;
    Word type = r.u16(at);
    Record rec{static_cast<Word>(type & 0x3fff), start + r.u32(at + 6), r.u32(at + 2), start + length};
    if ((type & 0xc000) == 0x4000) {
      rec.pos = at + 2;  // the data is the record's own 8 bytes
      rec.len = 8;
    }
    switch (rec.kind) {
      case 0x2800: case 0x2807: case 0x3000: case 0x3002: case 0x3003: case 0x3004:
      case 0x300a: case 0x300b:
        if (rec.pos >= start && rec.pos + rec.len <= start + length && rec.len < length)
          walk(r, rec.pos, rec.len, max_records, depth + 1, budget, act);
        break;
      default:
        act(rec);
        break;
    }
  }
}

}  // namespace

bool ciff_read_header(TRAWSource& src, bool& big_endian, Int64& header_len) {
  Byte h[14] = {};
  if (src.ReadAt(0, h, 14) != 14) return false;
  if (!((h[0] == 'I' && h[1] == 'I') || (h[0] == 'M' && h[1] == 'M'))) return false;
  if (std::memcmp(h + 6, "HEAPCCDR", 8) != 0) return false;
  big_endian = h[0] == 'M';
  CiffReader r{src, big_endian, src.Size()};
  header_len = r.u32(2);
  return true;
}

bool ciff_walk_for_exif(TRAWSource& src, const TCIFFJpegProbe& probe, TCIFFExifInfo& info) {
  bool big;
  Int64 header_len;
  if (!ciff_read_header(src, big, header_len)) return false;
  CiffReader r{src, big, src.Size()};
  TCIFFExifInfo out;
  Int64 note_bytes = 0;
  auto act = [&](const Record& rec) {
    // Texts end at a zero byte, at the record's length, at the end of its
    // heap, or at a length no camera writes.
    const Int64 text_limit = std::min(rec.len, kMaxTextLength);
    switch (rec.kind) {
      case 0x0805: out.ImageDescription = r.text(rec.pos, std::min(text_limit, rec.avail())); break;
      case 0x080a: {
        Int64 end;
        out.Make = r.text(rec.pos, std::min(text_limit, rec.avail()), &end);
        out.Model = r.text(end, std::min(text_limit, std::max<Int64>(0, rec.heap_end - end)));
        break;
      }
      case 0x080b: out.Software = r.text(rec.pos, std::min(text_limit, rec.avail())); break;
      case 0x102a:
      case 0x102d: {
        // Words as stored, inside the record's heap and the file, within a
        // total that no camera comes near.
        Int64 n = std::min<Int64>(rec.avail() / 2, std::max<Int64>(0, (r.size - rec.pos) / 2));
        n = std::max<Int64>(0, std::min(n, (kMaxNoteBytes - note_bytes) / 2));
        note_bytes += 2 * n;
        std::vector<Byte> words(static_cast<size_t>(n * 2));
        if (!words.empty()) src.ReadAt(rec.pos, words.data(), static_cast<Int64>(words.size()));
        out.NoteTags.push_back(rec.kind == 0x102a ? 4 : 1);
        out.NoteWords.push_back(std::move(words));
        break;
      }
      case 0x1810:
        out.HasImageSize = true;
        out.ExifImageWidth = static_cast<Integer>(r.u32(rec.pos));
        out.ExifImageHeight = static_cast<Integer>(r.u32(rec.pos + 4));
        break;
      case 0x2007:
      case 0x2008: {
        Integer w = 0, h = 0;
        if (probe && probe(rec.pos, w, h) && w < out.ThumbWidth && h < out.ThumbHeight) {
          out.ThumbPos = rec.pos;
          out.ThumbWidth = w;
          out.ThumbHeight = h;
        }
        break;
      }
      default: break;
    }
  };
  Int64 budget = kMaxRecordVisits;
  walk(r, header_len, r.size - header_len, kCIFFMaxExifRecords, 0, budget, act);
  info = std::move(out);
  return true;
}

Int64 ciff_walk_for_jpeg(TRAWSource& src, const TCIFFJpegProbe& probe) {
  bool big;
  Int64 header_len;
  if (!ciff_read_header(src, big, header_len)) return -1;
  CiffReader r{src, big, src.Size()};
  Int64 best = -1;
  Integer best_w = 0, best_h = 0;
  auto act = [&](const Record& rec) {
    if (rec.kind != 0x2007 && rec.kind != 0x2008) return;
    Integer w = 0, h = 0;
    if (probe && probe(rec.pos, w, h) && w > best_w && h > best_h) {
      best = rec.pos;
      best_w = w;
      best_h = h;
    }
  };
  Int64 budget = kMaxRecordVisits;
  walk(r, header_len, r.size - header_len, -1, 0, budget, act);
  return best;
}

std::vector<Byte> ciff_makernote_directory(const TCIFFExifInfo& info) {
  std::vector<Byte> out;
  auto u16 = [&](Cardinal v) { out.push_back(Byte(v)); out.push_back(Byte(v >> 8)); };
  auto u32 = [&](Cardinal v) { u16(v & 0xffff); u16(v >> 16); };
  const size_t n = std::min(info.NoteTags.size(), info.NoteWords.size());
  // Arrays of up to two words sit in the entry's value field, as every TIFF
  // reader expects them there; longer ones follow the entries.
  auto inline_value = [&](size_t i) { return info.NoteWords[i].size() <= 4; };
  u16(static_cast<Cardinal>(n));
  Cardinal offset = static_cast<Cardinal>(2 + 12 * n);
  for (size_t i = 0; i < n; ++i) {
    const std::vector<Byte>& w = info.NoteWords[i];
    const Cardinal words = static_cast<Cardinal>(w.size() / 2);
    u16(info.NoteTags[i]);
    u16(3);
    u32(words);
    if (inline_value(i)) {
      for (size_t k = 0; k < 4; ++k) out.push_back(k < 2 * words ? w[k] : 0);
    } else {
      u32(offset);
      offset += words * 2;
    }
  }
  for (size_t i = 0; i < n; ++i)
    if (!inline_value(i)) out.insert(out.end(), info.NoteWords[i].begin(), info.NoteWords[i].end());
  return out;
}
