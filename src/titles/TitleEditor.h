#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Timer.h"
#include "titles/TitleEditorForm.h"
#include "titles/TitleList.h"
#include "titles/TitleScanner.h"

namespace halvern::titles {

/// The title list editor: picks a title from the open windows, adds it to or deletes it from
/// the blocked list, and saves the list to usertitles.ini; plus the two one-click special
/// titles of the main window. Wires its own window's controls.
class TitleEditor {
public:
    TitleEditor(core::Context& context, TitleList& list, TitleScanner& scanner);
    TitleEditor(const TitleEditor&) = delete;
    TitleEditor& operator=(const TitleEditor&) = delete;

    /// Shows the window modeless, loading it first when it is not open.
    void open();
    /// Loads the window: the open windows, the list, the last blocked entry and the record
    /// handed over by the recently-blocked window selected.
    void Form_Load();
    /// Closes the window; its edits are gone unless OK saved them.
    void Form_Unload();

    void Timer1_Timer();
    void lstCurrent_Click();
    void txtTitle_Change();
    void cmdAdd_Click();
    void cmdDel_Click();
    void lstAdd_Click();
    void cmdRefresh_Click();
    /// Saves an edited list and reloads the scanner's; a failed save keeps the window open with
    /// a warning. True when the window closed.
    bool cmdOK_Click();
    void cmdCancel_Click();
    void lblPopupTitles_Click();

    /// The main window's links that add "Messenger Service" or "-- Web Page Dialog" in one click.
    void lblMessengerPops_Click();
    void lblWebPagePops_Click();

    TitleEditorForm form;
    /// Blinks Delete for ten seconds after the editor opened on the last blocked entry.
    forms::Timer Timer1;
    bool bListChanged = false;
    bool bLoading = false;
    std::int16_t nFlashCount = 0;

    /// The record text handed over by the recently-blocked window, and its clearing (the white
    /// list holds it).
    std::function<std::string()> getWhiteListItemText;
    std::function<void(const std::string&)> setWhiteListItemText;
    /// Opens the ad-server list editor.
    std::function<void()> openAdServerEditor;

    /// Entries shorter than this are refused.
    static constexpr std::size_t kMinEntry = 3;

private:
    struct SpecialTitle;
    void blockSpecialTitle(const SpecialTitle& special);
    void fillCurrent();
    /// Selects the entry and blinks Delete when the list holds it; else selects nothing.
    void selectEntry(const std::string& entry);
    void info(const std::string& text, const std::string& title);

    core::Context& m_context;
    TitleList& m_list;
    TitleScanner& m_scanner;
};

/// The entry a title-ring record names: the text between "found '" and "' within Window
/// Title '", apostrophes in it included; nothing when the record names none.
std::optional<std::string> entryOfRecord(const std::string& record);

}  // namespace halvern::titles
