// The align engine: places aligned children in their parent's client area
// (top, bottom, left, right, then client, each taking its strip off what is
// left) and moves anchored children when the parent's client size changes.
#include <algorithm>
#include <vector>

#include "platform/controls.h"

void TControl::SetAlign(TAlign Value) {
  if (Value == FAlign) return;
  const TAlign old = FAlign;
  FAlign = Value;
  if (FParent == nullptr) return;
  if (Value == alNone) {
    PlacementChanged();
  } else if (FVisible || old != alNone) {
    FParent->Realign();
  }
}

void TControl::SetAnchors(TAnchors Value) {
  FAnchors = Value;
  FAnchorsKnown = false;
  PlacementChanged();
}

void TControl::SetClientWidth(Integer Value) {
  // From the insets, not from the present client size: that is clamped at
  // 0 while the control is smaller than its frame.
  HandleNeeded();
  const TRect in = GetNonClientInsets();
  SetWidth(Value + in.Left + in.Right);
}

void TControl::SetClientHeight(Integer Value) {
  HandleNeeded();
  const TRect in = GetNonClientInsets();
  SetHeight(Value + in.Top + in.Bottom);
}

void TControl::PlacementChanged() {
  if (FParent == nullptr || FParent->FAligning) return;
  // Remember the distances to the far edges for anchoring.
  const TRect client = FParent->GetClientRect();
  FAnchorRight = client.Right - (FLeft + FWidth);
  FAnchorBottom = client.Bottom - (FTop + FHeight);
  FAnchorsKnown = true;
  if (FAlign != alNone && FVisible) FParent->Realign();
}

void TWinControl::EnableAlign() {
  if (FAlignLevel > 0 && --FAlignLevel == 0) Realign();
}

void TWinControl::Realign() {
  if (FAlignLevel == 0 && !FAligning) AlignChildren();
}

void TWinControl::WMSize(TMessage& Message) {
  Realign();
  TControl::WMSize(Message);
}

void TWinControl::AlignChildren() {
  FAligning = true;
  try {
    const TRect client = GetClientRect();
    // Anchored children keep their distances to the edges they hold.
    for (TControl* c : std::vector<TControl*>(FControls)) {
      if (c->FAlign != alNone || !c->FAnchorsKnown) continue;
      const TAnchors a = c->FAnchors;
      Integer l = c->FLeft, t = c->FTop, w = c->FWidth, h = c->FHeight;
      if (a.Contains(akRight)) {
        if (a.Contains(akLeft))
          w = client.Right - c->FAnchorRight - l;
        else
          l = client.Right - c->FAnchorRight - w;
      }
      if (a.Contains(akBottom)) {
        if (a.Contains(akTop))
          h = client.Bottom - c->FAnchorBottom - t;
        else
          t = client.Bottom - c->FAnchorBottom - h;
      }
      c->SetBounds(l, t, w, h);
    }
    TRect r = client;
    AdjustClientRect(r);
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
      std::vector<TControl*> list;
      for (TControl* c : FControls)
        if (c->FAlign == align && c->FVisible) list.push_back(c);
      // Nearest the edge first: the order of their current positions.
      auto key = [align](const TControl* c) {
        switch (align) {
          case alTop: return c->FTop;
          case alBottom: return -(c->FTop + c->FHeight);
          case alLeft: return c->FLeft;
          case alRight: return -(c->FLeft + c->FWidth);
          default: return 0;
        }
      };
      std::stable_sort(list.begin(), list.end(), [&](const TControl* a, const TControl* b) { return key(a) < key(b); });
      for (TControl* c : list) {
        const Integer w = std::max(0, r.Right - r.Left), h = std::max(0, r.Bottom - r.Top);
        switch (align) {
          case alTop:
            c->SetBounds(r.Left, r.Top, w, c->FHeight);
            r.Top = std::min(r.Bottom, r.Top + c->FHeight);
            break;
          case alBottom:
            c->SetBounds(r.Left, r.Bottom - c->FHeight, w, c->FHeight);
            r.Bottom = std::max(r.Top, r.Bottom - c->FHeight);
            break;
          case alLeft:
            c->SetBounds(r.Left, r.Top, c->FWidth, h);
            r.Left = std::min(r.Right, r.Left + c->FWidth);
            break;
          case alRight:
            c->SetBounds(r.Right - c->FWidth, r.Top, c->FWidth, h);
            r.Right = std::max(r.Left, r.Right - c->FWidth);
            break;
          default:
            c->SetBounds(r.Left, r.Top, w, h);
            break;
        }
      }
    }
  } catch (...) {
    FAligning = false;
    throw;
  }
  FAligning = false;
}
