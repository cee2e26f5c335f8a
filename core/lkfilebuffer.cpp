#include "core/lkfilebuffer.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <random>

#include "core/lkioglobals.h"
#include "platform/sysutils.h"

namespace {

// Largest transfer of one read/write pair of a partial copy.
constexpr Int64 kCopyChunk = 1048576;

// Random numbers for temporary names: one generator per thread, because
// thumbnail workers create temporary files at the same time.
DWORD RandomName31() {
  thread_local std::mt19937 gen{std::random_device{}()};
  thread_local std::uniform_int_distribution<DWORD> dist(0, 0x7FFFFFFEu);
  return dist(gen);
}

String TempName(const String& prefix, const String& folder) {
  char hex[9];
  std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(RandomName31()));
  return folder + prefix + "-" + hex + ".tmp";
}

// Any entry of that name counts, a dangling link included.
bool NameTaken(const String& name) {
  struct stat st;
  return ::lstat(name.c_str(), &st) == 0;
}

// Reads up to `length` bytes at `offset`; returns the count read (short only
// at the end of the file), -1 on an error.
Int64 PReadAll(int fd, void* buf, Int64 length, Int64 offset) {
  auto* p = static_cast<char*>(buf);
  Int64 done = 0;
  while (done < length) {
    const ssize_t n = ::pread(fd, p + done, static_cast<size_t>(length - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

bool PWriteAll(int fd, const void* buf, Int64 length, Int64 offset) {
  const auto* p = static_cast<const char*>(buf);
  Int64 done = 0;
  while (done < length) {
    const ssize_t n = ::pwrite(fd, p + done, static_cast<size_t>(length - done), offset + done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    done += n;
  }
  return true;
}

}  // namespace

TLKFileBuffer::~TLKFileBuffer() {
  DeAllocate();
  for (auto& m : Maps) std::free(m.Block);
  Maps.clear();
  std::free(spare_);
}

bool TLKFileBuffer::AllocateFile(Int64 size, const String& prefix) {
  if (IsAllocated()) DeAllocate();
  // A file past the process's file-size limit would kill it (SIGXFSZ) at
  // the first write: such a buffer is not made as a file at all.
  rlimit fileLimit{};
  if (::getrlimit(RLIMIT_FSIZE, &fileLimit) == 0 && fileLimit.rlim_cur != RLIM_INFINITY &&
      size > static_cast<Int64>(fileLimit.rlim_cur))
    return false;
  const String folder = LKTempFolder();
  // Names are drawn until one can be created exclusively: another process or
  // thread creating the same name between a check and an open cannot make
  // two buffers share a file.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    String name = TempName(prefix, folder);
    const int fd = ::open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
      if (errno == EEXIST || errno == EINTR) continue;
      return false;
    }
    fd_ = fd;
    FileName = std::move(name);
    // Locked while in use: a file nobody locks is left over from a process
    // that was killed (LKRemoveStaleTempFiles).
    (void)::flock(fd_, LOCK_EX | LOCK_NB);
    if (size < 0 || ::ftruncate(fd_, size) != 0) return false;
    return true;
  }
  return false;
}

void TLKFileBuffer::ReAllocateFile(Int64 size) {
  if (!IsAllocated()) return;
  Flush();
  ++changeCount_;
  if (size < 0 || ::ftruncate(fd_, size) != 0)
    throw EWriteError("Cannot set the size of temporary file \"" + FileName + "\"");
}

bool TLKFileBuffer::DeAllocate() {
  if (!IsAllocated()) return false;
  // The file is deleted next, so mapped blocks and gathered write-backs are
  // dropped unwritten.
  for (auto& m : Maps) std::free(m.Block);
  Maps.clear();
  pending_.clear();
  ++changeCount_;
  ::close(fd_);
  fd_ = -1;
  return ::unlink(FileName.c_str()) == 0;
}

void* TLKFileBuffer::Map(Int64 offset, Int64 length, TLKDataAccess access) {
  if (length < 0 || offset < 0) throw EReadError("Invalid range of temporary file");
  const size_t want = length > 0 ? static_cast<size_t>(length) : 1;
  void* block = nullptr;
  if (spare_ && spareSize_ >= want) {
    block = spare_;
    spare_ = nullptr;
    spareSize_ = 0;
  } else {
    block = std::malloc(want);
    if (!block) throw EOutOfMemory("Out of memory");
  }
  if (IsAllocated() && access.Contains(lkdRead) && length > 0) {
    if (!pending_.empty() && offset < pendingOffset_ + static_cast<Int64>(pending_.size()) &&
        pendingOffset_ < offset + length) {
      try {
        Flush();
      } catch (...) {
        std::free(block);
        throw;
      }
    }
    const Int64 n = PReadAll(fd_, block, length, offset);
    if (n < 0) {
      std::free(block);
      throw EReadError("Cannot read temporary file \"" + FileName + "\"");
    }
    if (n < length) std::memset(static_cast<char*>(block) + n, 0, static_cast<size_t>(length - n));
  }
  try {
    Maps.push_back(TLKMapRecord{offset, length, block, access});
  } catch (...) {
    std::free(block);
    throw;
  }
  return block;
}

void TLKFileBuffer::Flush() {
  if (pending_.empty()) return;
  const bool ok = !IsAllocated() || PWriteAll(fd_, pending_.data(), static_cast<Int64>(pending_.size()), pendingOffset_);
  pending_.clear();
  if (!ok) throw EWriteError("Cannot write temporary file \"" + FileName + "\"");
}

void TLKFileBuffer::WriteBack(const void* block, Int64 length, Int64 offset) {
  const auto* bytes = static_cast<const Byte*>(block);
  if (!pending_.empty() && offset == pendingOffset_ + static_cast<Int64>(pending_.size()) &&
      static_cast<Int64>(pending_.size()) + length <= kCopyChunk) {
    pending_.insert(pending_.end(), bytes, bytes + length);
    return;
  }
  Flush();  // anything written later must land after what was gathered
  if (length < kCopyChunk) {
    if (pending_.capacity() < static_cast<size_t>(kCopyChunk)) pending_.reserve(static_cast<size_t>(kCopyChunk));
    pending_.assign(bytes, bytes + length);
    pendingOffset_ = offset;
    return;
  }
  if (!PWriteAll(fd_, block, length, offset))
    throw EWriteError("Cannot write temporary file \"" + FileName + "\"");
}

void TLKFileBuffer::ReleaseRecord(size_t index) {
  ++changeCount_;
  const TLKMapRecord rec = Maps[index];
  Maps.erase(Maps.begin() + static_cast<std::ptrdiff_t>(index));
  bool ok = true;
  if (IsAllocated() && rec.Access.Contains(lkdWrite) && rec.Length > 0) {
    try {
      WriteBack(rec.Block, rec.Length, rec.Offset);
    } catch (const EWriteError&) {
      ok = false;
    }
  }
  // Keep the larger of the released block and the spare one for reuse.
  const size_t size = rec.Length > 0 ? static_cast<size_t>(rec.Length) : 1;
  if (size >= spareSize_) {
    std::free(spare_);
    spare_ = rec.Block;
    spareSize_ = size;
  } else {
    std::free(rec.Block);
  }
  if (!ok) throw EWriteError("Cannot write temporary file \"" + FileName + "\"");
}

void TLKFileBuffer::UnMap(void* address) {
  const Integer i = IndexOf(address);
  if (i >= 0) ReleaseRecord(static_cast<size_t>(i));
}

void TLKFileBuffer::UnMapAll() {
  if (!IsAllocated()) return;
  bool failed = false;
  while (!Maps.empty()) {
    try {
      ReleaseRecord(Maps.size() - 1);
    } catch (const EWriteError&) {
      failed = true;  // release the rest before reporting
    }
  }
  try {
    Flush();
  } catch (const EWriteError&) {
    failed = true;
  }
  if (failed) throw EWriteError("Cannot write temporary file \"" + FileName + "\"");
}

Integer TLKFileBuffer::IndexOf(void* address) const {
  for (size_t i = 0; i < Maps.size(); ++i)
    if (Maps[i].Block == address) return static_cast<Integer>(i);
  return -1;
}

Int64 TLKFileBuffer::GetFileSize() {
  if (!IsAllocated()) return 0;
  Flush();
  struct stat st;
  return ::fstat(fd_, &st) == 0 ? static_cast<Int64>(st.st_size) : 0;
}

void TLKFileBuffer::CopyTo(TLKFileBuffer* dest, Int64 position, Int64 size) {
  if (!dest || dest == this || !IsAllocated() || !dest->IsAllocated()) return;
  UnMapAll();
  dest->UnMapAll();
  if (position < 0 || size <= 0) return;
  ++dest->changeCount_;
  if (position == 0 && size == GetFileSize()) {
    // Whole file: the destination becomes an identical copy, size included.
    if (::ftruncate(dest->fd_, size) != 0)
      throw EWriteError("Cannot set the size of temporary file \"" + dest->FileName + "\"");
  }
  Int64 done = 0;
  std::vector<char> chunk;
  while (done < size) {
    const Int64 n = std::min(size - done, kCopyChunk);
    loff_t in = position + done, out = position + done;
    const ssize_t k = ::copy_file_range(fd_, &in, dest->fd_, &out, static_cast<size_t>(n), 0);
    if (k > 0) {
      done += k;
      continue;
    }
    if (k == 0) break;  // the source ends here
    // No in-kernel copy between these files: move the chunk through memory.
    if (chunk.empty()) chunk.resize(static_cast<size_t>(kCopyChunk));
    const Int64 r = PReadAll(fd_, chunk.data(), n, position + done);
    if (r < 0) throw EReadError("Cannot read temporary file \"" + FileName + "\"");
    if (r == 0) break;
    if (!PWriteAll(dest->fd_, chunk.data(), r, position + done))
      throw EWriteError("Cannot write temporary file \"" + dest->FileName + "\"");
    done += r;
  }
}

String LKTempFolder() { return !DefTEMPPATH.empty() ? DefTEMPPATH : GetTempFolder(); }

Integer LKRemoveStaleTempFiles(const String& folder, Integer minAgeSeconds) {
  std::error_code ec;
  Integer removed = 0;
  const time_t now = ::time(nullptr);
  for (const auto& e : std::filesystem::directory_iterator(folder, ec)) {
    const String name = e.path().filename().string();
    // "IMG-", eight hexadecimal digits, ".tmp": the picture buffers.
    if (name.size() != 16 || name.compare(0, 4, "IMG-") != 0 || name.compare(12, 4, ".tmp") != 0) continue;
    if (name.find_first_not_of("0123456789ABCDEF", 4) != 12) continue;
    const int fd = ::open(e.path().c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) continue;
    struct stat st {};
    const bool old = ::fstat(fd, &st) == 0 && now - st.st_mtime >= minAgeSeconds;
    if (old && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::unlink(e.path().c_str()) == 0) ++removed;
    ::close(fd);
  }
  return removed;
}

String LKGetTempFileName(const String& prefix, const String& folder) {
  for (;;) {
    String name = TempName(prefix, folder);
    if (!NameTaken(name)) return name;
  }
}

String LKGetTempFileName2() { return LKGetTempFileName("lktemp", LKTempFolder()); }

namespace {
// Blocks from this size on are asked of the kernel as transparent huge
// pages: the first touch of fresh memory costs a fault per 4 KiB page, and
// a picture of some megapixels takes tens of thousands of them.
constexpr size_t kHugePageThreshold = size_t{4} << 20;
constexpr uintptr_t kHugePage = uintptr_t{2} << 20;

}  // namespace

void LKAdviseHugePages(void* block, size_t size) {
  if (!block || size < kHugePageThreshold) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + size) & ~(kHugePage - 1);
  // Only whole, aligned huge pages inside the block; a kernel without them
  // refuses, which changes nothing.
  if (end > start) (void)::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
}

void* LKSystemAlloc(size_t size) {
  void* block = std::calloc(size > 0 ? size : 1, 1);
  LKAdviseHugePages(block, size);
  return block;
}

void LKSystemFree(void*& address) {
  std::free(address);
  address = nullptr;
}

namespace {
// LKAutoAlloc puts a 16-byte header before the block, so the returned address
// keeps the allocator's 16-byte alignment; the last header byte is the tag.
constexpr size_t kAutoHeader = 16;
constexpr Byte kTagHeap = 0;
constexpr Byte kTagSystem = 1;
constexpr size_t kAutoHeapLimit = 1048576;
}  // namespace

void* LKAutoAlloc(size_t size) {
  if (size > SIZE_MAX - kAutoHeader) throw EOutOfMemory("Out of memory");
  Byte* block = nullptr;
  Byte tag = kTagSystem;
  if (size < kAutoHeapLimit) {
    block = static_cast<Byte*>(std::malloc(size + kAutoHeader));
    tag = kTagHeap;
  }
  if (!block) {
    block = static_cast<Byte*>(LKSystemAlloc(size + kAutoHeader));
    tag = kTagSystem;
  }
  if (!block) throw EOutOfMemory("Out of memory");
  block[kAutoHeader - 1] = tag;
  return block + kAutoHeader;
}

void LKAutoFree(void*& address) {
  if (!address) return;
  void* block = static_cast<Byte*>(address) - kAutoHeader;
  if (static_cast<Byte*>(block)[kAutoHeader - 1] == kTagHeap) {
    std::free(block);
  } else {
    LKSystemFree(block);
  }
  address = nullptr;
}

Integer LKGetFreeMemory() {
  // Every new bitmap asks (for its file-storage threshold), and the answer
  // comes from reading a file: a reading is kept for a quarter second.
  using Clock = std::chrono::steady_clock;
  static std::atomic<Int64> readAt{INT64_MIN};
  static std::atomic<Integer> last{0};
  const Int64 now = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
  const Int64 at = readAt.load(std::memory_order_acquire);
  if (at != INT64_MIN && now - at >= 0 && now - at < 250) return last.load(std::memory_order_relaxed);
  const Integer bytes = GetAvailablePhysicalMemory32();
  last.store(bytes < 0 ? 0 : bytes, std::memory_order_relaxed);
  readAt.store(now, std::memory_order_release);
  return bytes < 0 ? 0 : bytes;
}
