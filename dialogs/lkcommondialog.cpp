#include "dialogs/lkcommondialog.h"

#include <algorithm>
#include <cfenv>
#include <vector>

#include "core/hylkdefs.h"
#include "platform/forms.h"

namespace {

/// Set just before a dialog window is made and cleared once the hook has
/// bound the window to it.
TLKCommonDialog* gCreationDialog = nullptr;

/// Dialog windows and the dialogs they belong to.
std::vector<std::pair<TCustomForm*, TLKCommonDialog*>>& Bindings() {
  static std::vector<std::pair<TCustomForm*, TLKCommonDialog*>> bindings;
  return bindings;
}

TLKCommonDialog* DialogOf(TCustomForm* Window) {
  for (const auto& [window, dialog] : Bindings())
    if (window == Window) return dialog;
  return nullptr;
}

void Unbind(TCustomForm* Window) {
  auto& b = Bindings();
  b.erase(std::remove_if(b.begin(), b.end(), [&](const auto& e) { return e.first == Window; }), b.end());
}

}  // namespace

TLKCommonDialog* LKDialogBeingCreated() { return gCreationDialog; }

TLKCommonDialog::TLKCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}

TLKCommonDialog::~TLKCommonDialog() {
  if (gCreationDialog == this) gCreationDialog = nullptr;
  auto& b = Bindings();
  b.erase(std::remove_if(b.begin(), b.end(), [&](const auto& e) { return e.second == this; }), b.end());
}

bool TLKCommonDialog::Execute() { throw EAbstractError(); }

bool TLKCommonDialog::TaskModalDialog(const std::function<bool()>& Dialog) {
  TCustomForm* active = Screen->GetActiveForm();
  struct TRestore {
    TLKCommonDialog* Self;
    TCustomForm* Active;
    ~TRestore() {
      // Also on an exception: nothing may stay bound to a dialog that is no
      // longer running, or the next dialog window would be taken by it.
      if (gCreationDialog == Self) gCreationDialog = nullptr;
      Self->ForgetWindow();
      if (Active != nullptr && Active->GetVisible() && Screen->GetActiveForm() != Active) ActivateForm(Active);
    }
  } restore{this, active};
  gCreationDialog = this;
  const bool result = Dialog();
  // The window's handlers may have changed rounding or trap settings.
  std::fesetenv(FE_DFL_ENV);
  return result;
}

void TLKCommonDialog::HookDialogWindow(TCustomForm* Window, bool ExplorerStyle) {
  if (Window == nullptr) return;
  TNotifyEvent show = Window->OnShow, hide = Window->OnHide, destroy = Window->OnDestroy;
  Window->OnShow = [Window, ExplorerStyle, show](TObject* Sender) {
    LKDialogHook(Window, dmInitDialog, ExplorerStyle);
    if (show) show(Sender);
    LKDialogHook(Window, dmInitDone, ExplorerStyle);
  };
  Window->OnHide = [Window, ExplorerStyle, hide](TObject* Sender) {
    if (hide) hide(Sender);
    LKDialogHook(Window, dmDestroy, ExplorerStyle);
    LKDialogHook(Window, dmNcDestroy, ExplorerStyle);
  };
  Window->OnDestroy = [Window, ExplorerStyle, destroy](TObject* Sender) {
    if (destroy) destroy(Sender);
    if (DialogOf(Window) == nullptr) return;
    LKDialogHook(Window, dmDestroy, ExplorerStyle);
    LKDialogHook(Window, dmNcDestroy, ExplorerStyle);
  };
}

void LKDialogHook(TCustomForm* Window, TLKDialogMsg Msg, bool ExplorerStyle) {
  if (Window == nullptr) return;
  if (Msg == dmInitDialog) {
    if (!ExplorerStyle) LKCenterWindow(Window);
    if (TLKCommonDialog* dialog = gCreationDialog) {
      gCreationDialog = nullptr;
      dialog->TakeOver(Window);
      dialog->Perform(dmInitDialog);
    }
    return;
  }
  if (Msg == dmInitDone && ExplorerStyle) LKCenterWindow(Window);
  if (TLKCommonDialog* dialog = DialogOf(Window)) dialog->Perform(Msg);
}

void TLKCommonDialog::TakeOver(TCustomForm* Window) {
  ForgetWindow();
  Unbind(Window);
  FWindow = Window;
  Bindings().emplace_back(Window, this);
}

void TLKCommonDialog::ForgetWindow() {
  if (FWindow != nullptr) Unbind(FWindow);
  FWindow = nullptr;
}

std::intptr_t TLKCommonDialog::Perform(TLKDialogMsg Msg) {
  TLKDialogMessage message{Msg, 0};
  Application->HandleException([&] { WndProc(message); });
  return message.Result;
}

bool TLKCommonDialog::HelpButtonClick() {
  TLKDialogMessage message{dmHelp, 0};
  bool handled = false;
  Application->HandleException([&] { handled = MessageHook(message); });
  return handled;
}

void TLKCommonDialog::WndProc(TLKDialogMessage& Message) {
  switch (Message.Msg) {
    case dmInitDialog:
      DoShow();
      Message.Result = 0;
      break;
    case dmDestroy:
      DefaultHandler(Message);
      DoClose();
      break;
    case dmNcDestroy:
      DefaultHandler(Message);
      ForgetWindow();
      break;
    case dmHelp:
      if (!MessageHook(Message)) DefaultHandler(Message);
      break;
    default:
      DefaultHandler(Message);
      break;
  }
}

bool TLKCommonDialog::MessageHook(TLKDialogMessage& Message) {
  if (Message.Msg != dmHelp || HelpContext == 0) return false;
  Application->HelpContext(HelpContext);
  Message.Result = 1;
  return true;
}

void TLKCommonDialog::DefaultHandler(TLKDialogMessage& Message) {
  if (FWindow != nullptr && FormerWndProc) FormerWndProc(Message);
}

void TLKCommonDialog::DoClose() {
  if (OnClose) OnClose(this);
}

void TLKCommonDialog::DoShow() {
  if (OnShow) OnShow(this);
}
