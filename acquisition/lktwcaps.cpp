// Scanner capability negotiation: the containers read into value lists and
// written from them, and the fixed order in which the settings are written
// before an acquisition. Every container a source returns is read only
// within the block it came in.
#include <cstring>

#include "acquisition/imscan.h"

namespace {

// A container returned by the source, locked for reading and freed at the
// end of the scope.
class TLKContainer {
 public:
  TLKContainer(TLKTWConnection& C, TW_UINT16 Cap) {
    LKTW_WriteLog("GetCapability : $" + LKTWHex4(Cap));
    TW_CAPABILITY TC{Cap, TWON_DONTCARE16, nullptr};
    if (LKTW_DS(C, DG_CONTROL, DAT_CAPABILITY, MSG_GET, &TC) && TC.hContainer) {
      FHandle = TC.hContainer;
      FType = TC.ConType;
      FSize = LKGlobalSize(FHandle);
      FBytes = static_cast<const Byte*>(LKGlobalLock(FHandle));
    }
  }
  ~TLKContainer() {
    LKGlobalUnlock(FHandle);
    LKGlobalFree(FHandle);
  }
  TLKContainer(const TLKContainer&) = delete;
  TLKContainer& operator=(const TLKContainer&) = delete;

  bool Ok() const { return FBytes != nullptr; }
  TW_UINT16 Type() const { return FType; }
  size_t Size() const { return FSize; }
  const Byte* Bytes() const { return FBytes; }
  /// The header record T when the block holds it.
  template <typename T>
  bool Header(T& Out) const {
    if (!FBytes || FSize < sizeof(T)) return false;
    std::memcpy(&Out, FBytes, sizeof(T));
    return true;
  }

 private:
  TW_HANDLE FHandle = nullptr;
  TW_UINT16 FType = 0;
  size_t FSize = 0;
  const Byte* FBytes = nullptr;
};

// Reads a list of items of ItemSize bytes starting at Offset; false when
// the block is too short for Count of them.
template <typename F>
bool ReadItems(const TLKContainer& K, size_t Offset, TW_UINT32 Count, size_t ItemSize, F Take) {
  if (Offset > K.Size() || Count > (K.Size() - Offset) / ItemSize) return false;
  for (TW_UINT32 i = 0; i < Count; ++i) {
    TW_UINT32 V = 0;
    std::memcpy(&V, K.Bytes() + Offset + i * ItemSize, ItemSize);
    Take(i, V);
  }
  return true;
}

// The list reader shared by the 16-bit and fixed-point forms.
template <typename L, typename Conv>
bool ReadList(TLKTWConnection& C, TW_UINT16 Cap, L& List, size_t ItemSize, Conv Convert) {
  List.Clear();
  TLKContainer K(C, Cap);
  if (!K.Ok()) return false;
  switch (K.Type()) {
    case TWON_ARRAY: {
      TW_ARRAY A;
      if (!K.Header(A)) return false;
      return ReadItems(K, offsetof(TW_ARRAY, ItemList), A.NumItems, ItemSize,
                       [&](TW_UINT32, TW_UINT32 V) { List.Add(Convert(V)); });
    }
    case TWON_ENUMERATION: {
      TW_ENUMERATION E;
      if (!K.Header(E)) return false;
      return ReadItems(K, offsetof(TW_ENUMERATION, ItemList), E.NumItems, ItemSize, [&](TW_UINT32 i, TW_UINT32 V) {
        List.Add(Convert(V));
        if (i == E.CurrentIndex) List.SetCurrentValue(Convert(V));
      });
    }
    case TWON_ONEVALUE: {
      TW_ONEVALUE O;
      if (!K.Header(O)) return false;
      List.Add(Convert(O.Item));
      List.SetCurrentValue(Convert(O.Item));
      return true;
    }
    case TWON_RANGE: {
      TW_RANGE R;
      if (!K.Header(R)) return false;
      List.SetRangeMin(Convert(R.MinValue));
      List.SetRangeMax(Convert(R.MaxValue));
      List.SetRangeStep(Convert(R.StepSize));
      List.SetCurrentValue(Convert(R.CurrentValue));
      return true;
    }
    default:
      return false;
  }
}

bool ReadOneValue(TLKTWConnection& C, TW_UINT16 Cap, TW_UINT32& Item) {
  TLKContainer K(C, Cap);
  TW_ONEVALUE O;
  if (!K.Ok() || K.Type() != TWON_ONEVALUE || !K.Header(O)) return false;
  Item = O.Item;
  return true;
}

// Sends MSG_SET with a new block holding Bytes, after checking that the
// capability can be read at all.
bool SetContainer(TLKTWConnection& C, TW_UINT16 Cap, TW_UINT16 ConType, const std::vector<Byte>& Bytes) {
  TW_HANDLE H = LKGlobalAlloc(Bytes.size());
  std::memcpy(LKGlobalLock(H), Bytes.data(), Bytes.size());
  LKGlobalUnlock(H);
  TW_CAPABILITY TC{Cap, ConType, H};
  bool Ok = LKTW_DS(C, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &TC);
  LKGlobalFree(H);
  return Ok;
}

bool Readable(TLKTWConnection& C, TW_UINT16 Cap) {
  TLKContainer K(C, Cap);
  return K.Ok();
}

std::vector<Byte> OneValue(TW_UINT16 ItemType, TW_UINT32 Item) {
  TW_ONEVALUE O{ItemType, Item};
  std::vector<Byte> B(sizeof O);
  std::memcpy(B.data(), &O, sizeof O);
  return B;
}

template <typename L, typename Conv>
std::vector<Byte> Enumeration(TW_UINT16 ItemType, size_t ItemSize, const L& List, Conv ToBits) {
  TW_ENUMERATION E{};
  E.ItemType = ItemType;
  E.NumItems = static_cast<TW_UINT32>(List.GetCount());
  E.CurrentIndex = static_cast<TW_UINT32>(List.IndexOf(List.GetCurrentValue()));
  E.DefaultIndex = 0;
  size_t Head = offsetof(TW_ENUMERATION, ItemList);
  std::vector<Byte> B(Head + ItemSize * E.NumItems);
  std::memcpy(B.data(), &E, Head);
  for (Integer i = 0; i < List.GetCount(); ++i) {
    TW_UINT32 V = ToBits(List.GetItem(i));
    std::memcpy(B.data() + Head + i * ItemSize, &V, ItemSize);
  }
  return B;
}

}  // namespace

bool GetUINT16asInteger(TLKTWConnection& C, TW_UINT16 Cap, TLKIntegerList& List) {
  return ReadList(C, Cap, List, 2, [](TW_UINT32 V) { return static_cast<Integer>(V & 0xFFFF); });
}

bool GetFix32asDouble(TLKTWConnection& C, TW_UINT16 Cap, TLKDoubleList& List) {
  bool Ok = ReadList(C, Cap, List, 4, LKBitsFix32);
  // Some sources answer a resolution they do not know as a negative value.
  if (Ok && (Cap == ICAP_XRESOLUTION || Cap == ICAP_YRESOLUTION) && List.GetCount() == 1 &&
      List.GetItem(0) < 0) {
    List.SetItem(0, 300.0);
    List.SetCurrentValue(300.0);
  }
  LKTW_WriteLog(Ok ? "  GetFix32asDouble : ok" : "  GetFix32asDouble : FAILED!");
  return Ok;
}

bool GetOneFIX32asDouble(TLKTWConnection& C, TW_UINT16 Cap, double& Value) {
  LKTW_WriteLog("GetOnFIX32asDouble");
  TW_UINT32 Item = 0;
  bool Ok = ReadOneValue(C, Cap, Item);
  if (Ok) Value = LKBitsFix32(Item);
  LKTW_WriteLog(Ok ? "  GetOneFIX32asDouble : ok" : "  GetOneFIX32asDouble : FAILED!");
  return Ok;
}

bool GetOneBoolCapability(TLKTWConnection& C, TW_UINT16 Cap, bool& Value) {
  TW_UINT32 Item = 0;
  bool Ok = ReadOneValue(C, Cap, Item);
  if (Ok) Value = (Item & 0xFFFF) != 0;
  return Ok;
}

bool GetOneUINT16Capability(TLKTWConnection& C, TW_UINT16 Cap, Integer& Value) {
  TW_UINT32 Item = 0;
  bool Ok = ReadOneValue(C, Cap, Item);
  if (Ok) Value = static_cast<Integer>(Item & 0xFFFF);
  return Ok;
}

bool LKTW_GetStringCapability(TLKTWConnection& C, TW_UINT16 Cap, String& Text) {
  TLKContainer K(C, Cap);
  if (!K.Ok() || K.Size() < 2) return false;
  // The text follows the item type and ends at its NUL or at the block's end.
  const char* Start = reinterpret_cast<const char*>(K.Bytes()) + 2;
  Text.assign(Start, strnlen(Start, K.Size() - 2));
  return true;
}

bool SetOnBoolCapability(TLKTWConnection& C, TW_UINT16 Cap, bool Value) {
  if (!Readable(C, Cap)) return false;
  return SetContainer(C, Cap, TWON_ONEVALUE, OneValue(TWTY_BOOL, Value ? 1 : 0));
}

bool SetOneUINT16Capability(TLKTWConnection& C, TW_UINT16 Cap, Integer Value) {
  if (!Readable(C, Cap)) return false;
  return SetContainer(C, Cap, TWON_ONEVALUE, OneValue(TWTY_UINT16, static_cast<TW_UINT16>(Value)));
}

bool SetIntegerAsUINT16Capability(TLKTWConnection& C, TW_UINT16 Cap, TLKIntegerList& List) {
  if (!Readable(C, Cap)) return false;
  bool Ok = true;
  auto Bits = [](Integer V) { return static_cast<TW_UINT32>(static_cast<TW_UINT16>(V)); };
  if (List.GetChanges().Contains(lklItems))
    Ok = SetContainer(C, Cap, TWON_ENUMERATION, Enumeration(TWTY_UINT16, 2, List, Bits));
  if (List.GetChanges().Contains(lklCurrentValue))
    Ok = SetContainer(C, Cap, TWON_ONEVALUE, OneValue(TWTY_UINT16, Bits(List.GetCurrentValue())));
  return Ok;
}

bool SetDoubleAsFIX32Capability(TLKTWConnection& C, TW_UINT16 Cap, TLKDoubleList& List) {
  if (!Readable(C, Cap)) return false;
  bool Ok = true;
  if (List.GetChanges().Contains(lklItems))
    Ok = SetContainer(C, Cap, TWON_ENUMERATION, Enumeration(TWTY_FIX32, 4, List, LKFix32Bits));
  if (List.GetChanges().Contains(lklCurrentValue))
    Ok = SetContainer(C, Cap, TWON_ONEVALUE, OneValue(TWTY_FIX32, LKFix32Bits(List.GetCurrentValue())));
  if (List.GetChanges().Contains(lklRange)) {
    TW_RANGE R{TWTY_FIX32, LKFix32Bits(List.GetRangeMin()), LKFix32Bits(List.GetRangeMax()),
               LKFix32Bits(List.GetRangeStep()), 0, LKFix32Bits(List.GetCurrentValue())};
    std::vector<Byte> B(sizeof R);
    std::memcpy(B.data(), &R, sizeof R);
    Ok = SetContainer(C, Cap, TWON_RANGE, B);
  }
  LKTW_WriteLog(Ok ? "  SetDoubleAsFIX32Capability : ok" : "  SetDoubleAsFIX32Capability : FAILED!");
  return Ok;
}

bool LKTW_SetCapabilities(TLKTWConnection& C) {
  if (!C.Settings) return true;
  TLKTWainParams& S = *C.Settings;
  TLKTWSourceCaps& Caps = S.Caps();
  auto Log = [](const char* Name) { LKTW_WriteLog(String("  LKTW_SetCapabilities : ") + Name); };
  if (S.NoCapabilityNegotiation) {
    C.TransferMode = 2;
    return true;
  }
  Integer Units = 0;
  if (GetOneUINT16Capability(C, ICAP_UNITS, Units) && Units != TWUN_INCHES) {
    Log("ICAP_UNITS");
    SetOneUINT16Capability(C, ICAP_UNITS, TWUN_INCHES);
  }
  Log("ICAP_PIXELFLAVOR");
  SetOneUINT16Capability(C, ICAP_PIXELFLAVOR, TWPF_CHOCOLATE);
  Integer Flavor = 0;
  C.Invert1Bit = GetOneUINT16Capability(C, ICAP_PIXELFLAVOR, Flavor) && Flavor == TWPF_VANILLA;
  if (Caps.UndefinedImageSize) {
    Log("ICAP_UNDEFINEDIMAGESIZE");
    SetOnBoolCapability(C, ICAP_UNDEFINEDIMAGESIZE, true);
  }
  auto Doubles = [&](TLKDoubleList& L, TW_UINT16 Cap, const char* Name) {
    if (L.GetChanges().Empty()) return;
    Log(Name);
    SetDoubleAsFIX32Capability(C, Cap, L);
  };
  Doubles(Caps.Contrast, ICAP_CONTRAST, "ICAP_CONTRAST");
  Doubles(Caps.Brightness, ICAP_BRIGHTNESS, "ICAP_BRIGHTNESS");
  Doubles(Caps.Threshold, ICAP_THRESHOLD, "ICAP_THRESHOLD");
  Doubles(Caps.Rotation, ICAP_ROTATION, "ICAP_ROTATION");
  if (Caps.PixelType.GetCurrentValue() > 2) Caps.PixelType.SetCurrentValue(TWPT_RGB);
  Log("ICAP_PIXELTYPE");
  bool PixelTypeOk = SetIntegerAsUINT16Capability(C, ICAP_PIXELTYPE, Caps.PixelType);
  if (!Caps.BitDepth.GetChanges().Empty()) {
    Log("ICAP_BITDEPTH");
    SetIntegerAsUINT16Capability(C, ICAP_BITDEPTH, Caps.BitDepth);
  }
  Doubles(Caps.XResolution, ICAP_XRESOLUTION, "ICAP_XRESOLUTION");
  Doubles(Caps.YResolution, ICAP_YRESOLUTION, "ICAP_YRESOLUTION");
  Doubles(Caps.XScaling, ICAP_XSCALING, "ICAP_XSCALING");
  Doubles(Caps.YScaling, ICAP_YSCALING, "ICAP_YSCALING");
  Integer Planar = 0;
  if (GetOneUINT16Capability(C, ICAP_PLANARCHUNKY, Planar) && Planar != TWPC_CHUNKY && PixelTypeOk &&
      Caps.PixelType.GetCurrentValue() == TWPT_RGB) {
    Log("ICAP_PLANARCHUNKY");
    PixelTypeOk = SetOneUINT16Capability(C, ICAP_PLANARCHUNKY, TWPC_CHUNKY);
  }
  if (C.TransferMode == 1) {
    bool Memory = false;
    if (PixelTypeOk) {
      TLKIntegerList Mech;
      if (GetUINT16asInteger(C, ICAP_XFERMECH, Mech) && Mech.IndexOf(TWSX_MEMORY) >= 0) {
        Log("TWSX_MEMORY - ICAP_XFERMECH");
        // Sources answer the read-back as a one value or as a list with its
        // current value; either tells the mechanism now in force.
        TLKIntegerList Now;
        Memory = SetOneUINT16Capability(C, ICAP_XFERMECH, TWSX_MEMORY) &&
                 GetUINT16asInteger(C, ICAP_XFERMECH, Now) && Now.GetCurrentValue() == TWSX_MEMORY;
      }
    }
    if (!Memory) C.TransferMode = 0;
  }
  Log("CAP_FEEDERENABLED");
  SetOnBoolCapability(C, CAP_FEEDERENABLED, Caps.FeederEnabled);
  const std::pair<bool, std::pair<TW_UINT16, const char*>> Autos[] = {
      {Caps.AutoFeed, {CAP_AUTOFEED, "CAP_AUTOFEED"}},
      {Caps.AutoDeskew, {ICAP_AUTOMATICDESKEW, "ICAP_AUTOMATICDESKEW"}},
      {Caps.AutoBorderDetection, {ICAP_AUTOMATICBORDERDETECTION, "ICAP_AUTOMATICBORDERDETECTION"}},
      {Caps.AutoBright, {ICAP_AUTOBRIGHT, "ICAP_AUTOBRIGHT"}},
      {Caps.AutoRotate, {ICAP_AUTOMATICROTATE, "ICAP_AUTOMATICROTATE"}},
  };
  for (const auto& A : Autos)
    if (A.first) {
      Log(A.second.second);
      SetOnBoolCapability(C, A.second.first, true);
    }
  if (Caps.Filter != lktwUndefined) {
    Log("ICAP_FILTER");
    SetOneUINT16Capability(C, ICAP_FILTER, static_cast<Integer>(Caps.Filter) - 1);
  }
  if (!Caps.StandardSize.GetChanges().Empty()) {
    Log("ICAP_SUPPORTEDSIZES");
    SetIntegerAsUINT16Capability(C, ICAP_SUPPORTEDSIZES, Caps.StandardSize);
  }
  if (!Caps.Orientation.GetChanges().Empty()) {
    Log("ICAP_ORIENTATION");
    SetIntegerAsUINT16Capability(C, ICAP_ORIENTATION, Caps.Orientation);
  }
  Log("CAP_INDICATORS");
  SetOnBoolCapability(C, CAP_INDICATORS, Caps.Indicators);
  Log("CAP_DUPLEXENABLED");
  SetOnBoolCapability(C, CAP_DUPLEXENABLED, Caps.DuplexEnabled);
  if (Caps.AcquireFrameEnabled) {
    Log("SETACQUIREFRAME");
    TW_IMAGELAYOUT Layout{};
    DoubleToFIX32(Caps.AcquireFrame[0], Layout.Frame.Left);
    DoubleToFIX32(Caps.AcquireFrame[1], Layout.Frame.Top);
    DoubleToFIX32(Caps.AcquireFrame[2], Layout.Frame.Right);
    DoubleToFIX32(Caps.AcquireFrame[3], Layout.Frame.Bottom);
    LKTW_DS(C, DG_IMAGE, DAT_IMAGELAYOUT, MSG_SET, &Layout);
    LKTW_WriteLog("  SetAcquireFrame : end");
  }
  LKTW_WriteLog("  LKTW_SetCapabilities : end");
  return true;
}
