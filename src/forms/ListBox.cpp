#include "forms/ListBox.h"

#include <algorithm>

namespace halvern::forms {

void ListBox::addItem(std::string text) {
    m_items.push_back(std::move(text));
    changed().emit();
}

void ListBox::insertItem(int index, std::string text) {
    index = std::clamp(index, 0, listCount());
    m_items.insert(m_items.begin() + index, std::move(text));
    if (m_listIndex >= index) {
        ++m_listIndex;
    }
    changed().emit();
}

void ListBox::removeItem(int index) {
    if (index < 0 || index >= listCount()) {
        return;
    }
    m_items.erase(m_items.begin() + index);
    if (m_listIndex >= listCount()) {
        m_listIndex = listCount() - 1;
    }
    changed().emit();
}

void ListBox::clear() {
    m_items.clear();
    m_listIndex = -1;
    changed().emit();
}

void ListBox::setListIndex(int index) {
    index = std::clamp(index, -1, listCount() - 1);
    if (update(m_listIndex, index) && onClick) {
        onClick();
    }
}

}  // namespace halvern::forms
