// The I/O component's entry points that choose a reader or writer for the
// caller (by extension, by type number, by content), the parameter reads,
// the camera RAW road, the dialogs and the resolution fixes after a load.

#include <memory>

#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkdetect.h"
#include "io/lkfiledialogrun.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "io/lkiothread.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "platform/graphics.h"
#include "platform/sysutils.h"
#include "processing/lkfilterresample.h"
#include "processing/lkresample.h"

namespace {

// Frame IMAGEINDEX of an AVI file; the file is closed again. The whole
// of it goes to a worker on the asynchronous road.
void LoadFromFileAVI(TLumerakIO& IO, const String& FileName) {
  if (IO.GetAsyncGate()) {
    new TLKIOThread(&IO, TLKIOMethodFile([&IO](const String& F) { LoadFromFileAVI(IO, F); }), FileName);
    return;
  }
  if (IO.OpenAVIFile(FileName) == 0) {
    IO.DoFinishWork();
    return;
  }
  IO.LoadFromAVI(IO.GetIOParams()->IMAGEINDEX);
  IO.CloseAVIFile();
  IO.GetIOParams()->FILENAME = FileName;
  IO.GetIOParams()->FILETYPE = lkftAVI;
}

// A load that finds nothing to run (no format, no stream): the abort flag
// with the reason, and neither progress nor a finish, since nothing started.
void NothingToLoad(TLumerakIO& IO, const String& Why) { IO.SetAbortedWith(Why); }

// The file load of a registry record, through the row frames. Camera RAW
// goes through its own road, which a plug-in registering "RAW" takes over.
// A record the library does not know itself (a plug-in's, a program's)
// runs on a row standing for it; ErrorsAsFlag turns an exception of its
// reader into the abort flag.
void LoadRecordFile(TLumerakIO& IO, const TLKFileFormatInfo& Info, const String& FileName, bool ErrorsAsFlag) {
  TLKFormatRow row = LKFormatRowOfRecord(Info);
  if (row.External == nullptr && row.Type == lkftRAW) return IO.LoadFromFileRAW(FileName);
  row.Load.ReaderErrorsAsFlag = ErrorsAsFlag && row.External != nullptr;
  lkio::LoadFileAs(IO, row, FileName);
}

void LoadRecordStream(TLumerakIO& IO, const TLKFileFormatInfo& Info, TStream* Stream) {
  const TLKFormatRow row = LKFormatRowOfRecord(Info);
  if (row.External == nullptr && row.Type == lkftRAW) return IO.LoadFromStreamRAW(Stream);
  lkio::LoadStreamAs(IO, row, Stream);
}

String NoTypeText(Integer FileType) { return "no format of type " + IntToStr(FileType) + " is registered"; }

// The read job of the type's row in parameters-only mode (built-in rows,
// then the registry's record); a type nobody reads reads nothing.
void ReadParams(TLumerakIO& IO, TStream& S, Integer Type, TProgressRec& Pr) {
  if (const TLKFormatRow* row = LKFormatRowOf(Type)) return lkio::ReadParamsAs(IO, *row, S, Pr);
  const PLKFileFormatInfo info = LKFileFormatGetInfo(Type);
  if (!info || !info->ReadProc) return;
  lkio::ReadParamsAs(IO, LKFormatRowOfRecord(*info), S, Pr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Loads

void TLumerakIO::LoadFromFile(const String& FileName) {
  if (!GetLKBitmap()) return;
  if (FileName.empty()) {
    SetAbortedWith("no file name");
    DoFinishWork();
    return;
  }
  if (LowerCase(FileName.substr(0, 7)) == "http://") return LoadFromURL(FileName);
  const String ext = lkio::LowerExt(FileName);
  if (ext == ".avi") return LoadFromFileAVI(*this, FileName);
  if (ext == ".wmf" || ext == ".emf") return ImportMetafile(FileName, -1, -1, false);
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(ext);
  if (!info) return NothingToLoad(*this, "no format reads \"" + ExtractFileName(FileName) + "\"");
  LoadRecordFile(*this, *info, FileName, true);
}

void TLumerakIO::LoadFromFileFormat(const String& FileName, Integer FileType) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info) return NothingToLoad(*this, NoTypeText(FileType));
  LoadRecordFile(*this, *info, FileName, false);
}

void TLumerakIO::LoadFromFileAuto(const String& FileName) {
  const Integer type = FindFileFormat(FileName, false);
  if (type != 0)
    LoadFromFileFormat(FileName, type);
  else
    LoadFromFile(FileName);
}

void TLumerakIO::LoadFromStream(TStream* Stream) {
  if (!Stream) return NothingToLoad(*this, "no stream");
  const Int64 start = Stream->Position();
  const Integer type = FindStreamFormat(*Stream);
  const PLKFileFormatInfo info = LKFileFormatGetInfo(type);
  if (!info) return NothingToLoad(*this, "the content is of no known format");
  Stream->Seek(start, soBeginning);
  LoadRecordStream(*this, *info, Stream);
}

void TLumerakIO::LoadFromStreamFormat(TStream* Stream, Integer FileType) {
  if (!Stream) return NothingToLoad(*this, "no stream");
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info) return NothingToLoad(*this, NoTypeText(FileType));
  LoadRecordStream(*this, *info, Stream);
}

void TLumerakIO::LoadFromBuffer(const void* Buffer, Integer BufferSize, Integer FileType) {
  if (!Buffer || BufferSize < 0) return NothingToLoad(*this, "no buffer");
  if (GetAsyncGate()) {
    // The worker reads a copy of its own: the caller's block may be gone by
    // the time it runs.
    auto copy = std::make_shared<TMemoryStream>();
    copy->WriteBuffer(Buffer, BufferSize);
    copy->Seek(0, soBeginning);
    new TLKIOThread(this, TLKIOMethodStream([this, copy, FileType](TStream* S) {
                      if (FileType != 0)
                        LoadFromStreamFormat(S, FileType);
                      else
                        LoadFromStream(S);
                    }),
                    copy.get());
    return;
  }
  TLKMemStream wrapper(Buffer, BufferSize);
  if (FileType != 0)
    LoadFromStreamFormat(&wrapper, FileType);
  else
    LoadFromStream(&wrapper);
}

// ---------------------------------------------------------------------------
// Saves

void TLumerakIO::SaveToFile(const String& FileName) {
  if (FileName.empty()) return SetAbortedWith("no file name");
  const String ext = lkio::LowerExt(FileName);
  // The built-in rows decide first, whatever the registry holds.
  if (const TLKFormatRow* row = LKFormatRowForSave(ext)) {
    if (row->CanWrite)
      lkio::SaveFileAs(*this, *row, FileName);
    else
      SetAbortedWith(String(row->Name) + ": the format is not written");
    return;
  }
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(ext);
  if (!info || !info->WriteProc) {
    SetAbortedWith("no format writes \"" + ext + "\"");
    return;
  }
  lkio::SaveFileAs(*this, LKFormatRowOfRecord(*info), FileName);
}

void TLumerakIO::SaveToStream(TStream* Stream, Integer FileType) {
  const TLKFormatRow* builtIn = LKFormatRowOf(FileType);
  if (builtIn && builtIn->Registered && builtIn->CanWrite) return lkio::SaveStreamAs(*this, *builtIn, Stream);
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info || !info->WriteProc) return SetAbortedWith(NoTypeText(FileType) + " with a writer");
  if (!Stream) return SetAbortedWith("no stream");
  lkio::SaveStreamAs(*this, LKFormatRowOfRecord(*info), Stream);
}

// ---------------------------------------------------------------------------
// Parameter reads

void TLumerakIO::ParamsFromFileFormat(const String& FileName, Integer FileType) {
  TIOParamsVals& p = *GetIOParams();
  p.FILETYPE = FileType;
  std::unique_ptr<TFileStream> file;
  try {
    p.ResetInfo();
    SetAborted(true);
    TProgressRec pr = lkio::MakeSilentProgress(*this);
    file = lkio::OpenForRead(FileName);
    SetAborted(false);
    ReadParams(*this, *file, FileType, pr);
  } catch (...) {
    p.FILETYPE = 0;
  }
  if (GetAborted()) p.FILETYPE = 0;
  p.FILENAME = FileName;
  file.reset();
  DoFinishWork();
}

void TLumerakIO::ParamsFromStreamFormat(TStream* Stream, Integer FileType) {
  TIOParamsVals& p = *GetIOParams();
  p.FILETYPE = FileType;
  try {
    p.ResetInfo();
    SetAborted(false);
    TProgressRec pr = lkio::MakeSilentProgress(*this);
    if (Stream)
      ReadParams(*this, *Stream, FileType, pr);
    else
      SetAborted(true);
  } catch (...) {
    p.FILETYPE = 0;
  }
  if (GetAborted()) p.FILETYPE = 0;
  DoFinishWork();
}

void TLumerakIO::ParamsFromFile(const String& FileName) {
  try {
    ParamsFromFileFormat(FileName, FindFileFormat(FileName, true));
  } catch (...) {
    GetIOParams()->FILETYPE = 0;
  }
}

void TLumerakIO::ParamsFromStream(TStream* Stream) {
  try {
    ParamsFromStreamFormat(Stream, Stream ? FindStreamFormat(*Stream) : 0);
  } catch (...) {
    GetIOParams()->FILETYPE = 0;
  }
}

// ---------------------------------------------------------------------------
// Camera RAW

void TLumerakIO::SyncLoadFromStreamRAW(TStream* Stream) {
  const Integer type = LKExtToFileFormat("RAW");
  if (type == 0) return NothingToLoad(*this, "no format reads camera RAW files");
  // A plug-in that registered "RAW" takes the road over.
  if (type != lkftRAW) return LoadFromStreamFormat(Stream, type);
  lkio::SyncLoadStreamAs(*this, *LKFormatRowOf(lkftRAW), Stream, false);
}

void TLumerakIO::LoadFromStreamRAW(TStream* Stream) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodStream([this](TStream* S) { LoadFromStreamRAW(S); }), Stream);
    return;
  }
  SyncLoadFromStreamRAW(Stream);
}

void TLumerakIO::LoadFromFileRAW(const String& FileName) {
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodFile([this](const String& F) { LoadFromFileRAW(F); }), FileName);
    return;
  }
  auto file = lkio::OpenForRead(FileName);
  SyncLoadFromStreamRAW(file.get());
  GetIOParams()->FILENAME = FileName;
}

// ---------------------------------------------------------------------------
// Dialogs

std::unique_ptr<TLKFileDialog> LKRunFileDialog(TComponent* Owner, bool Save, const TLKFileDialogSetup& Setup,
                                               const String& InitialDir, const String& InitialFileName,
                                               bool AlwaysAnimate, Integer FilterIndex,
                                               const String& ExtendedFilters) {
  TLKIODialogs* dialogs = LKGetIODialogs();
  if (!dialogs) return nullptr;
  std::unique_ptr<TLKFileDialog> dialog = Save ? dialogs->CreateSaveDialog(Owner) : dialogs->CreateOpenDialog(Owner);
  if (!dialog) return nullptr;
  LKFillFileDialog(*dialog, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters,
                   Setup.AutoAdjustDPI, Setup.FilteredAdjustDPI, Setup.Language);
  if (Setup.EnableSizing) dialog->EnableSizing = true;
  if (Save) dialog->AttachedLumerakIO = Setup.AttachedIO;
  if (!dialog->Execute()) return nullptr;
  return dialog;
}

String TLumerakIO::ExecuteOpenDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                                     Integer FilterIndex, const String& ExtendedFilters) {
  // The single-picture component's file dialogs may be resized.
  const TLKFileDialogSetup setup{GetAutoAdjustDPI(), GetFilteredAdjustDPI(), GetMsgLanguage(), true, nullptr};
  const std::unique_ptr<TLKFileDialog> dialog =
      LKRunFileDialog(this, false, setup, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters);
  if (!dialog) return String();
  GetIOParams()->SetImageIndex(dialog->SelectedImage);
  return dialog->FileName;
}

String TLumerakIO::ExecuteSaveDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                                     Integer FilterIndex, const String& ExtendedFilters) {
  const TLKFileDialogSetup setup{GetAutoAdjustDPI(), GetFilteredAdjustDPI(), GetMsgLanguage(), true, this};
  const std::unique_ptr<TLKFileDialog> dialog =
      LKRunFileDialog(this, true, setup, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters);
  return dialog ? dialog->FileName : String();
}

bool TLumerakIO::DoPreviews(TPreviewParams Pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(this, handled);
    if (handled) return true;
  }
  if (!MakeConsistentBitmap({})) return false;
  lkio::ConvertForSave(*this);
  if (!LKGetIODialogs()) return false;
  TLKPreviewsSetup setup;
  setup.LockPreview = (FPreviewsParams & PreviewsOption(ioppDefaultLockPreview)) != 0;
  setup.ApplyButton = (FPreviewsParams & PreviewsOption(ioppApplyButton)) != 0;
  setup.Params = GetIOParams();
  setup.Simplified = FSimplifiedParamsDialogs;
  setup.DitherMethod = GetDefaultDitherMethod();
  setup.Language = FMsgLanguage;
  setup.Font = GetPreviewFont();
  const bool result = LKRunPreviewsForm(this, setup, GetLKBitmap(), Pages, [this](TLKPreviewsForm* Form) {
    if (OnIOPreview) OnIOPreview(this, Form);
  });
  Update();
  return result;
}

TFont* TLumerakIO::GetPreviewFont() const {
  if (!FPreviewFont) FPreviewFont = std::make_unique<TFont>();
  return FPreviewFont.get();
}

void TLumerakIO::SetPreviewFont(TFont* Value) {
  if (Value) GetPreviewFont()->Assign(Value);
}

// ---------------------------------------------------------------------------
// Resolution after a load

void TLumerakIO::CheckDPI() {
  TIOParamsVals& p = *GetIOParams();
  if (p.DPIX < 2) p.SetDpiX(gDefaultDPIX);
  if (p.DPIY < 2) p.SetDpiY(gDefaultDPIY);
}

void TLumerakIO::AdjustDPI() {
  if (!MakeConsistentBitmap({})) return;
  TLKBitmap* bmp = GetLKBitmap();
  TIOParamsVals& p = *GetIOParams();
  if (p.DPIX < 1 || p.DPIY < 1 || p.DPIX == p.DPIY) return;
  if (bmp->GetWidth() < 1 || bmp->GetHeight() < 1) return;
  Integer w = p.WIDTH, h = p.HEIGHT;
  if (w < 1 || h < 1) return;
  const bool newHeight = h < w;
  if (newHeight)
    h = LKTrunc(static_cast<double>(h) / p.DPIY * p.DPIX);
  else
    w = LKTrunc(static_cast<double>(w) / p.DPIX * p.DPIY);
  if (w < 1 || h < 1) return;

  std::unique_ptr<TLKBitmap> alpha;
  if (bmp->GetHasAlphaChannel()) {
    alpha = std::make_unique<TLKBitmap>();
    alpha->Assign(bmp->GetAlphaChannel());
  }
  TLKBitmap result;
  if (GetFilteredAdjustDPI()) {
    bmp->SetPixelFormat(lk24RGB);
    result.Allocate(w, h, lk24RGB);
    _ResampleEx(bmp, &result, rfFastLinear);
  } else {
    result.Allocate(w, h, bmp->GetPixelFormat());
    _LKBmpStretchEx(bmp, &result);
    for (Integer i = 0; i < bmp->GetPaletteLen(); ++i) result.SetPalette(i, bmp->GetPalette(i));
  }
  bmp->Assign(&result);
  bmp->RemoveAlphaChannel();
  if (alpha) _LKBmpStretchEx(alpha.get(), bmp->GetAlphaChannel());
  // Written directly: neither the EXIF resolution nor the view is told.
  if (newHeight) {
    p.DPIY = p.DPIX;
    p.HEIGHT = h;
  } else {
    p.DPIX = p.DPIY;
    p.WIDTH = w;
  }
}
