#include "core/lkallocgate.h"

#include <sys/resource.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <limits>

#include "core/lkabort.h"
#include "core/lkfilebuffer.h"

namespace {

constexpr Int64 kUnlimited = std::numeric_limits<Int64>::max();

std::atomic<Int64> gLimit{0};

Int64 ResourceLimit(int Resource) {
  rlimit rl{};
  if (::getrlimit(Resource, &rl) != 0 || rl.rlim_cur == RLIM_INFINITY) return kUnlimited;
  return rl.rlim_cur > rlim_t(kUnlimited) ? kUnlimited : Int64(rl.rlim_cur);
}

Int64 SaturatingAdd(Int64 A, Int64 B) { return A > kUnlimited - B ? kUnlimited : A + B; }

}  // namespace

Int64 LKPhysicalMemory() {
  const long pages = ::sysconf(_SC_PHYS_PAGES);
  const long page = ::sysconf(_SC_PAGESIZE);
  if (pages <= 0 || page <= 0) return kUnlimited;
  return Int64(pages) > kUnlimited / page ? kUnlimited : Int64(pages) * page;
}

namespace {

Int64 TempFolderFree() {
  struct statvfs st {};
  if (::statvfs(LKTempFolder().c_str(), &st) != 0) return 0;
  const Int64 blocks = Int64(st.f_bavail);
  const Int64 size = Int64(st.f_frsize ? st.f_frsize : st.f_bsize);
  return size > 0 && blocks > kUnlimited / size ? kUnlimited : blocks * size;
}

String Describe(const TLKPictureRequest& R) {
  return std::to_string(R.Width) + " x " + std::to_string(R.Height);
}

}  // namespace

Int64 LKPictureBytes(Int64 Width, Int64 Height, Integer BitsPerPixel) {
  if (Width <= 0 || Height <= 0) return 0;
  const Int64 bits = BitsPerPixel > 0 ? BitsPerPixel : 8;
  if (Width > kUnlimited / bits) return kUnlimited;
  const Int64 rowBytes = ((Width * bits + 31) / 32) * 4;
  return Height > kUnlimited / rowBytes ? kUnlimited : rowBytes * Height;
}

namespace {

Int64 ProcessLimit() { return std::min(ResourceLimit(RLIMIT_AS), ResourceLimit(RLIMIT_FSIZE)); }

}  // namespace

Int64 LKDefaultAllocationLimit() {
  // A picture past half of physical memory lives in a temporary file.
  return std::min(ProcessLimit(), std::max(LKPhysicalMemory() / 2, TempFolderFree() / 2));
}

Int64 LKMemoryAllocationLimit() {
  const Int64 set = gLimit.load(std::memory_order_relaxed);
  if (set > 0) return std::min(set, LKPhysicalMemory());
  return std::min(ProcessLimit(), LKPhysicalMemory() / 2);
}

Int64 LKAllocationLimit() {
  const Int64 set = gLimit.load(std::memory_order_relaxed);
  return set > 0 ? set : LKDefaultAllocationLimit();
}

void LKSetAllocationLimit(Int64 Bytes) { gLimit.store(Bytes > 0 ? Bytes : 0, std::memory_order_relaxed); }

bool LKAllowPicture(const TLKPictureRequest& R, TProgressRec& Progress, const char* Format) {
  const String what = String(Format ? Format : "picture") + " of " + Describe(R);
  if (R.Width <= 0 || R.Height <= 0) {
    LKAbort(Progress, what + ": the picture has no pixels");
    return false;
  }
  if (R.MaxSide > 0 && (R.Width > R.MaxSide || R.Height > R.MaxSide)) {
    LKAbort(Progress, what + ": a side is past the format's largest, " + std::to_string(R.MaxSide));
    return false;
  }
  if (R.MinCodedBytes > 0 && R.AvailableBytes >= 0 && R.AvailableBytes < R.MinCodedBytes) {
    LKAbort(Progress, what + ": the input holds " + std::to_string(R.AvailableBytes) + " bytes, such a picture needs " +
                          std::to_string(R.MinCodedBytes));
    return false;
  }
  const Int64 picture = LKPictureBytes(R.Width, R.Height, R.BitsPerPixel);
  const Int64 work = std::max<Int64>(R.WorkBytes, 0);
  const Int64 bytes = SaturatingAdd(picture, work);
  const Int64 memoryLimit = LKMemoryAllocationLimit();
  const Int64 limit = R.MemoryOnly ? memoryLimit : LKAllocationLimit();
  if (bytes > limit || work > memoryLimit) {
    LKAbort(Progress, what + ": " + std::to_string(bytes) + " bytes are past the allocation limit of " +
                          std::to_string(work > memoryLimit ? memoryLimit : limit));
    return false;
  }
  return true;
}

bool LKAllowPicture(Int64 Width, Int64 Height, Integer BitsPerPixel, TProgressRec& Progress, const char* Format) {
  TLKPictureRequest r;
  r.Width = Width;
  r.Height = Height;
  r.BitsPerPixel = BitsPerPixel;
  return LKAllowPicture(r, Progress, Format);
}
