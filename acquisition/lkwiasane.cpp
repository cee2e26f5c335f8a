// Scanners for the picture-acquisition object: each SANE device is a
// device whose root item has one image item, "Scan". A transfer drives the
// library's own scanner source (acquisition/lktwsane.h) through its native
// transfers, which hand over memory bitmaps: one page, or with the feeder
// and a multi-page transfer every page the feeder holds (or the number of
// pages asked for).
#include <cstring>
#include <map>

#include "acquisition/imscan.h"
#include "acquisition/lktwsane.h"
#include "acquisition/lkwiadevice.h"
#include "acquisition/lkwiasystem.h"
#include "platform/sane.h"

namespace {

// Data bands handed to the receiver.
constexpr size_t kBand = 64 * 1024;
// Event polls before an enabled source that never announces a picture
// counts as gone.
constexpr int kMaxPolls = 1000;

// Settings shared by a scanner's root and its image item.
struct TSaneWiaState {
  String DeviceName;
  Integer Feeder = 0;     // document handling: 1 feeder
  Integer Pages = 1;      // 0: every page
  Integer Tymed = TYMED_CALLBACK;
  Integer Resolution = 0; // 0: the device's own
  Integer DataType = -1;  // 0 line art, 2 grey, 3 colour; -1 the device's own
  String Error;
};

bool AsInt(const TLKWiaVariant& V, Integer& Out) {
  if (const auto* I = std::get_if<Integer>(&V)) return Out = *I, true;
  if (const auto* D = std::get_if<double>(&V)) return Out = LKTrunc(*D), true;
  return false;
}

// One call to the built-in manager and its sources.
struct TSaneSession {
  TW_IDENTITY App{}, Src{};
  bool MgrOpen = false, SrcOpen = false, Enabled = false;
  TW_USERINTERFACE UI{};
  TW_UINT16 Call(TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
    return LKSaneDSMEntry(&App, Dest, DG, DAT, MSG, Data);
  }
  String Condition() {
    TW_STATUS St{};
    Call(&Src, DG_CONTROL, DAT_STATUS, MSG_GET, &St);
    return LKTW_ConditionText(St.ConditionCode);
  }
  bool SetOne(TW_UINT16 Cap, TW_UINT16 Type, TW_UINT32 Item) {
    TW_CAPABILITY C{Cap, TWON_ONEVALUE, LKGlobalAlloc(sizeof(TW_ONEVALUE))};
    auto* V = static_cast<TW_ONEVALUE*>(LKGlobalLock(C.hContainer));
    if (!V) return false;
    V->ItemType = Type;
    V->Item = Item;
    LKGlobalUnlock(C.hContainer);
    const bool Ok = Call(&Src, DG_CONTROL, DAT_CAPABILITY, MSG_SET, &C) == TWRC_SUCCESS;
    LKGlobalFree(C.hContainer);
    return Ok;
  }
  ~TSaneSession() {
    TW_PENDINGXFERS P{};
    if (Enabled) {
      Call(&Src, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &P);
      Call(&Src, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &UI);
    }
    if (SrcOpen) Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &Src);
    void* Parent = nullptr;
    if (MgrOpen) Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &Parent);
  }
};

class TSaneWiaItem : public TLKWiaDeviceItem {
 public:
  TSaneWiaItem(std::shared_ptr<TSaneWiaState> State, bool Root) : FState(std::move(State)), FRoot(Root) {}

  bool GetItemType(Cardinal& Flags) override {
    Flags = FRoot ? (WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice) : (WiaItemTypeImage | WiaItemTypeFile);
    return true;
  }
  bool EnumChildItems(std::vector<std::shared_ptr<TLKWiaDeviceItem>>& Children) override {
    Children.clear();
    if (FRoot) Children.push_back(std::make_shared<TSaneWiaItem>(FState, false));
    return true;
  }
  bool ReadProperty(Cardinal Id, TLKWiaVariant& Value) override {
    switch (Id) {
      case WIA_IPA_ITEM_NAME: Value = FRoot ? FState->DeviceName : String("Scan"); return true;
      case WIA_DIP_DEV_NAME: Value = FState->DeviceName; return FRoot;
      case WIA_DPS_DOCUMENT_HANDLING_SELECT: Value = FState->Feeder; return FRoot;
      case WIA_DPS_PAGES: Value = FState->Pages; return FRoot;
      case WIA_IPA_TYMED: Value = FState->Tymed; return !FRoot;
      case WIA_IPA_FORMAT: Value = WiaImgFmt_MEMORYBMP; return !FRoot;
      case WIA_IPS_XRES:
      case WIA_IPS_YRES: Value = FState->Resolution; return !FRoot;
      case WIA_IPA_DATATYPE: Value = FState->DataType; return !FRoot;
      default: return false;
    }
  }
  bool WriteProperty(Cardinal Id, const TLKWiaVariant& Value) override {
    Integer I = 0;
    if (Id == WIA_IPA_FORMAT) return !FRoot && std::holds_alternative<TLKGuid>(Value) &&
                                      std::get<TLKGuid>(Value) == WiaImgFmt_MEMORYBMP;
    if (!AsInt(Value, I)) return false;
    switch (Id) {
      case WIA_DPS_DOCUMENT_HANDLING_SELECT: FState->Feeder = I; return FRoot;
      case WIA_DPS_PAGES: if (I < 0) return false; FState->Pages = I; return FRoot;
      case WIA_IPA_TYMED:
        if (FRoot || (I != TYMED_CALLBACK && I != TYMED_MULTIPAGE_CALLBACK)) return false;
        FState->Tymed = I;
        return true;
      case WIA_IPS_XRES:
      case WIA_IPS_YRES: if (FRoot || I <= 0 || I > 100000) return false; FState->Resolution = I; return true;
      case WIA_IPA_DATATYPE: if (FRoot || (I != 0 && I != 2 && I != 3)) return false; FState->DataType = I; return true;
      default: return false;
    }
  }
  bool GetPropertyAttributes(Cardinal Id, Cardinal& Flags, TLKWiaVariant& Values) override {
    if (!FRoot && Id == WIA_IPA_TYMED) {
      Flags = WIA_PROP_READ | WIA_PROP_WRITE | WIA_PROP_LIST;
      Values = std::vector<Integer>{2, TYMED_CALLBACK, TYMED_CALLBACK, TYMED_MULTIPAGE_CALLBACK};
      return true;
    }
    return false;
  }
  // A scanner takes no pictures on command.
  bool DeviceCommand(const TLKGuid&, std::shared_ptr<TLKWiaDeviceItem>&) override { return false; }
  bool DeleteItem() override { return false; }
  bool CanTransfer() override { return !FRoot; }
  String GetErrorText() override { return FState->Error; }

  Integer GetBandedData(const TLKWiaBandedData& Receiver) override {
    FState->Error.clear();
    if (FRoot) return LK_E_FAIL;
    TSaneSession S;
    auto Fail = [&](const String& Why) {
      FState->Error = Why;
      return LK_E_FAIL;
    };
    void* Parent = nullptr;
    if (S.Call(nullptr, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &Parent) != TWRC_SUCCESS)
      return Fail("the scanner layer cannot start");
    S.MgrOpen = true;
    std::strncpy(S.Src.ProductName, FState->DeviceName.c_str(), sizeof S.Src.ProductName - 1);
    if (S.Call(nullptr, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &S.Src) != TWRC_SUCCESS)
      return Fail("the scanner " + FState->DeviceName + " cannot be opened");
    S.SrcOpen = true;
    if (FState->Resolution > 0) {
      S.SetOne(ICAP_XRESOLUTION, TWTY_FIX32, LKFix32Bits(FState->Resolution));
      S.SetOne(ICAP_YRESOLUTION, TWTY_FIX32, LKFix32Bits(FState->Resolution));
    }
    if (FState->DataType >= 0)
      S.SetOne(ICAP_PIXELTYPE, TWTY_UINT16, FState->DataType == 0 ? TWPT_BW : FState->DataType == 2 ? TWPT_GRAY : TWPT_RGB);
    if (FState->Feeder == FEEDER && !S.SetOne(CAP_FEEDERENABLED, TWTY_BOOL, 1))
      return Fail("the scanner has no document feeder");
    S.UI.ShowUI = 0;
    S.UI.ModalUI = 0;
    if (S.Call(&S.Src, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &S.UI) != TWRC_SUCCESS)
      return Fail("the scanner cannot start: " + S.Condition());
    S.Enabled = true;
    bool Ready = false;
    for (int k = 0; k < kMaxPolls && !Ready; ++k) {
      TW_EVENT E{nullptr, MSG_NULL};
      if (S.Call(&S.Src, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &E) == TWRC_DSEVENT && E.TWMessage == MSG_XFERREADY)
        Ready = true;
    }
    if (!Ready) return Fail("the scanner announced no picture");
    const bool Multi = FState->Tymed == TYMED_MULTIPAGE_CALLBACK;
    Integer Delivered = 0;
    for (;;) {
      TW_HANDLE H = nullptr;
      const TW_UINT16 Rc = S.Call(&S.Src, DG_IMAGE, DAT_IMAGENATIVEXFER, MSG_GET, &H);
      if (Rc == TWRC_CANCEL) return LK_S_FALSE;
      if (Rc != TWRC_XFERDONE || !H) {
        if (H) LKGlobalFree(H);
        return Fail(Delivered == 0 ? "the scan failed: " + S.Condition()
                                   : "the scan failed after " + std::to_string(Delivered) + " pages: " + S.Condition());
      }
      const auto* Bytes = static_cast<const Byte*>(LKGlobalLock(H));
      const size_t Size = LKGlobalSize(H);
      TLKWiaDataHeader Header;
      Header.guidFormatID = WiaImgFmt_MEMORYBMP;
      Header.lBufferSize = static_cast<std::int32_t>(std::min<size_t>(Size, 0x7FFFFFFF));
      Header.lPageCount = Delivered + 1;
      Integer Answer = Receiver(IT_MSG_DATA_HEADER, 0, 0, 0, sizeof Header, reinterpret_cast<const Byte*>(&Header));
      for (size_t At = 0; Answer == LK_S_OK && At < Size; At += kBand) {
        const size_t N = std::min(kBand, Size - At);
        Answer = Receiver(IT_MSG_DATA, 0, Integer((At + N) * 100 / Size), Integer(At), Integer(N), Bytes + At);
      }
      LKGlobalUnlock(H);
      LKGlobalFree(H);
      if (Answer != LK_S_OK) return LK_S_FALSE;
      ++Delivered;
      TW_PENDINGXFERS P{};
      S.Call(&S.Src, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &P);
      const bool More = Multi && P.Count > 0 && (FState->Pages == 0 || Delivered < FState->Pages);
      if (Receiver(More ? IT_MSG_NEW_PAGE : IT_MSG_TERMINATION, 0, 100, 0, 0, nullptr) != LK_S_OK) return LK_S_FALSE;
      if (!More) break;
    }
    return LK_S_OK;
  }

 private:
  std::shared_ptr<TSaneWiaState> FState;
  bool FRoot;
};

}  // namespace

void LKWiaSaneDevices(std::vector<TLKWiaDeviceProperties>& Devices) {
  for (const TSaneDeviceInfo& D : SaneListDevices()) {
    TLKWiaDeviceProperties P;
    P.Id = "sane:" + D.Name;
    P.Name = D.Vendor.empty() ? D.Name : D.Vendor + " " + D.Model;
    P.VendorDescription = D.Vendor;
    P.PortName = D.Name;
    P.ServerName = "local";
    P.DriverVersion = "SANE";
    P.Type = 0x00010000;
    Devices.push_back(std::move(P));
  }
}

std::shared_ptr<TLKWiaDeviceItem> LKWiaSaneDevice(const String& Name) {
  bool Known = false;
  for (const TSaneDeviceInfo& D : SaneListDevices()) Known = Known || D.Name == Name;
  if (!Known) return nullptr;
  auto State = std::make_shared<TSaneWiaState>();
  State->DeviceName = Name;
  return std::make_shared<TSaneWiaItem>(State, true);
}
