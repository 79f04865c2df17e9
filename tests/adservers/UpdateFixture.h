#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "adservers/AdDataUpdate.h"
#include "adservers/AdServerBlocking.h"
#include "adservers/ConnectionSettings.h"
#include "adservers/PlaceholderServer.h"
#include "adservers/UpdateFetch.h"
#include "adservers/VersionCheck.h"
#include "support/FakePlatform.h"

namespace halvern::adservers::fixture {

using namespace std::chrono_literals;
using Names = std::vector<std::string>;
using Script = platform::FakeHttp::Script;

inline const std::string kServer = "http://updates.test";
inline const std::string kHosts = "/etc/hosts";
inline const std::string kBackup = "/etc/hostszvb";
inline const std::string kDefaultList = "/opt/halvern/zorvikhosts.ini";
inline const std::string kUserList = "/opt/halvern/userhosts.ini";
inline const std::string kRemovalsList = "/opt/halvern/removals.ini";
inline const std::string kIni = "/opt/halvern/zorvik.ini";

/// An answer of the server.
inline Script reply(int status, std::string body, platform::Millis delay = 10ms) {
    Script script;
    script.status = status;
    script.body = std::move(body);
    script.delay = delay;
    return script;
}
/// A transfer that fails with the given error.
inline Script failure(std::string error, platform::Millis delay = 10ms) {
    Script script = reply(200, "", delay);
    script.error = std::move(error);
    return script;
}

/// A numbered-list file as the program writes it.
inline std::string listFile(const Names& entries) {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
    }
    return text;
}

/// A list as the update server sends it: CR LF lines, "[END]" last.
inline std::string served(const Names& lines) {
    std::string body;
    for (const std::string& line : lines) {
        body += line + "\r\n";
    }
    return body + "[END]";
}

/// The whole update machinery on the fake platform, with the update server at kServer.
class UpdateTest : public ::testing::Test {
protected:
    UpdateTest() {
        state.UpdateServer = kServer + "/";
        fake.clock.setLocalTime({2026, 12, 10, 9, 0, 0});
        statusLog.observe([this](const std::string& text) { log.push_back(text); });
        form.lblStatus.changed().connect([this] {
            if (statuses.empty() || statuses.back() != form.lblStatus.caption()) {
                statuses.push_back(form.lblStatus.caption());
            }
        });
    }

    /// Scripts one answer for a path of the update server.
    void serve(std::string_view path, Script script) {
        fake.http.scripts[kServer + std::string(path)] = {std::move(script)};
    }
    void serve(std::string_view path, const std::string& body) { serve(path, reply(200, body)); }
    /// The paths asked for, in order.
    Names requested() const {
        Names asked;
        for (const auto& request : fake.http.requests) {
            asked.push_back(request.url.substr(0, kServer.size()) == kServer
                                ? request.url.substr(kServer.size())
                                : request.url);
        }
        return asked;
    }
    void lists(const Names& defaults, const Names& users = {}) {
        fake.files.put(kDefaultList, listFile(defaults));
        fake.files.put(kUserList, listFile(users));
    }
    std::string text(const std::string& path) const { return fake.files.text(path); }
    /// Whether a text passed through the status line since the start.
    bool statusShown(const std::string& text) const {
        return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
    }

    halvern::testing::FakePlatform fake;
    core::MainState state;
    core::AppPaths appPaths{"/opt/halvern", kHosts};
    forms::MainForm form;
    forms::StatsForm stats;
    core::Context context{fake.platform, state, form, stats, appPaths};
    core::StatusLog statusLog{form, fake.clock};
    core::BlockedRings rings{fake.dialogs};
    ui::HelpLine help{fake.clock, form};
    core::Settings settings{context, {}};
    BlockCounter counter{form, state, stats};
    PlaceholderServer server{context, statusLog, rings, counter, [this] { onAd(); }};
    AdServerBlocking blocking{context, statusLog, help, settings, server};
    UpdateFetch fetch{context, statusLog};
    /// The spyware download's runs: their bShowStatus, and how many requests came before each.
    std::vector<bool> spywareRuns;
    std::size_t requestsBeforeSpyware = 0;
    AdDataUpdate update{context, statusLog, help, settings, blocking, fetch, [this](bool show) {
                            spywareRuns.push_back(show);
                            requestsBeforeSpyware = fake.http.requests.size();
                        }};
    /// What the placeholder server does after each answered ad.
    std::function<void()> onAd = [this] { update.autoUpdateCheck(); };
    Names log;
    /// Every text the status line showed, in order.
    Names statuses;
};

}  // namespace halvern::adservers::fixture
