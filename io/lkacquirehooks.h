// Where the I/O component meets the acquisition layer, which sits above it:
// the acquisition layer fills these hooks when the library loads, so the
// component's scanner entry points reach it without including it. Empty
// hooks mean no acquisition layer: the entry points then acquire nothing.
#pragma once

#include <functional>
#include <memory>

#include "core/hylkdefs.h"
#include "platform/classes.h"

class TLKBitmap;
class TIOParamsVals;

/// Sources of an acquisition.
enum TLKAcquireApi : Byte { lkaTWain, lkaWIA };

struct TLKAcquireHooks {
  /// Makes the scanner settings object of an owner (a TLKTWainParams).
  std::function<std::unique_ptr<TObject>(TComponent* Owner)> CreateTWainParams;
  /// One modal scan into Bitmap with the settings; true when a picture came.
  std::function<bool(TObject* Settings, TLKBitmap* Bitmap, TIOParamsVals* Params, TProgressRec& Progress,
                     bool NativePixelFormat)>
      TWainAcquire;
  /// The manager's source selection; Name gets the chosen source.
  std::function<bool(TObject* Settings, String& Name)> TWainSelect;
  /// The settings' last failure as text ("" when none).
  std::function<String(TObject* Settings)> TWainLastError;
  /// Starts a modeless scan whose hidden control Parent owns; each picture
  /// goes to Picture, Closed runs once when the scan has ended. Returns the
  /// session, or null.
  std::function<void*(TObject* Settings, TIOParamsVals* Params, TComponent* Parent, bool NativePixelFormat,
                      std::function<void(TLKBitmap* Bitmap, TObject*& Params)> Picture, std::function<void()> Closed)>
      TWainAcquireOpen;
  /// Ends a modeless scan.
  std::function<void(void* Session)> TWainAcquireClose;
  /// Makes the scanner and camera object of an owner (a TLKWia).
  std::function<std::unique_ptr<TObject>(TComponent* Owner)> CreateWIAParams;
  /// One transfer into Bitmap (progress and abort through Progress); Why
  /// gets the reason when nothing came.
  std::function<bool(TObject* Wia, TLKBitmap* Bitmap, TProgressRec& Progress, String& Why)> WiaAcquire;
  /// The device choice; true when a device was chosen and connected.
  std::function<bool(TObject* Wia)> WiaSelect;
  /// Makes the video capture object of a component (a TLKDirectShow);
  /// with a View, its new frames and pipeline events are posted to the
  /// view's window.
  std::function<std::unique_ptr<TObject>(TComponent* View)> CreateDShowParams;
};

/// The process-wide hooks.
TLKAcquireHooks& LKAcquireHooks();
