#include "ui/PasswordLock.h"

#include <limits>

#include "core/MainState.h"

namespace halvern::ui {

namespace {

const std::string kN = core::kServiceName;
const std::string kLoggedIn = "You are logged in.  It is now possible to set a new password.  ";

std::string trimmed(const std::string& text) {
    const auto begin = text.find_first_not_of(' ');
    if (begin == std::string::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

/// Compares every byte, so the time taken does not tell where a guess goes wrong.
bool sameText(const std::string& a, const std::string& b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (std::size_t i = 0; i < a.size(); ++i) {
        difference |= static_cast<unsigned char>(a[i] ^ (i < b.size() ? b[i] : 0));
    }
    return difference == 0;
}

}  // namespace

PasswordLock::PasswordLock(core::Context& context, core::StatusLog& log)
    : m_context(context), m_log(log) {
    forms::MainForm& f = context.form;
    f.cmdPass.onClick = [this] { cmdPass_Click(); };
    f.cmdNewPass.onClick = [this] { cmdNewPass_Click(); };
    f.lblPassHelp.onClick = [this] { lblPassHelp_Click(); };
}

PasswordLock::~PasswordLock() {
    forms::MainForm& f = m_context.form;
    f.cmdPass.onClick = nullptr;
    f.cmdNewPass.onClick = nullptr;
    f.lblPassHelp.onClick = nullptr;
}

void PasswordLock::setUp() {
    forms::MainForm& f = m_context.form;
    platform::PasswordHasher& hasher = m_context.platform.hasher;
    strPassword = trimmed(
        m_context.platform.userStore.get(core::kPublisherApp, core::kServiceName, kStoreKey, ""));
    if (!strPassword.empty() && !hasher.isHash(strPassword)) {
        // An older version kept the password as typed: from now on only its hash is kept.
        if (std::string hash = hasher.hash(strPassword); !hash.empty()) {
            strPassword = hash;
            if (!m_context.platform.userStore.set(core::kPublisherApp, core::kServiceName,
                                                  kStoreKey, hash)) {
                m_log.AddToStatus(
                    "The settings password could not be stored as a hash; it is "
                    "still kept as typed.");
            }
        }
    }
    nPassHelpClicks = 0;

    f.txtNewPass.setVisible(false);
    f.lblNewPass.setVisible(false);
    f.cmdNewPass.setVisible(false);
    f.txtPass.setText("");

    if (strPassword.empty()) {
        bSettingsUnlocked = true;
        f.lblSetPass.setCaption("Type in a password:");
        f.cmdPass.setCaption("Set Password");
        return;
    }
    bSettingsUnlocked = false;
    f.lblSetPass.setCaption("Enter your password:");
    f.cmdPass.setCaption("Login to Settings");
    f.lblPassHelp.setCaption("Please enter the configuration password to change " + kN +
                             " settings or contact the person who set the password.");
    doLogin(false);
}

std::vector<forms::Control*> PasswordLock::lockedControls() const {
    forms::MainForm& f = m_context.form;
    std::vector<forms::Control*> controls{&f.frameOtherOptions, &f.cmdData,  &f.lbldownload,
                                          &f.cmdReset,          &f.lblreset, &f.cmdTestConn,
                                          &f.lblconnect,        &f.cmdNew,   &f.lblNewV};
    // A tray host that draws the menu itself is never asked first: the menu shows only the way
    // to the settings window, where the password is asked.
    for (forms::MenuItem* entry : f.mnuTray.children()) {
        if (entry != &f.mnuTraySettings) {
            controls.push_back(entry);
        }
    }
    return controls;
}

void PasswordLock::doLogin(bool bLogin) {
    forms::MainForm& f = m_context.form;
    for (int tab = 0; tab < static_cast<int>(f.A.captions().size()); ++tab) {
        f.A.setTabEnabled(tab, bLogin);
    }
    f.mnuSettings.setVisible(bLogin);
    if (!bLogin) {
        f.A.setTabEnabled(forms::MainForm::kTabOtherPassword, true);
        f.A.setTab(forms::MainForm::kTabOtherPassword);
    }
    // Only what the lock hid comes back: controls this build hides for good (the version
    // check) stay hidden after a login.
    if (!bLogin) {
        if (!m_hiding) {
            m_hidden.clear();
            for (forms::Control* control : lockedControls()) {
                if (control->visible()) {
                    m_hidden.push_back(control);
                }
            }
            m_hiding = true;
        }
        for (forms::Control* control : m_hidden) {
            control->setVisible(false);
        }
    } else if (m_hiding) {
        for (forms::Control* control : m_hidden) {
            control->setVisible(true);
        }
        m_hidden.clear();
        m_hiding = false;
    }
}

bool PasswordLock::matches(const std::string& text) const {
    if (strPassword.empty()) {
        return text.empty();
    }
    const platform::PasswordHasher& hasher = m_context.platform.hasher;
    if (hasher.isHash(strPassword)) {
        return hasher.verify(text, strPassword);
    }
    return sameText(text, strPassword);
}

bool PasswordLock::store(const std::string& password, std::string& storedForm) {
    std::string form;
    if (!password.empty()) {
        form = m_context.platform.hasher.hash(password);
        if (form.empty()) {
            return false;
        }
    }
    if (!m_context.platform.userStore.set(core::kPublisherApp, core::kServiceName, kStoreKey,
                                          form)) {
        return false;
    }
    storedForm = form;
    return true;
}

void PasswordLock::showNewPasswordControls() {
    forms::MainForm& f = m_context.form;
    f.txtNewPass.setVisible(true);
    f.lblNewPass.setVisible(true);
    f.cmdNewPass.setVisible(true);
}

void PasswordLock::message(const std::string& text) {
    m_context.platform.dialogs.messageBox(text, kN, platform::BoxButtons::Ok,
                                          platform::BoxIcon::None);
}

void PasswordLock::cmdPass_Click() {
    forms::MainForm& f = m_context.form;
    const std::string typed = f.txtPass.text();
    const std::string t = trimmed(typed);
    // Blanks alone are no password: nothing would be stored.
    if (t.empty()) {
        message("Please type in a password first.");
        return;
    }
    if (!strPassword.empty()) {
        if (matches(t)) {
            bSettingsUnlocked = true;
            doLogin(true);
            f.lblPassHelp.setCaption(kLoggedIn);
            showNewPasswordControls();
            message(
                "Thank you.  Your password was accepted.  You now can change configuration "
                "settings.");
        } else {
            bSettingsUnlocked = false;
            message("Sorry, the password you entered '" + typed +
                    "' does not match.  Please contact the person who set the password.");
        }
        return;
    }
    std::string storedForm;
    if (!store(t, storedForm)) {
        message(
            "Sorry, your password could not be stored, so no password is set.  The "
            "configuration settings stay unlocked.");
        return;
    }
    strPassword = storedForm;
    bSettingsUnlocked = true;
    f.lblPassHelp.setCaption(kLoggedIn);
    f.txtNewPass.setText("");
    f.lblNewPass.setCaption("Set a different password:");
    f.cmdNewPass.setCaption("Set New Password");
    showNewPasswordControls();
    doLogin(true);
    message("Thank you.  Your password was set.  The next time you start " + kN +
            " will ask for this password before any configuration settings may be changed.");
}

void PasswordLock::cmdNewPass_Click() {
    forms::MainForm& f = m_context.form;
    if (!matches(trimmed(f.txtPass.text()))) {
        message("Please type in the original configuration password first.");
        return;
    }
    const std::string newPassword = trimmed(f.txtNewPass.text());
    std::string storedForm;
    if (!store(newPassword, storedForm)) {
        message(
            "Sorry, the new password could not be stored.  The old password stays in "
            "place.");
        return;
    }
    strPassword = storedForm;
    f.txtPass.setText(newPassword);
    f.txtNewPass.setText("");
    bSettingsUnlocked = true;
    doLogin(true);
    message("Thank you.  The new password was accepted.");
}

void PasswordLock::lblPassHelp_Click() {
    if (nPassHelpClicks < std::numeric_limits<std::int16_t>::max()) {
        ++nPassHelpClicks;
    }
    if (nPassHelpClicks <= 5) {
        return;
    }
    std::string storedForm;
    if (!store("", storedForm)) {
        message("Sorry, the password could not be cleared.");
        return;
    }
    message("The password has been cleared.");
    m_context.form.txtPass.setText("");
    strPassword.clear();
}

}  // namespace halvern::ui
