// The multi-image component's video and address roads: every frame of an
// AVI file or of a video file the media framework plays becomes an entry,
// the entries become the frames of an AVI file, and pictures load from
// "http://" addresses, multi-page ones page by page.

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "core/lkbitmap.h"
#include "core/lkfilebuffer.h"
#include "core/lklists.h"
#include "io/lkdetect.h"
#include "io/lkformatrow.h"
#include "io/lkurlfetch.h"
#include "io/lumerakio.h"
#include "platform/classes.h"
#include "views/lkmio.h"
#include "views/lumerakmview.h"

// Only letters, digits, '+' and '-': no server can put a path into the
// name of the file written for it.
String LKMExtensionOfContentType(const String& ContentType) {
  const size_t slash = ContentType.find('/');
  if (slash == String::npos) return String();
  String ext;
  for (size_t i = slash + 1; i < ContentType.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(ContentType[i]);
    if (c == ';' || std::isspace(c)) break;
    if (std::isalnum(c) || c == '+' || c == '-') ext += static_cast<char>(std::tolower(c));
  }
  return ext;
}

void TLumerakMIO::LoadFrames(TLumerakIO& Io, Integer Count, bool Avi, const String& FileName) {
  const Integer at = FView->GetSelectedImage() >= 0 ? FView->GetSelectedImage() : FView->GetImageCount();
  for (Integer i = 0; i < Count && !FAborted; ++i) {
    TLKBitmap bitmap;
    Io.SetAttachedLKBitmap(&bitmap);
    if (Avi)
      Io.LoadFromAVI(i);
    else
      Io.LoadFromMediaFile(i);
    Io.SetAttachedLKBitmap(nullptr);
    // A frame that cannot be had ends the load; frames read before stay.
    if (Io.GetAborted() || bitmap.IsEmpty()) {
      FAborted = true;
      break;
    }
    const Integer idx = std::min(at + i, FView->GetImageCount());
    FView->InsertImageEx(idx);
    const TIOParamsVals& p = *Io.GetIOParams();
    const Integer delay = Avi ? p.AVI_FrameDelayTime : p.MEDIAFILE_FRAMEDELAYTIME;
    TIOParamsVals* rec = GetParams(idx);
    rec->Assign(&p);
    rec->SetImageIndex(idx);
    rec->FILETYPE = 0;
    rec->FILENAME = FileName;
    rec->SetColorMapCount(0);
    if (Avi) rec->GIF_DELAYTIME = delay;
    if (i == 0 && Count > 1)
      FView->PrepareSpaceFor(bitmap.GetWidth(), bitmap.GetHeight(), Count - 1, bitmap.GetBitCount());
    FView->SetLKBitmapEx(idx, &bitmap);
    FView->SetImageOriginalWidth(idx, bitmap.GetWidth());
    FView->SetImageOriginalHeight(idx, bitmap.GetHeight());
    FView->SetImageDelayTime(idx, delay);
    if (OnProgress) OnProgress(this, static_cast<Integer>((i + 1) * 100.0 / Count));
  }
}

void TLumerakMIO::LoadVideo(const String& FileName, bool Avi) {
  FAborted = false;
  TLumerakIO io;
  const Integer n = Avi ? io.OpenAVIFile(FileName) : io.OpenMediaFile(FileName);
  if (n <= 0) {
    if (Avi) {
      // Frames the AVI reader cannot read may still play as media.
      io.CloseAVIFile();
      return LoadVideo(FileName, false);
    }
    FAborted = true;
    DoFinishWork();
    return;
  }
  FView->LockPaint();
  try {
    LoadFrames(io, n, Avi, FileName);
  } catch (...) {
    FAborted = true;
  }
  if (Avi)
    io.CloseAVIFile();
  else
    io.CloseMediaFile();
  Update();
  FView->UnLockPaint();
  DoFinishWork();
}

void TLumerakMIO::LoadFromFileAVI(const String& FileName) {
  if (FView != nullptr) LoadVideo(FileName, true);
}

void TLumerakMIO::LoadFromMediaFile(const String& FileName) {
  if (FView != nullptr) LoadVideo(FileName, false);
}

void TLumerakMIO::SaveToFileAVI(const String& FileName, const String& Codec) {
  if (FView == nullptr || FView->GetImageCount() == 0) return;
  FAborted = false;
  TLumerakIO io;
  TLKBitmap bitmap;
  io.SetAttachedLKBitmap(&bitmap);
  if (const TIOParamsVals* rec = GetParams(0)) {
    io.GetIOParams()->BITSPERSAMPLE = rec->BITSPERSAMPLE;
    io.GetIOParams()->SAMPLESPERPIXEL = rec->SAMPLESPERPIXEL;
  }
  const Integer n = FView->GetImageCount();
  try {
    io.CreateAVIFile(FileName, 1000 / std::max(FView->GetImageDelayTime(0), 1), Codec);
    for (Integer i = 0; i < n && !io.GetAborted() && !FAborted; ++i) {
      FView->CopyToLKBitmap(i, &bitmap);
      io.SaveToAVI();
      if (OnProgress) OnProgress(this, static_cast<Integer>((i + 1) * 100.0 / n));
    }
    io.CloseAVIFile();
  } catch (...) {
    io.SetAborted(true);
  }
  FAborted = FAborted || io.GetAborted();
  io.SetAttachedLKBitmap(nullptr);
}

void TLumerakMIO::LoadFromURL(const String& URL) {
  FAborted = false;
  String scheme = URL.substr(0, 7);
  std::transform(scheme.begin(), scheme.end(), scheme.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  if (scheme != "http://" || FView == nullptr) {
    FAborted = true;
    DoFinishWork();
    return;
  }
  TLKUrlFetch got = LKFetchURL(URL, ProxyServer, ProxyUserName, ProxyUserPassword, [this] { return FAborted; },
                               [this](Integer Percent) {
                                 if (OnProgress) OnProgress(this, Percent);
                               });
  if (!got.Ok) {
    FAborted = true;
    DoFinishWork();
    return;
  }
  TLKMemStream s(got.Body.data(), Int64(got.Body.size()));
  const Integer type = FindStreamFormat(s);
  s.SetPosition(0);
  if (type == lkftTIFF || type == lkftGIF || type == lkftICO || type == lkftDCX) return LoadPages(&s, type, String());
  // Other pictures load by the name the content type gives them.
  const String temp = LKGetTempFileName2() + "." + LKMExtensionOfContentType(got.ContentType);
  try {
    TFileStream out(temp, fmCreate);
    out.WriteBuffer(got.Body.data(), Integer(got.Body.size()));
  } catch (...) {
    std::remove(temp.c_str());
    FAborted = true;
    DoFinishWork();
    return;
  }
  LoadFromFile(temp);
  std::remove(temp.c_str());
}
