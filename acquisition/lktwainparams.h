// Scanner settings an I/O component keeps: the installed sources and the
// selected one, the selected source's capability values (read lazily: the
// first getter that needs them opens the source and reads them all), the
// transfer mode, the application identity and the last failure. Writing a
// value only stores it; changed value lists are negotiated at the start of
// the next acquisition or by Update. The log file name is process-wide.
#pragma once

#include <memory>
#include <vector>

#include "acquisition/lktwain.h"
#include "core/lklists.h"
#include "platform/classes.h"

/// What stays loaded from one connection of an owner to the next: the
/// source manager (a token standing for its module, and its entry point)
/// and the proxy window parenting it.
struct TLKTWainShared {
  void* Module = nullptr;
  TLKDSMEntry Entry = nullptr;
  void* ProxyWindow = nullptr;
};
using PLKTWainShared = TLKTWainShared*;

/// Filters of the source, in the source's order after lktwUndefined.
enum TLKTWFilter : Byte {
  lktwUndefined,
  lktwRed,
  lktwGreen,
  lktwBlue,
  lktwNone,
  lktwWhite,
  lktwCyan,
  lktwMagenta,
  lktwYellow,
  lktwBlack
};

/// The selected source's capability values.
struct TLKTWSourceCaps {
  TLKDoubleList XResolution, YResolution, XScaling, YScaling;
  TLKIntegerList PixelType, BitDepth;
  double Gamma = 2.2;
  double PhysicalHeight = 0, PhysicalWidth = 0;  ///< inches
  bool FeederEnabled = false;
  TLKIntegerList Orientation;
  bool Indicators = true;
  double AcquireFrame[4] = {0, 0, 0, 0};  ///< left, top, right, bottom in inches
  bool BufferedTransfer = true;
  bool UseMemoryHandle = true;
  bool FileTransfer = false;
  bool DuplexEnabled = false;
  bool AcquireFrameEnabled = false;
  bool FeederLoaded = false;
  bool DuplexSupported = false;
  bool PaperDetectable = false;
  TLKDoubleList Contrast, Brightness, Threshold, Rotation;
  bool UndefinedImageSize = false;
  TLKIntegerList StandardSize;
  bool AutoFeed = false;
  bool AutoDeskew = false;
  bool AutoBorderDetection = false;
  bool AutoBright = false;
  bool AutoRotate = false;
  TLKTWFilter Filter = lktwUndefined;

  /// The twelve value lists, in a fixed order (for copies of their flags).
  std::vector<TLKList*> Lists();
};

/// The process-wide log: its name ("" = no log) and whether it was created.
extern String lkgTWainLogName;
extern bool lkgTWainLogFile;

class TLKTWainParams : public TObject {
 public:
  /// Settings for Owner. MultiImageOwner stands for an owner that is a
  /// multi-image I/O component: it starts with the feeder, duplex and
  /// automatic feed on.
  explicit TLKTWainParams(TComponent* Owner, bool MultiImageOwner = false);
  /// Unloads the kept source manager and proxy window.
  ~TLKTWainParams() override;

  /// Frees the source records and puts every field back to its default.
  void SetDefaultParams();
  /// Unloads the kept source manager, destroys the kept proxy window.
  void FreeResources();

  // ---- sources
  void FillSourceListData();
  Integer GetSourceCount();
  /// Product name of source I; "" when I is not below the count.
  String GetSourceName(Integer I);
  Integer GetSelectedSource() const { return FSelectedSource; }
  /// Selects source I and reads its capabilities at once (nothing when I is
  /// already selected).
  void SetSelectedSource(Integer I);
  /// Selects the first source whose product name begins with Name (letters
  /// a-z compared without case); false when none does.
  bool SelectSourceByName(const String& Name);
  /// Index of the manager's default source in the list; 0 when not found.
  Integer GetDefaultSource();
  /// Record I of the list (null when I is outside it).
  const TW_IDENTITY* GetSourceIdentity(Integer I);

  // ---- reading the device
  void FillCapabilities();
  bool GetFromScanner();
  bool Update();

  // ---- value lists, edited in place by the caller
  TLKDoubleList* GetXResolution() { FillCapabilities(); return &FCaps.XResolution; }
  TLKDoubleList* GetYResolution() { FillCapabilities(); return &FCaps.YResolution; }
  TLKDoubleList* GetXScaling() { FillCapabilities(); return &FCaps.XScaling; }
  TLKDoubleList* GetYScaling() { FillCapabilities(); return &FCaps.YScaling; }
  TLKDoubleList* GetContrast() { FillCapabilities(); return &FCaps.Contrast; }
  TLKDoubleList* GetBrightness() { FillCapabilities(); return &FCaps.Brightness; }
  TLKDoubleList* GetThreshold() { FillCapabilities(); return &FCaps.Threshold; }
  TLKDoubleList* GetRotation() { FillCapabilities(); return &FCaps.Rotation; }
  TLKIntegerList* GetPixelType() { FillCapabilities(); return &FCaps.PixelType; }
  TLKIntegerList* GetBitDepth() { FillCapabilities(); return &FCaps.BitDepth; }
  TLKIntegerList* GetOrientation() { FillCapabilities(); return &FCaps.Orientation; }
  TLKIntegerList* GetStandardSize() { FillCapabilities(); return &FCaps.StandardSize; }

  double GetGamma() { FillCapabilities(); return FCaps.Gamma; }
  double GetPhysicalHeight() { FillCapabilities(); return FCaps.PhysicalHeight; }
  double GetPhysicalWidth() { FillCapabilities(); return FCaps.PhysicalWidth; }
  bool GetFeederLoaded() { FillCapabilities(); return FCaps.FeederLoaded; }
  bool GetPaperDetectable() { FillCapabilities(); return FCaps.PaperDetectable; }
  bool GetDuplexSupported() { FillCapabilities(); return FCaps.DuplexSupported; }
  bool GetFeederEnabled() { FillCapabilities(); return FCaps.FeederEnabled; }
  bool GetAutoFeed() { FillCapabilities(); return FCaps.AutoFeed; }
  bool GetAutoDeskew() { FillCapabilities(); return FCaps.AutoDeskew; }
  bool GetAutoBorderDetection() { FillCapabilities(); return FCaps.AutoBorderDetection; }
  bool GetAutoBright() { FillCapabilities(); return FCaps.AutoBright; }
  bool GetAutoRotate() { FillCapabilities(); return FCaps.AutoRotate; }
  bool GetDuplexEnabled() { FillCapabilities(); return FCaps.DuplexEnabled; }
  bool GetAcquireFrameEnabled() { FillCapabilities(); return FCaps.AcquireFrameEnabled; }
  bool GetIndicators() { FillCapabilities(); return FCaps.Indicators; }
  TLKTWFilter GetFilter() { FillCapabilities(); return FCaps.Filter; }
  /// Coordinate I of the acquire frame (0 left, 1 top, 2 right, 3 bottom);
  /// 0.0 for any other index.
  double GetAcquireFrame(Integer I);

  bool GetUndefinedImageSize() const { return FCaps.UndefinedImageSize; }
  bool GetBufferedTransfer() const { return FCaps.BufferedTransfer; }
  bool GetUseMemoryHandle() const { return FCaps.UseMemoryHandle; }
  bool GetFileTransfer() const { return FCaps.FileTransfer; }

  void SetFeederEnabled(bool V) { FCaps.FeederEnabled = V; }
  void SetAutoFeed(bool V) { FCaps.AutoFeed = V; }
  void SetAutoDeskew(bool V) { FCaps.AutoDeskew = V; }
  void SetAutoBorderDetection(bool V) { FCaps.AutoBorderDetection = V; }
  void SetAutoBright(bool V) { FCaps.AutoBright = V; }
  void SetAutoRotate(bool V) { FCaps.AutoRotate = V; }
  void SetFilter(TLKTWFilter V) { FCaps.Filter = V; }
  void SetUndefinedImageSize(bool V) { FCaps.UndefinedImageSize = V; }
  void SetDuplexEnabled(bool V) { FCaps.DuplexEnabled = V; }
  void SetAcquireFrameEnabled(bool V) { FCaps.AcquireFrameEnabled = V; }
  void SetIndicators(bool V) { FCaps.Indicators = V; }
  void SetBufferedTransfer(bool V) { FCaps.BufferedTransfer = V; }
  void SetUseMemoryHandle(bool V) { FCaps.UseMemoryHandle = V; }
  void SetFileTransfer(bool V) { FCaps.FileTransfer = V; }
  /// Stores coordinate I (0 to 3) of the acquire frame; other I ignored.
  void SetAcquireFrame(Integer I, double Value);

  // ---- application identity (each kept to its first 32 characters)
  const String& GetAppVersionInfo() const { return FAppVersionInfo; }
  const String& GetAppManufacturer() const { return FAppManufacturer; }
  const String& GetAppProductFamily() const { return FAppProductFamily; }
  const String& GetAppProductName() const { return FAppProductName; }
  void SetAppVersionInfo(const String& V);
  void SetAppManufacturer(const String& V);
  void SetAppProductFamily(const String& V);
  void SetAppProductName(const String& V);

  /// Closes the log when one is set, stores Name and, when it is not empty,
  /// creates the file anew.
  void SetLogFile(const String& Name);
  String GetLogFile() const { return lkgTWainLogName; }

  /// Copies the settings of Other (not the validity of the capabilities, the
  /// read-only device flags, the shared record or the last failure).
  void Assign(const TLKTWainParams& Other);

  bool ShowSourceDialog = true;
  bool NoCapabilityNegotiation = false;
  bool SourceListValid = false;
  bool CapabilitiesValid = false;
  Integer LastReturnCode = 0;
  String LastErrorText;

  TComponent* GetOwner() const { return FOwner; }
  TLKTWainShared& Shared() { return FShared; }
  /// The capability values without reading the device (for the connection).
  TLKTWSourceCaps& Caps() { return FCaps; }

 private:
  TComponent* FOwner;
  bool FMultiOwner;
  std::vector<TW_IDENTITY> FSources;
  Integer FSelectedSource = 0;
  TLKTWSourceCaps FCaps;
  String FAppVersionInfo, FAppManufacturer, FAppProductFamily, FAppProductName;
  TLKTWainShared FShared;
};

/// Product name of a record: its bytes up to the first NUL, at most 34.
String LKTWProductName(const TW_IDENTITY& Id);
/// Whether Text begins with Prefix when the letters a-z are compared
/// without case and every other byte exactly.
bool LKTWNameStartsWith(const String& Text, const String& Prefix);
