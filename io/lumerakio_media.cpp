// Frames of media files through the media framework (platform/gstmedia.h).

#include <cmath>
#include <cstring>

#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"
#include "io/lumerakio.h"
#include "io/lumerakio_frame.h"

bool TLumerakIO::IsOpenMediaFile() const { return FMedia && FMedia->IsOpen(); }

void TLumerakIO::CloseMediaFile() { FMedia.reset(); }

Integer TLumerakIO::OpenMediaFile(const String& FileName) {
  CloseMediaFile();
  auto media = std::make_unique<TGstMediaFile>();
  if (!media->Open(FileName)) {
    SetAbortedWith(FileName + ": " + media->Error());
    return 0;
  }
  const Int64 frames = media->FrameCount();
  if (frames <= 0 || media->DurationNs() <= 0) {
    SetAbortedWith(FileName + ": the media file states no length");
    return 0;
  }
  const Integer count = Integer(std::min<Int64>(frames, 0x7FFFFFFF));
  FMediaDelay = double(media->DurationNs()) / 1e6 / double(count);
  FMedia = std::move(media);
  SetAborted(false);
  TIOParamsVals& p = *GetIOParams();
  p.MEDIAFILE_FRAMECOUNT = count;
  p.FILETYPE = 0;
  p.FILENAME = FileName;
  p.WIDTH = FMedia->Width();
  p.HEIGHT = FMedia->Height();
  return count;
}

void TLumerakIO::LoadFromMediaFile(Integer Index) {
  if (!IsOpenMediaFile()) return;
  TIOParamsVals& p = *GetIOParams();
  p.SetImageIndex(Index);
  // The middle of the frame, by the frame length the stream states, else by
  // an even share of the length: a frame length rounded to whole
  // nanoseconds (30000/1001 per second) would put the frame's start inside
  // the frame before after a few hundred frames.
  const Int64 frameNs = FMedia->FrameNs() > 0 ? FMedia->FrameNs()
                                              : FMedia->DurationNs() / std::max<Int64>(1, FMedia->FrameCount());
  TGstFrame f;
  if (Index < 0 || !FMedia->FrameAt(Int64(Index) * frameNs + frameNs / 2, f))
    return SetAbortedWith("frame " + std::to_string(Index) + " of the media file cannot be had");
  TProgressRec pr = lkio::MakeSilentProgress(*this);
  if (!LKAllowPicture(f.Width, f.Height, 24, pr, "media frame") || !MakeConsistentBitmap(TLKPixelFormatSet())) return;
  TLKBitmap* b = GetLKBitmap();
  b->Allocate(f.Width, f.Height, lk24RGB);
  for (Integer y = 0; y < f.Height; ++y)
    std::memcpy(b->GetScanLine(y), f.Pixels.data() + size_t(y) * size_t(f.Stride), size_t(f.Width) * 3);
  p.MEDIAFILE_FRAMEDELAYTIME = Integer(std::nearbyint(std::min(FMediaDelay, 2147483647.0)));
  Update();
}
