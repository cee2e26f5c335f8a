// Scripted devices of the picture-acquisition service shared by the
// tests: a manager that records its calls and answers from a script, and a
// camera given as scripted storage.
#pragma once

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/lkwiasystem.h"
#include "codecs/jpeg/jpegfilt.h"
#include "core/lkbitmap.h"
#include "io/lkparams.h"

namespace wiakit {

using TLog = std::vector<std::string>;

class TFakeManager : public TLKWiaManager {
 public:
  bool EnumDevices(std::vector<TLKWiaDeviceProperties>& D) override {
    Log->push_back("enumerate");
    D = Devices;
    return true;
  }
  std::shared_ptr<TLKWiaDeviceItem> CreateDevice(const String& Id) override {
    Log->push_back("create " + Id);
    auto It = Roots.find(Id);
    return It == Roots.end() ? nullptr : It->second;
  }
  std::shared_ptr<void> RegisterEvents(TLKWiaEventSink S) override {
    Sink = std::move(S);
    return std::make_shared<int>(0);
  }
  std::shared_ptr<TLog> Log = std::make_shared<TLog>();
  std::vector<TLKWiaDeviceProperties> Devices;
  std::map<String, std::shared_ptr<TLKWiaDeviceItem>> Roots;
  TLKWiaEventSink Sink;
};

// Installs a manager for one test and puts the previous one back.
struct TManagerScope {
  std::shared_ptr<TLKWiaManager> Old;
  explicit TManagerScope(std::shared_ptr<TLKWiaManager> M) : Old(LKWiaSetManager(std::move(M))) {}
  ~TManagerScope() { LKWiaSetManager(Old); }
};

// A W x H JPEG of one grey level at Dpi.
inline std::vector<Byte> JpegOf(Integer W, Integer H, Byte Grey, Integer Dpi) {
  TLKBitmap B;
  B.Allocate(W, H, lk24RGB);
  for (Integer y = 0; y < H; ++y) std::memset(B.GetScanLine(y), Grey, size_t(W) * 3);
  TIOParamsVals P;
  P.SetDpiX(Dpi);
  P.SetDpiY(Dpi);
  P.JPEG_QUALITY = 100;
  TMemoryStream S;
  TProgressRec Pr;
  WriteJPegStream(&S, &B, P, Pr);
  const Byte* M = static_cast<const Byte*>(S.Memory());
  return std::vector<Byte>(M, M + S.GetSize());
}

// Storage of a camera, scripted: folders with files, each file's bytes and
// preview; captures add a file to "/store".
class TFakeCamera : public TLKCamera {
 public:
  std::map<String, std::vector<String>> Folders;  // path -> sub-folder names
  std::map<String, std::map<String, std::pair<std::vector<Byte>, std::vector<Byte>>>> Files;
  std::vector<std::string> Log;
  bool ListFolders(const String& F, std::vector<String>& N) override {
    N = Folders[F];
    return true;
  }
  bool ListFiles(const String& F, std::vector<String>& N) override {
    N.clear();
    for (auto& [Name, Data] : Files[F]) N.push_back(Name);
    return true;
  }
  bool GetFile(const String& F, const String& N, bool Thumb, std::vector<Byte>& D, Int64 Max) override {
    Log.push_back("get " + F + "/" + N + (Thumb ? " preview" : ""));
    auto& E = Files[F][N];
    D = Thumb ? E.second : E.first;
    return Int64(D.size()) <= Max && !D.empty();
  }
  bool Capture(String& F, String& N) override {
    Log.push_back("capture");
    F = "/store";
    N = "new.jpg";
    Files[F][N] = {JpegOf(16, 8, 200, 72), {}};
    return true;
  }
  bool DeleteFile(const String& F, const String& N) override {
    Log.push_back("delete " + F + "/" + N);
    Files[F].erase(N);
    return true;
  }
  String Error() const override { return "scripted failure"; }
};

struct TCameraRig {
  std::shared_ptr<TFakeCamera> Camera = std::make_shared<TFakeCamera>();
  std::shared_ptr<TFakeManager> M = std::make_shared<TFakeManager>();
  TCameraRig() {
    Camera->Folders["/"] = {"store"};
    Camera->Files["/store"]["a.jpg"] = {JpegOf(8, 4, 40, 300), JpegOf(4, 2, 40, 72)};
    Camera->Files["/store"]["b.jpg"] = {JpegOf(8, 4, 120, 300), {}};
    TLKWiaDeviceProperties D;
    D.Id = "cam";
    D.Name = "Scripted camera";
    D.Type = 0x00020000;
    M->Devices.push_back(D);
    auto Sink = [M = M.get()](const TLKGuid& E) {
      if (M->Sink) M->Sink(E);
    };
    M->Roots["cam"] = LKWiaCameraDevice(Camera, "Scripted camera", Sink);
  }
};

}  // namespace wiakit
