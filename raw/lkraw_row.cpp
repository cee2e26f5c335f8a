// The camera RAW format row: the library's own decoder reads, nothing
// writes. Its identification accepts many things, so detection asks it last;
// most camera files are TIFF inside and are named camera RAW by their
// extension (FindFileFormat).

#include <memory>

#include "io/lkformatrow.h"
#include "io/lkparams.h"
#include "raw/lkraw.h"
#include "raw/lkrawident.h"
#include "raw/lkrawstate.h"

namespace {

void Read(TLKFormatJob& J) { LKReadCameraRAWStream(J.Stream, *J.Bitmap, J.Params, J.Progress, J.ParamsOnly); }

// The decoder's identification over the stream from its position.
class TOffsetSource : public TRAWSource {
 public:
  TOffsetSource(TStream& Stream, Int64 Base) : Inner(&Stream), Base(Base) {}
  Int64 ReadAt(Int64 pos, void* buf, Int64 count) override {
    return pos < 0 ? 0 : Inner.ReadAt(Base + pos, buf, count);
  }
  Int64 Size() override {
    const Int64 n = Inner.Size() - Base;
    return n < 0 ? 0 : n;
  }

 private:
  TRAWStreamSource Inner;
  Int64 Base;
};

bool Probe(TStream& S) {
  const Int64 base = S.Position();
  return LKProbeWith(S, [&](TLKByteReader&) {
    TOffsetSource source(S, base);
    auto state = std::make_unique<TRAWDecoderState>();
    set_source(*state, &source);
    reset_decoder_state(*state);
    return identify_camera(*state) == 0;
  });
}

// The shortest camera file: a 26-byte Nucore header ("BR", the sensor data
// offset, then width and height), the data said to follow it.
void HeaderClaiming(Integer Width, Integer Height, std::vector<Byte>& File) {
  File.assign(26, 0);
  File[0] = 'B';
  File[1] = 'R';
  LKPutLE32(&File[10], 26);
  LKPutLE32(&File[18], Cardinal(Width));
  LKPutLE32(&File[22], Cardinal(Height));
}

// The camera's name in brackets.
String Detail(const TIOParamsVals& P) { return " (" + P.RAW_CAMERA + ")"; }

}  // namespace

extern constinit const TLKFormatRow LKRow_RAW = [] {
  TLKFormatRow r;
  r.Type = lkftRAW;
  r.Name = "Camera RAW";
  r.Extensions = "CRW;CR2;NEF;RAW;PEF;RAF;X3F;BAY;ORF;SRF;MRW;DCR";
  r.CanRead = true;
  r.Read = Read;
  r.Probes[0] = {kLKProbeCameraRAW, Probe};
  r.Load.OpenFirst = true;
  r.HeaderClaiming = HeaderClaiming;
  r.TypeDetail = Detail;
  return r;
}();
