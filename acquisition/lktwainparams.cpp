// Scanner settings: defaults, the source list, lazy capability reads and
// copies.
#include "acquisition/lktwainparams.h"

#include <cstring>
#include <fstream>

#include "acquisition/imscan.h"

String lkgTWainLogName;
bool lkgTWainLogFile = false;

std::vector<TLKList*> TLKTWSourceCaps::Lists() {
  return {&XResolution, &YResolution, &XScaling, &YScaling, &Contrast,    &Brightness,
          &Threshold,   &Rotation,    &PixelType, &BitDepth, &Orientation, &StandardSize};
}

String LKTWProductName(const TW_IDENTITY& Id) {
  return String(Id.ProductName, strnlen(Id.ProductName, sizeof(Id.ProductName)));
}

bool LKTWNameStartsWith(const String& Text, const String& Prefix) {
  if (Prefix.size() > Text.size()) return false;
  for (size_t i = 0; i < Prefix.size(); ++i) {
    auto Lower = [](unsigned char c) { return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + 32) : c; };
    if (Lower(static_cast<unsigned char>(Text[i])) != Lower(static_cast<unsigned char>(Prefix[i]))) return false;
  }
  return true;
}

TLKTWainParams::TLKTWainParams(TComponent* Owner, bool MultiImageOwner) : FOwner(Owner), FMultiOwner(MultiImageOwner) {
  SetDefaultParams();
}

TLKTWainParams::~TLKTWainParams() {
  LKTW_FreeResources(FShared, nullptr);
  FShared = TLKTWainShared{};
}

void TLKTWainParams::SetDefaultParams() {
  FSources.clear();
  ShowSourceDialog = true;
  NoCapabilityNegotiation = false;
  FSelectedSource = 0;
  SourceListValid = false;
  CapabilitiesValid = false;
  for (TLKList* L : FCaps.Lists()) L->Clear();
  FCaps.Gamma = 2.2;
  FCaps.PhysicalHeight = FCaps.PhysicalWidth = 0;
  FCaps.FeederEnabled = FMultiOwner;
  FCaps.Indicators = true;
  for (double& F : FCaps.AcquireFrame) F = 0;
  FCaps.BufferedTransfer = true;
  FCaps.UseMemoryHandle = true;
  FCaps.FileTransfer = false;
  FCaps.DuplexEnabled = FMultiOwner;
  FCaps.AcquireFrameEnabled = false;
  FCaps.UndefinedImageSize = false;
  FCaps.AutoFeed = FMultiOwner;
  FCaps.AutoDeskew = FCaps.AutoBorderDetection = FCaps.AutoBright = FCaps.AutoRotate = false;
  FCaps.Filter = lktwUndefined;
  FAppVersionInfo.clear();
  FAppManufacturer.clear();
  FAppProductFamily.clear();
  FAppProductName.clear();
  LastReturnCode = 0;
  LastErrorText.clear();
}

void TLKTWainParams::FreeResources() {
  LKTW_FreeResources(FShared, nullptr);
  FShared = TLKTWainShared{};
}

void TLKTWainParams::FillSourceListData() {
  if (SourceListValid) return;
  FSources.clear();
  LKTW_GetSourceList(FSources, FShared, nullptr);
  SourceListValid = true;
}

Integer TLKTWainParams::GetSourceCount() {
  FillSourceListData();
  return static_cast<Integer>(FSources.size());
}

String TLKTWainParams::GetSourceName(Integer I) {
  FillSourceListData();
  if (I < 0 || I >= static_cast<Integer>(FSources.size())) return String();
  return LKTWProductName(FSources[I]);
}

const TW_IDENTITY* TLKTWainParams::GetSourceIdentity(Integer I) {
  FillSourceListData();
  if (I < 0 || I >= static_cast<Integer>(FSources.size())) return nullptr;
  return &FSources[I];
}

void TLKTWainParams::SetSelectedSource(Integer I) {
  if (I == FSelectedSource) return;
  FSelectedSource = I;
  CapabilitiesValid = false;
  FillCapabilities();
}

bool TLKTWainParams::SelectSourceByName(const String& Name) {
  FillSourceListData();
  for (size_t i = 0; i < FSources.size(); ++i) {
    if (LKTWNameStartsWith(LKTWProductName(FSources[i]), Name)) {
      if (static_cast<Integer>(i) != FSelectedSource) SetSelectedSource(static_cast<Integer>(i));
      return true;
    }
  }
  return false;
}

Integer TLKTWainParams::GetDefaultSource() {
  String Name = LKTW_GetDefaultSource(FShared, nullptr);
  FillSourceListData();
  for (size_t i = 0; i < FSources.size(); ++i)
    if (LKTWNameStartsWith(LKTWProductName(FSources[i]), Name)) return static_cast<Integer>(i);
  return 0;
}

void TLKTWainParams::FillCapabilities() {
  if (CapabilitiesValid) return;
  LKTW_GetCapabilities(*this, FCaps, false, FShared, nullptr);
  CapabilitiesValid = true;
}

bool TLKTWainParams::GetFromScanner() {
  bool Ok = LKTW_GetCapabilities(*this, FCaps, false, FShared, nullptr);
  CapabilitiesValid = true;
  return Ok;
}

bool TLKTWainParams::Update() {
  bool Ok = LKTW_GetCapabilities(*this, FCaps, true, FShared, nullptr);
  CapabilitiesValid = true;
  return Ok;
}

double TLKTWainParams::GetAcquireFrame(Integer I) {
  FillCapabilities();
  return (I >= 0 && I < 4) ? FCaps.AcquireFrame[I] : 0.0;
}

void TLKTWainParams::SetAcquireFrame(Integer I, double Value) {
  if (I >= 0 && I < 4) FCaps.AcquireFrame[I] = Value;
}

void TLKTWainParams::SetAppVersionInfo(const String& V) { FAppVersionInfo = V.substr(0, 32); }
void TLKTWainParams::SetAppManufacturer(const String& V) { FAppManufacturer = V.substr(0, 32); }
void TLKTWainParams::SetAppProductFamily(const String& V) { FAppProductFamily = V.substr(0, 32); }
void TLKTWainParams::SetAppProductName(const String& V) { FAppProductName = V.substr(0, 32); }

void TLKTWainParams::SetLogFile(const String& Name) {
  lkgTWainLogFile = false;
  lkgTWainLogName = Name;
  if (!Name.empty()) {
    std::ofstream Out(Name, std::ios::trunc);
    lkgTWainLogFile = Out.good();
  }
}

void TLKTWainParams::Assign(const TLKTWainParams& Other) {
  if (&Other == this) return;
  ShowSourceDialog = Other.ShowSourceDialog;
  NoCapabilityNegotiation = Other.NoCapabilityNegotiation;
  FSelectedSource = Other.FSelectedSource;
  SourceListValid = Other.SourceListValid;
  FSources = Other.FSources;
  auto Mine = FCaps.Lists();
  auto Theirs = const_cast<TLKTWSourceCaps&>(Other.FCaps).Lists();
  for (size_t i = 0; i < Mine.size(); ++i) Mine[i]->Assign(Theirs[i]);
  const TLKTWSourceCaps& O = Other.FCaps;
  FCaps.Gamma = O.Gamma;
  FCaps.PhysicalHeight = O.PhysicalHeight;
  FCaps.PhysicalWidth = O.PhysicalWidth;
  FCaps.FeederEnabled = O.FeederEnabled;
  FCaps.AutoFeed = O.AutoFeed;
  FCaps.AutoDeskew = O.AutoDeskew;
  FCaps.AutoBorderDetection = O.AutoBorderDetection;
  FCaps.AutoBright = O.AutoBright;
  FCaps.AutoRotate = O.AutoRotate;
  FCaps.Filter = O.Filter;
  FCaps.DuplexEnabled = O.DuplexEnabled;
  FCaps.AcquireFrameEnabled = O.AcquireFrameEnabled;
  FCaps.Indicators = O.Indicators;
  for (int i = 0; i < 4; ++i) FCaps.AcquireFrame[i] = O.AcquireFrame[i];
  FCaps.BufferedTransfer = O.BufferedTransfer;
  FCaps.UseMemoryHandle = O.UseMemoryHandle;
  FCaps.FileTransfer = O.FileTransfer;
  FCaps.UndefinedImageSize = O.UndefinedImageSize;
  FAppVersionInfo = Other.FAppVersionInfo;
  FAppManufacturer = Other.FAppManufacturer;
  FAppProductFamily = Other.FAppProductFamily;
  FAppProductName = Other.FAppProductName;
}
