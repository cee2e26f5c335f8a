// Cameras through libgphoto2: the cameras it detects, and one opened
// camera's folders, files, thumbnails, captures and deletions. A thin
// layer: folder paths and names are the camera's own.
//
// Threads: one camera is used from one thread at a time.
#pragma once

#include <memory>
#include <vector>

#include "platform/system.h"

/// One detected camera: its model and the port it sits on ("usb:001,004").
struct TGPhotoCameraInfo {
  String Model, Port;
};

/// The cameras libgphoto2 detects (empty when none or when it cannot start).
std::vector<TGPhotoCameraInfo> GPhotoListCameras();

class TGPhotoCamera {
 public:
  ~TGPhotoCamera();
  TGPhotoCamera(const TGPhotoCamera&) = delete;
  TGPhotoCamera& operator=(const TGPhotoCamera&) = delete;

  /// Opens the camera Model on Port; null when it cannot (Error tells why).
  static std::unique_ptr<TGPhotoCamera> Open(const String& Model, const String& Port, String& Error);

  /// The sub-folders and the files of Folder ("/" is the top).
  bool ListFolders(const String& Folder, std::vector<String>& Names);
  bool ListFiles(const String& Folder, std::vector<String>& Names);
  /// A file's bytes (or its thumbnail's); a file larger than MaxBytes is
  /// refused.
  bool GetFile(const String& Folder, const String& Name, bool Thumbnail, std::vector<Byte>& Data, Int64 MaxBytes);
  /// Takes a picture; Folder and Name tell where it was stored.
  bool Capture(String& Folder, String& Name);
  bool DeleteFile(const String& Folder, const String& Name);
  /// Why the last call failed.
  String Error() const { return FError; }

 private:
  TGPhotoCamera(void* Camera, void* Context) : FCamera(Camera), FContext(Context) {}
  bool Check(int Result, const char* What);
  void* FCamera;
  void* FContext;
  String FError;
};
