// The device layer under the picture-acquisition object (TLKWia): a device
// manager that lists devices and opens one as a tree of items, each item
// with numbered properties, commands and a banded data transfer. The
// numbers (property identifiers, item-type flags, format and command
// identifiers, callback messages) are the acquisition protocol's own.
//
// Where the manager comes from: the process-wide manager (LKWiaSetManager).
// By default it lists the scanners SANE finds and the cameras libgphoto2
// finds; a test installs a scripted one, and a null manager stands for a
// machine without the service (TLKWia then gives false, nil or nothing).
//
// Threads: calls are made on the caller's thread. A manager may report
// device events from any thread; the receiver must only store or post.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <variant>
#include <vector>

#include "core/hylkdefs.h"

/// A 16-byte identifier, written as "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
struct TLKGuid {
  std::array<Byte, 16> Bytes{};
  bool operator==(const TLKGuid&) const = default;
  /// The braced upper-case text.
  String ToText() const;
  /// Parses the braced text; false (Out unchanged) for any other shape.
  static bool FromText(const String& Text, TLKGuid& Out);
};

/// A property value: nothing, a 32-bit integer, a real, a text, an
/// identifier, a vector of bytes, of 16-bit words or of 32-bit integers.
using TLKWiaVariant = std::variant<std::monostate, Integer, double, String, TLKGuid, std::vector<Byte>,
                                   std::vector<Word>, std::vector<Integer>>;

// Device-information properties.
constexpr Cardinal WIA_DIP_DEV_ID = 2;
constexpr Cardinal WIA_DIP_VEND_DESC = 3;
constexpr Cardinal WIA_DIP_DEV_TYPE = 5;
constexpr Cardinal WIA_DIP_PORT_NAME = 6;
constexpr Cardinal WIA_DIP_DEV_NAME = 7;
constexpr Cardinal WIA_DIP_SERVER_NAME = 8;
constexpr Cardinal WIA_DIP_DRIVER_VERSION = 15;
// Device properties of scanners.
constexpr Cardinal WIA_DPS_DOCUMENT_HANDLING_SELECT = 3088;
constexpr Cardinal WIA_DPS_PAGES = 3096;
// Item properties.
constexpr Cardinal WIA_IPA_ITEM_NAME = 4098;
constexpr Cardinal WIA_IPA_DATATYPE = 4103;
constexpr Cardinal WIA_IPA_FORMAT = 4106;
constexpr Cardinal WIA_IPA_TYMED = 4108;
constexpr Cardinal WIA_IPC_THUMBNAIL = 5122;
constexpr Cardinal WIA_IPC_THUMB_WIDTH = 5123;
constexpr Cardinal WIA_IPC_THUMB_HEIGHT = 5124;
constexpr Cardinal WIA_IPS_XRES = 6147;
constexpr Cardinal WIA_IPS_YRES = 6148;

constexpr Integer TYMED_CALLBACK = 128;
constexpr Integer TYMED_MULTIPAGE_CALLBACK = 512;
constexpr Integer FEEDER = 1;

// Item-type flags.
constexpr Cardinal WiaItemTypeImage = 0x00000001;
constexpr Cardinal WiaItemTypeFile = 0x00000002;
constexpr Cardinal WiaItemTypeFolder = 0x00000004;
constexpr Cardinal WiaItemTypeRoot = 0x00000008;
constexpr Cardinal WiaItemTypeDevice = 0x00000040;
constexpr Cardinal WiaItemTypeDeleted = 0x00000080;
constexpr Cardinal WiaItemTypeRemoved = 0x80000000;
constexpr Cardinal WiaItemTypeMask = 0x8003FFFF;

// Property attributes.
constexpr Cardinal WIA_PROP_READ = 0x01;
constexpr Cardinal WIA_PROP_WRITE = 0x02;
constexpr Cardinal WIA_PROP_NONE = 0x08;
constexpr Cardinal WIA_PROP_RANGE = 0x10;
constexpr Cardinal WIA_PROP_LIST = 0x20;
constexpr Cardinal WIA_PROP_FLAG = 0x40;
constexpr Cardinal WIA_PROP_CACHEABLE = 0x10000;

// Messages of the banded data callback.
constexpr Integer IT_MSG_DATA_HEADER = 1;
constexpr Integer IT_MSG_DATA = 2;
constexpr Integer IT_MSG_STATUS = 3;
constexpr Integer IT_MSG_TERMINATION = 4;
constexpr Integer IT_MSG_NEW_PAGE = 5;

// Results.
constexpr Integer LK_S_OK = 0;
constexpr Integer LK_S_FALSE = 1;
constexpr Integer LK_E_FAIL = static_cast<Integer>(0x80004005u);

/// Format and command identifiers.
extern const TLKGuid WiaImgFmt_MEMORYBMP;
extern const TLKGuid WiaImgFmt_BMP;
extern const TLKGuid WiaImgFmt_JPEG;
extern const TLKGuid WIA_CMD_SYNCHRONIZE;
extern const TLKGuid WIA_CMD_TAKE_PICTURE;
extern const TLKGuid WIA_EVENT_ITEM_CREATED;
extern const TLKGuid WIA_EVENT_ITEM_DELETED;
extern const TLKGuid WIA_EVENT_TREE_UPDATED;

#pragma pack(push, 4)
/// What a transfer announces before its data: 28 bytes.
struct TLKWiaDataHeader {
  std::int32_t lSize = 28;
  TLKGuid guidFormatID;
  std::int32_t lBufferSize = 0;  ///< bytes the device expects to send (0: unknown)
  std::int32_t lPageCount = 0;
};
#pragma pack(pop)
static_assert(sizeof(TLKWiaDataHeader) == 28, "the data header is 28 bytes");

/// The receiver of a banded transfer: one call per message; the answer
/// LK_S_OK goes on, LK_S_FALSE asks the device to stop.
using TLKWiaBandedData = std::function<Integer(Integer Message, Integer Status, Integer Percent, Integer Offset,
                                               Integer Length, const Byte* Buffer)>;

/// One item of a device's tree (the device itself is the root item).
class TLKWiaDeviceItem {
 public:
  virtual ~TLKWiaDeviceItem() = default;
  /// The item-type flags; false when the item is gone.
  virtual bool GetItemType(Cardinal& Flags) = 0;
  /// The child items in the device's order; false when they cannot be listed.
  virtual bool EnumChildItems(std::vector<std::shared_ptr<TLKWiaDeviceItem>>& Children) = 0;
  virtual bool ReadProperty(Cardinal Id, TLKWiaVariant& Value) = 0;
  virtual bool WriteProperty(Cardinal Id, const TLKWiaVariant& Value) = 0;
  /// The property's attribute flags and its allowed values as a vector
  /// (range: min, nominal, max, step; list: count, nominal, values...).
  virtual bool GetPropertyAttributes(Cardinal Id, Cardinal& Flags, TLKWiaVariant& Values) = 0;
  /// Runs a device command; an item it makes comes back in NewItem.
  virtual bool DeviceCommand(const TLKGuid& Command, std::shared_ptr<TLKWiaDeviceItem>& NewItem) = 0;
  virtual bool DeleteItem() = 0;
  /// Whether the item can transfer data.
  virtual bool CanTransfer() = 0;
  /// The banded transfer: header, data in bands, a new-page message between
  /// pages and a termination at the end. Returns LK_S_OK when it completed.
  virtual Integer GetBandedData(const TLKWiaBandedData& Receiver) = 0;
  /// Why the last transfer or command failed ("" when the device says
  /// nothing).
  virtual String GetErrorText() { return String(); }
};

/// What the manager lists of a device.
struct TLKWiaDeviceProperties {
  String Id, Name, VendorDescription, PortName, ServerName, DriverVersion;
  Integer Type = 0x00010000;  ///< device type in the high word (1 scanner, 2 camera, 3 video)
  bool Readable = true;       ///< false when its properties cannot be read
};

/// Device events: 1 item created, 2 item deleted, 3 tree updated.
using TLKWiaEventSink = std::function<void(const TLKGuid& Event)>;

/// The device manager.
class TLKWiaManager {
 public:
  virtual ~TLKWiaManager() = default;
  /// The local devices; false when the enumeration cannot start.
  virtual bool EnumDevices(std::vector<TLKWiaDeviceProperties>& Devices) = 0;
  /// Opens the device as its root item; null when it cannot be opened.
  virtual std::shared_ptr<TLKWiaDeviceItem> CreateDevice(const String& Id) = 0;
  /// The system's device choice; false when cancelled or not offered.
  virtual bool SelectDevice(String& Id) { (void)Id; return false; }
  /// The device's own acquisition dialog; false when not offered.
  virtual bool DeviceDialog(TLKWiaDeviceItem& Root, bool Common,
                            std::vector<std::shared_ptr<TLKWiaDeviceItem>>& Chosen) {
    (void)Root, (void)Common, (void)Chosen;
    return false;
  }
  /// Registers for device events; the token keeps the registration.
  virtual std::shared_ptr<void> RegisterEvents(TLKWiaEventSink Sink) { (void)Sink; return nullptr; }
};

/// Installs the process-wide manager (null: no acquisition service) and
/// returns the previous one.
std::shared_ptr<TLKWiaManager> LKWiaSetManager(std::shared_ptr<TLKWiaManager> Manager);
/// The process-wide manager: the system's (scanners and cameras) unless
/// one was installed.
std::shared_ptr<TLKWiaManager> LKWiaGetManager();
/// The system manager: SANE scanners, then libgphoto2 cameras.
std::shared_ptr<TLKWiaManager> LKWiaSystemManager();

class TLKBitmap;
class TIOParamsVals;

/// Decodes one page of Format (memory bitmap, BMP or JPEG) into Bitmap and
/// its parameters into Params; false (Why tells why, Bitmap unspecified)
/// when the data are not a picture of that format.
bool LKWiaDecodePage(const TLKGuid& Format, const Byte* Data, Int64 Size, TLKBitmap* Bitmap, TIOParamsVals& Params,
                     String& Why);

/// A device-independent bitmap without file header (the memory-bitmap
/// format): an info header and bottom-up rows padded to 4 bytes, from
/// Rows top-down rows of Width pixels. Channels 1 (grey, given a grey
/// palette) or 3 (red, green, blue in the rows; stored blue first).
std::vector<Byte> LKWiaMakeMemoryBitmap(Integer Width, Integer Height, Integer Channels, Integer Dpi,
                                        const std::vector<Byte>& Rows);
