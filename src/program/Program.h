#pragma once

#include <memory>

#include "core/AppPaths.h"
#include "core/MainState.h"
#include "forms/AboutForm.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "platform/Platform.h"
#include "ui/WindowSeams.h"

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

    forms::MainForm& form();
    forms::StatsForm& stats();
    forms::AboutForm& about();
    /// The other subsystems' windows and commands the menus and the settings window open. Fill
    /// them before Form_Load: the load disables, with the reason in its tool tip, every control
    /// whose seam is still empty.
    ui::WindowSeams& windowSeams();
    core::MainState& state();
    const core::AppPaths& paths() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace halvern::program
