#include "core/StatusLog.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/fake/FakeScheduler.h"

using namespace std::chrono_literals;
using halvern::core::StatusLog;
using halvern::platform::FakeScheduler;
using halvern::platform::LocalTime;

namespace {

struct StatusLogTest : ::testing::Test {
    StatusLogTest() { clock.setLocalTime(LocalTime{2004, 5, 6, 14, 7, 5}); }

    FakeScheduler clock;
    halvern::forms::MainForm form;
    StatusLog log{form, clock};
};

TEST_F(StatusLogTest, RecordsNothingBeforeDebugIsPressed) {
    log.AddToStatus("early");
    log.SetStatusMSG("early too");
    EXPECT_EQ(form.txtStatus.text(), "Popup Status Information\r\n");
}

TEST_F(StatusLogTest, DebugEmptiesTheLogAndLinesGoInFrontWithMinuteAndSecond) {
    form.cmdClear.click();
    EXPECT_TRUE(log.bStatusLogOn);
    EXPECT_EQ(form.txtStatus.text(), "");

    log.AddToStatus("first");
    clock.advance(60s);
    log.SetStatusMSG("second");
    clock.advance(1320s);  // 14:30:05
    log.AddToStatus("third");
    EXPECT_EQ(form.txtStatus.text(), "30:5 - third\r\n8:5 - second\r\n7:5 - first\r\n");

    form.cmdClear.click();
    EXPECT_EQ(form.txtStatus.text(), "") << "Debug again empties the log and keeps recording";
    log.AddToStatus("again");
    EXPECT_EQ(form.txtStatus.text(), "30:5 - again\r\n");
}

TEST_F(StatusLogTest, DetailLinesNeedExtraDebug) {
    struct Case {
        const char* text;
        bool extraDebug;
        bool recorded;
    };
    for (const Case& c :
         {Case{"# detail", false, false}, Case{"# detail", true, true}, Case{"#", false, false},
          Case{"plain", false, true}, Case{"plain # not first", false, true},
          Case{" # spaced", false, true}, Case{"", false, true}}) {
        form.cmdClear.click();
        form.chkDebug.setChecked(c.extraDebug);
        log.AddToStatus(c.text);
        const std::string expected = c.recorded ? "7:5 - " + std::string(c.text) + "\r\n" : "";
        EXPECT_EQ(form.txtStatus.text(), expected) << '"' << c.text << '"' << c.extraDebug;
    }
}

TEST_F(StatusLogTest, KeepsTheFirst15000CharactersSoTheOldestFallOff) {
    form.cmdClear.click();
    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string text = "line " + std::to_string(i);
        log.AddToStatus(text);
        expected = ("7:5 - " + text + "\r\n" + expected).substr(0, 15000);
        ASSERT_EQ(form.txtStatus.text(), expected) << "after line " << i;
    }
    EXPECT_EQ(form.txtStatus.text().size(), 15000u);
    EXPECT_TRUE(form.txtStatus.text().starts_with("7:5 - line 1999\r\n"));
}

TEST_F(StatusLogTest, AnOverlongLineIsCutToTheLimitOnItsOwn) {
    form.cmdClear.click();
    log.AddToStatus("old");
    log.AddToStatus(std::string(20000, 'x'));
    EXPECT_EQ(form.txtStatus.text(), "7:5 - " + std::string(15000 - 6, 'x'));
}

TEST_F(StatusLogTest, TheCutNeverSplitsAMultiByteCharacter) {
    form.cmdClear.click();
    // "7:5 - " and 14993 letters fill 14999 bytes; the two bytes of "é" straddle the limit.
    const std::string text = std::string(14993, 'a') + "\xC3\xA9" + "zz";
    log.AddToStatus(text);
    EXPECT_EQ(form.txtStatus.text().size(), 14999u);
    EXPECT_EQ(form.txtStatus.text().back(), 'a');
}

}  // namespace
