#include "io/lktagshandler.h"

#include <algorithm>

TLKTagsHandler::TLKTagsHandler() {
  FEnv.LittleEndian = true;
  FEnv.Stream = &FStream;
  FEnv.Base = 0;
}

TLKTagsHandler::~TLKTagsHandler() = default;

void TLKTagsHandler::Update() {
  FEnv.Tags.clear();
  const Int64 size = FStream.GetSize();
  if (size < 2) return;
  const Byte* p = static_cast<const Byte*>(FStream.GetMemory());
  const Int64 n = p[0] | (p[1] << 8);
  const Int64 take = std::min(n, (size - 2) / 12);
  FEnv.Tags.resize(static_cast<size_t>(take));
  for (Int64 i = 0; i < take; ++i) {
    const Byte* e = p + 2 + 12 * i;
    TTIFFTAG& t = FEnv.Tags[static_cast<size_t>(i)];
    t.Tag = static_cast<Word>(e[0] | (e[1] << 8));
    t.FieldType = static_cast<Word>(e[2] | (e[3] << 8));
    t.Count = DWORD(e[4]) | (DWORD(e[5]) << 8) | (DWORD(e[6]) << 16) | (DWORD(e[7]) << 24);
    t.Value = DWORD(e[8]) | (DWORD(e[9]) << 8) | (DWORD(e[10]) << 16) | (DWORD(e[11]) << 24);
  }
}

void TLKTagsHandler::Clear() {
  FStream.Clear();
  Update();
}

void TLKTagsHandler::Assign(const TLKTagsHandler& Source) {
  if (&Source == this) return;
  FStream.Clear();
  const Int64 size = Source.FStream.GetSize();
  if (size > 0) FStream.Write(Source.FStream.GetMemory(), static_cast<Integer>(size));
  FStream.SetPosition(0);
  Update();
}

