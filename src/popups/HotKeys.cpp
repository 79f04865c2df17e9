#include "popups/HotKeys.h"

#include "base/ValueConversion.h"
#include "platform/InputDevice.h"

namespace halvern::popups {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

/// The virtual-key code of function key n is 111 + n (F1 = 112).
constexpr int kFunctionKeyBase = 111;

}  // namespace

HotKeys::HotKeys(core::Context& context, adservers::PlaceholderServer& server)
    : m_context(context),
      m_server(server),
      m_rows{{
          {&context.form.cmbOnOff,
           &context.form.lblOnOff,
           &core::MainState::ngOnOff,
           {&context.form.mnuTrayPopups}},
          {&context.form.cmbIEWhiteList,
           &context.form.lblIEWhiteList,
           &core::MainState::ngIEWhiteList,
           {&context.form.mnuTrayLastIEPop}},
          {&context.form.cmbBlockByTitle,
           &context.form.lblBlockByTitle,
           &core::MainState::ngBlockByTitle,
           {&context.form.mnuTrayBlockTitle, &context.form.mnuTrayLastPop}},
          {&context.form.cmbCloseBrowser,
           &context.form.lblCloseBrowser,
           &core::MainState::ngCloseBrowser,
           {&context.form.mnuTrayCloseBrowser}},
      }} {
    for (const Row& row : m_rows) {
        row.combo->onClick = [this, &row] { keyChosen(row); };
    }
}

HotKeys::~HotKeys() {
    for (const Row& row : m_rows) {
        row.combo->onClick = nullptr;
    }
}

int HotKeys::keyNumber(const std::string& setting) {
    return base::ValueConversion::toInt32(setting).value_or(0);
}

std::string HotKeys::withoutKeyPrefix(const std::string& caption) {
    if (caption.starts_with("--")) {
        return caption.substr(2);
    }
    if (caption.size() > 1 && caption[0] == 'F' && isDigit(caption[1])) {
        std::size_t end = 1;
        while (end < caption.size() && isDigit(caption[end])) {
            ++end;
        }
        return caption.substr(end);
    }
    return caption;
}

void HotKeys::keyChosen(const Row& row) {
    // The settings load selects the stored keys and writes the captions itself.
    if (m_context.state.bLoadingSettings) {
        return;
    }
    const std::string text = row.combo->text();
    const int number = text.starts_with("F") ? keyNumber(text.substr(1)) : 0;
    std::string prefix = "--";
    if (number > 0) {
        row.label->setCaption(text);
        m_context.state.*row.variable = std::to_string(number);
        prefix = text;
    } else {
        row.label->setCaption("---");
        m_context.state.*row.variable = "0";
    }
    // Only the prefix changes: "F10 - Block ..." becomes "F5 - Block ...", "-- - Block ..."
    // for none, and a caption the load wrote without a key ("-- Block ...") becomes
    // "F3 Block ...".
    for (forms::MenuItem* entry : row.trayEntries) {
        entry->setCaption(prefix + withoutKeyPrefix(entry->caption()));
    }
}

bool HotKeys::newlyPressed(int key) {
    // The latch is read (and so cleared) even while the tab holds the keys back: a press made
    // then is dropped, not kept for later.
    const bool pressed = m_context.platform.input.pressedSinceLastQuery(key);
    const forms::MainForm& form = m_context.form;
    return pressed && !(form.frmMain.visible() && form.A.tab() == forms::MainForm::kTabStartup);
}

void HotKeys::runCommand(const forms::MenuItem& entry) {
    // The key runs the entry's command directly, as the old handler call did: the white-list
    // entry is disabled until the first popup is blocked, yet its key opens the editor. An
    // entry whose command is not built has no handler, and the key does nothing.
    const forms::Handler command = entry.onClick;
    if (command) {
        command();
    }
}

void HotKeys::functionKeyPass() {
    m_keyText.clear();
    forms::MainForm& form = m_context.form;
    const core::MainState& state = m_context.state;
    for (int k = platform::vk::kF1; k <= platform::vk::kF12; ++k) {
        if (!newlyPressed(k)) {
            continue;
        }
        form.LblVKeycode.setCaption(std::to_string(k));
        // The four tests are independent: a key given to several commands runs them all, in
        // this order. The settings are read again for each, as a command may change them.
        if (keyNumber(state.ngIEWhiteList) + kFunctionKeyBase == k) {
            m_keyText = "[F" + std::to_string(keyNumber(state.ngIEWhiteList)) + "] WL IE";
            runCommand(form.mnuTrayLastIEPop);
        }
        if (keyNumber(state.ngBlockByTitle) + kFunctionKeyBase == k) {
            m_keyText = "[F" + std::to_string(keyNumber(state.ngBlockByTitle)) + "] Block T";
            runCommand(form.mnuTrayBlockTitle);
        }
        if (keyNumber(state.ngOnOff) + kFunctionKeyBase == k) {
            m_keyText = "[F" + std::to_string(keyNumber(state.ngOnOff)) + "] block pop";
            runCommand(form.mnuTrayPopups);
        }
        if (keyNumber(state.ngCloseBrowser) + kFunctionKeyBase == k) {
            m_keyText = "[F" + std::to_string(keyNumber(state.ngCloseBrowser)) + "] close b";
            runCommand(form.mnuTrayCloseBrowser);
        }
        form.LblKeyName.setCaption(m_keyText);
    }
}

bool HotKeys::pauseWouldAct(bool bHotKeyDown) const {
    // Once the exit has begun the server stays down: the exit stops it, and a poll that runs
    // inside one of the exit's boxes must not start it again.
    const core::MainState& state = m_context.state;
    return !state.bExiting && m_context.form.chkAdServers.checked() &&
           bHotKeyDown == state.bWebServerOn;
}

void HotKeys::pauseWebServer(bool bHotKeyDown) {
    if (!pauseWouldAct(bHotKeyDown)) {
        return;
    }
    if (bHotKeyDown) {
        m_server.StopWebServer();
    } else {
        m_server.StartWebServerCrap();
    }
}

}  // namespace halvern::popups
