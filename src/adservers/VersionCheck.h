#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "adservers/UpdateFetch.h"
#include "core/Context.h"

namespace halvern::adservers {

/// "&Check for newer version" (Ctrl+N) and the "New?" button: asks the update server for the
/// newest release and its features, and either confirms the running one is the latest or offers
/// the download of the new one, which opens in the browser before the program exits. Wires
/// mnuVersion and cmdNew.
class VersionCheck {
public:
    /// The feature text when the server gives none.
    static constexpr const char* kUnavailable =
        "Temporarily unavailable...  Please try agian later.";
    /// The product's web site, whose download page the offer names.
    static constexpr const char* kProductSite = "https://halvern.org/";

    /// What GetNewVersionInfo found.
    struct Info {
        std::string current;
        std::string newest;
        std::string features;
        bool isLatest = true;
    };

    /// runningVersion is major.minor.revision; exitProgram is the exit command.
    VersionCheck(core::Context& context, UpdateFetch& fetch, std::string runningVersion,
                 std::function<void()> exitProgram);
    VersionCheck(const VersionCheck&) = delete;
    VersionCheck& operator=(const VersionCheck&) = delete;

    /// Fetches version.txt and compares its version with the running one.
    Info GetNewVersionInfo();
    void mnuVersion_Click();
    /// Nothing while the settings load.
    void cmdNew_Click();

    /// The installer's address on the update server.
    std::string installerUrl() const;
    /// A version d.d.d as its three numbers; nothing for any other text.
    static std::optional<std::array<long, 3>> parseVersion(std::string_view text);

private:
    platform::Dialogs& m_dialogs;
    platform::Launcher& m_launcher;
    core::MainState& m_state;
    forms::MainForm& m_form;
    UpdateFetch& m_fetch;
    std::string m_runningVersion;
    std::function<void()> m_exitProgram;
};

}  // namespace halvern::adservers
