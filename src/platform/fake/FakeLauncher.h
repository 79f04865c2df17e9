#pragma once

#include <string>
#include <vector>

#include "platform/Launcher.h"

namespace halvern::platform {

/// A launcher that records what it was asked to open or run.
class FakeLauncher final : public Launcher {
public:
    std::string defaultBrowser() const override { return browser; }
    void openInEditor(const std::string& path) override { edited.push_back(path); }
    void openUrl(const std::string& url) override { opened.push_back(url); }
    bool runHidden(const std::string& commandLine) override;

    std::string browser = "chromium.desktop";
    std::vector<std::string> edited;
    std::vector<std::string> opened;
    std::vector<std::string> commands;
};

}  // namespace halvern::platform
