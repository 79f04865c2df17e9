#include "ui/DeveloperZone.h"

#include <gtest/gtest.h>

using halvern::ui::DeveloperZone;

namespace {

TEST(DeveloperZone, OpensOnTheFifthClickOfEitherKindAndOnlyOnce) {
    halvern::forms::MainForm form;
    DeveloperZone zone(form);
    int opened = 0;
    form.developerZoneChanged.connect([&] { ++opened; });

    form.Label4.dblClick();
    form.lblHelpText.click();
    form.Label4.dblClick();
    form.lblHelpText.click();
    EXPECT_EQ(form.nDebugClicks, 4);
    EXPECT_EQ(opened, 0);

    form.Label4.click();  // a single click on Label4 does not count
    EXPECT_EQ(form.nDebugClicks, 4);

    form.lblHelpText.click();
    EXPECT_GT(form.nDebugClicks, 4);
    EXPECT_EQ(opened, 1);

    form.Label4.dblClick();
    form.lblHelpText.click();
    EXPECT_GT(form.nDebugClicks, 4);
    EXPECT_EQ(opened, 1);
}

}  // namespace
