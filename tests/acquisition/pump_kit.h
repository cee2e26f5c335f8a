// Runs the Qt event loop and the calls queued for the main thread until a
// condition holds, for tests whose work arrives from a device or pipeline.
#pragma once

#include <QApplication>
#include <chrono>
#include <thread>

#include "platform/threads.h"

/// Runs the event loop until Done holds or Ms milliseconds have passed;
/// returns whether it holds.
template <typename F>
bool PumpUntil(F Done, int Ms = 8000) {
  const auto End = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
  while (!Done()) {
    if (std::chrono::steady_clock::now() > End) return false;
    QApplication::processEvents();
    CheckSynchronize();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}
