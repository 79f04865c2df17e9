#pragma once

#include <memory>
#include <string>

#include "adservers/AdServerEditor.h"
#include "adservers/DomainTester.h"
#include "core/AppPaths.h"
#include "core/MainState.h"
#include "forms/AboutForm.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "platform/Platform.h"
#include "ui/WindowSeams.h"

namespace halvern::popups {
class PopupBlocking;
}
namespace halvern::titles {
class TitleBlocking;
}
namespace halvern::spyware {
class SpywareDetection;
}
namespace halvern::ui {
class LogWindow;
class PasswordLock;
}  // namespace halvern::ui

namespace halvern::program {

/// The behaviour's composition root, in the old main window's role: owns the subsystems, wires
/// the controls' events to their handlers and runs the start-up and shut-down sequence.
class Program {
public:
    explicit Program(platform::Platform& platform);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    /// Start-up phase 1. Phase 2 follows on the start-up timer, 2.5 s later.
    void Form_Load();
    /// The exit command: stops blocking, unloads, saves, and leaves the event loop.
    void mnuFileExit_Click();
    /// True once the program has ended (a second copy, or after the exit command).
    bool finished() const;

    /// Opens the ad-server list editor; record is a recently-blocked ad record handed over
    /// (its server is the one the editor looks for), or "" for the last blocked server.
    void showAdServerEditor(const std::string& record = {});
    /// Opens the domain tester.
    void showDomainTester();
    adservers::AdServerEditor& adServerEditor();
    adservers::DomainTester& domainTester();

    forms::MainForm& form();
    forms::StatsForm& stats();
    /// Window-title blocking: its editor's window model, and the commands the menus reach.
    titles::TitleBlocking& titles();
    forms::AboutForm& about();
    /// The other subsystems' windows and commands the menus and the settings window open. Fill
    /// them before Form_Load: the load disables, with the reason in its tool tip, every control
    /// whose seam is still empty.
    ui::WindowSeams& windowSeams();
    core::MainState& state();
    const core::AppPaths& paths() const;
    /// Browser popup blocking: the decision, the tracker and the user's intent.
    popups::PopupBlocking& popups();
    /// Spyware detection: its list window's model, the list download and the window's opening.
    spyware::SpywareDetection& spyware();

    /// Opens the recently-blocked log window ("Logging", the tray's log entry).
    void openLogWindow();
    /// The log window, for its view and for the editors that fill its hand-over.
    ui::LogWindow& logWindow();
    /// The settings password lock.
    ui::PasswordLock& passwordLock();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace halvern::program
