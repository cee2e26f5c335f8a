// The single-image view the view fuzz targets feed: one per process, made
// on first use under an offscreen Qt application.
#pragma once

#include <QApplication>
#include <cstdlib>

#include "views/lumerakvect.h"
#include "views/lumerakview.h"

inline void FuzzApplication() {
  static int argc = 1;
  static char name[] = "view_fuzz";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  (void)app;
}

inline TLumerakView& FuzzView() {
  FuzzApplication();
  static TLumerakView* view = new TLumerakView();
  return *view;
}

/// The vector view, likewise.
inline TLumerakVect& FuzzVect() {
  FuzzApplication();
  static TLumerakVect* view = new TLumerakVect();
  return *view;
}
