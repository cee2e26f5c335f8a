// Shared entry of every test program: GoogleTest inside a QApplication on
// Qt's offscreen platform, so canvas, bitmap and widget code can run headless.
#include <gtest/gtest.h>
#include <QApplication>
#include <csignal>
#include <cstdlib>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t gResult = 1;

// Once the tests have run, the program's teardown (Qt's, the font
// database's, the leak check's) gets a minute. Under the sanitizers it has
// been seen to stop for good on an allocator lock after SANE's reader
// threads were cancelled; the verdict is then already known, so it is given
// rather than left to the test runner's timeout.
void TeardownTooLong(int) {
  static const char kSay[] = "test_main: teardown took over 60 s; leaving with the tests' result\n";
  (void)!::write(2, kSay, sizeof kSay - 1);
  ::_exit(gResult);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  gResult = RUN_ALL_TESTS();
  std::signal(SIGALRM, TeardownTooLong);
  ::alarm(60);
  return gResult;
}
