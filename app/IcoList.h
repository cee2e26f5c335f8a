// A list of icons with change notification: copies of the icons added are
// kept, and every change (also one of an icon in the list) fires OnChange,
// once at the end of an update bracket. The stream form is the count, then
// each icon's byte size (0 for an empty one) and its file bytes.
#pragma once

#include <memory>
#include <vector>

#include "platform/classes.h"
#include "platform/icon.h"

class TIconList : public TPersistent {
 public:
  TIconList();
  ~TIconList() override;

  Integer GetCount() const { return Integer(FList.size()); }
  /// The icon at Index (EListError outside the list).
  TIcon* GetIcon(Integer Index) const;
  /// Adds a copy of Icon (null adds an empty icon); returns its index.
  Integer Add(TIcon* Icon);
  void Insert(Integer Index, TIcon* Icon);
  /// Replaces the icon at Index with a copy of Icon; Index = Count appends.
  void Put(Integer Index, TIcon* Icon);
  void Delete(Integer Index);
  void Exchange(Integer Index1, Integer Index2);
  void Move(Integer CurIndex, Integer NewIndex);
  Integer IndexOf(const TIcon* Icon) const;
  void Clear();
  void BeginUpdate();
  void EndUpdate();
  /// From another icon list or a single icon (the list becomes that one).
  void Assign(TPersistent* Source) override;

  /// The stream form of the "Icons" property.
  void ReadData(TStream* Stream);
  void WriteData(TStream* Stream);

  TNotifyEvent OnChange;

 private:
  void Check(Integer Index, bool AllowCount) const;
  std::unique_ptr<TIcon> Copy(TIcon* Icon);
  void Changed();
  std::vector<std::unique_ptr<TIcon>> FList;
  Integer FUpdateCount = 0;
  bool FPending = false;
};
