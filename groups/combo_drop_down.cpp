#include "groups/combo_drop_down.h"

#include <QComboBox>

#include "platform/qt_text.h"

namespace veskor {

void ComboDropDown::ClearItems() {
  combo_.clear();
  combo_.setCurrentIndex(-1);
}

void ComboDropDown::AppendItem(std::string_view item) {
  combo_.addItem(FromAnsi(item));
  // A combo box selects its first item by itself; the list is meant to come
  // back with nothing chosen.
  combo_.setCurrentIndex(-1);
}

}  // namespace veskor
