#include "platform/avifile.h"

#include <cstring>

#include "platform/atomicfile.h"

namespace {

Cardinal Le32(const Byte* p) { return Cardinal(p[0]) | Cardinal(p[1]) << 8 | Cardinal(p[2]) << 16 | Cardinal(p[3]) << 24; }
Word Le16(const Byte* p) { return Word(p[0] | p[1] << 8); }
void Put32(Byte* p, Cardinal v) {
  for (int i = 0; i < 4; ++i) p[i] = Byte(v >> (8 * i));
}
void Put16(Byte* p, Word v) {
  p[0] = Byte(v);
  p[1] = Byte(v >> 8);
}

// "NN" of a chunk id as a stream number, -1 when the two are not digits.
int StreamOf(Cardinal Id) {
  const int a = int(Id & 0xFF) - '0', b = int(Id >> 8 & 0xFF) - '0';
  return a >= 0 && a <= 9 && b >= 0 && b <= 9 ? a * 10 + b : -1;
}

// Lists nest only a few levels in real files; deeper ones are not followed.
constexpr int kMaxDepth = 8;
// Frames and palette changes taken from one file, a bound against files
// made of nothing but empty chunks.
constexpr size_t kMaxFrames = size_t(1) << 24;
// The largest bitmap format kept: header, bit masks and 256 colours.
constexpr Cardinal kMaxFormat = 40 + 12 + 1024;

}  // namespace

TAviReader::TAviReader() = default;
TAviReader::~TAviReader() = default;

bool TAviReader::Fail(const String& Why) {
  FError = Why;
  FStream.reset();
  FFrames.clear();
  FFormats.clear();
  return false;
}

void TAviReader::Close() {
  FStream.reset();
  FFrames.clear();
  FFormats.clear();
  FInfo = TAviVideoInfo();
  FVideoStream = -1;
  FError.clear();
}

bool TAviReader::Open(const String& FileName) {
  std::unique_ptr<TStream> s;
  try {
    s = std::make_unique<TFileStream>(FileName, fmOpenRead | fmShareDenyWrite);
  } catch (const Exception& e) {
    Close();
    FError = e.Message();
    return false;
  }
  return Open(std::move(s));
}

bool TAviReader::Open(std::unique_ptr<TStream> Stream) {
  Close();
  if (!Stream) return Fail("no stream");
  FStream = std::move(Stream);
  FSize = FStream->GetSize();
  Byte h[12];
  FStream->Seek(0, soBeginning);
  if (FStream->Read(h, 12) != 12 || Le32(h) != AviFourCC("RIFF") || Le32(h + 8) != AviFourCC("AVI "))
    return Fail("not an AVI file");
  // The first part, then the extension parts ("AVIX") that follow it.
  Int64 pos = 0;
  bool first = true;
  while (pos + 12 <= FSize) {
    FStream->Seek(pos, soBeginning);
    if (FStream->Read(h, 12) != 12 || Le32(h) != AviFourCC("RIFF")) break;
    const Int64 end = std::min<Int64>(FSize, pos + 8 + Int64(Le32(h + 4)));
    if (!ParseRiff(pos + 12, end, first)) return false;
    if (first && FVideoStream < 0) return Fail("no video stream");
    first = false;
    pos = end + (end & 1);
  }
  if (FVideoStream < 0) return Fail("no video stream");
  return true;
}

bool TAviReader::ParseRiff(Int64 Start, Int64 End, bool First) {
  Int64 pos = Start;
  Byte h[12];
  while (pos + 8 <= End) {
    FStream->Seek(pos, soBeginning);
    if (FStream->Read(h, 12) < 8) break;
    const Cardinal id = Le32(h);
    const Int64 size = Le32(h + 4);
    const Int64 end = std::min<Int64>(End, pos + 8 + size);
    if (id == AviFourCC("LIST") && pos + 12 <= End) {
      const Cardinal type = Le32(h + 8);
      if (type == AviFourCC("hdrl") && First) {
        if (!ParseHeaderList(pos + 12, end)) return false;
      } else if (type == AviFourCC("movi") && FVideoStream >= 0) {
        ScanMovi(pos + 12, end, 0);
      }
    }
    if (pos + 8 + size > End) break;  // cut: nothing after it can be trusted
    pos = end + (end & 1);
  }
  return true;
}

bool TAviReader::ParseHeaderList(Int64 Start, Int64 End) {
  Int64 pos = Start;
  int streamNo = 0;
  Byte h[12];
  while (pos + 12 <= End && FVideoStream < 0) {
    FStream->Seek(pos, soBeginning);
    if (FStream->Read(h, 12) != 12) break;
    const Int64 size = Le32(h + 4);
    const Int64 end = std::min<Int64>(End, pos + 8 + size);
    if (Le32(h) == AviFourCC("LIST") && Le32(h + 8) == AviFourCC("strl")) {
      // strh, then strf, inside the stream's list.
      Int64 p = pos + 12;
      bool video = false;
      Byte strh[56] = {};
      std::vector<Byte> strf;
      while (p + 8 <= end) {
        FStream->Seek(p, soBeginning);
        Byte c[8];
        if (FStream->Read(c, 8) != 8) break;
        const Int64 csize = Le32(c + 4);
        if (p + 8 + csize > end) break;
        if (Le32(c) == AviFourCC("strh") && csize >= 48) {
          FStream->Read(strh, Integer(std::min<Int64>(csize, 56)));
          video = Le32(strh) == AviFourCC("vids");
        } else if (Le32(c) == AviFourCC("strf") && video && csize >= 40) {
          strf.resize(size_t(std::min<Int64>(csize, kMaxFormat)));
          if (FStream->Read(strf.data(), Integer(strf.size())) != Integer(strf.size())) strf.clear();
        }
        p += 8 + csize + (csize & 1);
      }
      if (video && !strf.empty()) {
        const Cardinal hsize = Le32(strf.data());
        const Integer w = Integer(Le32(strf.data() + 4));
        const Integer hgt = Integer(Le32(strf.data() + 8));
        if (hsize < 40 || w <= 0 || hgt == 0 || hgt == INT32_MIN) return Fail("a video format without a size");
        FInfo.Width = w;
        FInfo.TopDown = hgt < 0;
        FInfo.Height = hgt < 0 ? -hgt : hgt;
        FInfo.BitCount = Le16(strf.data() + 14);
        FInfo.Compression = Le32(strf.data() + 16);
        FInfo.Handler = Le32(strh + 4);
        FInfo.Scale = Le32(strh + 20);
        FInfo.Rate = Le32(strh + 24);
        FInfo.StatedLength = Integer(std::min<Cardinal>(Le32(strh + 32), INT32_MAX));
        // The header as 40 bytes, whatever the file's header size, with
        // what follows it (masks, palette).
        std::vector<Byte> format(strf.begin(), strf.begin() + 40);
        Put32(format.data(), 40);
        if (hsize < strf.size()) format.insert(format.end(), strf.begin() + hsize, strf.end());
        FFormats.push_back(std::move(format));
        FVideoStream = streamNo;
      }
      ++streamNo;
    }
    if (pos + 8 + size > End) break;
    pos = end + (end & 1);
  }
  return true;
}

void TAviReader::ScanMovi(Int64 Start, Int64 End, int Depth) {
  Int64 pos = Start;
  Byte h[12];
  while (pos + 8 <= End && FFrames.size() < kMaxFrames) {
    FStream->Seek(pos, soBeginning);
    if (FStream->Read(h, 8) != 8) return;
    const Cardinal id = Le32(h);
    const Int64 size = Le32(h + 4);
    if (pos + 8 + size > End) return;  // the data is not all there
    if (id == AviFourCC("LIST")) {
      if (Depth < kMaxDepth && size >= 4) ScanMovi(pos + 12, pos + 8 + size, Depth + 1);
    } else if (StreamOf(id) == FVideoStream) {
      const Cardinal kind = id >> 16;
      if (kind == ('d' | 'c' << 8) || kind == ('d' | 'b' << 8)) {
        FFrames.push_back({pos + 8, Cardinal(size), Integer(FFormats.size()) - 1});
      } else if (kind == ('p' | 'c' << 8) && size >= 4 && size <= 4 + 4 * 256) {
        // A palette change: first entry, count (0: 256), flags, then red,
        // green, blue, flags per entry.
        Byte pc[4 + 1024];
        FStream->Seek(pos + 8, soBeginning);
        if (FStream->Read(pc, Integer(size)) == Integer(size)) {
          std::vector<Byte> format = FFormats.back();
          const int first = pc[0], count = pc[1] == 0 ? 256 : pc[1];
          const Cardinal have = Cardinal(format.size() > 40 ? (format.size() - 40) / 4 : 0);
          for (int i = 0; i < count && 4 + 4 * Int64(i) + 4 <= size; ++i) {
            const Cardinal at = Cardinal(first + i);
            if (at >= 256) break;
            if (at >= have) format.resize(40 + 4 * size_t(at + 1), 0);
            Byte* e = format.data() + 40 + 4 * at;
            e[0] = pc[4 + 4 * i + 2];
            e[1] = pc[4 + 4 * i + 1];
            e[2] = pc[4 + 4 * i];
            e[3] = 0;
          }
          FFormats.push_back(std::move(format));
        }
      }
    }
    pos += 8 + size + (size & 1);
  }
}

bool TAviReader::ReadFrame(Integer Index, std::vector<Byte>& Data, std::vector<Byte>& Format) {
  if (!FStream || Index < 0 || Index >= FrameCount()) return false;
  // An empty chunk shows the frame before it again.
  Integer i = Index;
  while (i >= 0 && FFrames[size_t(i)].Size == 0) --i;
  if (i < 0) return false;
  const TFrame& f = FFrames[size_t(i)];
  try {
    Data.resize(f.Size);
  } catch (const std::bad_alloc&) {
    return false;
  }
  FStream->Seek(f.Offset, soBeginning);
  if (FStream->Read(Data.data(), Integer(f.Size)) != Integer(f.Size)) return false;
  Format = FFormats[size_t(f.Palette)];
  return true;
}

// ---------------------------------------------------------------------------

class TAviWriter::TImpl {
 public:
  explicit TImpl(const String& FileName) : File(FileName) {}
  TAtomicFile File;
  Integer Width = 0, Height = 0;
  Cardinal Rate = 0, Scale = 1, Handler = 0;
  std::vector<Byte> Format;
  std::vector<Byte> Palette;  // in force
  Int64 MoviStart = 0;        // of the "movi" code
  Cardinal Largest = 0;
  Int64 AvihAt = 0, StrhAt = 0;
};

TAviWriter::TAviWriter(const String& FileName) : FImpl(std::make_unique<TImpl>(FileName)) {}
TAviWriter::~TAviWriter() = default;

namespace {

void W32(TStream& S, Cardinal V) {
  Byte b[4];
  Put32(b, V);
  S.WriteBuffer(b, 4);
}
void WCode(TStream& S, const char (&C)[5]) { W32(S, AviFourCC(C)); }
// A list's head: "LIST", its size, its type.
void ListHead(TStream& S, Cardinal Size, const char (&Type)[5]) {
  WCode(S, "LIST");
  W32(S, Size);
  WCode(S, Type);
}

}  // namespace

void TAviWriter::Begin(Integer Width, Integer Height, Cardinal Rate, Cardinal Scale, Cardinal Handler,
                       const std::vector<Byte>& Format) {
  TImpl& m = *FImpl;
  m.Width = Width;
  m.Height = Height;
  m.Rate = Rate;
  m.Scale = Scale ? Scale : 1;
  m.Handler = Handler;
  m.Format = Format;
  if (Format.size() > 40) m.Palette.assign(Format.begin() + 40, Format.end());
  TStream& s = *m.File.Stream();
  const Cardinal strf = Cardinal(Format.size());
  const Cardinal strl = 4 + (8 + 56) + (8 + strf + (strf & 1));
  const Cardinal hdrl = 4 + (8 + 56) + (8 + strl);
  WCode(s, "RIFF");
  W32(s, 0);  // patched by Finish
  WCode(s, "AVI ");
  ListHead(s, hdrl, "hdrl");
  WCode(s, "avih");
  W32(s, 56);
  m.AvihAt = s.Position();
  Byte avih[56] = {};
  Put32(avih, Rate ? Cardinal(UInt64(1000000) * m.Scale / Rate) : 0);
  Put32(avih + 12, 0x10);  // has an index
  Put32(avih + 24, 1);     // streams
  Put32(avih + 32, Cardinal(Width));
  Put32(avih + 36, Cardinal(Height));
  s.WriteBuffer(avih, 56);
  ListHead(s, strl, "strl");
  WCode(s, "strh");
  W32(s, 56);
  m.StrhAt = s.Position();
  Byte strh[56] = {};
  Put32(strh, AviFourCC("vids"));
  Put32(strh + 4, Handler);
  Put32(strh + 20, m.Scale);
  Put32(strh + 24, Rate);
  Put32(strh + 40, 0xFFFFFFFFu);  // quality: the default
  Put16(strh + 52, Word(Width));
  Put16(strh + 54, Word(Height));
  s.WriteBuffer(strh, 56);
  WCode(s, "strf");
  W32(s, strf);
  s.WriteBuffer(Format.data(), Integer(strf));
  if (strf & 1) s.WriteBuffer("\0", 1);
  ListHead(s, 0, "movi");  // the size is patched by Finish
  m.MoviStart = s.Position() - 4;
}

bool TAviWriter::AddFrame(const Byte* Data, Cardinal Size, bool Compressed, const std::vector<Byte>* Palette) {
  TImpl& m = *FImpl;
  TStream& s = *m.File.Stream();
  // Room for this chunk, a palette change and the index within one part.
  if (s.Position() + Int64(Size) + 2048 + Int64(FIndex.size()) + 32 > Int64(0xFFFFFFF0u)) return false;
  auto index = [&](Cardinal Id, Cardinal Flags, Int64 At, Cardinal Len) {
    Byte e[16];
    Put32(e, Id);
    Put32(e + 4, Flags);
    Put32(e + 8, Cardinal(At - m.MoviStart));
    Put32(e + 12, Len);
    FIndex.insert(FIndex.end(), e, e + 16);
  };
  if (Palette && Palette->size() == 1024 && *Palette != m.Palette) {
    const Int64 at = s.Position();
    WCode(s, "00pc");
    W32(s, 4 + 1024);
    Byte pc[4 + 1024] = {};  // from entry 0, 256 entries
    for (int i = 0; i < 256; ++i) {
      pc[4 + 4 * i] = (*Palette)[4 * i + 2];
      pc[4 + 4 * i + 1] = (*Palette)[4 * i + 1];
      pc[4 + 4 * i + 2] = (*Palette)[4 * i];
    }
    s.WriteBuffer(pc, sizeof pc);
    index(AviFourCC("00pc"), 0x100, at, 4 + 1024);  // no time of its own
    m.Palette = *Palette;
  }
  const Cardinal id = Compressed ? AviFourCC("00dc") : AviFourCC("00db");
  const Int64 at = s.Position();
  W32(s, id);
  W32(s, Size);
  if (Size) s.WriteBuffer(Data, Integer(Size));
  if (Size & 1) s.WriteBuffer("\0", 1);
  index(id, 0x10, at, Size);  // every frame stands alone: a key frame
  if (Size > m.Largest) m.Largest = Size;
  return true;
}

void TAviWriter::Finish() {
  TImpl& m = *FImpl;
  TStream& s = *m.File.Stream();
  const Int64 moviEnd = s.Position();
  Cardinal frames = 0;
  for (size_t i = 0; i < FIndex.size(); i += 16)
    if (Le32(FIndex.data() + i + 4) & 0x10) ++frames;
  WCode(s, "idx1");
  W32(s, Cardinal(FIndex.size()));
  if (!FIndex.empty()) s.WriteBuffer(FIndex.data(), Integer(FIndex.size()));
  const Int64 end = s.Position();
  s.Seek(4, soBeginning);
  W32(s, Cardinal(end - 8));
  s.Seek(m.MoviStart - 4, soBeginning);
  W32(s, Cardinal(moviEnd - m.MoviStart));
  s.Seek(m.AvihAt + 16, soBeginning);
  W32(s, frames);
  s.Seek(m.AvihAt + 28, soBeginning);
  W32(s, m.Largest);
  s.Seek(m.StrhAt + 32, soBeginning);
  W32(s, frames);
  W32(s, m.Largest);
  s.Seek(end, soBeginning);
  m.File.Commit();
}
