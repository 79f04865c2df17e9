#include "ui/PopupSwitch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using halvern::ui::PopupSwitch;

namespace {

const std::string kOnText =
    "Zorvik will now perform special processing by preventing all unsolicited popup windows "
    "from opening if you use Internet Explorer.  This settings has no effect for other "
    "browsers.";
const std::string kOffText =
    "Zorvik will no longer use special Internet Explorer processing to block unsolicited popup "
    "window ads from loading.";

struct PopupSwitchTest : ::testing::Test {
    PopupSwitchTest() {
        popups.createBrowserTracker = [this] { tracker.emplace_back("create"); };
        popups.discardBrowserTracker = [this] { tracker.emplace_back("discard"); };
        parts.form.chkIEPops.setChecked(true);
        tracker.clear();
    }

    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    PopupSwitch popups{parts.context, parts.help};
    std::vector<std::string> tracker;
};

TEST_F(PopupSwitchTest, TheBoxSetsTheStoredSwitchTheTrackerTheHelpLineAndTheBlockAllBox) {
    struct Step {
        bool checked;
        const char* tracker;
        const std::string& help;
    } steps[] = {{false, "discard", kOffText}, {true, "create", kOnText}};
    for (const Step& s : steps) {
        SCOPED_TRACE(s.checked);
        tracker.clear();
        parts.form.chkIEPops.click();
        EXPECT_EQ(parts.form.chkIEPops.checked(), s.checked);
        EXPECT_EQ(parts.state.bBlockIEPopups, s.checked);
        EXPECT_EQ(tracker, std::vector<std::string>{s.tracker});
        EXPECT_EQ(parts.form.lblHelpText.caption(), s.help);
        EXPECT_TRUE(parts.help.TimerFlash.enabled());
        EXPECT_EQ(parts.form.chkJavaPops.enabled(), s.checked);
    }
}

TEST_F(PopupSwitchTest, WhileTheSettingsLoadTheBoxChangesNothingElse) {
    parts.state.bLoadingSettings = true;
    const std::string help = parts.form.lblHelpText.caption();
    parts.form.chkIEPops.setChecked(false);
    EXPECT_TRUE(parts.state.bBlockIEPopups);
    EXPECT_TRUE(tracker.empty());
    EXPECT_EQ(parts.form.lblHelpText.caption(), help);
    EXPECT_TRUE(parts.form.chkJavaPops.enabled());
}

}  // namespace
