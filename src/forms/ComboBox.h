#pragma once

#include <string>

#include "forms/ListBox.h"

namespace halvern::forms {

/// A drop-down list: a list box whose text is the selected item.
class ComboBox : public ListBox {
public:
    using ListBox::ListBox;

    /// The selected item's text, or "" without a selection.
    std::string text() const { return listIndex() < 0 ? std::string() : item(listIndex()); }
    /// Selects the item with this text; a text that is not an item selects nothing.
    void setText(const std::string& text);
};

}  // namespace halvern::forms
