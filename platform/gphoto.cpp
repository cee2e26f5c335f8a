#include "platform/gphoto.h"

#include <gphoto2/gphoto2.h>

#include <cstring>

namespace {

Camera* Cam(void* P) { return static_cast<Camera*>(P); }
GPContext* Ctx(void* P) { return static_cast<GPContext*>(P); }

// A list of names from one of libgphoto2's list calls.
std::vector<String> Names(CameraList* L) {
  std::vector<String> Out;
  const int n = gp_list_count(L);
  for (int i = 0; i < n; ++i) {
    const char* Name = nullptr;
    if (gp_list_get_name(L, i, &Name) >= GP_OK && Name) Out.emplace_back(Name);
  }
  return Out;
}

}  // namespace

std::vector<TGPhotoCameraInfo> GPhotoListCameras() {
  std::vector<TGPhotoCameraInfo> Out;
  GPContext* C = gp_context_new();
  CameraList* L = nullptr;
  if (C && gp_list_new(&L) >= GP_OK) {
    if (gp_camera_autodetect(L, C) >= GP_OK) {
      const int n = gp_list_count(L);
      for (int i = 0; i < n; ++i) {
        const char *Model = nullptr, *Port = nullptr;
        if (gp_list_get_name(L, i, &Model) >= GP_OK && gp_list_get_value(L, i, &Port) >= GP_OK && Model && Port)
          Out.push_back({Model, Port});
      }
    }
    gp_list_free(L);
  }
  if (C) gp_context_unref(C);
  return Out;
}

std::unique_ptr<TGPhotoCamera> TGPhotoCamera::Open(const String& Model, const String& Port, String& Error) {
  GPContext* C = gp_context_new();
  Camera* Camera = nullptr;
  CameraAbilitiesList* Abilities = nullptr;
  GPPortInfoList* Ports = nullptr;
  auto Fail = [&](const String& Why) -> std::unique_ptr<TGPhotoCamera> {
    Error = Why;
    if (Camera) gp_camera_unref(Camera);
    if (Abilities) gp_abilities_list_free(Abilities);
    if (Ports) gp_port_info_list_free(Ports);
    if (C) gp_context_unref(C);
    return nullptr;
  };
  if (!C || gp_camera_new(&Camera) < GP_OK) return Fail("the camera library cannot start");
  if (gp_abilities_list_new(&Abilities) < GP_OK || gp_abilities_list_load(Abilities, C) < GP_OK)
    return Fail("the camera drivers cannot be loaded");
  const int Model_ = gp_abilities_list_lookup_model(Abilities, Model.c_str());
  CameraAbilities A;
  if (Model_ < GP_OK || gp_abilities_list_get_abilities(Abilities, Model_, &A) < GP_OK)
    return Fail("no driver knows the camera " + Model);
  gp_camera_set_abilities(Camera, A);
  if (gp_port_info_list_new(&Ports) < GP_OK || gp_port_info_list_load(Ports) < GP_OK)
    return Fail("the camera ports cannot be listed");
  const int P = gp_port_info_list_lookup_path(Ports, Port.c_str());
  GPPortInfo Info;
  if (P < GP_OK || gp_port_info_list_get_info(Ports, P, &Info) < GP_OK) return Fail("no such camera port: " + Port);
  gp_camera_set_port_info(Camera, Info);
  const int Rc = gp_camera_init(Camera, C);
  if (Rc < GP_OK) return Fail(String("the camera does not answer: ") + gp_result_as_string(Rc));
  gp_abilities_list_free(Abilities);
  gp_port_info_list_free(Ports);
  return std::unique_ptr<TGPhotoCamera>(new TGPhotoCamera(Camera, C));
}

TGPhotoCamera::~TGPhotoCamera() {
  gp_camera_exit(Cam(FCamera), Ctx(FContext));
  gp_camera_unref(Cam(FCamera));
  gp_context_unref(Ctx(FContext));
}

bool TGPhotoCamera::Check(int Result, const char* What) {
  if (Result >= GP_OK) return true;
  FError = String(What) + ": " + gp_result_as_string(Result);
  return false;
}

bool TGPhotoCamera::ListFolders(const String& Folder, std::vector<String>& Out) {
  CameraList* L = nullptr;
  if (!Check(gp_list_new(&L), "no memory for a list")) return false;
  const bool Ok = Check(gp_camera_folder_list_folders(Cam(FCamera), Folder.c_str(), L, Ctx(FContext)),
                        "the folders cannot be listed");
  if (Ok) Out = Names(L);
  gp_list_free(L);
  return Ok;
}

bool TGPhotoCamera::ListFiles(const String& Folder, std::vector<String>& Out) {
  CameraList* L = nullptr;
  if (!Check(gp_list_new(&L), "no memory for a list")) return false;
  const bool Ok = Check(gp_camera_folder_list_files(Cam(FCamera), Folder.c_str(), L, Ctx(FContext)),
                        "the files cannot be listed");
  if (Ok) Out = Names(L);
  gp_list_free(L);
  return Ok;
}

bool TGPhotoCamera::GetFile(const String& Folder, const String& Name, bool Thumbnail, std::vector<Byte>& Data,
                            Int64 MaxBytes) {
  CameraFile* F = nullptr;
  if (!Check(gp_file_new(&F), "no memory for a file")) return false;
  bool Ok = Check(gp_camera_file_get(Cam(FCamera), Folder.c_str(), Name.c_str(),
                                     Thumbnail ? GP_FILE_TYPE_PREVIEW : GP_FILE_TYPE_NORMAL, F, Ctx(FContext)),
                  "the file cannot be read");
  const char* Bytes = nullptr;
  unsigned long Size = 0;
  if (Ok) Ok = Check(gp_file_get_data_and_size(F, &Bytes, &Size), "the file has no data");
  if (Ok && (Int64(Size) > MaxBytes || (Size > 0 && !Bytes))) {
    FError = "the file is larger than a picture may be";
    Ok = false;
  }
  if (Ok) Data.assign(reinterpret_cast<const Byte*>(Bytes), reinterpret_cast<const Byte*>(Bytes) + Size);
  gp_file_unref(F);
  return Ok;
}

bool TGPhotoCamera::Capture(String& Folder, String& Name) {
  CameraFilePath Path{};
  if (!Check(gp_camera_capture(Cam(FCamera), GP_CAPTURE_IMAGE, &Path, Ctx(FContext)), "the camera took no picture"))
    return false;
  Folder.assign(Path.folder, strnlen(Path.folder, sizeof Path.folder));
  Name.assign(Path.name, strnlen(Path.name, sizeof Path.name));
  return true;
}

bool TGPhotoCamera::DeleteFile(const String& Folder, const String& Name) {
  return Check(gp_camera_file_delete(Cam(FCamera), Folder.c_str(), Name.c_str(), Ctx(FContext)),
               "the file cannot be deleted");
}
