#pragma once

#include <optional>
#include <string>
#include <vector>

namespace halvern::helper {

/// zorvik-helper's command line: [--socket PATH] [--group NAME] [--hosts PATH].
struct Options {
    std::string socketPath = "/run/zorvik-helper.sock";
    std::string group = "zorvik";
    std::string hostsPath = "/etc/hosts";
    /// --hosts was given: a test's hosts file, which the helper may serve without root.
    bool hostsGiven = false;
    bool help = false;

    /// The options, or nothing with the reason in error.
    static std::optional<Options> parse(const std::vector<std::string>& arguments,
                                        std::string& error);
    static const char* usage();
};

}  // namespace halvern::helper
