// Base of the library's open and save dialogs: the settings every library
// dialog shares (message language, places bar, information panel, help
// topic), the modal run of the dialog window and the take-over of that
// window, whose notifications reach the component as dialog messages.
//
// How a descendant uses it:
//   - Execute builds the dialog window (a form), calls HookDialogWindow on it
//     and runs it inside TaskModalDialog, e.g.
//       return TaskModalDialog([&] { return Form->ShowModal() == mrOk; });
//   - When the window is first shown, the hook centres it (LKCenterWindow),
//     binds it to the dialog being created and sends it dmInitDialog (which
//     fires OnShow); when it is hidden or freed the dialog gets dmDestroy
//     (OnClose) and dmNcDestroy (the window is forgotten).
//   - Notifications of its own (selection, folder and type changes, the
//     veto on OK) go through Perform, which runs WndProc inside an exception
//     guard: an exception is shown by the application's handler and the
//     dialog goes on.
//
// Main thread only; one dialog is in creation at a time (dialogs run
// modally), which the module-wide "dialog being created" reference relies on.
#pragma once

#include <functional>

#include "core/lkmsg.h"
#include "platform/classes.h"

class TCustomForm;

/// Messages the dialog window sends to its component.
enum TLKDialogMsg : Integer {
  dmInitDialog,    ///< the window is set up and about to show
  dmInitDone,      ///< the window is shown (the frame is placed after this)
  dmDestroy,       ///< the window is going away
  dmNcDestroy,     ///< the window is gone
  dmHelp,          ///< the help button was pressed
  dmSelChange,     ///< descendants: another file is selected
  dmFolderChange,  ///< descendants: another folder is shown
  dmTypeChange,    ///< descendants: another file type is chosen
  dmFileOk,        ///< descendants: the user confirmed; Result 1 vetoes
};

/// One message to the dialog component; Result is the answer.
struct TLKDialogMessage {
  TLKDialogMsg Msg = dmInitDialog;
  std::intptr_t Result = 0;
};

/// Handler of the messages a window would answer itself.
using TLKDialogWndProc = std::function<void(TLKDialogMessage& Message)>;

class TLKCommonDialog : public TComponent {
 public:
  explicit TLKCommonDialog(TComponent* AOwner = nullptr);
  ~TLKCommonDialog() override;

  /// Stored only.
  bool Ctl3D = true;
  /// Help topic opened when the help button is pressed (0: none).
  Integer HelpContext = 0;
  TNotifyEvent OnClose;
  TNotifyEvent OnShow;
  /// Language of every text the dialogs take from the message table.
  TMsgLanguage MsgLanguage = msSystem;
  /// The shortcut list of places beside the file list.
  bool ShowPlacesBar = true;
  /// The information panel and the zoom controls of the descendants.
  bool ExtendedDialog = true;

  /// The word of the message table in the dialog's language.
  String Msg(TMsgLanguageWords Word) const { return lkmsg(Word, MsgLanguage); }

  /// The dialog window while the dialog runs (null when idle).
  TCustomForm* GetWindow() const { return FWindow; }

  /// Shows the dialog; true when the user confirmed. The base raises
  /// EAbstractError.
  virtual bool Execute();

  /// Runs the dialog function modally: the active form is remembered, this
  /// dialog becomes the one being created, Dialog runs, the floating-point
  /// environment is put back to its default, and always (also when Dialog
  /// raises) the remembered form is activated again and no window or
  /// creation reference is left behind. Returns Dialog's result.
  virtual bool TaskModalDialog(const std::function<bool()>& Dialog);

  /// The hook of the dialog window: its set-up and end reach the dialog
  /// being created. Explorer-style windows centre themselves once shown
  /// (dmInitDone) instead of at set-up.
  void HookDialogWindow(TCustomForm* Window, bool ExplorerStyle = false);

  /// Sends Message through WndProc inside the exception guard; returns the
  /// message's result.
  std::intptr_t Perform(TLKDialogMsg Msg);
  /// The help button: asks MessageHook.
  bool HelpButtonClick();

 protected:
  /// Dispatches a message to the component's handlers.
  virtual void WndProc(TLKDialogMessage& Message);
  /// Answers the help message when HelpContext is set (the program's help
  /// opens at it); true when handled.
  virtual bool MessageHook(TLKDialogMessage& Message);
  /// Messages no handler took: the window's own procedure when there is
  /// one.
  virtual void DefaultHandler(TLKDialogMessage& Message);
  virtual void DoClose();
  virtual void DoShow();

  /// The window's own answer to messages no handler takes (a descendant
  /// whose window answers some messages itself sets it before running).
  TLKDialogWndProc FormerWndProc;

 private:
  friend void LKDialogHook(TCustomForm* Window, TLKDialogMsg Msg, bool ExplorerStyle);
  /// Binds the window to this dialog.
  void TakeOver(TCustomForm* Window);
  /// Forgets the window.
  void ForgetWindow();

  TCustomForm* FWindow = nullptr;
};

/// The hook procedure of dialog windows: a message of Window reaches the
/// dialog that owns it; dmInitDialog binds Window to the dialog being
/// created (centring it unless ExplorerStyle), dmInitDone centres an
/// Explorer-style window.
void LKDialogHook(TCustomForm* Window, TLKDialogMsg Msg, bool ExplorerStyle);

/// The dialog being created (null outside TaskModalDialog's set-up).
TLKCommonDialog* LKDialogBeingCreated();
