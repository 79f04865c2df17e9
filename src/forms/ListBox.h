#pragma once

#include <string>
#include <vector>

#include "forms/Control.h"

namespace halvern::forms {

/// A list of text items with one selection; selecting an item, by the user or by code, raises
/// Click.
class ListBox : public Control {
public:
    using Control::Control;

    const std::vector<std::string>& items() const { return m_items; }
    int listCount() const { return static_cast<int>(m_items.size()); }
    const std::string& item(int index) const { return m_items.at(static_cast<std::size_t>(index)); }

    void addItem(std::string text);
    /// Inserts an item before the index (at the end when the index is past it); a selection at
    /// or after it moves with its item.
    void insertItem(int index, std::string text);
    void removeItem(int index);
    void clear();

    /// The selected index, or -1 for none.
    int listIndex() const { return m_listIndex; }
    /// Selects an item (-1 for none); raises Click when the selection changes.
    void setListIndex(int index);

    Handler onClick;
    Handler onDblClick;
    void dblClick() {
        if (enabled() && onDblClick) {
            onDblClick();
        }
    }

private:
    std::vector<std::string> m_items;
    int m_listIndex = -1;
};

}  // namespace halvern::forms
