// Forms and the application: a form is a top-level window with an optional
// menu bar above its client area. Show and Close work as usual; ShowModal
// runs its own loop until ModalResult is set (the window's close button
// means cancel), with default and cancel buttons, key preview and the
// window position. OnActivate fires on every activation of a form inside
// the program, also when a modal form it opened has closed.
//
// Geometry: Left/Top/Width/Height are the outer bounds including the frame,
// caption and menu bar, measured with the system metrics (sizing frame 4,
// caption 19, menu 19 by default), so a form designed 865 x 603 has a
// client area of 857 x 557. The Qt window holds the menu bar and the client
// area; the window manager draws its own frame around it.
#pragma once

#include "platform/controls.h"

class TMainMenu;
class QObject;

using TModalResult = Integer;
constexpr TModalResult mrNone = 0, mrOk = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6,
                       mrNo = 7, mrAll = 8, mrNoToAll = 9, mrYesToAll = 10;

enum TPosition {
  poDesigned,
  poDefault,
  poDefaultPosOnly,
  poDefaultSizeOnly,
  poScreenCenter,
  poDesktopCenter,
  poMainFormCenter,
  poOwnerFormCenter
};
enum TCloseAction { caNone, caHide, caFree, caMinimize };
enum TFormWindowState { wsNormal, wsMinimized, wsMaximized };
using TCloseEvent = std::function<void(TObject* Sender, TCloseAction& Action)>;
using TCloseQueryEvent = std::function<void(TObject* Sender, bool& CanClose)>;

/// A top-level window of the program.
class TCustomForm : public TWinControl {
 public:
  explicit TCustomForm(TComponent* AOwner = nullptr);
  ~TCustomForm() override;

  /// Shows the form (positioned on its first showing) and activates it.
  void Show();
  /// Hides the form.
  void Hide();
  /// In a modal form: ModalResult becomes mrCancel. Otherwise asks
  /// OnCloseQuery, then OnClose decides: hide (default), free, minimise or
  /// nothing. Closing the main form ends Application->Run.
  void Close();
  /// Shows the form modally and runs until ModalResult is not mrNone (and
  /// OnCloseQuery agrees); hides it and returns the result. The form that
  /// was active before is activated again. EInvalidOperation for a form
  /// already visible. Tests script the loop (TestHooks::PushModalStep).
  TModalResult ShowModal();
  /// Frees the form once the current event is handled.
  void Release();

  TModalResult GetModalResult() const { return FModalResult; }
  void SetModalResult(TModalResult Value) { FModalResult = Value; }
  bool GetModal() const { return FModal; }
  TFormBorderStyle GetBorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TFormBorderStyle Value);
  TPosition GetPosition() const { return FPosition; }
  void SetPosition(TPosition Value) { FPosition = Value; }
  bool GetKeyPreview() const { return FKeyPreview; }
  void SetKeyPreview(bool Value) { FKeyPreview = Value; }
  /// The form's font: every control on it that draws text through the
  /// window layer takes it (name, size, style); null keeps the desktop's.
  void SetFont(const TFont* Value);
  TFormWindowState GetWindowState() const { return FWindowState; }
  void SetWindowState(TFormWindowState Value);
  /// The control inside the form that has (or will get) the focus.
  TWinControl* GetActiveControl() const { return FActiveControl; }
  void SetActiveControl(TWinControl* Value);
  /// Whether this is the program's active form.
  bool GetActive() const;
  /// The menu bar shown above the client area (null: none).
  TMainMenu* GetMenu() const { return FMenu; }
  void SetMenu(TMainMenu* Value);

  TNotifyEvent OnShow, OnHide, OnActivate, OnDeactivate, OnDestroy;
  TCloseEvent OnClose;
  TCloseQueryEvent OnCloseQuery;

  /// Builds the menu bar again from the menu (the menu calls it after its
  /// items changed).
  void MenuChanged();

 protected:
  /// Frame, caption and menu bar around the client area.
  TRect GetNonClientInsets() override;
  TPoint GetClientOffset() override;
  void PlacePeer() override;
  void SyncPeerVisibility() override;
  void TextChanged() override;
  bool WantsKeyPreview() const override { return FKeyPreview; }
  /// Enter clicks the focused button or else the default button; Esc
  /// clicks the cancel button.
  bool DialogKey(Word Key, TShiftState Shift) override;
  void WndProc(TMessage& Message) override;
  /// Asks OnCloseQuery.
  virtual bool CloseQuery();
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TFormWindowFilter;
  friend void ActivateForm(TCustomForm* Form);
  /// The close button of the window was pressed.
  void CloseButton();
  /// The window was given a new size or place from outside (the window
  /// manager, the user): the bounds follow and the client area is aligned
  /// again.
  void WindowPlaced();
  void ApplyPosition();
  Integer MenuBarHeight() const;

  TModalResult FModalResult = mrNone;
  bool FModal = false;
  bool FPositioned = false;
  /// Set while the bounds follow the window, so they are not pushed back.
  bool FFollowingWindow = false;
  TFormBorderStyle FBorderStyle = bsSizeable;
  TPosition FPosition = poDesigned;
  bool FKeyPreview = false;
  TFormWindowState FWindowState = wsNormal;
  TWinControl* FActiveControl = nullptr;
  TMainMenu* FMenu = nullptr;
  QWidget* FMenuBar = nullptr;
  QObject* FFilter = nullptr;
};

/// The form the class library's designer would make: nothing more.
class TForm : public TCustomForm {
 public:
  using TCustomForm::TCustomForm;
};

/// The form Control sits in (null when it is in none).
TCustomForm* GetParentForm(TControl* Control);
/// Makes Form the program's active form: the one before it gets
/// OnDeactivate, Form gets OnActivate (nothing when it is active already).
void ActivateForm(TCustomForm* Form);

// ---------------------------------------------------------------------------
// Message boxes
// ---------------------------------------------------------------------------

constexpr Integer MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
                  MB_RETRYCANCEL = 0x5;
constexpr Integer MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20, MB_ICONWARNING = 0x30, MB_ICONINFORMATION = 0x40;
constexpr Integer IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7;

// ---------------------------------------------------------------------------
// Application and screen
// ---------------------------------------------------------------------------

using TExceptionEvent = std::function<void(TObject* Sender, const std::exception& E)>;

/// The running program: its main form, its message loop, message boxes and
/// the handling of exceptions that reach the loop.
class TApplication : public TComponent {
 public:
  explicit TApplication(TComponent* AOwner = nullptr) : TComponent(AOwner) {}

  TCustomForm* GetMainForm() const { return FMainForm; }
  /// The first form created through CreateForm becomes the main form; a
  /// program may also set it.
  void SetMainForm(TCustomForm* Value) { FMainForm = Value; }
  const String& GetTitle() const { return FTitle; }
  void SetTitle(const String& Value) { FTitle = Value; }
  /// Shows the main form and runs the loop until Terminate or until the
  /// main form closes.
  void Run();
  void Terminate() { FTerminated = true; }
  bool GetTerminated() const { return FTerminated; }
  /// Handles the events waiting now, then returns.
  void ProcessMessages();
  /// Shows a message box: Text, Caption (the title when empty), MB_ flags;
  /// returns the ID of the button chosen. Goes to the tests' sink when set.
  Integer MessageBox(const String& Text, const String& Caption = String(), Integer Flags = MB_OK);
  /// Shows an exception to the user (through OnException when set, the
  /// tests' sink, or a message box).
  void ShowException(const std::exception& E);
  /// Runs Proc, showing any exception it raises (EAbort stays silent).
  void HandleException(const std::function<void()>& Proc);
  /// Opens the program's help at topic Context through OnHelp; false when
  /// there is no help to open.
  bool HelpContext(Integer Context) { return OnHelp ? OnHelp(Context) : false; }

  TExceptionEvent OnException;
  /// Shows the help topic Context; true when it did.
  std::function<bool(Integer Context)> OnHelp;

 private:
  TCustomForm* FMainForm = nullptr;
  String FTitle;
  bool FTerminated = false;
};

/// The screen: its size, resolution, active form and the cursor shown over
/// everything.
class TScreen : public TComponent {
 public:
  explicit TScreen(TComponent* AOwner = nullptr) : TComponent(AOwner) {}
  Integer GetWidth() const;
  Integer GetHeight() const;
  /// Kept at 96: Qt scales for high resolutions itself.
  Integer GetPixelsPerInch() const { return 96; }
  TCustomForm* GetActiveForm() const;
  /// The cursor shown everywhere (crDefault: each control's own).
  TCursor GetCursor() const { return FCursor; }
  void SetCursor(TCursor Value);
  /// Sets screen cursor Id from cursor resource Name (see platform/cursors.h).
  bool LoadCursor(TCursor Id, const String& Name);

 private:
  TCursor FCursor = crDefault;
};

/// The program's application and screen objects (created on first use).
extern TApplication* const& Application;
extern TScreen* const& Screen;

/// Application->MessageBox with an information box and OK.
void ShowMessage(const String& Text);
