// The I/O component's load of the JPEG picture a CIFF camera file embeds:
// the largest picture, file type camera RAW, the finish event; a file
// without one sets the abort flag.
#include <gtest/gtest.h>

#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "io/lumerakio.h"
#include "raw/rawfiles.h"

using rawkit::CiffBuilder;

TEST(LoadJpegFromFileCRW, LargestPictureAndFileType) {
  filekit::TempDir dir("crwjpeg");
  filekit::SaveFile(dir / "a.crw", CiffBuilder(true).build_file({CiffBuilder::rec(0x2007, rawfiles::Jpeg(160, 120)),
                                                                  CiffBuilder::rec(0x2008, rawfiles::Jpeg(640, 480))}));
  filekit::SaveFile(dir / "none.crw", CiffBuilder(true).build_file({}));
  TLumerakIO io;
  int finished = 0;
  io.OnFinishWork = [&](TObject*) { ++finished; };
  io.LoadJpegFromFileCRW(dir / "a.crw");
  EXPECT_FALSE(io.GetAborted());
  EXPECT_EQ(io.GetLKBitmap()->GetWidth(), 640);
  EXPECT_EQ(io.GetIOParams()->FILETYPE, 20);
  EXPECT_EQ(finished, 1);
  io.GetLKBitmap()->FreeImage();
  io.LoadJpegFromFileCRW(dir / "none.crw");
  EXPECT_TRUE(io.GetAborted());
  EXPECT_EQ(finished, 2);
  io.LoadJpegFromFileCRW("");
  EXPECT_EQ(finished, 2);
}
