#pragma once

#include <functional>
#include <string>

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Timer.h"
#include "ui/LogWindowForm.h"

namespace halvern::ui {

/// The recently-blocked log window: shows one of the four blocked-item records, newest first,
/// refreshes it every 5 s, exports it to the user's text editor, clears the records, and hands a
/// double-clicked line to the editor in which that item can be allowed.
class LogWindow {
public:
    /// The views, numbered as the window numbers them.
    enum View { kAdServers = 1, kIEPopups = 2, kTitles = 3, kSpyware = 4 };

    /// The editors a double-click opens and the white list's hand-over, each filled by the
    /// subsystem that owns it; a double-click in a view whose editor is empty does nothing.
    struct Editors {
        /// Gives the clicked line to the editor that opens next.
        std::function<void(const std::string&)> setWhiteListItemText;
        /// Makes a page address the most recent blocked popup page.
        std::function<void(const std::string&)> setLastIEPopURL;
        /// The ad-server list editor.
        std::function<void()> frmExclude;
        /// The popup white-list editor.
        std::function<void()> frmIEWhiteList;
        /// The title list editor.
        std::function<void()> frmPopupTitles;
        /// The spyware list window.
        std::function<void()> frmAdWare;
    };

    /// Wires the window's buttons, list, timer and resize handler.
    LogWindow(core::Context& context, core::BlockedRings& rings, core::StatusLog& log);
    LogWindow(const LogWindow&) = delete;
    LogWindow& operator=(const LogWindow&) = delete;

    /// Opens the window (modeless) in view 1; a window already open only comes to the front.
    void open();
    /// Closes the window; the records stay.
    void Form_Unload();

    /// Shows a view, with an explanatory line when it is empty.
    void selectView(int view);
    /// Every 5 s while open: refills views 1-3 (not 4), without the explanatory line.
    void Timer1_Timer();
    /// Writes the current view to "tempZV.txt" in a private folder and opens it in the editor.
    void cmdCopy_Click();
    /// Asks, then empties all four records and shows view 1.
    void cmdClear_Click();
    /// Hands the selected line to its view's editor, opens it and closes the window; a view
    /// whose editor this build lacks leaves the window open and hands nothing over.
    void lstBlocked_DblClick();
    /// The list takes the window's size less the buttons' room, never below zero.
    void Form_Resize(int width, int height);

    LogWindowForm form;
    /// Refreshes the open window every 5 s.
    forms::Timer Timer1;
    /// The current view.
    int nView = kAdServers;
    Editors editors;

    /// The exported file's name.
    static constexpr const char* kCopyFile = "tempZV.txt";

private:
    void fill(int view);
    static std::string explanation(int view);
    /// Tells the user in a box (and the status log) why the export did not work.
    void exportFailed(const std::string& text);

    core::Context& m_context;
    core::BlockedRings& m_rings;
    core::StatusLog& m_log;
};

}  // namespace halvern::ui
