#include "processing/lkneurnet.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/lkbitmap.h"
#include "platform/graphics.h"
#include "processing/lkhistogram.h"
#include "processing/lkwhitebalance.h"
#include "processing/lumerakproc.h"

namespace {

float Logistic(double S) { return static_cast<float>(1.0 / (1.0 + std::exp(-S))); }

Byte ByteOf(float V) {
  const double t = std::trunc(double(V) * 255);
  return static_cast<Byte>(t < 0 ? 0 : t > 255 ? 255 : t);
}

bool Is24(TLKBitmap* B) { return B && !B->IsEmpty() && B->GetPixelFormat() == lk24RGB; }

Byte Channel(const TRGB& C, Integer Ch) { return Ch == 0 ? C.r : Ch == 1 ? C.g : C.b; }

}  // namespace

TLKNeurNet::TLKNeurNet(Integer InputCount, Integer HiddenCount, Integer OutputCount)
    : FRandom(static_cast<std::mt19937::result_type>(std::chrono::steady_clock::now().time_since_epoch().count())) {
  if (InputCount < 1 || HiddenCount < 1 || OutputCount < 1) throw Exception("Neural network: every layer needs a unit");
  Resize(InputCount, HiddenCount, OutputCount);
  Initialize();
}

void TLKNeurNet::Resize(Integer InputCount, Integer HiddenCount, Integer OutputCount) {
  FInputs = InputCount, FHidden = HiddenCount, FOutputs = OutputCount;
  FHiddenValues.assign(std::size_t(HiddenCount) + 1, 0);
  FHiddenDeltas.assign(std::size_t(HiddenCount) + 1, 0);
  FW1.assign((std::size_t(InputCount) + 1) * HiddenCount, 0);
  FW2.assign((std::size_t(HiddenCount) + 1) * OutputCount, 0);
  FIn.assign(std::size_t(InputCount) + 1, 0);
  FOut.assign(std::size_t(OutputCount), 0);
  FCmp.assign(std::size_t(OutputCount), 0);
}

void TLKNeurNet::Initialize() {
  std::uniform_int_distribution<int> r(0, 99);
  auto draw = [&] {
    int v = 50;
    while (v == 50) v = r(FRandom);
    return static_cast<float>((v - 50) / 100.0);
  };
  for (float& w : FW1) w = draw();
  for (float& w : FW2) w = draw();
  FIn[FInputs] = 1;
  FHiddenValues[FHidden] = 1;
}

void TLKNeurNet::Run() {
  for (Integer i = 0; i < FHidden; ++i) {
    double s = 0;
    const float* w = &FW1[std::size_t(i) * (FInputs + 1)];
    for (Integer j = 0; j <= FInputs; ++j) s += double(w[j]) * FIn[j];
    FHiddenValues[i] = Logistic(s);
  }
  for (Integer k = 0; k < FOutputs; ++k) {
    double s = 0;
    const float* w = &FW2[std::size_t(k) * (FHidden + 1)];
    for (Integer j = 0; j <= FHidden; ++j) s += double(w[j]) * FHiddenValues[j];
    FOut[k] = Logistic(s);
  }
}

double TLKNeurNet::Learn(double Rate) {
  Run();
  std::fill(FHiddenDeltas.begin(), FHiddenDeltas.end(), 0.0f);
  double worst = 0;
  for (Integer k = 0; k < FOutputs; ++k) {
    const double o = FOut[k], e = FCmp[k] - o, d = o * e * (1 - o);
    worst = std::max(worst, std::fabs(e));
    float* w = &FW2[std::size_t(k) * (FHidden + 1)];
    for (Integer j = 0; j <= FHidden; ++j) {
      FHiddenDeltas[j] += static_cast<float>(d * w[j]);
      w[j] += static_cast<float>(Rate * d * FHiddenValues[j]);
    }
  }
  for (Integer i = 0; i < FHidden; ++i) {
    const double h = FHiddenValues[i], c = Rate * FHiddenDeltas[i] * h * (1 - h);
    float* w = &FW1[std::size_t(i) * (FInputs + 1)];
    for (Integer j = 0; j <= FInputs; ++j) w[j] += static_cast<float>(FIn[j] * c);
  }
  return worst;
}

double TLKNeurNet::GetError() const {
  double worst = 0;
  for (Integer k = 0; k < FOutputs; ++k) worst = std::max(worst, std::fabs(double(FCmp[k]) - FOut[k]));
  return worst;
}

// The bias entries (input FInputs) are not reachable through the setters.
void TLKNeurNet::SetInput(Integer I, double V) {
  if (I >= 0 && I < FInputs) FIn[I] = static_cast<float>(V);
}
double TLKNeurNet::GetInput(Integer I) const { return I >= 0 && I < FInputs ? FIn[I] : 0; }
void TLKNeurNet::SetOutput(Integer I, double V) {
  if (I >= 0 && I < FOutputs) FOut[I] = static_cast<float>(V);
}
double TLKNeurNet::GetOutput(Integer I) const { return I >= 0 && I < FOutputs ? FOut[I] : 0; }
void TLKNeurNet::SetCmp(Integer I, double V) {
  if (I >= 0 && I < FOutputs) FCmp[I] = static_cast<float>(V);
}
double TLKNeurNet::GetCmp(Integer I) const { return I >= 0 && I < FOutputs ? FCmp[I] : 0; }

void TLKNeurNet::SaveToStream(TStream* Stream) const {
  const Integer counts[3] = {FInputs, FHidden, FOutputs};
  Stream->WriteBuffer(counts, sizeof(counts));
  Stream->WriteBuffer(FW1.data(), Int64(FW1.size() * sizeof(float)));
  Stream->WriteBuffer(FW2.data(), Int64(FW2.size() * sizeof(float)));
}

void TLKNeurNet::LoadFromStream(TStream* Stream) {
  Integer c[3] = {0, 0, 0};
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  if (left < Int64(sizeof(c))) throw EReadError("Neural network: the stream ends before the layer sizes");
  Stream->ReadBuffer(c, sizeof(c));
  // The weights the counts call for must be in the stream before anything
  // is sized from them.
  const Int64 weights = c[0] < 1 || c[1] < 1 || c[2] < 1 ? -1
                                                          : (Int64(c[0]) + 1) * c[1] + (Int64(c[1]) + 1) * c[2];
  if (weights < 0 || weights > (left - Int64(sizeof(c))) / Int64(sizeof(float)))
    throw EReadError("Neural network: layer sizes " + std::to_string(c[0]) + ", " + std::to_string(c[1]) + ", " +
                     std::to_string(c[2]) + " do not fit the stream");
  TLKNeurNet loaded(1, 1, 1);
  loaded.Resize(c[0], c[1], c[2]);
  loaded.Initialize();
  Stream->ReadBuffer(loaded.FW1.data(), Int64(loaded.FW1.size() * sizeof(float)));
  Stream->ReadBuffer(loaded.FW2.data(), Int64(loaded.FW2.size() * sizeof(float)));
  Resize(c[0], c[1], c[2]);
  FW1 = std::move(loaded.FW1);
  FW2 = std::move(loaded.FW2);
  FIn[FInputs] = 1;
  FHiddenValues[FHidden] = 1;
}

void TLKNeurNet::SaveToFile(const String& FileName) const {
  TFileStream f(FileName, fmCreate);
  SaveToStream(&f);
}

void TLKNeurNet::LoadFromFile(const String& FileName) {
  TFileStream f(FileName, fmOpenRead);
  LoadFromStream(&f);
}

void TLKNeurNet::SetInputAsBitmap(TLKBitmap* B, Integer X1, Integer Y1, Integer X2, Integer Y2, Integer Ch) {
  if (!Is24(B) || Ch < 0 || Ch > 2) return;
  if (X1 < 0 || Y1 < 0 || X2 < X1 || Y2 < Y1 || X2 >= B->GetWidth() || Y2 >= B->GetHeight()) return;
  const Int64 w = Int64(X2) - X1 + 1;
  if (w * (Int64(Y2) - Y1 + 1) > FInputs) return;
  for (Integer y = Y1; y <= Y2; ++y) {
    const auto* row = static_cast<const TRGB*>(B->GetScanLine(y));
    for (Integer x = X1; x <= X2; ++x) FIn[std::size_t((x - X1) + (y - Y1) * w)] = Channel(row[x], Ch) / 255.0f;
  }
}

void TLKNeurNet::SetFromGrey(TLKBitmap* B, Integer X, Integer Y, Integer W, Integer H, Integer NW, Integer NH,
                             std::vector<float>& Into, std::size_t Count) {
  if (!B || B->IsEmpty() || W <= 0 || H <= 0 || NW <= 0 || NH <= 0) return;
  TLKBitmap part(W, H, lk24RGB);
  part.Fill(0);
  TLKBitmap src;
  src.Assign(B);
  if (src.GetPixelFormat() != lk24RGB) src.ConvertToPixelFormat(lk24RGB);
  src.CopyRectTo(&part, X, Y, 0, 0, W, H);
  if (NW != W || NH != H) {
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&part);
    proc.Resample(NW, NH, rfTriangle);
  }
  part.ConvertToPixelFormat(lk32f);
  std::size_t i = 0;
  for (Integer y = 0; y < part.GetHeight(); ++y)
    for (Integer x = 0; x < part.GetWidth() && i < Count; ++x) Into[i++] = part.GetPixels_lk32f(x, y);
}

void TLKNeurNet::SetInputAsBitmap(TLKBitmap* B, Integer X, Integer Y, Integer W, Integer H, Integer NW, Integer NH) {
  SetFromGrey(B, X, Y, W, H, NW, NH, FIn, std::size_t(FInputs));
}

void TLKNeurNet::SetLearnAsBitmap(TLKBitmap* B, Integer X, Integer Y, Integer W, Integer H, Integer NW, Integer NH) {
  SetFromGrey(B, X, Y, W, H, NW, NH, FCmp, std::size_t(FOutputs));
}

void TLKNeurNet::SetInputAsBitmap(TBitmap* B) {
  if (!B || B->GetEmpty() || B->GetPixelFormat() != pf24bit) return;
  const Integer w = B->GetWidth();
  for (Integer y = 0; y < B->GetHeight(); ++y) {
    const Byte* row = B->ScanLine(y);
    for (Integer x = 0; x < w; ++x) {
      const Int64 i = Int64(y) * w + x;
      if (i >= FInputs) return;
      FIn[std::size_t(i)] = (row[3 * x] + row[3 * x + 1] + row[3 * x + 2]) / 3.0f / 255.0f;
    }
  }
}

void TLKNeurNet::SetInputAsHistogram(TLKBitmap* B) {
  if (!B || B->IsEmpty()) return;
  auto h = std::make_unique<THistogram>();
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(B);
  proc.GetHistogram(h.get());
  for (Integer i = 0; i < 256; ++i) {
    const Integer v[3] = {h->Items[i].R, h->Items[i].G, h->Items[i].B};
    for (Integer c = 0; c < 3; ++c) SetInput(3 * i + c, v[c] / 255.0);
  }
}

void TLKNeurNet::SetLearnAsAverages(TLKBitmap* B) {
  if (!B || B->IsEmpty()) return;
  double avg[3] = {0, 0, 0};
  LKGetAverageValues(B, avg);
  for (Integer c = 0; c < 3; ++c) SetCmp(c, avg[c] / 255.0);
}

void TLKNeurNet::SetLearnAsRGB(TLKBitmap* B, Integer X, Integer Ch, Integer Y) {
  if (!Is24(B) || Ch < 0 || Ch > 2 || X < 0 || Y < 0 || X >= B->GetWidth() || Y >= B->GetHeight()) return;
  SetCmp(0, Channel(B->GetPixels_lk24RGB(X, Y), Ch) / 255.0);
}

void TLKNeurNet::GetOutputAsBitmap(TLKBitmap* B, Integer W, Integer H) const {
  if (!B || W <= 0 || H <= 0) return;
  B->Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) {
    auto* row = static_cast<TRGB*>(B->GetScanLine(y));
    for (Integer x = 0; x < W; ++x) {
      const Byte g = ByteOf(static_cast<float>(GetOutput(Integer(std::min<Int64>(Int64(y) * W + x, FOutputs)))));
      row[x] = TRGB{g, g, g};
    }
  }
}

void TLKNeurNet::GetOutputAsRGB(TLKBitmap* B, Integer X, Integer Ch, Integer Y) const {
  if (!Is24(B) || Ch < 0 || Ch > 2 || X < 0 || Y < 0 || X >= B->GetWidth() || Y >= B->GetHeight()) return;
  TRGB c = B->GetPixels_lk24RGB(X, Y);
  const Byte v = ByteOf(FOut[0]);
  (Ch == 0 ? c.r : Ch == 1 ? c.g : c.b) = v;
  B->SetPixels_lk24RGB(X, Y, c);
}
