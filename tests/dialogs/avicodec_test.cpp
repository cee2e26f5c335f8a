// The choice of an AVI compressor: the form lists what the AVI writer
// writes, and the choice comes back as the code CreateAVIFile takes.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

#include "core/lkbitmap.h"
#include "dialogs/lkavicodecdlg.h"
#include "io/lumerakio.h"
#include "platform/comctrls.h"
#include "platform/stdctrls.h"
#include "platform/testhooks.h"

namespace {

struct ChooserScope {
  ~ChooserScope() { LKSetAVICodecChooser(nullptr); }
};

TEST(AVICodecDialog, ListsTheWritersCompressorsAndReturnsTheChosenCode) {
  ChooserScope scope;
  // Nobody to ask: nothing chosen.
  EXPECT_EQ(LKAVISelectCodec(), "");

  LKInstallAVICodecDialog();
  struct Row {
    const char* Name;
    Integer Item;  // -1: cancelled
    String Code;
  };
  for (const Row& r : {Row{"full frames", 0, "DIB "}, Row{"motion jpeg", 1, "MJPG"}, Row{"cancelled", -1, ""}}) {
    SCOPED_TRACE(r.Name);
    TestHooks::PushModalStep([&](TCustomForm* Form) {
      auto* d = dynamic_cast<TLKAVICodecDialog*>(Form);
      ASSERT_NE(d, nullptr);
      EXPECT_EQ(d->GetCaption(), "Video Compression");
      TStrings* items = d->GetList()->GetItems();
      ASSERT_EQ(items->Count(), 2);
      EXPECT_EQ(items->Strings(0), "Full Frames (Uncompressed)");
      EXPECT_EQ(items->Strings(1), "Motion JPEG");
      EXPECT_EQ(d->GetList()->GetItemIndex(), 0);
      if (r.Item < 0) return Form->SetModalResult(mrCancel);
      d->GetList()->SetItemIndex(r.Item);
      Form->SetModalResult(mrOk);
    });
    EXPECT_EQ(LKAVISelectCodec(), r.Code);
  }
  // Every listed code is one the writer takes.
  const String file = (std::filesystem::temp_directory_path() / ("lkavicodec" + std::to_string(getpid()) + ".avi")).string();
  for (const TLKAVICompressor& c : LKAVICompressors()) {
    TLumerakIO io;
    io.GetLKBitmap()->Allocate(16, 8, lk24RGB);
    io.CreateAVIFile(file, 10, c.Code);
    io.SaveToAVI();
    io.CloseAVIFile();
    EXPECT_FALSE(io.GetAborted()) << c.Name << ": " << io.GetAbortReason();
    EXPECT_EQ(io.OpenAVIFile(file), 1) << c.Name;
    io.CloseAVIFile();
  }
  std::filesystem::remove(file);
}

}  // namespace
