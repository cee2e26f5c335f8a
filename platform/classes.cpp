#include "platform/classes.h"

#include <cxxabi.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <typeinfo>

#include "platform/atomicfile.h"

namespace {

// Stable bottom-up merge sort over indexes into a vector. Unlike std::sort it
// never leaves the range, whatever the comparison answers.
template <typename T, typename Less>
void MergeSort(std::vector<T>& v, Less less) {
  const std::size_t n = v.size();
  if (n < 2) return;
  std::vector<T> tmp(n);
  for (std::size_t width = 1; width < n; width *= 2) {
    for (std::size_t lo = 0; lo < n; lo += 2 * width) {
      std::size_t mid = std::min(lo + width, n), hi = std::min(lo + 2 * width, n);
      std::size_t i = lo, j = mid, k = lo;
      while (i < mid && j < hi) tmp[k++] = less(v[j], v[i]) ? std::move(v[j++]) : std::move(v[i++]);
      while (i < mid) tmp[k++] = std::move(v[i++]);
      while (j < hi) tmp[k++] = std::move(v[j++]);
    }
    v.swap(tmp);
  }
}

int AsciiCompareText(const String& a, const String& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[i]);
    if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

String SystemErrorText(int err) { return std::strerror(err); }

}  // namespace

String ClassNameOf(const TObject& obj) {
  const char* mangled = typeid(obj).name();
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> demangled(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && demangled ? String(demangled.get()) : String(mangled);
}

// --- TPersistent -----------------------------------------------------------

void TPersistent::Assign(TPersistent* Source) {
  if (Source != nullptr)
    Source->AssignTo(this);
  else
    throw EConvertError("Cannot assign a nil to a " + ClassNameOf(*this));
}

void TPersistent::AssignTo(TPersistent* Dest) {
  throw EConvertError("Cannot assign a " + ClassNameOf(*this) + " to a " +
                      (Dest ? ClassNameOf(*Dest) : String("nil")));
}

// --- TComponent ------------------------------------------------------------

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

TComponent::~TComponent() {
  BeginDestroy();
  if (FOwner != nullptr) FOwner->RemoveComponent(this);
}

void TComponent::BeginDestroy() {
  Destroying();
  // Tell every partner, last first. Each is unlinked before it is told, so an
  // override that forgets to call the base cannot make this loop forever.
  while (!FFreeNotifies.empty()) {
    TComponent* partner = FFreeNotifies.back();
    FFreeNotifies.pop_back();
    partner->RemoveNotification(this);
    partner->Notification(this, opRemove);
  }
  DestroyComponents();
}

TComponent* TComponent::GetComponent(Integer Index) const {
  if (Index < 0 || Index >= GetComponentCount()) ListIndexError(Index);
  return FComponents[static_cast<std::size_t>(Index)];
}

Integer TComponent::GetComponentIndex() const {
  if (FOwner == nullptr) return -1;
  auto& list = FOwner->FComponents;
  auto it = std::find(list.begin(), list.end(), this);
  return it == list.end() ? -1 : static_cast<Integer>(it - list.begin());
}

void TComponent::InsertComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner == this) return;
  if (AComponent->FOwner != nullptr) AComponent->FOwner->RemoveComponent(AComponent);
  FComponents.push_back(AComponent);
  AComponent->FOwner = this;
  if (FComponentState.Contains(csDesigning)) AComponent->SetDesigning(true);
  Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent->FOwner != this) return;
  Notification(AComponent, opRemove);
  auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
  if (it != FComponents.end()) FComponents.erase(it);
  AComponent->FOwner = nullptr;
}

void TComponent::DestroyComponents() {
  while (!FComponents.empty()) {
    TComponent* instance = FComponents.back();
    // A component that takes part in free notification may be referenced by
    // its siblings: remove it through RemoveComponent so they are told.
    if (instance->FComponentState.Contains(csFreeNotification)) {
      RemoveComponent(instance);
    } else {
      FComponents.pop_back();
      instance->FOwner = nullptr;
    }
    instance->Destroying();
    delete instance;
  }
}

void TComponent::FreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr || AComponent == this) return;
  if (FOwner == nullptr || AComponent->FOwner != FOwner) {
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end()) {
      FFreeNotifies.push_back(AComponent);
      AComponent->FreeNotification(this);
    }
  }
  FComponentState.Include(csFreeNotification);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent) {
  if (AComponent == nullptr) return;
  RemoveNotification(AComponent);
  AComponent->RemoveNotification(this);
}

void TComponent::RemoveNotification(TComponent* AComponent) {
  auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
  if (it != FFreeNotifies.end()) FFreeNotifies.erase(it);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation) {
  if (Operation == opRemove && AComponent != nullptr) RemoveFreeNotification(AComponent);
  // Walk down from the end; a handler may remove components meanwhile.
  std::size_t i = FComponents.size();
  while (i > 0) {
    --i;
    if (i >= FComponents.size()) {
      i = FComponents.size();
      continue;
    }
    FComponents[i]->Notification(AComponent, Operation);
  }
}

void TComponent::Destroying() {
  if (FComponentState.Contains(csDestroying)) return;
  FComponentState.Include(csDestroying);
  for (TComponent* c : FComponents) c->Destroying();
}

void TComponent::SetDesigning(bool Value, bool SetChildren) {
  if (Value)
    FComponentState.Include(csDesigning);
  else
    FComponentState.Exclude(csDesigning);
  if (SetChildren)
    for (TComponent* c : FComponents) c->SetDesigning(Value, true);
}

// --- TList -----------------------------------------------------------------

void ListIndexError(Integer Index) {
  throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}

void TList::CheckIndex(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
}

Integer TList::Add(void* Item) {
  FList.push_back(Item);
  return GetCount() - 1;
}

void TList::Insert(Integer Index, void* Item) {
  if (Index < 0 || Index > GetCount()) ListIndexError(Index);
  FList.insert(FList.begin() + Index, Item);
}

void TList::Delete(Integer Index) {
  CheckIndex(Index);
  FList.erase(FList.begin() + Index);
}

Integer TList::Remove(void* Item) {
  Integer i = IndexOf(Item);
  if (i >= 0) Delete(i);
  return i;
}

Integer TList::IndexOf(void* Item) const {
  auto it = std::find(FList.begin(), FList.end(), Item);
  return it == FList.end() ? -1 : static_cast<Integer>(it - FList.begin());
}

void* TList::Get(Integer Index) const {
  CheckIndex(Index);
  return FList[static_cast<std::size_t>(Index)];
}

void TList::Put(Integer Index, void* Item) {
  CheckIndex(Index);
  FList[static_cast<std::size_t>(Index)] = Item;
}

void TList::SetCount(Integer NewCount) {
  if (NewCount < 0) throw EListError("List count out of bounds (" + std::to_string(NewCount) + ")");
  FList.resize(static_cast<std::size_t>(NewCount), nullptr);
}

void TList::SetCapacity(Integer NewCapacity) {
  if (NewCapacity < GetCount())
    throw EListError("List capacity out of bounds (" + std::to_string(NewCapacity) + ")");
  FList.reserve(static_cast<std::size_t>(NewCapacity));
}

void TList::Clear() {
  FList.clear();
  FList.shrink_to_fit();
}

void TList::Exchange(Integer Index1, Integer Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FList[static_cast<std::size_t>(Index1)], FList[static_cast<std::size_t>(Index2)]);
}

void TList::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  void* item = FList[static_cast<std::size_t>(CurIndex)];
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, item);
}

void TList::Sort(const TListSortCompare& Compare) {
  MergeSort(FList, [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Pack() { FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end()); }

// --- TStrings --------------------------------------------------------------

TObject* TStrings::GetObject(Integer) const { return nullptr; }

void TStrings::PutObject(Integer, TObject*) {}

void TStrings::Put(Integer Index, const String& S) {
  TObject* obj = GetObject(Index);
  Delete(Index);
  InsertObject(Index, S, obj);
}

void TStrings::InsertObject(Integer Index, const String& S, TObject* AObject) {
  Insert(Index, S);
  PutObject(Index, AObject);
}

Integer TStrings::Add(const String& S) {
  Integer i = GetCount();
  Insert(i, S);
  return i;
}

Integer TStrings::AddObject(const String& S, TObject* AObject) {
  Integer i = Add(S);
  PutObject(i, AObject);
  return i;
}

void TStrings::AddStrings(const TStrings& Strings) {
  for (Integer i = 0; i < Strings.GetCount(); ++i) AddObject(Strings.Get(i), Strings.GetObject(i));
}

int TStrings::CompareStrings(const String& S1, const String& S2) const {
  return AsciiCompareText(S1, S2);
}

Integer TStrings::IndexOf(const String& S) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (CompareStrings(Get(i), S) == 0) return i;
  return -1;
}

Integer TStrings::IndexOfObject(const TObject* AObject) const {
  for (Integer i = 0; i < GetCount(); ++i)
    if (GetObject(i) == AObject) return i;
  return -1;
}

Integer TStrings::IndexOfName(const String& Name) const {
  for (Integer i = 0; i < GetCount(); ++i) {
    String s = Get(i);
    std::size_t eq = s.find('=');
    if (eq != String::npos && CompareStrings(s.substr(0, eq), Name) == 0) return i;
  }
  return -1;
}

void TStrings::Exchange(Integer Index1, Integer Index2) {
  String s1 = Get(Index1), s2 = Get(Index2);
  TObject* o1 = GetObject(Index1);
  TObject* o2 = GetObject(Index2);
  Put(Index1, s2);
  PutObject(Index1, o2);
  Put(Index2, s1);
  PutObject(Index2, o1);
}

void TStrings::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  String s = Get(CurIndex);
  TObject* obj = GetObject(CurIndex);
  if (NewIndex < 0 || NewIndex >= GetCount()) ListIndexError(NewIndex);
  // Detach the object first so an owning list does not free it on Delete.
  PutObject(CurIndex, nullptr);
  Delete(CurIndex);
  InsertObject(NewIndex, s, obj);
}

String TStrings::GetText() const {
  String r;
  for (Integer i = 0; i < GetCount(); ++i) {
    r += Get(i);
    r += '\n';
  }
  return r;
}

void TStrings::SetText(const String& Value) {
  Clear();
  std::size_t p = 0, n = Value.size();
  while (p < n) {
    std::size_t start = p;
    while (p < n && Value[p] != '\n' && Value[p] != '\r') ++p;
    Add(Value.substr(start, p - start));
    if (p < n && Value[p] == '\r') ++p;
    if (p < n && Value[p] == '\n') ++p;
  }
}

String TStrings::GetCommaText() const {
  const Integer count = GetCount();
  if (count == 1 && Get(0).empty()) return "\"\"";
  String r;
  for (Integer i = 0; i < count; ++i) {
    String s = Get(i);
    bool quote = std::any_of(s.begin(), s.end(), [](char c) {
      return static_cast<unsigned char>(c) <= ' ' || c == '"' || c == ',';
    });
    if (quote) {
      String q = "\"";
      for (char c : s) {
        if (c == '"') q += '"';
        q += c;
      }
      q += '"';
      s = q;
    }
    if (i > 0) r += ',';
    r += s;
  }
  return r;
}

void TStrings::SetCommaText(const String& Value) {
  Clear();
  const std::size_t n = Value.size();
  auto blank = [&](std::size_t i) { return i < n && static_cast<unsigned char>(Value[i]) <= ' '; };
  std::size_t p = 0;
  while (blank(p)) ++p;
  while (p < n) {
    String s;
    if (Value[p] == '"') {
      ++p;
      while (p < n) {
        if (Value[p] == '"') {
          if (p + 1 < n && Value[p + 1] == '"') {
            s += '"';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        s += Value[p++];
      }
    } else {
      std::size_t start = p;
      while (p < n && static_cast<unsigned char>(Value[p]) > ' ' && Value[p] != ',') ++p;
      s = Value.substr(start, p - start);
    }
    Add(s);
    while (blank(p)) ++p;
    if (p < n && Value[p] == ',') {
      if (p + 1 == n) Add(String());
      do {
        ++p;
      } while (blank(p));
    }
  }
}

String TStrings::GetName(Integer Index) const {
  String s = Get(Index);
  std::size_t eq = s.find('=');
  return eq == String::npos ? String() : s.substr(0, eq);
}

String TStrings::GetValueFromIndex(Integer Index) const {
  String s = Get(Index);
  std::size_t eq = s.find('=');
  return eq == String::npos ? String() : s.substr(eq + 1);
}

String TStrings::GetValue(const String& Name) const {
  Integer i = IndexOfName(Name);
  return i < 0 ? String() : GetValueFromIndex(i);
}

void TStrings::SetValue(const String& Name, const String& Value) {
  Integer i = IndexOfName(Name);
  if (!Value.empty()) {
    if (i < 0)
      Add(Name + "=" + Value);
    else
      Put(i, Name + "=" + Value);
  } else if (i >= 0) {
    Delete(i);
  }
}

void TStrings::LoadFromStream(TStream* Stream) {
  // Read until the stream runs dry rather than trusting its size.
  String text;
  char buf[65536];
  while (Integer got = Stream->Read(buf, static_cast<Integer>(sizeof buf))) text.append(buf, static_cast<std::size_t>(got));
  SetText(text);
}

void TStrings::SaveToStream(TStream* Stream) const {
  String text = GetText();
  Stream->WriteBuffer(text.data(), static_cast<Int64>(text.size()));
}

void TStrings::LoadFromFile(const String& FileName) {
  TFileStream fs(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&fs);
}

void TStrings::SaveToFile(const String& FileName) const {
  WriteFileAtomically(FileName, [this](TStream* Stream) { SaveToStream(Stream); });
}

void TStrings::Assign(TPersistent* Source) {
  if (auto* src = dynamic_cast<TStrings*>(Source)) {
    if (src == this) return;
    Clear();
    AddStrings(*src);
    return;
  }
  TPersistent::Assign(Source);
}

// --- TStringList -----------------------------------------------------------

TStringList::~TStringList() { Clear(); }

void TStringList::CheckIndex(Integer Index) const {
  if (Index < 0 || Index >= GetCount()) ListIndexError(Index);
}

String TStringList::Get(Integer Index) const {
  CheckIndex(Index);
  return FList[static_cast<std::size_t>(Index)].S;
}

TObject* TStringList::GetObject(Integer Index) const {
  CheckIndex(Index);
  return FList[static_cast<std::size_t>(Index)].Obj;
}

void TStringList::Put(Integer Index, const String& S) {
  if (FSorted) throw EListError("Operation not allowed on sorted list");
  CheckIndex(Index);
  FList[static_cast<std::size_t>(Index)].S = S;
}

void TStringList::PutObject(Integer Index, TObject* AObject) {
  CheckIndex(Index);
  FList[static_cast<std::size_t>(Index)].Obj = AObject;
}

void TStringList::Insert(Integer Index, const String& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(Integer Index, const String& S, TObject* AObject) {
  if (FSorted) throw EListError("Operation not allowed on sorted list");
  if (Index < 0 || Index > GetCount()) ListIndexError(Index);
  InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(Integer Index, const String& S, TObject* AObject) {
  FList.insert(FList.begin() + Index, Item{S, AObject});
}

void TStringList::Delete(Integer Index) {
  CheckIndex(Index);
  TObject* obj = FList[static_cast<std::size_t>(Index)].Obj;
  FList.erase(FList.begin() + Index);
  if (FOwnsObjects) delete obj;
}

void TStringList::Clear() {
  std::vector<Item> old;
  old.swap(FList);
  if (FOwnsObjects)
    for (Item& it : old) delete it.Obj;
}

Integer TStringList::Add(const String& S) { return AddObject(S, nullptr); }

Integer TStringList::AddObject(const String& S, TObject* AObject) {
  Integer index;
  if (!FSorted) {
    index = GetCount();
  } else if (Find(S, index)) {
    switch (FDuplicates) {
      case dupIgnore:
        return index;
      case dupError:
        throw EListError("String list does not allow duplicates");
      case dupAccept:
        break;
    }
  }
  InsertItem(index, S, AObject);
  return index;
}

Integer TStringList::IndexOf(const String& S) const {
  if (!FSorted) return TStrings::IndexOf(S);
  Integer index;
  return Find(S, index) ? index : -1;
}

void TStringList::Exchange(Integer Index1, Integer Index2) {
  CheckIndex(Index1);
  CheckIndex(Index2);
  std::swap(FList[static_cast<std::size_t>(Index1)], FList[static_cast<std::size_t>(Index2)]);
}

void TStringList::Move(Integer CurIndex, Integer NewIndex) {
  if (CurIndex == NewIndex) return;
  if (FSorted) throw EListError("Operation not allowed on sorted list");
  CheckIndex(CurIndex);
  CheckIndex(NewIndex);
  Item it = std::move(FList[static_cast<std::size_t>(CurIndex)]);
  FList.erase(FList.begin() + CurIndex);
  FList.insert(FList.begin() + NewIndex, std::move(it));
}

bool TStringList::Find(const String& S, Integer& Index) const {
  Integer lo = 0, hi = GetCount() - 1;
  bool found = false;
  while (lo <= hi) {
    Integer mid = lo + (hi - lo) / 2;
    int c = CompareStrings(FList[static_cast<std::size_t>(mid)].S, S);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) found = true;
    }
  }
  Index = lo;
  return found;
}

void TStringList::Sort() {
  MergeSort(FList, [this](const Item& a, const Item& b) { return CompareStrings(a.S, b.S) < 0; });
}

void TStringList::CustomSort(const TStringListSortCompare& Compare) {
  // The comparison works on indexes into this list, so sort a permutation
  // and apply it afterwards.
  std::vector<Integer> order(FList.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<Integer>(i);
  MergeSort(order, [&](Integer a, Integer b) { return Compare(this, a, b) < 0; });
  std::vector<Item> sorted;
  sorted.reserve(FList.size());
  for (Integer i : order) sorted.push_back(std::move(FList[static_cast<std::size_t>(i)]));
  FList.swap(sorted);
}

void TStringList::SetSorted(bool Value) {
  if (Value == FSorted) return;
  if (Value) Sort();
  FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value) {
  if (Value == FCaseSensitive) return;
  FCaseSensitive = Value;
  if (FSorted) Sort();
}

int TStringList::CompareStrings(const String& S1, const String& S2) const {
  if (FCaseSensitive) {
    int c = S1.compare(S2);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
  }
  return AsciiCompareText(S1, S2);
}

// --- TStream ---------------------------------------------------------------

Int64 TStream::GetSize() {
  Int64 pos = Seek(0, soCurrent);
  Int64 size = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return size;
}

void TStream::SetSize(Int64) {}

void TStream::ReadBuffer(void* Buffer, Int64 Count) {
  if (Count < 0) throw EReadError("Stream read error");
  auto* p = static_cast<Byte*>(Buffer);
  while (Count > 0) {
    Integer chunk = static_cast<Integer>(std::min<Int64>(Count, std::numeric_limits<Integer>::max()));
    Integer got = Read(p, chunk);
    if (got != chunk) throw EReadError("Stream read error");
    p += got;
    Count -= got;
  }
}

void TStream::WriteBuffer(const void* Buffer, Int64 Count) {
  if (Count < 0) throw EWriteError("Stream write error");
  auto* p = static_cast<const Byte*>(Buffer);
  while (Count > 0) {
    Integer chunk = static_cast<Integer>(std::min<Int64>(Count, std::numeric_limits<Integer>::max()));
    Integer put = Write(p, chunk);
    if (put != chunk) throw EWriteError("Stream write error");
    p += put;
    Count -= put;
  }
}

Int64 TStream::CopyFrom(TStream* Source, Int64 Count) {
  if (Count < 0) throw EReadError("Stream read error");
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->GetSize();
    if (Count < 0) throw EReadError("Stream read error");  // a source without a size
  }
  const Int64 total = Count;
  constexpr Int64 kMaxBuf = 0xF000;
  std::vector<Byte> buf(static_cast<std::size_t>(std::min(Count, kMaxBuf)));
  while (Count > 0) {
    Int64 n = std::min(Count, kMaxBuf);
    Source->ReadBuffer(buf.data(), n);
    WriteBuffer(buf.data(), n);
    Count -= n;
  }
  return total;
}

// --- THandleStream / TFileStream -------------------------------------------

Integer THandleStream::Read(void* Buffer, Integer Count) {
  if (Count <= 0) return 0;
  auto* p = static_cast<char*>(Buffer);
  Integer done = 0;
  while (done < Count) {
    ssize_t r = ::read(FHandle, p + done, static_cast<std::size_t>(Count - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<Integer>(r);
  }
  return done;
}

Integer THandleStream::Write(const void* Buffer, Integer Count) {
  if (Count <= 0) return 0;
  auto* p = static_cast<const char*>(Buffer);
  Integer done = 0;
  while (done < Count) {
    ssize_t r = ::write(FHandle, p + done, static_cast<std::size_t>(Count - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<Integer>(r);
  }
  return done;
}

Int64 THandleStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : Origin == soEnd ? SEEK_END : -1;
  if (whence < 0) return -1;
  off_t r = ::lseek(FHandle, static_cast<off_t>(Offset), whence);
  return r < 0 ? -1 : static_cast<Int64>(r);
}

Int64 THandleStream::GetSize() {
  struct stat st {};
  if (::fstat(FHandle, &st) == 0 && S_ISREG(st.st_mode)) return static_cast<Int64>(st.st_size);
  return TStream::GetSize();
}

void THandleStream::SetSize(Int64 NewSize) {
  if (NewSize < 0 || ::ftruncate(FHandle, static_cast<off_t>(NewSize)) != 0)
    throw EStreamError("Cannot set the stream size. " + SystemErrorText(NewSize < 0 ? EINVAL : errno));
  if (GetPosition() > NewSize) SetPosition(NewSize);
}

TFileStream::TFileStream(const String& FileName, Word Mode) : THandleStream(-1), FFileName(FileName) {
  const bool create = (Mode & fmCreate) == fmCreate;
  int flags = O_CLOEXEC;
  if (create) {
    flags |= O_RDWR | O_CREAT | O_TRUNC;
  } else {
    switch (Mode & 3) {
      case fmOpenWrite: flags |= O_WRONLY; break;
      case fmOpenReadWrite: flags |= O_RDWR; break;
      default: flags |= O_RDONLY; break;
    }
  }
  int fd;
  do {
    fd = ::open(FileName.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  int err = errno;
  if (fd >= 0) {
    // open() succeeds on a folder for reading; refuse it here, not at the
    // first read.
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
      ::close(fd);
      fd = -1;
      err = EISDIR;
    }
  }
  if (fd < 0) {
    if (create)
      throw EFCreateError("Cannot create file \"" + FileName + "\". " + SystemErrorText(err));
    throw EFOpenError("Cannot open file \"" + FileName + "\". " + SystemErrorText(err));
  }
  FHandle = fd;
}

TFileStream::~TFileStream() {
  if (FHandle >= 0) ::close(FHandle);
}

// --- Memory streams --------------------------------------------------------

namespace {
// Position after a seek from Origin; false for a bad origin or on overflow.
bool SeekTarget(Int64 pos, Int64 size, Int64 Offset, TSeekOrigin Origin, Int64& result) {
  Int64 base;
  switch (Origin) {
    case soBeginning: base = 0; break;
    case soCurrent: base = pos; break;
    case soEnd: base = size; break;
    default: return false;
  }
  return !__builtin_add_overflow(base, Offset, &result);
}
}  // namespace

Integer TCustomMemoryStream::Read(void* Buffer, Integer Count) {
  if (Count <= 0 || FPosition < 0 || FPosition >= FSize) return 0;
  Int64 n = std::min<Int64>(Count, FSize - FPosition);
  std::memcpy(Buffer, static_cast<Byte*>(FMemory) + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return static_cast<Integer>(n);
}

Int64 TCustomMemoryStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  Int64 r;
  if (!SeekTarget(FPosition, FSize, Offset, Origin, r)) return -1;
  FPosition = r;
  return FPosition;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) {
  if (FSize > 0) Stream->WriteBuffer(FMemory, FSize);
}

void TCustomMemoryStream::SaveToFile(const String& FileName) {
  WriteFileAtomically(FileName, [this](TStream* Stream) { SaveToStream(Stream); });
}

void TCustomMemoryStream::SetPointer(void* Ptr, Int64 Size) {
  FMemory = Ptr;
  FSize = Size < 0 ? 0 : Size;
}

TMemoryStream::~TMemoryStream() { std::free(FMemory); }

void TMemoryStream::Reallocate(Int64 NewCapacity) {
  if (NewCapacity == FCapacity) return;
  if (NewCapacity == 0) {
    std::free(FMemory);
    FMemory = nullptr;
    FCapacity = 0;
    return;
  }
  if (NewCapacity < 0 || static_cast<UInt64>(NewCapacity) > std::numeric_limits<std::size_t>::max() / 2)
    throw EStreamError("Out of memory while expanding memory stream");
  void* p = std::realloc(FMemory, static_cast<std::size_t>(NewCapacity));
  if (p == nullptr) throw EStreamError("Out of memory while expanding memory stream");
  FMemory = p;
  FCapacity = NewCapacity;
}

void TMemoryStream::SetCapacity(Int64 NewCapacity) {
  Reallocate(std::max(NewCapacity, FSize));
}

void TMemoryStream::SetSize(Int64 NewSize) {
  if (NewSize < 0) throw EStreamError("Out of memory while expanding memory stream");
  if (NewSize > FCapacity) {
    // Grow in 8 KiB steps, and by at least a quarter, so many small writes
    // do not copy the block each time.
    Int64 grown = FCapacity + FCapacity / 4;
    Int64 cap = std::max(NewSize, grown);
    if (cap < NewSize || cap > (std::numeric_limits<Int64>::max() - 0x1FFF)) cap = NewSize;
    else cap = (cap + 0x1FFF) & ~Int64{0x1FFF};
    Reallocate(cap);
  } else if (NewSize < FCapacity / 2) {
    Reallocate((NewSize + 0x1FFF) & ~Int64{0x1FFF});
  }
  if (NewSize > FSize)
    std::memset(static_cast<Byte*>(FMemory) + FSize, 0, static_cast<std::size_t>(NewSize - FSize));
  FSize = NewSize;
  if (FPosition > NewSize) FPosition = NewSize;
}

Integer TMemoryStream::Write(const void* Buffer, Integer Count) {
  if (Count <= 0 || FPosition < 0) return 0;
  Int64 end;
  if (__builtin_add_overflow(FPosition, static_cast<Int64>(Count), &end)) return 0;
  if (end > FSize) {
    Int64 pos = FPosition;
    SetSize(end);
    FPosition = pos;
  }
  std::memcpy(static_cast<Byte*>(FMemory) + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = end;
  return Count;
}

void TMemoryStream::Clear() {
  Reallocate(0);
  FSize = 0;
  FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  Stream->SetPosition(0);
  Int64 count = Stream->GetSize();
  if (count < 0) throw EReadError("Stream read error");
  // Read straight into the block: zero-filling it first would double the
  // cost of loading a file. A failed read leaves the stream empty.
  FSize = 0;
  FPosition = 0;
  if (count > FCapacity) Reallocate(count);
  if (count > 0) Stream->ReadBuffer(FMemory, count);
  FSize = count;
}

void TMemoryStream::LoadFromFile(const String& FileName) {
  TFileStream fs(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&fs);
}

// --- TStringStream ---------------------------------------------------------

Integer TStringStream::Read(void* Buffer, Integer Count) {
  const Int64 size = static_cast<Int64>(FDataString.size());
  if (Count <= 0 || FPosition < 0 || FPosition >= size) return 0;
  Int64 n = std::min<Int64>(Count, size - FPosition);
  std::memcpy(Buffer, FDataString.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return static_cast<Integer>(n);
}

Integer TStringStream::Write(const void* Buffer, Integer Count) {
  if (Count <= 0 || FPosition < 0) return 0;
  Int64 end;
  if (__builtin_add_overflow(FPosition, static_cast<Int64>(Count), &end)) return 0;
  if (end > static_cast<Int64>(FDataString.size())) SetSizeKeep(end);
  std::memcpy(FDataString.data() + FPosition, Buffer, static_cast<std::size_t>(Count));
  FPosition = end;
  return Count;
}

Int64 TStringStream::Seek(Int64 Offset, TSeekOrigin Origin) {
  Int64 r;
  if (!SeekTarget(FPosition, static_cast<Int64>(FDataString.size()), Offset, Origin, r)) return -1;
  FPosition = r;
  return FPosition;
}

void TStringStream::SetSize(Int64 NewSize) {
  SetSizeKeep(NewSize);
  if (FPosition > NewSize) FPosition = NewSize;
}

void TStringStream::SetSizeKeep(Int64 NewSize) {
  if (NewSize < 0 || static_cast<UInt64>(NewSize) > FDataString.max_size())
    throw EStreamError("Out of memory while expanding memory stream");
  FDataString.resize(static_cast<std::size_t>(NewSize), '\0');
}

String TStringStream::ReadString(Integer Count) {
  const Int64 size = static_cast<Int64>(FDataString.size());
  if (Count <= 0 || FPosition < 0 || FPosition >= size) return String();
  Int64 n = std::min<Int64>(Count, size - FPosition);
  String r = FDataString.substr(static_cast<std::size_t>(FPosition), static_cast<std::size_t>(n));
  FPosition += n;
  return r;
}

void TStringStream::WriteString(const String& S) { WriteBuffer(S.data(), static_cast<Int64>(S.size())); }
