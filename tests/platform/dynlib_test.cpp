#include <gtest/gtest.h>
#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/dynlib.h"
#include "platform/sysutils.h"

namespace {

using V = std::vector<std::string>;

TEST(DynLibTest, NameRuleForPlugIns) {
  struct Case {
    const char* name;
    const char* exeDir;
    V tried;
  } cases[] = {
      {"camdec.dll", "/opt/app/", {"/opt/app/camdec.so", "libcamdec.so", "camdec.so"}},
      {"Plug.DLL", "/opt/app", {"/opt/app/Plug.so", "libPlug.so", "Plug.so"}},
      {"camdec.dll", "", {"libcamdec.so", "camdec.so"}},
      {"/plugins/x.dll", "/opt/app/", {"/plugins/x.so"}},
      {"libfoo.so.1", "/opt/app/", {"libfoo.so.1"}},
      {"", "/opt/app/", {}},
  };
  for (auto& c : cases) EXPECT_EQ(LibraryCandidates(c.name, c.exeDir), c.tried) << c.name;
}

TEST(DynLibTest, ExeFolderHoldsTheProgram) {
  std::string dir = ExeFolder();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '/');
  EXPECT_TRUE(FileExists(dir + "platform_tests"));
}

// Stands a real shared library (zlib's) in for a plug-in: copied as "zz.so"
// into a fake program folder, it must load as "zz.dll".
TEST(DynLibTest, LoadsFromTheProgramFolderThenTheLoader) {
  void* z = dlopen("libz.so.1", RTLD_NOW);
  ASSERT_NE(z, nullptr);
  link_map* map = nullptr;
  ASSERT_EQ(dlinfo(z, RTLD_DI_LINKMAP, &map), 0);
  std::string zpath = map->l_name;
  dlclose(z);

  char tmpl[] = "/tmp/pcore-dynlib-XXXXXX";
  std::string dir = std::string(mkdtemp(tmpl)) + "/";
  std::filesystem::copy_file(zpath, dir + "zz.so");

  HMODULE h = LoadLibraryFrom("zz.dll", dir);
  ASSERT_NE(h, nullptr) << GetLoadLibraryError();
  using VersionFn = const char* (*)();
  auto version = reinterpret_cast<VersionFn>(GetProcAddress(h, "zlibVersion"));
  ASSERT_NE(version, nullptr);
  EXPECT_EQ(std::string(version()).substr(0, 2), "1.");
  EXPECT_EQ(GetProcAddress(h, "LKX_NoSuchEntry"), nullptr);
  EXPECT_EQ(GetProcAddress(nullptr, "zlibVersion"), nullptr);
  EXPECT_TRUE(FreeLibrary(h));

  // Not in the program folder: "libz.so" through the loader's search.
  h = LoadLibraryFrom("z.dll", dir + "empty/");
  EXPECT_NE(h, nullptr) << GetLoadLibraryError();
  FreeLibrary(h);

  // Missing everywhere: null, and the error names what was tried.
  EXPECT_EQ(LoadLibrary("pcore_missing_plugin.dll"), nullptr);
  EXPECT_NE(GetLoadLibraryError().find("libpcore_missing_plugin.so"), std::string::npos);
  EXPECT_FALSE(FreeLibrary(nullptr));
  std::filesystem::remove_all(dir);
}

}  // namespace
