#include "platform/dirwatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace {

// Names added, removed or renamed, and the folder itself deleted or moved.
constexpr uint32_t kNameEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

// Reads and drops every event waiting on a non-blocking descriptor.
void Drain(int Fd) {
  alignas(inotify_event) char buf[4096];
  while (::read(Fd, buf, sizeof buf) > 0) {
  }
}

}  // namespace

TDirChangeWatch::TDirChangeWatch(const String& Folder) {
  FWake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  FNotify = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (FNotify < 0) return;
  FWatch = ::inotify_add_watch(FNotify, Folder.c_str(), kNameEvents);
  if (FWatch < 0) Close();
}

TDirChangeWatch::~TDirChangeWatch() {
  Close();
  if (FWake >= 0) ::close(FWake);
}

void TDirChangeWatch::Close() {
  if (FNotify >= 0) ::close(FNotify);
  FNotify = -1;
  FWatch = -1;
}

void TDirChangeWatch::Wake() {
  if (FWake < 0) return;
  const uint64_t one = 1;
  // A full counter already means "woken"; nothing else can fail here.
  [[maybe_unused]] ssize_t n = ::write(FWake, &one, sizeof one);
}

TDirWaitResult TDirChangeWatch::Wait(Cardinal Milliseconds) {
  if (FNotify < 0) return TDirWaitResult::Failed;
  pollfd fds[2] = {{FNotify, POLLIN, 0}, {FWake, POLLIN, 0}};
  const nfds_t count = FWake >= 0 ? 2 : 1;
  const int timeout = Milliseconds > 0x7FFFFFFF ? -1 : static_cast<int>(Milliseconds);
  int n;
  do {
    n = ::poll(fds, count, timeout);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return TDirWaitResult::Failed;
  if (n == 0) return TDirWaitResult::TimedOut;
  if (count == 2 && (fds[1].revents & POLLIN)) {
    uint64_t value;
    [[maybe_unused]] ssize_t r = ::read(FWake, &value, sizeof value);
    return TDirWaitResult::Woken;
  }
  if (fds[0].revents & POLLIN) {
    Drain(FNotify);
    return TDirWaitResult::Changed;
  }
  return TDirWaitResult::Failed;
}
