// The I/O component's entry points that choose a reader or writer for the
// caller (by extension, by type number, by content), the parameter reads,
// the camera RAW road, the dialogs and the resolution fixes after a load.

#include <memory>

#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "core/lkmask.h"
#include "dialogs/lkiodialogs.h"
#include "io/lkcodecentries.h"
#include "io/lkdetect.h"
#include "io/lkfileformats.h"
#include "io/lkiothread.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"
#include "platform/graphics.h"
#include "platform/sysutils.h"
#include "processing/lkfilterresample.h"
#include "processing/lkresample.h"

using lkio::WithFinish;

namespace {

constexpr Integer kCameraRAW = 20;

// A load or save this build cannot run (URL downloads, AVI frames,
// metafiles, PostScript and PDF): the abort flag, then the finish.
void Unsupported(TLumerakIO& IO) {
  IO.SetAborted(true);
  IO.DoFinishWork();
}

// The by-file operation of a built-in type; false when the type has none.
bool LoadByFile(TLumerakIO& IO, Integer Type, const String& FileName, bool WithHeadlessRaw) {
  switch (Type) {
    case 1: IO.LoadFromFileTIFF(FileName); return true;
    case 2: IO.LoadFromFileGIF(FileName); return true;
    case 3: IO.LoadFromFileJpeg(FileName); return true;
    case 4: IO.LoadFromFilePCX(FileName); return true;
    case 5: IO.LoadFromFileBMP(FileName); return true;
    case 6: IO.LoadFromFileICO(FileName); return true;
    case 7: IO.LoadFromFileCUR(FileName); return true;
    case 8: IO.LoadFromFilePNG(FileName); return true;
    case 9:
    case 10: Unsupported(IO); return true;
    case 11: IO.LoadFromFileTGA(FileName); return true;
    case 12: IO.LoadFromFilePXM(FileName); return true;
    case 13: IO.LoadFromFileJP2(FileName); return true;
    case 14: IO.LoadFromFileJ2K(FileName); return true;
    case 16: IO.LoadFromFileWBMP(FileName); return true;
    case 19: IO.LoadFromFileDCX(FileName); return true;
    case 20: IO.LoadFromFileRAW(FileName); return true;
    case 21:
      if (!WithHeadlessRaw) return false;
      IO.LoadFromFileBMPRAW(FileName);
      return true;
    case 24: IO.LoadFromFilePSD(FileName); return true;
    default: return false;
  }
}

// The stream load of a built-in type; false when the type has none.
// ByFormat: the LoadFromStreamFormat column (WBMP and headerless raw pixels
// too, which content detection never names).
bool LoadByStream(TLumerakIO& IO, Integer Type, TStream* Stream, bool ByFormat) {
  switch (Type) {
    case 1: IO.LoadFromStreamTIFF(Stream); return true;
    case 2: IO.LoadFromStreamGIF(Stream); return true;
    case 3: IO.LoadFromStreamJpeg(Stream); return true;
    case 4: IO.LoadFromStreamPCX(Stream); return true;
    case 5: IO.LoadFromStreamBMP(Stream); return true;
    case 6: IO.LoadFromStreamICO(Stream); return true;
    case 7: IO.LoadFromStreamCUR(Stream); return true;
    case 8: IO.LoadFromStreamPNG(Stream); return true;
    case 11: IO.LoadFromStreamTGA(Stream); return true;
    case 12: IO.LoadFromStreamPXM(Stream); return true;
    case 13: IO.LoadFromStreamJP2(Stream); return true;
    case 14: IO.LoadFromStreamJ2K(Stream); return true;
    case 16:
      if (!ByFormat) return false;
      IO.LoadFromStreamWBMP(Stream);
      return true;
    case 19: IO.LoadFromStreamDCX(Stream); return true;
    case 20: IO.LoadFromStreamRAW(Stream); return true;
    case 21:
      if (!ByFormat) return false;
      IO.LoadFromStreamBMPRAW(Stream);
      return true;
    case 24: IO.LoadFromStreamPSD(Stream); return true;
    default: return false;
  }
}

// The stream save of a type; false when the type has none.
bool SaveByStream(TLumerakIO& IO, Integer Type, TStream* Stream) {
  switch (Type) {
    case 1: IO.SaveToStreamTIFF(Stream); return true;
    case 2: IO.SaveToStreamGIF(Stream); return true;
    case 3: IO.SaveToStreamJpeg(Stream); return true;
    case 4: IO.SaveToStreamPCX(Stream); return true;
    case 5: IO.SaveToStreamBMP(Stream); return true;
    case 6: IO.SaveToStreamICO(Stream); return true;
    case 8: IO.SaveToStreamPNG(Stream); return true;
    case 11: IO.SaveToStreamTGA(Stream); return true;
    case 12: IO.SaveToStreamPXM(Stream); return true;
    case 13: IO.SaveToStreamJP2(Stream); return true;
    case 14: IO.SaveToStreamJ2K(Stream); return true;
    case 16: IO.SaveToStreamWBMP(Stream); return true;
    case 17:
    case 18: Unsupported(IO); return true;
    case 19: IO.SaveToStreamDCX(Stream); return true;
    case 24: IO.SaveToStreamPSD(Stream); return true;
    default: return false;
  }
}

// The file saves of the built-in formats, by extension (dot included, lower
// case); the first row listing the extension decides.
struct TSaveRow {
  const char* Extensions[6];
  void (TLumerakIO::*Save)(const String&);
};

const TSaveRow kSaveRows[] = {
    {{".jpg", ".jpeg", ".jpe", ".jif"}, &TLumerakIO::SaveToFileJpeg},
    {{".jp2"}, &TLumerakIO::SaveToFileJP2},
    {{".j2k", ".jpc", ".j2c"}, &TLumerakIO::SaveToFileJ2K},
    {{".pcx"}, &TLumerakIO::SaveToFilePCX},
    {{".dcx"}, &TLumerakIO::SaveToFileDCX},
    {{".gif"}, &TLumerakIO::SaveToFileGIF},
    {{".tif", ".tiff", ".fax", ".g3f", ".g3n"}, &TLumerakIO::SaveToFileTIFF},
    {{".png"}, &TLumerakIO::SaveToFilePNG},
    {{".bmp", ".dib", ".rle"}, &TLumerakIO::SaveToFileBMP},
    {{".tga", ".targa", ".vda", ".icb", ".vst", ".win"}, &TLumerakIO::SaveToFileTGA},
    {{".pxm", ".pbm", ".pgm", ".ppm"}, &TLumerakIO::SaveToFilePXM},
    {{".ico"}, &TLumerakIO::SaveToFileICO},
    {{".wbmp"}, &TLumerakIO::SaveToFileWBMP},
    {{".ps", ".eps"}, nullptr},
    {{".pdf"}, nullptr},
    {{".psd"}, &TLumerakIO::SaveToFilePSD},
};

// The file save of a built-in type, for extensions of a built-in record that
// the extension rows do not list (".xif" of TIFF, ".pix" of Targa).
void (TLumerakIO::*SaveByType(Integer Type))(const String&) {
  for (const TSaveRow& row : kSaveRows) {
    if (!row.Save) continue;
    const String ext = row.Extensions[0];
    const PLKFileFormatInfo info = LKFileFormatGetInfo2(ext);
    if (info && info->BuiltIn && info->FormatType == Type) return row.Save;
  }
  return nullptr;
}

// The registry's reader on an open stream, with the steps every load takes:
// the alpha channel dropped before, a missing resolution made the default
// after, then the resolution adjustment and the view's resolution.
void RegistryRead(TLumerakIO& IO, TStream& S, PLKFileFormatInfo Info) {
  TLKBitmap* bmp = IO.GetLKBitmap();
  bmp->RemoveAlphaChannel();
  TProgressRec pr = lkio::MakeProgress(IO);
  Info->ReadProc(S, *bmp, *IO.GetIOParams(), pr, false);
  IO.CheckDPI();
  if (IO.GetAutoAdjustDPI()) IO.AdjustDPI();
  lkio::GiveViewResolution(IO);
}

// Clears what a registry load reports before it reads: the previous read's
// information, the file name and type. False (abort flag and finish
// reported) when the record cannot read.
bool RegistryLoadStart(TLumerakIO& IO, PLKFileFormatInfo Info) {
  TIOParamsVals& p = *IO.GetIOParams();
  p.FILENAME.clear();
  p.FILETYPE = 0;
  p.ResetInfo();
  if (Info->ReadProc) return true;
  IO.SetAborted(true);
  IO.DoFinishWork();
  return false;
}

// The codecs in parameters-only mode, by type; other types through the
// registry's reader with Preview set.
void ReadParams(TLumerakIO& IO, TStream& S, Integer Type, TProgressRec& Pr) {
  const TLKCodecEntries& c = LKCodecEntries();
  TLKBitmap& bmp = *IO.GetLKBitmap();
  TIOParamsVals& p = *IO.GetIOParams();
  TLKMask* rawMask = nullptr;
  Integer count = 0;
  auto missing = [&] {
    if (Pr.AbortFlag) Pr.AbortFlag->store(true);
  };
  switch (Type) {
    case 1: c.ReadTIFF ? c.ReadTIFF(S, bmp, count, p, Pr, true, rawMask, true, true, false) : missing(); break;
    case 2: c.ReadGIF ? c.ReadGIF(S, bmp, count, p, Pr, true, rawMask) : missing(); break;
    case 3: c.ReadJpeg ? c.ReadJpeg(S, bmp, p, Pr, true) : missing(); break;
    case 4: c.ReadPCX ? c.ReadPCX(S, bmp, p, S.Size(), Pr, true) : missing(); break;
    case 5: c.ReadBMP ? c.ReadBMP(S, bmp, S.Size(), p, Pr, true, rawMask, true) : missing(); break;
    case 6: c.ReadICO ? c.ReadICO(S, bmp, p, true, Pr, rawMask) : missing(); break;
    case 7: c.ReadCUR ? c.ReadCUR(S, bmp, p, true, Pr, rawMask) : missing(); break;
    case 8: c.ReadPNG ? c.ReadPNG(S, bmp, p, Pr, true) : missing(); break;
    case 11: c.ReadTGA ? c.ReadTGA(S, bmp, p, Pr, true, rawMask) : missing(); break;
    case 12: c.ReadPXM ? c.ReadPXM(S, bmp, p, Pr, true) : missing(); break;
    case 13:
    case 14: c.ReadJ2K ? c.ReadJ2K(S, bmp, p, Pr, true) : missing(); break;
    case 16: c.ReadWBMP ? c.ReadWBMP(S, bmp, p, Pr, true) : missing(); break;
    case 19: c.ReadDCX ? c.ReadDCX(S, bmp, p, Pr, true) : missing(); break;
    case 20: c.ReadCameraRAW ? c.ReadCameraRAW(S, bmp, p, Pr, true) : missing(); break;
    case 24: {
      if (!c.ReadPSD) {
        missing();
        break;
      }
      TList layers;
      c.ReadPSD(S, nullptr, p, Pr, false, &layers);
      break;
    }
    default: {
      const PLKFileFormatInfo info = LKFileFormatGetInfo(Type);
      if (info && info->ReadProc) info->ReadProc(S, bmp, p, Pr, true);
      break;
    }
  }
  delete rawMask;
}

}  // namespace

// ---------------------------------------------------------------------------
// Loads

void TLumerakIO::LoadFromFile(const String& FileName) {
  if (!GetLKBitmap()) return;
  if (FileName.empty()) {
    SetAborted(true);
    DoFinishWork();
    return;
  }
  if (LowerCase(FileName.substr(0, 7)) == "http://") return Unsupported(*this);
  const String ext = lkio::LowerExt(FileName);
  if (ext == ".avi") return Unsupported(*this);
  const PLKFileFormatInfo info = LKFileFormatGetInfo2(ext);
  if (!info) return;
  if (info->BuiltIn && LoadByFile(*this, info->FormatType, FileName, false)) return;

  if (!RegistryLoadStart(*this, info)) return;
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodFile([this](const String& F) { LoadFromFile(F); }), FileName);
    return;
  }
  SetAborted(true);
  if (!MakeConsistentBitmap({})) return;
  auto file = lkio::OpenForRead(FileName);
  SetAborted(false);
  TIOParamsVals& p = *GetIOParams();
  p.FILENAME = FileName;
  p.FILETYPE = info->FormatType;
  TLKBitmap* bmp = GetLKBitmap();
  bmp->RemoveAlphaChannel();
  try {
    TProgressRec pr = lkio::MakeProgress(*this);
    info->ReadProc(*file, *bmp, p, pr, false);
  } catch (...) {
    SetAborted(true);
  }
  if (!GetAborted()) {
    CheckDPI();
    if (GetAutoAdjustDPI()) AdjustDPI();
    lkio::GiveViewResolution(*this);
  }
  Update();
  file.reset();
  DoFinishWork();
}

void TLumerakIO::LoadFromFileFormat(const String& FileName, Integer FileType) {
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info) return;
  if (info->BuiltIn) {
    if (!LoadByFile(*this, FileType, FileName, true)) LoadFromFile(FileName);
    return;
  }
  if (!RegistryLoadStart(*this, info)) return;
  if (GetAsyncGate()) {
    new TLKIOThread(this,
                    TLKIOMethodFileFormat([this](const String& F, Integer T) { LoadFromFileFormat(F, T); }),
                    FileName, FileType);
    return;
  }
  WithFinish(*this, [&] {
    SetAborted(true);
    if (!MakeConsistentBitmap({})) return;
    auto file = lkio::OpenForRead(FileName);
    SetAborted(false);
    GetIOParams()->FILENAME = FileName;
    GetIOParams()->FILETYPE = FileType;
    RegistryRead(*this, *file, info);
    Update();
  });
}

void TLumerakIO::LoadFromFileAuto(const String& FileName) {
  const Integer type = FindFileFormat(FileName, false);
  if (type != 0)
    LoadFromFileFormat(FileName, type);
  else
    LoadFromFile(FileName);
}

void TLumerakIO::LoadFromStream(TStream* Stream) {
  if (!Stream) return;
  const Int64 start = Stream->Position();
  const Integer type = FindStreamFormat(*Stream);
  const PLKFileFormatInfo info = LKFileFormatGetInfo(type);
  if (!info) return;
  Stream->Seek(start, soBeginning);
  if (info->BuiltIn) {
    LoadByStream(*this, type, Stream, false);
    return;
  }
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodStream([this](TStream* S) { LoadFromStream(S); }), Stream);
    return;
  }
  if (!RegistryLoadStart(*this, info)) return;
  SetAborted(false);
  WithFinish(*this, [&] {
    if (!MakeConsistentBitmap({})) return;
    GetIOParams()->FILETYPE = type;
    RegistryRead(*this, *Stream, info);
    Update();
  });
}

void TLumerakIO::LoadFromStreamFormat(TStream* Stream, Integer FileType) {
  if (!Stream) return;
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info) return;
  if (info->BuiltIn) {
    LoadByStream(*this, FileType, Stream, true);
    return;
  }
  if (GetAsyncGate()) {
    new TLKIOThread(this,
                    TLKIOMethodStreamFormat([this](TStream* S, Integer T) { LoadFromStreamFormat(S, T); }),
                    Stream, FileType);
    return;
  }
  if (!RegistryLoadStart(*this, info)) return;
  SetAborted(false);
  WithFinish(*this, [&] {
    if (!MakeConsistentBitmap({})) return;
    GetIOParams()->FILETYPE = FileType;
    RegistryRead(*this, *Stream, info);
    Update();
  });
}

void TLumerakIO::LoadFromBuffer(const void* Buffer, Integer BufferSize, Integer FileType) {
  if (!Buffer || BufferSize < 0) return;
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
  if (FileName.empty()) return;
  const String ext = lkio::LowerExt(FileName);
  for (const TSaveRow& row : kSaveRows)
    for (const char* e : row.Extensions)
      if (e && ext == e) {
        if (row.Save)
          (this->*row.Save)(FileName);
        else
          Unsupported(*this);
        return;
      }

  const PLKFileFormatInfo info = LKFileFormatGetInfo2(ext);
  if (!info || !info->WriteProc) {
    SetAborted(true);
    return;
  }
  // A built-in record's extension missing from the rows above goes to that
  // format's own save, never to the record's capability marker.
  if (info->BuiltIn) {
    if (auto save = SaveByType(info->FormatType))
      (this->*save)(FileName);
    else
      SetAborted(true);
    return;
  }
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodFile([this](const String& F) { SaveToFile(F); }), FileName);
    return;
  }
  SetAborted(true);
  WithFinish(*this, [&] {
    if (!MakeConsistentBitmap({})) return;
    lkio::ConvertForSave(*this);
    lkio::TSaveFile file(FileName);
    SetAborted(false);
    TIOParamsVals& p = *GetIOParams();
    p.FILENAME = FileName;
    p.FILETYPE = info->FormatType;
    TProgressRec pr = lkio::MakeProgress(*this);
    info->WriteProc(*file.Stream(), *GetLKBitmap(), p, pr);
    p.FILENAME = FileName;
    file.CommitUnlessAborted(*this);
  });
}

void TLumerakIO::SaveToStream(TStream* Stream, Integer FileType) {
  if (SaveByStream(*this, FileType, Stream)) return;
  if (GetAsyncGate()) {
    new TLKIOThread(this, TLKIOMethodStreamFormat([this](TStream* S, Integer T) { SaveToStream(S, T); }), Stream,
                    FileType);
    return;
  }
  const PLKFileFormatInfo info = LKFileFormatGetInfo(FileType);
  if (!info || !info->WriteProc || !Stream) {
    SetAborted(true);
    return;
  }
  WithFinish(*this, [&] {
    SetAborted(false);
    if (!MakeConsistentBitmap({})) return;
    lkio::ConvertForSave(*this);
    GetIOParams()->FILETYPE = FileType;
    TProgressRec pr = lkio::MakeProgress(*this);
    info->WriteProc(*Stream, *GetLKBitmap(), *GetIOParams(), pr);
  });
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
  if (type != kCameraRAW) {
    // A plug-in that registered "RAW" (nothing at all when none did).
    if (type != 0) LoadFromStreamFormat(Stream, type);
    return;
  }
  WithFinish(*this, [&] {
    SetAborted(false);
    if (!MakeConsistentBitmap({})) return;
    TIOParamsVals& p = *GetIOParams();
    p.ResetInfo();
    TLKBitmap* bmp = GetLKBitmap();
    bmp->RemoveAlphaChannel();
    TProgressRec pr = lkio::MakeProgress(*this);
    auto read = LKCodecEntries().ReadCameraRAW;
    if (read && Stream)
      read(*Stream, *bmp, p, pr, false);
    else
      SetAborted(true);
    CheckDPI();
    if (GetAutoAdjustDPI()) AdjustDPI();
    p.FILENAME.clear();
    p.FILETYPE = kCameraRAW;
    lkio::GiveViewResolution(*this);
    Update();
  });
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

namespace {
void PrepareFileDialog(TLumerakIO& IO, TLKFileDialog& D, const String& InitialDir, const String& InitialFileName,
                       bool AlwaysAnimate, Integer FilterIndex, const String& ExtendedFilters) {
  D.InitialDir = InitialDir;
  D.FileName = InitialFileName;
  D.AlwaysAnimate = AlwaysAnimate;
  D.EnableSizing = true;
  D.PreviewBorderStyle = lkpsCropShadow;
  D.FilterIndex = FilterIndex;
  D.AutoAdjustDPI = IO.GetAutoAdjustDPI();
  D.FilteredAdjustDPI = IO.GetFilteredAdjustDPI();
  D.ExtendedFilters = ExtendedFilters;
  D.MsgLanguage = IO.GetMsgLanguage();
}
}  // namespace

String TLumerakIO::ExecuteOpenDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                                     Integer FilterIndex, const String& ExtendedFilters) {
  TLKIODialogs* dialogs = LKGetIODialogs();
  if (!dialogs) return String();
  std::unique_ptr<TLKFileDialog> dialog = dialogs->CreateOpenDialog(this);
  if (!dialog) return String();
  PrepareFileDialog(*this, *dialog, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters);
  if (!dialog->Execute()) return String();
  GetIOParams()->SetImageIndex(dialog->SelectedImage);
  return dialog->FileName;
}

String TLumerakIO::ExecuteSaveDialog(const String& InitialDir, const String& InitialFileName, bool AlwaysAnimate,
                                     Integer FilterIndex, const String& ExtendedFilters) {
  TLKIODialogs* dialogs = LKGetIODialogs();
  if (!dialogs) return String();
  std::unique_ptr<TLKFileDialog> dialog = dialogs->CreateSaveDialog(this);
  if (!dialog) return String();
  PrepareFileDialog(*this, *dialog, InitialDir, InitialFileName, AlwaysAnimate, FilterIndex, ExtendedFilters);
  dialog->AttachedLumerakIO = this;
  if (!dialog->Execute()) return String();
  return dialog->FileName;
}

bool TLumerakIO::DoPreviews(TPreviewParams Pages) {
  if (OnDoPreviews) {
    bool handled = false;
    OnDoPreviews(this, handled);
    if (handled) return true;
  }
  if (!MakeConsistentBitmap({})) return false;
  lkio::ConvertForSave(*this);
  TLKIODialogs* dialogs = LKGetIODialogs();
  if (!dialogs) return false;
  std::unique_ptr<TLKPreviewsForm> form = dialogs->CreatePreviewsForm(this);
  if (!form) return false;
  form->LockPreview = (FPreviewsParams & PreviewsOption(ioppDefaultLockPreview)) != 0;
  form->ApplyButtonVisible = (FPreviewsParams & PreviewsOption(ioppApplyButton)) != 0;
  form->Params = GetIOParams();
  form->Simplified = FSimplifiedParamsDialogs;
  if (FSimplifiedParamsDialogs) {
    form->PageControlHeight = LKTrunc(ScreenPixelsPerInch * 61.0 / 48.0);
    form->FormHeight = LKTrunc(ScreenPixelsPerInch * 3.75);
  }
  form->DitherMethod = GetDefaultDitherMethod();
  form->SetLanguage(FMsgLanguage);
  form->Font = GetPreviewFont();
  form->ShowPicture(GetLKBitmap());
  bool result = false;
  try {
    if (form->SetPreviewParams(Pages)) {
      if (OnIOPreview) OnIOPreview(this, form.get());
      result = form->ShowModal();
    }
  } catch (...) {
    form->ReleasePicture();
    throw;
  }
  form->ReleasePicture();
  form.reset();
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
