#include "platform/filtercombo.h"

TFilterComboBox::TFilterComboBox(TComponent* AOwner) : TComboBox(AOwner) {
  SetStyle(csDropDownList);
  SetFilter(String());
}

void TFilterComboBox::SetFilter(const String& Value) {
  FFilter = Value.empty() ? String("All files (*.*)|*.*") : Value;
  std::vector<String> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = FFilter.find('|', start);
    parts.push_back(FFilter.substr(start, bar == String::npos ? String::npos : bar - start));
    if (bar == String::npos) break;
    start = bar + 1;
  }
  FMasks.clear();
  TStrings* items = GetItems();
  items->Clear();
  for (size_t i = 0; i < parts.size(); i += 2) {
    items->Add(parts[i]);
    FMasks.push_back(i + 1 < parts.size() && !parts[i + 1].empty() ? parts[i + 1] : String("*.*"));
  }
  SetItemIndex(0);
}

String TFilterComboBox::GetMask() const {
  const Integer i = GetItemIndex();
  return i >= 0 && static_cast<size_t>(i) < FMasks.size() ? FMasks[static_cast<size_t>(i)] : String("*.*");
}
