#pragma once

#include <chrono>
#include <functional>

#include "platform/Scheduler.h"
#include "platform/Shell.h"

namespace halvern::platform {

/// The desktop shell on Linux: xdg-open for files and pages, xdg-settings for the default
/// browser, /bin/sh for hidden commands, nscd and systemd-resolved for the name caches. Programs
/// are started detached and never waited for; the few whose answer is needed get toolTimeout.
class LinuxShell final : public Shell {
public:
    explicit LinuxShell(Millis toolTimeout = std::chrono::seconds(2));

    std::string executablePath() const override;
    std::string hostsFilePath() const override { return "/etc/hosts"; }
    std::string defaultBrowser() const override;
    void openInEditor(const std::string& path) override;
    void openUrl(const std::string& url) override;
    bool runHidden(const std::string& commandLine) override;
    void flushNameCaches() override;
    [[noreturn]] void terminate(int exitCode) override;
    void quit() override;

    /// Set by the composition root to leave its event loop.
    std::function<void()> onQuit;

private:
    Millis m_toolTimeout;
};

}  // namespace halvern::platform
