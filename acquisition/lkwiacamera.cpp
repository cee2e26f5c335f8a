// Cameras as devices of the picture-acquisition object, and the system's
// device manager (SANE scanners and libgphoto2 cameras).
#include <algorithm>
#include <atomic>
#include <cstring>
#include <list>
#include <map>
#include <mutex>

#include "acquisition/lkwiasystem.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"
#include "core/lklists.h"
#include "io/lkparams.h"
#include "platform/gphoto.h"

namespace {

// A camera listing more entries than this in one folder, or folders deeper
// than this, is taken as broken.
constexpr size_t kMaxEntries = 100000;
constexpr size_t kBand = 64 * 1024;

struct TCameraShared {
  std::shared_ptr<TLKCamera> Camera;
  String Name;
  TLKWiaEventSink Notify;
  std::mutex Lock;
  std::vector<std::pair<String, String>> Deleted;
  String Error;
};

String Join(const String& Folder, const String& Name) {
  return Folder.empty() || Folder.back() == '/' ? Folder + Name : Folder + "/" + Name;
}

class TCameraItem : public TLKWiaDeviceItem {
 public:
  enum TKind { Root, Folder, File };
  TCameraItem(std::shared_ptr<TCameraShared> Shared, TKind Kind, String Folder, String Name)
      : FShared(std::move(Shared)), FKind(Kind), FFolder(std::move(Folder)), FName(std::move(Name)) {}

  bool GetItemType(Cardinal& Flags) override {
    switch (FKind) {
      case Root: Flags = WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice; break;
      case Folder: Flags = WiaItemTypeFolder; break;
      case File: Flags = WiaItemTypeImage | WiaItemTypeFile | (IsDeleted() ? WiaItemTypeDeleted : 0); break;
    }
    return true;
  }

  bool EnumChildItems(std::vector<std::shared_ptr<TLKWiaDeviceItem>>& Children) override {
    Children.clear();
    if (FKind == File) return true;
    const String Path = FKind == Root ? String("/") : Join(FFolder, FName);
    std::vector<String> Folders, Files;
    if (!FShared->Camera->ListFolders(Path, Folders) || !FShared->Camera->ListFiles(Path, Files)) {
      FShared->Error = FShared->Camera->Error();
      return false;
    }
    if (Folders.size() + Files.size() > kMaxEntries) {
      FShared->Error = "the camera lists more entries than a folder may hold";
      return false;
    }
    for (const String& F : Folders) Children.push_back(std::make_shared<TCameraItem>(FShared, Folder, Path, F));
    for (const String& F : Files)
      if (!IsDeleted(Path, F)) Children.push_back(std::make_shared<TCameraItem>(FShared, File, Path, F));
    return true;
  }

  bool ReadProperty(Cardinal Id, TLKWiaVariant& Value) override {
    switch (Id) {
      case WIA_IPA_ITEM_NAME: Value = FKind == Root ? FShared->Name : FName; return true;
      case WIA_DIP_DEV_NAME: Value = FShared->Name; return FKind == Root;
      case WIA_IPA_FORMAT: Value = WiaImgFmt_JPEG; return FKind == File;
      case WIA_IPA_TYMED: Value = TYMED_CALLBACK; return FKind == File;
      case WIA_IPC_THUMBNAIL:
      case WIA_IPC_THUMB_WIDTH:
      case WIA_IPC_THUMB_HEIGHT:
        if (FKind != File || !LoadThumbnail()) return false;
        if (Id == WIA_IPC_THUMBNAIL) Value = FThumb;
        else Value = Id == WIA_IPC_THUMB_WIDTH ? FThumbW : FThumbH;
        return true;
      default: return false;
    }
  }

  bool WriteProperty(Cardinal Id, const TLKWiaVariant& Value) override {
    if (FKind != File) return false;
    // A camera hands over its files as they are: one page each, in the
    // file's own format.
    if (Id == WIA_IPA_TYMED) return std::holds_alternative<Integer>(Value) && std::get<Integer>(Value) == TYMED_CALLBACK;
    if (Id == WIA_IPA_FORMAT) return std::holds_alternative<TLKGuid>(Value) && std::get<TLKGuid>(Value) == WiaImgFmt_JPEG;
    return false;
  }

  bool GetPropertyAttributes(Cardinal, Cardinal&, TLKWiaVariant&) override { return false; }

  bool DeviceCommand(const TLKGuid& Command, std::shared_ptr<TLKWiaDeviceItem>& NewItem) override {
    if (FKind != Root) return false;
    if (Command == WIA_CMD_SYNCHRONIZE) return true;
    if (!(Command == WIA_CMD_TAKE_PICTURE)) return false;
    String F, N;
    if (!FShared->Camera->Capture(F, N)) {
      FShared->Error = FShared->Camera->Error();
      return false;
    }
    NewItem = std::make_shared<TCameraItem>(FShared, File, F, N);
    if (FShared->Notify) FShared->Notify(WIA_EVENT_ITEM_CREATED);
    return true;
  }

  bool DeleteItem() override {
    if (FKind != File || IsDeleted()) return false;
    if (!FShared->Camera->DeleteFile(FFolder, FName)) {
      FShared->Error = FShared->Camera->Error();
      return false;
    }
    {
      std::lock_guard<std::mutex> L(FShared->Lock);
      FShared->Deleted.emplace_back(FFolder, FName);
    }
    if (FShared->Notify) FShared->Notify(WIA_EVENT_ITEM_DELETED);
    return true;
  }

  bool CanTransfer() override { return FKind == File && !IsDeleted(); }
  String GetErrorText() override { return FShared->Error; }

  Integer GetBandedData(const TLKWiaBandedData& Receiver) override {
    FShared->Error.clear();
    std::vector<Byte> Data;
    if (!CanTransfer() || !FShared->Camera->GetFile(FFolder, FName, false, Data, LKMemoryAllocationLimit())) {
      FShared->Error = CanTransfer() ? FShared->Camera->Error() : String("the item holds no picture");
      return LK_E_FAIL;
    }
    TLKWiaDataHeader Header;
    if (Data.size() >= 3 && Data[0] == 0xFF && Data[1] == 0xD8 && Data[2] == 0xFF) {
      Header.guidFormatID = WiaImgFmt_JPEG;
    } else if (Data.size() >= 2 && Data[0] == 'B' && Data[1] == 'M') {
      Header.guidFormatID = WiaImgFmt_BMP;
    } else {
      FShared->Error = "the camera file " + FName + " is not a picture this program reads";
      return LK_E_FAIL;
    }
    Header.lBufferSize = std::int32_t(std::min<size_t>(Data.size(), 0x7FFFFFFF));
    Header.lPageCount = 1;
    if (Receiver(IT_MSG_DATA_HEADER, 0, 0, 0, sizeof Header, reinterpret_cast<const Byte*>(&Header)) != LK_S_OK)
      return LK_S_FALSE;
    for (size_t At = 0; At < Data.size(); At += kBand) {
      const size_t N = std::min(kBand, Data.size() - At);
      if (Receiver(IT_MSG_DATA, 0, Integer((At + N) * 100 / Data.size()), Integer(At), Integer(N), Data.data() + At) !=
          LK_S_OK)
        return LK_S_FALSE;
    }
    return Receiver(IT_MSG_TERMINATION, 0, 100, 0, 0, nullptr) == LK_S_OK ? LK_S_OK : LK_S_FALSE;
  }

 private:
  bool IsDeleted() const { return IsDeleted(FFolder, FName); }
  bool IsDeleted(const String& F, const String& N) const {
    std::lock_guard<std::mutex> L(FShared->Lock);
    return std::find(FShared->Deleted.begin(), FShared->Deleted.end(), std::make_pair(F, N)) != FShared->Deleted.end();
  }

  // The camera's preview, decoded and kept as the rows a thumbnail array
  // holds: bottom row first, blue-green-red, rows padded to 4 bytes.
  bool LoadThumbnail() {
    if (FThumbTried) return !FThumb.empty();
    FThumbTried = true;
    std::vector<Byte> Jpeg;
    if (!FShared->Camera->GetFile(FFolder, FName, true, Jpeg, Int64(16) << 20)) return false;
    TLKBitmap B;
    TIOParamsVals P;
    String Why;
    if (!LKWiaDecodePage(WiaImgFmt_JPEG, Jpeg.data(), Int64(Jpeg.size()), &B, P, Why) || B.GetWidth() <= 0 ||
        B.GetHeight() <= 0)
      return false;
    const TLKPixelFormat Fmt = B.GetPixelFormat();
    if (Fmt != lk24RGB && Fmt != lk8g) return false;
    const Integer W = B.GetWidth(), H = B.GetHeight();
    const size_t Stride = (size_t(W) * 3 + 3) & ~size_t(3);
    FThumb.assign(Stride * size_t(H), 0);
    for (Integer y = 0; y < H; ++y) {
      const Byte* Src = static_cast<const Byte*>(B.GetScanLine(y));
      Byte* Dst = FThumb.data() + Stride * size_t(H - 1 - y);
      for (Integer x = 0; x < W; ++x)
        for (int c = 0; c < 3; ++c) Dst[x * 3 + c] = Fmt == lk24RGB ? Src[x * 3 + c] : Src[x];
    }
    FThumbW = W;
    FThumbH = H;
    return true;
  }

  std::shared_ptr<TCameraShared> FShared;
  TKind FKind;
  String FFolder, FName;
  bool FThumbTried = false;
  std::vector<Byte> FThumb;
  Integer FThumbW = 0, FThumbH = 0;
};

class TGPhotoAdapter : public TLKCamera {
 public:
  explicit TGPhotoAdapter(std::unique_ptr<TGPhotoCamera> C) : FCamera(std::move(C)) {}
  bool ListFolders(const String& F, std::vector<String>& N) override { return FCamera->ListFolders(F, N); }
  bool ListFiles(const String& F, std::vector<String>& N) override { return FCamera->ListFiles(F, N); }
  bool GetFile(const String& F, const String& N, bool T, std::vector<Byte>& D, Int64 M) override {
    return FCamera->GetFile(F, N, T, D, M);
  }
  bool Capture(String& F, String& N) override { return FCamera->Capture(F, N); }
  bool DeleteFile(const String& F, const String& N) override { return FCamera->DeleteFile(F, N); }
  String Error() const override { return FCamera->Error(); }

 private:
  std::unique_ptr<TGPhotoCamera> FCamera;
};

// The system's manager: SANE's scanners, then libgphoto2's cameras.
class TSystemManager : public TLKWiaManager, public std::enable_shared_from_this<TSystemManager> {
 public:
  bool EnumDevices(std::vector<TLKWiaDeviceProperties>& Devices) override {
    Devices.clear();
    LKWiaSaneDevices(Devices);
    for (const TGPhotoCameraInfo& C : GPhotoListCameras()) {
      TLKWiaDeviceProperties P;
      P.Id = "gphoto:" + C.Port + "|" + C.Model;
      P.Name = C.Model;
      P.PortName = C.Port;
      P.ServerName = "local";
      P.DriverVersion = "libgphoto2";
      P.Type = 0x00020000;
      Devices.push_back(std::move(P));
    }
    return true;
  }

  std::shared_ptr<TLKWiaDeviceItem> CreateDevice(const String& Id) override {
    if (Id.rfind("sane:", 0) == 0) return LKWiaSaneDevice(Id.substr(5));
    if (Id.rfind("gphoto:", 0) != 0) return nullptr;
    const size_t Bar = Id.find('|', 7);
    if (Bar == String::npos) return nullptr;
    String Error;
    auto Camera = LKGPhotoCamera(Id.substr(Bar + 1), Id.substr(7, Bar - 7), Error);
    if (!Camera) return nullptr;
    std::weak_ptr<TSystemManager> Self = weak_from_this();
    return LKWiaCameraDevice(Camera, Id.substr(Bar + 1), [Self](const TLKGuid& Event) {
      if (auto M = Self.lock()) M->Broadcast(Event);
    });
  }

  std::shared_ptr<void> RegisterEvents(TLKWiaEventSink Sink) override {
    std::lock_guard<std::mutex> L(FLock);
    auto It = FSinks.insert(FSinks.end(), std::move(Sink));
    std::weak_ptr<TSystemManager> Self = weak_from_this();
    return std::shared_ptr<void>(nullptr, [Self, It](void*) {
      if (auto M = Self.lock()) {
        std::lock_guard<std::mutex> L(M->FLock);
        M->FSinks.erase(It);
      }
    });
  }

  void Broadcast(const TLKGuid& Event) {
    std::vector<TLKWiaEventSink> Copy;
    {
      std::lock_guard<std::mutex> L(FLock);
      Copy.assign(FSinks.begin(), FSinks.end());
    }
    for (auto& S : Copy) S(Event);
  }

 private:
  std::mutex FLock;
  std::list<TLKWiaEventSink> FSinks;
};

}  // namespace

std::shared_ptr<TLKWiaDeviceItem> LKWiaCameraDevice(std::shared_ptr<TLKCamera> Camera, const String& Name,
                                                    TLKWiaEventSink Notify) {
  if (!Camera) return nullptr;
  auto Shared = std::make_shared<TCameraShared>();
  Shared->Camera = std::move(Camera);
  Shared->Name = Name;
  Shared->Notify = std::move(Notify);
  return std::make_shared<TCameraItem>(Shared, TCameraItem::Root, String(), String());
}

std::shared_ptr<TLKCamera> LKGPhotoCamera(const String& Model, const String& Port, String& Error) {
  auto C = TGPhotoCamera::Open(Model, Port, Error);
  if (!C) return nullptr;
  return std::make_shared<TGPhotoAdapter>(std::move(C));
}

std::shared_ptr<TLKWiaManager> LKWiaSystemManager() { return std::make_shared<TSystemManager>(); }
