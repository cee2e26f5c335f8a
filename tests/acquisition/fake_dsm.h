// A scripted source manager with one scripted source: it records every call
// it receives ("DS 1/0x0001/0x0006 cap=0x1101" and the like) and answers
// from a script of capabilities and pictures, so tests can check the order
// of the calls and the results of odd answers.
#pragma once

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "acquisition/imscan.h"

struct TFakeCap {
  TW_UINT16 ConType = TWON_ONEVALUE;
  TW_UINT16 ItemType = TWTY_UINT16;
  std::vector<TW_UINT32> Items;  // one value, enumeration items, or range min/max/step/default/current
  TW_UINT32 Current = 0;         // index of the current item of an enumeration
  bool RefuseSet = false;
  std::vector<TW_UINT32> SetValues;  // every value written (one-value item or current item)
};

struct TFakePicture {
  TW_IMAGEINFO Info{};
  std::vector<uint8_t> Rows;  // BytesPerRow x rows
  TW_UINT32 BytesPerRow = 0;
  TW_UINT32 RowsPerStrip = 2;
  Integer FinalLength = -1;   // what a later image-information answer gives for an unknown length
  bool EndlessSuccess = false;  // answers success with no rows for ever
  TW_UINT32 StripColumns = 0;   // columns claimed per strip (0: the width)
  TW_UINT32 StripXOffset = 0;
  bool FailMidway = false;      // fails after the first strip
};

class TFakeDSM {
 public:
  TFakeDSM() {
    Instance() = this;
    Previous = LKTWSetManagerEntry(&Entry);
  }
  ~TFakeDSM() {
    LKTWSetManagerEntry(Previous);
    Instance() = nullptr;
  }

  std::vector<std::string> Sources{"Fake Scanner", "Other"};
  std::map<TW_UINT16, TFakeCap> Caps;
  std::deque<TFakePicture> Pictures;
  std::vector<std::string> Calls;
  TW_UINT16 Condition = TWCC_SUCCESS;
  bool XferPending = false;
  bool Vanished = false;  // every call to the source fails, as after an unplug
  bool VanishWhenEnabled = false;

  // Calls whose text contains Needle, in order.
  std::vector<std::string> CallsWith(const std::string& Needle) const {
    std::vector<std::string> Out;
    for (const auto& C : Calls)
      if (C.find(Needle) != std::string::npos) Out.push_back(C);
    return Out;
  }

 private:
  static TFakeDSM*& Instance() {
    static TFakeDSM* P = nullptr;
    return P;
  }
  static TW_UINT16 Entry(TW_IDENTITY*, TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
    return Instance()->Call(Dest, DG, DAT, MSG, Data);
  }

  void Record(TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, const std::string& Extra = "") {
    char Buf[96];
    std::snprintf(Buf, sizeof Buf, "%s %u/0x%04X/0x%04X", Dest ? "DS" : "DSM", DG, DAT, MSG);
    Calls.push_back(Buf + Extra);
  }

  static TW_HANDLE Block(const void* P, size_t N) {
    TW_HANDLE H = LKGlobalAlloc(N);
    std::memcpy(LKGlobalLock(H), P, N);
    LKGlobalUnlock(H);
    return H;
  }

  TW_UINT16 CapCall(TW_UINT16 MSG, TW_CAPABILITY& C) {
    auto It = Caps.find(C.Cap);
    if (It == Caps.end()) {
      Condition = TWCC_CAPUNSUPPORTED;
      return TWRC_FAILURE;
    }
    TFakeCap& F = It->second;
    size_t ItemSize = F.ItemType == TWTY_FIX32 ? 4 : 2;
    if (MSG == MSG_GET) {
      C.ConType = F.ConType;
      if (F.ConType == TWON_ONEVALUE) {
        TW_ONEVALUE O{F.ItemType, F.Items.empty() ? 0 : F.Items[0]};
        C.hContainer = Block(&O, sizeof O);
      } else if (F.ConType == TWON_RANGE) {
        TW_RANGE R{F.ItemType, F.Items[0], F.Items[1], F.Items[2], F.Items[3], F.Items[4]};
        C.hContainer = Block(&R, sizeof R);
      } else {
        size_t Head = offsetof(TW_ENUMERATION, ItemList);
        std::vector<uint8_t> B(Head + ItemSize * F.Items.size());
        TW_ENUMERATION E{};
        E.ItemType = F.ItemType;
        E.NumItems = static_cast<TW_UINT32>(F.Items.size());
        E.CurrentIndex = F.Current;
        std::memcpy(B.data(), &E, Head);
        for (size_t i = 0; i < F.Items.size(); ++i) std::memcpy(B.data() + Head + i * ItemSize, &F.Items[i], ItemSize);
        C.hContainer = Block(B.data(), B.size());
      }
      return TWRC_SUCCESS;
    }
    if (MSG == MSG_SET) {
      if (F.RefuseSet) {
        Condition = TWCC_BADVALUE;
        return TWRC_FAILURE;
      }
      auto* P = static_cast<const uint8_t*>(LKGlobalLock(C.hContainer));
      TW_UINT32 V = 0;
      if (C.ConType == TWON_ONEVALUE) {
        TW_ONEVALUE O;
        std::memcpy(&O, P, sizeof O);
        V = O.Item;
        if (F.ConType == TWON_ONEVALUE) F.Items = {V};
        else
          for (size_t i = 0; i < F.Items.size(); ++i)
            if (F.Items[i] == V) F.Current = static_cast<TW_UINT32>(i);
      } else if (C.ConType == TWON_ENUMERATION) {
        TW_ENUMERATION E;
        std::memcpy(&E, P, offsetof(TW_ENUMERATION, ItemList));
        V = E.CurrentIndex;  // the index written
      }
      LKGlobalUnlock(C.hContainer);
      F.SetValues.push_back(V);
      return TWRC_SUCCESS;
    }
    return TWRC_FAILURE;
  }

  TW_UINT16 MemXfer(TW_IMAGEMEMXFER& M) {
    if (Pictures.empty()) return TWRC_FAILURE;
    TFakePicture& P = Pictures.front();
    if (P.EndlessSuccess) {
      M.Rows = 0;
      M.BytesWritten = 0;
      return TWRC_SUCCESS;
    }
    TW_UINT32 Total = P.BytesPerRow ? static_cast<TW_UINT32>(P.Rows.size() / P.BytesPerRow) : 0;
    TW_UINT32 Rows = std::min(P.RowsPerStrip, Total - Sent);
    uint8_t* Dest = static_cast<uint8_t*>((M.Memory.Flags & TWMF_HANDLE) ? LKGlobalLock(M.Memory.TheMem) : M.Memory.TheMem);
    Rows = std::min<TW_UINT32>(Rows, M.Memory.Length / P.BytesPerRow);
    std::memcpy(Dest, P.Rows.data() + size_t(Sent) * P.BytesPerRow, size_t(Rows) * P.BytesPerRow);
    if (M.Memory.Flags & TWMF_HANDLE) LKGlobalUnlock(M.Memory.TheMem);
    M.Compression = 0;
    M.BytesPerRow = P.BytesPerRow;
    M.Columns = P.StripColumns ? P.StripColumns : static_cast<TW_UINT32>(std::abs(P.Info.ImageWidth));
    M.Rows = Rows;
    M.XOffset = P.StripXOffset;
    M.YOffset = Sent + YBase;
    M.BytesWritten = Rows * P.BytesPerRow;
    Sent += Rows;
    if (P.FailMidway && Sent < Total) {
      P.FailMidway = false;
      FailNext = true;
      return TWRC_SUCCESS;
    }
    if (FailNext) {
      Condition = TWCC_OPERATIONERROR;
      return TWRC_FAILURE;
    }
    if (Sent >= Total) {
      if (P.Info.ImageLength < 0) P.Info.ImageLength = P.FinalLength;
      return TWRC_XFERDONE;
    }
    return TWRC_SUCCESS;
  }

  TW_UINT16 Call(TW_IDENTITY* Dest, TW_UINT32 DG, TW_UINT16 DAT, TW_UINT16 MSG, TW_MEMREF Data) {
    if (Dest && Vanished && DAT != DAT_STATUS) {
      Record(Dest, DG, DAT, MSG);
      Condition = TWCC_BUMMER;
      return TWRC_FAILURE;
    }
    if (DAT == DAT_EVENT) {
      auto* E = static_cast<TW_EVENT*>(Data);
      E->TWMessage = MSG_NULL;
      if (XferPending) {
        XferPending = false;
        Record(Dest, DG, DAT, MSG);
        E->TWMessage = MSG_XFERREADY;
        return TWRC_DSEVENT;
      }
      return TWRC_NOTDSEVENT;
    }
    if (DAT == DAT_STATUS) {
      static_cast<TW_STATUS*>(Data)->ConditionCode = Condition;
      return TWRC_SUCCESS;
    }
    if (DAT == DAT_CAPABILITY) {
      char Extra[24];
      std::snprintf(Extra, sizeof Extra, " cap=0x%04X", static_cast<TW_CAPABILITY*>(Data)->Cap);
      Record(Dest, DG, DAT, MSG, Extra);
      return CapCall(MSG, *static_cast<TW_CAPABILITY*>(Data));
    }
    Record(Dest, DG, DAT, MSG);
    if (!Dest) {
      if (DAT == DAT_IDENTITY && (MSG == MSG_GETFIRST || MSG == MSG_GETNEXT)) {
        if (MSG == MSG_GETFIRST) Next = 0;
        if (Next >= Sources.size()) return TWRC_ENDOFLIST;
        auto* Id = static_cast<TW_IDENTITY*>(Data);
        Id->Id = static_cast<TW_UINT32>(Next + 1);
        std::strncpy(Id->ProductName, Sources[Next++].c_str(), 33);
        return TWRC_SUCCESS;
      }
      if (DAT == DAT_IDENTITY && MSG == MSG_OPENDS) {
        static_cast<TW_IDENTITY*>(Data)->Id = 1;
        return TWRC_SUCCESS;
      }
      return TWRC_SUCCESS;
    }
    switch (DAT) {
      case DAT_USERINTERFACE:
        if (MSG == MSG_ENABLEDS) {
          XferPending = true;
          Vanished = VanishWhenEnabled;
        }
        return TWRC_SUCCESS;
      case DAT_IMAGEINFO:
        // After its end of transfer a picture's information stays readable.
        if (Pictures.empty() && !HaveLast) return TWRC_FAILURE;
        *static_cast<TW_IMAGEINFO*>(Data) = Pictures.empty() ? LastInfo : Pictures.front().Info;
        return TWRC_SUCCESS;
      case DAT_SETUPMEMXFER: {
        auto* S = static_cast<TW_SETUPMEMXFER*>(Data);
        S->Preferred = S->MinBufSize = S->MaxBufSize = 4096;
        return TWRC_SUCCESS;
      }
      case DAT_IMAGEMEMXFER:
        return MemXfer(*static_cast<TW_IMAGEMEMXFER*>(Data));
      case DAT_PENDINGXFERS: {
        auto* P = static_cast<TW_PENDINGXFERS*>(Data);
        if (MSG == MSG_ENDXFER && !Pictures.empty()) {
          LastInfo = Pictures.front().Info;
          HaveLast = true;
          YBase += Sent;
          Pictures.pop_front();
          Sent = 0;
          FailNext = false;
        }
        if (MSG == MSG_RESET) Pictures.clear();
        P->Count = static_cast<TW_UINT16>(Pictures.size());
        return TWRC_SUCCESS;
      }
      default:
        return TWRC_SUCCESS;
    }
  }

  TLKDSMEntry Previous = nullptr;
  size_t Next = 0;
  TW_UINT32 Sent = 0;
  TW_UINT32 YBase = 0;  // y offsets keep growing from page to page, as some feeders send them
  bool FailNext = false;
  TW_IMAGEINFO LastInfo{};
  bool HaveLast = false;
};
