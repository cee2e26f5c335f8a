// The desktop clipboard as the processing component uses it: a small
// interface (open, empty, announce, fetch, put by format name), a default
// that works through the desktop's clipboard, and the selection clearing
// that cut shares with ClearSel.
#pragma once

#include <vector>

#include "core/hylkdefs.h"

class TLKBitmap;
class TLKMask;

/// Name of the private clipboard format: the raw bitmap stream, which keeps
/// every pixel format, the palette and the alpha channel.
inline constexpr const char* LKRAWCLIPFORMAT_NAME = "LUMERAK RAW FORMAT";
/// Name of the standard device-independent bitmap format (a packed DIB).
inline constexpr const char* LKDIBCLIPFORMAT_NAME = "DeviceIndependentBitmap";
/// Name of the standard enhanced metafile format (the file's bytes).
inline constexpr const char* LKEMFCLIPFORMAT_NAME = "EnhancedMetafile";

/// Clipboard access by format name. Open fails when the clipboard cannot
/// be had (then nothing else is called); every Open is followed by Close,
/// which hands what was put to the clipboard.
class TLKClipboardAccess {
 public:
  virtual ~TLKClipboardAccess() = default;
  virtual bool Open() = 0;
  virtual void Close() = 0;
  /// Drops everything the clipboard holds.
  virtual void Empty() = 0;
  /// Whether data of the format is announced.
  virtual bool HasFormat(const char* Name) = 0;
  /// Fetches the data of the format; false when it cannot be had.
  virtual bool GetData(const char* Name, std::vector<Byte>& Data) = 0;
  /// Puts data of the format beside what was put since Empty.
  virtual void SetData(const char* Name, std::vector<Byte> Data) = 0;
};

/// The clipboard the processing component uses: the one set by
/// LKSetClipboard, else the desktop's.
TLKClipboardAccess* LKClipboard();
/// Makes Access the clipboard (not owned); nil restores the desktop's.
void LKSetClipboard(TLKClipboardAccess* Access);
/// The desktop's clipboard, through platform/clipboard.h.
TLKClipboardAccess* LKDesktopClipboard();

/// Fills the pixels of Bitmap selected by Mask with Color: a box-sized
/// bitmap of Color copied through the mask (an 8-bit mask blends by its
/// values). Nothing for an empty mask.
void _ClearSelMaskEx(TLKBitmap* Bitmap, TLKMask* Mask, TColor Color);
