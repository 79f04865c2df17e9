#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "adservers/PlaceholderServer.h"
#include "support/FakePlatform.h"

namespace halvern::adservers::fixture {

using namespace std::chrono_literals;
using ConnectionId = platform::TcpListener::ConnectionId;

// A binary image: NUL bytes must reach the client unchanged.
inline const std::string kImage("GIF89a\x01\x00\x01\x00pixel", 15);

/// A reply split into its status line, headers and body.
struct HttpReply {
    std::string statusLine;
    std::map<std::string, std::string> headers;
    std::string body;
};

inline HttpReply split(const std::string& raw) {
    HttpReply r;
    const std::size_t headEnd = raw.find("\r\n\r\n");
    if (headEnd == std::string::npos) {
        r.body = raw;
        return r;
    }
    std::size_t pos = raw.find("\r\n");
    r.statusLine = raw.substr(0, pos);
    while (pos < headEnd) {
        const std::size_t next = raw.find("\r\n", pos + 2);
        const std::string line = raw.substr(pos + 2, next - pos - 2);
        const std::size_t colon = line.find(": ");
        r.headers[line.substr(0, colon)] = line.substr(colon + 2);
        pos = next;
    }
    r.body = raw.substr(headEnd + 4);
    return r;
}

class PlaceholderServerTest : public ::testing::Test {
protected:
    PlaceholderServerTest() {
        files.put("/opt/halvern/1by1.jpg", kImage);
        form.chkBannerSound.setChecked(true);
        form.txtBannerWav.setText("/opt/halvern/ad.wav");
        form.lblAllowServer.setVisible(false);
        clock.setLocalTime({2026, 12, 10, 9, 5, 7});
        log.observe([this](const std::string& t) { statusLines.push_back(t); });
        rings.ClearLog();
    }

    /// The ad-server ring's records, oldest first.
    std::vector<std::string> ring() {
        std::vector<std::string> slots;
        rings.cycAdServers.GetAllItems(slots);
        std::vector<std::string> items;
        for (std::size_t i = 1; i < slots.size() && !slots[i].empty(); ++i) {
            items.push_back(slots[i]);
        }
        return items;
    }

    /// One connection, one request; returns the connection.
    ConnectionId request(const std::string& text) {
        const ConnectionId id = net.connect();
        net.clientSend(id, text);
        return id;
    }
    HttpReply ask(const std::string& text) { return split(net.reply(request(text))); }

    testing::FakePlatform fake;
    platform::FakeScheduler& clock = fake.clock;
    platform::FakeFileSystem& files = fake.files;
    platform::FakeSound& sound = fake.sound;
    platform::FakeTcpListener& net = fake.listener;
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    core::AppPaths paths{"/opt/halvern", "/etc/hosts"};
    core::Context context{fake.platform, state, form, stats, paths};
    core::StatusLog log{form, clock};
    core::BlockedRings rings{fake.dialogs};
    BlockCounter counter{form, state, stats};
    std::vector<std::string> statusLines;
    int updateChecks = 0;
    PlaceholderServer server{context, log, rings, counter, [this] { ++updateChecks; }};
};

}  // namespace halvern::adservers::fixture
