#include "raw/lkrawstate.h"

#include "core/lkbytereader.h"
#include "core/lkfilebuffer.h"

#include <algorithm>
#include <cctype>
#include <cstring>

Int64 TRAWMemorySource::ReadAt(Int64 pos, void* buf, Int64 count) {
  if (pos < 0 || pos >= Len || count <= 0) return 0;
  Int64 n = std::min(count, Len - pos);
  std::memcpy(buf, Data + pos, static_cast<size_t>(n));
  return n;
}

Int64 TRAWStreamSource::ReadAt(Int64 pos, void* buf, Int64 count) {
  if (!Stream || pos < 0 || count <= 0) return 0;
  if (Stream->Seek(pos, soBeginning) != pos) return 0;
  Byte* out = static_cast<Byte*>(buf);
  Int64 done = 0;
  while (done < count) {
    Integer chunk = static_cast<Integer>(std::min<Int64>(count - done, 1 << 30));
    Integer got = Stream->Read(out + done, chunk);
    if (got <= 0) break;
    done += got;
  }
  return done;
}

void set_source(TRAWDecoderState& s, TRAWSource* src) {
  s.stream = src;
  s.file_size = src ? std::max<Int64>(0, src->Size()) : 0;
  s.pos = 0;
  s.overrun = 0;
  s.win_start = 0;
  s.win_len = 0;
}

void reset_decoder_state(TRAWDecoderState& s) {
  s.bitbuf = 0;
  s.vbits = 0;
  s.leaf = 0;
  s.radc_cursor = 0;
  std::fill(std::begin(s.radc_root), std::end(s.radc_root), nullptr);
  s.radc_node = nullptr;
  s.vng_cursor = nullptr;
  s.second_decode = nullptr;
  s.free_decode = s.pool;
}

// Refills the window so that it holds s.pos; false when s.pos is outside the
// source (or the source delivers nothing there).
static bool fill_window(TRAWDecoderState& s) {
  if (!s.stream || s.pos < 0 || s.pos >= s.file_size) return false;
  Int64 want = std::min<Int64>(sizeof(s.win), s.file_size - s.pos);
  Int64 got = s.stream->ReadAt(s.pos, s.win, want);
  if (got <= 0) {
    // The source is shorter than it claimed: believe the data.
    s.file_size = s.pos;
    s.win_len = 0;
    return false;
  }
  s.win_start = s.pos;
  s.win_len = static_cast<Integer>(got);
  return true;
}

Byte read_byte_slow(TRAWDecoderState& s) {
  if (!fill_window(s)) {
    ++s.pos;
    ++s.overrun;
    return 0;
  }
  ++s.pos;
  return s.win[0];
}

Word read_u16(TRAWDecoderState& s) {
  Byte a = read_byte(s), b = read_byte(s);
  return s.order == 0x4949 ? static_cast<Word>(a | (b << 8)) : static_cast<Word>((a << 8) | b);
}

Cardinal read_u32(TRAWDecoderState& s) {
  Byte b[4];
  for (Byte& x : b) x = read_byte(s);
  return s.order == 0x4949 ? LKGetLE32(b) : LKGetBE32(b);
}

Int64 read_bytes(TRAWDecoderState& s, void* buf, Int64 n) {
  Byte* out = static_cast<Byte*>(buf);
  Int64 from_file = 0;
  while (n > 0) {
    Int64 off = s.pos - s.win_start;
    if (off < 0 || off >= s.win_len) {
      if (!fill_window(s)) {
        std::memset(out, 0, static_cast<size_t>(n));
        s.pos += n;
        s.overrun += n;
        return from_file;
      }
      off = 0;
    }
    Int64 k = std::min<Int64>(n, s.win_len - off);
    std::memcpy(out, s.win + off, static_cast<size_t>(k));
    out += k;
    n -= k;
    s.pos += k;
    from_file += k;
  }
  return from_file;
}

void read_text(TRAWDecoderState& s, char* dst, size_t cap, Int64 n) {
  if (cap == 0) return;
  Int64 keep = std::min<Int64>(n, static_cast<Int64>(cap));
  read_bytes(s, dst, keep);
  if (n > keep) stream_skip(s, n - keep);
  // Texts in files are not always terminated within their field.
  dst[std::min<size_t>(static_cast<size_t>(keep), cap - 1)] = 0;
}

void alloc_image(TRAWDecoderState& s) {
  s.image.clear();
  s.image.shrink_to_fit();
  if (s.iheight <= 0 || s.iwidth <= 0) return;
  // The reader asked the allocation gate before sizing the cells.
  const UInt64 cells = UInt64(s.iheight) * UInt64(s.iwidth);
  try {
    s.image.reserve(static_cast<size_t>(cells));
    LKAdviseHugePages(s.image.data(), static_cast<size_t>(cells) * sizeof(TRAWCell));
    s.image.assign(static_cast<size_t>(cells), TRAWCell{});
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory(": Out of memory in image allocation");
  }
}

void check_alloc(const void* block, const char* stage) {
  if (!block) throw Exception(String(": Out of memory in ") + stage);
}

void raise_corrupt(const char* stage) { throw Exception(String(": corrupt data in ") + stage); }

void raw_progress_row(TRAWDecoderState& s, Integer row, Integer rows) {
  if (!s.progress.OnProgress || rows <= 0) return;
  s.progress.Step = 100.0 / rows / 2;
  s.progress.OnProgress(s.progress.Sender, LKTrunc(row * s.progress.Step));
}

void raw_progress(TRAWDecoderState& s, Integer percent) {
  if (s.progress.OnProgress) s.progress.OnProgress(s.progress.Sender, percent);
}

Int64 mem_search(const void* block, Int64 len, const void* pat, Int64 n) {
  if (n <= 0 || len < n) return -1;
  const Byte* b = static_cast<const Byte*>(block);
  for (Int64 i = 0; i + n <= len; ++i)
    if (std::memcmp(b + i, pat, static_cast<size_t>(n)) == 0) return i;
  return -1;
}

bool text_starts(const char* a, const char* prefix) {
  return std::strncmp(a, prefix, std::strlen(prefix)) == 0;
}

bool text_equal_ci(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

void set_text(char (&dst)[64], const char* src) {
  std::strncpy(dst, src, sizeof(dst) - 1);
  dst[sizeof(dst) - 1] = 0;
}

void kodak_read_curve(TRAWDecoderState& s, Word* curve) {
  for (int i = 0; i < kRAWCurveSize; ++i) curve[i] = static_cast<Word>(i);
  if (text_equal_ci(s.make, "KODAK") && s.curve_offset) {
    stream_seek(s, 12);
    Integer entries = read_u16(s);
    // Each entry takes 12 bytes: never scan beyond the data that is there.
    entries = static_cast<Integer>(std::min<Int64>(entries, stream_remaining(s) / 12));
    while (entries-- > 0) {
      Word tag = read_u16(s);
      Word type = read_u16(s);
      Cardinal count = read_u32(s);
      Cardinal value;
      if (type == 3 && count < 3) {
        value = read_u16(s);
        stream_skip(s, 2);
      } else {
        value = read_u32(s);
      }
      if (tag == 2317) {
        s.curve_offset = value;
        s.curve_length = static_cast<Integer>(std::min<Cardinal>(count, 0x7fffffff));
      }
    }
  }
  if (s.curve_offset && s.curve_length > 0) {
    stream_seek(s, s.curve_offset);
    Integer n = std::min(s.curve_length, kRAWCurveSize);
    for (int i = 0; i < n; ++i) curve[i] = read_u16(s);
    for (int i = n; i < kRAWCurveSize; ++i) curve[i] = curve[n - 1];
    s.maximum = curve[n - 1] * 4;
  }
  stream_seek(s, s.data_offset);
}
