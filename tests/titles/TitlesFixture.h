#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "core/BlockedRings.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "popups/BlockedPopupReaction.h"
#include "popups/UserIntent.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"
#include "ui/TrayIcon.h"

namespace halvern::titles::fixture {

using namespace std::chrono_literals;

/// The title subsystem on the fake platform, popup blocking on, every draw 0 (the walk runs on
/// every tick) unless a test says otherwise.
class TitlesTest : public ::testing::Test {
protected:
    TitlesTest() {
        clock.setLocalTime({2026, 12, 10, 9, 5, 7});
        form.chkIEPops.setChecked(true);
        form.chkPopSound.setChecked(true);
        form.txtPopWav.setText("/opt/halvern/pop.wav");
        log.observe([this](const std::string& line) { statusLines.push_back(line); });
        rings.ClearLog();
        titles.scanner.draw = [this] {
            ++draws;
            return nextDraw;
        };
    }

    static std::string listFile(const std::vector<std::string>& entries) {
        std::string text =
            "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
        for (std::size_t i = 0; i < entries.size(); ++i) {
            text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
        }
        return text;
    }
    /// Puts the user's list in place and loads it.
    void useList(const std::vector<std::string>& entries) {
        fake.files.put(paths.getUserTitleIniFileName(), listFile(entries));
        titles.setPopupListArray();
    }

    /// Opens a visible window of another program on this machine.
    platform::WindowId open(const std::string& title, const std::string& className = "XTerm",
                            const std::string& role = "") {
        platform::WindowInfo window;
        window.title = title;
        window.className = className;
        window.role = role;
        window.pid = 777;
        window.localMachine = true;
        window.visible = true;
        return desktop.open(window);
    }
    bool isOpen(platform::WindowId id) const {
        for (const auto& window : desktop.topLevel) {
            if (window.id == id) {
                return true;
            }
        }
        return false;
    }

    /// The title ring's records, oldest first.
    std::vector<std::string> ring() {
        std::vector<std::string> slots;
        rings.cycTitles.GetAllItems(slots);
        std::vector<std::string> items;
        for (std::size_t i = 1; i < slots.size() && !slots[i].empty(); ++i) {
            items.push_back(slots[i]);
        }
        return items;
    }

    testing::FakePlatform fake;
    platform::FakeScheduler& clock = fake.clock;
    platform::FakeDesktop& desktop = fake.desktop;
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    core::AppPaths paths{"/opt/halvern", "/etc/hosts"};
    core::Context context{fake.platform, state, form, stats, paths};
    core::StatusLog log{form, clock};
    core::BlockedRings rings{fake.dialogs};
    core::Settings settings{context, {}};
    ui::TrayIcon tray{context, settings};
    adservers::BlockCounter counter{form, state, stats};
    adservers::PlaceholderServer server{context, log, rings, counter, [] {}};
    popups::UserIntent intent{context, server};
    popups::BlockedPopupReaction reaction{context, tray, counter, intent};
    TitleBlocking titles{context, log, rings, tray, reaction};
    TitleScanner& scanner = titles.scanner;
    std::vector<std::string> statusLines;
    int draws = 0;
    int nextDraw = 0;
};

}  // namespace halvern::titles::fixture
