// The one QApplication of the benchmark program, on Qt's offscreen platform,
// made by the first benchmark that needs widgets.
#pragma once

#include <QApplication>
#include <cstdlib>

inline void EnsureBenchApplication() {
  if (QApplication::instance() != nullptr) return;
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static int argc = 1;
  static char name[] = "lumerak_bench";
  static char* argv[] = {name, nullptr};
  static QApplication app(argc, argv);
}
