#include "dialogs/lkopensavedlg.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "dialogs/lkiopreviewslogic.h"
#include "dialogs/lkopensavelogic.h"
#include "io/lkdetect.h"
#include "io/lkformatrow.h"
#include "io/lumerakio.h"
#include "platform/comctrls.h"
#include "platform/forms.h"
#include "platform/sysutils.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"
#include "views/lumerakview.h"

namespace {

/// Size of the dialog window and of the area the chooser takes.
constexpr Integer kFormWidth = 860, kFormHeight = 520;
constexpr Integer kChooserWidth = 600, kChooserHeight = 440;

/// Zoom list items: "Fit" (0), then percentages.
constexpr Integer kZoomItems[] = {0, 25, 50, 75, 100, 125, 150, 175, 200, 300, 400};

String FolderOf(const String& Path) {
  const size_t slash = Path.find_last_of('/');
  if (slash == String::npos) return String();
  return slash == 0 ? String("/") : Path.substr(0, slash);
}

String NameOf(const String& Path) {
  const size_t slash = Path.find_last_of('/');
  return slash == String::npos ? Path : Path.substr(slash + 1);
}

/// Restores the screen cursor when it leaves, also on an exception.
struct TCursorGuard {
  TCursor Old;
  explicit TCursorGuard(TCursor C) : Old(Screen->GetCursor()) { Screen->SetCursor(C); }
  ~TCursorGuard() { Screen->SetCursor(Old); }
};

}  // namespace

// ---------------------------------------------------------------------------
// TOpenLumerakDialog

TOpenLumerakDialog::TOpenLumerakDialog(TComponent* AOwner) : TLKCommonDialog(AOwner) {
  Filter = BuildStrFilter();
}

TOpenLumerakDialog::~TOpenLumerakDialog() = default;

void TOpenLumerakDialog::SetInitialDir(const String& Value) {
  FInitialDir = Value;
  if (FInitialDir.size() > 1 && FInitialDir.back() == '/') FInitialDir.pop_back();
}

TLKBackgroundStyle lkgPreviewImageBackgroundStyle = lkbsChessboard;
TColor lkgPreviewImageBackgroundColor = clWhite;

void TOpenLumerakDialog::SetAlwaysAnimate(bool Value) {
  FAlwaysAnimate = Value;
  if (Value) ShowAllFrames = true;
}

String TOpenLumerakDialog::BuildStrFilter() const {
  return LKBuildDialogFilter(dynamic_cast<const TSaveLumerakDialog*>(this) != nullptr, ExtraFilters, MsgLanguage);
}

Integer TOpenLumerakDialog::FileName2FilterIndex(const String& Name) const {
  return LKFileName2FilterIndex(Filter, Name);
}

bool TOpenLumerakDialog::Execute() {
  if (AutoSetFilter) Filter = BuildStrFilter();
  return DoExecute(false);
}

String TOpenLumerakDialog::GetFileName() const {
  if (Chooser != nullptr && GetWindow() != nullptr) return Chooser->GetFilePath();
  return FileName;
}

String TOpenLumerakDialog::GetFileName2() const {
  if (Chooser != nullptr && GetWindow() != nullptr) return Chooser->GetFileNameText();
  return FileName;
}

Integer TOpenLumerakDialog::GetFilterIndex() const {
  return Chooser != nullptr && GetWindow() != nullptr ? FLiveFilterIndex : FilterIndex;
}

String TOpenLumerakDialog::LivePatterns() const {
  const std::vector<TLKFilterEntry> entries = LKSplitFilter(Filter);
  const Integer i = GetFilterIndex();
  return i >= 1 && i <= Integer(entries.size()) ? entries[size_t(i - 1)].Patterns : String();
}

void TOpenLumerakDialog::SetLang() {
  if (PreviewButton) PreviewButton->SetHint(Msg(LKMSG_PREVIEW));
  if (PreviewButton) PreviewButton->SetCaption(Msg(LKMSG_PREVIEW));
  if (PreviewCheck) PreviewCheck->SetCaption(Msg(LKMSG_PREVIEW));
  if (AdvancedButton) AdvancedButton->SetCaption(Msg(LKMSG_ADVANCED) + "...");
  if (PlayButton) PlayButton->SetHint(Msg(LKMSG_ANIMATE));
}

void TOpenLumerakDialog::BuildWindow(bool Save) {
  FForm = std::make_unique<TForm>(nullptr);
  TForm* f = FForm.get();
  f->SetCaption(!Title.empty() ? Title : Msg(Save ? LKMSG_SAVE : LKMSG_OPEN));
  f->SetBorderStyle(Options.Contains(ofEnableSizing) ? bsSizeable : bsDialog);
  f->SetBounds(0, 0, kFormWidth, kFormHeight);

  Chooser = new TFileChooser(f);
  Chooser->SetParent(f);
  Chooser->SetBounds(4, 4, kChooserWidth, kChooserHeight);
  Chooser->SetMode(Save ? fcmSave : fcmOpen);
  Chooser->SetMultiSelect(Options.Contains(ofAllowMultiSelect));
  Chooser->SetShowHidden(Options.Contains(ofForceShowHidden));
  Chooser->SetConfirmOverwrite(Options.Contains(ofOverwritePrompt));

  const Integer clientW = f->GetClientWidth(), clientH = f->GetClientHeight();
  const TRect s{4, 4, 4 + kChooserWidth, 4 + kChooserHeight};
  if (FPreviewPresent) {
    PicturePanel = new TPanel(f);
    PicturePanel->SetParent(f);
    PicturePanel->SetBevelOuter(bvNone);
    PicturePanel->SetBorderWidth(6);
    PicturePanel->SetBounds(s.Right, s.Top, clientW - s.Right, s.Bottom - s.Top);
    const Integer pw = PicturePanel->GetClientWidth(), ph = PicturePanel->GetClientHeight();
    ZoomCombo = new TComboBox(f);
    ZoomCombo->SetParent(PicturePanel);
    ZoomCombo->SetStyle(csDropDownList);
    ZoomCombo->SetBounds(6, 5, 60, 21);
    ZoomCombo->SetHint("Zoom");
    ZoomCombo->SetShowHint(true);
    ZoomCombo->OnChange = [this](TObject*) { SetZoom(); };
    PreviewButton = new TButton(f);
    PreviewButton->SetParent(PicturePanel);
    PreviewButton->SetBounds(70, 5, 80, 22);
    PreviewButton->SetEnabled(false);
    PreviewButton->SetShowHint(true);
    PreviewButton->OnClick = [this](TObject*) { PreviewClick(); };
    LumerakView = new TLumerakView(f);
    LumerakView->SetParent(PicturePanel);
    LumerakView->SetBounds(6, 36, pw - 12, ph - 36 - 75);
    LumerakView->SetZoomFilter(rfFastLinear);
    LumerakView->SetChessboardStyle(12, bsSolid);
    if (PreviewBorderStyle != lkpsDefault) LumerakView->SetBackgroundStyle(
        PreviewBorderStyle == lkpsCropped ? lkbsCropped : lkbsCropShadow);
    LumerakView->OnDblClick = [this](TObject*) { PreviewClick(); };
    PlayButton = new TButton(f);
    PlayButton->SetParent(PicturePanel);
    PlayButton->SetBounds(154, 5, 23, 22);
    PlayButton->SetCaption("\u25B6");
    PlayButton->SetEnabled(false);
    PlayButton->SetShowHint(true);
    PlayButton->OnClick = [this](TObject*) {
      SetPlayDown(!FPlayDown);
      PlayClick();
    };
    // The strip of all frames of a multi-frame file, in the picture's place.
    LumerakMView = new TLumerakMView(f);
    LumerakMView->SetParent(PicturePanel);
    LumerakMView->SetBounds(6, 36, pw - 12, ph - 36 - 75);
    LumerakMView->MouseInteract = TLKMMouseInteract{mmiScroll, mmiSelect};
    LumerakMView->SetScrollBars(ssHorizontal);
    LumerakMView->KeyInteract = TLKMKeyInteract{mkiMoveSelected};
    LumerakMView->SetThumbWidth(100);
    LumerakMView->SetThumbHeight(109);
    LumerakMView->BackgroundStyle = lkgPreviewImageBackgroundStyle;
    LumerakMView->SetBackGround(lkgPreviewImageBackgroundColor);
    LumerakMView->EnableResamplingOnMinor = false;
    LumerakMView->Style = lkmsFlat;
    LumerakMView->ChessboardSize = 12;
    LumerakMView->SetVisible(false);
    LumerakMView->OnImageSelect = [this](TObject*, Integer Idx) { OnMViewSelect(Idx); };
    LumerakMView->OnAllDisplayed = [this](TObject*) { DoAllDisplayed(); };
    PicLabel1 = new TLabel(f);
    PicLabel2 = new TLabel(f);
    PicLabel3 = new TLabel(f);
    TLabel* pics[] = {PicLabel1, PicLabel2, PicLabel3};
    for (Integer i = 0; i < 3; ++i) {
      pics[i]->SetParent(PicturePanel);
      pics[i]->SetBounds(6, ph - 72 + i * 23, pw - 12, 23);
    }
    ProgressBar = new TProgressBar(f);
    ProgressBar->SetParent(PicturePanel);
    ProgressBar->SetBounds(6, 36 + 55, pw - 12, 19);
    ProgressBar->SetVisible(false);
    LumerakView->SetOnProgress([this](TObject*, Integer per) {
      if (ProgressBar) ProgressBar->SetPosition(per);
    });
  }
  InfoPanel = new TPanel(f);
  InfoPanel->SetParent(f);
  InfoPanel->SetBevelOuter(bvNone);
  InfoPanel->SetBorderWidth(6);
  InfoPanel->SetBounds(s.Left, s.Bottom, clientW - s.Left, clientH - s.Bottom);
  InfoLabel1 = new TLabel(f);
  InfoLabel1->SetParent(InfoPanel);
  InfoLabel1->SetBounds(6, 6, 420, 23);
  InfoLabel2 = new TLabel(f);
  InfoLabel2->SetParent(InfoPanel);
  InfoLabel2->SetBounds(6, 29, 420, 23);
  PreviewCheck = new TCheckBox(f);
  PreviewCheck->SetParent(InfoPanel);
  PreviewCheck->SetBounds(440, 24, 130, 23);
  PreviewCheck->SetChecked(true);
  PreviewCheck->SetVisible(FPreviewPresent);
  PreviewCheck->OnClick = [this](TObject*) { DoCheckPreview(); };
  AdvancedButton = new TButton(f);
  AdvancedButton->SetParent(InfoPanel);
  AdvancedButton->SetBounds(clientW - 120, 20, 100, 25);
  AdvancedButton->SetVisible(false);
  if (!ExtendedDialog) InfoPanel->SetVisible(false);
  SetLang();

  Chooser->OnSelectionChange = [this](const String& Path) {
    FSelectedPath = Path;
    Perform(dmSelChange);
  };
  Chooser->OnFolderChange = [this](TObject*) { Perform(dmFolderChange); };
  Chooser->OnTypeChange = [this](TObject*) { Perform(dmTypeChange); };
  Chooser->OnCanClose = [this](TObject*, bool& CanClose) { CanClose = Perform(dmFileOk) == 0; };
  Chooser->OnAccept = [this](TObject*) { FForm->SetModalResult(mrOk); };
  Chooser->OnReject = [this](TObject*) { FForm->SetModalResult(mrCancel); };
  WindowBuilt();
}

bool TOpenLumerakDialog::DoExecute(bool Save) {
  ChosenFrameIndex = 0;
  FFiles.clear();
  BuildWindow(Save);
  std::vector<TFileChooserFilter> filters;
  for (const TLKFilterEntry& e : LKSplitFilter(Filter)) filters.push_back({e.Description, e.Patterns});
  Chooser->SetFilters(filters);
  if (FilterIndex == 0) FilterIndex = FileName2FilterIndex(FileName);
  FLiveFilterIndex = FilterIndex;
  Chooser->SetFilterIndex(FilterIndex);
  String folder = FInitialDir;
  if (folder.empty()) folder = FolderOf(FileName);
  if (folder.empty()) folder = std::filesystem::current_path().string();
  Chooser->SetDirectory(folder);
  Chooser->SetFileNameText(NameOf(FileName));
  NameShown();

  HookDialogWindow(FForm.get(), true);
  bool ok = false;
  try {
    ok = TaskModalDialog([&] { return FForm->ShowModal() == mrOk; });
  } catch (...) {
    Chooser = nullptr;
    FForm.reset();
    throw;
  }
  if (ok) {
    FFiles = Chooser->GetSelectedFiles();
    if (FFiles.empty()) FFiles.push_back(Chooser->GetFilePath());
    FileName = FFiles.front();
    FilterIndex = FLiveFilterIndex;
  }
  Chooser = nullptr;
  InfoPanel = PicturePanel = nullptr;
  InfoLabel1 = InfoLabel2 = PicLabel1 = PicLabel2 = PicLabel3 = nullptr;
  AdvancedButton = PreviewButton = nullptr;
  PreviewCheck = nullptr;
  ZoomCombo = nullptr;
  LumerakView = nullptr;
  LumerakMView = nullptr;
  PlayButton = nullptr;
  FPlayDown = false;
  ProgressBar = nullptr;
  FForm.reset();
  return ok;
}

void TOpenLumerakDialog::WndProc(TLKDialogMessage& Message) {
  switch (Message.Msg) {
    case dmInitDialog:
      // The window shows the chooser's frame: OnShow waits until it is done.
      return;
    case dmInitDone:
      DoShow();
      return;
    case dmSelChange:
      DoSelectionChange();
      return;
    case dmFolderChange:
      DoFolderChange();
      return;
    case dmTypeChange: {
      const Integer index = Chooser ? Chooser->GetFilterIndex() : FLiveFilterIndex;
      if (index != FLiveFilterIndex) {
        FLiveFilterIndex = index;
        DoTypeChange();
      }
      return;
    }
    case dmFileOk:
      Message.Result = DoCanClose() ? 0 : 1;
      return;
    default:
      TLKCommonDialog::WndProc(Message);
  }
}

void TOpenLumerakDialog::DoShow() {
  if (FPreviewPresent && ZoomCombo) {
    // Filled at every showing, emptied first so that it never grows.
    ZoomCombo->GetItems()->Clear();
    for (Integer z : kZoomItems) ZoomCombo->GetItems()->Add(z == 0 ? String("Fit") : IntToStr(z) + "%");
    ZoomCombo->SetItemIndex(0);
    LumerakView->SetBackGround(clWhite);
    LumerakView->SetCenter(true);
  }
  if (!ExtendedDialog && PicLabel1) {
    PicLabel1->SetVisible(false);
    PicLabel2->SetVisible(false);
    PicLabel3->SetVisible(false);
    ZoomCombo->SetVisible(false);
  }
  TLKCommonDialog::DoShow();
}

void TOpenLumerakDialog::DoClose() {
  TLKCommonDialog::DoClose();
  if (LumerakMView) {
    LumerakMView->SetPlaying(false);
    LumerakMView->Clear();
  }
  if (LumerakView) LumerakView->Blank();
}

bool TOpenLumerakDialog::DoCanClose() {
  bool canClose = true;
  if (OnCanClose) OnCanClose(this, canClose);
  return canClose;
}

void TOpenLumerakDialog::DoFolderChange() {
  FSelectedPath.clear();
  if (OnFolderChange) OnFolderChange(this);
}

void TOpenLumerakDialog::DoTypeChange() {
  if (OnTypeChange) OnTypeChange(this);
}

void TOpenLumerakDialog::DoSelectionChange() {
  if (FInSelection) return;
  FInSelection = true;
  struct TLeave {
    bool& Flag;
    ~TLeave() { Flag = false; }
  } leave{FInSelection};
  if (FPreviewPresent && LumerakView) PreviewFile(!FSelectedPath.empty() ? FSelectedPath : GetFileName());
  if (OnSelectionChange) OnSelectionChange(this);
}

void TOpenLumerakDialog::ClearPreview() {
  ShowIOParams(nullptr);
  if (PreviewButton) PreviewButton->SetEnabled(false);
  if (LumerakView) LumerakView->Blank();
  if (LumerakMView) {
    SetPlayDown(false);
    LumerakMView->SetPlaying(false);
    LumerakMView->Clear();
    LumerakMView->SetVisible(false);
    LumerakView->SetVisible(true);
  }
  if (PlayButton) PlayButton->SetEnabled(false);
}

void TOpenLumerakDialog::SetPlayDown(bool Down) {
  FPlayDown = Down;
  if (PlayButton) PlayButton->SetCaption(Down ? "\u25A0" : "\u25B6");
}

bool TOpenLumerakDialog::PreviewFrames(const String& Path) {
  if (!ShowAllFrames || !LumerakMView || LKMGetFileFramesCount(Path) <= 1) return false;
  SetPlayDown(false);
  LumerakMView->SetPlaying(false);
  LumerakMView->SetThumbWidth(100);
  LumerakMView->SetThumbHeight(109);
  LumerakMView->SetHorizBorder(4);
  LumerakMView->SetVertBorder(4);
  LumerakView->Blank();
  LumerakView->SetVisible(false);
  LumerakMView->SetVisible(true);
  TLumerakMIO* mio = LumerakMView->GetLumerakMIO();
  mio->AutoAdjustDPI = AutoAdjustDPI;
  LumerakMView->LoadFromFileOnDemand(Path);
  FFrameCount = mio->GetParamsCount();
  LumerakMView->SelectSeek(iskFirst);
  LumerakMView->ObtainImageNow(0);
  ShowIOParams(mio->GetParams(0));
  PlayButton->SetEnabled(true);
  PreviewButton->SetEnabled(true);
  String ext = std::filesystem::path(Path).extension().string();
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const TLKFileFormatInfo* gif = LKFileFormatGetInfo(lkftGIF);
  if (FAlwaysAnimate && ext == ".gif" && gif != nullptr && gif->ReadProc != nullptr) {
    SetPlayDown(true);
    PlayClick();
  }
  return true;
}

void TOpenLumerakDialog::PlayClick() {
  if (!LumerakMView) return;
  if (FPlayDown) {
    // Each frame fills the strip while it plays.
    LumerakMView->SetHorizBorder(0);
    LumerakMView->SetVertBorder(0);
    LumerakMView->SetThumbWidth(LumerakMView->GetClientWidth());
    LumerakMView->SetThumbHeight(LumerakMView->GetClientHeight());
  } else {
    LumerakMView->SetThumbWidth(100);
    LumerakMView->SetThumbHeight(109);
    LumerakMView->SetHorizBorder(4);
    LumerakMView->SetVertBorder(4);
  }
  LumerakMView->SetPlaying(FPlayDown);
  if (PreviewButton) PreviewButton->SetEnabled(!FPlayDown);
}

void TOpenLumerakDialog::OnMViewSelect(Integer Idx) {
  ChosenFrameIndex = std::max<Integer>(Idx, 0);
  if (LumerakMView && ChosenFrameIndex < LumerakMView->GetLumerakMIO()->GetParamsCount())
    ShowIOParams(LumerakMView->GetLumerakMIO()->GetParams(ChosenFrameIndex));
}

void TOpenLumerakDialog::DoAllDisplayed() {
  if (!LumerakMView) return;
  const Integer s = LumerakMView->GetSelectedImage();
  if (s >= 0) ShowIOParams(LumerakMView->GetLumerakMIO()->GetParams(s));
}

void TOpenLumerakDialog::GetStaticRect(TRect& Rect) const {
  Rect = Chooser != nullptr ? Chooser->GetBoundsRect() : TRect{};
}

void TOpenLumerakDialog::PreviewFile(const String& Path) {
  struct stat st{};
  const bool valid = !Path.empty() && ::stat(Path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
  if (!valid) {
    ClearPreview();
    return;
  }
  FFileSize = st.st_size;
  FFrameCount = 1;
  if (LumerakMView && LumerakMView->GetVisible()) {
    SetPlayDown(false);
    LumerakMView->SetPlaying(false);
    LumerakMView->Clear();
    LumerakMView->SetVisible(false);
    LumerakView->SetVisible(true);
  }
  if (PlayButton) PlayButton->SetEnabled(false);
  // Any failure while previewing makes the file count as unreadable: the
  // picture and the labels are cleared, and the dialog goes on.
  try {
    TLumerakIO* io = LumerakView->GetLumerakIO();
    if (!PreviewCheck->GetChecked()) {
      io->ParamsFromFile(Path);
      if (io->GetIOParams()->FILETYPE != 0)
        ShowIOParams(io->GetIOParams());
      else
        ShowIOParams(nullptr);
      return;
    }
    TCursorGuard cursor(crHourGlass);
    if (PreviewFrames(Path)) return;
    LumerakView->SetBackGround(clWhite);
    LumerakView->Blank();
    ProgressBar->SetPosition(0);
    ProgressBar->SetVisible(true);
    TIOParamsVals* p = io->GetIOParams();
    // Large pictures load reduced to the view's size, or as their embedded
    // thumbnail.
    p->WIDTH = LumerakView->GetWidth();
    p->HEIGHT = LumerakView->GetHeight();
    p->JPEG_SCALE = ioJPEG_AUTOCALC;
    p->RAW_HALFSIZE = true;
    p->SetRAW_GetExifThumbnail(true);
    p->SetJPEG_GetExifThumbnail(true);
    io->SetAutoAdjustDPI(AutoAdjustDPI);
    io->SetFilteredAdjustDPI(FilteredAdjustDPI);
    io->SetAborted(false);
    io->LoadFromFileAuto(Path);
    ProgressBar->SetVisible(false);
    if (io->GetAborted() || p->FILETYPE == 0) {
      ClearPreview();
      return;
    }
    FFrameCount = p->IMAGECOUNT > 1 ? p->IMAGECOUNT : 1;
    ShowIOParams(p);
    PreviewButton->SetEnabled(true);
    SetZoom();
  } catch (...) {
    if (ProgressBar) ProgressBar->SetVisible(false);
    ClearPreview();
  }
}

void TOpenLumerakDialog::ShowIOParams(const TIOParamsVals* Params) {
  if (!InfoLabel1) return;
  TLKDialogInfoTexts t;
  if (Params) t = LKDialogInfoTexts(*Params, FFileSize, FFrameCount, MsgLanguage);
  InfoLabel1->SetCaption(t.Info1);
  InfoLabel2->SetCaption(t.Info2);
  if (PicLabel1) {
    PicLabel1->SetCaption(t.Pic1);
    PicLabel2->SetCaption(t.Pic2);
    PicLabel3->SetCaption(t.Pic3);
  }
}

void TOpenLumerakDialog::SetZoom() {
  if (!ZoomCombo || !LumerakView) return;
  const Integer i = ZoomCombo->GetItemIndex();
  const Integer zoom = i >= 0 && i < Integer(std::size(kZoomItems)) ? kZoomItems[i] : 0;
  if (zoom == 0) {
    LumerakView->SetAutoFit(true);
    LumerakView->Update();
  } else {
    LumerakView->SetAutoFit(false);
    LumerakView->SetZoom(zoom);
  }
}

void TOpenLumerakDialog::DoCheckPreview() {
  if (!PreviewCheck || !LumerakView) return;
  if (PreviewCheck->GetChecked()) {
    ZoomCombo->SetEnabled(true);
    DoSelectionChange();
    return;
  }
  ShowIOParams(nullptr);
  LumerakView->SetBackGround(clWhite);
  LumerakView->Blank();
  LumerakView->SetZoom(100);
  PreviewButton->SetEnabled(false);
  ZoomCombo->SetEnabled(false);
}

void TOpenLumerakDialog::PreviewClick() {
  const bool strip = LumerakMView != nullptr && LumerakMView->GetVisible();
  if (!LumerakView || (!strip && LumerakView->GetIsEmpty())) return;
  if (strip) {
    // The strip's current frame, at its full size.
    const Integer s = LumerakMView->GetSelectedImage() >= 0 ? LumerakMView->GetSelectedImage() : 0;
    if (s >= LumerakMView->GetImageCount()) return;
    LumerakMView->CopyToLKBitmap(s, LumerakView->GetLKBitmap());
    LumerakView->Update();
  }
  TForm form(nullptr);
  form.SetCaption(GetFileName());
  form.SetBorderStyle(bsSizeToolWin);
  form.SetPosition(poScreenCenter);
  form.SetKeyPreview(true);
  auto* view = new TLumerakView(&form);
  view->SetParent(&form);
  view->SetAlign(alClient);
  view->SetCenter(true);
  view->Assign(LumerakView);
  TLKBitmap* bmp = LumerakView->GetLumerakIO()->GetLKBitmap();
  const Integer pw = bmp ? bmp->GetWidth() : 100, ph = bmp ? bmp->GetHeight() : 100;
  const Integer w = pw <= 100 ? 100 : (pw >= Screen->GetWidth() ? Screen->GetWidth() : pw);
  const Integer h = ph <= 100 ? 100 : (ph >= Screen->GetHeight() ? Screen->GetHeight() : ph);
  form.SetBounds(0, 0, w, h);
  form.OnKeyDown = [&form](TObject*, Word& Key, TShiftState) {
    if (Key == VK_ESCAPE) form.SetModalResult(mrCancel);
  };
  form.ShowModal();
}

// ---------------------------------------------------------------------------
// TSaveLumerakDialog

TSaveLumerakDialog::TSaveLumerakDialog(TComponent* AOwner) : TOpenLumerakDialog(AOwner) {
  // The fixed list, used only when AutoSetFilter is turned off.
  LKUpdateGIFStatus();
  const TLKFileFormatInfo* gif = LKFileFormatGetInfo(lkftGIF);
  Filter = "JPEG Bitmap (JPG)|*.jpg";
  if (gif && gif->WriteProc) Filter += "|CompuServe Bitmap (GIF)|*.gif";
  Filter +=
      "|TIFF Bitmap (TIF)|*.tif|PaintBrush (PCX)|*.pcx|Portable Network Graphics (PNG)|*.png"
      "|Windows Bitmap (BMP)|*.bmp|OS/2 Bitmap (BMP)|*.bmp|Targa Bitmap (TGA)|*.tga|Portable PixMap (PXM)|*.pxm"
      "|Portable PixMap (PPM)|*.ppm|Portable GreyMap (PGM)|*.pgm|Portable Bitmap (PBM)|*.pbm"
      "|JPEG2000 (JP2)|*.jp2|JPEG2000 Code Stream (J2K)|*.j2k|Multipage PCX (DCX)|*.dcx";
  FTimer = std::make_unique<TTimer>(nullptr);
  FTimer->SetEnabled(false);
  FTimer->SetInterval(100);
  FTimer->SetOnTimer([this](TObject*) { EnableDisableAdvanced(); });
}

TSaveLumerakDialog::~TSaveLumerakDialog() = default;

void TSaveLumerakDialog::SetAttachedLumerakIO(TObject* Value) {
  FAttached = nullptr;
  if (auto* io = dynamic_cast<TLumerakIO*>(Value)) {
    FAttached = io;
    MsgLanguage = io->GetMsgLanguage();
  } else if (auto* mio = dynamic_cast<TLumerakMIO*>(Value)) {
    FAttached = mio;
    MsgLanguage = mio->MsgLanguage;
  } else if (dynamic_cast<TLumerakView*>(Value) || dynamic_cast<TLumerakMView*>(Value)) {
    FAttached = Value;
  }
}

TLumerakMIO* TSaveLumerakDialog::AttachedMIO() const {
  if (auto* mio = dynamic_cast<TLumerakMIO*>(FAttached)) return mio;
  if (auto* view = dynamic_cast<TLumerakMView*>(FAttached)) return view->GetLumerakMIO();
  return nullptr;
}

TLumerakIO* TSaveLumerakDialog::AttachedIO() const {
  if (auto* io = dynamic_cast<TLumerakIO*>(FAttached)) return io;
  if (auto* view = dynamic_cast<TLumerakView*>(FAttached)) return view->GetLumerakIO();
  return nullptr;
}

TIOParamsVals* TSaveLumerakDialog::AttachedParams() const {
  // Of several pictures, the first one's parameters stand for all.
  if (TLumerakMIO* mio = AttachedMIO()) return mio->GetParams(0);
  TLumerakIO* io = AttachedIO();
  return io ? io->GetIOParams() : nullptr;
}

bool TSaveLumerakDialog::Execute() {
  FPreviewPresent = ExOptions.Contains(sdShowPreview);
  if (AutoSetFilter) Filter = BuildStrFilter();
  if (TIOParamsVals* p = AttachedParams())
    FBackup.Assign(p);
  else if (AttachedMIO() != nullptr)
    return false;  // no pictures to save
  const bool ok = DoExecute(true);
  FTimer->SetEnabled(false);
  if (!ok) {
    // Whatever the format-options dialog changed is undone.
    if (TIOParamsVals* p = AttachedParams()) p->Assign(&FBackup);
    return false;
  }
  if (LKFileNameExt(FileName).empty()) {
    const std::vector<TLKFilterEntry> entries = LKSplitFilter(Filter);
    if (FilterIndex >= 1 && FilterIndex <= Integer(entries.size()))
      FileName += LKFirstPatternExt(entries[size_t(FilterIndex - 1)].Patterns);
  }
  return true;
}

void TSaveLumerakDialog::WindowBuilt() {
  AdvancedButton->OnClick = [this](TObject*) { DoAdvanced(); };
  AdvancedButton->SetVisible(ExOptions.Contains(sdShowAdvanced));
  PreviewCheck->SetVisible(ExOptions.Contains(sdShowPreview));
  SetLang();
  EnableDisableAdvanced();
}

void TSaveLumerakDialog::WndProc(TLKDialogMessage& Message) {
  if (Message.Msg == dmInitDone) FTimer->SetEnabled(true);
  TOpenLumerakDialog::WndProc(Message);
}

void TSaveLumerakDialog::GetAdvancedType(TPreviewParams& Pages, Integer& FileType) const {
  LKAdvancedType(GetFileName2(), DefaultExt, LivePatterns(), Pages, FileType);
  Pages = LKAvailableOptionPages(Pages);
}

void TSaveLumerakDialog::EnableDisableAdvanced() {
  TPreviewParams pages = 0;
  Integer type = 0;
  GetAdvancedType(pages, type);
  if (auto* io = dynamic_cast<TLumerakIO*>(FAttached)) io->GetIOParams()->FILETYPE = type;
  if (AdvancedButton) AdvancedButton->SetEnabled(pages != 0);
}

void TSaveLumerakDialog::DoAdvanced() {
  TPreviewParams pages = 0;
  Integer type = 0;
  GetAdvancedType(pages, type);
  if (pages == 0) return;
  if (TLumerakMIO* mio = AttachedMIO()) {
    mio->DoPreviews(-1, pages);
    return;
  }
  TLumerakIO* io = AttachedIO();
  if (!io) return;
  io->GetIOParams()->FILETYPE = type;
  io->DoPreviews(pages);
}

void TSaveLumerakDialog::SetFileNameExt() {
  if (!Chooser) return;
  const String ext = LKFirstPatternExt(LivePatterns());
  const String name = Chooser->GetFileNameText();
  if (name.empty() || ext.empty()) return;
  Chooser->SetFileNameText(LKReplaceFileNameExt(name, ext));
}

void TSaveLumerakDialog::NameShown() {
  // A suggested name with an extension the chosen type does not write (the
  // camera file's own name, say) takes the type's extension, so that Save
  // writes the format the list of types shows instead of nothing.
  const String ext = LKFileNameExt(Chooser->GetFileNameText());
  if (!ext.empty() && !LKPatternsHaveExt(LivePatterns(), ext)) SetFileNameExt();
}

void TSaveLumerakDialog::DoTypeChange() {
  SetFileNameExt();
  EnableDisableAdvanced();
  TOpenLumerakDialog::DoTypeChange();
}

bool TSaveLumerakDialog::DoCanClose() {
  if (!Options.Contains(ofNoTestFileCreate) && Chooser) {
    // As the system dialog does: make sure the file can be created before
    // the dialog closes, so that the user learns of a folder without write
    // permission while still able to choose another one. The test file is
    // removed again; an existing file is never touched.
    String path = Chooser->GetFilePath();
    if (LKFileNameExt(path).empty()) path += LKFirstPatternExt(LivePatterns());
    struct stat st{};
    int error = 0;
    if (::stat(path.c_str(), &st) == 0) {
      if (::access(path.c_str(), W_OK) != 0) error = errno;
    } else {
      const String probe = FolderOf(path) + "/.velmoran-write-test-" + IntToStr(Int64(::getpid()));
      const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
      if (fd < 0) {
        error = errno;
      } else {
        ::close(fd);
        ::unlink(probe.c_str());
      }
    }
    if (error != 0) {
      Application->MessageBox(path + "\n" + std::strerror(error), GetForm() ? GetForm()->GetCaption() : String(),
                              MB_OK | MB_ICONWARNING);
      return false;
    }
  }
  return TOpenLumerakDialog::DoCanClose();
}
