// Scanners through SANE: the device list, one open device with the few
// options a scan needs (mode, depth, resolution, scan area, source and the
// unknown-length mode), and the frame reads. A thin layer: names and values
// are SANE's own, nothing is converted.
//
// Threads: one device is used from one thread at a time. SANE is started
// on first use and stays started (its back ends keep process state).
#pragma once

#include <memory>
#include <vector>

#include "platform/system.h"

/// One device SANE lists.
struct TSaneDeviceInfo {
  String Name, Vendor, Model, Type;
};

/// What the device will deliver for the frame started last. Lines is -1
/// while the length is not known.
struct TSaneParameters {
  Integer Format = 0;  ///< 0 grey, 1 RGB, 2-4 single red, green, blue frames
  bool LastFrame = true;
  Integer BytesPerLine = 0;
  Integer PixelsPerLine = 0;
  Integer Lines = 0;
  Integer Depth = 0;
};

/// A range or list of allowed numbers of an option (SANE fixed-point
/// options are given as doubles).
struct TSaneConstraint {
  bool IsRange = false;
  double Min = 0, Max = 0, Quant = 0;
  std::vector<double> Values;
  std::vector<String> Strings;
};

/// Result of a read: the bytes delivered, the end of the frame, or a fault
/// (its text in Error).
enum class TSaneRead { Data, EndOfFrame, NoDocuments, Jammed, Cancelled, Failed };

class TSaneDevice {
 public:
  ~TSaneDevice();
  TSaneDevice(const TSaneDevice&) = delete;
  TSaneDevice& operator=(const TSaneDevice&) = delete;

  /// Opens Name; null when it cannot be opened (Error tells why).
  static std::unique_ptr<TSaneDevice> Open(const String& Name, String& Error);

  /// Whether the device has an option of that name that can be set now.
  bool HasOption(const String& Name) const;
  /// The option's allowed values (false when it has no constraint).
  bool GetConstraint(const String& Name, TSaneConstraint& Out) const;
  /// Current value of a numeric option (fixed-point ones as doubles).
  bool GetNumber(const String& Name, double& Value) const;
  bool GetString(const String& Name, String& Value) const;
  /// Sets an option; false when the device refuses it.
  bool SetNumber(const String& Name, double Value);
  bool SetString(const String& Name, const String& Value);
  bool SetBool(const String& Name, bool Value);

  /// Starts a frame; Status tells an empty feeder from other faults.
  TSaneRead Start(String& Error);
  bool GetParameters(TSaneParameters& Out) const;
  /// Reads up to Max bytes into Buffer; Got is what arrived.
  TSaneRead Read(Byte* Buffer, Integer Max, Integer& Got, String& Error);
  /// Ends the current scan (also one that is running).
  void Cancel();

 private:
  explicit TSaneDevice(void* Handle) : FHandle(Handle) {}
  Integer FindOption(const String& Name) const;
  void* FHandle;
};

/// The devices SANE finds (empty when SANE cannot start).
std::vector<TSaneDeviceInfo> SaneListDevices();
