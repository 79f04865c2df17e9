#include "ui/SoundOptions.h"

#include <gtest/gtest.h>

#include <string>

#include "base/IniDocument.h"
#include "core/Settings.h"
#include "support/FakePlatform.h"

using halvern::forms::Button;
using halvern::forms::CheckBox;
using halvern::forms::TextBox;

namespace {

struct SoundOptionsTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::core::MainState state;
    halvern::forms::MainForm form;
    halvern::forms::StatsForm stats;
    halvern::core::AppPaths paths{halvern::testing::FakePlatform::kAppFolder, "/etc/hosts"};
    halvern::core::Context context{fake.platform, state, form, stats, paths};
    halvern::core::Settings settings{context, {}};
    halvern::ui::SoundOptions sounds{context};

    std::string saved(const char* key) const {
        return halvern::base::IniDocument::parse(fake.files.text(paths.getIniFileName()))
            .get("Settings", key)
            .value_or("");
    }
};

/// The popup and the banner sound: the same controls, on their own settings.
struct Twin {
    const char* name;
    CheckBox halvern::forms::MainForm::*check;
    TextBox halvern::forms::MainForm::*path;
    Button halvern::forms::MainForm::*browse;
    Button halvern::forms::MainForm::*test;
    bool halvern::core::MainState::*on;
    std::string halvern::core::MainState::*file;
    const char* onKey;
    const char* fileKey;
};
const Twin kTwins[] = {
    {"popup", &halvern::forms::MainForm::chkPopSound, &halvern::forms::MainForm::txtPopWav,
     &halvern::forms::MainForm::cmdBrowsePop, &halvern::forms::MainForm::cmdTestPop,
     &halvern::core::MainState::bPopSound, &halvern::core::MainState::PopSound, "bPopSound",
     "PopSound"},
    {"banner", &halvern::forms::MainForm::chkBannerSound, &halvern::forms::MainForm::txtBannerWav,
     &halvern::forms::MainForm::cmdBrowseAd, &halvern::forms::MainForm::cmdTestAd,
     &halvern::core::MainState::bBannerSound, &halvern::core::MainState::BannerSound,
     "bBannerSound", "BannerSound"},
};

TEST_F(SoundOptionsTest, TheBoxSwitchesTheSoundAndItsControlsAndTheSaveKeepsIt) {
    for (const Twin& t : kTwins) {
        (form.*t.check).setChecked(true);
        (form.*t.check).click();
        EXPECT_FALSE(state.*t.on) << t.name;
        EXPECT_FALSE((form.*t.path).enabled()) << t.name;
        EXPECT_FALSE((form.*t.browse).enabled()) << t.name;
        EXPECT_FALSE((form.*t.test).enabled()) << t.name;
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(saved(t.onKey), "False") << t.name;

        (form.*t.check).click();
        EXPECT_TRUE(state.*t.on) << t.name;
        EXPECT_TRUE((form.*t.path).enabled()) << t.name;
        EXPECT_TRUE((form.*t.browse).enabled()) << t.name;
        EXPECT_TRUE((form.*t.test).enabled()) << t.name;
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(saved(t.onKey), "True") << t.name;
    }
}

TEST_F(SoundOptionsTest, BrowsingStartsAtTheCurrentFileAndACancelKeepsIt) {
    for (const Twin& t : kTwins) {
        (form.*t.path).setText("/home/u/old.wav");
        EXPECT_EQ(state.*t.file, "/home/u/old.wav") << t.name << ": typing changes the setting";

        fake.dialogs.chooseNextFile(std::nullopt);
        (form.*t.browse).click();
        ASSERT_FALSE(fake.dialogs.fileRequests().empty());
        const auto& request = fake.dialogs.fileRequests().back();
        EXPECT_EQ(request.title, "Choose Sound File");
        EXPECT_EQ(request.filter, "*.wav");
        EXPECT_EQ(request.defaultExtension, "wav");
        EXPECT_EQ(request.initialPath, "/home/u/old.wav");
        EXPECT_EQ((form.*t.path).text(), "/home/u/old.wav") << t.name;
        EXPECT_EQ(state.*t.file, "/home/u/old.wav") << t.name;

        fake.dialogs.chooseNextFile("/home/u/new.wav");
        (form.*t.browse).click();
        EXPECT_EQ((form.*t.path).text(), "/home/u/new.wav") << t.name;
        EXPECT_EQ(state.*t.file, "/home/u/new.wav") << t.name;
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(saved(t.fileKey), "/home/u/new.wav") << t.name;

        (form.*t.test).click();
        ASSERT_FALSE(fake.sound.played.empty());
        EXPECT_EQ(fake.sound.played.back(), "/home/u/new.wav") << t.name;
    }
}

TEST_F(SoundOptionsTest, OnlyTheTestButtonWorksWhileTheSettingsLoad) {
    state.bLoadingSettings = true;
    for (const Twin& t : kTwins) {
        state.*t.on = true;
        state.*t.file = "/opt/halvern/ad.wav";
        (form.*t.check).setChecked(true);
        (form.*t.check).setChecked(false);
        (form.*t.path).setText("/loading.wav");
        fake.dialogs.chooseNextFile("/chosen.wav");
        (form.*t.browse).click();
        EXPECT_TRUE(state.*t.on) << t.name;
        EXPECT_EQ(state.*t.file, "/opt/halvern/ad.wav") << t.name;
        EXPECT_TRUE((form.*t.browse).enabled()) << t.name;
        EXPECT_TRUE(fake.dialogs.fileRequests().empty()) << t.name << ": no dialog";
        (form.*t.test).click();
        EXPECT_EQ(fake.sound.played.back(), "/loading.wav") << t.name;
    }
}

}  // namespace
