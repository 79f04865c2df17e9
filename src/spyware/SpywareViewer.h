#pragma once

#include <string>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "spyware/AdWareForm.h"
#include "spyware/SpywareDownload.h"
#include "spyware/SpywareScanner.h"

namespace halvern::spyware {

/// The window of known spyware programs: every line of the list with a check mark, which the
/// user sets to watch a program or clears to let it run.
class SpywareViewer {
public:
    /// Wires the window's OK and Cancel, its closing, its list and its link.
    SpywareViewer(core::Context& context, core::StatusLog& log, SpywareScanner& scanner,
                  SpywareDownload& download);
    SpywareViewer(const SpywareViewer&) = delete;
    SpywareViewer& operator=(const SpywareViewer&) = delete;

    /// Opens the window; one already open is brought to the front as it stands, with the check
    /// marks not yet saved.
    void open();
    /// Opens the window (modeless), filled afresh from the list; without a list file, the list
    /// is downloaded first.
    void Form_Load();
    /// Fills the list from the file's whole section: one item per program, the first line of a
    /// name that is listed twice.
    void FillSpyWareList();
    /// Writes each program's check mark into its line, reloads the scanner's list and closes; a
    /// list that could not be written keeps the window open with a warning.
    void cmdOK_Click();
    /// Closes without writing.
    void cmdCancel_Click();
    /// Switches the current item's check mark; nothing when no item is current.
    void toggleCurrent();
    /// Opens the removal tool's download page.
    void lbladaware_Click();
    /// Closes the window at exit.
    void Form_Unload();

    AdWareForm& form() { return m_form; }

    /// The download page of the free removal tool.
    static constexpr const char* kRemovalToolPage = "https://www.halvern.org/removal-tools.html";

private:
    core::Context& m_ctx;
    core::StatusLog& m_log;
    SpywareScanner& m_scanner;
    SpywareDownload& m_download;
    AdWareForm m_form;
};

}  // namespace halvern::spyware
