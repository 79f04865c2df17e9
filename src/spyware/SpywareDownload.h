#pragma once

#include <functional>
#include <string>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "platform/Http.h"
#include "spyware/SpywareScanner.h"

namespace halvern::spyware {

/// Refreshes the spyware list from the update server's "/zshared/spyware.txt": new programs are
/// added as watched and asked about first, known ones take the new description and keep the
/// user's choices, and programs the server no longer lists stay.
class SpywareDownload {
public:
    SpywareDownload(core::Context& context, core::StatusLog& log, SpywareScanner& scanner);

    /// Downloads and merges the list; with bShowStatus a failed connection is explained in the
    /// status line. One download at a time: a call while one runs does nothing.
    void ProcessSpyWare(bool bShowStatus);

    /// The update server's address, without a trailing slash ("https://host"); the program
    /// connects it to the update settings.
    std::function<std::string()> updateServer;
    /// The transfer itself: the body, or "" with the reason in error. The program connects its
    /// download machinery (proxy, retries, one download at a time); while nothing is connected a
    /// plain request goes out.
    std::function<std::string(const std::string& address, platform::Millis timeout,
                              std::string& error)>
        fetcher;
    /// The project's own server, used while nothing else is connected.
    static constexpr const char* kDefaultUpdateServer = "https://updates.halvern.org";
    /// Where the list lies on the update server.
    static constexpr const char* kListPath = "/zshared/spyware.txt";
    /// The fetch's time limit.
    static constexpr platform::Millis kTimeout{20000};
    /// The pause after each line shown, so that the user can follow.
    static constexpr platform::Millis kLinePause{50};

    /// The address the list is fetched from.
    std::string listAddress() const;

private:
    /// The one place the list is fetched: the body, or "" with the reason in error.
    std::string fetch(const std::string& address, platform::Millis timeout, std::string& error);

    core::Context& m_ctx;
    core::StatusLog& m_log;
    SpywareScanner& m_scanner;
    bool m_busy = false;
};

}  // namespace halvern::spyware
