// The library's own source manager over SANE.
#include "acquisition/lktwsane.h"

#include <cmath>
#include <cstring>
#include <map>
#include <memory>

#include "core/hylkdefs.h"
#include "platform/sane.h"

namespace {

std::vector<std::pair<String, String>> gExtraOptions;

// Pictures wider or longer than this are refused before anything is
// allocated (a device reporting absurd sizes must not exhaust memory).
constexpr Int64 kMaxSide = 1 << 17;
constexpr Int64 kMaxBytes = Int64(1) << 31;

struct TLKSaneSource {
  std::unique_ptr<TSaneDevice> Device;
  TW_IDENTITY Id{};
  bool XferReadyPending = false;
  bool Scanning = false;       // a frame is started
  bool FrameDone = false;      // its data are all read
  TSaneParameters Params;
  Integer RowsDelivered = 0;
  Integer FinalLines = -1;     // known once an unknown-length frame ended
  TW_UINT16 Condition = TWCC_SUCCESS;
  double Resolution = 0;       // of the frame started last
  TW_UINT16 XferMech = TWSX_NATIVE;
  bool Indicators = true;
  bool HasFeeder = false;
  String FeederValue, FlatbedValue;
  std::vector<Byte> Carry;  // bytes read past the last whole row
};

struct TLKSaneManager {
  Integer OpenCount = 0;
  std::vector<TSaneDeviceInfo> Devices;
  size_t Next = 0;
  TW_UINT16 Condition = TWCC_SUCCESS;
  std::map<TW_UINT32, std::unique_ptr<TLKSaneSource>> Sources;
};

TLKSaneManager& Manager() {
  static TLKSaneManager M;
  return M;
}

void FillIdentity(TW_IDENTITY& Id, size_t Index, const TSaneDeviceInfo& D) {
  std::memset(&Id, 0, sizeof Id);
  Id.Id = static_cast<TW_UINT32>(Index + 1);
  Id.Version.MajorNum = 1;
  Id.Version.Language = TWLG_USA;
  Id.Version.Country = TWCY_USA;
  Id.ProtocolMajor = 1;
  Id.ProtocolMinor = 9;
  Id.SupportedGroups = DG_CONTROL | DG_IMAGE;
  std::strncpy(Id.Manufacturer, D.Vendor.c_str(), sizeof Id.Manufacturer - 1);
  std::strncpy(Id.ProductFamily, D.Model.c_str(), sizeof Id.ProductFamily - 1);
  std::strncpy(Id.ProductName, D.Name.c_str(), sizeof Id.ProductName - 1);
}

// ---- containers

TW_HANDLE NewBlock(const void* Bytes, size_t Size) {
  TW_HANDLE H = LKGlobalAlloc(Size);
  std::memcpy(LKGlobalLock(H), Bytes, Size);
  LKGlobalUnlock(H);
  return H;
}

TW_HANDLE OneValue(TW_UINT16 Type, TW_UINT32 Item) {
  TW_ONEVALUE O{Type, Item};
  return NewBlock(&O, sizeof O);
}

TW_HANDLE Enumeration(TW_UINT16 Type, size_t ItemSize, const std::vector<TW_UINT32>& Items, size_t Current) {
  size_t Head = offsetof(TW_ENUMERATION, ItemList);
  std::vector<Byte> B(Head + ItemSize * Items.size());
  TW_ENUMERATION E{};
  E.ItemType = Type;
  E.NumItems = static_cast<TW_UINT32>(Items.size());
  E.CurrentIndex = static_cast<TW_UINT32>(Current);
  E.DefaultIndex = 0;
  std::memcpy(B.data(), &E, Head);
  for (size_t i = 0; i < Items.size(); ++i) std::memcpy(B.data() + Head + i * ItemSize, &Items[i], ItemSize);
  return NewBlock(B.data(), B.size());
}

// The value a caller sets: a one-value item or the current item of an
// enumeration, read within the block.
bool SetValue(const TW_CAPABILITY& Cap, TW_UINT32& Value) {
  size_t Size = LKGlobalSize(Cap.hContainer);
  auto* P = static_cast<const Byte*>(LKGlobalLock(Cap.hContainer));
  bool Ok = false;
  if (P && Cap.ConType == TWON_ONEVALUE && Size >= sizeof(TW_ONEVALUE)) {
    TW_ONEVALUE O;
    std::memcpy(&O, P, sizeof O);
    Value = O.Item;
    Ok = true;
  } else if (P && Cap.ConType == TWON_ENUMERATION && Size >= offsetof(TW_ENUMERATION, ItemList)) {
    TW_ENUMERATION E;
    std::memcpy(&E, P, offsetof(TW_ENUMERATION, ItemList));
    size_t ItemSize = E.ItemType == TWTY_FIX32 ? 4 : 2;
    size_t At = offsetof(TW_ENUMERATION, ItemList) + size_t(E.CurrentIndex) * ItemSize;
    if (E.CurrentIndex < E.NumItems && At + ItemSize <= Size) {
      Value = 0;
      std::memcpy(&Value, P + At, ItemSize);
      Ok = true;
    }
  }
  LKGlobalUnlock(Cap.hContainer);
  return Ok;
}

// ---- the device's state as capabilities

String Mode(TLKSaneSource& S) {
  String M;
  S.Device->GetString("mode", M);
  return M;
}

Integer Depth(TLKSaneSource& S) {
  double D = 8;
  S.Device->GetNumber("depth", D);
  return static_cast<Integer>(D);
}

TW_UINT16 PixelType(TLKSaneSource& S) {
  String M = Mode(S);
  if (M == "Color") return TWPT_RGB;
  if (M == "Lineart" || Depth(S) == 1) return TWPT_BW;
  return TWPT_GRAY;
}

bool SetPixelType(TLKSaneSource& S, TW_UINT32 Type) {
  TSaneConstraint Modes;
  S.Device->GetConstraint("mode", Modes);
  auto Has = [&](const char* M) {
    for (const auto& X : Modes.Strings)
      if (X == M) return true;
    return false;
  };
  switch (Type) {
    case TWPT_BW:
      if (Has("Lineart")) return S.Device->SetString("mode", "Lineart");
      return S.Device->SetString("mode", "Gray") && S.Device->SetNumber("depth", 1);
    case TWPT_GRAY:
      if (!S.Device->SetString("mode", "Gray")) return false;
      if (Depth(S) == 1) S.Device->SetNumber("depth", 8);
      return true;
    case TWPT_RGB:
      if (!S.Device->SetString("mode", "Color")) return false;
      if (Depth(S) == 1) S.Device->SetNumber("depth", 8);
      return true;
    default:
      return false;
  }
}

double MmToInch(double Mm) { return Mm / 25.4; }

TW_UINT16 GetCap(TLKSaneSource& S, TW_CAPABILITY& Cap) {
  Cap.hContainer = nullptr;
  switch (Cap.Cap) {
    case ICAP_XFERMECH:
      Cap.ConType = TWON_ENUMERATION;
      Cap.hContainer = Enumeration(TWTY_UINT16, 2, {TWSX_NATIVE, TWSX_MEMORY}, S.XferMech == TWSX_MEMORY ? 1 : 0);
      return TWRC_SUCCESS;
    case ICAP_PIXELTYPE: {
      TSaneConstraint Modes;
      std::vector<TW_UINT32> Types;
      S.Device->GetConstraint("mode", Modes);
      bool Bw = false, Gray = false, Rgb = false;
      for (const auto& M : Modes.Strings) {
        if (M == "Lineart") Bw = true;
        if (M == "Gray") Gray = Bw = true;  // grey at one bit is line-art
        if (M == "Color") Rgb = true;
      }
      if (Bw) Types.push_back(TWPT_BW);
      if (Gray) Types.push_back(TWPT_GRAY);
      if (Rgb) Types.push_back(TWPT_RGB);
      TW_UINT16 Now = PixelType(S);
      size_t Cur = 0;
      for (size_t i = 0; i < Types.size(); ++i)
        if (Types[i] == Now) Cur = i;
      Cap.ConType = TWON_ENUMERATION;
      Cap.hContainer = Enumeration(TWTY_UINT16, 2, Types, Cur);
      return TWRC_SUCCESS;
    }
    case ICAP_BITDEPTH: {
      TSaneConstraint Depths;
      std::vector<TW_UINT32> Items;
      size_t Cur = 0;
      if (S.Device->GetConstraint("depth", Depths))
        for (double D : Depths.Values) {
          if (static_cast<Integer>(D) == Depth(S)) Cur = Items.size();
          Items.push_back(static_cast<TW_UINT32>(D));
        }
      if (Items.empty()) Items.push_back(static_cast<TW_UINT32>(Depth(S)));
      Cap.ConType = TWON_ENUMERATION;
      Cap.hContainer = Enumeration(TWTY_UINT16, 2, Items, Cur);
      return TWRC_SUCCESS;
    }
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: {
      double Now = 0;
      TSaneConstraint R;
      if (!S.Device->GetNumber("resolution", Now)) break;
      if (S.Device->GetConstraint("resolution", R) && R.IsRange) {
        TW_RANGE Range{TWTY_FIX32, LKFix32Bits(R.Min), LKFix32Bits(R.Max), LKFix32Bits(R.Quant > 0 ? R.Quant : 1),
                       LKFix32Bits(Now), LKFix32Bits(Now)};
        Cap.ConType = TWON_RANGE;
        Cap.hContainer = NewBlock(&Range, sizeof Range);
      } else if (!R.Values.empty()) {
        std::vector<TW_UINT32> Items;
        size_t Cur = 0;
        for (double V : R.Values) {
          if (V == Now) Cur = Items.size();
          Items.push_back(LKFix32Bits(V));
        }
        Cap.ConType = TWON_ENUMERATION;
        Cap.hContainer = Enumeration(TWTY_FIX32, 4, Items, Cur);
      } else {
        Cap.ConType = TWON_ONEVALUE;
        Cap.hContainer = OneValue(TWTY_FIX32, LKFix32Bits(Now));
      }
      return TWRC_SUCCESS;
    }
    case ICAP_UNITS:
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_UINT16, TWUN_INCHES);
      return TWRC_SUCCESS;
    case ICAP_PIXELFLAVOR:
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_UINT16, TWPF_CHOCOLATE);
      return TWRC_SUCCESS;
    case ICAP_PLANARCHUNKY:
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_UINT16, TWPC_CHUNKY);
      return TWRC_SUCCESS;
    case ICAP_PHYSICALWIDTH:
    case ICAP_PHYSICALHEIGHT: {
      TSaneConstraint R;
      if (!S.Device->GetConstraint(Cap.Cap == ICAP_PHYSICALWIDTH ? "br-x" : "br-y", R) || !R.IsRange) break;
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_FIX32, LKFix32Bits(MmToInch(R.Max)));
      return TWRC_SUCCESS;
    }
    case CAP_FEEDERENABLED:
    case CAP_FEEDERLOADED: {
      if (!S.HasFeeder) break;
      String Now;
      S.Device->GetString("source", Now);
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_BOOL, Cap.Cap == CAP_FEEDERLOADED ? 1 : (Now == S.FeederValue ? 1 : 0));
      return TWRC_SUCCESS;
    }
    case CAP_INDICATORS:
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_BOOL, S.Indicators ? 1 : 0);
      return TWRC_SUCCESS;
    case ICAP_UNDEFINEDIMAGESIZE: {
      double On = 0;
      if (!S.Device->GetNumber("hand-scanner", On)) break;
      Cap.ConType = TWON_ONEVALUE;
      Cap.hContainer = OneValue(TWTY_BOOL, On != 0 ? 1 : 0);
      return TWRC_SUCCESS;
    }
    default:
      break;
  }
  S.Condition = TWCC_CAPUNSUPPORTED;
  return TWRC_FAILURE;
}

TW_UINT16 SetCap(TLKSaneSource& S, TW_CAPABILITY& Cap) {
  TW_UINT32 V = 0;
  if (!SetValue(Cap, V)) {
    S.Condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  bool Ok = false;
  switch (Cap.Cap) {
    case ICAP_XFERMECH:
      Ok = (V & 0xFFFF) == TWSX_NATIVE || (V & 0xFFFF) == TWSX_MEMORY;
      if (Ok) S.XferMech = static_cast<TW_UINT16>(V);
      break;
    case ICAP_PIXELTYPE: Ok = SetPixelType(S, V & 0xFFFF); break;
    case ICAP_BITDEPTH:
      Ok = S.Device->SetNumber("depth", V & 0xFFFF);
      break;
    case ICAP_XRESOLUTION:
    case ICAP_YRESOLUTION: Ok = S.Device->SetNumber("resolution", LKBitsFix32(V)); break;
    case ICAP_UNITS: Ok = (V & 0xFFFF) == TWUN_INCHES; break;
    case ICAP_PIXELFLAVOR: Ok = (V & 0xFFFF) == TWPF_CHOCOLATE; break;
    case ICAP_PLANARCHUNKY: Ok = (V & 0xFFFF) == TWPC_CHUNKY; break;
    case CAP_FEEDERENABLED:
      Ok = S.HasFeeder && S.Device->SetString("source", (V & 0xFFFF) ? S.FeederValue : S.FlatbedValue);
      break;
    case CAP_INDICATORS:
      S.Indicators = (V & 0xFFFF) != 0;
      Ok = true;
      break;
    case ICAP_UNDEFINEDIMAGESIZE: Ok = S.Device->SetBool("hand-scanner", (V & 0xFFFF) != 0); break;
    default:
      S.Condition = TWCC_CAPUNSUPPORTED;
      return TWRC_FAILURE;
  }
  if (!Ok) S.Condition = TWCC_BADVALUE;
  return Ok ? TWRC_SUCCESS : TWRC_FAILURE;
}

// ---- frames

TW_UINT16 Fault(TLKSaneSource& S, TSaneRead R) {
  S.Condition = R == TSaneRead::Jammed ? TWCC_PAPERJAM : (R == TSaneRead::NoDocuments ? TWCC_BUMMER : TWCC_OPERATIONERROR);
  S.Device->Cancel();
  S.Scanning = false;
  return R == TSaneRead::Cancelled ? TWRC_CANCEL : TWRC_FAILURE;
}

// Starts a frame when none is running; false (with the condition code)
// when the device fails or delivers a frame we do not take.
bool EnsureFrame(TLKSaneSource& S, TW_UINT16& Rc) {
  if (S.Scanning) return true;
  // Devices refuse option reads while they scan: the resolution is taken now.
  S.Resolution = 0;
  S.Device->GetNumber("resolution", S.Resolution);
  String Error;
  TSaneRead R = S.Device->Start(Error);
  if (R != TSaneRead::Data) {
    Rc = Fault(S, R);
    return false;
  }
  S.Scanning = true;
  S.FrameDone = false;
  S.RowsDelivered = 0;
  S.FinalLines = -1;
  S.Carry.clear();
  TSaneParameters P;
  bool Ok = S.Device->GetParameters(P) && (P.Format == 0 || P.Format == 1) && P.PixelsPerLine > 0 &&
            P.PixelsPerLine <= kMaxSide && P.BytesPerLine > 0 && P.Lines <= kMaxSide && P.Lines != 0 &&
            (P.Depth == 1 || P.Depth == 8 || P.Depth == 16) &&
            Int64(P.BytesPerLine) * std::max<Int64>(P.Lines, 1) <= kMaxBytes;
  // A row must hold the pixels it claims.
  if (Ok) {
    Int64 Need = (Int64(P.PixelsPerLine) * (P.Format == 1 ? 3 : 1) * P.Depth + 7) / 8;
    Ok = P.BytesPerLine >= Need;
  }
  if (!Ok) {
    S.Condition = TWCC_OPERATIONERROR;
    S.Device->Cancel();
    S.Scanning = false;
    Rc = TWRC_FAILURE;
    return false;
  }
  S.Params = P;
  return true;
}

void FillInfo(TLKSaneSource& S, TW_IMAGEINFO& Info) {
  std::memset(&Info, 0, sizeof Info);
  DoubleToFIX32(S.Resolution, Info.XResolution);
  Info.YResolution = Info.XResolution;
  const TSaneParameters& P = S.Params;
  Info.ImageWidth = P.PixelsPerLine;
  Info.ImageLength = P.Lines >= 0 ? P.Lines : S.FinalLines;
  Info.SamplesPerPixel = P.Format == 1 ? 3 : 1;
  for (int i = 0; i < Info.SamplesPerPixel; ++i) Info.BitsPerSample[i] = static_cast<TW_INT16>(P.Depth);
  Info.BitsPerPixel = static_cast<TW_INT16>(P.Depth * Info.SamplesPerPixel);
  Info.Planar = 0;
  Info.PixelType = P.Format == 1 ? TWPT_RGB : (P.Depth == 1 ? TWPT_BW : TWPT_GRAY);
  Info.Compression = TWCP_NONE;
}

// Reads whole rows into Dest (at most MaxRows); Rows gets how many. Ends
// the frame at the device's end of data.
TW_UINT16 ReadRows(TLKSaneSource& S, Byte* Dest, Int64 MaxRows, Int64& Rows) {
  const Int64 Bpl = S.Params.BytesPerLine;
  Int64 Want = MaxRows * Bpl;
  Int64 Have = 0;
  if (!S.Carry.empty()) {
    Have = std::min<Int64>(S.Carry.size(), Want);
    std::memcpy(Dest, S.Carry.data(), Have);
    S.Carry.erase(S.Carry.begin(), S.Carry.begin() + Have);
  }
  std::vector<Byte> Chunk(64 * 1024);
  while (Have < Want && !S.FrameDone) {
    Integer Got = 0;
    String Error;
    TSaneRead R = S.Device->Read(Chunk.data(), static_cast<Integer>(Chunk.size()), Got, Error);
    if (R == TSaneRead::EndOfFrame) {
      S.FrameDone = true;
      break;
    }
    if (R != TSaneRead::Data) return Fault(S, R);
    Int64 Take = std::min<Int64>(Got, Want - Have);
    std::memcpy(Dest + Have, Chunk.data(), Take);
    Have += Take;
    if (Take < Got) S.Carry.insert(S.Carry.end(), Chunk.begin() + Take, Chunk.begin() + Got);
  }
  Rows = Have / Bpl;
  // Line-art arrives with 1 as black; the protocol's default flavour has 0
  // as black.
  if (S.Params.Depth == 1)
    for (Int64 i = 0; i < Rows * Bpl; ++i) Dest[i] = static_cast<Byte>(~Dest[i]);
  return TWRC_SUCCESS;
}

bool FrameFinished(const TLKSaneSource& S) {
  if (S.Params.Lines >= 0) return S.RowsDelivered >= S.Params.Lines;
  return S.FrameDone && S.Carry.empty();
}

TW_UINT16 MemXfer(TLKSaneSource& S, TW_IMAGEMEMXFER& M) {
  TW_UINT16 Rc = TWRC_SUCCESS;
  if (!EnsureFrame(S, Rc)) return Rc;
  const Int64 Bpl = S.Params.BytesPerLine;
  Byte* Dest = (M.Memory.Flags & TWMF_HANDLE) ? static_cast<Byte*>(LKGlobalLock(M.Memory.TheMem))
                                              : static_cast<Byte*>(M.Memory.TheMem);
  size_t Room = (M.Memory.Flags & TWMF_HANDLE) ? std::min<size_t>(M.Memory.Length, LKGlobalSize(M.Memory.TheMem))
                                               : M.Memory.Length;
  if (!Dest || Int64(Room) < Bpl) {
    if (M.Memory.Flags & TWMF_HANDLE) LKGlobalUnlock(M.Memory.TheMem);
    S.Condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  Int64 MaxRows = Int64(Room) / Bpl;
  if (S.Params.Lines >= 0) MaxRows = std::min<Int64>(MaxRows, S.Params.Lines - S.RowsDelivered);
  Int64 Rows = 0;
  Rc = ReadRows(S, Dest, MaxRows, Rows);
  if (M.Memory.Flags & TWMF_HANDLE) LKGlobalUnlock(M.Memory.TheMem);
  if (Rc != TWRC_SUCCESS) return Rc;
  // A frame of known length that ends early is a fault of the device.
  if (S.Params.Lines >= 0 && Rows < MaxRows && S.FrameDone) {
    S.Condition = TWCC_OPERATIONERROR;
    S.Scanning = false;
    return TWRC_FAILURE;
  }
  M.Compression = TWCP_NONE;
  M.BytesPerRow = static_cast<TW_UINT32>(Bpl);
  M.Columns = static_cast<TW_UINT32>(S.Params.PixelsPerLine);
  M.Rows = static_cast<TW_UINT32>(Rows);
  M.XOffset = 0;
  M.YOffset = static_cast<TW_UINT32>(S.RowsDelivered);
  M.BytesWritten = static_cast<TW_UINT32>(Rows * Bpl);
  S.RowsDelivered += static_cast<Integer>(Rows);
  if (FrameFinished(S)) {
    if (S.Params.Lines < 0) S.FinalLines = S.RowsDelivered;
    return TWRC_XFERDONE;
  }
  return TWRC_SUCCESS;
}

// The whole frame as a packed bottom-up device-independent bitmap: 1-bit
// with a black/white table, 8-bit grey with a grey table, 24-bit BGR;
// 16-bit samples keep their high bytes.
TW_UINT16 NativeXfer(TLKSaneSource& S, TW_HANDLE& Out) {
  TW_UINT16 Rc = TWRC_SUCCESS;
  if (!EnsureFrame(S, Rc)) return Rc;
  const TSaneParameters& P = S.Params;
  const Int64 Bpl = P.BytesPerLine;
  std::vector<Byte> Raw;
  Int64 Rows = 0;
  for (;;) {
    Int64 Chunk = std::max<Int64>(1, (1 << 20) / Bpl);
    if (P.Lines >= 0) Chunk = std::min<Int64>(Chunk, P.Lines - Rows);
    if (Chunk <= 0) break;
    if ((Rows + Chunk) * Bpl > kMaxBytes) return Fault(S, TSaneRead::Failed);
    Raw.resize((Rows + Chunk) * Bpl);
    Int64 Got = 0;
    Rc = ReadRows(S, Raw.data() + Rows * Bpl, Chunk, Got);
    if (Rc != TWRC_SUCCESS) return Rc;
    Rows += Got;
    if (Got < Chunk) break;
  }
  if ((P.Lines >= 0 && Rows < P.Lines) || Rows == 0) {
    S.Condition = TWCC_OPERATIONERROR;
    S.Scanning = false;
    return TWRC_FAILURE;
  }
  S.RowsDelivered = static_cast<Integer>(Rows);
  if (P.Lines < 0) S.FinalLines = S.RowsDelivered;
  const Integer W = P.PixelsPerLine;
  const Integer OutBits = P.Depth == 1 ? 1 : (P.Format == 1 ? 24 : 8);
  const Int64 Stride = ((Int64(W) * OutBits + 31) / 32) * 4;
  const Integer Colors = OutBits == 1 ? 2 : (OutBits == 8 ? 256 : 0);
  const size_t Head = 40 + 4 * Colors;
  std::vector<Byte> Dib(Head + Stride * Rows, 0);
  auto Put32 = [&](size_t At, Int64 V) {
    for (int i = 0; i < 4; ++i) Dib[At + i] = static_cast<Byte>(V >> (8 * i));
  };
  Put32(0, 40);
  Put32(4, W);
  Put32(8, Rows);
  Dib[12] = 1;
  Dib[14] = static_cast<Byte>(OutBits);
  Put32(20, Stride * Rows);
  // The resolution in pixels per metre, for readers of the bitmap that
  // take it from there.
  const Int64 PelsPerMeter = std::max<Int64>(0, LKRound64(S.Resolution / 0.0254));
  Put32(24, PelsPerMeter);
  Put32(28, PelsPerMeter);
  Put32(32, Colors);
  for (Integer c = 0; c < Colors; ++c) {
    Byte G = static_cast<Byte>(Colors == 2 ? c * 255 : c);
    Dib[40 + c * 4] = Dib[41 + c * 4] = Dib[42 + c * 4] = G;
  }
  const int Step = P.Depth == 16 ? 2 : 1;
  const int Hi = P.Depth == 16 ? 1 : 0;  // high byte of a little-endian sample
  for (Int64 y = 0; y < Rows; ++y) {
    const Byte* Src = Raw.data() + y * Bpl;
    Byte* Dst = Dib.data() + Head + (Rows - 1 - y) * Stride;
    if (OutBits == 1) std::memcpy(Dst, Src, (W + 7) / 8);
    else if (OutBits == 8)
      for (Integer x = 0; x < W; ++x) Dst[x] = Src[x * Step + Hi];
    else
      for (Integer x = 0; x < W; ++x) {
        Dst[x * 3 + 2] = Src[(x * 3 + 0) * Step + Hi];
        Dst[x * 3 + 1] = Src[(x * 3 + 1) * Step + Hi];
        Dst[x * 3 + 0] = Src[(x * 3 + 2) * Step + Hi];
      }
  }
  Out = NewBlock(Dib.data(), Dib.size());
  return TWRC_XFERDONE;
}

// End of a picture: with the feeder, the next page is started to learn
// whether there is one.
TW_UINT16 EndXfer(TLKSaneSource& S, TW_PENDINGXFERS& P, bool Reset) {
  P.Count = 0;
  P.EOJ = 0;
  S.Device->Cancel();
  S.Scanning = false;
  if (Reset) return TWRC_SUCCESS;
  String Now;
  if (S.HasFeeder && S.Device->GetString("source", Now) && Now == S.FeederValue) {
    TW_UINT16 Rc = 0;
    if (EnsureFrame(S, Rc)) P.Count = 1;
    S.Condition = TWCC_SUCCESS;
  }
  return TWRC_SUCCESS;
}

TW_UINT16 SourceCall(TLKSaneSource& S, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  if (!Data && !(DG == DG_IMAGE && DAT == DAT_IMAGEFILEXFER)) {
    S.Condition = TWCC_BADVALUE;
    return TWRC_FAILURE;
  }
  if (DG == DG_CONTROL) {
    switch (DAT) {
      case DAT_CAPABILITY:
        if (MSG == MSG_GET || MSG == MSG_GETCURRENT) return GetCap(S, *static_cast<TW_CAPABILITY*>(Data));
        if (MSG == MSG_SET) return SetCap(S, *static_cast<TW_CAPABILITY*>(Data));
        break;
      case DAT_EVENT: {
        auto* E = static_cast<TW_EVENT*>(Data);
        if (MSG != MSG_PROCESSEVENT) break;
        E->TWMessage = MSG_NULL;
        if (S.XferReadyPending) {
          S.XferReadyPending = false;
          E->TWMessage = MSG_XFERREADY;
          return TWRC_DSEVENT;
        }
        return TWRC_NOTDSEVENT;
      }
      case DAT_USERINTERFACE:
        if (MSG == MSG_ENABLEDS) {
          // No dialog of our own: the scan starts at once.
          S.XferReadyPending = true;
          return TWRC_SUCCESS;
        }
        if (MSG == MSG_DISABLEDS) {
          S.XferReadyPending = false;
          S.Device->Cancel();
          S.Scanning = false;
          return TWRC_SUCCESS;
        }
        break;
      case DAT_PENDINGXFERS:
        if (MSG == MSG_ENDXFER || MSG == MSG_RESET)
          return EndXfer(S, *static_cast<TW_PENDINGXFERS*>(Data), MSG == MSG_RESET);
        if (MSG == MSG_GET) {
          static_cast<TW_PENDINGXFERS*>(Data)->Count = S.Scanning ? 1 : 0;
          return TWRC_SUCCESS;
        }
        break;
      case DAT_SETUPMEMXFER: {
        auto* M = static_cast<TW_SETUPMEMXFER*>(Data);
        TW_UINT16 Rc = 0;
        if (!EnsureFrame(S, Rc)) return Rc;
        TW_UINT32 Bpl = static_cast<TW_UINT32>(S.Params.BytesPerLine);
        M->MinBufSize = Bpl;
        M->MaxBufSize = std::max<TW_UINT32>(Bpl, 1 << 20);
        M->Preferred = std::max<TW_UINT32>(Bpl, (64 * 1024 / Bpl) * Bpl);
        return TWRC_SUCCESS;
      }
      case DAT_STATUS: {
        auto* St = static_cast<TW_STATUS*>(Data);
        St->ConditionCode = S.Condition;
        St->Reserved = 0;
        S.Condition = TWCC_SUCCESS;
        return TWRC_SUCCESS;
      }
      default:
        break;
    }
  } else if (DG == DG_IMAGE) {
    switch (DAT) {
      case DAT_IMAGEINFO: {
        TW_UINT16 Rc = 0;
        if (!S.Scanning && S.FinalLines < 0 && !EnsureFrame(S, Rc)) return Rc;
        FillInfo(S, *static_cast<TW_IMAGEINFO*>(Data));
        return TWRC_SUCCESS;
      }
      case DAT_IMAGELAYOUT: {
        auto* L = static_cast<TW_IMAGELAYOUT*>(Data);
        const char* Names[4] = {"tl-x", "tl-y", "br-x", "br-y"};
        TW_FIX32* F[4] = {&L->Frame.Left, &L->Frame.Top, &L->Frame.Right, &L->Frame.Bottom};
        if (MSG == MSG_GET) {
          for (int i = 0; i < 4; ++i) {
            double Mm = 0;
            S.Device->GetNumber(Names[i], Mm);
            DoubleToFIX32(MmToInch(Mm), *F[i]);
          }
          L->DocumentNumber = L->PageNumber = L->FrameNumber = 1;
          return TWRC_SUCCESS;
        }
        if (MSG == MSG_SET) {
          bool Ok = true;
          for (int i = 0; i < 4; ++i) Ok = S.Device->SetNumber(Names[i], LKFix32ToDouble(*F[i]) * 25.4) && Ok;
          if (!Ok) S.Condition = TWCC_BADVALUE;
          return Ok ? TWRC_SUCCESS : TWRC_CHECKSTATUS;
        }
        break;
      }
      case DAT_IMAGEMEMXFER:
        if (MSG == MSG_GET) return MemXfer(S, *static_cast<TW_IMAGEMEMXFER*>(Data));
        break;
      case DAT_IMAGENATIVEXFER:
        if (MSG == MSG_GET) return NativeXfer(S, *static_cast<TW_HANDLE*>(Data));
        break;
      default:
        break;
    }
  }
  S.Condition = TWCC_BADPROTOCOL;
  return TWRC_FAILURE;
}

TW_UINT16 OpenSource(TLKSaneManager& M, TW_IDENTITY& Id) {
  if (M.Devices.empty()) {
    M.Condition = TWCC_NODS;
    return TWRC_FAILURE;
  }
  size_t Index = 0;  // an empty identity opens the default (first) device
  if (Id.ProductName[0]) {
    String Name(Id.ProductName, strnlen(Id.ProductName, sizeof Id.ProductName));
    size_t i = 0;
    while (i < M.Devices.size() && M.Devices[i].Name.substr(0, sizeof Id.ProductName - 1) != Name) ++i;
    if (i == M.Devices.size()) {
      M.Condition = TWCC_NODS;
      return TWRC_FAILURE;
    }
    Index = i;
  }
  String Error;
  auto Device = TSaneDevice::Open(M.Devices[Index].Name, Error);
  if (!Device) {
    M.Condition = TWCC_NODS;
    return TWRC_FAILURE;
  }
  auto S = std::make_unique<TLKSaneSource>();
  S->Device = std::move(Device);
  FillIdentity(S->Id, Index, M.Devices[Index]);
  for (const auto& O : gExtraOptions)
    if (!S->Device->SetString(O.first, O.second)) {
      char* End = nullptr;
      double V = std::strtod(O.second.c_str(), &End);
      if (End && *End == 0) {
        if (!S->Device->SetNumber(O.first, V)) S->Device->SetBool(O.first, O.second != "0" && O.second != "no");
      } else {
        S->Device->SetBool(O.first, O.second == "yes");
      }
    }
  TSaneConstraint Sources;
  if (S->Device->GetConstraint("source", Sources))
    for (const auto& Name : Sources.Strings) {
      String Lower;
      for (char c : Name) Lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (Lower.find("feeder") != String::npos || Lower.find("adf") != String::npos) {
        S->HasFeeder = true;
        S->FeederValue = Name;
      } else if (S->FlatbedValue.empty()) {
        S->FlatbedValue = Name;
      }
    }
  Id = S->Id;
  M.Sources[TW_UINT32{Id.Id}] = std::move(S);
  return TWRC_SUCCESS;
}

}  // namespace

void LKSaneSetExtraOptions(std::vector<std::pair<String, String>> Options) { gExtraOptions = std::move(Options); }

TW_UINT16 LKSaneDSMEntry(TW_IDENTITY* Origin, TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG,
                         TW_MEMREF Data) {
  TLKSaneManager& M = Manager();
  if (!Origin) return TWRC_FAILURE;
  if (Dest) {
    auto It = M.Sources.find(TW_UINT32{Dest->Id});
    if (It == M.Sources.end()) {
      M.Condition = TWCC_BADDEST;
      return TWRC_FAILURE;
    }
    return SourceCall(*It->second, DG, DAT, MSG, Data);
  }
  if (DG != DG_CONTROL) {
    M.Condition = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
  }
  switch (DAT) {
    case DAT_PARENT:
      if (MSG == MSG_OPENDSM) {
        if (M.OpenCount++ == 0) M.Devices = SaneListDevices();
        return TWRC_SUCCESS;
      }
      if (MSG == MSG_CLOSEDSM) {
        if (M.OpenCount > 0) --M.OpenCount;
        return TWRC_SUCCESS;
      }
      break;
    case DAT_STATUS: {
      if (!Data) break;
      auto* St = static_cast<TW_STATUS*>(Data);
      St->ConditionCode = M.Condition;
      St->Reserved = 0;
      M.Condition = TWCC_SUCCESS;
      return TWRC_SUCCESS;
    }
    case DAT_IDENTITY: {
      if (!Data || M.OpenCount == 0) {
        M.Condition = TWCC_SEQERROR;
        return TWRC_FAILURE;
      }
      auto* Id = static_cast<TW_IDENTITY*>(Data);
      switch (MSG) {
        case MSG_GETFIRST:
          M.Next = 0;
          [[fallthrough]];
        case MSG_GETNEXT:
          if (M.Next >= M.Devices.size()) return TWRC_ENDOFLIST;
          FillIdentity(*Id, M.Next, M.Devices[M.Next]);
          ++M.Next;
          return TWRC_SUCCESS;
        case MSG_GETDEFAULT:
        case MSG_USERSELECT:
          // No dialog of our own: the first device is the choice.
          if (M.Devices.empty()) {
            M.Condition = TWCC_NODS;
            return MSG == MSG_USERSELECT ? TWRC_CANCEL : TWRC_FAILURE;
          }
          FillIdentity(*Id, 0, M.Devices[0]);
          return TWRC_SUCCESS;
        case MSG_OPENDS:
          return OpenSource(M, *Id);
        case MSG_CLOSEDS:
          if (M.Sources.erase(TW_UINT32{Id->Id}) == 0) {
            M.Condition = TWCC_BADDEST;
            return TWRC_FAILURE;
          }
          return TWRC_SUCCESS;
        default:
          break;
      }
      break;
    }
    default:
      break;
  }
  M.Condition = TWCC_BADPROTOCOL;
  return TWRC_FAILURE;
}
