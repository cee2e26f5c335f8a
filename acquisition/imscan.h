// Scanner connections: the source manager's states 1 to 7, the modal
// acquisition, the image transfers (native bitmap, buffered strips, file)
// and the negotiation of the settings' capabilities.
//
// Where the manager comes from: the process-wide manager entry
// (LKTWSetManagerEntry). By default it is the library's own manager, whose
// sources are the scanners SANE finds (acquisition/lktwsane.h); a test
// installs a scripted one, and a null entry stands for a machine without a
// manager (every operation then gives its empty or false result).
//
// Threads: everything runs on the main thread. The modal loop polls the
// source with the event message and handles the application's events in
// between; a source's "transfer ready" starts the transfer from there.
#pragma once

#include <functional>
#include <vector>

#include "acquisition/lktwainparams.h"
#include "core/hylkdefs.h"

class TLKBitmap;
class TIOParamsVals;
class TLKProxyWin;
class TWinControl;

/// Called for each picture of a multi-picture acquisition; the bitmap is
/// freed when it returns; the callback may replace the parameters object
/// (null: nothing is written for that picture).
using TLKMultiCallBack = std::function<void(TLKBitmap* Bitmap, TObject*& IOParams)>;
/// Called once after a modeless connection has been closed and freed.
using TLKTWCloseCallBack = std::function<void()>;

/// Installs the source manager entry that connections load (null: no
/// manager). Returns the previous one.
TLKDSMEntry LKTWSetManagerEntry(TLKDSMEntry Entry);
TLKDSMEntry LKTWGetManagerEntry();

/// One connection to the manager and a source.
struct TLKTWConnection {
  Integer State = 1;
  void* Module = nullptr;
  TLKDSMEntry Entry = nullptr;
  void* ParentWindow = nullptr;
  TW_UINT16 ReturnCode = 0;
  TW_IDENTITY AppId{};
  TW_IDENTITY SourceId{};
  TW_USERINTERFACE UI{};
  Integer FailState = 0;
  TW_UINT16 FailReturnCode = 0;
  TW_UINT16 FailConditionCode = 0;
  bool HideDialog = false;
  TW_PENDINGXFERS Pending{};
  bool Multi = false;
  TLKMultiCallBack MultiCallBack;
  bool Done = false;
  TLKTWainParams* Settings = nullptr;
  TIOParamsVals* Params = nullptr;
  bool NativePixelFormat = false;
  Integer TransferMode = 0;  ///< 0 native, 1 buffered memory, 2 file
  bool Transferred = false;
  bool Stop = false;
  TLKBitmap* Bitmap = nullptr;
  TProgressRec* Progress = nullptr;
  TLKTWainShared* Shared = nullptr;
  void* OwnerWindow = nullptr;
  bool Invert1Bit = false;
  bool Modal = true;
  bool InTransfer = false;
  bool UndefinedSize = false;
  Integer PollFailures = 0;  ///< failed event polls in a row
  TLKTWCloseCallBack CloseCallBack;  ///< modeless: after the connection is freed
  TLKProxyWin* Proxy = nullptr;      ///< modeless: the control that polls the source
};

// ---- the public operations

/// Fills List with one record per source that has a product name, in the
/// manager's order.
void LKTW_GetSourceList(std::vector<TW_IDENTITY>& List, TLKTWainShared& Shared, void* Window);
/// Product name of the manager's default source ("" when none).
String LKTW_GetDefaultSource(TLKTWainShared& Shared, void* Window);
/// The manager's selection; Name gets the chosen product name ("" on cancel).
bool LKTW_SelectImageSource(String& Name, TLKTWainShared& Shared, void* Window);
/// Reads (after negotiating when Negotiate) the selected source's values.
bool LKTW_GetCapabilities(TLKTWainParams& Settings, TLKTWSourceCaps& Caps, bool Negotiate,
                          TLKTWainShared& Shared, void* Window);
/// The modal acquisition; true when at least one picture arrived.
bool LKTW_Acquire(TLKBitmap* Bitmap, bool Multi, TLKMultiCallBack MultiCallBack, TLKTWainParams& Settings,
                  TIOParamsVals* Params, TProgressRec* Progress, TLKTWainShared& Shared, void* Window,
                  bool NativePixelFormat);
/// Starts a modeless acquisition: the source stays enabled, a hidden
/// control owned by Parent (a TLKProxyWin) polls it on the main thread and
/// hands every picture to MultiCallBack, until LKTWAINAcquireClose, the
/// source's close request, or the destruction of Parent. Returns the
/// connection, or null (CloseCallBack then has run once) when a step fails.
TLKTWConnection* LKTWAINAcquireOpen(TLKTWCloseCallBack CloseCallBack, TLKMultiCallBack MultiCallBack,
                                    TLKTWainParams& Settings, TLKTWainShared& Shared, TIOParamsVals* Params,
                                    TWinControl* Parent, bool NativePixelFormat);
/// Ends a modeless acquisition and clears Connection. Called from inside
/// the acquisition's own callbacks, the end waits until they returned.
void LKTWAINAcquireClose(TLKTWConnection*& Connection);
/// The closing itself, run by the proxy control's destructor: disables and
/// closes the source, closes and unloads the manager, frees the record,
/// calls the close callback and clears Connection.
void _LKTWAINAcquireClose(TLKTWConnection*& Connection);
/// Offers the source its chance to speak (one event poll) and runs the
/// transfer it announces. True when the source answered an event.
bool LKTW_MessageHook(TLKTWConnection& C);

/// Destroys the kept proxy window and unloads the kept manager.
void LKTW_FreeResources(TLKTWainShared& Shared, void* Window);

// ---- steps (shared with the negotiation and the transfers)

bool LKTW_Mgr(TLKTWConnection& C, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data);
bool LKTW_DS(TLKTWConnection& C, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data);
void LKTW_AbortAllPendingXfers(TLKTWConnection& C);
/// Condition code of the last failure: asked of the manager (state 3) or the
/// source (state 4 and above); TWCC_SEQERROR below 3, TWCC_BUMMER when the
/// request fails.
TW_UINT16 LKTW_GetConditionCode(TLKTWConnection& C);
/// Text of a condition code.
String LKTW_ConditionText(Cardinal Code);
/// Four upper-case hexadecimal digits of the low 16 bits of V (log texts).
String LKTWHex4(Cardinal V);
/// Writes one line to the log when a log name is set; failures of the log
/// are ignored (a full disk must not end a scan).
void LKTW_WriteLog(const String& Message);

// ---- transfers
void LKTW_XferReady(TLKTWConnection& C);
void LKTW_XferReadyMulti(TLKTWConnection& C);

// ---- negotiation
/// Negotiates the settings with the open source (always true).
bool LKTW_SetCapabilities(TLKTWConnection& C);
/// The text of a string capability, bounded by its block ("" when absent).
bool LKTW_GetStringCapability(TLKTWConnection& C, TW_UINT16 Cap, String& Text);
/// Readers into value lists and single values; each false on failure.
bool GetUINT16asInteger(TLKTWConnection& C, TW_UINT16 Cap, TLKIntegerList& List);
bool GetFix32asDouble(TLKTWConnection& C, TW_UINT16 Cap, TLKDoubleList& List);
bool GetOneFIX32asDouble(TLKTWConnection& C, TW_UINT16 Cap, double& Value);
bool GetOneBoolCapability(TLKTWConnection& C, TW_UINT16 Cap, bool& Value);
bool GetOneUINT16Capability(TLKTWConnection& C, TW_UINT16 Cap, Integer& Value);
/// Writers; each reads the capability first and writes nothing when it
/// cannot be read.
bool SetOnBoolCapability(TLKTWConnection& C, TW_UINT16 Cap, bool Value);
bool SetOneUINT16Capability(TLKTWConnection& C, TW_UINT16 Cap, Integer Value);
bool SetIntegerAsUINT16Capability(TLKTWConnection& C, TW_UINT16 Cap, TLKIntegerList& List);
bool SetDoubleAsFIX32Capability(TLKTWConnection& C, TW_UINT16 Cap, TLKDoubleList& List);
