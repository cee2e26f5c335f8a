#include "app/IcoList.h"

#include <algorithm>
#include <string>

TIconList::TIconList() = default;
TIconList::~TIconList() = default;

void TIconList::Check(Integer Index, bool AllowCount) const {
  if (Index < 0 || Index > GetCount() || (Index == GetCount() && !AllowCount))
    throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

std::unique_ptr<TIcon> TIconList::Copy(TIcon* Icon) {
  auto c = std::make_unique<TIcon>();
  if (Icon) c->Assign(Icon);
  c->OnChange = [this](TObject*) { Changed(); };
  return c;
}

void TIconList::Changed() {
  if (FUpdateCount > 0) {
    FPending = true;
    return;
  }
  FPending = false;
  if (OnChange) OnChange(this);
}

TIcon* TIconList::GetIcon(Integer Index) const {
  Check(Index, false);
  return FList[size_t(Index)].get();
}

Integer TIconList::Add(TIcon* Icon) {
  FList.push_back(Copy(Icon));
  Changed();
  return GetCount() - 1;
}

void TIconList::Insert(Integer Index, TIcon* Icon) {
  Check(Index, true);
  FList.insert(FList.begin() + Index, Copy(Icon));
  Changed();
}

void TIconList::Put(Integer Index, TIcon* Icon) {
  if (Index == GetCount()) {
    Add(Icon);
    return;
  }
  Check(Index, false);
  FList[size_t(Index)] = Copy(Icon);
  Changed();
}

void TIconList::Delete(Integer Index) {
  Check(Index, false);
  FList.erase(FList.begin() + Index);
  Changed();
}

void TIconList::Exchange(Integer Index1, Integer Index2) {
  Check(Index1, false);
  Check(Index2, false);
  std::swap(FList[size_t(Index1)], FList[size_t(Index2)]);
  Changed();
}

void TIconList::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  Check(CurIndex, false);
  Check(NewIndex, false);
  auto icon = std::move(FList[size_t(CurIndex)]);
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, std::move(icon));
  Changed();
}

Integer TIconList::IndexOf(const TIcon* Icon) const {
  for (size_t i = 0; i < FList.size(); ++i)
    if (FList[i].get() == Icon) return Integer(i);
  return -1;
}

void TIconList::Clear() {
  FList.clear();
  Changed();
}

void TIconList::BeginUpdate() { ++FUpdateCount; }

void TIconList::EndUpdate() {
  if (FUpdateCount > 0 && --FUpdateCount == 0 && FPending) Changed();
}

void TIconList::Assign(TPersistent* Source) {
  if (auto* l = dynamic_cast<TIconList*>(Source)) {
    if (l == this) return;
    BeginUpdate();
    FList.clear();
    for (const auto& i : l->FList) FList.push_back(Copy(i.get()));
    Changed();
    EndUpdate();
    return;
  }
  if (auto* i = dynamic_cast<TIcon*>(Source)) {
    BeginUpdate();
    FList.clear();
    FList.push_back(Copy(i));
    Changed();
    EndUpdate();
    return;
  }
  TPersistent::Assign(Source);
}

void TIconList::ReadData(TStream* Stream) {
  Integer count = 0;
  Stream->ReadBuffer(&count, 4);
  // Every icon takes at least its size field.
  const Int64 left = Stream->GetSize() - Stream->GetPosition();
  if (count < 0 || Int64(count) * 4 > left) throw EReadError("Stream read error");
  BeginUpdate();
  try {
    FList.clear();
    Changed();
    for (Integer i = 0; i < count; ++i) {
      Integer size = 0;
      Stream->ReadBuffer(&size, 4);
      auto icon = Copy(nullptr);
      if (size > 0) {
        if (Int64(size) > Stream->GetSize() - Stream->GetPosition()) throw EReadError("Stream read error");
        TMemoryStream m;
        m.SetSize(size);
        Stream->ReadBuffer(m.Memory(), size);
        m.SetPosition(0);
        icon->LoadFromStream(&m);  // a damaged icon is freed and its error passes on
      } else if (size < 0) {
        throw EReadError("Stream read error");
      }
      FList.push_back(std::move(icon));
    }
  } catch (...) {
    EndUpdate();
    throw;
  }
  EndUpdate();
}

void TIconList::WriteData(TStream* Stream) {
  const Integer count = GetCount();
  Stream->WriteBuffer(&count, 4);
  for (const auto& i : FList) {
    const Integer size = Integer(i->GetData().size());
    Stream->WriteBuffer(&size, 4);
    if (size > 0) Stream->WriteBuffer(i->GetData().data(), size);
  }
}
