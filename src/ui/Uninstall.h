#pragma once

#include "core/Context.h"

namespace halvern::ui {

/// "Uninstall Instructions...": after the user agrees, turns off ad-server blocking, the browser
/// button and the start with the session (their own handlers undo each), says what to do next
/// and exits. Wires mnuUninstallUninstall.
class Uninstall {
public:
    explicit Uninstall(core::Context& context);
    ~Uninstall();
    Uninstall(const Uninstall&) = delete;
    Uninstall& operator=(const Uninstall&) = delete;

    void mnuUninstallUninstall_Click();

private:
    platform::Dialogs& m_dialogs;
    forms::MainForm& m_form;
};

}  // namespace halvern::ui
