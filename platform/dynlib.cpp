#include "platform/dynlib.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>

namespace {
thread_local String tLastLoadError;

bool EndsWithDll(const String& s) {
  if (s.size() < 4) return false;
  String tail = s.substr(s.size() - 4);
  for (char& c : tail)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return tail == ".dll";
}
}  // namespace

String ExeFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return String();
  String path(buf, static_cast<std::size_t>(n));
  std::size_t slash = path.rfind('/');
  return slash == String::npos ? String() : path.substr(0, slash + 1);
}

std::vector<String> LibraryCandidates(const String& Name, const String& ExeDir) {
  if (Name.empty()) return {};
  if (!EndsWithDll(Name)) return {Name};
  String stem = Name.substr(0, Name.size() - 4);
  std::size_t slash = stem.rfind('/');
  if (slash != String::npos) return {stem + ".so"};
  std::vector<String> r;
  if (!ExeDir.empty()) {
    String dir = ExeDir.back() == '/' ? ExeDir : ExeDir + "/";
    r.push_back(dir + stem + ".so");
  }
  r.push_back("lib" + stem + ".so");
  r.push_back(stem + ".so");
  return r;
}

HMODULE LoadLibraryFrom(const String& Name, const String& ExeDir) {
  tLastLoadError.clear();
  for (const String& candidate : LibraryCandidates(Name, ExeDir)) {
    if (void* h = ::dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL)) {
      tLastLoadError.clear();
      return h;
    }
    const char* err = ::dlerror();
    if (!tLastLoadError.empty()) tLastLoadError += "; ";
    tLastLoadError += err ? err : candidate + ": cannot load";
  }
  if (tLastLoadError.empty()) tLastLoadError = "empty library name";
  return nullptr;
}

HMODULE LoadLibrary(const String& Name) { return LoadLibraryFrom(Name, ExeFolder()); }

void* GetProcAddress(HMODULE Module, const String& ProcName) {
  if (Module == nullptr || ProcName.empty()) return nullptr;
  ::dlerror();
  return ::dlsym(Module, ProcName.c_str());
}

bool FreeLibrary(HMODULE Module) { return Module != nullptr && ::dlclose(Module) == 0; }

String GetLoadLibraryError() { return tLastLoadError; }
