#pragma once

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

private:
    core::Context& m_context;
    adservers::PlaceholderServer& m_server;
};

}  // namespace halvern::popups
