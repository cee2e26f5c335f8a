// The processing component's clipboard access over the library's one
// desktop clipboard (platform/clipboard.h). Private formats travel under the
// names they were registered with, so every part of the library and every
// program that uses the same name sees the same data; the device-independent
// bitmap travels as the clipboard's picture, which any program can paste.
#include "core/lkbitmap.h"
#include "platform/clipboard.h"
#include "processing/lkclipboard.h"
#include "processing/lkdibcopy.h"

namespace {

bool IsDib(const char* Name) { return String(Name) == LKDIBCLIPFORMAT_NAME; }

// The desktop's number of a format name: the standard ones by their own
// numbers, the rest as registered.
Word FormatOf(const char* Name) {
  if (IsDib(Name)) return CF_DIB;
  if (String(Name) == LKEMFCLIPFORMAT_NAME) return CF_ENHMETAFILE;
  return RegisterClipboardFormat(Name);
}

class TDesktopClipboard : public TLKClipboardAccess {
 public:
  bool Open() override {
    if (!ClipboardAvailable()) return false;
    Clipboard()->Open();
    return true;
  }
  void Close() override { Clipboard()->Close(); }
  void Empty() override { Clipboard()->Clear(); }
  bool HasFormat(const char* Name) override {
    return Clipboard()->HasFormat(FormatOf(Name));
  }
  bool GetData(const char* Name, std::vector<Byte>& Data) override {
    if (!IsDib(Name)) {
      Data = Clipboard()->GetAsData(FormatOf(Name));
      return !Data.empty();
    }
    TBitmap picture;
    if (!Clipboard()->GetBitmap(picture)) return false;
    TLKBitmap bitmap;
    bitmap.CopyFromTBitmap(&picture);
    Data = _CopyBitmaptoDIBEx(&bitmap, 0, 0, 0, 0);
    return !Data.empty();
  }
  void SetData(const char* Name, std::vector<Byte> Data) override {
    if (!IsDib(Name)) {
      Clipboard()->SetAsData(FormatOf(Name), Data);
      return;
    }
    TBitmap picture;
    if (_CopyDIB2Bitmap(Data.data(), Data.size(), &picture) != 0) Clipboard()->SetBitmap(picture);
  }
};

}  // namespace

TLKClipboardAccess* LKDesktopClipboard() {
  static TDesktopClipboard clipboard;
  return &clipboard;
}
