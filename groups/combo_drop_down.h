#pragma once
// The group store's drop-down list interface over a Qt combo box.

#include "groups/group_store.h"

class QComboBox;

namespace veskor {

class ComboDropDown final : public DropDownList {
 public:
  explicit ComboDropDown(QComboBox& combo) : combo_(combo) {}
  void ClearItems() override;
  void AppendItem(std::string_view item) override;

 private:
  QComboBox& combo_;
};

}  // namespace veskor
