#include "ui/TabHelp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "support/FakePlatform.h"

using namespace std::chrono_literals;
using halvern::forms::MainForm;
using halvern::ui::TabHelp;

namespace {

const std::string kNotAgain = "\r\n\r\nYou will not see this message again.";

/// One run of the program's settings window: a new window, help line and settings on the same
/// per-user store, as after a restart.
struct Session {
    explicit Session(halvern::testing::FakePlatform& platform) : fake(platform) {}
    halvern::testing::FakePlatform& fake;
    halvern::core::MainState state;
    MainForm form;
    halvern::forms::StatsForm stats;
    halvern::core::AppPaths paths{halvern::testing::FakePlatform::kAppFolder, "/etc/hosts"};
    halvern::core::Context context{fake.platform, state, form, stats, paths};
    halvern::core::Settings settings{context, {}};
    halvern::ui::HelpLine help{fake.clock, form};
    TabHelp tabs{context, help, settings};
};

struct TabHelpTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    std::unique_ptr<Session> run = std::make_unique<Session>(fake);
    void restart() {
        run.reset();
        run = std::make_unique<Session>(fake);
    }
};

TEST_F(TabHelpTest, EachTabShowsItsTopicAndHelpAndItsMessageOnlyOnTheFirstVisit) {
    struct Case {
        MainForm::Tab tab;
        const char* topic;
        const char* help;
        /// The once-only message's key and title; no key for none.
        const char* key;
        const char* title;
    };
    const Case cases[] = {
        {MainForm::kTabStartup, "Startup Help",
         "Configure how you want Zorvik to run (at windows startup or just when you use "
         "Internet Explorer).",
         nullptr, nullptr},
        {MainForm::kTabLogHistory, "Logging Info",
         "After clicking the logging button, double-click on any entry in the log to allow that "
         "content from now on.",
         "MSGLog", "Logging and Allowing Content."},
        {MainForm::kTabSounds, "Sound Help",
         "Uncheck the box to turn off sounds.  You can select any *.wav file on your computer.",
         nullptr, nullptr},
        {MainForm::kTabOtherPassword, "Other Help",
         "Check for the lastest version of Zorvik, or download the latest ad blocking data.",
         nullptr, nullptr},
        {MainForm::kTabStatus,
         "Click the Mini-Stats button to show current ad blocking activity on your task bar.",
         "This tells you how many ads blocked to date.", nullptr, nullptr},
        {MainForm::kTabAllow, "Allowing Ads Help",
         "Click on one of the buttons or links to allow recently blocked content if it was "
         "blocked improperly.",
         "MSGAllowContent", "Allowing Content"},
        {MainForm::kTabBlock, "Block Ads Help",
         "You can choose to block additional ads by host/domain and by window title.",
         "MSGBlockContent", "Blocking additional ads."},
        {MainForm::kTabHotKeys, "Hot Keys",
         "Assign your keyboard function keys to common Zorvik functions.", "MSGHotKeys",
         "Hot Keys"},
        {MainForm::kTabHelp, "Help", "Choose audio help or online help topics.", nullptr, nullptr},
        {MainForm::kTabAdTypes, "Ad Types Help", "Choose the types of ads to block or allow.",
         "MSGAdTypes", ""},
    };
    for (int visit = 1; visit <= 2; ++visit) {
        for (const Case& c : cases) {
            const std::string where = run->form.A.captions()[static_cast<std::size_t>(c.tab)] +
                                      ", visit " + std::to_string(visit);
            fake.dialogs.clear();
            run->form.A.setTab(c.tab);
            EXPECT_EQ(run->form.cmdContextHelp.caption(), c.topic) << where;
            EXPECT_EQ(run->form.lblHelpText.caption(), c.help) << where;
            EXPECT_TRUE(run->help.TimerFlash.enabled()) << where << ": the help line blinks";
            fake.clock.advance(600ms);
            if (c.key == nullptr || visit == 2) {
                EXPECT_TRUE(fake.dialogs.boxes().empty()) << where;
                continue;
            }
            ASSERT_EQ(fake.dialogs.boxes().size(), 1u) << where;
            const auto& box = fake.dialogs.boxes()[0];
            EXPECT_EQ(box.title, c.title) << where;
            EXPECT_TRUE(box.text.ends_with(kNotAgain)) << where;
            EXPECT_GT(box.text.size(), kNotAgain.size() + 40) << where << ": says something";
            EXPECT_EQ(fake.userStore.get("Zorvik", "Messages", c.key, ""), "0") << where;
        }
    }
}

TEST_F(TabHelpTest, AMessageShownOnceIsNotShownAfterARestart) {
    run->form.A.setTab(MainForm::kTabHotKeys);
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Hot Keys");

    restart();
    fake.dialogs.clear();
    run->form.A.setTab(MainForm::kTabHotKeys);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_EQ(run->form.cmdContextHelp.caption(), "Hot Keys") << "the topic still changes";
    EXPECT_EQ(run->form.lblHelpText.caption(),
              "Assign your keyboard function keys to common Zorvik functions.");

    // A tab whose message was never shown still shows it after the restart.
    run->form.A.setTab(MainForm::kTabLogHistory);
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Logging and Allowing Content.");
}

TEST_F(TabHelpTest, SpywareChangesNeitherTopicNorHelpLine) {
    run->form.A.setTab(MainForm::kTabSounds);
    fake.clock.advance(600ms);
    run->form.A.setTab(MainForm::kTabSpyware);
    EXPECT_EQ(run->form.cmdContextHelp.caption(), "Sound Help");
    EXPECT_EQ(run->form.lblHelpText.caption(),
              "Uncheck the box to turn off sounds.  You can select any *.wav file on your "
              "computer.");
    EXPECT_FALSE(run->help.TimerFlash.enabled());
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(TabHelpTest, NothingHappensWhileTheSettingsLoad) {
    run->state.bLoadingSettings = true;
    const std::string help = run->form.lblHelpText.caption();
    run->form.A.setTab(MainForm::kTabHotKeys);
    EXPECT_EQ(run->form.cmdContextHelp.caption(), "Startup Help");
    EXPECT_EQ(run->form.lblHelpText.caption(), help);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    // Nothing is remembered either: the first visit after the load shows the message.
    run->state.bLoadingSettings = false;
    run->form.A.setTab(MainForm::kTabAdTypes);
    run->form.A.setTab(MainForm::kTabHotKeys);
    ASSERT_EQ(fake.dialogs.boxes().size(), 2u);
    EXPECT_EQ(fake.dialogs.boxes()[1].title, "Hot Keys");
}

TEST(TabHelpRows, ElevenRowsInTheOrderOfTheTabs) {
    const MainForm form;
    const auto rows = TabHelp::rows();
    ASSERT_EQ(rows.size(), form.A.captions().size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].caption, form.A.captions()[i]);
    }
}

}  // namespace
