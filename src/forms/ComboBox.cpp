#include "forms/ComboBox.h"

#include <algorithm>

namespace halvern::forms {

void ComboBox::setText(const std::string& text) {
    const auto found = std::find(items().begin(), items().end(), text);
    setListIndex(found == items().end() ? -1 : static_cast<int>(found - items().begin()));
}

}  // namespace halvern::forms
