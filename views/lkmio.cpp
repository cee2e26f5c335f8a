#include "views/lkmio.h"

#include <algorithm>
#include <cstdio>

#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"
#include "io/lkadjustdpi.h"
#include "io/lkdetect.h"
#include "io/lkfileformats.h"
#include "io/lkformatrow.h"
#include "io/lkmultipage.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"
#include "views/lumerakmview.h"

namespace {

String LowerExtension(const String& Name) {
  const size_t slash = Name.rfind('/');
  const size_t dot = Name.rfind('.');
  if (dot == String::npos || (slash != String::npos && dot < slash)) return String();
  String e = Name.substr(dot);
  std::transform(e.begin(), e.end(), e.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return e;
}

}  // namespace

Integer LKMGetFileFramesCount(const String& FileName) {
  PLKFileFormatInfo info = LKFileFormatGetInfo2(LowerExtension(FileName));
  // Frames of video files are not read yet: they count none.
  if (info == nullptr || info->FormatType == lkftAVI || info->ReadProc == nullptr) return 0;
  return LKGetFileFramesCount(FileName);
}

TLumerakMIO::TLumerakMIO(TComponent* Owner) : TComponent(Owner) {}

TLumerakMIO::~TLumerakMIO() {
  // A modeless scan must not call back into a component that is gone.
  AcquireClose();
  SetAttachedMView(nullptr);
}

void TLumerakMIO::SetAttachedMView(TLumerakMView* View) {
  if (FView != nullptr && FRegistration >= 0) FView->RemoveBitmapChangeEvent(FRegistration);
  FRegistration = -1;
  FView = View;
  if (FView == nullptr) return;
  FRegistration = FView->RegisterBitmapChangeEvent([this](TObject* Sender, bool Destroying) {
    OnBitmapChange(Sender, Destroying);
  });
  while (GetParamsCount() < FView->GetImageCount()) InsertIOParam(GetParamsCount());
}

void TLumerakMIO::OnBitmapChange(TObject*, bool Destroying) {
  if (Destroying) {
    FView = nullptr;
    FRegistration = -1;
    return;
  }
  if (FView == nullptr) return;
  switch (FView->GetLastOp()) {
    case 1: InsertIOParam(FView->GetLastOpIdx()); break;
    case 2: RemoveIOParam(FView->GetLastOpIdx()); break;
    case 3: MoveIOParams(FView->GetLastOpIdx(), FView->GetLastOpP1()); break;
    case 4: SwapIOParams(FView->GetLastOpIdx(), FView->GetLastOpP1()); break;
    default: break;
  }
}

void TLumerakMIO::Update() {
  if (FView == nullptr) return;
  FView->Update();
  FView->ImageChange();
}

void TLumerakMIO::DoFinishWork() {
  if (OnProgress) OnProgress(this, 100);
  if (OnFinishWork) OnFinishWork(this);
}

TIOParamsVals* TLumerakMIO::GetParams(Integer Idx) const {
  if (Idx < 0 || Idx >= GetParamsCount()) return nullptr;
  std::unique_ptr<TIOParamsVals>& rec = FParams[static_cast<size_t>(Idx)];
  if (!rec) rec = std::make_unique<TIOParamsVals>();
  return rec.get();
}

void TLumerakMIO::InsertIOParam(Integer Idx) {
  // A record not yet made holds the defaults: a new one next to it needs
  // no record of its own either.
  std::unique_ptr<TIOParamsVals> rec;
  if (!FParams.empty()) {
    const TIOParamsVals* from = (Idx >= 0 && Idx < GetParamsCount() ? FParams[static_cast<size_t>(Idx)] : FParams.back()).get();
    if (from != nullptr) {
      rec = std::make_unique<TIOParamsVals>();
      rec->AssignCompressionInfo(from);
    }
  }
  if (Idx >= 0 && Idx < GetParamsCount())
    FParams.insert(FParams.begin() + Idx, std::move(rec));
  else
    FParams.push_back(std::move(rec));
}

void TLumerakMIO::ReleaseIOParam(Integer Idx) {
  if (Idx >= 0 && Idx < GetParamsCount()) FParams[static_cast<size_t>(Idx)].reset();
}

void TLumerakMIO::RemoveIOParam(Integer Idx) {
  if (Idx >= 0 && Idx < GetParamsCount()) FParams.erase(FParams.begin() + Idx);
}

void TLumerakMIO::MoveIOParams(Integer Idx, Integer Destination) {
  if (Idx < 0 || Idx >= GetParamsCount() || Destination < 0 || Idx == Destination) return;
  auto rec = std::move(FParams[static_cast<size_t>(Idx)]);
  FParams.erase(FParams.begin() + Idx);
  if (Destination >= GetParamsCount())
    FParams.push_back(std::move(rec));
  else
    FParams.insert(FParams.begin() + Destination, std::move(rec));
}

void TLumerakMIO::SwapIOParams(Integer Idx1, Integer Idx2) {
  if (GetParams(Idx1) == nullptr || GetParams(Idx2) == nullptr) return;
  std::swap(FParams[static_cast<size_t>(Idx1)], FParams[static_cast<size_t>(Idx2)]);
}

void TLumerakMIO::DuplicateCompressionInfo() {
  if (FParams.empty()) return;
  TIOParamsVals first;
  if (FParams[0]) first.AssignCompressionInfo(FParams[0].get());
  for (Integer i = 1; i < GetParamsCount(); ++i)
    if (FParams[0] || FParams[static_cast<size_t>(i)]) GetParams(i)->AssignCompressionInfo(&first);
}

// ---------------------------------------------------------------------------
// Loading
// ---------------------------------------------------------------------------

void TLumerakMIO::LoadPages(TStream* Stream, Integer FileType, const String& Name) {
  if (FView == nullptr) return;
  FView->LockPaint();
  FAborted = false;
  try {
    const Int64 p0 = Stream->GetPosition();
    const TLKPageOps* ops = LKPageOpsOf(FileType);
    Integer n = 1;
    if (ops != nullptr && ops->Count != nullptr) n = ops->Count(*Stream);
    Stream->SetPosition(p0);
    if (n <= 0) FAborted = true;
    const Integer at = FView->GetSelectedImage() >= 0 ? FView->GetSelectedImage() : FView->GetImageCount();
    Integer lastDelay = 100;
    for (Integer i = 0; i < n && !FAborted; ++i) {
      const Integer idx = std::min(at + i, FView->GetImageCount());
      FView->InsertImageEx(idx);
      TLumerakIO io;
      TLKBitmap bitmap;
      io.SetAttachedLKBitmap(&bitmap);
      io.GetIOParams()->SetImageIndex(i);
      Stream->SetPosition(p0);
      try {
        io.LoadFromStreamFormat(Stream, FileType);
      } catch (...) {
        io.SetAborted(true);
      }
      io.SetAttachedLKBitmap(nullptr);
      if (io.GetAborted() || bitmap.IsEmpty()) {
        // A page that cannot be read ends the load; pages read before stay.
        FAborted = true;
        FView->DeleteImageNU(idx);
        break;
      }
      if (AutoAdjustDPI) {
        TLKBitmap* adjusted = LKAdjustDPI(&bitmap, io.GetIOParams(), false);
        if (adjusted != &bitmap) {
          bitmap.Assign(adjusted);
          delete adjusted;
        }
      }
      TIOParamsVals* rec = GetParams(idx);
      rec->Assign(io.GetIOParams());
      rec->SetImageIndex(idx);
      rec->FILETYPE = FileType;
      rec->FILENAME = Name;
      if (FileType == lkftGIF) {
        // The stored picture is the whole composed canvas.
        if (n > 1) {
          rec->GIF_Disposal = ioGIF_DrawBackground;
          rec->GIF_XPOS = rec->GIF_YPOS = 0;
        }
        if (rec->GIF_DELAYTIME > 0) lastDelay = rec->GIF_DELAYTIME * 10;
        FView->SetImageDelayTime(idx, lastDelay);
      }
      FView->SetLKBitmapEx(idx, &bitmap);
      FView->SetImageOriginalWidth(idx, bitmap.GetWidth());
      FView->SetImageOriginalHeight(idx, bitmap.GetHeight());
      if (OnProgress) OnProgress(this, static_cast<Integer>((i + 1) * 100.0 / n));
    }
  } catch (...) {
    FView->UnLockPaint();
    DoFinishWork();
    throw;
  }
  FView->UnLockPaint();
  DoFinishWork();
}

void TLumerakMIO::LoadFileAs(const String& FileName, Integer FileType) {
  if (FView == nullptr) return;
  FAborted = false;
  std::unique_ptr<TFileStream> s;
  try {
    s = std::make_unique<TFileStream>(FileName, fmOpenRead);
  } catch (...) {
    FAborted = true;
    return;
  }
  LoadPages(s.get(), FileType, String());
}

void TLumerakMIO::LoadFromFileGIF(const String& FileName) { LoadFileAs(FileName, lkftGIF); }
void TLumerakMIO::LoadFromFileTIFF(const String& FileName) { LoadFileAs(FileName, lkftTIFF); }
void TLumerakMIO::LoadFromFileICO(const String& FileName) { LoadFileAs(FileName, lkftICO); }
void TLumerakMIO::LoadFromFileDCX(const String& FileName) { LoadFileAs(FileName, lkftDCX); }
void TLumerakMIO::LoadFromStreamGIF(TStream* Stream) { LoadPages(Stream, lkftGIF, String()); }
void TLumerakMIO::LoadFromStreamTIFF(TStream* Stream) { LoadPages(Stream, lkftTIFF, String()); }
void TLumerakMIO::LoadFromStreamICO(TStream* Stream) { LoadPages(Stream, lkftICO, String()); }
void TLumerakMIO::LoadFromStreamDCX(TStream* Stream) { LoadPages(Stream, lkftDCX, String()); }

void TLumerakMIO::LoadFromFile(const String& FileName) {
  String trimmed = FileName;
  trimmed.erase(0, trimmed.find_first_not_of(" \t"));
  if (trimmed.empty()) {
    FAborted = true;
    return;
  }
  String scheme = trimmed.substr(0, 7);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (scheme == "http://") return LoadFromURL(FileName);
  FAborted = false;
  const String ext = LowerExtension(FileName);
  if (ext == ".gif") return LoadFromFileGIF(FileName);
  if (ext == ".tif" || ext == ".tiff" || ext == ".fax" || ext == ".g3f" || ext == ".g3n" || ext == ".xif")
    return LoadFromFileTIFF(FileName);
  if (ext == ".ico") return LoadFromFileICO(FileName);
  if (ext == ".dcx") return LoadFromFileDCX(FileName);
  if (ext == ".avi") return LoadFromFileAVI(FileName);
  if (IsKnownFormat(FileName) && FView != nullptr) {
    const Integer at = FView->GetSelectedImage() >= 0 ? FView->GetSelectedImage() : FView->GetImageCount();
    FView->InsertImageEx(at);
    FAborted = !FView->SetImageFromFile(std::min(at, FView->GetImageCount() - 1), FileName);
    return;
  }
  LoadFromMediaFile(FileName);
}

void TLumerakMIO::LoadFromFileFormat(const String& FileName, Integer FileType) {
  switch (FileType) {
    case lkftTIFF: return LoadFromFileTIFF(FileName);
    case lkftGIF: return LoadFromFileGIF(FileName);
    case lkftICO: return LoadFromFileICO(FileName);
    case lkftDCX: return LoadFromFileDCX(FileName);
    case lkftAVI: return LoadFromFileAVI(FileName);
    default: return LoadFromFile(FileName);
  }
}

void TLumerakMIO::LoadFromFileAuto(const String& FileName) {
  const Integer t = FindFileFormat(FileName, false);
  if (t == 0)
    LoadFromFile(FileName);
  else
    LoadFromFileFormat(FileName, t);
}

// ---------------------------------------------------------------------------
// Saving
// ---------------------------------------------------------------------------

void TLumerakMIO::SavePages(const String& FileName, Integer FileType) {
  if (FView == nullptr) return;
  FAborted = false;
  if (FView->GetImageCount() == 0) {
    DoFinishWork();
    return;
  }
  // The pages are gathered in a file of our own; the target is replaced
  // only once every page is written.
  const String temp = LKGetTempFileName2();
  const Integer n = FView->GetImageCount();
  try {
    for (Integer i = 0; i < n && !FAborted; ++i) {
      TLKBitmap bitmap;
      FView->CopyToLKBitmap(i, &bitmap);
      TLumerakIO io;
      io.SetAttachedLKBitmap(&bitmap);
      io.SetDefaultDitherMethod(DefaultDitherMethod);
      if (TIOParamsVals* rec = GetParams(i)) io.GetIOParams()->Assign(rec);
      io.GetIOParams()->SetImageIndex(i);
      if (FileType == lkftGIF) io.GetIOParams()->GIF_DELAYTIME = FView->GetImageDelayTime(i) / 10;
      if (i == 0) {
        TFileStream out(temp, fmCreate);
        io.SaveToStream(&out, FileType);
      } else if (FileType == lkftTIFF) {
        if (io.InsertToFileTIFF(temp) <= 0) io.SetAborted(true);
      } else if (FileType == lkftGIF) {
        if (io.InsertToFileGIF(temp) <= 0) io.SetAborted(true);
      } else {
        io.InsertToFileDCX(temp);
      }
      io.SetAttachedLKBitmap(nullptr);
      if (io.GetAborted()) FAborted = true;
      if (OnProgress) OnProgress(this, static_cast<Integer>((i + 1) * 100.0 / n));
    }
    if (!FAborted)
      WriteFileAtomically(FileName, [&](TStream* out) {
        TFileStream in(temp, fmOpenRead);
        out->CopyFrom(&in, 0);
      });
  } catch (...) {
    FAborted = true;
  }
  std::remove(temp.c_str());
  DoFinishWork();
}

void TLumerakMIO::SaveDocument(const String& FileName, bool Pdf) {
  if (FView == nullptr) return;
  FAborted = false;
  if (FView->GetImageCount() == 0) {
    DoFinishWork();
    return;
  }
  TLumerakIO io;
  TLKBitmap bitmap;
  io.SetAttachedLKBitmap(&bitmap);
  const Integer n = FView->GetImageCount();
  try {
    if (Pdf)
      io.CreatePDFFile(FileName);
    else
      io.CreatePSFile(FileName);
    for (Integer i = 0; i < n && !io.GetAborted(); ++i) {
      FView->CopyToLKBitmap(i, &bitmap);
      io.SetDefaultDitherMethod(DefaultDitherMethod);
      if (TIOParamsVals* rec = GetParams(i)) io.GetIOParams()->Assign(rec);
      if (Pdf)
        io.SaveToPDF();
      else
        io.SaveToPS();
      if (OnProgress) OnProgress(this, static_cast<Integer>((i + 1) * 100.0 / n));
    }
    if (Pdf)
      io.ClosePDFFile();
    else
      io.ClosePSFile();
  } catch (...) {
    io.SetAborted(true);
  }
  FAborted = io.GetAborted();
  io.SetAttachedLKBitmap(nullptr);
  DoFinishWork();
}

void TLumerakMIO::SaveToFileGIF(const String& FileName) { SavePages(FileName, lkftGIF); }
void TLumerakMIO::SaveToFileTIFF(const String& FileName) { SavePages(FileName, lkftTIFF); }
void TLumerakMIO::SaveToFileDCX(const String& FileName) { SavePages(FileName, lkftDCX); }
void TLumerakMIO::SaveToFilePS(const String& FileName) { SaveDocument(FileName, false); }
void TLumerakMIO::SaveToFilePDF(const String& FileName) { SaveDocument(FileName, true); }

void TLumerakMIO::SaveToFile(const String& FileName) {
  const String ext = LowerExtension(FileName);
  if (ext == ".gif") return SaveToFileGIF(FileName);
  if (ext == ".tif" || ext == ".tiff" || ext == ".fax" || ext == ".g3f" || ext == ".g3n") return SaveToFileTIFF(FileName);
  if (ext == ".dcx") return SaveToFileDCX(FileName);
  if (ext == ".ps" || ext == ".eps") return SaveToFilePS(FileName);
  if (ext == ".pdf") return SaveToFilePDF(FileName);
  if (ext == ".avi") return SaveToFileAVI(FileName, "");
  // No multi-page writer for that extension: saving nothing is a failure.
  FAborted = true;
}
