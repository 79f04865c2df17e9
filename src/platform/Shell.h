#pragma once

#include <string>

namespace halvern::platform {

/// The desktop shell and the program's place on the machine.
class Shell {
public:
    virtual ~Shell() = default;

    /// Full path of the running executable.
    virtual std::string executablePath() const = 0;
    /// The system hosts file.
    virtual std::string hostsFilePath() const = 0;
    /// The command or desktop id of the default web browser, "" when unknown.
    virtual std::string defaultBrowser() const = 0;

    /// Opens a file in the user's text editor, without waiting.
    virtual void openInEditor(const std::string& path) = 0;
    /// Opens a web address in the default browser, without waiting.
    virtual void openUrl(const std::string& url) = 0;
    /// Runs a command line without a window, without waiting; false when it could not start.
    virtual bool runHidden(const std::string& commandLine) = 0;
    /// Makes a change of the hosts file take effect: flushes the name caches the machine runs.
    virtual void flushNameCaches() = 0;
    /// Ends the process at once, without any unload step.
    [[noreturn]] virtual void terminate(int exitCode) = 0;
    /// Leaves the event loop, so the program ends after the current handler.
    virtual void quit() = 0;
};

}  // namespace halvern::platform
