#include "core/Settings.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "base/IniDocument.h"
#include "core/SettingKeys.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeUserStore.h"
#include "support/FakePlatform.h"

using halvern::base::IniDocument;
using halvern::core::AppPaths;
using halvern::core::MainState;
using halvern::core::Settings;
using halvern::platform::BoxButtons;
using halvern::platform::BoxIcon;
using halvern::platform::FakeDialogs;
using halvern::platform::FakeFileSystem;
using halvern::platform::FakeUserStore;

namespace {

/// Counts the reads of each path, so a test sees that a file is parsed once.
class CountingFileSystem final : public halvern::platform::FileSystem {
public:
    explicit CountingFileSystem(FakeFileSystem& inner) : m_inner(inner) {}
    std::optional<std::string> read(const std::string& path) const override {
        ++reads[path];
        return m_inner.read(path);
    }
    bool write(const std::string& p, const std::string& c) override { return m_inner.write(p, c); }
    bool exists(const std::string& p) const override { return m_inner.exists(p); }
    bool isDirectory(const std::string& p) const override { return m_inner.isDirectory(p); }
    std::optional<std::uint64_t> size(const std::string& p) const override {
        return m_inner.size(p);
    }
    bool copy(const std::string& f, const std::string& t) override { return m_inner.copy(f, t); }
    bool rename(const std::string& f, const std::string& t) override {
        return m_inner.rename(f, t);
    }
    bool remove(const std::string& p) override { return m_inner.remove(p); }
    bool makeDirectories(const std::string& p) override { return m_inner.makeDirectories(p); }

    mutable std::map<std::string, int> reads;

private:
    FakeFileSystem& m_inner;
};

const std::string kIni = "/app/zorvik.ini";
const std::string kHosts = "/app/zorvikhosts.ini";
const std::string kUserHosts = "/app/userhosts.ini";

struct SettingsTest : ::testing::Test {
    SettingsTest() { fake.makeDirectories("/app"); }  // the program's own folder

    FakeFileSystem fake;
    CountingFileSystem files{fake};
    FakeDialogs dialogs;
    FakeUserStore userStore;
    MainState state;
    AppPaths paths{"/app", "/etc/hosts"};
    halvern::forms::MainForm form;
    halvern::forms::StatsForm stats;
    std::vector<std::string> shown;
    halvern::testing::FakePlatform others;  // the services the settings do not use
    halvern::platform::Platform platform{
        others.clock,     files,           dialogs,         userStore,
        others.launcher,  others.process,  others.resolver, others.instance,
        others.tray,      others.sound,    others.listener, others.desktop,
        others.processes, others.http,     others.hasher,   others.scratch,
        others.autostart, others.registry, others.browser,  others.input};
    Settings settings{halvern::core::Context{platform, state, form, stats, paths},
                      Settings::Callbacks{[this] { shown.push_back("tray"); },
                                          [this] { shown.push_back("settings"); }}};

    void load(const std::string& settingsLines) {
        fake.put(kIni, "[Settings]\r\n" + settingsLines);
        load();
    }
    void load() {
        state.bLoadingSettings = true;
        settings.LoadSettings();
        state.bLoadingSettings = false;
    }
    std::optional<std::string> saved(const char* key) const {
        return IniDocument::parse(fake.text(kIni)).get("Settings", key);
    }
};

TEST_F(SettingsTest, FirstStartWithoutFilesUsesTheDefaults) {
    load();
    EXPECT_EQ(shown, std::vector<std::string>{"settings"});
    EXPECT_TRUE(form.chkAdServers.checked());
    EXPECT_TRUE(form.chkIEPops.checked());
    EXPECT_TRUE(form.chkStartup.checked());
    EXPECT_TRUE(form.chkRunIE.enabled());
    EXPECT_TRUE(form.chkAuto.checked());
    EXPECT_TRUE(form.chkBannerSound.checked());
    EXPECT_TRUE(form.chkPopSound.checked());
    EXPECT_FALSE(form.chkJavaPops.checked());
    EXPECT_EQ(form.txtBannerWav.text(), "/app/ad.wav");
    EXPECT_EQ(form.txtPopWav.text(), "/app/pop.wav");
    EXPECT_EQ(state.PopSound, "/app/pop.wav");
    EXPECT_EQ(form.cmbOnOff.text(), "none");
    EXPECT_EQ(form.mnuTrayPopups.caption(),
              "-- Block IE Popup Ads - ON (uncheck to temporarily allow popups)");
    EXPECT_EQ(form.mnuTrayCloseBrowser.caption(), "-- Close All Open IE and Netscape Browsers.");
    EXPECT_EQ(form.lblOnOff.caption(), "---");
    EXPECT_EQ(form.lblDateUpdate.caption(), "Last Updated 1/1/2001");
    EXPECT_EQ(stats.lblDateUpdate.caption(), "Last Updated 1/1/2001");
    EXPECT_EQ(form.lbltot.caption(), "0");
    EXPECT_EQ(stats.frmStats.caption(), "Ads 0 : 0");
    EXPECT_EQ(fake.writes(kIni), 0) << "loading never writes";

    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(fake.writes(kIni), 1);
    const auto keys = IniDocument::parse(fake.text(kIni)).entries("Settings");
    std::vector<std::string> names;
    for (const auto& [key, value] : keys) {
        names.push_back(key);
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "BannerSound",     "PopSound",       "ProxyName",     "ProxyPort",
                         "UpdateServer",    "fOnOff",         "fCloseBrowser", "fIEWhiteList",
                         "fBlockByTitle",   "bMinimized",     "bAutoDownload", "bJavaPops",
                         "bRunIE",          "bStartup",       "bIEToolBar",    "bBannerSound",
                         "bBlockAdServers", "bBlockIEPopups", "bPopSound",     "bHostsFullySet"}));
    EXPECT_EQ(saved("bStartup"), "True");
    EXPECT_EQ(saved("bJavaPops"), "False");
    EXPECT_EQ(saved("fOnOff"), "0");
    EXPECT_TRUE(fake.text(kIni).starts_with("[Settings]\r\nBannerSound=/app/ad.wav\r\n"));
}

TEST_F(SettingsTest, ReadsTheSettingsFileOnceAndEachListOnce) {
    fake.put(kHosts, "[DomainCount]\r\nN=366\r\n");
    load("bMinimized=True\r\n");
    EXPECT_EQ(files.reads[kIni], 1);
    EXPECT_EQ(files.reads[kHosts], 1);
    EXPECT_EQ(files.reads[kUserHosts], 1);
    EXPECT_EQ(shown, std::vector<std::string>{"tray"});
}

TEST_F(SettingsTest, HotKeysShowTheirKeyEverywhere) {
    load("fOnOff=5\r\nfCloseBrowser=12\r\nfIEWhiteList=0\r\nfBlockByTitle=9\r\n");
    EXPECT_EQ(state.ngOnOff, "5");
    EXPECT_EQ(form.lblOnOff.caption(), "F5");
    EXPECT_EQ(form.cmbOnOff.text(), "F5");
    EXPECT_EQ(form.mnuTrayPopups.caption(),
              "F5 - Block IE Popup Ads - ON (uncheck to temporarily allow popups)");
    EXPECT_EQ(form.cmbCloseBrowser.text(), "F12");
    EXPECT_EQ(form.mnuTrayCloseBrowser.caption(), "F12 - Close All Open IE and Netscape Browsers.");
    EXPECT_EQ(state.ngIEWhiteList, "0");
    EXPECT_EQ(form.cmbIEWhiteList.text(), "none");
    EXPECT_EQ(form.lblIEWhiteList.caption(), "---");
    EXPECT_EQ(form.mnuTrayLastIEPop.caption(),
              "-- Allow the most recent IE popup (WhiteList based on URL)");
    EXPECT_EQ(form.mnuTrayBlockTitle.caption(), "F9 - Block specific Popup Windows by Title...");
    EXPECT_EQ(form.mnuTrayLastPop.caption(),
              "F9 - Allow the most recent blocked popup (by Window Title)");
}

TEST_F(SettingsTest, WithoutABlockByTitleKeyBothTitleEntriesStartWithDashes) {
    for (const char* value : {"0", "-3", "none"}) {
        load(std::string("fBlockByTitle=") + value + "\r\n");
        EXPECT_EQ(form.mnuTrayBlockTitle.caption(), "-- Block specific Popup Windows by Title...");
        EXPECT_EQ(form.mnuTrayLastPop.caption(),
                  "-- Allow the most recent blocked popup (by Window Title)");
        EXPECT_EQ(form.cmbBlockByTitle.text(), "none");
    }
}

TEST_F(SettingsTest, OptionRulesBetweenCheckBoxes) {
    load(
        "bStartup=False\r\nbRunIE=True\r\nbBlockIEPopups=False\r\nbJavaPops=1\r\n"
        "bBannerSound=0\r\nbPopSound=FALSE\r\nbBlockAdServers=false\r\nbIEToolBar=-1\r\n");
    EXPECT_FALSE(form.chkStartup.checked());
    EXPECT_FALSE(form.chkRunIE.checked()) << "starting with the session is required";
    EXPECT_FALSE(form.chkRunIE.enabled());
    EXPECT_FALSE(form.chkJavaPops.checked()) << "no browser popup blocking, no block-all";
    EXPECT_FALSE(form.chkJavaPops.enabled());
    EXPECT_FALSE(form.chkIEPops.checked());
    EXPECT_FALSE(state.bBlockIEPopups);
    EXPECT_FALSE(form.chkAdServers.checked());
    EXPECT_TRUE(form.chkIEToolBar.checked());
    EXPECT_FALSE(form.chkBannerSound.checked());
    EXPECT_FALSE(form.txtBannerWav.enabled());
    EXPECT_FALSE(form.cmdBrowseAd.enabled());
    EXPECT_FALSE(form.cmdTestAd.enabled());
    EXPECT_FALSE(form.txtPopWav.enabled());
    EXPECT_FALSE(form.cmdBrowsePop.enabled());
    EXPECT_FALSE(form.cmdTestPop.enabled());
}

TEST_F(SettingsTest, ValuesThatDoNotConvertKeepTheMembers) {
    state.bMinimized = true;
    state.bHostsFullySet = true;
    state.bAutoDownload = false;
    state.nTotBlocked = 17;
    state.nTotalAdServers = 7;
    state.nDefaultAdServers = 5;
    fake.put(kHosts, "[DomainCount]\r\nN=lots\r\n");
    load(
        "bMinimized=maybe\r\nbHostsFullySet=\r\nbAutoDownload=yes\r\nnTotBlocked=many\r\n"
        "bBlockAdServers=2\r\n");
    EXPECT_TRUE(state.bMinimized);
    EXPECT_EQ(shown, std::vector<std::string>{"tray"});
    EXPECT_TRUE(state.bHostsFullySet);
    EXPECT_FALSE(state.bAutoDownload);
    EXPECT_FALSE(form.chkAuto.checked());
    EXPECT_EQ(state.nTotBlocked, 17);
    EXPECT_EQ(form.lblTotBlocked.caption(), "17");
    EXPECT_EQ(stats.frmStats.caption(), "Ads 0 : 17");
    EXPECT_EQ(state.nTotalAdServers, 7);
    EXPECT_EQ(form.lblTotHosts.caption(), "0") << "the label keeps its text too";
    EXPECT_EQ(state.nDefaultAdServers, 5);
    EXPECT_TRUE(state.bBlockAdServers) << "2 is a number other than zero";
}

TEST_F(SettingsTest, ListCountsFillTheTotalsAndThe16BitCounts) {
    const struct {
        const char* defaultList;  // nullptr: the file is missing
        const char* userList;
        std::int32_t total;
        std::int16_t defaultCount;
        std::int16_t userCount;
    } cases[] = {
        {"366", nullptr, 366, 366, 0}, {"366", "12", 378, 366, 12}, {nullptr, "12", -1, -1, 12},
        {"40000", "2", 40002, -1, 2},  {"-4", "3", 3, 0, 3},        {"366", "x", -1, 366, -1},
    };
    for (const auto& c : cases) {
        state = MainState{};
        state.nTotalAdServers = state.nDefaultAdServers = state.nUserAdServers = -1;
        fake.remove(kHosts);
        fake.remove(kUserHosts);
        if (c.defaultList) {
            fake.put(kHosts, std::string("[DomainCount]\r\nN=") + c.defaultList + "\r\n");
        }
        if (c.userList) {
            fake.put(kUserHosts, std::string("[DomainCount]\r\nN=") + c.userList + "\r\n");
        }
        load();
        EXPECT_EQ(state.nTotalAdServers, c.total) << c.defaultList;
        EXPECT_EQ(state.nDefaultAdServers, c.defaultCount) << c.defaultList;
        EXPECT_EQ(state.nUserAdServers, c.userCount) << c.userList;
        if (c.total >= 0) {
            EXPECT_EQ(form.lblTotHosts.caption(), std::to_string(c.total));
            EXPECT_EQ(stats.lblTotHosts.caption(), std::to_string(c.total));
        }
    }
}

TEST_F(SettingsTest, CountersAndDateReachBothWindows) {
    load(
        "nTotBlocked=250\r\nDateUpdate=3/14/2004\r\nProxyName=proxy.lan\r\nProxyPort=3128\r\n"
        "BannerSound=/home/me/ding.wav\r\n");
    EXPECT_EQ(state.nTotBlocked, 250);
    EXPECT_EQ(form.lblTotBlocked.caption(), "250");
    EXPECT_EQ(stats.frmStats.caption(), "Ads 0 : 250");
    EXPECT_EQ(form.lblDateUpdate.caption(), "Last Updated 3/14/2004");
    EXPECT_EQ(stats.lblDateUpdate.caption(), "Last Updated 3/14/2004");
    EXPECT_EQ(form.txtProxyName.text(), "proxy.lan");
    EXPECT_EQ(state.ProxyPort, "3128");
    EXPECT_EQ(form.txtBannerWav.text(), "/home/me/ding.wav");
    EXPECT_EQ(form.txtPopWav.text(), "/app/pop.wav");
}

TEST_F(SettingsTest, LongValuesAreCutAndGarbageFilesReadAsDefaults) {
    load("ProxyName=" + std::string(400, 'p') + "\r\n");
    EXPECT_EQ(state.ProxyName.size(), 249u);

    fake.put(kIni,
             std::string("\0\xff[Settings\x01\nbStartup\0=0", 23) + std::string(1 << 16, '='));
    state = MainState{};
    load();
    EXPECT_TRUE(form.chkStartup.checked());
    EXPECT_TRUE(state.bBlockAdServers);
}

TEST_F(SettingsTest, SaveNeverWritesTheNeverMarkersOverStoredValues) {
    load("nTotBlocked=250\r\nDateUpdate=5/1/2004\r\n");
    for (const char* date : {"Never", "1/1/2001", ""}) {
        state.nTotBlocked = 0;
        state.DateUpdate = date;
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(saved("nTotBlocked"), "250");
        EXPECT_EQ(saved("DateUpdate"), "5/1/2004");
    }
    state.nTotBlocked = 251;
    state.DateUpdate = "6/1/2004";
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(saved("nTotBlocked"), "251");
    EXPECT_EQ(saved("DateUpdate"), "6/1/2004");
}

TEST_F(SettingsTest, SaveKeepsTheRestOfTheFileAndItsLineEnding) {
    fake.put(kIni,
             "; hand-written notes\n[Window]\nLeft=10\n\n[Settings]\nCustom=kept\nPROXYNAME=old\n"
             "; end of settings\n\n[Later]\nx=1\n");
    load();
    form.txtProxyName.setText("typed.proxy");
    form.chkJavaPops.setChecked(true);
    ASSERT_TRUE(settings.Save());
    const std::string text = fake.text(kIni);
    EXPECT_EQ(text.find('\r'), std::string::npos) << "the file's LF endings are kept";
    EXPECT_TRUE(
        text.starts_with("; hand-written notes\n[Window]\nLeft=10\n\n[Settings]\n"
                         "Custom=kept\nPROXYNAME=typed.proxy\n"));
    EXPECT_NE(text.find("bHostsFullySet=False\n; end of settings\n\n[Later]\nx=1\n"),
              std::string::npos);
    EXPECT_EQ(state.ProxyName, "typed.proxy");
    EXPECT_EQ(saved("bJavaPops"), "True");
    EXPECT_EQ(fake.writes(kIni), 1);
}

TEST_F(SettingsTest, SaveDoesNothingWhileLoadingAndFailsSilently) {
    state.bLoadingSettings = true;
    EXPECT_FALSE(settings.Save());
    EXPECT_FALSE(fake.exists(kIni));
    state.bLoadingSettings = false;

    form.lblStatus.setCaption("started");
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(form.lblStatus.caption(), "Settings Saved\r\nstarted");

    const std::string before = fake.text(kIni);
    fake.setReadOnly(kIni);
    state.bMinimized = true;
    EXPECT_FALSE(settings.Save());
    EXPECT_EQ(fake.text(kIni), before);
    EXPECT_EQ(form.lblStatus.caption(), "Settings Saved\r\nstarted")
        << "a failed write is not reported as saved";
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(SettingsTest, SavedSettingsLoadBackTheSame) {
    state.ngOnOff = "3";
    state.bMinimized = true;
    state.bPopSound = false;
    state.PopSound = "/x/pop two.wav";
    state.nTotBlocked = 42;
    state.DateUpdate = "2/2/2004";
    form.chkStartup.setChecked(false);
    ASSERT_TRUE(settings.Save());

    state = MainState{};
    load();
    EXPECT_EQ(state.ngOnOff, "3");
    EXPECT_TRUE(state.bMinimized);
    EXPECT_FALSE(state.bPopSound);
    EXPECT_EQ(state.PopSound, "/x/pop two.wav");
    EXPECT_EQ(state.nTotBlocked, 42);
    EXPECT_EQ(state.DateUpdate, "2/2/2004");
    EXPECT_FALSE(form.chkRunIE.enabled());
}

TEST_F(SettingsTest, SaveWritesEveryKeyFromItsHomeInTheFileOrder) {
    state.BannerSound = "/s/ad.wav";
    state.PopSound = "/s/pop.wav";
    state.ProxyName = "stale";
    form.txtProxyName.setText("typed.proxy");
    state.ProxyPort = "8080";
    state.UpdateServer = "https://mirror.example";
    state.ngOnOff = "5";
    state.ngIEWhiteList = "0";
    state.ngBlockByTitle = "12";  // fCloseBrowser stays unset: an empty value
    state.bMinimized = true;
    state.bAutoDownload = false;
    form.chkAuto.setChecked(true);  // the state, not the box, is written
    form.chkJavaPops.setChecked(true);
    form.chkRunIE.setChecked(false);
    form.chkStartup.setChecked(true);
    form.chkIEToolBar.setChecked(true);
    state.bBannerSound = false;
    form.chkBannerSound.setChecked(true);
    state.bBlockAdServers = false;
    form.chkAdServers.setChecked(true);  // a mirror: the member is written
    state.bBlockIEPopups = true;
    state.bPopSound = false;
    state.bHostsFullySet = true;
    state.DateUpdate = "7/4/2004";
    state.nTotBlocked = 99;
    ASSERT_TRUE(settings.Save());
    EXPECT_EQ(
        fake.text(kIni),
        "[Settings]\r\nBannerSound=/s/ad.wav\r\nPopSound=/s/pop.wav\r\n"
        "ProxyName=typed.proxy\r\nProxyPort=8080\r\nUpdateServer=https://mirror.example\r\n"
        "fOnOff=5\r\nfCloseBrowser=\r\n"
        "fIEWhiteList=0\r\nfBlockByTitle=12\r\nbMinimized=True\r\nbAutoDownload=False\r\n"
        "bJavaPops=True\r\nbRunIE=False\r\nbStartup=True\r\nbIEToolBar=True\r\n"
        "bBannerSound=False\r\nbBlockAdServers=False\r\nbBlockIEPopups=True\r\n"
        "bPopSound=False\r\nbHostsFullySet=True\r\nDateUpdate=7/4/2004\r\nnTotBlocked=99\r\n");
}

TEST_F(SettingsTest, EveryKeysDefaultIsWhatAMissingKeyGivesAndWhatIsWrittenBack) {
    const struct {
        const char* name;
        const char* fallback;
        const char* written;  // after a start with the key missing; nullptr: not written
    } keys[] = {
        {"BannerSound", "", "/app/ad.wav"},  // an empty path is the program folder's sound
        {"PopSound", "", "/app/pop.wav"},
        {"ProxyName", "", ""},
        {"ProxyPort", "", ""},
        {"UpdateServer", "", ""},  // empty: the address built in
        {"fOnOff", "0", "0"},
        {"fCloseBrowser", "0", "0"},
        {"fIEWhiteList", "0", "0"},
        {"fBlockByTitle", "0", "0"},
        {"bMinimized", "0", "False"},
        {"bAutoDownload", "1", "True"},
        {"bJavaPops", "0", "False"},
        {"bRunIE", "0", "False"},
        {"bStartup", "1", "True"},
        {"bIEToolBar", "0", "False"},
        {"bBannerSound", "1", "True"},
        {"bBlockAdServers", "1", "True"},
        {"bBlockIEPopups", "1", "True"},
        {"bPopSound", "1", "True"},
        {"bHostsFullySet", "0", "False"},
        {"DateUpdate", "1/1/2001", nullptr},  // never-updated: a stored date is kept
        {"nTotBlocked", "0", nullptr},        // zero: a stored total is kept
    };
    const auto& table = halvern::core::kSettings;
    ASSERT_EQ(std::size(keys), table.size());
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_STREQ(table[i].name, keys[i].name) << "the order Save writes";
        EXPECT_STREQ(table[i].fallback, keys[i].fallback) << keys[i].name;
    }

    std::string spelledOut = "[Settings]\r\n";
    for (const auto& key : keys) {
        spelledOut += std::string(key.name) + "=" + key.fallback + "\r\n";
    }
    for (const bool withFile : {false, true}) {
        SCOPED_TRACE(withFile ? "every key at its default" : "no file");
        if (withFile) {
            fake.put(kIni, spelledOut);
        } else {
            fake.remove(kIni);
        }
        // Every home away from its default first, so the load must set each one.
        state.BannerSound = state.PopSound = state.ProxyName = state.ProxyPort = "x";
        state.UpdateServer = "x";
        state.ngOnOff = state.ngCloseBrowser = state.ngIEWhiteList = state.ngBlockByTitle = "7";
        state.bMinimized = state.bHostsFullySet = true;
        state.bAutoDownload = state.bBannerSound = state.bPopSound = false;
        state.bBlockAdServers = state.bBlockIEPopups = false;
        state.DateUpdate = "x";
        state.nTotBlocked = 5;
        form.chkJavaPops.setChecked(true);
        form.chkRunIE.setChecked(true);
        form.chkStartup.setChecked(false);
        form.chkIEToolBar.setChecked(true);
        form.chkJavaPops.setEnabled(true);
        load();
        EXPECT_EQ(state.DateUpdate, "1/1/2001");
        EXPECT_EQ(state.nTotBlocked, 0);
        EXPECT_TRUE(form.chkAdServers.checked()) << "the mirror follows its member";

        ASSERT_TRUE(settings.Save());
        const auto written = IniDocument::parse(fake.text(kIni));
        for (const auto& key : keys) {
            const std::optional<std::string> expected =
                key.written ? std::optional<std::string>(key.written)
                : withFile  ? std::optional<std::string>(key.fallback)
                            : std::nullopt;
            EXPECT_EQ(written.get("Settings", key.name), expected) << key.name;
        }
    }
}

TEST_F(SettingsTest, LoadingAndSavingAFullFileReproducesItByteForByte) {
    const std::string fullFiles[] = {
        // Every option on that the load rules allow together, hot keys and sounds set.
        "[Settings]\r\nBannerSound=/home/me/ding.wav\r\nPopSound=/home/me/pop two.wav\r\n"
        "ProxyName=proxy.lan\r\nProxyPort=3128\r\nUpdateServer=http://10.0.0.2:8080/\r\n"
        "fOnOff=5\r\nfCloseBrowser=12\r\n"
        "fIEWhiteList=7\r\nfBlockByTitle=9\r\nbMinimized=True\r\nbAutoDownload=True\r\n"
        "bJavaPops=True\r\nbRunIE=True\r\nbStartup=True\r\nbIEToolBar=True\r\n"
        "bBannerSound=True\r\nbBlockAdServers=True\r\nbBlockIEPopups=True\r\n"
        "bPopSound=True\r\nbHostsFullySet=True\r\nDateUpdate=3/14/2004\r\n"
        "nTotBlocked=250\r\n",
        // Every option off, no hot keys, LF endings.
        "[Settings]\nBannerSound=/a/b.wav\nPopSound=/a/"
        "c.wav\nProxyName=\nProxyPort=\nUpdateServer=\n"
        "fOnOff=0\nfCloseBrowser=0\nfIEWhiteList=0\nfBlockByTitle=0\nbMinimized=False\n"
        "bAutoDownload=False\nbJavaPops=False\nbRunIE=False\nbStartup=False\n"
        "bIEToolBar=False\nbBannerSound=False\nbBlockAdServers=False\nbBlockIEPopups=False\n"
        "bPopSound=False\nbHostsFullySet=False\nDateUpdate=12/31/2003\nnTotBlocked=1\n",
    };
    for (const std::string& text : fullFiles) {
        fake.put(kIni, text);
        state = MainState{};
        load();
        ASSERT_TRUE(settings.Save());
        EXPECT_EQ(fake.text(kIni), text);
    }
}

TEST_F(SettingsTest, WriteSettingChangesOneKeyAndKeepsTheRest) {
    ASSERT_TRUE(settings.writeSetting("nTotBlocked", "0"));
    EXPECT_EQ(fake.text(kIni), "[Settings]\r\nnTotBlocked=0\r\n") << "a missing file is created";

    fake.put(kIni, "[Window]\nLeft=1\n[Settings]\nbStartup=True\nNTOTBLOCKED=250\n; end\n");
    form.lblStatus.setCaption("before");
    ASSERT_TRUE(settings.writeSetting("nTotBlocked", "0"));
    EXPECT_EQ(fake.text(kIni),
              "[Window]\nLeft=1\n[Settings]\nbStartup=True\nNTOTBLOCKED=0\n; end\n");
    EXPECT_EQ(form.lblStatus.caption(), "before") << "only Save reports itself";

    fake.setReadOnly(kIni);
    EXPECT_FALSE(settings.writeSetting("nTotBlocked", "7"));
    EXPECT_NE(fake.text(kIni).find("NTOTBLOCKED=0\n"), std::string::npos);
}

TEST_F(SettingsTest, MsgBoxOnceShowsAMessageOncePerUser) {
    settings.MsgBoxOnce("Flash ads are now blocked.", "Zorvik", "MSGFlash");
    settings.MsgBoxOnce("Flash ads are now blocked.", "Zorvik", "MSGFlash");
    ASSERT_EQ(dialogs.boxes().size(), 1u);
    const auto& box = dialogs.boxes()[0];
    EXPECT_EQ(box.text, "Flash ads are now blocked.\r\n\r\nYou will not see this message again.");
    EXPECT_EQ(box.title, "Zorvik");
    EXPECT_EQ(box.buttons, BoxButtons::Ok);
    EXPECT_EQ(box.icon, BoxIcon::Information);
    EXPECT_EQ(userStore.get("Zorvik", "Messages", "MSGFlash"), "0");

    userStore.remove("Zorvik", "Messages", "MSGFlash");
    settings.MsgBoxOnce("again", "Zorvik", "MSGFlash");
    EXPECT_EQ(dialogs.boxes().size(), 2u);

    state.bLoadingSettings = true;
    settings.MsgBoxOnce("quiet", "Zorvik", "MSGAnimation");
    EXPECT_EQ(dialogs.boxes().size(), 2u);
    EXPECT_EQ(userStore.get("Zorvik", "Messages", "MSGAnimation"), std::nullopt);
}

TEST_F(SettingsTest, IniFileNameIsInTheProgramFolder) {
    EXPECT_EQ(settings.getIniFileName(), "/app/zorvik.ini");
}

}  // namespace
