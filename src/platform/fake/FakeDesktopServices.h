#pragma once

#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/SingleInstance.h"
#include "platform/Sound.h"
#include "platform/Tray.h"

namespace halvern::platform {

/// Records the sounds played.
class FakeSound final : public Sound {
public:
    void play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

/// The tray icon in memory: whether it is shown, with which picture and tip.
class FakeTray final : public Tray {
public:
    bool add(TrayPicture picture, const std::string& tip) override;
    bool modify(TrayPicture picture, const std::string& tip) override;
    void remove() override { shown = false; }

    /// Raises a mouse event as the user's click on the icon would.
    void mouse(TrayMouse event) {
        if (onMouse) {
            onMouse(event);
        }
    }

    bool shown = false;
    TrayPicture picture = TrayPicture::Normal;
    std::string tip;
    int requests = 0;
    /// When false, add and modify fail as with no tray host.
    bool accepts = true;
};

/// A shell that records what it was asked to open or run.
class FakeShell final : public Shell {
public:
    std::string executablePath() const override { return executable; }
    std::string hostsFilePath() const override { return hostsFile; }
    std::string defaultBrowser() const override { return browser; }
    void openInEditor(const std::string& path) override { edited.push_back(path); }
    void openUrl(const std::string& url) override { opened.push_back(url); }
    bool runHidden(const std::string& commandLine) override;
    /// Records the exit code and throws Terminated, so a test sees the program end there.
    [[noreturn]] void terminate(int exitCode) override;
    void quit() override { quitRequested = true; }
    void flushNameCaches() override { ++cacheFlushes; }

    struct Terminated {
        int exitCode;
    };

    std::string executable = "/opt/halvern/zorvik";
    std::string hostsFile = "/etc/hosts";
    std::string browser = "chromium.desktop";
    std::vector<std::string> edited;
    std::vector<std::string> opened;
    std::vector<std::string> commands;
    bool quitRequested = false;
    int cacheFlushes = 0;
};

/// Another copy runs when `otherCopyRunning` is set, the lock cannot be taken when `lockError`
/// is set; signals are counted.
class FakeSingleInstance final : public SingleInstance {
public:
    LockResult acquire() override {
        if (!lockError.empty()) {
            return {LockOutcome::Unavailable, lockPath, lockError};
        }
        return {otherCopyRunning ? LockOutcome::HeldByAnotherCopy : LockOutcome::Acquired,
                lockPath,
                {}};
    }
    void signalRunningCopy() override { ++signals; }
    bool otherCopyRunning = false;
    std::string lockError;
    std::string lockPath = "/run/user/1000/zorvik-1000.lock";
    int signals = 0;
};

}  // namespace halvern::platform
