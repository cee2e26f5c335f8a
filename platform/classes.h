// The class library's non-visual base: persistent objects, components with an
// owner tree and free notification, the pointer list, string lists and
// streams with 64-bit sizes and positions.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <vector>

#include "platform/system.h"

/// A small set of enumerators (values 0..63), as the desktop's set types:
/// Contains, Include and Exclude.
template <typename E>
class TSet {
 public:
  constexpr TSet() = default;
  constexpr TSet(std::initializer_list<E> items) {
    for (E e : items) Include(e);
  }
  constexpr bool Contains(E e) const { return (bits_ & Bit(e)) != 0; }
  constexpr void Include(E e) { bits_ |= Bit(e); }
  constexpr void Exclude(E e) { bits_ &= ~Bit(e); }
  constexpr bool Empty() const { return bits_ == 0; }
  constexpr TSet operator+(TSet o) const { return FromBits(bits_ | o.bits_); }
  constexpr TSet operator-(TSet o) const { return FromBits(bits_ & ~o.bits_); }
  constexpr TSet operator*(TSet o) const { return FromBits(bits_ & o.bits_); }
  friend constexpr bool operator==(TSet a, TSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr std::uint64_t Bit(E e) { return std::uint64_t{1} << (static_cast<unsigned>(e) & 63u); }
  static constexpr TSet FromBits(std::uint64_t b) {
    TSet s;
    s.bits_ = b;
    return s;
  }
  std::uint64_t bits_ = 0;
};

// ---------------------------------------------------------------------------
// Persistent objects and components
// ---------------------------------------------------------------------------

/// Returns the readable class name of an object ("TStringList"), for messages.
String ClassNameOf(const TObject& obj);

/// An object whose contents can be copied from another object with Assign.
class TPersistent : public TObject {
 public:
  /// Copies Source into this object. The base asks Source to AssignTo this;
  /// when neither side knows the other it raises EConvertError
  /// "Cannot assign a <source class> to a <this class>" ("nil" for null).
  virtual void Assign(TPersistent* Source);

 protected:
  /// Copies this object into Dest; the base raises the "Cannot assign" error.
  virtual void AssignTo(TPersistent* Dest);
};

class TComponent;

/// What happened to a component that another one is told about.
enum TOperation { opInsert, opRemove };

/// States a component passes through.
enum TComponentStateItem {
  csLoading,      // being built; Loaded() ends this state
  csReading,
  csWriting,
  csDestroying,   // its destruction has begun
  csDesigning,    // shown in a designer
  csAncestor,
  csUpdating,
  csFixups,
  csFreeNotification,  // has asked for or given free notifications
  csInline,
  csDesignInstance
};
using TComponentState = TSet<TComponentStateItem>;

/// A component: an owner frees the components it owns; components that hold
/// references to each other ask for free notification and are told through
/// Notification(other, opRemove) when the other goes away.
///
/// Destruction runs: csDestroying is set (on the owned components too), each
/// free-notification partner gets Notification(this, opRemove), the owned
/// components are freed (last first), and the owner forgets this component and
/// tells its other components. C++ runs ~TComponent after a descendant's own
/// members are gone; a descendant whose partners or owned components call back
/// into it while they are told or freed calls BeginDestroy() first in its own
/// destructor, so that happens while it is still whole.
class TComponent : public TPersistent {
 public:
  /// Creates the component; a non-null owner takes ownership and gets
  /// Notification(this, opInsert). That call comes from this constructor, so
  /// the new component is only a TComponent at that moment: an owner that
  /// must see the descendant type inserts it later with InsertComponent.
  explicit TComponent(TComponent* AOwner = nullptr);
  ~TComponent() override;

  TComponent* GetOwner() const { return FOwner; }
  /// Number of components this one owns, and the one at Index (EListError
  /// "List index out of bounds (%d)" outside 0..count-1).
  Integer GetComponentCount() const { return static_cast<Integer>(FComponents.size()); }
  TComponent* GetComponent(Integer Index) const;
  /// Position of this component in its owner's list, -1 without an owner.
  Integer GetComponentIndex() const;

  const String& GetName() const { return FName; }
  void SetName(const String& Value) { FName = Value; }
  /// A free value for the program's own use.
  std::intptr_t GetTag() const { return FTag; }
  void SetTag(std::intptr_t Value) { FTag = Value; }

  TComponentState GetComponentState() const { return FComponentState; }

  /// Takes AComponent into this component's ownership (removing it from its
  /// previous owner first) and sends Notification(AComponent, opInsert).
  void InsertComponent(TComponent* AComponent);
  /// Gives up ownership of AComponent (which is not freed) after sending
  /// Notification(AComponent, opRemove).
  void RemoveComponent(TComponent* AComponent);
  /// Frees every owned component, last first.
  void DestroyComponents();

  /// Asks to be told (and tells AComponent) when either of the two is
  /// destroyed. Components with the same owner are told through the owner
  /// anyway. Null is ignored.
  void FreeNotification(TComponent* AComponent);
  /// Withdraws a free-notification request in both directions.
  void RemoveFreeNotification(TComponent* AComponent);

  /// Marks the component and everything it owns as being destroyed.
  void Destroying();
  /// Marks the component as being built (csLoading).
  void Loading() { FComponentState.Include(csLoading); }
  /// Ends the build state; descendants finish their set-up here.
  virtual void Loaded() { FComponentState.Exclude(csLoading); }
  /// Sets or clears csDesigning, on the owned components too when asked.
  void SetDesigning(bool Value, bool SetChildren = true);

 protected:
  /// Called when AComponent is inserted into or removed from this component's
  /// owner tree, or when a free-notification partner is destroyed. The base
  /// forgets a removed partner and passes the call to every owned component;
  /// overrides call it too.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  /// See the class comment: sends the free notifications and frees the owned
  /// components while the descendant is still whole. Safe to call once more.
  void BeginDestroy();

 private:
  void RemoveNotification(TComponent* AComponent);

  TComponent* FOwner = nullptr;
  std::vector<TComponent*> FComponents;
  std::vector<TComponent*> FFreeNotifies;
  String FName;
  std::intptr_t FTag = 0;
  TComponentState FComponentState;
};

// ---------------------------------------------------------------------------
// Lists
// ---------------------------------------------------------------------------

/// Order of two list items: negative, zero or positive.
using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

/// A list of untyped pointers. Bad indexes raise EListError
/// "List index out of bounds (%d)".
class TList : public TObject {
 public:
  TList() = default;
  ~TList() override = default;

  /// Appends Item; returns its index.
  Integer Add(void* Item);
  /// Inserts Item at Index (0..Count).
  void Insert(Integer Index, void* Item);
  /// Removes the item at Index.
  void Delete(Integer Index);
  /// Removes the first occurrence of Item; returns its former index or -1.
  Integer Remove(void* Item);
  /// Index of the first occurrence of Item, -1 when absent.
  Integer IndexOf(void* Item) const;
  void* Get(Integer Index) const;
  void Put(Integer Index, void* Item);
  void* Items(Integer Index) const { return Get(Index); }
  void* First() const { return Get(0); }
  void* Last() const { return Get(GetCount() - 1); }
  Integer GetCount() const { return static_cast<Integer>(FList.size()); }
  Integer Count() const { return GetCount(); }
  /// Grows with null items or shrinks to NewCount (EListError
  /// "List count out of bounds (%d)" when negative).
  void SetCount(Integer NewCount);
  Integer GetCapacity() const { return static_cast<Integer>(FList.capacity()); }
  /// Reserves room for NewCapacity items (EListError "List capacity out of
  /// bounds (%d)" when below the count).
  void SetCapacity(Integer NewCapacity);
  virtual void Clear();
  void Exchange(Integer Index1, Integer Index2);
  /// Moves the item at CurIndex so that it ends up at NewIndex.
  void Move(Integer CurIndex, Integer NewIndex);
  /// Sorts with Compare (a stable merge sort, safe with any comparison).
  void Sort(const TListSortCompare& Compare);
  /// Removes every null item.
  void Pack();

  std::vector<void*>::const_iterator begin() const { return FList.begin(); }
  std::vector<void*>::const_iterator end() const { return FList.end(); }

 private:
  void CheckIndex(Integer Index) const;
  std::vector<void*> FList;
};

/// Raises EListError with "List index out of bounds (<Index>)".
[[noreturn]] void ListIndexError(Integer Index);

class TStream;
enum TDuplicates { dupIgnore, dupAccept, dupError };

/// An abstract list of strings, each with an optional object. Descendants
/// supply storage through Get, GetCount, Insert, Delete and Clear (and
/// GetObject/PutObject for objects); everything else works on those.
class TStrings : public TPersistent {
 public:
  /// The string at Index; EListError outside 0..Count-1.
  virtual String Get(Integer Index) const = 0;
  virtual Integer GetCount() const = 0;
  /// The object at Index (null in the base).
  virtual TObject* GetObject(Integer Index) const;
  /// Replaces the string at Index, keeping its object.
  virtual void Put(Integer Index, const String& S);
  /// Sets the object at Index (the base ignores it).
  virtual void PutObject(Integer Index, TObject* AObject);
  virtual void Insert(Integer Index, const String& S) = 0;
  virtual void InsertObject(Integer Index, const String& S, TObject* AObject);
  virtual void Delete(Integer Index) = 0;
  virtual void Clear() = 0;
  /// Appends S; returns its index.
  virtual Integer Add(const String& S);
  virtual Integer AddObject(const String& S, TObject* AObject);
  void AddStrings(const TStrings& Strings);
  /// Index of the first string equal to S (case-insensitive unless the
  /// descendant says otherwise), -1 when absent.
  virtual Integer IndexOf(const String& S) const;
  Integer IndexOfObject(const TObject* AObject) const;
  /// Index of the first "name=value" line whose name equals Name, -1 if none.
  virtual Integer IndexOfName(const String& Name) const;
  virtual void Exchange(Integer Index1, Integer Index2);
  /// Moves the string and object at CurIndex so they end up at NewIndex.
  virtual void Move(Integer CurIndex, Integer NewIndex);
  Integer Count() const { return GetCount(); }
  String Strings(Integer Index) const { return Get(Index); }
  TObject* Objects(Integer Index) const { return GetObject(Index); }

  /// The lines, each followed by a line feed.
  String GetText() const;
  /// Replaces the lines with those of Value, split at LF, CR LF or CR; a final
  /// line break adds no empty line.
  void SetText(const String& Value);
  /// The strings separated by ","; a string holding a space or control
  /// character, a comma or a double quote is double-quoted with inner quotes
  /// doubled; a single empty string gives "\"\"".
  String GetCommaText() const;
  /// Replaces the strings with those of a comma text: commas and blanks
  /// separate, double-quoted fields keep blanks and commas ("" is a quote).
  void SetCommaText(const String& Value);
  /// Part before the first "=" of the line at Index ("" without "=").
  String GetName(Integer Index) const;
  /// Part after the first "=" of the line at Index ("" without "=").
  String GetValueFromIndex(Integer Index) const;
  /// Value of the first line named Name ("" when absent).
  String GetValue(const String& Name) const;
  /// Sets the line named Name to "Name=Value", adding it when absent; an
  /// empty Value deletes the line.
  void SetValue(const String& Name, const String& Value);

  /// Replaces the lines with the text from the stream's position to its end.
  virtual void LoadFromStream(TStream* Stream);
  /// Writes GetText() at the stream's position.
  virtual void SaveToStream(TStream* Stream) const;
  /// Loads or saves a text file; open and create failures raise EFOpenError
  /// and EFCreateError.
  void LoadFromFile(const String& FileName);
  void SaveToFile(const String& FileName) const;

  /// Copies the strings and objects of another TStrings.
  void Assign(TPersistent* Source) override;

 protected:
  /// Compares two strings as this list does (the base: ASCII
  /// case-insensitive).
  virtual int CompareStrings(const String& S1, const String& S2) const;
};

class TStringList;
/// Order of two items of a string list: negative, zero or positive.
using TStringListSortCompare = std::function<int(TStringList* List, Integer Index1, Integer Index2)>;

/// A string list held in memory; optionally sorted, with a duplicates rule.
/// Comparisons ignore ASCII case unless CaseSensitive is set.
class TStringList : public TStrings {
 public:
  TStringList() = default;
  ~TStringList() override;

  String Get(Integer Index) const override;
  Integer GetCount() const override { return static_cast<Integer>(FList.size()); }
  TObject* GetObject(Integer Index) const override;
  /// Raises EListError "Operation not allowed on sorted list" when sorted.
  void Put(Integer Index, const String& S) override;
  /// Replaces the object at Index; an owned old object is not freed (the
  /// caller gets it back through Objects first).
  void PutObject(Integer Index, TObject* AObject) override;
  /// Raises EListError "Operation not allowed on sorted list" when sorted.
  void Insert(Integer Index, const String& S) override;
  void InsertObject(Integer Index, const String& S, TObject* AObject) override;
  void Delete(Integer Index) override;
  void Clear() override;
  /// Appends S, or on a sorted list inserts it in order; a duplicate on a
  /// sorted list is dropped (dupIgnore, returning the existing index), added
  /// (dupAccept) or refused with EListError "String list does not allow
  /// duplicates" (dupError).
  Integer Add(const String& S) override;
  Integer AddObject(const String& S, TObject* AObject) override;
  Integer IndexOf(const String& S) const override;
  void Exchange(Integer Index1, Integer Index2) override;
  /// Raises EListError "Operation not allowed on sorted list" when sorted,
  /// before anything is removed.
  void Move(Integer CurIndex, Integer NewIndex) override;

  /// Binary search of a sorted list: true when S is present; Index receives
  /// its position (the first of equal strings) or where it would go.
  bool Find(const String& S, Integer& Index) const;
  /// Sorts the strings (stable; the list stays unsorted for later adds).
  virtual void Sort();
  void CustomSort(const TStringListSortCompare& Compare);

  bool GetSorted() const { return FSorted; }
  void SetSorted(bool Value);
  TDuplicates GetDuplicates() const { return FDuplicates; }
  void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
  bool GetCaseSensitive() const { return FCaseSensitive; }
  void SetCaseSensitive(bool Value);
  /// When set, the list frees its objects on Delete, Clear and destruction.
  bool GetOwnsObjects() const { return FOwnsObjects; }
  void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

 protected:
  int CompareStrings(const String& S1, const String& S2) const override;

 private:
  struct Item {
    String S;
    TObject* Obj = nullptr;
  };
  void CheckIndex(Integer Index) const;
  void InsertItem(Integer Index, const String& S, TObject* AObject);

  std::vector<Item> FList;
  bool FSorted = false;
  bool FCaseSensitive = false;
  bool FOwnsObjects = false;
  TDuplicates FDuplicates = dupIgnore;
};

// ---------------------------------------------------------------------------
// Streams
// ---------------------------------------------------------------------------

/// Where a seek offset counts from. The old integer origins are the same
/// values under their old names; a stored integer origin is cast to this type.
enum TSeekOrigin : Word { soBeginning = 0, soCurrent = 1, soEnd = 2 };
inline constexpr TSeekOrigin soFromBeginning = soBeginning;
inline constexpr TSeekOrigin soFromCurrent = soCurrent;
inline constexpr TSeekOrigin soFromEnd = soEnd;

/// A sequence of bytes with a position and a size, both 64-bit.
class TStream : public TObject {
 public:
  /// Reads up to Count bytes into Buffer at the position and moves past them;
  /// returns the number read (0 at the end or for Count <= 0).
  virtual Integer Read(void* Buffer, Integer Count) = 0;
  /// Writes up to Count bytes at the position; returns the number written.
  virtual Integer Write(const void* Buffer, Integer Count) = 0;
  /// Moves the position to Offset counted from Origin (from the end: size +
  /// Offset); returns the new position, or -1 when the stream refuses it.
  virtual Int64 Seek(Int64 Offset, TSeekOrigin Origin) = 0;

  Int64 GetPosition() { return Seek(0, soCurrent); }
  void SetPosition(Int64 Pos) { Seek(Pos, soBeginning); }
  Int64 Position() { return GetPosition(); }
  /// The size; the base seeks to the end and back.
  virtual Int64 GetSize();
  Int64 Size() { return GetSize(); }
  /// Sets the size; the base does nothing (streams that cannot change size).
  virtual void SetSize(Int64 NewSize);

  /// Reads exactly Count bytes or raises EReadError "Stream read error".
  void ReadBuffer(void* Buffer, Int64 Count);
  /// Writes exactly Count bytes or raises EWriteError "Stream write error".
  void WriteBuffer(const void* Buffer, Int64 Count);
  /// Copies Count bytes from Source's position into this stream; Count 0
  /// copies the whole of Source from its start. Returns the bytes copied;
  /// a short source raises EReadError, a short write EWriteError.
  Int64 CopyFrom(TStream* Source, Int64 Count);
};

/// A stream over an open POSIX file descriptor (not closed by this class).
class THandleStream : public TStream {
 public:
  explicit THandleStream(int AHandle) : FHandle(AHandle) {}
  int GetHandle() const { return FHandle; }
  Integer Read(void* Buffer, Integer Count) override;
  Integer Write(const void* Buffer, Integer Count) override;
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  Int64 GetSize() override;
  /// Truncates or extends the file; the position stays, clipped to the new
  /// size. Raises EStreamError naming the system error on failure.
  void SetSize(Int64 NewSize) override;

 protected:
  int FHandle;
};

/// Open modes of TFileStream. fmCreate creates or empties the file for
/// reading and writing; the share flags are accepted and ignored.
inline constexpr Word fmCreate = 0xFF00;
inline constexpr Word fmOpenRead = 0x0000;
inline constexpr Word fmOpenWrite = 0x0001;
inline constexpr Word fmOpenReadWrite = 0x0002;
inline constexpr Word fmShareCompat = 0x0000;
inline constexpr Word fmShareExclusive = 0x0010;
inline constexpr Word fmShareDenyWrite = 0x0020;
inline constexpr Word fmShareDenyRead = 0x0030;
inline constexpr Word fmShareDenyNone = 0x0040;

/// A stream over a named file, closed when the stream is freed.
class TFileStream : public THandleStream {
 public:
  /// Opens or creates FileName. Raises EFCreateError
  /// `Cannot create file "<name>". <system error>` or EFOpenError
  /// `Cannot open file "<name>". <system error>`; folders are refused.
  TFileStream(const String& FileName, Word Mode);
  ~TFileStream() override;
  const String& GetFileName() const { return FFileName; }

 private:
  String FFileName;
};

/// A stream over one block of memory.
class TCustomMemoryStream : public TStream {
 public:
  Integer Read(void* Buffer, Integer Count) override;
  /// Seeks anywhere (also before 0 or past the end); reads there return 0.
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  Int64 GetSize() override { return FSize; }
  void* GetMemory() const { return FMemory; }
  void* Memory() const { return FMemory; }
  /// Writes the whole block to Stream at its position.
  void SaveToStream(TStream* Stream);
  void SaveToFile(const String& FileName);

 protected:
  /// Makes the stream show Size bytes at Ptr; for descendants that wrap
  /// memory they do not own.
  void SetPointer(void* Ptr, Int64 Size);

  void* FMemory = nullptr;
  Int64 FSize = 0;
  Int64 FPosition = 0;
};

/// A memory stream that owns its block and grows as it is written.
class TMemoryStream : public TCustomMemoryStream {
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  /// Writes at the position, growing the block; a gap left by a seek past
  /// the end is filled with zeros.
  Integer Write(const void* Buffer, Integer Count) override;
  /// Resizes the block (new bytes are zero; a block shrunk below half its
  /// room is given back); the position stays, clipped to the new size.
  /// Raises EStreamError when memory runs out.
  void SetSize(Int64 NewSize) override;
  /// Empties the stream and frees the block.
  void Clear();
  /// Replaces the contents with the whole of Stream (from its start).
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(const String& FileName);
  Int64 GetCapacity() const { return FCapacity; }
  void SetCapacity(Int64 NewCapacity);

 private:
  void Reallocate(Int64 NewCapacity);
  Int64 FCapacity = 0;
};

/// A stream over a string held by the stream.
class TStringStream : public TStream {
 public:
  explicit TStringStream(const String& AString = String()) : FDataString(AString) {}
  Integer Read(void* Buffer, Integer Count) override;
  /// Writes at the position, extending the string (a gap is zero-filled).
  Integer Write(const void* Buffer, Integer Count) override;
  Int64 Seek(Int64 Offset, TSeekOrigin Origin) override;
  Int64 GetSize() override { return static_cast<Int64>(FDataString.size()); }
  void SetSize(Int64 NewSize) override;
  const String& GetDataString() const { return FDataString; }
  const String& DataString() const { return FDataString; }
  /// Reads up to Count bytes as a string.
  String ReadString(Integer Count);
  void WriteString(const String& S);

 private:
  void SetSizeKeep(Int64 NewSize);
  String FDataString;
  Int64 FPosition = 0;
};
