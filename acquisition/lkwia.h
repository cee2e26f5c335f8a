// Pictures from scanners and cameras through the acquisition service's
// device layer (acquisition/lkwiadevice.h): the device list, a connection
// to one device mirrored as a tree of items, item and device properties
// with their allowed values, taking a picture, and the banded transfer of
// an item whose pages (memory bitmap, BMP or JPEG) are decoded into a
// target bitmap.
//
// Threads: every call on the caller's (main) thread. Device events may
// arrive on any thread: they are stored atomically and the tree-changed
// event is posted to the main thread.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "acquisition/lkwiadevice.h"
#include "platform/classes.h"

class TLKBitmap;
class TIOParamsVals;
class TTreeNodes;

enum TLKWiaDeviceType : Byte { lkwScanner, lkwDigitalCamera, lkwStreamingVideo };
enum TLKTransferFormat : Byte { lktfDefault, lktfBitmap, lktfJpeg };
enum TLKWiaEvent : Byte { lkeNone, lkeTreeUpdated, lkeItemCreated, lkeItemDeleted };

/// Item kinds: flag bit n of the item type is element n + 1.
enum TLKWiaItemKind : Byte {
  witFree, witImage, witFile, witFolder, witRoot, witAnalyze, witAudio, witDevice, witDeleted, witDisconnected,
  witHPanorama, witVPanorama, witBurst, witStorage, witTransfer, witGenerated, witHasAttachments, witVideo,
  witTwainCapabilityPassThrough, witRemoved, witMask
};
using TLKWiaItemType = TLKSet<TLKWiaItemKind>;
/// The kinds of an item-type flag word.
TLKWiaItemType WiaItemTypeToSet(Cardinal Flags);

enum TLKWiaAttribKind : Byte { lkwaRead, lkwaWrite, lkwaSyncRequired, lkwaNone, lkwaRange, lkwaList, lkwaFlag,
                               lkwaCacheable };
using TLKWiaAttrib = TLKSet<TLKWiaAttribKind>;

/// What the device list says of one device.
class TLKWiaDeviceInfo : public TObject {
 public:
  String Name, DeviceID, DriverVersion, PortName, ServerName, VendorDescription;
  TLKWiaDeviceType DeviceType = lkwScanner;
};

/// One item of the connected device's tree.
class TLKWiaItem : public TObject {
 public:
  std::shared_ptr<TLKWiaDeviceItem> ItemInterface;
  std::vector<std::unique_ptr<TLKWiaItem>> SubItems;
  TLKWiaItemType Kinds;
};

/// The allowed values of a property.
class TLKWiaValues : public TObject {
 public:
  TLKWiaVariant RangeMin, RangeMax, RangeStep, Nominal;
  Integer Count = 0;
  /// Value Index (0 <= Index < Count; an empty value beyond).
  TLKWiaVariant GetValues(Integer Index) const;
  std::vector<TLKWiaVariant> Values;
};

struct TLKWProcessingInfo {
  Integer DPIX = 0, DPIY = 0;
};

/// Progress of a transfer in percent; false stops it.
using TLKWiaOnProgress = std::function<bool(Integer Percent)>;
/// Each delivered page; the callback may set Params to an object that then
/// receives the page's parameters.
using TLKWGetPage = std::function<void(TLKBitmap* Bitmap, TObject*& Params)>;

class TLKWia : public TObject {
 public:
  /// Connects to nothing yet; takes the process-wide device manager and
  /// registers for its events. Owner (may be null) receives each page's
  /// parameters when it is an I/O component.
  explicit TLKWia(TComponent* Owner);
  ~TLKWia() override;

  // ---- devices
  void FillDevices();
  /// Device I, or nil beyond the list (fills the list when empty).
  TLKWiaDeviceInfo* GetDevicesInfo(Integer I);
  /// Connects to device 0 first when not connected, then counts devices.
  Integer GetDevicesInfoCount();
  void EmptyDeviceInfo();
  bool ConnectTo(Integer I);
  bool ConnectToDefault();
  bool ConnectToUsingDialog();
  bool ShowAcquireDialog(bool CommonDialog);
  Integer GetConnectedDevice() const { return FConnectedDevice; }
  TLKWiaItem* GetRoot() { return FRoot.get(); }

  // ---- items
  void FillItemChildren(TLKWiaItem* Item);
  void UpdateItems();
  /// Item stays when given; otherwise the first (or, with Last, the last)
  /// image item found depth-first. False when there is none.
  bool GetDefaultItem(TLKWiaItem*& Item, bool Last);
  void FillTreeView(TTreeNodes* Nodes, bool WithKinds);
  bool GetItemThumbnail(TLKWiaItem* Item, TLKBitmap* Bitmap);
  bool DeleteItem(TLKWiaItem* Item);
  bool IsItemDeleted(TLKWiaItem* Item);

  // ---- properties (Item null: the default item)
  TLKWiaVariant GetItemProperty(Cardinal Id, TLKWiaItem* Item);
  TLKWiaVariant GetDeviceProperty(Cardinal Id);
  bool SetItemProperty(Cardinal Id, const TLKWiaVariant& Value, TLKWiaItem* Item);
  bool SetItemPropertyVariant(Cardinal Id, const TLKWiaVariant& Value, TLKWiaItem* Item);
  bool SetDeviceProperty(Cardinal Id, const TLKWiaVariant& Value);
  bool SetDevicePropertyVariant(Cardinal Id, const TLKWiaVariant& Value);
  /// Always makes a new Values object for the caller.
  void GetItemPropertyAttrib(Cardinal Id, TLKWiaItem* Item, TLKWiaAttrib& Attributes,
                             std::unique_ptr<TLKWiaValues>& Values);

  // ---- transfer
  /// The banded transfer of Item (null: the first image item); true when
  /// the device completed it. Each page goes to TargetBitmap and OnPage.
  bool Transfer(TLKWiaItem* Item, bool Multi);
  /// Decodes one page's data into TargetBitmap (see OnPage); always true.
  bool GetPage(const TLKWiaDataHeader& Header, const Byte* Data, Int64 Size);
  void DoItemsTreeUpdated();

  /// Whether a device manager is there.
  bool Available() const { return FManager != nullptr; }
  TLKWiaEvent GetLatestEvent() const { return FLatestEvent->load(); }
  /// Why the last transfer brought nothing or stopped ("" after a
  /// complete one): no device, a refused item, a device fault, a page that
  /// could not be decoded, more data than the allocation limit allows.
  String GetLastError() const { return FLastError; }

  bool CaptureOnTransfer = true;
  bool DeleteCapturedPicture = false;
  String DumpFileName;
  TLKTransferFormat ImageFormat = lktfDefault;
  TLKBitmap* TargetBitmap = nullptr;
  TLKWProcessingInfo PageInfo;
  TLKWiaOnProgress OnTransferProgress;
  TLKWGetPage OnPage;
  TNotifyEvent OnTreeChanged;

 private:
  bool HasDevice(Integer I);
  TLKWiaItem* FindImageItem(TLKWiaItem* From, bool Last);
  TComponent* FOwner;
  std::shared_ptr<TLKWiaManager> FManager;
  std::vector<std::unique_ptr<TLKWiaDeviceInfo>> FDevices;
  std::unique_ptr<TLKWiaItem> FRoot;
  Integer FConnectedDevice = 0;
  String FLastError;
  std::vector<std::shared_ptr<void>> FRegistrations;
  // Shared with the event sink, which may outlive this object on a device
  // thread for a moment.
  std::shared_ptr<std::atomic<TLKWiaEvent>> FLatestEvent;
  std::shared_ptr<std::atomic<bool>> FAlive;
};

/// The item's name, followed with WithKinds by " ( ", one word per kind
/// and " )".
String WiaItemCaption(TLKWiaItem* Item, bool WithKinds);
