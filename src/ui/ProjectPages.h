#pragma once

#include <string>

namespace halvern::ui {

/// The project's web address; every page the program opens lies below it.
inline constexpr const char* kProjectUrl = "https://halvern.org";

/// The licence line of the about window.
inline constexpr const char* kLicence =
    "Free software under the GNU General Public License, version 3 or later.";

/// The project's pages that the help commands open in the default browser.
struct ProjectPages {
    static std::string home() { return kProjectUrl; }
    static std::string help() { return home() + "/help"; }
    static std::string audioHelp() { return home() + "/help/audio"; }
    static std::string feedback() { return home() + "/feedback"; }
    static std::string tellAFriend() { return home() + "/tell-a-friend"; }
    static std::string spywareRemoval() { return home() + "/spyware-removal"; }
    /// The security rating, told which of the publisher's programs are installed here.
    static std::string securityRating(const std::string& installed) {
        return home() + "/security-rating?installed=" + installed;
    }
};

}  // namespace halvern::ui
