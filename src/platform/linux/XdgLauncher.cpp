#include "platform/linux/XdgLauncher.h"

#include "platform/linux/Subprocess.h"

namespace halvern::platform {

namespace {

std::string trimmed(const std::string& text) {
    const char* blanks = " \t\r\n";
    auto first = text.find_first_not_of(blanks);
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

XdgLauncher::XdgLauncher(Millis toolTimeout) : m_toolTimeout(toolTimeout) {}

std::string XdgLauncher::defaultBrowser() const {
    auto result = runCollecting({"xdg-settings", "get", "default-web-browser"}, m_toolTimeout);
    if (!result || result->exitStatus != 0) {
        return {};
    }
    return trimmed(result->output);
}

void XdgLauncher::openInEditor(const std::string& path) {
    spawnDetached({"xdg-open", path});
}

void XdgLauncher::openUrl(const std::string& url) {
    spawnDetached({"xdg-open", url});
}

bool XdgLauncher::runHidden(const std::string& commandLine) {
    return spawnDetached({"/bin/sh", "-c", commandLine});
}

}  // namespace halvern::platform
