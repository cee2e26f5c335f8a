// Kit of the window-layer tests: Qt input events sent to a widget the way
// the window system would, controls made on a form, and tables of event
// rules.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QWidget>
#include <functional>
#include <vector>

#include "platform/forms.h"

namespace window_kit {

inline void Mouse(QWidget* W, QEvent::Type Type, QPoint Pos, Qt::MouseButton Button = Qt::LeftButton,
                  Qt::KeyboardModifiers Mods = Qt::NoModifier) {
  Qt::MouseButtons held = Type == QEvent::MouseButtonRelease || Type == QEvent::MouseMove ? Qt::NoButton : Button;
  if (Type == QEvent::MouseMove) Button = Qt::NoButton;
  QMouseEvent e(Type, QPointF(Pos), QPointF(W->mapToGlobal(Pos)), Button, held, Mods);
  QApplication::sendEvent(W, &e);
}

/// A full click, or the two clicks of a double click in the order the
/// window system sends them: press, release, double-click press, release.
inline void Click(QWidget* W, QPoint Pos, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
  Mouse(W, QEvent::MouseButtonPress, Pos, Qt::LeftButton, Mods);
  Mouse(W, QEvent::MouseButtonRelease, Pos, Qt::LeftButton, Mods);
}
inline void DoubleClick(QWidget* W, QPoint Pos) {
  Click(W, Pos);
  Mouse(W, QEvent::MouseButtonDblClick, Pos);
  Mouse(W, QEvent::MouseButtonRelease, Pos);
}

inline void Wheel(QWidget* W, QPoint Pos, int Delta, Qt::KeyboardModifiers Mods = Qt::NoModifier) {
  QWheelEvent e(QPointF(Pos), QPointF(W->mapToGlobal(Pos)), QPoint(), QPoint(0, Delta), Qt::NoButton, Mods,
                Qt::NoScrollPhase, false);
  QApplication::sendEvent(W, &e);
}

inline void Key(QWidget* W, int QtKey, Qt::KeyboardModifiers Mods = Qt::NoModifier, const QString& Text = QString()) {
  QKeyEvent down(QEvent::KeyPress, QtKey, Mods, Text);
  QApplication::sendEvent(W, &down);
  QKeyEvent up(QEvent::KeyRelease, QtKey, Mods, Text);
  QApplication::sendEvent(W, &up);
}

/// A control of class T made inside Form.
template <typename T>
T* Make(TForm& Form) {
  auto* c = new T;
  c->SetParent(&Form);
  return c;
}

/// One row of an event-rule table: makes a control on a fresh form, hooks
/// the event to count into Fired, acts; Expected is the count.
struct TEventRow {
  const char* Name;
  std::function<void(TForm& Form, int& Fired)> Run;
  int Expected;
};

inline void RunEventRows(const std::vector<TEventRow>& Rows) {
  for (const TEventRow& r : Rows) {
    TForm form;
    form.SetBounds(0, 0, 300, 200);
    int fired = 0;
    r.Run(form, fired);
    EXPECT_EQ(fired, r.Expected) << r.Name;
  }
}

}  // namespace window_kit
