#include "core/BlockedRings.h"

#include <string>
#include <vector>

namespace halvern::core {

BlockedRings::BlockedRings(platform::Dialogs& dialogs)
    : cycTitles(dialogs), cycSpyware(dialogs), cycIEPopups(dialogs), cycAdServers(dialogs) {
    ClearLog();
}

void BlockedRings::FillListPopupIE(forms::ListBox& lstIn) {
    fillList(cycIEPopups, lstIn);
}

void BlockedRings::FillListPopupTitles(forms::ListBox& lstIn) {
    fillList(cycTitles, lstIn);
}

void BlockedRings::FillListSpywareTitles(forms::ListBox& lstIn) {
    fillList(cycSpyware, lstIn);
}

void BlockedRings::FillListAdServers(forms::ListBox& lstIn) {
    fillList(cycAdServers, lstIn);
}

void BlockedRings::ClearLog() {
    for (cCyclicBuffer* ring : {&cycTitles, &cycSpyware, &cycIEPopups, &cycAdServers}) {
        reset(*ring);
    }
}

void BlockedRings::reset(cCyclicBuffer& ring) {
    ring.Create(kRecords);
    ring.bOverwriteOnFull = true;
}

void BlockedRings::fillList(cCyclicBuffer& ring, forms::ListBox& lstIn) {
    lstIn.clear();
    std::vector<std::string> items;
    ring.GetAllItems(items);
    for (std::size_t slot = items.size() - 1; slot >= 1; --slot) {
        if (!items[slot].empty()) {
            lstIn.addItem(items[slot]);
        }
    }
}

}  // namespace halvern::core
