#pragma once

#include <string>
#include <vector>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

namespace halvern::testing {

/// The fakes and the main-window services the system options are built from, with the status
/// log's lines kept.
struct SystemFixture {
    SystemFixture() {
        parts.log.observe([this](const std::string& line) { logLines.push_back(line); });
    }

    /// The once-only message's box text for a message.
    static std::string once(const std::string& message) {
        return message + "\r\n\r\nYou will not see this message again.";
    }

    FakePlatform fake;
    ProgramParts parts{fake.platform, core::AppPaths(FakePlatform::kAppFolder, "/etc/hosts")};
    forms::MainForm& form = parts.form;
    std::vector<std::string> logLines;
};

}  // namespace halvern::testing
