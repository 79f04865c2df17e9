#pragma once

#include <string>

namespace halvern::platform {

/// Starts the user's programs: the text editor, the web browser and hidden commands. Nothing
/// started is waited for.
class Launcher {
public:
    virtual ~Launcher() = default;

    /// The command or desktop id of the default web browser, "" when unknown.
    virtual std::string defaultBrowser() const = 0;
    /// Opens a file in the user's text editor, without waiting.
    virtual void openInEditor(const std::string& path) = 0;
    /// Opens a web address in the default browser, without waiting.
    virtual void openUrl(const std::string& url) = 0;
    /// Runs a command line without a window, without waiting; false when it could not start.
    virtual bool runHidden(const std::string& commandLine) = 0;
};

}  // namespace halvern::platform
