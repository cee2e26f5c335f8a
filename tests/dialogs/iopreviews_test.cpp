#include "dialogs/lkiopreviews.h"
#include "views/lumerakview.h"

#include <gtest/gtest.h>

#include <QFileDialog>

#include <filesystem>

#include "common/file_kit.h"
#include "core/lkbitmap.h"
#include "dialogs/iopages/bmp_page.h"
#include "dialogs/iopages/gif_page.h"
#include "dialogs/iopages/j2000_page.h"
#include "dialogs/iopages/jpeg_page.h"
#include "dialogs/iopages/pcx_page.h"
#include "dialogs/iopages/png_page.h"
#include "dialogs/iopages/tga_page.h"
#include "dialogs/iopages/tiff_page.h"
#include "dialogs/lkiopreviewslogic.h"
#include "dialogs/lkopensavedlg.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "platform/stdctrls.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/testhooks.h"

namespace {

namespace fs = std::filesystem;

/// A picture with smooth areas and detail, so that JPEG sizes follow the
/// quality.
void FillPicture(TLKBitmap& B, Integer W, Integer H) {
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<Byte*>(B.GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      row[x * 3] = Byte(x * 4);
      row[x * 3 + 1] = Byte((x * y) ^ (y * 3));
      row[x * 3 + 2] = Byte(y * 5 + (x % 7) * 20);
    }
  }
}

Integer SizeOf(TLabel* L) { return StrToIntDef(L->GetCaption().substr(0, L->GetCaption().find(' ')), -1); }

class FormatOptions : public ::testing::Test {
 protected:
  void SetUp() override {
    LKInstallLumerakDialogs();
    FillPicture(*io.GetLKBitmap(), 96, 64);
    io.GetIOParams()->FILETYPE = lkftJPEG;
    io.GetIOParams()->JPEG_QUALITY = 80;
    io.OnIOPreview = [this](TObject*, TObject* Form) { form = dynamic_cast<TfIOPreviews*>(Form); };
  }
  void TearDown() override {
    TestHooks::Reset();
    LKSetIODialogs(nullptr);
  }
  TLumerakIO io;
  TfIOPreviews* form = nullptr;
  // The pages of the form shown.
  TLKJpegOptionsPage* jpeg() const { return form->Page<TLKJpegOptionsPage>(); }
  TLKTiffOptionsPage* tiff() const { return form->Page<TLKTiffOptionsPage>(); }
  TLKPngOptionsPage* png() const { return form->Page<TLKPngOptionsPage>(); }
};

}  // namespace

TEST(FormatOptionsLogic, ColourListsAndTIFFCompressionList) {
  struct TRow {
    TLKColorList List;
    Integer Spp, Bps, Index, WriteBps, WriteSpp;
  };
  const TRow rows[] = {
      {lkclBMP, 1, 1, 0, 1, 1},  {lkclBMP, 1, 4, 1, 4, 1},   {lkclBMP, 1, 8, 2, 8, 1},
      {lkclBMP, 3, 5, 3, 8, 3},  {lkclPCX, 3, 16, 3, 8, 3},  {lkclPNG, 1, 1, 0, 1, 1},
      {lkclPNG, 1, 4, 1, 8, 1},  {lkclPNG, 4, 8, 2, 8, 3},   {lkclTIFF, 1, 3, 1, 4, 1},
      {lkclTIFF, 1, 16, 3, 16, 1}, {lkclTIFF, 3, 8, 4, 8, 3}, {lkclTIFFSimple, 3, 8, 3, 8, 3},
  };
  for (const TRow& r : rows) {
    EXPECT_EQ(LKColorIndex(r.List, r.Spp, r.Bps, -1), r.Index) << int(r.List) << " " << r.Spp << "x" << r.Bps;
    Integer bps = 0, spp = 0;
    ASSERT_TRUE(LKColorValues(r.List, r.Index, bps, spp));
    EXPECT_EQ(bps, r.WriteBps);
    EXPECT_EQ(spp, r.WriteSpp);
  }
  // "16M (32bit)" writes the same as "16M"; no entry matches 3 x 16 bits.
  Integer bps = 0, spp = 0;
  LKColorValues(lkclBMP, 4, bps, spp);
  EXPECT_EQ(bps * 10 + spp, 83);
  EXPECT_EQ(LKColorIndex(lkclTIFF, 3, 16, 7), 7);
  EXPECT_FALSE(LKColorValues(lkclPNG, 3, bps, spp));

  struct TComp {
    TIOTIFFCompression Comp;
    Integer WithLZW, WithoutLZW;
  };
  const TComp comps[] = {{ioTIFF_UNCOMPRESSED, 0, 0}, {ioTIFF_OLDJPEG, 0, 0}, {ioTIFF_G4FAX, 4, 4},
                         {ioTIFF_LZW, 5, 6},          {ioTIFF_JPEG, 6, 5},    {ioTIFF_PACKBITS, 7, 6}};
  for (const TComp& c : comps) {
    EXPECT_EQ(LKCompToCombo(c.Comp, true), c.WithLZW);
    EXPECT_EQ(LKCompToCombo(c.Comp, false), c.WithoutLZW);
  }
  EXPECT_EQ(LKComboToComp(5, false), ioTIFF_JPEG);
  EXPECT_EQ(LKComboToComp(7, false), ioTIFF_UNCOMPRESSED);
  EXPECT_EQ(LKComboToComp(7, true), ioTIFF_PACKBITS);
  EXPECT_EQ(LKComboToComp(99, true), ioTIFF_UNCOMPRESSED);
  EXPECT_EQ(LKPageOfFileType(13), PreviewPage(ppJ2000));
  EXPECT_EQ(LKPageOfFileType(6), 0);
}

// A row naming a page nobody wrote would offer a choice that shows nothing;
// a page whose own type's row does not name it would never open by itself,
// and one writing another type would save its options under that type.
TEST(FormatOptionsLogic, RowsAndPageClassesNameEachOther) {
  TfIOPreviews f;
  for (const TLKFormatRow& row : LKFormatRows())
    for (Integer kind = ppJPEG; kind <= ppJ2000; ++kind) {
      if (!(row.OptionPages & PreviewPage(TPreviewParam(kind)))) continue;
      bool made = false;
      for (const auto& page : f.OptionPages()) made |= page->Kind() == kind;
      EXPECT_TRUE(made) << row.Name << " names page " << kind;
    }
  ASSERT_EQ(f.OptionPages().size(), 8u);
  for (const auto& page : f.OptionPages()) {
    const TLKFormatRow* row = LKFormatRowOf(page->FileType());
    ASSERT_NE(row, nullptr) << page->FileType();
    EXPECT_TRUE(row->OptionPages & PreviewPage(page->Kind())) << row->Name;
    TIOParamsVals p;
    p.FILETYPE = lkftUnknown;
    page->Load(p);
    page->Write(p);
    EXPECT_EQ(p.FILETYPE, page->FileType()) << row->Name;
  }
}

TEST_F(FormatOptions, AutoPagesOfATypeWithoutPagesShowNothing) {
  TfIOPreviews f;
  TIOParamsVals p;
  p.FILETYPE = lkftICO;
  f.Params = &p;
  EXPECT_FALSE(f.SetPreviewParams(PreviewPage(ppAUTO)));
  EXPECT_TRUE(f.SetPreviewParams(0));
  p.FILETYPE = lkftJP2;
  EXPECT_TRUE(f.SetPreviewParams(PreviewPage(ppAUTO)));
}

TEST_F(FormatOptions, JpegQualityPreviewsLiveAndOkWritesIt) {
  io.SetSimplifiedParamsDialogs(true);
  std::vector<Integer> sizes;
  String typed;
  TestHooks::PushModalStep([&](TCustomForm*) {
    ASSERT_NE(form, nullptr);
    ASSERT_EQ(form->PageControl1->GetActivePage(), jpeg()->TabSheetJPEG2);
    // The shorter form shows the sizes inside the page and the views whole.
    TLabel* size = form->CompressedSizeLabel(jpeg()->TabSheetJPEG2);
    EXPECT_LE(size->GetTop() + size->GetHeight(), jpeg()->TabSheetJPEG2->GetClientHeight());
    TWinControl* panel = form->Lumerak1->GetParent();
    EXPECT_GE(panel->GetTop(), form->PageControl1->GetTop() + form->PageControl1->GetHeight());
    EXPECT_LE(panel->GetTop() + panel->GetHeight(), form->GetForm()->GetClientHeight());
    EXPECT_LE(form->Lumerak1->GetTop() + form->Lumerak1->GetHeight(), panel->GetHeight());
    EXPECT_LE(form->Button3->GetTop() + form->Button3->GetHeight(), form->chkLockPreview->GetTop());
    EXPECT_LE(form->chkLockPreview->GetTop() + form->chkLockPreview->GetHeight(), form->GetForm()->GetClientHeight());
    // The first preview is computed whatever the lock state.
    sizes.push_back(SizeOf(form->CompressedSizeLabel(jpeg()->TabSheetJPEG2)));
    form->chkLockPreview->SetChecked(true);
    jpeg()->Edit16->SetText("10");
    sizes.push_back(SizeOf(form->CompressedSizeLabel(jpeg()->TabSheetJPEG2)));
    jpeg()->Edit16->SetText("95");
    sizes.push_back(SizeOf(form->CompressedSizeLabel(jpeg()->TabSheetJPEG2)));
    // Out of range is clamped by the track bar; text that is no number
    // gives 50.
    jpeg()->Edit16->SetText("500");
    typed = jpeg()->Edit16->GetText();
    jpeg()->Edit16->SetText("x");
    EXPECT_EQ(jpeg()->Working().Quality, 50);
    jpeg()->Edit16->SetText("30");
    EXPECT_EQ(io.GetIOParams()->JPEG_QUALITY, 80);  // the preview leaves the caller's record alone
    form->Button1->Click();
  });
  EXPECT_TRUE(io.DoPreviews(PreviewPage(ppAUTO)));
  ASSERT_EQ(sizes.size(), 3u);
  EXPECT_GT(sizes[0], 0);
  EXPECT_LT(sizes[1], sizes[0]);
  EXPECT_GT(sizes[2], sizes[0]);
  EXPECT_EQ(typed, "100");
  EXPECT_EQ(io.GetIOParams()->JPEG_QUALITY, 30);
  EXPECT_EQ(io.GetIOParams()->FILETYPE, lkftJPEG);
}

TEST_F(FormatOptions, CancelKeepsParametersAndApplyStays) {
  io.SetSimplifiedParamsDialogs(false);
  io.SetIOPreviewParams(PreviewsOption(ioppApplyButton));
  io.GetIOParams()->FILETYPE = lkftPNG;
  io.GetIOParams()->PNG_COMPRESSION = 3;
  TestHooks::PushModalStep([&](TCustomForm*) {
    ASSERT_EQ(form->PageControl1->GetActivePage(), png()->TabSheetPNG1);
    EXPECT_GT(SizeOf(form->CompressedSizeLabel(png()->TabSheetPNG1)), 0);
    png()->ComboBox12->SetItemIndex(9);
    png()->ComboBox12->OnChange(png()->ComboBox12);
    EXPECT_TRUE(form->Button4->GetEnabled());
    form->Button2->Click();
  });
  EXPECT_FALSE(io.DoPreviews(PreviewPage(ppAUTO)));
  EXPECT_EQ(io.GetIOParams()->PNG_COMPRESSION, 3);

  TestHooks::PushModalStep([&](TCustomForm*) {
    png()->ComboBox12->SetItemIndex(7);
    png()->ComboBox12->OnChange(png()->ComboBox12);
    form->Button4->Click();
    EXPECT_FALSE(form->Button4->GetEnabled());
    form->Button2->Click();
  });
  EXPECT_FALSE(io.DoPreviews(PreviewPage(ppAUTO)));
  EXPECT_EQ(io.GetIOParams()->PNG_COMPRESSION, 7);
}

TEST_F(FormatOptions, PagesOfFormatsWithoutCodecAreHidden) {
  io.SetSimplifiedParamsDialogs(false);
  std::vector<std::pair<TTabSheet*, Integer>> pages;
  TestHooks::PushModalStep([&](TCustomForm*) {
    pages = {{jpeg()->TabSheetJPEG1, lkftJPEG},
             {tiff()->TabSheetTIFF1, lkftTIFF},
             {form->Page<TLKBmpOptionsPage>()->TabSheet, lkftBMP},
             {form->Page<TLKPcxOptionsPage>()->TabSheet, lkftPCX},
             {png()->TabSheetPNG1, lkftPNG},
             {form->Page<TLKTgaOptionsPage>()->TabSheetTGA1, lkftTGA},
             {form->Page<TLKJ2000OptionsPage>()->TabSheetJ20001, lkftJ2K}};
    for (auto [page, type] : pages) {
      const TLKFormatRow* row = LKFormatRowOf(type);
      EXPECT_EQ(page->GetTabVisible(), row != nullptr && row->Write != nullptr) << page->GetCaption();
    }
    // The simplified variants are not shown in the full mode.
    EXPECT_FALSE(jpeg()->TabSheetJPEG2->GetTabVisible());
  });
  io.DoPreviews(PreviewPage(ppALL));
  EXPECT_EQ(pages.size(), 7u);
}

TEST_F(FormatOptions, CaptionsFollowTheLanguage) {
  for (TMsgLanguage lang : {msGerman, msJapanese, msEnglish}) {
    io.SetMsgLanguage(lang);
    TestHooks::PushModalStep([&](TCustomForm* Form) {
      EXPECT_EQ(Form->GetCaption(), lkmsg(LKMSG_PARAMETERSPREVIEW, lang));
      EXPECT_EQ(form->Button2->GetCaption(), lkmsg(LKMSG_CANCEL, lang));
      EXPECT_EQ(form->chkLockPreview->GetCaption(), lkmsg(LKMSG_LOCKPREVIEW, lang));
      // The TIFF page's group is titled with the word framed by blanks.
      auto* group = dynamic_cast<TGroupBox*>(tiff()->Edit2->GetParent());
      ASSERT_NE(group, nullptr);
      EXPECT_EQ(group->GetCaption(), " " + lkmsg(LKMSG_SCANNDEDDOCUMENTINFO, lang) + " ");
    });
    io.DoPreviews(PreviewPage(ppAUTO));
  }
}

TEST_F(FormatOptions, SaveAsAdvancedOptionsReachTheSavedFile) {
  filekit::TempDir dir("dlgopts");
  io.SetSimplifiedParamsDialogs(true);
  io.GetIOParams()->JPEG_QUALITY = 95;
  io.SaveToFile((dir.path / "q95.jpg").string());
  ASSERT_FALSE(io.GetAborted());
  TestHooks::PushModalStep([&](TCustomForm* Form) {
    auto* chooser = dynamic_cast<TFileChooser*>(Form->GetControl(0));
    ASSERT_NE(chooser, nullptr);
    // The program's save dialog asks before it replaces a file.
    EXPECT_FALSE(chooser->GetDialog()->testOption(QFileDialog::DontConfirmOverwrite));
    chooser->SetFileNameText("small");
    chooser->OnSelectionChange(chooser->GetFilePath());
    // Advanced, then the options dialog (the next step), then Save.
    for (Integer i = 0; i < Form->GetControlCount(); ++i)
      if (auto* panel = dynamic_cast<TPanel*>(Form->GetControl(i)))
        for (Integer j = 0; j < panel->GetControlCount(); ++j)
          if (auto* b = dynamic_cast<TButton*>(panel->GetControl(j)); b && b->GetCaption() == "Advanced...") b->Click();
    chooser->Accept();
  });
  TestHooks::PushModalStep([&](TCustomForm*) {
    jpeg()->Edit16->SetText("10");
    form->Button1->Click();
  });
  const String name = io.ExecuteSaveDialog(dir.path.string(), "", false, 3, "");
  ASSERT_EQ(name, (dir.path / "small.jpg").string());
  EXPECT_EQ(io.GetIOParams()->JPEG_QUALITY, 10);
  io.SaveToFile(name);
  ASSERT_FALSE(io.GetAborted());
  EXPECT_LT(fs::file_size(name), fs::file_size(dir.path / "q95.jpg"));
}

TEST_F(FormatOptions, ColourPanelsNeverShowEntriesPastTheResultPalette) {
  io.SetSimplifiedParamsDialogs(false);
  io.GetIOParams()->FILETYPE = lkftPNG;
  std::vector<Integer> counts;
  TRGB firstEntry{};
  TestHooks::PushModalStep([&](TCustomForm*) {
    form->OnPalette = [&](const TRGB* Palette, Integer Count, const String& Cancel, TColor& Chosen) {
      counts.push_back(Count);
      EXPECT_EQ(Cancel, "&Cancel");
      firstEntry = Palette[0];
      Chosen = 0x0000FF;  // red
      return true;
    };
    // Two colours previewed, then 256 chosen with Lock Preview off: the
    // result still holds the two-entry palette.
    form->chkLockPreview->SetChecked(true);
    png()->ComboBox10->SetItemIndex(0);
    png()->ComboBox10->OnChange(png()->ComboBox10);
    form->chkLockPreview->SetChecked(false);
    png()->ComboBox10->SetItemIndex(1);
    png()->ComboBox10->OnChange(png()->ComboBox10);
    EXPECT_EQ(png()->Working().Bps, 8);
    form->Page<TLKGifOptionsPage>()->Panel3Click();
    png()->Panel1Click();
    form->Button1->Click();
  });
  EXPECT_TRUE(io.DoPreviews(PreviewPage(ppAUTO)));
  EXPECT_EQ(counts, (std::vector<Integer>{2, 2}));
  EXPECT_EQ(io.GetIOParams()->PNG_BACKGROUND, (TRGB{0, 0, 255}));
}
