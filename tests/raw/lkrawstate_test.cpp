#include <gtest/gtest.h>

#include <memory>

#include "raw/lkrawstate.h"
#include "raw/kit/rawkit.h"

namespace {

std::unique_ptr<TRAWDecoderState> state_over(TRAWSource& src) {
  auto s = std::make_unique<TRAWDecoderState>();
  set_source(*s, &src);
  reset_decoder_state(*s);
  return s;
}

}  // namespace

// Byte-order reads follow the state's order word; reads past the end give 0
// and are counted, never touching memory outside the source.
TEST(RawStateTest, ReadsInBothOrdersAndPastTheEnd) {
  const rawkit::Bytes b = {0x12, 0x34, 0x56, 0x78, 0x9a};
  TRAWMemorySource src(b.data(), static_cast<Int64>(b.size()));
  auto s = state_over(src);
  s->order = 0x4949;
  EXPECT_EQ(read_u16(*s), 0x3412);
  stream_seek(*s, 0);
  EXPECT_EQ(read_u32(*s), 0x78563412u);
  s->order = 0x4d4d;
  stream_seek(*s, 0);
  EXPECT_EQ(read_u32(*s), 0x12345678u);
  EXPECT_EQ(read_u16(*s), 0x9a00);  // last byte then one past the end
  EXPECT_EQ(s->overrun, 1);
  stream_seek(*s, -3);  // before the start: zeros as well
  EXPECT_EQ(read_byte(*s), 0);
  EXPECT_FALSE(stream_exhausted(*s));
  stream_seek(*s, 1 << 20);
  uint8_t buf[1000];
  EXPECT_EQ(read_bytes(*s, buf, sizeof buf), 0);
  EXPECT_TRUE(stream_exhausted(*s));
}

// Block reads that straddle the window refill and the end of the data.
TEST(RawStateTest, BlockReadsAcrossWindowAndEnd) {
  rawkit::Bytes b(20000);
  for (size_t i = 0; i < b.size(); ++i) b[i] = static_cast<uint8_t>(i * 7);
  TRAWMemorySource src(b.data(), static_cast<Int64>(b.size()));
  auto s = state_over(src);
  stream_seek(*s, 8000);
  std::vector<uint8_t> got(13000);
  EXPECT_EQ(read_bytes(*s, got.data(), static_cast<Int64>(got.size())), 12000);
  for (size_t i = 0; i < 12000; ++i) ASSERT_EQ(got[i], b[8000 + i]);
  for (size_t i = 12000; i < got.size(); ++i) ASSERT_EQ(got[i], 0);
  EXPECT_EQ(stream_position(*s), 21000);
}

// Text fields from files need not be terminated: the copy always is.
TEST(RawStateTest, TextFieldsAreAlwaysTerminated) {
  rawkit::Bytes b(100, 'A');
  TRAWMemorySource src(b.data(), 100);
  auto s = state_over(src);
  read_text(*s, s->make, sizeof s->make, 64);
  EXPECT_EQ(std::string(s->make), std::string(63, 'A'));
  EXPECT_EQ(stream_position(*s), 64);
}

TEST(RawStateTest, CellColorFollowsTheTile) {
  // 0x94949494: rows alternate 0 1 / 1 2 (red-green / green-blue tiles).
  EXPECT_EQ(cell_color(0x94949494u, 0, 0), 0);
  EXPECT_EQ(cell_color(0x94949494u, 0, 1), 1);
  EXPECT_EQ(cell_color(0x94949494u, 1, 0), 1);
  EXPECT_EQ(cell_color(0x94949494u, 1, 1), 2);
  // The pattern repeats every 8 rows and every 2 columns.
  for (int r = 0; r < 8; ++r)
    for (int c = 0; c < 2; ++c)
      EXPECT_EQ(cell_color(0xe1e4e1e4u, r, c), cell_color(0xe1e4e1e4u, r + 8, c + 6));
}

// Stores outside the picture or the image array are dropped.
TEST(RawStateTest, StoreCellStaysInsideThePicture) {
  TRAWDecoderState* s = new TRAWDecoderState;
  s->height = 4; s->width = 6; s->iheight = 4; s->iwidth = 6; s->filters = 0x94949494u;
  alloc_image(*s);
  store_cell(*s, 1, 1, 77);
  store_cell(*s, -1, 0, 1);
  store_cell(*s, 4, 0, 1);
  store_cell(*s, 0, 6, 1);
  EXPECT_EQ(s->image[1 * 6 + 1][2], 77);
  size_t nonzero = 0;
  for (auto& c : s->image) for (Word w : c) nonzero += w != 0;
  EXPECT_EQ(nonzero, 1u);
  delete s;
}

TEST(RawStateTest, ProgressCoversHalfAndAllocFailureNamesTheStage) {
  auto s = std::make_unique<TRAWDecoderState>();
  std::vector<int> seen;
  s->progress.OnProgress = [&](TObject*, Integer p) { seen.push_back(p); };
  raw_progress_row(*s, 0, 10);
  raw_progress_row(*s, 9, 10);
  EXPECT_EQ(seen, (std::vector<int>{0, 45}));
  try {
    check_alloc(nullptr, "unpacked_load_raw()");
    FAIL();
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), ": Out of memory in unpacked_load_raw()");
  }
  EXPECT_THROW(raw_alloc<Word>(-1, "x"), Exception);
}

// The stream source reads a platform stream at absolute positions.
TEST(RawStateTest, StreamSourceOverPlatformStream) {
  TMemoryStream ms;
  const char text[] = "0123456789";
  ms.Write(text, 10);
  TRAWStreamSource src(&ms);
  auto s = state_over(src);
  EXPECT_EQ(stream_size(*s), 10);
  stream_seek(*s, 8);
  s->order = 0x4d4d;
  EXPECT_EQ(read_u16(*s), ('8' << 8) | '9');
  EXPECT_EQ(read_byte(*s), 0);
  stream_seek(*s, 2);
  EXPECT_EQ(read_byte(*s), '2');
}
