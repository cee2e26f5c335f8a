// Scanner connections: calling the manager and the source, the states, the
// log, the modal loop and the short connections of the source list, the
// default source and the selection.
#include "acquisition/imscan.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>

#include "acquisition/lkproxywin.h"
#include "acquisition/lktwsane.h"
#include "core/lkbitmap.h"
#include "platform/forms.h"
#include "processing/lkcolorops.h"

namespace {

TLKDSMEntry gManagerEntry = LKSaneDSMEntry;
// Failed event polls in a row after which the source counts as gone.
constexpr int kMaxPollFailures = 100;
// Stands for the loaded manager's module: the manager lives in the library.
char gModuleToken;

void SetText(char* Dest, size_t Size, const String& Text) {
  std::memset(Dest, 0, Size);
  std::memcpy(Dest, Text.data(), std::min(Text.size(), Size - 1));
}

void StartConnection(TLKTWConnection& C, TLKTWainParams* Settings, TLKTWainShared& Shared, void* Window) {
  C = TLKTWConnection{};
  C.Settings = Settings;
  C.Shared = &Shared;
  C.OwnerWindow = Window;
  C.AppId.Version.MajorNum = 1;
  C.AppId.Version.MinorNum = 0;
  C.AppId.Version.Language = TWLG_USA;
  C.AppId.Version.Country = TWCY_USA;
  C.AppId.ProtocolMajor = 1;
  C.AppId.ProtocolMinor = 9;
  C.AppId.SupportedGroups = DG_CONTROL | DG_IMAGE;
  SetText(C.AppId.Version.Info, sizeof C.AppId.Version.Info, " ");
  SetText(C.AppId.Manufacturer, sizeof C.AppId.Manufacturer, " ");
  SetText(C.AppId.ProductFamily, sizeof C.AppId.ProductFamily, " ");
  SetText(C.AppId.ProductName, sizeof C.AppId.ProductName, " ");
}

void SetAppIdentity(TLKTWConnection& C) {
  if (!C.Settings) return;
  SetText(C.AppId.Version.Info, sizeof C.AppId.Version.Info, C.Settings->GetAppVersionInfo());
  SetText(C.AppId.Manufacturer, sizeof C.AppId.Manufacturer, C.Settings->GetAppManufacturer());
  SetText(C.AppId.ProductFamily, sizeof C.AppId.ProductFamily, C.Settings->GetAppProductFamily());
  SetText(C.AppId.ProductName, sizeof C.AppId.ProductName, C.Settings->GetAppProductName());
}

void RecordFailure(TLKTWConnection& C, Integer State) {
  if (C.FailState != 0) return;
  C.FailState = State;
  if (State >= 2 && State <= 5) {
    C.FailReturnCode = C.ReturnCode;
    C.FailConditionCode = LKTW_GetConditionCode(C);
  }
}

void LogOutcome(const String& Name, bool Ok) { LKTW_WriteLog("  " + Name + (Ok ? " : Ok" : " : FAILED!")); }

// The raw call: the return code starts as a failure and stays one when no
// entry point is known or the entry point raises.
TW_UINT16 Call(TLKTWConnection& C, TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  C.ReturnCode = TWRC_FAILURE;
  if (C.Entry) {
    try {
      C.ReturnCode = C.Entry(&C.AppId, Dest, DG, DAT, MSG, Data);
    } catch (...) {
      C.ReturnCode = TWRC_FAILURE;
    }
  }
  return C.ReturnCode;
}

bool Checked(TLKTWConnection& C, const char* Who, TW_UINT16 Rc) {
  // Only failures are errors: the end of a list, a finished transfer or an
  // event answer are the normal results of their requests.
  if ((Rc == TWRC_FAILURE || Rc == TWRC_CHECKSTATUS) && C.Settings) {
    TW_UINT16 Saved = C.ReturnCode;
    C.Settings->LastReturnCode = Rc;
    C.Settings->LastErrorText = LKTW_ConditionText(LKTW_GetConditionCode(C));
    C.ReturnCode = Saved;
    LKTW_WriteLog(String(Who) + " : " + C.Settings->LastErrorText);
  }
  return Rc == TWRC_SUCCESS;
}

void CreateProxyWindow(TLKTWConnection& C) {
  if (C.Shared->ProxyWindow) {
    LKTW_WriteLog("  CreateProxyWindow : already created");
  } else {
    // The window that parents the manager's dialogs; the built-in manager
    // shows none, so a token stands for it.
    C.Shared->ProxyWindow = new char(0);
  }
  C.ParentWindow = C.Shared->ProxyWindow;
}

bool LoadSourceManager(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_LoadSourceManager");
  if (C.State >= 2) {
    LKTW_WriteLog("  LKTW_LoadSourceManager : already loaded");
    return true;
  }
  if (!C.Shared->Module) {
    C.Shared->Entry = gManagerEntry;
    C.Shared->Module = gManagerEntry ? &gModuleToken : nullptr;
  }
  C.Module = C.Shared->Module;
  C.Entry = C.Shared->Entry;
  if (C.Module && C.Entry) C.State = 2;
  LogOutcome("LKTW_LoadSourceManager", C.State == 2);
  if (C.State != 2) RecordFailure(C, 1);
  return C.State == 2;
}

void UnloadSourceManager(TLKTWConnection& C, bool Free) {
  LKTW_WriteLog("LKTW_UnloadSourceManager");
  if (Free && C.Shared->Module) {
    C.Shared->Module = nullptr;
    C.Shared->Entry = nullptr;
    C.Module = nullptr;
    C.Entry = nullptr;
    C.State = 1;
    LKTW_WriteLog("  LKTW_UnloadSourceManager : Unload OK");
  } else if (C.State == 2) {
    C.Module = nullptr;
    C.Entry = nullptr;
    C.State = 1;
    LKTW_WriteLog("  LKTW_UnloadSourceManager not Unloaded, for future uses");
  }
}

bool OpenSourceManager(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_OpenSourceManager");
  void* Parent = C.ParentWindow;
  if (C.State >= 2 && LKTW_Mgr(C, DG_CONTROL, DAT_PARENT, MSG_OPENDSM, &Parent)) C.State = 3;
  else RecordFailure(C, 3);
  LogOutcome("LKTW_OpenSourceManager", C.State >= 3);
  return C.State >= 3;
}

void CloseSourceManager(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_CloseSourceManager");
  C.ReturnCode = TWRC_SUCCESS;
  void* Parent = C.ParentWindow;
  if (C.State == 3 && LKTW_Mgr(C, DG_CONTROL, DAT_PARENT, MSG_CLOSEDSM, &Parent)) C.State = 2;
  LogOutcome("LKTW_CloseSourceManager", C.State <= 2);
}

bool OpenSource(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_OpenSource");
  if (C.State != 3) {
    LKTW_WriteLog("  LKTW_OpenSource : already loaded");
    return false;
  }
  String Name = C.Settings ? C.Settings->GetSourceName(C.Settings->GetSelectedSource()) : String();
  if (!Name.empty()) {
    std::memset(&C.SourceId, 0, sizeof C.SourceId);
    bool Ok = LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &C.SourceId);
    // Any answer but success ends the walk: a manager answering failure
    // for ever must not keep us here.
    while (Ok && LKTWProductName(C.SourceId) != Name) {
      std::memset(&C.SourceId, 0, sizeof C.SourceId);
      Ok = LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &C.SourceId);
    }
    if (!Ok) std::memset(&C.SourceId, 0, sizeof C.SourceId);
  } else {
    C.SourceId.Id = 0;
    std::memset(C.SourceId.ProductName, 0, sizeof C.SourceId.ProductName);
  }
  if (LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_OPENDS, &C.SourceId)) C.State = 4;
  else RecordFailure(C, 4);
  LogOutcome("LKTW_OpenSource", C.State == 4);
  return C.State == 4;
}

bool EnableSource(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_EnableSource");
  if (C.State != 4) {
    LKTW_WriteLog("  LKTW_EnableSource : already enabled");
    return false;
  }
  C.UI.ShowUI = C.HideDialog ? 0 : 0xFFFF;
  C.UI.ModalUI = C.Modal ? 0xFFFF : 0;
  C.UI.hParent = C.ParentWindow;
  LKTW_WriteLog("  LKTW_EnableSource : ShowUI=" + std::to_string(static_cast<TW_INT16>(C.UI.ShowUI)) +
                " hParent=" + std::to_string(reinterpret_cast<std::uintptr_t>(C.UI.hParent)) +
                " ModalUI=" + std::to_string(static_cast<TW_INT16>(C.UI.ModalUI)));
  TW_UINT16 Rc = Call(C, &C.SourceId, DG_CONTROL, DAT_USERINTERFACE, MSG_ENABLEDS, &C.UI);
  Checked(C, "LKTW_DS", Rc);
  if (Rc == TWRC_FAILURE || Rc == TWRC_CANCEL) RecordFailure(C, 5);
  else C.State = 5;
  LogOutcome("LKTW_EnableSource", C.State == 5);
  return C.State == 5;
}

void DisableSource(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_DisableSource");
  C.Stop = true;
  if (C.State == 5 && LKTW_DS(C, DG_CONTROL, DAT_USERINTERFACE, MSG_DISABLEDS, &C.UI)) C.State = 4;
  LogOutcome("LKTW_DisableSource", C.State <= 4);
}

void CloseSource(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_CloseSource");
  C.Stop = true;
  C.ReturnCode = TWRC_SUCCESS;
  if (C.State == 5) DisableSource(C);
  if (C.State == 4 && LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, &C.SourceId)) C.State = 3;
  LogOutcome("LKTW_CloseSource", C.State <= 3);
}

}  // namespace

// The event request with no window message stands for a poll.
bool LKTW_MessageHook(TLKTWConnection& C) {
  if (C.State < 5) return false;
  TW_EVENT Event{nullptr, MSG_NULL};
  TW_UINT16 Rc = Call(C, &C.SourceId, DG_CONTROL, DAT_EVENT, MSG_PROCESSEVENT, &Event);
  // A source that keeps failing the event poll is gone (unplugged, its
  // back end dead): waiting for its events would never end.
  C.PollFailures = Rc == TWRC_FAILURE ? C.PollFailures + 1 : 0;
  if (C.PollFailures > kMaxPollFailures) {
    LKTW_WriteLog("LKTW_MessageHook : the source does not answer");
    C.Done = true;
    C.Stop = true;
    return false;
  }
  if (Rc != TWRC_DSEVENT) return false;
  if (Event.TWMessage != MSG_NULL) LKTW_WriteLog("LKTW_MessageHook : event.msg=$" + LKTWHex4(Event.TWMessage));
  switch (Event.TWMessage) {
    case MSG_XFERREADY:
      if (C.InTransfer) break;
      C.InTransfer = true;
      C.State = 6;
      if (C.Multi) LKTW_XferReadyMulti(C);
      else LKTW_XferReady(C);
      if (C.Done) DisableSource(C);
      C.InTransfer = false;
      break;
    case MSG_CLOSEDSREQ:
      DisableSource(C);
      break;
    default:
      break;
  }
  return true;
}

namespace {

void ModalEventLoop(TLKTWConnection& C) {
  C.Stop = false;
  while (C.State > 4 && !C.Transferred && !C.Stop) {
    if (Application) {
      try {
        Application->ProcessMessages();
      } catch (...) {
      }
    }
    if (!LKTW_MessageHook(C)) {
      struct timespec Nap {0, 2000000};
      nanosleep(&Nap, nullptr);
    }
  }
  C.Stop = false;
}

// The short connections: the proxy window, the manager loaded and opened,
// Request, the manager closed and unloaded (kept).
template <typename F>
void ShortConnection(TLKTWainShared& Shared, void* Window, F Request) {
  TLKTWConnection C;
  StartConnection(C, nullptr, Shared, Window);
  CreateProxyWindow(C);
  if (LoadSourceManager(C)) {
    if (OpenSourceManager(C)) {
      Request(C);
      CloseSourceManager(C);
    }
    UnloadSourceManager(C, false);
  }
}

}  // namespace

TLKDSMEntry LKTWSetManagerEntry(TLKDSMEntry Entry) {
  TLKDSMEntry Old = gManagerEntry;
  gManagerEntry = Entry;
  return Old;
}

TLKDSMEntry LKTWGetManagerEntry() { return gManagerEntry; }

String LKTWHex4(Cardinal V) {
  char Buf[16];
  std::snprintf(Buf, sizeof Buf, "%04X", V & 0xFFFF);
  return Buf;
}

void LKTW_WriteLog(const String& Message) {
  if (lkgTWainLogName.empty()) return;
  std::time_t Now = std::time(nullptr);
  std::tm Local{};
  localtime_r(&Now, &Local);
  char Stamp[32];
  std::strftime(Stamp, sizeof Stamp, "%Y-%m-%d %H:%M:%S", &Local);
  std::ofstream Out(lkgTWainLogName, std::ios::app);
  Out << Stamp << " : " << Message << '\n';
  Out.flush();
}

String LKTW_ConditionText(Cardinal Code) {
  switch (Code) {
    case 0: return "Operation worked.";
    case 1: return "General failure. Unload Source immediately.";
    case 2: return "Not enough memory to complete operation.";
    case 3: return "Source Manager unable to find the specified Source.";
    case 4: return "Source is connected to maximum supported number of applications.";
    case 5: return "Source or Source Manager reported an error to the user and handled the error; no application action required.";
    case 6: return "Capability not supported by Source or operation (get,set) is not supported on capability, or capability had dependencies on other capabilities and cannot be operated upon at this time";
    case 9: return "Unrecognized operation triplet.";
    case 10: return "Data parameter out of supported range.";
    case 11: return "Illegal operation for current Source Manager Source state.";
    case 12: return "Unknown destination in DSM_Entry.";
    case 13: return "Capability not supported by Source.";
    case 14: return "Operation not supported on capability.";
    case 15: return "Capability has dependencies on other capabilities and cannot be operated upon at this time.";
    case 16: return "File System operation is denied (file is protected).";
    case 17: return "Operation failed because file already exists.";
    case 18: return "File not found.";
    case 19: return "Operation failed because directory is not empty.";
    case 20:
    case 21: return "Transfer failed because of a feeder error";
    default: return "Unknown Condition " + std::to_string(Code);
  }
}

TW_UINT16 LKTW_GetConditionCode(TLKTWConnection& C) {
  if (C.State < 3) return TWCC_SEQERROR;
  TW_STATUS Status{};
  TW_UINT16 Saved = C.ReturnCode;
  TW_UINT16 Rc = Call(C, C.State >= 4 ? &C.SourceId : nullptr, DG_CONTROL, DAT_STATUS, MSG_GET, &Status);
  C.ReturnCode = Saved;
  return Rc == TWRC_SUCCESS ? Status.ConditionCode : TWCC_BUMMER;
}

bool LKTW_Mgr(TLKTWConnection& C, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  return Checked(C, "LKTW_Mgr", Call(C, nullptr, DG, DAT, MSG, Data));
}

bool LKTW_DS(TLKTWConnection& C, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
  return Checked(C, "LKTW_DS", Call(C, &C.SourceId, DG, DAT, MSG, Data));
}

void LKTW_AbortAllPendingXfers(TLKTWConnection& C) {
  LKTW_WriteLog("LKTW_AbortAllPendingXfers");
  if (C.State == 7) {
    C.Pending = TW_PENDINGXFERS{};
    if (LKTW_DS(C, DG_CONTROL, DAT_PENDINGXFERS, MSG_ENDXFER, &C.Pending)) C.State = C.Pending.Count ? 6 : 5;
  }
  if (C.State == 6) {
    C.Pending = TW_PENDINGXFERS{};
    if (LKTW_DS(C, DG_CONTROL, DAT_PENDINGXFERS, MSG_RESET, &C.Pending)) C.State = 5;
  }
  LogOutcome("LKTW_AbortAllPendingXfers", C.State <= 5);
}

void LKTW_GetSourceList(std::vector<TW_IDENTITY>& List, TLKTWainShared& Shared, void* Window) {
  List.clear();
  LKTW_WriteLog("LKTW_GetSourceList");
  ShortConnection(Shared, Window, [&](TLKTWConnection& C) {
    TW_IDENTITY Id{};
    bool Ok = LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_GETFIRST, &Id);
    // A manager that keeps answering anything but success ends the list;
    // the bound keeps a broken one from listing for ever.
    for (int Guard = 0; Ok && Guard < 4096; ++Guard) {
      if (!LKTWProductName(Id).empty()) List.push_back(Id);
      std::memset(&Id, 0, sizeof Id);
      Ok = LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_GETNEXT, &Id);
    }
  });
}

String LKTW_GetDefaultSource(TLKTWainShared& Shared, void* Window) {
  String Name;
  ShortConnection(Shared, Window, [&](TLKTWConnection& C) {
    TW_IDENTITY Id{};
    if (LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_GETDEFAULT, &Id)) Name = LKTWProductName(Id);
  });
  return Name;
}

bool LKTW_SelectImageSource(String& Name, TLKTWainShared& Shared, void* Window) {
  bool Result = false;
  Name.clear();
  ShortConnection(Shared, Window, [&](TLKTWConnection& C) {
    TW_IDENTITY Id{};
    Result = LKTW_Mgr(C, DG_CONTROL, DAT_IDENTITY, MSG_USERSELECT, &Id);
    Name = LKTWProductName(Id);
  });
  return Result;
}

void LKTW_FreeResources(TLKTWainShared& Shared, void* /*Window*/) {
  delete static_cast<char*>(Shared.ProxyWindow);
  Shared.ProxyWindow = nullptr;
  Shared.Module = nullptr;
  Shared.Entry = nullptr;
}

bool LKTW_GetCapabilities(TLKTWainParams& Settings, TLKTWSourceCaps& Caps, bool Negotiate, TLKTWainShared& Shared,
                          void* Window) {
  LKTW_WriteLog("LKTW_GetCapabilities");
  TLKTWConnection C;
  StartConnection(C, &Settings, Shared, Window);
  if (Settings.NoCapabilityNegotiation) Settings.SetFileTransfer(true);
  C.TransferMode = Settings.GetFileTransfer() ? 2 : (Settings.GetBufferedTransfer() ? 1 : 0);
  CreateProxyWindow(C);
  bool Opened = false;
  if (LoadSourceManager(C)) {
    if (OpenSourceManager(C)) {
      if (OpenSource(C)) {
        Opened = true;
        bool NoNeg = Settings.NoCapabilityNegotiation;
        std::vector<TLKListChanges> Kept;
        if (Negotiate) {
          LKTW_SetCapabilities(C);
          for (TLKList* L : Caps.Lists()) Kept.push_back(L->GetChanges());
        }
        Integer Units = 0;
        if (!NoNeg && GetOneUINT16Capability(C, ICAP_UNITS, Units) && Units != TWUN_INCHES)
          SetOneUINT16Capability(C, ICAP_UNITS, TWUN_INCHES);
        if (!GetFix32asDouble(C, ICAP_XRESOLUTION, Caps.XResolution)) Caps.XResolution.Clear();
        if (!GetFix32asDouble(C, ICAP_YRESOLUTION, Caps.YResolution)) Caps.YResolution.Clear();
        if (!NoNeg) {
          auto OneOr = [&](TLKDoubleList& L, TW_UINT16 Cap) {
            if (!GetFix32asDouble(C, Cap, L)) {
              L.Clear();
              L.Add(1.0);
            }
          };
          auto ListOrEmpty = [&](TLKDoubleList& L, TW_UINT16 Cap) {
            if (!GetFix32asDouble(C, Cap, L)) L.Clear();
          };
          auto IntOrEmpty = [&](TLKIntegerList& L, TW_UINT16 Cap) {
            if (!GetUINT16asInteger(C, Cap, L)) L.Clear();
          };
          auto Bool = [&](bool& V, TW_UINT16 Cap, bool Otherwise) {
            if (!GetOneBoolCapability(C, Cap, V)) V = Otherwise;
          };
          auto Fix = [&](double& V, TW_UINT16 Cap, double Otherwise) {
            if (!GetOneFIX32asDouble(C, Cap, V)) V = Otherwise;
          };
          OneOr(Caps.XScaling, ICAP_XSCALING);
          OneOr(Caps.YScaling, ICAP_YSCALING);
          ListOrEmpty(Caps.Contrast, ICAP_CONTRAST);
          ListOrEmpty(Caps.Brightness, ICAP_BRIGHTNESS);
          ListOrEmpty(Caps.Threshold, ICAP_THRESHOLD);
          ListOrEmpty(Caps.Rotation, ICAP_ROTATION);
          IntOrEmpty(Caps.PixelType, ICAP_PIXELTYPE);
          IntOrEmpty(Caps.BitDepth, ICAP_BITDEPTH);
          Fix(Caps.Gamma, ICAP_GAMMA, 2.2);
          Fix(Caps.PhysicalHeight, ICAP_PHYSICALHEIGHT, 0);
          Fix(Caps.PhysicalWidth, ICAP_PHYSICALWIDTH, 0);
          Bool(Caps.FeederEnabled, CAP_FEEDERENABLED, false);
          Bool(Caps.AutoFeed, CAP_AUTOFEED, false);
          Bool(Caps.AutoDeskew, ICAP_AUTOMATICDESKEW, false);
          Bool(Caps.AutoBorderDetection, ICAP_AUTOMATICBORDERDETECTION, false);
          Bool(Caps.AutoBright, ICAP_AUTOBRIGHT, false);
          Bool(Caps.AutoRotate, ICAP_AUTOMATICROTATE, false);
          Integer Filter = 0;
          Caps.Filter = (GetOneUINT16Capability(C, ICAP_FILTER, Filter) && Filter >= 0 && Filter <= 8)
                            ? static_cast<TLKTWFilter>(Filter + 1)
                            : lktwUndefined;
          Bool(Caps.FeederLoaded, CAP_FEEDERLOADED, false);
          Bool(Caps.PaperDetectable, CAP_PAPERDETECTABLE, false);
          Bool(Caps.DuplexEnabled, CAP_DUPLEXENABLED, false);
          Integer Duplex = 0;
          Caps.DuplexSupported = GetOneUINT16Capability(C, CAP_DUPLEX, Duplex) && Duplex != 0;
          if (!GetUINT16asInteger(C, ICAP_ORIENTATION, Caps.Orientation)) {
            Caps.Orientation.Clear();
            Caps.Orientation.Add(0);
          }
          IntOrEmpty(Caps.StandardSize, ICAP_SUPPORTEDSIZES);
          Bool(Caps.Indicators, CAP_INDICATORS, true);
          if (Caps.AcquireFrameEnabled) {
            TW_IMAGELAYOUT Layout{};
            if (LKTW_DS(C, DG_IMAGE, DAT_IMAGELAYOUT, MSG_GET, &Layout)) {
              Caps.AcquireFrame[0] = LKFix32ToDouble(Layout.Frame.Left);
              Caps.AcquireFrame[1] = LKFix32ToDouble(Layout.Frame.Top);
              Caps.AcquireFrame[2] = LKFix32ToDouble(Layout.Frame.Right);
              Caps.AcquireFrame[3] = LKFix32ToDouble(Layout.Frame.Bottom);
            }
          }
          auto Lists = Caps.Lists();
          for (size_t i = 0; i < Lists.size(); ++i) {
            TLKList* L = Lists[i];
            // The flags live in the list; a plain read clears them, a read
            // after negotiation puts back what the caller had changed.
            TLKListChanges Want = Negotiate ? Kept[i] : TLKListChanges();
            L->SetChanges(Want);
          }
        }
        CloseSource(C);
      }
      CloseSourceManager(C);
    }
    UnloadSourceManager(C, false);
  }
  return Opened;
}

bool LKTW_Acquire(TLKBitmap* Bitmap, bool Multi, TLKMultiCallBack MultiCallBack, TLKTWainParams& Settings,
                  TIOParamsVals* Params, TProgressRec* Progress, TLKTWainShared& Shared, void* Window,
                  bool NativePixelFormat) {
  TLKTWConnection C;
  StartConnection(C, &Settings, Shared, Window);
  C.Modal = true;
  C.HideDialog = !Settings.ShowSourceDialog;
  C.Multi = Multi;
  C.MultiCallBack = std::move(MultiCallBack);
  C.NativePixelFormat = NativePixelFormat;
  C.Params = Params;
  C.Bitmap = Bitmap;
  C.Progress = Progress;
  if (Settings.NoCapabilityNegotiation) Settings.SetFileTransfer(true);
  C.TransferMode = Settings.GetFileTransfer() ? 2 : (Settings.GetBufferedTransfer() ? 1 : 0);
  SetAppIdentity(C);
  LKTW_WriteLog("LKTW_Acquire");

  CreateProxyWindow(C);
  bool Loaded = LoadSourceManager(C);
  bool MgrOpen = Loaded && OpenSourceManager(C);
  bool SrcOpen = MgrOpen && OpenSource(C);
  if (SrcOpen) LKTW_SetCapabilities(C);
  bool Enabled = SrcOpen && EnableSource(C);
  if (Enabled) {
    ModalEventLoop(C);
    DisableSource(C);
  }
  if (SrcOpen) CloseSource(C);
  if (MgrOpen) CloseSourceManager(C);
  if (Loaded) UnloadSourceManager(C, false);
  if (Enabled && C.Transferred && Bitmap && Bitmap->GetPixelFormat() == lk1g && C.Invert1Bit)
    _Negative1BitEx(Bitmap);
  LKTW_WriteLog("  LKTW_Acquire : end");
  return Enabled && C.Transferred;
}

// ---------------------------------------------------------------------------
// Modeless acquisition

TLKTWConnection* LKTWAINAcquireOpen(TLKTWCloseCallBack CloseCallBack, TLKMultiCallBack MultiCallBack,
                                    TLKTWainParams& Settings, TLKTWainShared& Shared, TIOParamsVals* Params,
                                    TWinControl* Parent, bool NativePixelFormat) {
  auto* C = new TLKTWConnection;
  StartConnection(*C, &Settings, Shared, Parent);
  C->Modal = false;
  C->Multi = true;
  C->Progress = nullptr;
  C->HideDialog = !Settings.ShowSourceDialog;
  C->Params = Params;
  C->NativePixelFormat = NativePixelFormat;
  C->TransferMode = Settings.GetFileTransfer() ? 2 : (Settings.GetBufferedTransfer() ? 1 : 0);
  C->MultiCallBack = std::move(MultiCallBack);
  C->CloseCallBack = std::move(CloseCallBack);
  SetAppIdentity(*C);
  C->FailState = 0;
  C->Proxy = new TLKProxyWin(Parent, C);
  C->ParentWindow = C->Proxy;
  const bool Loaded = LoadSourceManager(*C);
  const bool MgrOpen = Loaded && OpenSourceManager(*C);
  const bool SrcOpen = MgrOpen && OpenSource(*C);
  if (SrcOpen) LKTW_SetCapabilities(*C);
  const bool Enabled = SrcOpen && EnableSource(*C);
  if (Enabled) {
    LKTW_WriteLog("LKTWAINAcquireOpen : result=  " + std::to_string(C->AppId.Id));
    C->Proxy->StartPolling();
    return C;
  }
  if (SrcOpen) CloseSource(*C);
  if (MgrOpen) CloseSourceManager(*C);
  if (Loaded) UnloadSourceManager(*C, false);
  // The proxy's destructor frees the record and calls the close callback.
  delete C->Proxy;
  return nullptr;
}

void LKTWAINAcquireClose(TLKTWConnection*& Connection) {
  LKTW_WriteLog("LKTWAINAcquireClose : begin");
  if (Connection && Connection->Proxy) Connection->Proxy->Release();
  Connection = nullptr;
  LKTW_WriteLog("LKTWAINAcquireClose : end");
}

void _LKTWAINAcquireClose(TLKTWConnection*& Connection) {
  LKTW_WriteLog("_LKTWAINAcquireClose : begin");
  if (Connection) {
    TLKTWConnection* C = Connection;
    DisableSource(*C);
    CloseSource(*C);
    CloseSourceManager(*C);
    if (C->State >= 2) UnloadSourceManager(*C, true);
    TLKTWCloseCallBack Done = std::move(C->CloseCallBack);
    delete C;
    Connection = nullptr;
    if (Done) Done();
  }
  LKTW_WriteLog("_LKTWAINAcquireClose : end");
}
