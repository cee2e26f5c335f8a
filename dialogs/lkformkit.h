// Small helpers that build the controls of a dialog in code: each makes
// the control on Parent (owned by Parent's owner chain), places it and sets
// its caption or range.
#pragma once

#include <algorithm>

#include "platform/comctrls.h"
#include "platform/stdctrls.h"
#include "platform/sysutils.h"

namespace lkformkit {

/// The integer in an edit; Default when the text is not one.
inline Integer EditInt(TEdit* Edit, Integer Default) {
  Integer v = 0;
  return TryStrToInt(Edit->GetText(), v) ? v : Default;
}

/// The integer in an edit, held to the range of its up-down.
inline Integer EditIntIn(TEdit* Edit, Integer Default, Integer Min, Integer Max) {
  return std::clamp(EditInt(Edit, Default), Min, Max);
}

inline TEdit* MakeEdit(TWinControl* Parent, Integer X, Integer Y, Integer W, const String& Text) {
  auto* e = new TEdit(Parent);
  e->SetParent(Parent);
  e->SetBounds(X, Y, W, 21);
  e->SetText(Text);
  return e;
}

inline TUpDown* MakeUpDown(TEdit* Edit, Integer Min, Integer Max, Integer Step) {
  auto* u = new TUpDown(Edit->GetOwner());
  u->SetParent(Edit->GetParent());
  u->SetMin(Min);
  u->SetMax(Max);
  u->SetIncrement(Step);
  u->SetPosition(std::clamp(EditInt(Edit, 0), Min, Max));
  u->SetAssociate(Edit);
  return u;
}

inline TTrackBar* MakeTrack(TWinControl* Parent, Integer X, Integer Y, Integer W, Integer Min, Integer Max, Integer Freq) {
  auto* t = new TTrackBar(Parent);
  t->SetParent(Parent);
  t->SetBounds(X, Y, W, 28);
  t->SetMin(Min);
  t->SetMax(Max);
  t->SetFrequency(Freq);
  return t;
}

inline TLabel* MakeLabel(TWinControl* Parent, Integer X, Integer Y, const String& Caption) {
  auto* l = new TLabel(Parent);
  l->SetParent(Parent);
  l->SetBounds(X, Y, 150, 13);
  l->SetCaption(Caption);
  return l;
}

inline TGroupBox* MakeGroup(TWinControl* Parent, Integer X, Integer Y, Integer W, Integer H, const String& Caption) {
  auto* g = new TGroupBox(Parent);
  g->SetParent(Parent);
  g->SetBounds(X, Y, W, H);
  g->SetCaption(Caption);
  return g;
}

inline TCheckBox* MakeCheck(TWinControl* Parent, Integer X, Integer Y, const String& Caption) {
  auto* c = new TCheckBox(Parent);
  c->SetParent(Parent);
  c->SetBounds(X, Y, 120, 17);
  c->SetCaption(Caption);
  return c;
}


inline TButton* MakeButton(TWinControl* Parent, Integer X, Integer Y, Integer W, const String& Caption) {
  auto* b = new TButton(Parent);
  b->SetParent(Parent);
  b->SetBounds(X, Y, W, 25);
  b->SetCaption(Caption);
  return b;
}

}  // namespace lkformkit
