#pragma once

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "popups/BlockedPopupReaction.h"
#include "titles/ScriptErrorDismissal.h"
#include "titles/TitleEditor.h"
#include "titles/TitleList.h"
#include "titles/TitleScanner.h"
#include "ui/TrayIcon.h"

namespace halvern::titles {

/// Window-title blocking: the blocked-title list, the scanner that closes matching windows, the
/// script-error answer, and the list editor. Program owns one and calls it from the start-up
/// and shut-down steps and the commands.
class TitleBlocking {
public:
    /// The reaction to a block is browser popup blocking's, which counts the burst.
    TitleBlocking(core::Context& context, core::StatusLog& log, core::BlockedRings& rings,
                  ui::TrayIcon& tray, popups::BlockedPopupReaction& reaction);
    TitleBlocking(const TitleBlocking&) = delete;
    TitleBlocking& operator=(const TitleBlocking&) = delete;

    /// (Re)loads the blocked titles.
    void setPopupListArray() { list.setPopupListArray(); }
    /// Starts and stops the immediate walk on new, activated and retitled windows.
    void installShellHook() { scanner.installShellHook(); }
    void removeShellHook() { scanner.removeShellHook(); }
    /// Opens the title list editor modeless ("Block Popups by Window Title", "Allow Popups by
    /// Window Title", the last-title link, the tray entries and the hot key).
    void openEditor() { editor.open(); }
    /// "Close ALL Open Browser Windows": asks every browser window to close.
    void CloseAllBrowsers();
    /// Ends the scan and closes the editor (the exit).
    void Form_Unload();

    TitleList list;
    ScriptErrorDismissal dismissal;
    TitleScanner scanner;
    TitleEditor editor;

private:
    core::Context& m_context;
    core::StatusLog& m_log;
};

}  // namespace halvern::titles
