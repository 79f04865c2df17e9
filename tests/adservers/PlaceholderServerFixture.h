#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "adservers/PlaceholderServer.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeScheduler.h"
#include "platform/fake/FakeSound.h"
#include "platform/fake/FakeTcpListener.h"

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
    }

    PlaceholderServer::Hooks hooks() {
        return {.AddToStatus = [this](const std::string& t) { statusLines.push_back(t); },
                .putAdServerRecord = [this](const std::string& t) { ring.push_back(t); },
                .IsTempSoundOff = [this] { return state.bTempSoundOff; },
                .GetTimeStamp = {},
                .autoUpdateCheck = [this] { ++updateChecks; }};
    }

    /// One connection, one request; returns the connection.
    ConnectionId request(const std::string& text) {
        const ConnectionId id = net.connect();
        net.clientSend(id, text);
        return id;
    }
    HttpReply ask(const std::string& text) { return split(net.reply(request(text))); }

    platform::FakeScheduler clock;
    platform::FakeFileSystem files;
    platform::FakeSound sound;
    platform::FakeTcpListener net;
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    core::AppPaths paths{"/opt/halvern", "/etc/hosts"};
    BlockCounter counter{form, state, stats};
    std::vector<std::string> statusLines;
    std::vector<std::string> ring;
    int updateChecks = 0;
    PlaceholderServer server{net, clock, files, sound, form, state, counter, paths, hooks()};
};

}  // namespace halvern::adservers::fixture
