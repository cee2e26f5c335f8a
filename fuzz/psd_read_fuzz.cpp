// Fuzz target for the PSD reader: merged picture only, and with layers;
// then the format row's read job as the I/O component runs it, without a
// layer list (a lone layer lends the picture its transparency) and with one
// (the road that hands the layers to a view).
#include <atomic>
#include <cstdint>

#include "codecs/lkcodecutil.h"
#include "codecs/psd/psdfilt.h"
#include "io/lkformatrow.h"
#include "platform/classes.h"
#include "core/lklayer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  LKSetAllocationLimit(Int64{1} << 26);
  TMemoryStream ms;
  if (size > 0) ms.Write(data, static_cast<Integer>(size));
  std::atomic<bool> abort{false};
  TProgressRec progress;
  progress.AbortFlag = &abort;
  TIOParamsVals params;
  params.ISNATIVEPIXELFORMAT = size && (data[size - 1] & 1);
  TLKBitmap bmp;
  ms.SetPosition(0);
  LKReadPSD(&ms, &bmp, params, progress, false, nullptr);
  TList layers;
  TLKBitmap merged;
  abort = false;
  ms.SetPosition(0);
  LKReadPSD(&ms, &merged, params, progress, true, &layers);
  for (Integer i = 0; i < layers.GetCount(); ++i) delete static_cast<TLKLayer*>(layers.Get(i));
  const TLKFormatRow& row = *LKFormatRowOf(lkftPSD);
  for (bool layered : {false, true}) {
    TList list;
    TLKBitmap picture;
    abort = false;
    ms.SetPosition(0);
    TLKFormatJob job(row, ms, &picture, params, progress, false);
    if (layered) job.Layers = &list;
    LKRunRead(job);
    LKFreeLayers(list);
  }
  return 0;
}
