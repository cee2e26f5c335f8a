// A combo box of file filters: the filter text is pairs of a description
// and a mask list, separated by "|" ("Pictures (*.png)|*.png;*.bmp|All
// (*.*)|*.*"). The box shows the descriptions; the mask of the chosen one
// is the current mask. OnChange fires for the user's choice only.
#pragma once

#include <vector>

#include "platform/comctrls.h"

class TFilterComboBox : public TComboBox {
 public:
  explicit TFilterComboBox(TComponent* AOwner = nullptr);
  const String& GetFilter() const { return FFilter; }
  /// Takes a new filter text and chooses its first entry. A description
  /// without a mask gets "*.*"; an empty text becomes "All files (*.*)|*.*".
  void SetFilter(const String& Value);
  /// The mask list of the chosen entry ("*.*" when none is chosen).
  String GetMask() const;

 private:
  String FFilter;
  std::vector<String> FMasks;
};
