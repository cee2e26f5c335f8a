#include "acquisition/lkproxywin.h"

#include "acquisition/imscan.h"

namespace {
// Milliseconds between polls of an enabled source.
constexpr Cardinal kPollMs = 20;
}  // namespace

TLKProxyWin::TLKProxyWin(TComponent* Owner, TLKTWConnection* Connection)
    : TWinControl(Owner), FConnection(Connection) {
  SetVisible(false);
  if (auto* Parent = dynamic_cast<TWinControl*>(Owner)) SetParent(Parent);
}

TLKProxyWin::~TLKProxyWin() {
  if (FTimer) FTimer->SetEnabled(false);
  if (FConnection) FConnection->Proxy = nullptr;
  _LKTWAINAcquireClose(FConnection);
}

void TLKProxyWin::StartPolling() {
  if (!FTimer) {
    FTimer = new TTimer(this);
    FTimer->SetInterval(kPollMs);
    FTimer->SetOnTimer([this](TObject*) { Perform(LKTW_POLL, 0, 0); });
  }
  FTimer->SetEnabled(true);
}

void TLKProxyWin::Release() {
  if (FReleasing) return;
  if (FDepth == 0) {
    delete this;
    return;
  }
  ReleaseLater();
}

void TLKProxyWin::ReleaseLater() {
  // Freed from inside its own window procedure (a picture callback closing
  // the acquisition, the source's close request): the control goes once
  // the call stack has left it.
  FReleasing = true;
  if (FTimer) FTimer->SetEnabled(false);
  PostWindowCall(GetHandle(), [](TControl* Control) { delete Control; });
}

void TLKProxyWin::WndProc(TMessage& Message) {
  if (Message.Msg != LKTW_POLL) {
    LKTW_WriteLog("TLKProxyWin.WndProc. Msg=" + std::to_string(Message.Msg) +
                  (FConnection ? " grec=" + std::to_string(reinterpret_cast<std::uintptr_t>(FConnection)) +
                                     " state=" + std::to_string(FConnection->State)
                               : String(" grec no assigned!")));
  }
  if (!FConnection || FReleasing || FConnection->State < 5 || Message.Msg != LKTW_POLL) {
    TWinControl::WndProc(Message);
    return;
  }
  ++FDepth;
  bool Taken = false;
  try {
    Taken = LKTW_MessageHook(*FConnection);
  } catch (...) {
    // A failing picture callback must not leave the source half-served:
    // the acquisition ends.
    FConnection->Done = true;
  }
  --FDepth;
  (void)Taken;
  // A source that asked to be closed, failed with its dialog hidden or
  // stopped answering is no longer enabled: the acquisition ends.
  if (!FReleasing && FConnection && (FConnection->State < 5 || FConnection->Done)) ReleaseLater();
}
