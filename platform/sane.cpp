// Scanners through SANE.
#include "platform/sane.h"

#include <sane/sane.h>
#include <sane/saneopts.h>

#include <cmath>
#include <cstring>
#include <mutex>

namespace {

bool SaneStarted() {
  static std::once_flag Once;
  static bool Ok = false;
  std::call_once(Once, [] {
    SANE_Int Version = 0;
    Ok = sane_init(&Version, nullptr) == SANE_STATUS_GOOD;
  });
  return Ok;
}

TSaneRead FromStatus(SANE_Status S) {
  switch (S) {
    case SANE_STATUS_GOOD: return TSaneRead::Data;
    case SANE_STATUS_EOF: return TSaneRead::EndOfFrame;
    case SANE_STATUS_NO_DOCS: return TSaneRead::NoDocuments;
    case SANE_STATUS_JAMMED: return TSaneRead::Jammed;
    case SANE_STATUS_CANCELLED: return TSaneRead::Cancelled;
    default: return TSaneRead::Failed;
  }
}

}  // namespace

std::vector<TSaneDeviceInfo> SaneListDevices() {
  std::vector<TSaneDeviceInfo> List;
  if (!SaneStarted()) return List;
  const SANE_Device** Devices = nullptr;
  if (sane_get_devices(&Devices, SANE_TRUE) != SANE_STATUS_GOOD || !Devices) return List;
  for (int i = 0; Devices[i]; ++i) {
    auto S = [](const char* P) { return String(P ? P : ""); };
    List.push_back({S(Devices[i]->name), S(Devices[i]->vendor), S(Devices[i]->model), S(Devices[i]->type)});
  }
  return List;
}

std::unique_ptr<TSaneDevice> TSaneDevice::Open(const String& Name, String& Error) {
  if (!SaneStarted()) {
    Error = "SANE could not be started";
    return nullptr;
  }
  SANE_Handle H = nullptr;
  SANE_Status S = sane_open(Name.c_str(), &H);
  if (S != SANE_STATUS_GOOD || !H) {
    Error = sane_strstatus(S);
    return nullptr;
  }
  return std::unique_ptr<TSaneDevice>(new TSaneDevice(H));
}

TSaneDevice::~TSaneDevice() {
  if (FHandle) {
    sane_cancel(FHandle);
    sane_close(FHandle);
  }
}

Integer TSaneDevice::FindOption(const String& Name) const {
  SANE_Int Count = 0;
  if (sane_control_option(FHandle, 0, SANE_ACTION_GET_VALUE, &Count, nullptr) != SANE_STATUS_GOOD) return -1;
  for (SANE_Int i = 1; i < Count; ++i) {
    const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
    if (D && D->name && Name == D->name) return i;
  }
  return -1;
}

bool TSaneDevice::HasOption(const String& Name) const {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
  return D && SANE_OPTION_IS_ACTIVE(D->cap) && SANE_OPTION_IS_SETTABLE(D->cap);
}

bool TSaneDevice::GetConstraint(const String& Name, TSaneConstraint& Out) const {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
  if (!D) return false;
  Out = TSaneConstraint{};
  auto Num = [&](SANE_Word W) { return D->type == SANE_TYPE_FIXED ? SANE_UNFIX(W) : static_cast<double>(W); };
  switch (D->constraint_type) {
    case SANE_CONSTRAINT_RANGE:
      Out.IsRange = true;
      Out.Min = Num(D->constraint.range->min);
      Out.Max = Num(D->constraint.range->max);
      Out.Quant = Num(D->constraint.range->quant);
      return true;
    case SANE_CONSTRAINT_WORD_LIST:
      for (SANE_Word k = 1; k <= D->constraint.word_list[0]; ++k) Out.Values.push_back(Num(D->constraint.word_list[k]));
      return true;
    case SANE_CONSTRAINT_STRING_LIST:
      for (int k = 0; D->constraint.string_list[k]; ++k) Out.Strings.push_back(D->constraint.string_list[k]);
      return true;
    default:
      return false;
  }
}

bool TSaneDevice::GetNumber(const String& Name, double& Value) const {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
  if (!D || (D->type != SANE_TYPE_INT && D->type != SANE_TYPE_FIXED && D->type != SANE_TYPE_BOOL) ||
      D->size < static_cast<SANE_Int>(sizeof(SANE_Word)))
    return false;
  std::vector<SANE_Word> W(D->size / sizeof(SANE_Word) + 1);
  if (sane_control_option(FHandle, i, SANE_ACTION_GET_VALUE, W.data(), nullptr) != SANE_STATUS_GOOD) return false;
  Value = D->type == SANE_TYPE_FIXED ? SANE_UNFIX(W[0]) : static_cast<double>(W[0]);
  return true;
}

bool TSaneDevice::GetString(const String& Name, String& Value) const {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
  if (!D || D->type != SANE_TYPE_STRING || D->size <= 0) return false;
  std::vector<char> Buf(D->size + 1, 0);
  if (sane_control_option(FHandle, i, SANE_ACTION_GET_VALUE, Buf.data(), nullptr) != SANE_STATUS_GOOD) return false;
  Value = Buf.data();
  return true;
}

bool TSaneDevice::SetNumber(const String& Name, double Value) {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
  if (!D || !SANE_OPTION_IS_SETTABLE(D->cap)) return false;
  SANE_Word W;
  if (D->type == SANE_TYPE_FIXED) W = SANE_FIX(Value);
  else if (D->type == SANE_TYPE_INT) W = static_cast<SANE_Word>(std::lround(Value));
  else return false;
  return sane_control_option(FHandle, i, SANE_ACTION_SET_VALUE, &W, nullptr) == SANE_STATUS_GOOD;
}

bool TSaneDevice::SetString(const String& Name, const String& Value) {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  const SANE_Option_Descriptor* D = sane_get_option_descriptor(FHandle, i);
  if (!D || D->type != SANE_TYPE_STRING || !SANE_OPTION_IS_SETTABLE(D->cap)) return false;
  std::vector<char> Buf(std::max<size_t>(D->size, Value.size() + 1), 0);
  std::memcpy(Buf.data(), Value.c_str(), Value.size());
  return sane_control_option(FHandle, i, SANE_ACTION_SET_VALUE, Buf.data(), nullptr) == SANE_STATUS_GOOD;
}

bool TSaneDevice::SetBool(const String& Name, bool Value) {
  Integer i = FindOption(Name);
  if (i < 0) return false;
  SANE_Bool B = Value ? SANE_TRUE : SANE_FALSE;
  return sane_control_option(FHandle, i, SANE_ACTION_SET_VALUE, &B, nullptr) == SANE_STATUS_GOOD;
}

TSaneRead TSaneDevice::Start(String& Error) {
  SANE_Status S = sane_start(FHandle);
  if (S != SANE_STATUS_GOOD) Error = sane_strstatus(S);
  return FromStatus(S);
}

bool TSaneDevice::GetParameters(TSaneParameters& Out) const {
  SANE_Parameters P{};
  if (sane_get_parameters(FHandle, &P) != SANE_STATUS_GOOD) return false;
  Out.Format = P.format;
  Out.LastFrame = P.last_frame;
  Out.BytesPerLine = P.bytes_per_line;
  Out.PixelsPerLine = P.pixels_per_line;
  Out.Lines = P.lines;
  Out.Depth = P.depth;
  return true;
}

TSaneRead TSaneDevice::Read(Byte* Buffer, Integer Max, Integer& Got, String& Error) {
  SANE_Int Len = 0;
  SANE_Status S = sane_read(FHandle, Buffer, Max, &Len);
  Got = (S == SANE_STATUS_GOOD) ? std::max<SANE_Int>(0, std::min<SANE_Int>(Len, Max)) : 0;
  if (S != SANE_STATUS_GOOD && S != SANE_STATUS_EOF) Error = sane_strstatus(S);
  return FromStatus(S);
}

void TSaneDevice::Cancel() { sane_cancel(FHandle); }
