#pragma once

#include <array>
#include <string>
#include <vector>

#include "adservers/PlaceholderServer.h"
#include "core/Context.h"

namespace halvern::popups {

/// The four function-key commands: the drop-down lists of the " Hot Keys" tab choose the keys
/// (and the prefixes of the tray entries that show them), the key poll runs the commands of the
/// pressed ones through their tray entries, and the placeholder server pauses while Ctrl or Alt
/// counts as held. Wires cmbOnOff, cmbIEWhiteList, cmbBlockByTitle and cmbCloseBrowser.
class HotKeys {
public:
    HotKeys(core::Context& context, adservers::PlaceholderServer& server);
    ~HotKeys();
    HotKeys(const HotKeys&) = delete;
    HotKeys& operator=(const HotKeys&) = delete;

    /// The function-key pass of the key poll: runs the command of every newly pressed key.
    void functionKeyPass();
    /// The end of the key poll: the placeholder server is down while a modifier counts as held.
    void pauseWebServer(bool bHotKeyDown);

    /// Whether pauseWebServer would start or stop the server now: false once the server is
    /// already where the modifier wants it, or ad-server blocking is off.
    bool pauseWouldAct(bool bHotKeyDown) const;

    /// The rule of both passes of the key poll: the key was pressed since its last query (the
    /// query clears the latch, so each press is taken once), and the settings window does not
    /// show its " Startup" tab. The tab counts only while the window is shown: downloads select
    /// it by code, and a hidden window must not silence every click and key.
    bool newlyPressed(int key);

    /// The key text the last function-key pass left ("[F5] block pop"), "" when it ran no
    /// command; the button-and-modifier pass goes on from it.
    const std::string& keyText() const { return m_keyText; }

    /// The function key a stored setting names (1 to 12), 0 for none or anything unreadable.
    static int keyNumber(const std::string& setting);

    /// A tray caption with its key prefix (the leading "--", or "F" and its digits) taken off.
    static std::string withoutKeyPrefix(const std::string& caption);

private:
    /// One row of the " Hot Keys" tab: its list, its label, the variable it sets and the tray
    /// entries whose captions carry the key.
    struct Row {
        forms::ComboBox* combo;
        forms::Label* label;
        std::string core::MainState::*variable;
        std::vector<forms::MenuItem*> trayEntries;
    };

    /// The selection handler of a row's drop-down list.
    void keyChosen(const Row& row);
    /// Runs the command of a tray entry as its click would.
    static void runCommand(const forms::MenuItem& entry);

    core::Context& m_context;
    adservers::PlaceholderServer& m_server;
    std::array<Row, 4> m_rows;
    std::string m_keyText;
};

}  // namespace halvern::popups
