#include "platform/avilib.h"

#include <atomic>

namespace {
std::atomic<Integer> gStarts{0};
}

void AVIFileInit() { ++gStarts; }

void AVIFileExit() {
  Integer n = gStarts.load();
  while (n > 0 && !gStarts.compare_exchange_weak(n, n - 1)) {
  }
}

Integer AVIFileStarts() { return gStarts.load(); }
