#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Control.h"

namespace halvern::ui {

/// The settings password: while one is set and not entered, the settings window shows only its
/// password tab, the Options menu, the other options and the tray menu's entries are hidden, and
/// the tray's right click shows the settings window. The store keeps a salted hash of the
/// password, never the password itself.
class PasswordLock {
public:
    /// Wires cmdPass, cmdNewPass and lblPassHelp.
    PasswordLock(core::Context& context, core::StatusLog& log);
    ~PasswordLock();
    PasswordLock(const PasswordLock&) = delete;
    PasswordLock& operator=(const PasswordLock&) = delete;

    /// Start-up: reads the stored password and locks the window when one is set. A password an
    /// older version kept in plain text is hashed and written back.
    void setUp();
    /// Applies the lock state (false: locked) to the tabs, menus, frames and the tray menu.
    void doLogin(bool bLogin);
    /// Logs in with the typed password, or sets the first one.
    void cmdPass_Click();
    /// Changes the password, given the current one in txtPass.
    void cmdNewPass_Click();
    /// From the sixth click on, each click clears the stored password.
    void lblPassHelp_Click();

    /// True while a password is set and was not entered in this run.
    bool locked() const { return !bSettingsUnlocked; }

    /// The stored form of the password (a hash; plain only when hashing failed); "" = no lock.
    std::string strPassword;
    bool bSettingsUnlocked = true;
    /// Clicks on lblPassHelp; stays at its maximum instead of wrapping.
    std::int16_t nPassHelpClicks = 0;

    /// The value name of the password in the per-user store ("KorvaneSoft", "Zorvik").
    static constexpr const char* kStoreKey = "BlockLevel";

private:
    /// True when the trimmed text is the password (with none set: when it is empty too).
    bool matches(const std::string& trimmed) const;
    /// Stores the password's hash ("" removes the lock) and gives its stored form; false when
    /// the hash or the store failed.
    bool store(const std::string& password, std::string& storedForm);
    void showNewPasswordControls();
    void message(const std::string& text);
    /// The controls the lock hides, besides the tabs and the Options menu.
    std::vector<forms::Control*> lockedControls() const;

    core::Context& m_context;
    core::StatusLog& m_log;
    /// The controls that were shown when the lock hid them, shown again by the login.
    std::vector<forms::Control*> m_hidden;
    bool m_hiding = false;
};

}  // namespace halvern::ui
