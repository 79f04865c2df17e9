#include "gui/TrayMenuView.h"

#include <gtest/gtest.h>

#include <QAction>
#include <string>
#include <vector>

#include "forms/MainForm.h"
#include "gui/Bindings.h"
#include "program/Program.h"
#include "support/FakePlatform.h"

namespace halvern::gui {
namespace {

TEST(TrayMenuView, DefaultSettingsShowEveryEntryInOrder) {
    // No zorvik.ini: no hot key is assigned, so the hot-key entries begin with "--".
    testing::FakePlatform fake;
    program::Program program(fake.platform);
    program.Form_Load();
    TrayMenuView view(program.form());

    const std::vector<std::string> expected = {
        "&Display Program Settings",
        "&Audio Help - MP3 recorded help from the Internet",
        "Tell a friend about this software (thank you!)",
        "&Show Small Statistics &Window ",
        "-",
        "Allow specific ad servers",
        "-- Allow the most recent blocked popup (by Window Title)",
        "-- Allow the most recent IE popup (WhiteList based on URL)",
        "-",
        "&Block Specific ad servers",
        "-- Block specific Popup Windows by Title...",
        "-- Block IE Popup Ads - ON (uncheck to temporarily allow popups)",
        "Ad Blocking sounds - ON (uncheck to temporarily turn off sounds)",
        "-",
        "&Exit AND stop blocking ads",
        "-- Close All Open IE and Netscape Browsers.",
        "&CLOSE THIS MENU",
    };
    const QList<QAction*> actions = view.menu().actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(expected.size()));
    int entries = 0;
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const std::string& caption = expected[static_cast<std::size_t>(i)];
        QAction* action = actions[i];
        if (caption == "-") {
            EXPECT_TRUE(action->isSeparator()) << "position " << i;
            continue;
        }
        ++entries;
        EXPECT_FALSE(action->isSeparator()) << caption;
        EXPECT_TRUE(action->isVisible()) << caption;
        EXPECT_EQ(action->text().toStdString(), caption);
    }
    EXPECT_EQ(entries, 14);
    // The popup switch keeps its check mark as an ordinary, checkable entry.
    EXPECT_TRUE(actions[11]->isChecked());
}

TEST(TrayMenuView, OnlyALineOfDashesIsASeparator) {
    struct Case {
        const char* caption;
        bool separator;
    };
    const Case cases[] = {
        {"-", true},    {"---", true}, {"--", true},  {"-- Block Popup Ads - ON", false},
        {"- x", false}, {"-x", false}, {"x-", false}, {"", false}};
    for (const Case& c : cases) {
        const forms::MenuItem item("mnu", c.caption);
        EXPECT_EQ(item.isSeparator(), c.separator) << '"' << c.caption << '"';
    }
}

TEST(TrayMenuView, AnEntryRenamedFromAndToALineFollowsTheModel) {
    forms::MainForm form;
    TrayMenuView view(form);
    QAction* popups = view.menu().actions()[11];
    form.mnuTrayPopups.setCaption("-- Block Popup Ads - OFF (click here to block popups again)");
    EXPECT_FALSE(popups->isSeparator());
    EXPECT_EQ(popups->text(), "-- Block Popup Ads - OFF (click here to block popups again)");
    form.mnuTrayPopups.setCaption("---");
    EXPECT_TRUE(popups->isSeparator());
    form.mnuTrayPopups.setCaption("F9 - Block Popup Ads - ON");
    EXPECT_FALSE(popups->isSeparator());
    EXPECT_EQ(popups->text(), "F9 - Block Popup Ads - ON");
}

}  // namespace
}  // namespace halvern::gui
