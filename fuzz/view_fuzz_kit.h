// The single-image view the view fuzz targets feed: one per process, made
// on first use under an offscreen Qt application.
#pragma once

#include <QApplication>
#include <cstdlib>

#include "views/lumerakview.h"

inline TLumerakView& FuzzView() {
  static int argc = 1;
  static char name[] = "view_fuzz";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  static TLumerakView* view = new TLumerakView();
  (void)app;
  return *view;
}
