#pragma once

#include <string>
#include <utility>
#include <vector>

#include "forms/Button.h"
#include "forms/Control.h"
#include "forms/Form.h"
#include "forms/Frame.h"
#include "forms/Label.h"

namespace halvern::spyware {

/// A list with a check box per item and one current item.
class CheckList : public forms::Control {
public:
    using Control::Control;

    int listCount() const { return static_cast<int>(m_items.size()); }
    const std::string& item(int index) const { return at(index).first; }
    bool checked(int index) const { return at(index).second; }

    void addItem(std::string text, bool checked) {
        m_items.emplace_back(std::move(text), checked);
        changed().emit();
    }
    void clear() {
        m_items.clear();
        m_listIndex = -1;
        changed().emit();
    }
    /// Sets an item's check mark, as the user's click on its box does.
    void setChecked(int index, bool checked) {
        if (index < 0 || index >= listCount() || at(index).second == checked) {
            return;
        }
        m_items[static_cast<std::size_t>(index)].second = checked;
        changed().emit();
    }
    /// The current item, or -1 for none.
    int listIndex() const { return m_listIndex; }
    void setListIndex(int index) {
        update(m_listIndex, index >= 0 && index < listCount() ? index : -1);
    }

private:
    const std::pair<std::string, bool>& at(int index) const {
        return m_items.at(static_cast<std::size_t>(index));
    }

    std::vector<std::pair<std::string, bool>> m_items;
    int m_listIndex = -1;
};

/// The window of known spyware programs, frmAdWare: one checked item per program of the list.
struct AdWareForm {
    AdWareForm() {
        lblSpyCount.setToolTip("Total number of known spyware programs Zorvik watches for.");
    }
    AdWareForm(const AdWareForm&) = delete;
    AdWareForm& operator=(const AdWareForm&) = delete;

    forms::Form frmAdWare{"frmAdWare", "Block Known AdWare and SpyWare"};
    forms::Frame Frame1{"Frame1", "Close known AdWare and Spyware:"};
    /// One item per program: its name, a TAB and its description; checked when watched.
    CheckList lstSpyware{"lstSpyware"};
    forms::Label Label1{"Label1", "SpyCount:"};
    forms::Label lblSpyCount{"lblSpyCount", "0"};
    forms::Label lbl2{"lbl2", ""};
    forms::Label Label3{
        "Label3", "All programs with a checkmark will be closed by this software if detected.  "};
    forms::Button cmdOK{"cmdOK", "OK"};
    forms::Button cmdCancel{"cmdCancel", "Cancel"};
    forms::Frame Frame2{"Frame2", "AdWare and Spyware Information and Removal Tools:"};
    forms::Label lbladaware{"lbladaware",
                            "Click here to download AdAware.  It's FREE and it will detect and "
                            "remove all known spyware."};
    /// The removal tool's picture; a click on it is a click on the link.
    forms::Label Picture1{"Picture1", ""};
};

}  // namespace halvern::spyware
