// Lists a folder through the program's file list, sorted in natural order,
// and prints the names in order (one per line) on standard output and the
// time of the scan plus sort on standard error: the median of RUNS rescans
// of the same folder, in microseconds.
//
//   list_folder FOLDER [RUNS]
#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/kfiledir.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: list_folder FOLDER [RUNS]\n");
    return 2;
  }
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1;
  TFileListView list;
  list.SetMask("*.*");
  std::vector<double> times;
  list.SetDirectory(argv[1]);
  for (int i = 0; i < runs; ++i) {
    const auto t0 = std::chrono::steady_clock::now();
    list.RefreshView();
    times.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0).count());
  }
  std::sort(times.begin(), times.end());
  for (Integer i = 0; i < list.GetEntryCount(); ++i) std::printf("%s\n", list.GetEntryName(i).c_str());
  std::fprintf(stderr, "%.0f\n", times[times.size() / 2]);
  list.SetDirectory("");
  return 0;
}
