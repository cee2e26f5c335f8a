// The real camera library with no camera attached: the list is empty and
// opening a camera that is not there fails with a reason; the system
// manager lists SANE's test scanners and no camera.
#include <gtest/gtest.h>

#include <cstdlib>

#include "acquisition/lkwia.h"
#include "acquisition/lkwiasystem.h"
#include "platform/gphoto.h"
#include "tests/acquisition/wia_kit.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
// The library's camera and port drivers are modules it loads and unloads
// again; what they allocate and keep is theirs, and once they are unloaded
// the leak checker can no longer tell whose it is. Their allocations during
// these calls are left out of the leak check.
#define LK_DRIVERS_KEEP_MEMORY __lsan::ScopedDisabler Disabled
#else
#define LK_DRIVERS_KEEP_MEMORY
#endif

TEST(GPhoto, WithoutACameraTheListIsEmptyAndOpeningFails) {
  LK_DRIVERS_KEEP_MEMORY;
  EXPECT_TRUE(GPhotoListCameras().empty());
  String Error;
  EXPECT_EQ(LKGPhotoCamera("No such camera", "usb:", Error), nullptr);
  EXPECT_FALSE(Error.empty());
}

TEST(GPhoto, TheSystemManagerListsScannersAndNoCamera) {
  LK_DRIVERS_KEEP_MEMORY;
  setenv("SANE_CONFIG_DIR", LUMERAK_TESTS_DIR "/acquisition/sane", 0);
  wiakit::TManagerScope Scope(LKWiaSystemManager());
  TLKWia W(nullptr);
  ASSERT_GT(W.GetDevicesInfoCount(), 0);
  for (Integer i = 0; i < W.GetDevicesInfoCount(); ++i) EXPECT_EQ(W.GetDevicesInfo(i)->DeviceType, lkwScanner);
}
