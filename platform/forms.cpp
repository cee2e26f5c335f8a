#include "platform/forms.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "platform/cursors.h"
#include "platform/graphics.h"
#include "platform/inputrouter.h"
#include "platform/menus.h"
#include "platform/stdctrls.h"
#include "platform/testhooks.h"

namespace {

TCustomForm* gActiveForm = nullptr;
/// Forms showing modally, the innermost last.
std::vector<TCustomForm*> gModalForms;
/// Forms in the order they were made, for finding the one to activate.
std::vector<TCustomForm*>& AllForms() {
  static std::vector<TCustomForm*> list;
  return list;
}

/// Buttons inside Parent at any depth, in child order.
void CollectButtons(TWinControl* Parent, std::vector<TButton*>& Out) {
  for (Integer i = 0; i < Parent->GetControlCount(); ++i) {
    TControl* c = Parent->GetControl(i);
    if (auto* b = dynamic_cast<TButton*>(c)) Out.push_back(b);
    if (auto* w = dynamic_cast<TWinControl*>(c)) CollectButtons(w, Out);
  }
}

bool Usable(TControl* C) {
  for (TControl* p = C; p != nullptr; p = p->GetParent())
    if (!p->GetVisible() || !p->GetEnabled()) return false;
  return true;
}

}  // namespace

/// Watches a form's window for the close button and for activation by the
/// window system.
class TFormWindowFilter : public QObject {
 public:
  explicit TFormWindowFilter(TCustomForm* Form) : FForm(Form) {}
  bool eventFilter(QObject* Watched, QEvent* Event) override {
    if (Watched != FForm->GetPeer()) return false;
    if (Event->type() == QEvent::Close) {
      Event->ignore();
      FForm->CloseButton();
      return true;
    }
    // The window manager (or the user dragging a frame corner) gave the
    // window a new size or place: the form follows, its controls align
    // again as they do on WM_SIZE.
    if (Event->type() == QEvent::Resize || Event->type() == QEvent::Move) FForm->WindowPlaced();
    // The window system reports activations late: a window hidden again
    // since, or one that a modal form now blocks, is not made active.
    if (Event->type() == QEvent::WindowActivate && FForm->GetVisible() && FForm->GetPeer()->isVisible() &&
        (gModalForms.empty() || gModalForms.back() == FForm))
      ActivateForm(FForm);
    return false;
  }

 private:
  TCustomForm* FForm;
};

// ---------------------------------------------------------------------------
// TCustomForm
// ---------------------------------------------------------------------------

TCustomForm::TCustomForm(TComponent* AOwner) : TWinControl(AOwner) {
  SetVisible(false);
  SetControlStyle(GetControlStyle() + TControlStyle{csAcceptsControls});
  SetColor(clBtnFace);
  GetPeer()->setWindowFlag(Qt::Window, true);
  FFilter = new TFormWindowFilter(this);
  GetPeer()->installEventFilter(FFilter);
  AllForms().push_back(this);
}

TCustomForm::~TCustomForm() {
  if (OnDestroy) OnDestroy(this);
  auto& forms = AllForms();
  forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
  if (gActiveForm == this) gActiveForm = nullptr;
  if (Application->GetMainForm() == this) Application->SetMainForm(nullptr);
  GetPeer()->removeEventFilter(FFilter);
  delete FFilter;
  FActiveControl = nullptr;
}

void TCustomForm::Notification(TComponent* AComponent, TOperation Operation) {
  TWinControl::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == FActiveControl) FActiveControl = nullptr;
  if (AComponent == FMenu) {
    // The menu is going: only its base is left, so it is not touched.
    FMenu = nullptr;
    MenuChanged();
    PlacePeer();
    RecreateWnd();
  }
}

Integer TCustomForm::MenuBarHeight() const { return FMenu != nullptr ? GetSystemMetrics(SM_CYMENU) : 0; }

TRect TCustomForm::GetNonClientInsets() {
  Integer fx = 0, fy = 0, caption = GetSystemMetrics(SM_CYCAPTION);
  switch (FBorderStyle) {
    case bsNone:
      caption = 0;
      break;
    case bsSizeable:
    case bsSizeToolWin:
      fx = GetSystemMetrics(SM_CXFRAME);
      fy = GetSystemMetrics(SM_CYFRAME);
      break;
    default:
      fx = GetSystemMetrics(SM_CXDLGFRAME);
      fy = GetSystemMetrics(SM_CYDLGFRAME);
      break;
  }
  if (FBorderStyle == bsToolWindow || FBorderStyle == bsSizeToolWin) caption = GetSystemMetrics(SM_CYSMCAPTION);
  return TRect{fx, fy + caption + MenuBarHeight(), fx, fy};
}

TPoint TCustomForm::GetClientOffset() { return TPoint{0, MenuBarHeight()}; }

void TCustomForm::PlacePeer() {
  // The Qt window is what lies inside the frame and caption: the menu bar
  // and the client area.
  const TRect in = GetNonClientInsets();
  const Integer menu = MenuBarHeight();
  const Integer w = std::max(0, GetWidth() - in.Left - in.Right);
  const Integer h = std::max(0, GetHeight() - in.Top - in.Bottom + menu);
  // A size that came from the window itself is already on the screen.
  if (!FFollowingWindow) GetPeer()->setGeometry(GetLeft() + in.Left, GetTop() + in.Top - menu, w, h);
  if (FMenuBar != nullptr) FMenuBar->setGeometry(0, 0, w, menu);
}

void TCustomForm::WindowPlaced() {
  if (FFollowingWindow) return;
  const QRect g = GetPeer()->geometry();
  const TRect in = GetNonClientInsets();
  const Integer menu = MenuBarHeight();
  const Integer left = g.x() - in.Left, top = g.y() - in.Top + menu;
  const Integer width = g.width() + in.Left + in.Right, height = g.height() + in.Top + in.Bottom - menu;
  if (left == GetLeft() && top == GetTop() && width == GetWidth() && height == GetHeight()) return;
  FFollowingWindow = true;
  try {
    SetBounds(left, top, width, height);
  } catch (...) {
    FFollowingWindow = false;
    throw;
  }
  FFollowingWindow = false;
}

void TCustomForm::SyncPeerVisibility() {
  QWidget* peer = GetPeer();
  const bool show = GetVisible();
  if (show == peer->isVisible()) return;
  if (show) {
    DoShow();
    if (!GetVisible()) return;  // OnShow hid it again
    ApplyPosition();
    switch (FWindowState) {
      case wsMaximized: peer->showMaximized(); break;
      case wsMinimized: peer->showMinimized(); break;
      default: peer->show(); break;
    }
    if (FActiveControl != nullptr && FActiveControl->CanFocus()) FActiveControl->GetFocusWidget()->setFocus();
    ActivateForm(this);
  } else {
    peer->hide();
    DoHide();
    if (gActiveForm == this) {
      // The most recent other visible form takes over.
      gActiveForm = nullptr;
      Deactivate();
      auto& forms = AllForms();
      for (auto it = forms.rbegin(); it != forms.rend(); ++it)
        if (*it != this && (*it)->GetVisible()) {
          ActivateForm(*it);
          break;
        }
    }
  }
}

void TCustomForm::ApplyPosition() {
  if (FPositioned) return;
  FPositioned = true;
  TRect area{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  switch (FPosition) {
    case poScreenCenter:
    case poDesktopCenter:
      break;
    case poMainFormCenter:
    case poOwnerFormCenter: {
      TCustomForm* other = FPosition == poMainFormCenter ? Application->GetMainForm()
                                                         : dynamic_cast<TCustomForm*>(GetOwner());
      if (other == nullptr || other == this) other = Application->GetMainForm();
      if (other != nullptr && other != this) area = other->GetBoundsRect();
      break;
    }
    default:
      return;
  }
  if (area.Right <= area.Left || area.Bottom <= area.Top) return;
  SetBounds(area.Left + (area.Width() - GetWidth()) / 2, area.Top + (area.Height() - GetHeight()) / 2, GetWidth(),
            GetHeight());
}

void TCustomForm::Show() {
  SetVisible(true);
  if (GetVisible()) {
    GetPeer()->raise();
    ActivateForm(this);
  }
}

void TCustomForm::Hide() { SetVisible(false); }

bool TCustomForm::CloseQuery() {
  bool canClose = true;
  if (OnCloseQuery) OnCloseQuery(this, canClose);
  return canClose;
}

void TCustomForm::Close() {
  if (FModal) {
    FModalResult = mrCancel;
    return;
  }
  if (!CloseQuery()) return;
  TCloseAction action = caHide;
  if (OnClose) OnClose(this, action);
  switch (action) {
    case caHide:
      Hide();
      break;
    case caMinimize:
      SetWindowState(wsMinimized);
      break;
    case caFree:
      Hide();
      Release();
      break;
    default:
      return;
  }
  if (Application->GetMainForm() == this && action != caMinimize) Application->Terminate();
}

void TCustomForm::CloseButton() { Close(); }

void TCustomForm::Release() {
  PostWindowCall(GetHandle(), [](TControl* Control) { delete Control; });
}

TModalResult TCustomForm::ShowModal() {
  if (GetVisible() || FModal) throw EInvalidOperation("Cannot make a visible window modal");
  TCustomForm* before = gActiveForm;
  // The window and the control that had the keyboard before: they get it
  // back when this form closes, whoever owns them (a form of ours or a
  // dialog of the window system).
  const QPointer<QWidget> focusedBefore = QApplication::focusWidget();
  const QPointer<QWidget> windowBefore =
      focusedBefore != nullptr ? focusedBefore->window() : QApplication::activeWindow();
  if (GetCaptureControl() != nullptr) SetCaptureControl(nullptr);
  QWidget* peer = GetPeer();
  peer->setWindowModality(Qt::ApplicationModal);
  FModal = true;
  FModalResult = mrNone;
  gModalForms.push_back(this);
  struct TLeave {
    TCustomForm* Form;
    ~TLeave() { gModalForms.erase(std::remove(gModalForms.begin(), gModalForms.end(), Form), gModalForms.end()); }
  } leave{this};
  QPointer<QWidget> alive = peer;
  try {
    Show();
    const bool scripted = TestHooks::ModalScripted();
    bool forced = false;
    for (;;) {
      if (FModalResult == mrNone) {
        if (scripted) {
          // Each step is one thing the user does; with no step left the
          // form closes as cancelled, whatever it answers.
          if (TestHooks::TModalStep step = TestHooks::TakeModalStep()) {
            step(this);
            Application->ProcessMessages();
          } else {
            FModalResult = mrCancel;
            forced = true;
          }
        } else {
          QApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
          if (Application->GetTerminated() && FModalResult == mrNone) FModalResult = mrCancel;
        }
      }
      if (FModalResult != mrNone) {
        if (CloseQuery() || forced) {
          TCloseAction action = caHide;
          if (OnClose) OnClose(this, action);
          if (action != caNone || forced) break;
        }
        FModalResult = mrNone;
      }
    }
  } catch (...) {
    FModal = false;
    if (!alive.isNull()) {
      Hide();
      peer->setWindowModality(Qt::NonModal);
    }
    throw;
  }
  FModal = false;
  const TModalResult result = FModalResult;
  // Hidden first: the window system ends a window's modal state when it is
  // hidden as a modal window. Turned non-modal while still shown, it would
  // stay on the modal stack and block every other window for good.
  Hide();
  peer->setWindowModality(Qt::NonModal);
  // The form that opened this one is active again, and is told so even
  // where the window system sends nothing.
  if (before != nullptr && before != this && before->GetVisible()) ActivateForm(before);
  if (windowBefore != nullptr && windowBefore != peer && windowBefore->isVisible()) {
    windowBefore->activateWindow();
    if (focusedBefore != nullptr && focusedBefore->isVisible() && focusedBefore->isEnabled())
      focusedBefore->setFocus(Qt::ActiveWindowFocusReason);
  }
  return result;
}

void TCustomForm::SetBorderStyle(TFormBorderStyle Value) {
  if (Value == FBorderStyle) return;
  FBorderStyle = Value;
  QWidget* peer = GetPeer();
  const bool shown = peer->isVisible();
  peer->setWindowFlag(Qt::FramelessWindowHint, Value == bsNone);
  peer->setWindowFlag(Qt::Tool, Value == bsToolWindow || Value == bsSizeToolWin);
  if (shown) peer->show();
  PlacePeer();
  UpdateClientSize();
}

void TCustomForm::SetWindowState(TFormWindowState Value) {
  FWindowState = Value;
  if (!GetVisible()) return;
  switch (Value) {
    case wsMaximized: GetPeer()->showMaximized(); break;
    case wsMinimized: GetPeer()->showMinimized(); break;
    default: GetPeer()->showNormal(); break;
  }
}

void TCustomForm::SetActiveControl(TWinControl* Value) {
  if (Value != nullptr && !ContainsControl(Value))
    throw EInvalidOperation("The control is not inside this form");
  FActiveControl = Value;
  if (Value != nullptr) {
    Value->FreeNotification(this);
    if (GetVisible() && Value->CanFocus()) Value->SetFocus();
  }
}

bool TCustomForm::GetActive() const { return gActiveForm == this; }

void TCustomForm::SetMenu(TMainMenu* Value) {
  if (Value == FMenu) return;
  if (FMenu != nullptr && FMenu->FForm == this) FMenu->FForm = nullptr;
  FMenu = Value;
  if (Value != nullptr) {
    Value->FreeNotification(this);
    Value->FForm = this;
  }
  MenuChanged();
  // The client area moves down (or up): a new window places the children
  // and sizes the client area again.
  PlacePeer();
  HandleNeeded();
  RecreateWnd();
}

void TCustomForm::MenuChanged() {
  delete FMenuBar;
  FMenuBar = nullptr;
  if (FMenu == nullptr) return;
  FMenuBar = FMenu->BuildMenuBar(GetPeer());
  const Integer menu = MenuBarHeight();
  FMenuBar->setGeometry(0, 0, GetPeer()->width(), menu);
  FMenuBar->show();
}

void TCustomForm::TextChanged() { GetPeer()->setWindowTitle(QString::fromStdString(GetCaption())); }

bool TCustomForm::DialogKey(Word Key, TShiftState Shift) {
  if (!Shift.Empty() && !(Shift == TShiftState{ssShift})) return false;
  std::vector<TButton*> buttons;
  CollectButtons(this, buttons);
  TButton* chosen = nullptr;
  if (Key == VK_RETURN) {
    if (auto* focused = dynamic_cast<TButton*>(FActiveControl); focused != nullptr && focused->Focused())
      chosen = focused;
    for (TButton* b : buttons)
      if (chosen == nullptr && b->GetDefault() && Usable(b)) chosen = b;
  } else if (Key == VK_ESCAPE) {
    for (TButton* b : buttons)
      if (chosen == nullptr && b->GetCancel() && Usable(b)) chosen = b;
  }
  if (chosen == nullptr) return false;
  chosen->Click();
  return true;
}

void TCustomForm::WndProc(TMessage& Message) {
  if (Message.Msg == CM_FOCUSCHANGED) {
    auto* control = reinterpret_cast<TWinControl*>(Message.LParam);
    if (control != this && ContainsControl(control)) {
      FActiveControl = control;
      control->FreeNotification(this);
    }
    return;
  }
  if (Message.Msg == WM_CLOSE) {
    Close();
    return;
  }
  TWinControl::WndProc(Message);
}

void TCustomForm::DoShow() {
  if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
  if (OnHide) OnHide(this);
}

void TCustomForm::Activate() {
  if (OnActivate) OnActivate(this);
}

void TCustomForm::Deactivate() {
  if (OnDeactivate) OnDeactivate(this);
}

TCustomForm* GetParentForm(TControl* Control) {
  TControl* c = Control;
  while (c != nullptr && c->GetParent() != nullptr) c = c->GetParent();
  return dynamic_cast<TCustomForm*>(c);
}

void ActivateForm(TCustomForm* Form) {
  if (Form == gActiveForm) return;
  TCustomForm* old = gActiveForm;
  gActiveForm = Form;
  if (old != nullptr) old->Deactivate();
  if (Form != nullptr && gActiveForm == Form) Form->Activate();
}

// ---------------------------------------------------------------------------
// TApplication and TScreen
// ---------------------------------------------------------------------------

namespace {

TApplication* MakeApplication() {
  static TApplication app;
  return &app;
}
TScreen* MakeScreen() {
  static TScreen screen;
  return &screen;
}
TApplication* gApplication = MakeApplication();
TScreen* gScreen = MakeScreen();

}  // namespace

TApplication* const& Application = gApplication;
TScreen* const& Screen = gScreen;

void TApplication::ProcessMessages() {
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) QApplication::processEvents();
}

void TApplication::Run() {
  FTerminated = false;
  if (FMainForm != nullptr) FMainForm->Show();
  while (!FTerminated) {
    QApplication::processEvents(QEventLoop::WaitForMoreEvents | QEventLoop::AllEvents);
    if (FMainForm == nullptr || !FMainForm->GetVisible()) break;
  }
}

Integer TApplication::MessageBox(const String& Text, const String& Caption, Integer Flags) {
  const String caption = Caption.empty() ? FTitle : Caption;
  if (const auto& sink = TestHooks::MessageBoxSink()) return sink(Text, caption, Flags);
  QMessageBox box;
  box.setText(QString::fromStdString(Text));
  box.setWindowTitle(QString::fromStdString(caption));
  switch (Flags & 0xF0) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  struct Choice {
    QMessageBox::StandardButton Button;
    Integer Id;
  };
  std::vector<Choice> choices;
  switch (Flags & 0xF) {
    case MB_OKCANCEL: choices = {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}}; break;
    case MB_ABORTRETRYIGNORE:
      choices = {{QMessageBox::Abort, IDABORT}, {QMessageBox::Retry, IDRETRY}, {QMessageBox::Ignore, IDIGNORE}};
      break;
    case MB_YESNOCANCEL:
      choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
      break;
    case MB_YESNO: choices = {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}}; break;
    case MB_RETRYCANCEL: choices = {{QMessageBox::Retry, IDRETRY}, {QMessageBox::Cancel, IDCANCEL}}; break;
    default: choices = {{QMessageBox::Ok, IDOK}}; break;
  }
  QMessageBox::StandardButtons buttons;
  for (const Choice& c : choices) buttons |= c.Button;
  box.setStandardButtons(buttons);
  const int answer = box.exec();
  for (const Choice& c : choices)
    if (answer == c.Button) return c.Id;
  // Closed without a choice: the cancel-like answer.
  return (Flags & 0xF) == MB_YESNO ? IDNO : (Flags & 0xF) == MB_OK ? IDOK : IDCANCEL;
}

void TApplication::ShowException(const std::exception& E) {
  if (OnException) {
    OnException(this, E);
    return;
  }
  if (const auto& sink = TestHooks::ExceptionSink()) {
    sink(E.what());
    return;
  }
  MessageBox(E.what(), FTitle, MB_OK | MB_ICONERROR);
}

void TApplication::HandleException(const std::function<void()>& Proc) {
  try {
    Proc();
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    ShowException(e);
  }
}

Integer TScreen::GetWidth() const { return GetSystemMetrics(SM_CXSCREEN); }
Integer TScreen::GetHeight() const { return GetSystemMetrics(SM_CYSCREEN); }
TCustomForm* TScreen::GetActiveForm() const { return gActiveForm; }

void TScreen::SetCursor(TCursor Value) {
  if (Value == FCursor) return;
  FCursor = Value;
  SetOverrideCursor(Value);
}

bool TScreen::LoadCursor(TCursor Id, const String& Name) { return LoadScreenCursor(Id, Name); }

void ShowMessage(const String& Text) { Application->MessageBox(Text, String(), MB_OK); }

void TCustomForm::SetFont(const TFont* Value) {
  if (Value == nullptr) return;
  // The canvas's conversion, but with the desktop's smoothing: controls
  // draw their text for reading, not to exact pixels.
  QFont f = FontToQFont(*Value);
  f.setStyleStrategy(QFont::PreferDefault);
  f.setHintingPreference(QFont::PreferDefaultHinting);
  GetPeer()->setFont(f);
}
