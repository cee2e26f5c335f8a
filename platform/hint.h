// TLKHint: a small pop-up window that shows one line of text, pale yellow
// in a raised one-pixel edge, and lets the mouse through to the window
// below it.
//
// Design:
// - It is a top-level tool-tip window of its own (WS_POPUP): Left and Top
//   are screen coordinates, and it shows without a parent window.
// - Its frame is the non-client area of WS_BORDER. The non-client paint
//   (WM_NCPAINT) draws the raised edge into an image of the whole window,
//   which Qt shows under the client image; tests read both.
// - WM_NCHITTEST answers HTTRANSPARENT. Qt decides input transparency per
//   window rather than per point, so the window asks the message once when
//   it is made, and a transparent answer makes all of it transparent (the
//   X back end applies that only to a window that exists, so it is set
//   again each time the window shows).
// Main thread only, like every control.
#pragma once

#include "platform/controls.h"

/// A pop-up window, not a child: placed in screen coordinates.
constexpr DWORD WS_POPUP = 0x80000000;
/// A tool window: no task-bar entry.
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
/// The screen under the window is kept while it shows.
constexpr DWORD CS_SAVEBITS = 0x0800;
/// Which part of the window is at a point; HTTRANSPARENT passes the mouse
/// on to the window below.
constexpr Cardinal WM_NCHITTEST = 0x0084;
constexpr LRESULT HTTRANSPARENT = -1;
/// Paint the non-client area (the frame).
constexpr Cardinal WM_NCPAINT = 0x0085;

class TLKHint : public TCustomControl {
 public:
  /// Hidden, pale yellow (255, 255, 224), black text, a clear brush.
  explicit TLKHint(TComponent* AOwner = nullptr);
  ~TLKHint() override;

  /// Copies Font (ignored when absent) to the hint and its canvas.
  void SetFont(const TFont* Font);
  TFont* GetFont() const { return FFont.get(); }
  /// Stores the text and sizes the window to it: text width + 4 by text
  /// height + 4 (the frame and a pixel around the text); the frame is drawn
  /// again at once.
  void SetText(const String& Text);
  const String& GetText() const { return FText; }
  /// The whole window as the non-client paint left it (the frame; the
  /// client area shows the client image instead).
  TBitmap* GetWindowImage() { return &FWindowImage; }

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void WndProc(TMessage& Message) override;
  void Paint() override;
  void PaintPeer(QPainter& Painter) override;
  void PlacePeer() override;
  void SyncPeerVisibility() override;

 private:
  void NCPaint();

  String FText;
  std::unique_ptr<TFont> FFont;
  TBitmap FWindowImage;
};
