#pragma once

#include <chrono>

#include "platform/Launcher.h"
#include "platform/Scheduler.h"

namespace halvern::platform {

/// Starts programs on a Linux desktop: xdg-open for files and pages, xdg-settings for the
/// default browser, /bin/sh for hidden commands. Programs are started detached and never waited
/// for; xdg-settings, whose answer is needed, gets toolTimeout.
class XdgLauncher final : public Launcher {
public:
    explicit XdgLauncher(Millis toolTimeout = std::chrono::seconds(2));

    std::string defaultBrowser() const override;
    void openInEditor(const std::string& path) override;
    void openUrl(const std::string& url) override;
    bool runHidden(const std::string& commandLine) override;

private:
    Millis m_toolTimeout;
};

}  // namespace halvern::platform
