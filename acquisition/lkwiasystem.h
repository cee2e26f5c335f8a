// The system's devices under the picture-acquisition object: scanners
// through SANE (acquisition/lkwiasane.cpp) and cameras through a camera
// interface (libgphoto2's cameras by default; tests give scripted ones).
#pragma once

#include <memory>
#include <vector>

#include "acquisition/lkwiadevice.h"

/// A camera's storage and commands, as the camera layer sees them: folder
/// paths start at "/", names are the camera's.
class TLKCamera {
 public:
  virtual ~TLKCamera() = default;
  virtual bool ListFolders(const String& Folder, std::vector<String>& Names) = 0;
  virtual bool ListFiles(const String& Folder, std::vector<String>& Names) = 0;
  /// A file's bytes, or its thumbnail's; a file larger than MaxBytes fails.
  virtual bool GetFile(const String& Folder, const String& Name, bool Thumbnail, std::vector<Byte>& Data,
                       Int64 MaxBytes) = 0;
  /// Takes a picture and tells where it went.
  virtual bool Capture(String& Folder, String& Name) = 0;
  virtual bool DeleteFile(const String& Folder, const String& Name) = 0;
  virtual String Error() const = 0;
};

/// A device over a camera: the root's children are its folders (folder
/// items) and files (image items); thumbnails are read from the camera's
/// previews; the take-picture command captures and returns the new item.
/// Notify receives the device events (item created, item deleted).
std::shared_ptr<TLKWiaDeviceItem> LKWiaCameraDevice(std::shared_ptr<TLKCamera> Camera, const String& Name,
                                                    TLKWiaEventSink Notify);

/// The SANE scanners as devices, and one opened by its SANE name (null
/// when SANE does not list it).
void LKWiaSaneDevices(std::vector<TLKWiaDeviceProperties>& Devices);
std::shared_ptr<TLKWiaDeviceItem> LKWiaSaneDevice(const String& Name);

/// A camera through libgphoto2 (Model on Port); null when it cannot be
/// opened (Error tells why).
std::shared_ptr<TLKCamera> LKGPhotoCamera(const String& Model, const String& Port, String& Error);
