// The hidden control of a modeless scan: it holds the connection, polls the
// source from a timer on the main thread (the source's events arrive as the
// poll message through its window procedure), and closes the connection
// when it is destroyed: by LKTWAINAcquireClose, by the source's close
// request, or by the destruction of the control that owns it.
#pragma once

#include "platform/controls.h"

struct TLKTWConnection;

/// The poll message the timer sends through the window procedure.
constexpr Cardinal LKTW_POLL = WM_USER + 0x71;

class TLKProxyWin : public TWinControl {
 public:
  /// Owned by Owner (a hidden child of it when it is a control); holds
  /// Connection until destroyed.
  TLKProxyWin(TComponent* Owner, TLKTWConnection* Connection);
  /// Closes and frees the connection (its close callback runs).
  ~TLKProxyWin() override;
  /// Logs the message and offers it to the connection while the source
  /// is enabled; ends the acquisition once the source is no longer enabled.
  void WndProc(TMessage& Message) override;
  /// Starts polling the source.
  void StartPolling();
  /// Frees the control now, or, when called from inside its own message
  /// handling (a picture callback), as soon as that has returned.
  void Release();
  TLKTWConnection* GetConnection() const { return FConnection; }

 private:
  void ReleaseLater();
  TLKTWConnection* FConnection;
  TTimer* FTimer = nullptr;
  Integer FDepth = 0;
  bool FReleasing = false;
};
