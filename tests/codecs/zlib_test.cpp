// Compression streams: round trips through the stream classes and the
// one-shot helpers, position rules, restricted operations, damaged data,
// and the zlib format checked with a peer.
#include <gtest/gtest.h>

#include <numeric>

#include "codecs/codec_kit.h"
#include "codecs/zlib/lkzlib.h"

namespace {

using codeckit::Bytes;

Bytes Sample(size_t N) {
  Bytes b(N);
  for (size_t i = 0; i < N; ++i) b[i] = Byte((i * 7 + i / 100) & 255);
  return b;
}

TEST(ZStreamTest, RoundTripsLeaveTheSourceRightAfterTheData) {
  for (TZCompressionLevel level : {zcNone, zcFastest, zcDefault, zcMax}) {
    const Bytes data = Sample(200000);
    TMemoryStream m;
    {
      TZCompressionStream z(&m, level);
      z.Write(data.data(), 1000);
      EXPECT_EQ(z.Seek(0, soCurrent), 1000);
      z.Write(data.data() + 1000, Integer(data.size()) - 1000);
      if (level != zcNone) {
        EXPECT_GT(z.GetCompressionRate(), 0.0f);
      }
      EXPECT_THROW(z.Read(nullptr, 1), EZCompressionError);
      EXPECT_THROW(z.Seek(5, soBeginning), EZCompressionError);
    }
    const Int64 end = m.Size();
    const char tail[] = "TAIL";
    m.Seek(0, soEnd);
    m.Write(tail, 4);
    m.SetPosition(0);
    TZDecompressionStream d(&m);
    Bytes back(data.size());
    EXPECT_EQ(d.Read(back.data(), Integer(back.size())), Integer(back.size()));
    EXPECT_EQ(back, data);
    Byte extra = 0;
    EXPECT_EQ(d.Read(&extra, 1), 0);
    EXPECT_EQ(m.Position(), end);  // just after the compressed data
    EXPECT_THROW(d.Write(&extra, 1), EZDecompressionError);
    // Rewind and skip: seeking to 16384 after 8192 bytes skips 8192.
    EXPECT_EQ(d.Seek(0, soBeginning), 0);
    d.Read(back.data(), 8192);
    EXPECT_EQ(d.Seek(16384, soBeginning), 16384);
    Byte b = 0;
    d.Read(&b, 1);
    EXPECT_EQ(b, data[16384]);
    EXPECT_EQ(d.Seek(0, soEnd), Int64(data.size()));
    EXPECT_THROW(d.Seek(-1, soCurrent), EZDecompressionError);
  }
}

TEST(ZStreamTest, EmptyStreamIsValidAndPeersReadOurData) {
  TMemoryStream m;
  { TZCompressionStream z(&m); }
  EXPECT_EQ(ZDecompressStr(String(static_cast<const char*>(m.Memory()), size_t(m.Size()))), "");
  const String text(100000, 'x');
  const String packed = ZCompressStr(text + "end", zcMax);
  EXPECT_EQ(ZDecompressStr(packed), text + "end");
  if (filekit::HaveTool("python3")) {
    filekit::TempDir dir("lkzlib_");
    filekit::SaveFile(dir / "z", Bytes(packed.begin(), packed.end()));
    EXPECT_TRUE(codeckit::Run("python3 -c \"import zlib,sys; d=zlib.decompress(open('" + dir / "z" +
                              "','rb').read()); sys.exit(0 if d==b'x'*100000+b'end' else 1)\""));
  }
}

TEST(ZStreamTest, BlocksStreamsAndDamagedData) {
  const Bytes data = Sample(1000);
  std::vector<Byte> packed, back;
  ZCompress(data.data(), 1000, packed);
  ZDecompress(packed.data(), Integer(packed.size()), back, 10);
  EXPECT_EQ(Bytes(back.begin(), back.end()), data);
  TMemoryStream src, mid, out;
  src.Write(data.data(), 1000);
  src.SetPosition(0);
  ZCompressStream(&src, &mid);
  mid.SetPosition(0);
  ZDecompressStream(&mid, &out);
  EXPECT_EQ(codeckit::BytesOf(out), data);
  // Corrupt and cut data.
  std::vector<Byte> bad = packed;
  bad[5] ^= 0xFF;
  bad[6] ^= 0xFF;
  EXPECT_THROW(ZDecompress(bad.data(), Integer(bad.size()), back), EZDecompressionError);
  EXPECT_THROW(ZDecompress(packed.data(), Integer(packed.size()) / 2, back), EZDecompressionError);
  TMemoryStream cut, sink;
  cut.Write(packed.data(), Integer(packed.size()) / 2);
  cut.SetPosition(0);
  EXPECT_THROW(ZDecompressStream(&cut, &sink), EZDecompressionError);
  cut.SetPosition(0);
  TZDecompressionStream d(&cut);
  Bytes buf(1000);
  EXPECT_LT(d.Read(buf.data(), 1000), 1000);
}

}  // namespace
