#pragma once

#include "core/cCyclicBuffer.h"
#include "forms/ListBox.h"
#include "platform/Dialogs.h"

namespace halvern::core {

/// The four recently-blocked records, 50 lines each, the newest overwriting the oldest: windows
/// closed by title, spyware programs ended, browser popups and answered ad-server requests.
class BlockedRings {
public:
    /// Creates the four rings with 50 slots and overwrite on.
    explicit BlockedRings(platform::Dialogs& dialogs);
    BlockedRings(const BlockedRings&) = delete;
    BlockedRings& operator=(const BlockedRings&) = delete;

    /// Each fills a list with one ring's records, newest first.
    void FillListPopupIE(forms::ListBox& lstIn);
    void FillListPopupTitles(forms::ListBox& lstIn);
    void FillListSpywareTitles(forms::ListBox& lstIn);
    void FillListAdServers(forms::ListBox& lstIn);

    /// Empties all four rings.
    void ClearLog();

    /// Lines a ring keeps.
    static constexpr int kRecords = 50;

    // Declared in the order they are created and cleared.
    cCyclicBuffer cycTitles;
    cCyclicBuffer cycSpyware;
    cCyclicBuffer cycIEPopups;
    cCyclicBuffer cycAdServers;

private:
    static void reset(cCyclicBuffer& ring);
    static void fillList(cCyclicBuffer& ring, forms::ListBox& lstIn);
};

}  // namespace halvern::core
