#pragma once

#include <cstddef>
#include <string>

#include "core/Context.h"
#include "popups/WhiteListForm.h"

namespace halvern::popups {

class WhiteList;

/// The white-list editor: adds the page of the latest blocked popup (or any typed text) to the
/// list, deletes entries, and saves the list to userwl.ini, after which the list in memory is
/// reloaded. Wires its own window's controls.
class WhiteListEditor {
public:
    WhiteListEditor(core::Context& context, WhiteList& list);
    WhiteListEditor(const WhiteListEditor&) = delete;
    WhiteListEditor& operator=(const WhiteListEditor&) = delete;

    /// Shows the window modeless, loading it first when it is not open.
    void open();
    /// Loads the window: the list in use, and the latest blocked page as the entry to add.
    void Form_Load();
    /// Closes the window; its edits are gone unless OK saved them.
    void Form_Unload();

    void txtTitle_Change();
    void lstAdd_Click();
    /// Adds the typed text lower-cased and without "http://" or "https://"; refuses one of 4
    /// characters or fewer and one the list holds already.
    void cmdAdd_Click();
    void cmdDel_Click();
    /// Saves an edited list to the user's file and reloads the list in memory; a failed save
    /// keeps the window open with a warning. True when the window closed.
    bool cmdOK_Click();
    void cmdCancel_Click();

    WhiteListForm form;
    /// The list was edited since the window opened.
    bool bListChanged = false;

    /// The fewest characters an entry may have.
    static constexpr std::size_t kMinEntry = 5;

private:
    void info(const std::string& text, const std::string& title);

    core::Context& m_context;
    WhiteList& m_list;
};

}  // namespace halvern::popups
