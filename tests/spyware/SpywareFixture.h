#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spyware/SpywareDetection.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"
#include "ui/TrayIcon.h"

namespace halvern::testing {

/// The spyware subsystem on the fake platform, with the status log's lines collected.
struct SpywareFixture : ::testing::Test {
    SpywareFixture() {
        parts.log.observe([this](const std::string& line) { logLines.push_back(line); });
    }

    static inline const std::string kList = FakePlatform::kAppFolder + "/zvspyware.ini";

    /// A list file holding the given [Spyware] lines.
    void writeList(const std::vector<std::string>& lines) {
        std::string text = "[Spyware]\r\n";
        for (const std::string& line : lines) {
            text += line + "\r\n";
        }
        fake.files.put(kList, text);
    }
    /// A process of the user running the executable; comm defaults to its first 15 bytes.
    int run(const std::string& exe, std::string comm = {}) {
        platform::ProcessInfo info;
        info.exe = exe;
        info.uid = *fake.processes.endableUser;
        if (comm.empty()) {
            comm = exe.substr(exe.rfind('/') + 1).substr(0, 15);
        }
        info.comm = comm;
        return fake.processes.start(info);
    }
    /// The spyware ring's records as the log window lists them, newest first.
    std::vector<std::string> records() {
        forms::ListBox list("lstSpyware");
        parts.rings.FillListSpywareTitles(list);
        return list.items();
    }
    bool logged(const std::string& part) const {
        for (const std::string& line : logLines) {
            if (line.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    /// A scan, then time for the ends it asked for.
    void scan() {
        spyware.scanner.TimerSpyWare_Timer();
        fake.clock.advance(std::chrono::milliseconds(1000));
    }

    FakePlatform fake;
    ProgramParts parts{fake.platform, core::AppPaths(FakePlatform::kAppFolder, "/etc/hosts")};
    ui::TrayIcon tray{parts.context, parts.settings};
    spyware::SpywareDetection spyware{parts.context, parts.log, parts.rings, tray};
    std::vector<std::string> logLines;
};

}  // namespace halvern::testing
