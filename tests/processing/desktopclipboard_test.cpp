// One desktop clipboard: a picture the processing component copies is the
// picture the class-library clipboard reads, and the other way round; on the
// offscreen platform inside this process, and on a real X display between
// two processes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <QApplication>
#include <QClipboard>
#include <QMimeData>

#include "common/metafile_kit.h"
#include "core/lkbitmap.h"
#include "helpers/clippicture.h"
#include "platform/clipboard.h"
#include "processing/lumerakproc.h"

extern char** environ;

TEST(DesktopClipboard, PicturesCrossBetweenProcessingAndTheClassLibraryClipboard) {
  TLKBitmap source;
  LKClipTestPicture(source, false);
  TLumerakProc proc;
  proc.SetAttachedLKBitmap(&source);

  // Processing copies; the class-library clipboard reads the picture.
  proc.CopyToClipboard(false);
  TBitmap picture;
  ASSERT_TRUE(Clipboard()->GetBitmap(picture)) << "the processing component's copy is no clipboard picture";
  TLKBitmap read;
  read.CopyFromTBitmap(&picture);
  EXPECT_EQ(LKClipDump(read), LKClipDump(source));

  // The class-library clipboard puts a picture; processing pastes it.
  TLKBitmap other(1, 1, lk24RGB);
  TLKBitmap changed;
  changed.Assign(&source);
  changed.GetPPixels_lk24RGB(4, 3)->g = 0;
  TBitmap out;
  changed.CopyToTBitmap(&out);
  Clipboard()->SetBitmap(out);
  TLumerakProc paster;
  paster.SetAttachedLKBitmap(&other);
  paster.PasteFromClipboard();
  EXPECT_EQ(LKClipDump(other), LKClipDump(changed));

  // The raw format (alpha channel kept) travels under its registered name.
  LKClipTestPicture(source, true);
  proc.CopyToClipboard(true);
  EXPECT_TRUE(Clipboard()->HasFormat(RegisterClipboardFormat("LUMERAK RAW FORMAT")));
  paster.PasteFromClipboard();
  EXPECT_EQ(LKClipDump(other), LKClipDump(source));
}

TEST(DesktopClipboard, AnEnhancedMetafileIsPastedUnderEitherName) {
  mfkit::Emf e;
  e.Rec(39, {1, 0, mfkit::Rgb(0, 0, 255), 0});
  e.Rec(37, {1});
  e.Rec(43, {2, 2, 8, 6});
  const std::string bytes = e.Bytes(12, 9);
  for (const char* mime : {"image/emf", "image/x-emf"}) {
    SCOPED_TRACE(mime);
    auto* data = new QMimeData;
    data->setData(mime, QByteArray(bytes.data(), qsizetype(bytes.size())));
    QApplication::clipboard()->setMimeData(data);
    EXPECT_TRUE(Clipboard()->HasFormat(CF_ENHMETAFILE));
    TLKBitmap target(1, 1, lk24RGB);
    TLumerakProc proc;
    proc.SetAttachedLKBitmap(&target);
    proc.PasteFromClipboard();
    EXPECT_EQ(target.GetWidth(), 12);
    EXPECT_EQ(target.GetHeight(), 9);
    EXPECT_EQ(target.GetPPixels_lk24RGB(5, 4)->b, 255);
  }
  QApplication::clipboard()->clear();
}

namespace {

// A process started with its stdin and stdout on pipes.
struct Child {
  pid_t pid = -1;
  int in = -1;   // its stdin
  int out = -1;  // its stdout
};

Child Start(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv) {
  int toChild[2], fromChild[2];
  if (pipe(toChild) != 0 || pipe(fromChild) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, toChild[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, fromChild[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, toChild[1]);
  posix_spawn_file_actions_addclose(&actions, fromChild[0]);
  std::vector<std::string> env = extraEnv;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    bool overridden = false;
    for (const std::string& x : extraEnv) overridden |= entry.compare(0, x.find('=') + 1, x, 0, x.find('=') + 1) == 0;
    if (!overridden) env.push_back(entry);
  }
  std::vector<char*> argv, envp;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);
  Child c;
  if (posix_spawnp(&c.pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) c.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(toChild[0]);
  close(fromChild[1]);
  c.in = toChild[1];
  c.out = fromChild[0];
  return c;
}

// The child's output up to the first newline (or its end), waiting at most
// Seconds.
std::string ReadLine(const Child& c, int Seconds) {
  std::string line;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(Seconds);
  while (std::chrono::steady_clock::now() < end) {
    pollfd p{c.out, POLLIN, 0};
    if (poll(&p, 1, 100) <= 0) continue;
    char ch;
    if (read(c.out, &ch, 1) != 1 || ch == '\n') break;
    line += ch;
  }
  return line;
}

// Closes the pipes and waits for the child; its exit status (-1 when it did
// not end by itself within 20 s and was killed).
int Finish(Child& c) {
  if (c.in >= 0) close(c.in);
  if (c.out >= 0) close(c.out);
  c.in = c.out = -1;
  if (c.pid <= 0) return -1;
  int status = 0;
  for (int i = 0; i < 200; ++i) {
    if (waitpid(c.pid, &status, WNOHANG) == c.pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  kill(c.pid, SIGKILL);
  waitpid(c.pid, &status, 0);
  return -1;
}

bool OnPath(const std::string& Name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    const size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!dir.empty() && access((dir + "/" + Name).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

// A virtual X server on the first free display of :70 to :79.
struct VirtualDisplay {
  Child server;
  std::string name;
  bool Start() {
    for (int n = 70; n <= 79; ++n) {
      const std::string socket = "/tmp/.X11-unix/X" + std::to_string(n);
      const std::string lock = "/tmp/.X" + std::to_string(n) + "-lock";
      struct stat st;
      if (stat(socket.c_str(), &st) == 0 || stat(lock.c_str(), &st) == 0) continue;
      server = ::Start({"Xvfb", ":" + std::to_string(n), "-screen", "0", "640x480x24", "-nolisten", "tcp"}, {});
      if (server.pid <= 0) return false;
      for (int i = 0; i < 100; ++i) {
        if (stat(socket.c_str(), &st) == 0) {
          name = ":" + std::to_string(n);
          return true;
        }
        int status;
        if (waitpid(server.pid, &status, WNOHANG) == server.pid) break;  // the display was taken meanwhile
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      if (server.pid > 0) Stop();
    }
    return false;
  }
  void Stop() {
    if (server.pid > 0) {
      kill(server.pid, SIGTERM);
      Finish(server);
    }
    server = Child{};
  }
  ~VirtualDisplay() { Stop(); }
};

}  // namespace

TEST(DesktopClipboard, APictureCopiedInOneProcessPastesInAnotherOnX) {
  if (!OnPath("Xvfb")) GTEST_SKIP() << "Xvfb is not installed (scripts/setup installs it): the X clipboard case is skipped";
  VirtualDisplay display;
  ASSERT_TRUE(display.Start()) << "no virtual X display could be started on :70 to :79";
  // The peers run on the X display; X and the toolkit keep caches that leak
  // checking would report as leaks.
  const std::vector<std::string> env = {"DISPLAY=" + display.name, "QT_QPA_PLATFORM=xcb",
                                        "ASAN_OPTIONS=detect_leaks=0"};

  Child owner = Start({LK_CLIPBOARD_PEER, "copy"}, env);
  ASSERT_GT(owner.pid, 0);
  ASSERT_EQ(ReadLine(owner, 30), "ready");

  TLKBitmap expected;
  LKClipTestPicture(expected, false);
  Child image = Start({LK_CLIPBOARD_PEER, "image"}, env);
  EXPECT_EQ(ReadLine(image, 30), LKClipDump(expected)) << "the class-library clipboard of another process";
  EXPECT_EQ(Finish(image), 0);

  LKClipTestPicture(expected, true);
  Child paste = Start({LK_CLIPBOARD_PEER, "paste"}, env);
  EXPECT_EQ(ReadLine(paste, 30), LKClipDump(expected)) << "a processing component of another process";
  EXPECT_EQ(Finish(paste), 0);

  EXPECT_EQ(Finish(owner), 0);
}
