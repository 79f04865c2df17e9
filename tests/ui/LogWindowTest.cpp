#include "ui/LogWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using namespace std::chrono_literals;
using halvern::platform::BoxAnswer;
using halvern::platform::BoxButtons;
using halvern::platform::FakeScratchFiles;
using halvern::ui::LogWindow;

namespace {

const std::string kExport = FakeScratchFiles::kFolder + "/tempZV.txt";

struct LogWindowTest : ::testing::Test {
    LogWindowTest() {
        window.editors.setWhiteListItemText = [this](const std::string& t) {
            calls.push_back("text:" + t);
        };
        window.editors.setLastIEPopURL = [this](const std::string& u) {
            calls.push_back("url:" + u);
        };
        window.editors.frmExclude = [this] { calls.emplace_back("frmExclude"); };
        window.editors.frmIEWhiteList = [this] { calls.emplace_back("frmIEWhiteList"); };
        window.editors.frmPopupTitles = [this] { calls.emplace_back("frmPopupTitles"); };
        window.editors.frmAdWare = [this] { calls.emplace_back("frmAdWare"); };
        parts.log.observe([this](const std::string& line) { logLines.push_back(line); });
    }

    const std::vector<std::string>& list() const { return window.form.lstBlocked.items(); }
    halvern::core::BlockedRings& rings() { return parts.rings; }

    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    LogWindow window{parts.context, parts.rings, parts.log};
    std::vector<std::string> calls;
    std::vector<std::string> logLines;
};

TEST_F(LogWindowTest, EachEmptyViewExplainsItselfAndTheCurrentButtonIsBold) {
    window.open();
    EXPECT_TRUE(window.form.frmLastBlocked.visible());
    EXPECT_EQ(window.form.frmLastBlocked.caption(), "Recent Ads Blocked");
    struct Case {
        halvern::forms::Button* button;
        int view;
        std::string line;
    } cases[] = {
        {&window.form.cmdByAdServer, 1,
         "No Ads Blocked by Host (ad server) yet during this Zorvik session."},
        {&window.form.cmdIEPopups, 2, "No Ads Blocked by Unsolicited Internet Explorer Popups."},
        {&window.form.cmdTitles, 3,
         "No Ads Blocked by Window Title yet during this Zorvik session."},
        {&window.form.cmdSpyWare, 4, "No Spyware programs have been closed by Zorvik yet today."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.view);
        c.button->click();
        EXPECT_EQ(window.nView, c.view);
        EXPECT_EQ(list(), std::vector<std::string>{c.line});
        for (const Case& other : cases) {
            EXPECT_EQ(other.button->bold(), other.view == c.view) << other.button->name();
        }
    }
}

TEST_F(LogWindowTest, ViewsListTheirRecordNewestFirst) {
    rings().cycAdServers.PutItem("10:00:01 ad.one");
    rings().cycAdServers.PutItem("10:00:02 ad.two");
    rings().cycIEPopups.PutItem("10:00:03 popup");
    rings().cycTitles.PutItem("10:00:04 title");
    rings().cycSpyware.PutItem("10:00:05 spy");
    window.open();
    EXPECT_EQ(list(), (std::vector<std::string>{"10:00:02 ad.two", "10:00:01 ad.one"}));
    window.form.cmdIEPopups.click();
    EXPECT_EQ(list(), std::vector<std::string>{"10:00:03 popup"});
    window.form.cmdTitles.click();
    EXPECT_EQ(list(), std::vector<std::string>{"10:00:04 title"});
    window.form.cmdSpyWare.click();
    EXPECT_EQ(list(), std::vector<std::string>{"10:00:05 spy"});
}

TEST_F(LogWindowTest, ViewsOneToThreeRefreshEveryFiveSecondsViewFourNever) {
    window.open();
    rings().cycAdServers.PutItem("r1");
    fake.clock.advance(4999ms);
    EXPECT_EQ(list().size(), 1u);
    EXPECT_NE(list()[0], "r1");
    fake.clock.advance(1ms);
    EXPECT_EQ(list(), std::vector<std::string>{"r1"});

    // A refill of an empty record adds no explanatory line.
    window.form.cmdTitles.click();
    fake.clock.advance(5s);
    EXPECT_TRUE(list().empty());

    window.form.cmdSpyWare.click();
    const std::vector<std::string> shown = list();
    rings().cycSpyware.PutItem("spy");
    fake.clock.advance(20s);
    EXPECT_EQ(list(), shown);

    // A closed window is not refreshed.
    window.form.cmdByAdServer.click();
    window.form.cmdCancel.click();
    EXPECT_FALSE(window.form.frmLastBlocked.visible());
    rings().cycAdServers.PutItem("r2");
    fake.clock.advance(10s);
    EXPECT_EQ(list(), std::vector<std::string>{"r1"});
}

TEST_F(LogWindowTest, ReopeningStartsInViewOneAndAnOpenWindowKeepsItsView) {
    window.open();
    window.form.cmdTitles.click();
    window.open();
    EXPECT_EQ(window.nView, 3);
    window.form.cmdCancel.click();
    window.open();
    EXPECT_EQ(window.nView, 1);
}

TEST_F(LogWindowTest, CopyWritesThePrivateExportAndOpensIt) {
    rings().cycAdServers.PutItem("a");
    rings().cycAdServers.PutItem("b");
    window.open();
    window.form.cmdCopy.click();
    EXPECT_EQ(fake.scratch.files.at(kExport), "b\r\na\r\n\r\n");
    EXPECT_EQ(fake.launcher.edited, std::vector<std::string>{kExport});
    EXPECT_EQ(window.form.lstBlocked.listIndex(), 1) << "the walk selects each line in turn";

    // An empty view (after a refresh) writes one empty line.
    window.form.cmdTitles.click();
    fake.clock.advance(5s);
    window.form.cmdCopy.click();
    EXPECT_EQ(fake.scratch.files.at(kExport), "\r\n");
}

TEST_F(LogWindowTest, AFailedCopyRemovesTheOldExportAndSaysSo) {
    window.open();
    window.form.cmdCopy.click();
    ASSERT_TRUE(fake.scratch.files.contains(kExport));

    EXPECT_TRUE(fake.dialogs.boxes().empty());

    fake.scratch.fails = true;
    window.form.cmdCopy.click();
    EXPECT_FALSE(fake.scratch.files.contains(kExport)) << "stale data would open as current";
    EXPECT_EQ(fake.launcher.edited.size(), 2u);
    ASSERT_FALSE(logLines.empty());
    const std::string notWritten = "The log could not be written to " + kExport + ".";
    EXPECT_EQ(logLines.back(), notWritten);
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text, notWritten);

    fake.scratch.noFolder = true;
    window.form.cmdCopy.click();
    EXPECT_EQ(fake.launcher.edited.size(), 2u) << "nothing to open";
    const std::string noFolder = "The log could not be exported: no private folder for tempZV.txt.";
    EXPECT_EQ(logLines.back(), noFolder);
    ASSERT_EQ(fake.dialogs.boxes().size(), 2u) << "not silent";
    EXPECT_EQ(fake.dialogs.boxes()[1].text, noFolder);
    EXPECT_EQ(fake.dialogs.boxes()[1].icon, halvern::platform::BoxIcon::Warning);
}

TEST_F(LogWindowTest, ClearAnsweredNoKeepsEverythingYesEmptiesAllFourAndShowsViewOne) {
    for (auto* ring :
         {&rings().cycAdServers, &rings().cycIEPopups, &rings().cycTitles, &rings().cycSpyware}) {
        ring->PutItem("x");
    }
    window.open();
    window.form.cmdTitles.click();
    fake.dialogs.answerNext(BoxAnswer::No);
    window.form.cmdClear.click();
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    const auto& box = fake.dialogs.boxes()[0];
    EXPECT_EQ(box.title, "Clear Log?");
    EXPECT_EQ(box.buttons, BoxButtons::YesNo);
    EXPECT_EQ(box.text,
              "Click YES to clear the log of recently blocked ads (ALL TYPES OF ADS). The log is "
              "automatically cleared when you close Zorvik.\r\n\r\nClick NO to leave the recent "
              "ads blocked list alone.");
    EXPECT_EQ(window.nView, 3);
    EXPECT_EQ(list(), std::vector<std::string>{"x"});
    EXPECT_FALSE(rings().cycSpyware.IsEmpty());

    fake.dialogs.answerNext(BoxAnswer::Yes);
    window.form.cmdClear.click();
    EXPECT_EQ(window.nView, 1);
    EXPECT_EQ(list(), std::vector<std::string>{
                          "No Ads Blocked by Host (ad server) yet during this Zorvik session."});
    for (auto* ring :
         {&rings().cycAdServers, &rings().cycIEPopups, &rings().cycTitles, &rings().cycSpyware}) {
        EXPECT_TRUE(ring->IsEmpty());
    }
}

TEST_F(LogWindowTest, DoubleClickHandsTheLineToItsEditorAndCloses) {
    struct Case {
        int view;
        std::string line;
        std::vector<std::string> calls;
    } cases[] = {
        {1, "10:00:01 ad.example.com", {"text:10:00:01 ad.example.com", "frmExclude"}},
        {2,
         "10:00:02 Popup from 'http://a.example/p' blocked",
         {"text:10:00:02 Popup from 'http://a.example/p' blocked", "url:http://a.example/p",
          "frmIEWhiteList"}},
        {2, "no quotes at all", {"text:no quotes at all", "frmIEWhiteList"}},
        {2, "only 'one quote", {"text:only 'one quote", "frmIEWhiteList"}},
        {2, "empty '' pair", {"text:empty '' pair", "url:", "frmIEWhiteList"}},
        {2, "'a' and 'b'", {"text:'a' and 'b'", "url:a", "frmIEWhiteList"}},
        {3, "10:00:03 Messenger Service", {"text:10:00:03 Messenger Service", "frmPopupTitles"}},
        {4, "10:00:04 spy.exe", {"text:10:00:04 spy.exe", "frmAdWare"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        calls.clear();
        window.open();
        window.selectView(c.view);
        window.form.lstBlocked.clear();
        window.form.lstBlocked.addItem(c.line);
        window.form.lstBlocked.setListIndex(0);
        window.form.lstBlocked.dblClick();
        EXPECT_EQ(calls, c.calls);
        EXPECT_FALSE(window.form.frmLastBlocked.visible());
    }
}

TEST_F(LogWindowTest, DoubleClickOnTheExplanatoryLineOfViewTwoKeepsThePopupPage) {
    window.open();
    window.form.cmdIEPopups.click();
    window.form.lstBlocked.setListIndex(0);
    window.form.lstBlocked.dblClick();
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "text:No Ads Blocked by Unsolicited Internet Explorer Popups.",
                         "frmIEWhiteList"}));
}

TEST_F(LogWindowTest, AViewWithoutItsEditorKeepsTheWindowOpenAndHandsNothingOver) {
    using Editor = std::function<void()> LogWindow::Editors::*;
    const std::pair<int, Editor> views[] = {
        {LogWindow::kAdServers, &LogWindow::Editors::frmExclude},
        {LogWindow::kIEPopups, &LogWindow::Editors::frmIEWhiteList},
        {LogWindow::kTitles, &LogWindow::Editors::frmPopupTitles},
        {LogWindow::kSpyware, &LogWindow::Editors::frmAdWare},
    };
    for (const auto& [view, editor] : views) {
        SCOPED_TRACE(view);
        const LogWindow::Editors all = window.editors;
        window.editors.*editor = nullptr;
        calls.clear();
        window.open();
        window.selectView(view);
        window.form.lstBlocked.clear();
        window.form.lstBlocked.addItem("10:00:00 'http://a.example/p' blocked");
        window.form.lstBlocked.setListIndex(0);
        window.form.lstBlocked.dblClick();
        EXPECT_EQ(calls, std::vector<std::string>{});
        EXPECT_TRUE(window.form.frmLastBlocked.visible());
        EXPECT_EQ(window.nView, view);
        window.Form_Unload();
        window.editors = all;
    }
}

TEST_F(LogWindowTest, TheListFollowsTheWindowSizeAndNeverGoesBelowZero) {
    struct Case {
        int width, height, listWidth, listHeight;
    } cases[] = {
        {7500, 6000, 7150, 3500}, {350, 2500, 0, 0}, {100, 100, 0, 0}, {400, 9000, 50, 6500}};
    for (const Case& c : cases) {
        window.form.onResize(c.width, c.height);
        EXPECT_EQ(window.form.listWidth, c.listWidth);
        EXPECT_EQ(window.form.listHeight, c.listHeight);
    }
}

}  // namespace
