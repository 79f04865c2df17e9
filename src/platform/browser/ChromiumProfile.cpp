#include "platform/browser/ChromiumProfile.h"

#include <signal.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <system_error>

namespace halvern::platform {

namespace {

std::string absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] == '/' ? value : "";
}

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return name.data();
}

}  // namespace

std::string ChromiumProfile::folderFor(const std::vector<std::string>& arguments) {
    constexpr std::string_view kOption = "--user-data-dir=";
    std::string folder;
    for (const std::string& argument : arguments) {
        if (argument.rfind(kOption, 0) == 0) {
            folder = argument.substr(kOption.size());
        }
    }
    if (!folder.empty()) {
        std::error_code error;
        const auto absolute = std::filesystem::absolute(folder, error);
        return error ? folder : absolute.lexically_normal().string();
    }
    const std::string config = absoluteVariable("XDG_CONFIG_HOME");
    if (!config.empty()) {
        return config + "/chromium";
    }
    return absoluteVariable("HOME") + "/.config/chromium";
}

long ChromiumProfile::runningBrowser(const std::string& folder) {
    std::error_code error;
    const std::string target = std::filesystem::read_symlink(folder + "/SingletonLock", error);
    if (error) {
        return 0;
    }
    // "<host>-<pid>": the host name may hold dashes itself, the pid never does.
    const std::size_t dash = target.rfind('-');
    if (dash == std::string::npos || target.substr(0, dash) != hostName()) {
        return 0;
    }
    long pid = 0;
    const char* first = target.data() + dash + 1;
    const char* last = target.data() + target.size();
    const auto [end, failure] = std::from_chars(first, last, pid);
    if (failure != std::errc() || end != last || pid <= 0) {
        return 0;
    }
    const bool alive = ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
    return alive ? pid : 0;
}

}  // namespace halvern::platform
