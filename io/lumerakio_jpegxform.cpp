// The I/O unit's JPEG services that work on the compressed stream: lossless
// transforms of streams and files, the quality estimate and the injection
// of IPTC and EXIF data into existing JPEG files and streams.
#include <functional>
#include <memory>
#include <vector>

#include "codecs/jpeg/jpegxform.h"
#include "io/lkjpegtransform.h"
#include "io/lumerakio.h"
#include "platform/atomicfile.h"
#include "platform/sysutils.h"

namespace {

// Runs Write on a new file beside Target and renames it over Target when
// Write returns true; otherwise the new file is removed and Target is left
// as it was. False when the file cannot be made, Write fails or raises, or
// the rename fails.
bool SaveBeside(const String& Target, const std::function<bool(TStream*)>& Write) {
  try {
    TAtomicFile file(Target);
    if (!Write(file.Stream())) return false;
    file.Commit();
    return true;
  } catch (...) {
    return false;
  }
}

using TInjector = std::function<bool(TStream* In, TStream* Out, TProgressRec& Progress)>;

// The file form of both injections: the whole file in memory, the copy in a
// second memory stream saved over the file only when the injector succeeded.
bool InjectFile(TLumerakIO& IO, const String& FileName, const TInjector& Inject) {
  IO.SetAborted(false);
  TProgressRec progress;
  progress.OnProgress = IO.GetProgressHook();
  progress.Sender = &IO;
  progress.AbortFlag = IO.GetAbortedFlag();
  // A file that cannot be read raises the file stream's error.
  auto source = std::make_unique<TMemoryStream>();
  source->LoadFromFile(FileName);
  source->SetPosition(0);
  auto target = std::make_unique<TMemoryStream>();
  target->SetCapacity(source->GetSize());
  bool ok = Inject(source.get(), target.get(), progress);
  source.reset();
  if (ok) {
    ok = SaveBeside(FileName, [&](TStream* Out) {
      const Int64 size = target->GetSize();
      return Out->Write(target->GetMemory(), static_cast<Integer>(size)) == size;
    });
  }
  IO.DoFinishWork();
  return ok;
}

}  // namespace

bool JpegLosslessTransformStream(TStream* In, TStream* Out, TLKJpegTransform Transform, bool Grayscale,
                                 TLKJpegCopyMarkers CopyMarkers, const TRect& Cut) {
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  LKJpegLosslessTransform(In, Out, progress, Transform, Grayscale, CopyMarkers, Cut);
  return !abort.load();
}

bool JpegLosslessTransform(const String& InFile, const String& OutFile, TLKJpegTransform Transform, bool Grayscale,
                           TLKJpegCopyMarkers CopyMarkers, const TRect& Cut) {
  std::unique_ptr<TFileStream> in;
  try {
    in = std::make_unique<TFileStream>(InFile, fmOpenRead | fmShareDenyWrite);
  } catch (const EStreamError&) {
    return false;
  }
  return SaveBeside(OutFile, [&](TStream* Out) {
    return JpegLosslessTransformStream(in.get(), Out, Transform, Grayscale, CopyMarkers, Cut);
  });
}

bool JpegLosslessTransform2(const String& FileName, TLKJpegTransform Transform, bool Grayscale,
                            TLKJpegCopyMarkers CopyMarkers, const TRect& Cut) {
  return JpegLosslessTransform(FileName, FileName, Transform, Grayscale, CopyMarkers, Cut);
}

Integer LKCalcJpegStreamQuality(TStream* Stream) {
  std::vector<Integer> values;
  const Integer count = LKGetJpegQuality(Stream, values);
  if (count == 0) return 0;
  Int64 sum = 0;
  for (Integer i = 0; i < count; ++i) sum += values[static_cast<std::size_t>(i)];
  return static_cast<Integer>(sum / count);
}

Integer LKCalcJpegFileQuality(const String& FileName) {
  TFileStream fs(FileName, fmOpenRead | fmShareDenyWrite);
  return LKCalcJpegStreamQuality(&fs);
}

bool TLumerakIO::InjectJpegIPTC(const String& FileName) {
  return InjectFile(*this, FileName, [this](TStream* In, TStream* Out, TProgressRec& Progress) {
    return LKJpegInjectIPTC(In, Out, GetIOParams()->IPTC_Records, Progress);
  });
}

bool TLumerakIO::InjectJpegEXIF(const String& FileName) {
  return InjectFile(*this, FileName, [this](TStream* In, TStream* Out, TProgressRec& Progress) {
    return LKJpegInjectEXIF(In, Out, *GetIOParams(), Progress);
  });
}

bool TLumerakIO::InjectJpegIPTCStream(TStream* Source, TStream* Target) {
  TProgressRec progress;
  return LKJpegInjectIPTC(Source, Target, GetIOParams()->IPTC_Records, progress);
}

bool TLumerakIO::InjectJpegEXIFStream(TStream* Source, TStream* Target) {
  TProgressRec progress;
  return LKJpegInjectEXIF(Source, Target, *GetIOParams(), progress);
}
