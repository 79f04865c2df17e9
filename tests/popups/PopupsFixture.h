#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "adservers/PlaceholderServer.h"
#include "popups/PopupBlocking.h"
#include "popups/WhiteList.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"
#include "ui/TrayIcon.h"

namespace halvern::popups::fixture {

using namespace std::chrono_literals;

/// Popup blocking on the fake platform with a connected browser and one open page; the
/// double-click grace the program starts with is over, the popup sound is on.
struct PopupWorld {
    PopupWorld() {
        parts.log.observe([this](const std::string& line) { lines.push_back(line); });
        form.chkIEPops.setChecked(true);
        form.chkPopSound.setChecked(true);
        form.txtPopWav.setText("/opt/halvern/pop.wav");
        popups.intent.TimerDClickOK.setEnabled(false);
        fake.browser.connect();
        page = fake.browser.openPage(kPage);
        popups.createBrowserTracker();
        lines.clear();
    }

    bool allowed(const platform::TargetId& popup) const {
        return std::ranges::find(fake.browser.allowed, popup) != fake.browser.allowed.end();
    }
    bool cancelled(const platform::TargetId& popup) const {
        return std::ranges::find(fake.browser.cancelled, popup) != fake.browser.cancelled.end();
    }
    bool logged(const std::string& line) const {
        return std::ranges::find(lines, line) != lines.end();
    }
    /// The position of a line in the log, or -1.
    long at(const std::string& line) const {
        const auto found = std::ranges::find(lines, line);
        return found == lines.end() ? -1 : found - lines.begin();
    }

    static inline const std::string kPage = "https://news.example/a?x=1&y=2";

    testing::FakePlatform fake;
    testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    forms::MainForm& form = parts.form;
    ui::TrayIcon tray{parts.context, parts.settings};
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings, parts.counter,
                                        [] {}};
    WhiteList whiteList{parts.context, parts.log, parts.rings};
    PopupBlocking popups{parts.context, parts.log,     parts.help, parts.settings,
                         tray,          parts.counter, server,     whiteList};
    UserIntent& intent = popups.intent;
    PopupDecision& decision = popups.decision;
    platform::TargetId page;
    std::vector<std::string> lines;
};

}  // namespace halvern::popups::fixture
