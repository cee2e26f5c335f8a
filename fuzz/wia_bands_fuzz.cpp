// A scanner whose banded transfer answers from the input: data headers,
// bands, new pages and terminations in any order and of any length, so the
// band reader, the page assembly and the page decoders (memory bitmap, BMP,
// JPEG) meet every message a broken or hostile device could send.
//
// Input: one byte of options (bit 0 multi-page, bits 1-2 the asked
// format), then messages: a kind byte (header, band, status, end, new page;
// bit 7 with a band: an impossible negative length), a 16-bit little-endian
// length and that many bytes (fewer when the input ends). A header's first
// byte picks its format (memory bitmap, BMP, JPEG or the bytes as given).
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "acquisition/lkwia.h"
#include "core/lkallocgate.h"
#include "core/lkbitmap.h"

namespace {

struct TInput {
  const uint8_t* Data = nullptr;
  size_t Size = 0, Pos = 0;
  bool More() const { return Pos < Size; }
  uint8_t Byte1() { return Pos < Size ? Data[Pos++] : 0; }
};

class TBandItem : public TLKWiaDeviceItem {
 public:
  explicit TBandItem(Cardinal Flags) : Flags(Flags) {}
  bool GetItemType(Cardinal& F) override {
    F = Flags;
    return true;
  }
  bool EnumChildItems(std::vector<std::shared_ptr<TLKWiaDeviceItem>>& C) override {
    C.assign(Kids.begin(), Kids.end());
    return true;
  }
  bool ReadProperty(Cardinal, TLKWiaVariant&) override { return false; }
  bool WriteProperty(Cardinal, const TLKWiaVariant&) override { return true; }
  bool GetPropertyAttributes(Cardinal, Cardinal&, TLKWiaVariant&) override { return false; }
  bool DeviceCommand(const TLKGuid&, std::shared_ptr<TLKWiaDeviceItem>&) override { return false; }
  bool DeleteItem() override { return false; }
  bool CanTransfer() override { return (Flags & WiaItemTypeImage) != 0; }
  Integer GetBandedData(const TLKWiaBandedData& Receiver) override {
    std::vector<Byte> Buffer;
    while (In->More()) {
      const uint8_t Kind = In->Byte1();
      const Integer Message = 1 + Kind % 5;
      const size_t Claimed = size_t(In->Byte1()) | size_t(In->Byte1()) << 8;
      const size_t Length = std::min(Claimed, In->Size - In->Pos);
      Buffer.assign(In->Data + In->Pos, In->Data + In->Pos + Length);
      In->Pos += Length;
      if (Message == IT_MSG_DATA_HEADER && !Buffer.empty()) {
        const TLKGuid* Formats[] = {&WiaImgFmt_MEMORYBMP, &WiaImgFmt_BMP, &WiaImgFmt_JPEG, nullptr};
        const TLKGuid* Pick = Formats[Buffer[0] % 4];
        TLKWiaDataHeader H;
        std::memcpy(&H, Buffer.data(), std::min(Buffer.size(), sizeof H));
        if (Pick) H.guidFormatID = *Pick;
        if (Buffer.size() >= sizeof H) std::memcpy(Buffer.data(), &H, sizeof H);
      }
      const Integer Sent = Message == IT_MSG_DATA && (Kind & 0x80) ? -1 : Integer(Buffer.size());
      if (Receiver(Message, 0, Integer(Kind) % 101, 0, Sent, Buffer.empty() ? nullptr : Buffer.data()) != LK_S_OK)
        return LK_S_FALSE;
    }
    return LK_S_OK;
  }
  Cardinal Flags;
  std::vector<std::shared_ptr<TLKWiaDeviceItem>> Kids;
  TInput* In = nullptr;
};

class TBandManager : public TLKWiaManager {
 public:
  bool EnumDevices(std::vector<TLKWiaDeviceProperties>& D) override {
    TLKWiaDeviceProperties P;
    P.Id = "fuzz";
    P.Name = "Fuzzed scanner";
    D.assign(1, P);
    return true;
  }
  std::shared_ptr<TLKWiaDeviceItem> CreateDevice(const String&) override { return Root; }
  std::shared_ptr<TBandItem> Root;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 1) return 0;
  // A page the size of a few screens is enough to reach every path.
  LKSetAllocationLimit(Int64(64) << 20);
  TInput In{Data, Size, 1};
  auto Manager = std::make_shared<TBandManager>();
  Manager->Root = std::make_shared<TBandItem>(WiaItemTypeFolder | WiaItemTypeRoot | WiaItemTypeDevice);
  auto Scan = std::make_shared<TBandItem>(WiaItemTypeImage | WiaItemTypeFile);
  Scan->In = &In;
  Manager->Root->Kids.push_back(Scan);
  auto Old = LKWiaSetManager(Manager);
  {
    TLKWia W(nullptr);
    W.CaptureOnTransfer = false;
    W.ImageFormat = static_cast<TLKTransferFormat>((Data[0] >> 1) % 3);
    TLKBitmap Bitmap;
    W.TargetBitmap = &Bitmap;
    int Pages = 0;
    W.OnPage = [&Pages](TLKBitmap* B, TObject*&) { Pages += B->GetWidth() > 0; };
    W.Transfer(nullptr, (Data[0] & 1) != 0);
  }
  LKWiaSetManager(Old);
  return 0;
}
