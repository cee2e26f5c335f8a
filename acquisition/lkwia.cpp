#include "acquisition/lkwia.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "core/lkabort.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "io/lumerakio.h"
#include "platform/threads.h"
#include "platform/treeview.h"
#include "acquisition/lkwiasystem.h"

namespace {

// A device tree deeper than this, or with more items, is taken as broken
// (a device answering its own folder as its child would never end).
constexpr int kMaxTreeDepth = 64;
constexpr size_t kMaxTreeItems = 100000;
// Camera picture: synchronise requests while waiting for the new item.
constexpr int kSyncTries = 50;
constexpr int kSyncPauseMs = 100;

bool Equal(const TLKGuid& A, const TLKGuid& B) { return A.Bytes == B.Bytes; }

TLKGuid G(const char* Text) {
  TLKGuid g;
  TLKGuid::FromText(Text, g);
  return g;
}

// A text shaped like a braced identifier is written as one.
bool LooksLikeGuid(const String& T) {
  return T.size() > 37 && T[0] == '{' && T[37] == '}' && T[9] == '-' && T[14] == '-' && T[19] == '-' &&
         T[24] == '-';
}

}  // namespace

const TLKGuid WiaImgFmt_MEMORYBMP = G("{B96B3CAA-0728-11D3-9D7B-0000F81EF32E}");
const TLKGuid WiaImgFmt_BMP = G("{B96B3CAB-0728-11D3-9D7B-0000F81EF32E}");
const TLKGuid WiaImgFmt_JPEG = G("{B96B3CAE-0728-11D3-9D7B-0000F81EF32E}");
const TLKGuid WIA_CMD_SYNCHRONIZE = G("{9B26B7B2-ACAD-11D2-A093-00C04F72DC3C}");
const TLKGuid WIA_CMD_TAKE_PICTURE = G("{AF933CAC-ACAD-11D2-A093-00C04F72DC3C}");
const TLKGuid WIA_EVENT_ITEM_CREATED = G("{4C8F4EF5-E14F-11D2-B326-00C04F68CE61}");
const TLKGuid WIA_EVENT_ITEM_DELETED = G("{1D22A559-E14F-11D2-B326-00C04F68CE61}");
const TLKGuid WIA_EVENT_TREE_UPDATED = G("{C9859B91-4AB2-4CD6-A1FC-582EEC55E585}");

String TLKGuid::ToText() const {
  static const char* kHex = "0123456789ABCDEF";
  String t = "{";
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) t += '-';
    t += kHex[Bytes[i] >> 4];
    t += kHex[Bytes[i] & 15];
  }
  return t + "}";
}

bool TLKGuid::FromText(const String& Text, TLKGuid& Out) {
  if (Text.size() != 38 || !LooksLikeGuid(Text)) return false;
  TLKGuid g;
  int n = 0;
  for (size_t i = 1; i < 37; ++i) {
    if (Text[i] == '-') continue;
    const char c = Text[i];
    int v = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (v < 0 || n >= 32) return false;
    g.Bytes[n / 2] = Byte(g.Bytes[n / 2] | (n % 2 ? v : v << 4));
    ++n;
  }
  if (n != 32) return false;
  Out = g;
  return true;
}

TLKWiaItemType WiaItemTypeToSet(Cardinal Flags) {
  TLKWiaItemType s;
  for (int n = 0; n <= 17; ++n)
    if (Flags & (1u << n)) s.Include(static_cast<TLKWiaItemKind>(n + 1));
  if (Flags & WiaItemTypeRemoved) s.Include(witRemoved);
  if (Flags & WiaItemTypeMask) s.Include(witMask);
  return s;
}

TLKWiaVariant TLKWiaValues::GetValues(Integer Index) const {
  if (Index < 0 || Index >= Count || size_t(Index) >= Values.size()) return {};
  return Values[size_t(Index)];
}

// ---------------------------------------------------------------------------

TLKWia::TLKWia(TComponent* Owner)
    : FOwner(Owner),
      FManager(LKWiaGetManager()),
      FLatestEvent(std::make_shared<std::atomic<TLKWiaEvent>>(lkeNone)),
      FAlive(std::make_shared<std::atomic<bool>>(true)) {
  if (!FManager) return;
  // The sink may run on a device thread: it stores the event and posts the
  // tree-changed call to the main thread, where this object is checked
  // for life before it is used.
  auto Latest = FLatestEvent;
  auto Alive = FAlive;
  TLKWia* Self = this;
  auto Registration = FManager->RegisterEvents([Latest, Alive, Self](const TLKGuid& Event) {
    TLKWiaEvent e = Equal(Event, WIA_EVENT_TREE_UPDATED)   ? lkeTreeUpdated
                    : Equal(Event, WIA_EVENT_ITEM_CREATED) ? lkeItemCreated
                    : Equal(Event, WIA_EVENT_ITEM_DELETED) ? lkeItemDeleted
                                                           : lkeNone;
    if (e == lkeNone || !Alive->load()) return;
    Latest->store(e);
    PostToMainThread([Alive, Self] {
      if (Alive->load()) Self->DoItemsTreeUpdated();
    });
  });
  if (Registration) FRegistrations.push_back(std::move(Registration));
}

TLKWia::~TLKWia() {
  FAlive->store(false);
  FRegistrations.clear();
  FRoot.reset();
  FDevices.clear();
}

void TLKWia::EmptyDeviceInfo() { FDevices.clear(); }

void TLKWia::FillDevices() {
  if (!FManager) return;
  std::vector<TLKWiaDeviceProperties> List;
  if (!FManager->EnumDevices(List)) return;
  EmptyDeviceInfo();
  for (const auto& D : List) {
    if (!D.Readable) continue;
    auto Info = std::make_unique<TLKWiaDeviceInfo>();
    Info->Name = D.Name;
    Info->DeviceID = D.Id;
    Info->DriverVersion = D.DriverVersion;
    Info->PortName = D.PortName;
    Info->ServerName = D.ServerName;
    Info->VendorDescription = D.VendorDescription;
    const Cardinal High = Cardinal(D.Type) >> 16;
    Info->DeviceType = High == 2 ? lkwDigitalCamera : High == 3 ? lkwStreamingVideo : lkwScanner;
    FDevices.push_back(std::move(Info));
  }
}

TLKWiaDeviceInfo* TLKWia::GetDevicesInfo(Integer I) {
  if (FDevices.empty()) FillDevices();
  return I >= 0 && size_t(I) < FDevices.size() ? FDevices[size_t(I)].get() : nullptr;
}

Integer TLKWia::GetDevicesInfoCount() {
  ConnectToDefault();
  if (FDevices.empty()) FillDevices();
  return Integer(FDevices.size());
}

bool TLKWia::HasDevice(Integer I) {
  if (FDevices.empty()) FillDevices();
  return I >= 0 && size_t(I) < FDevices.size();
}

bool TLKWia::ConnectTo(Integer I) {
  if (!FManager) return false;
  FRoot.reset();
  FConnectedDevice = I;
  if (!HasDevice(I)) return false;
  auto Device = FManager->CreateDevice(FDevices[size_t(I)]->DeviceID);
  if (!Device) return false;
  FRoot = std::make_unique<TLKWiaItem>();
  FRoot->ItemInterface = std::move(Device);
  CaptureOnTransfer = FDevices[size_t(I)]->DeviceType != lkwDigitalCamera;
  FillItemChildren(FRoot.get());
  return true;
}

bool TLKWia::ConnectToDefault() {
  if (FRoot) return true;
  return ConnectTo(0);
}

bool TLKWia::ConnectToUsingDialog() {
  FRoot.reset();
  String Id;
  if (!FManager || !FManager->SelectDevice(Id)) return false;
  if (FDevices.empty()) FillDevices();
  for (size_t i = 0; i < FDevices.size(); ++i)
    if (FDevices[i]->DeviceID == Id) return ConnectTo(Integer(i));
  return false;
}

namespace {

struct TTreeFill {
  size_t Items = 0;
  void Fill(TLKWiaItem* Item, int Depth) {
    Cardinal Flags = 0;
    if (Item->ItemInterface && Item->ItemInterface->GetItemType(Flags)) Item->Kinds = WiaItemTypeToSet(Flags);
    std::vector<std::shared_ptr<TLKWiaDeviceItem>> Children;
    if (!Item->ItemInterface || Depth >= kMaxTreeDepth || !Item->ItemInterface->EnumChildItems(Children)) return;
    for (auto& C : Children) {
      if (!C || ++Items > kMaxTreeItems) return;
      auto Sub = std::make_unique<TLKWiaItem>();
      Sub->ItemInterface = C;
      Cardinal F = 0;
      if (C->GetItemType(F)) Sub->Kinds = WiaItemTypeToSet(F);
      TLKWiaItem* Raw = Sub.get();
      Item->SubItems.push_back(std::move(Sub));
      if (Raw->Kinds.Contains(witFolder)) Fill(Raw, Depth + 1);
    }
  }
};

}  // namespace

bool TLKWia::ShowAcquireDialog(bool CommonDialog) {
  if (!ConnectToDefault() || !FManager) return false;
  FRoot->SubItems.clear();
  std::vector<std::shared_ptr<TLKWiaDeviceItem>> Chosen;
  if (!FManager->DeviceDialog(*FRoot->ItemInterface, CommonDialog, Chosen)) return false;
  TTreeFill Fill;
  for (auto& C : Chosen) {
    if (!C) continue;
    auto Sub = std::make_unique<TLKWiaItem>();
    Sub->ItemInterface = C;
    Fill.Fill(Sub.get(), 1);
    FRoot->SubItems.push_back(std::move(Sub));
  }
  return true;
}

void TLKWia::FillItemChildren(TLKWiaItem* Item) {
  if (!Item) return;
  TTreeFill Fill;
  Fill.Fill(Item, 0);
}

void TLKWia::UpdateItems() {
  if (!FRoot) return;
  FRoot->SubItems.clear();
  FillItemChildren(FRoot.get());
}

TLKWiaItem* TLKWia::FindImageItem(TLKWiaItem* From, bool Last) {
  const size_t n = From->SubItems.size();
  for (size_t k = 0; k < n; ++k) {
    TLKWiaItem* S = From->SubItems[Last ? n - 1 - k : k].get();
    if (S->Kinds.Contains(witImage)) return S;
    if (S->Kinds.Contains(witFolder))
      if (TLKWiaItem* Found = FindImageItem(S, Last)) return Found;
  }
  return nullptr;
}

bool TLKWia::GetDefaultItem(TLKWiaItem*& Item, bool Last) {
  if (Item) return true;
  if (!FRoot) return false;
  Item = FindImageItem(FRoot.get(), Last);
  return Item != nullptr;
}

String WiaItemCaption(TLKWiaItem* Item, bool WithKinds) {
  if (!Item || !Item->ItemInterface) return String();
  TLKWiaVariant V;
  String Name;
  if (Item->ItemInterface->ReadProperty(WIA_IPA_ITEM_NAME, V) && std::holds_alternative<String>(V))
    Name = std::get<String>(V);
  if (!WithKinds) return Name;
  static const char* kWords[] = {" Free",          " Image",     " File",     " Folder",    " Root",
                                 " Analyze",       " Audio",     " Device",   " Deleted",   " Disconnected",
                                 " HPanorama",     " VPanorama", " Burst",    " Storage",   " Transfer",
                                 " Generated",     " HasAttachments", " Video"};
  String T = Name + " ( ";
  for (int k = 0; k < 18; ++k)
    if (Item->Kinds.Contains(static_cast<TLKWiaItemKind>(k))) T += kWords[k];
  if (Item->Kinds.Contains(witRemoved)) T += " Removed";
  return T + " )";
}

void TLKWia::FillTreeView(TTreeNodes* Nodes, bool WithKinds) {
  if (!Nodes) return;
  if (!FRoot) ConnectTo(0);
  if (!FRoot) return;
  std::function<void(TTreeNode*, TLKWiaItem*)> Add = [&](TTreeNode* Parent, TLKWiaItem* Item) {
    TTreeNode* Node = Nodes->AddChild(Parent, WiaItemCaption(Item, WithKinds));
    Node->SetData(Item);
    for (auto& S : Item->SubItems)
      if (!IsItemDeleted(S.get())) Add(Node, S.get());
  };
  Add(nullptr, FRoot.get());
}

bool TLKWia::GetItemThumbnail(TLKWiaItem* Item, TLKBitmap* Bitmap) {
  if (!Bitmap) return false;
  TLKWiaVariant Data = GetItemProperty(WIA_IPC_THUMBNAIL, Item);
  TLKWiaVariant W = GetItemProperty(WIA_IPC_THUMB_WIDTH, Item), H = GetItemProperty(WIA_IPC_THUMB_HEIGHT, Item);
  if (!std::holds_alternative<std::vector<Byte>>(Data) || !std::holds_alternative<Integer>(W) ||
      !std::holds_alternative<Integer>(H))
    return false;
  const Integer Width = std::get<Integer>(W), Height = std::get<Integer>(H);
  const auto& Bytes = std::get<std::vector<Byte>>(Data);
  if (Width <= 0 || Height <= 0) return false;
  TProgressRec Pr;
  const Int64 Stride = (Int64(Width) * 3 + 3) & ~Int64(3);
  // The device's sizes are checked against what it sent: only whole rows
  // that are there are copied.
  if (Int64(Bytes.size()) < Stride || !LKAllowPicture(Width, Height, 24, Pr, "thumbnail")) return false;
  Bitmap->Allocate(Width, Height, lk24RGB);
  const Int64 Rows = std::min<Int64>(Height, Int64(Bytes.size()) / Stride);
  for (Integer y = 0; y < Height; ++y) {
    Byte* Dst = static_cast<Byte*>(Bitmap->GetScanLine(Height - 1 - y));
    if (y < Rows) std::memcpy(Dst, Bytes.data() + Stride * y, size_t(Width) * 3);
    else std::memset(Dst, 0, size_t(Width) * 3);
  }
  return true;
}

bool TLKWia::DeleteItem(TLKWiaItem* Item) { return Item && Item->ItemInterface && Item->ItemInterface->DeleteItem(); }

bool TLKWia::IsItemDeleted(TLKWiaItem* Item) {
  Cardinal Flags = 0;
  return Item && Item->ItemInterface && Item->ItemInterface->GetItemType(Flags) &&
         WiaItemTypeToSet(Flags).Contains(witDeleted);
}

// ---------------------------------------------------------------------------
// Properties

TLKWiaVariant TLKWia::GetItemProperty(Cardinal Id, TLKWiaItem* Item) {
  ConnectToDefault();
  if (!GetDefaultItem(Item, false) || !Item->ItemInterface) return {};
  TLKWiaVariant V;
  if (!Item->ItemInterface->ReadProperty(Id, V)) return {};
  if (std::holds_alternative<TLKGuid>(V)) return std::get<TLKGuid>(V).ToText();
  return V;
}

TLKWiaVariant TLKWia::GetDeviceProperty(Cardinal Id) {
  ConnectToDefault();
  if (!FRoot) return {};
  return GetItemProperty(Id, FRoot.get());
}

bool TLKWia::SetItemPropertyVariant(Cardinal Id, const TLKWiaVariant& Value, TLKWiaItem* Item) {
  ConnectToDefault();
  if (!GetDefaultItem(Item, false) || !Item->ItemInterface) return false;
  TLKGuid g;
  if (std::holds_alternative<String>(Value) && LooksLikeGuid(std::get<String>(Value)) &&
      TLKGuid::FromText(std::get<String>(Value).substr(0, 38), g))
    return Item->ItemInterface->WriteProperty(Id, g);
  return Item->ItemInterface->WriteProperty(Id, Value);
}

bool TLKWia::SetItemProperty(Cardinal Id, const TLKWiaVariant& Value, TLKWiaItem* Item) {
  return SetItemPropertyVariant(Id, Value, Item);
}

bool TLKWia::SetDevicePropertyVariant(Cardinal Id, const TLKWiaVariant& Value) {
  ConnectToDefault();
  return FRoot && SetItemPropertyVariant(Id, Value, FRoot.get());
}

bool TLKWia::SetDeviceProperty(Cardinal Id, const TLKWiaVariant& Value) { return SetDevicePropertyVariant(Id, Value); }

void TLKWia::GetItemPropertyAttrib(Cardinal Id, TLKWiaItem* Item, TLKWiaAttrib& Attributes,
                                   std::unique_ptr<TLKWiaValues>& Values) {
  Values = std::make_unique<TLKWiaValues>();
  Attributes = TLKWiaAttrib();
  ConnectToDefault();
  if (!GetDefaultItem(Item, false) || !Item->ItemInterface) return;
  Cardinal Flags = 0;
  TLKWiaVariant V;
  if (!Item->ItemInterface->GetPropertyAttributes(Id, Flags, V)) return;
  for (int b = 0; b < 7; ++b)
    if (Flags & (1u << b)) Attributes.Include(static_cast<TLKWiaAttribKind>(b));
  if (Flags & WIA_PROP_CACHEABLE) Attributes.Include(lkwaCacheable);
  if (const auto* Ints = std::get_if<std::vector<Integer>>(&V)) {
    const auto& L = *Ints;
    if (Attributes.Contains(lkwaRange)) {
      if (L.size() > 0) Values->RangeMin = L[0];
      if (L.size() > 1) Values->Nominal = L[1];
      if (L.size() > 2) Values->RangeMax = L[2];
      if (L.size() > 3) Values->RangeStep = L[3];
    } else if (Attributes.Contains(lkwaList)) {
      if (L.size() > 1) Values->Nominal = L[1];
      // The count the device states is held to the values it sent.
      const Int64 Stated = L.empty() ? 0 : std::max<Int64>(0, L[0]);
      const Int64 Count = std::min<Int64>(Stated, Int64(L.size()) - 2 < 0 ? 0 : Int64(L.size()) - 2);
      for (Int64 k = 0; k < Count; ++k) Values->Values.push_back(L[size_t(k + 2)]);
      Values->Count = Integer(Count);
    } else if (Attributes.Contains(lkwaFlag)) {
      if (!L.empty()) Values->Nominal = L[0];
    }
  } else if (const auto* Texts = std::get_if<std::vector<Byte>>(&V); Texts && Attributes.Contains(lkwaList)) {
    // A list of identifiers comes as 16 bytes each.
    const size_t n = Texts->size() / 16;
    for (size_t k = 0; k < n; ++k) {
      TLKGuid g;
      std::memcpy(g.Bytes.data(), Texts->data() + k * 16, 16);
      Values->Values.push_back(g.ToText());
    }
    Values->Count = Integer(n);
  }
}

// ---------------------------------------------------------------------------
// Transfer

bool LKWiaDecodePage(const TLKGuid& Format, const Byte* Data, Int64 Size, TLKBitmap* Bitmap, TIOParamsVals& Params,
                     String& Why) {
  const bool Memory = Format == WiaImgFmt_MEMORYBMP;
  std::vector<Byte> File;
  if (Memory) {
    // A memory bitmap is a BMP file without its 14-byte file header: the
    // header is put back, its pixel offset after the info header and the
    // palette the info header announces.
    if (Size < 40) {
      Why = "the memory bitmap is shorter than its header";
      return false;
    }
    auto U32 = [&](Int64 At) { return Cardinal(Data[At]) | Cardinal(Data[At + 1]) << 8 | Cardinal(Data[At + 2]) << 16 | Cardinal(Data[At + 3]) << 24; };
    const Cardinal HeaderSize = U32(0), Compression = U32(16), Used = U32(32);
    const Integer Bits = Data[14] | Data[15] << 8;
    if (HeaderSize < 40 || HeaderSize > Cardinal(Size)) {
      Why = "the memory bitmap has a broken header";
      return false;
    }
    const Int64 Colours = Used ? Int64(Used) : (Bits <= 8 ? Int64(1) << Bits : 0);
    const Int64 Masks = HeaderSize == 40 && Compression == 3 ? 12 : 0;
    const Int64 Offset = 14 + Int64(HeaderSize) + Masks + std::min<Int64>(Colours, 256) * 4;
    File.resize(size_t(14 + Size));
    File[0] = 'B';
    File[1] = 'M';
    for (int k = 0; k < 4; ++k) {
      File[size_t(2 + k)] = Byte(Int64(File.size()) >> (8 * k));
      File[size_t(10 + k)] = Byte(Offset >> (8 * k));
    }
    std::memcpy(File.data() + 14, Data, size_t(Size));
  }
  TLKMemStream Stream(Memory ? File.data() : Data, Memory ? Int64(File.size()) : Size);
  TLumerakIO IO;
  IO.SetAttachedLKBitmap(Bitmap);
  if (Memory || Format == WiaImgFmt_BMP) IO.LoadFromStreamBMP(&Stream);
  else if (Format == WiaImgFmt_JPEG) IO.LoadFromStreamJpeg(&Stream);
  else IO.SetAbortedWith("the device sent a page in a format that cannot be read");
  const bool Ok = !IO.GetAborted();
  if (Ok) Params.Assign(IO.GetIOParams());
  else Why = IO.GetAbortReason();
  IO.SetAttachedLKBitmap(nullptr);
  return Ok;
}

bool TLKWia::GetPage(const TLKWiaDataHeader& Header, const Byte* Data, Int64 Size) {
  TLKBitmap Scratch;
  TLKBitmap* Target = TargetBitmap ? TargetBitmap : &Scratch;
  TIOParamsVals Params;
  const bool Jpeg = Equal(Header.guidFormatID, WiaImgFmt_JPEG);
  String Why;
  const bool Decoded = LKWiaDecodePage(Header.guidFormatID, Data, Size, Target, Params, Why);
  if (!DumpFileName.empty()) {
    std::ofstream Dump(DumpFileName, std::ios::binary | std::ios::trunc);
    if (Size > 0) Dump.write(reinterpret_cast<const char*>(Data), std::streamsize(Size));
  }
  // A page that could not be decoded is not handed on as if it were a
  // picture: the transfer reports the fault instead.
  if (!Decoded) {
    FLastError = "a page could not be read: " + Why;
    return false;
  }
  auto CopyInto = [&](TIOParamsVals* P) {
    if (!P) return;
    if (Jpeg) {
      P->Assign(&Params);
    } else {
      P->SetDpiX(Params.DPIX);
      P->SetDpiY(Params.DPIY);
      P->BITSPERSAMPLE = Params.BITSPERSAMPLE;
      P->SAMPLESPERPIXEL = Params.SAMPLESPERPIXEL;
      P->WIDTH = Params.WIDTH;
      P->HEIGHT = Params.HEIGHT;
    }
  };
  if (OnPage) {
    TObject* Out = nullptr;
    OnPage(Target, Out);
    CopyInto(dynamic_cast<TIOParamsVals*>(Out));
  }
  PageInfo.DPIX = Params.DPIX;
  PageInfo.DPIY = Params.DPIY;
  if (auto* IO = dynamic_cast<TLumerakIO*>(FOwner)) CopyInto(IO->GetIOParams());
  return true;
}

bool TLKWia::Transfer(TLKWiaItem* Item, bool Multi) {
  FLastError.clear();
  if (!FManager) {
    FLastError = "there is no picture-acquisition service";
    return false;
  }
  if (!ConnectToDefault()) {
    FLastError = "no scanner or camera could be opened";
    return false;
  }
  std::unique_ptr<TLKWiaItem> Made;  // an item the take-picture command returned
  if (!GetDefaultItem(Item, false) && !CaptureOnTransfer) {
    FLastError = "the device has no picture to transfer";
    return false;
  }
  auto SetTymed = [&](TLKWiaItem* I) {
    if (!I || !I->ItemInterface) return;
    if (!Multi || !I->ItemInterface->WriteProperty(WIA_IPA_TYMED, TYMED_MULTIPAGE_CALLBACK))
      I->ItemInterface->WriteProperty(WIA_IPA_TYMED, TYMED_CALLBACK);
  };
  SetTymed(Item);
  const bool Camera = GetDevicesInfo(FConnectedDevice) && GetDevicesInfo(FConnectedDevice)->DeviceType == lkwDigitalCamera;
  bool Captured = false;
  if (CaptureOnTransfer) {
    FLatestEvent->store(lkeNone);
    std::shared_ptr<TLKWiaDeviceItem> NewItem;
    Captured = FRoot->ItemInterface->DeviceCommand(WIA_CMD_TAKE_PICTURE, NewItem);
    if (Camera) {
      for (int k = 0; k < kSyncTries && FLatestEvent->load() == lkeNone; ++k) {
        std::shared_ptr<TLKWiaDeviceItem> Ignored;
        FRoot->ItemInterface->DeviceCommand(WIA_CMD_SYNCHRONIZE, Ignored);
        if (FLatestEvent->load() != lkeNone) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(kSyncPauseMs));
      }
      UpdateItems();
      Item = FindImageItem(FRoot.get(), true);
    }
    if (NewItem) {
      Made = std::make_unique<TLKWiaItem>();
      Made->ItemInterface = NewItem;
      Cardinal F = 0;
      if (NewItem->GetItemType(F)) Made->Kinds = WiaItemTypeToSet(F);
      Item = Made.get();
    }
    SetTymed(Item);
  }
  if (!Item || !Item->ItemInterface) {
    const String Why = FRoot->ItemInterface->GetErrorText();
    FLastError = Why.empty() ? String("the device has no picture to transfer") : Why;
    return false;
  }
  if (ImageFormat == lktfBitmap) Item->ItemInterface->WriteProperty(WIA_IPA_FORMAT, WiaImgFmt_MEMORYBMP);
  else if (ImageFormat == lktfJpeg) Item->ItemInterface->WriteProperty(WIA_IPA_FORMAT, WiaImgFmt_JPEG);
  if (!Item->ItemInterface->CanTransfer()) {
    FLastError = "the item cannot transfer data";
    return false;
  }

  TLKWiaDataHeader Header;
  bool HaveHeader = false, Fault = false;
  Integer Pages = 0;
  std::vector<Byte> Data;
  const Int64 Limit = LKMemoryAllocationLimit();
  auto Fail = [&](const String& Why) {
    if (!Fault) FLastError = Why;
    Fault = true;
  };
  TLKWiaBandedData Receiver = [&](Integer Message, Integer, Integer Percent, Integer, Integer Length,
                                  const Byte* Buffer) -> Integer {
    Integer Answer = LK_S_OK;
    if (Fault) return LK_S_FALSE;
    switch (Message) {
      case IT_MSG_DATA_HEADER:
        if (!Buffer || Length < Integer(sizeof Header)) {
          Fail("the device sent a short data header");
          break;
        }
        std::memcpy(&Header, Buffer, sizeof Header);
        HaveHeader = true;
        break;
      case IT_MSG_DATA:
        // Every band is checked against what the device can sensibly send
        // and what one page may take in memory.
        if (Length < 0 || (Length > 0 && !Buffer)) Fail("the device sent a band of impossible length");
        else if (Int64(Data.size()) + Length > Limit) Fail("the device sent more data than a picture may take");
        else Data.insert(Data.end(), Buffer, Buffer + Length);
        break;
      case IT_MSG_TERMINATION:
      case IT_MSG_NEW_PAGE:
        if (HaveHeader) {
          if (GetPage(Header, Data.data(), Int64(Data.size()))) ++Pages;
          else Fault = true;
        }
        HaveHeader = false;
        // Each page is decoded from its own data alone.
        Data.clear();
        break;
      default:
        break;
    }
    if (Fault) return LK_S_FALSE;
    if (OnTransferProgress) Answer = OnTransferProgress(Percent) ? LK_S_OK : LK_S_FALSE;
    return Answer;
  };
  const Integer Rc = Item->ItemInterface->GetBandedData(Receiver);
  if (CaptureOnTransfer && DeleteCapturedPicture && Camera && Captured) Item->ItemInterface->DeleteItem();
  if (Fault) return false;
  if (Rc != LK_S_OK) {
    const String Why = Item->ItemInterface->GetErrorText();
    FLastError = Rc == LK_S_FALSE ? String("the transfer was stopped")
                                  : Why.empty() ? String("the device failed during the transfer") : Why;
    return false;
  }
  if (Pages == 0) {
    FLastError = "the device delivered no picture";
    return false;
  }
  return true;
}

void TLKWia::DoItemsTreeUpdated() {
  if (OnTreeChanged) OnTreeChanged(this);
}

// ---------------------------------------------------------------------------

namespace {

std::mutex gManagerLock;
bool gManagerSet = false;
std::shared_ptr<TLKWiaManager> gManager;

}  // namespace

std::shared_ptr<TLKWiaManager> LKWiaSetManager(std::shared_ptr<TLKWiaManager> Manager) {
  std::lock_guard<std::mutex> Lock(gManagerLock);
  auto Old = gManagerSet ? gManager : nullptr;
  gManager = std::move(Manager);
  gManagerSet = true;
  return Old;
}

std::shared_ptr<TLKWiaManager> LKWiaGetManager() {
  {
    std::lock_guard<std::mutex> Lock(gManagerLock);
    if (gManagerSet) return gManager;
  }
  auto System = LKWiaSystemManager();
  std::lock_guard<std::mutex> Lock(gManagerLock);
  if (!gManagerSet) {
    gManager = System;
    gManagerSet = true;
  }
  return gManager;
}

std::vector<Byte> LKWiaMakeMemoryBitmap(Integer Width, Integer Height, Integer Channels, Integer Dpi,
                                        const std::vector<Byte>& Rows) {
  if (Width <= 0 || Height <= 0 || (Channels != 1 && Channels != 3) ||
      Int64(Rows.size()) < Int64(Width) * Height * Channels)
    return {};
  const Integer Bits = Channels * 8;
  const Int64 Stride = (Int64(Width) * Channels + 3) & ~Int64(3);
  const Integer Palette = Channels == 1 ? 256 * 4 : 0;
  std::vector<Byte> Out(size_t(40 + Palette + Stride * Height), 0);
  auto Put32 = [&](size_t At, Cardinal V) {
    for (int k = 0; k < 4; ++k) Out[At + size_t(k)] = Byte(V >> (8 * k));
  };
  const Cardinal PelsPerMeter = Cardinal(std::max(0.0, Dpi * 39.3701 + 0.5));
  Put32(0, 40);
  Put32(4, Cardinal(Width));
  Put32(8, Cardinal(Height));
  Out[12] = 1;
  Out[14] = Byte(Bits);
  Put32(20, Cardinal(Stride * Height));
  Put32(24, PelsPerMeter);
  Put32(28, PelsPerMeter);
  if (Channels == 1) {
    Put32(32, 256);
    for (int i = 0; i < 256; ++i) Out[size_t(40 + i * 4)] = Out[size_t(41 + i * 4)] = Out[size_t(42 + i * 4)] = Byte(i);
  }
  Byte* Pix = Out.data() + 40 + Palette;
  for (Integer y = 0; y < Height; ++y) {
    const Byte* Src = Rows.data() + size_t(y) * size_t(Width) * size_t(Channels);
    Byte* Dst = Pix + Stride * (Height - 1 - y);
    if (Channels == 1) {
      std::memcpy(Dst, Src, size_t(Width));
    } else {
      for (Integer x = 0; x < Width; ++x) {
        Dst[x * 3] = Src[x * 3 + 2];
        Dst[x * 3 + 1] = Src[x * 3 + 1];
        Dst[x * 3 + 2] = Src[x * 3];
      }
    }
  }
  return Out;
}
