#include "popups/HotKeys.h"

#include <string>
#include <vector>

#include "IntentFixture.h"
#include "base/IniDocument.h"

namespace halvern::popups::fixture {
namespace {

class HotKeysTest : public IntentTest {
protected:
    /// The settings load at start-up, with these lines in the settings file.
    void load(const std::string& lines) {
        fake.files.put(parts.paths.getIniFileName(), "[Settings]\r\n" + lines);
        state.bLoadingSettings = true;
        parts.settings.LoadSettings();
        state.bLoadingSettings = false;
    }
    std::string saved(const char* key) const {
        return base::IniDocument::parse(fake.files.text(parts.paths.getIniFileName()))
            .get("Settings", key)
            .value_or("");
    }
    /// Makes the tray entry's command record its name when it runs.
    void record(forms::MenuItem& entry, const std::string& name) {
        entry.onClick = [this, name] { ran.push_back(name); };
    }

    std::vector<std::string> ran;
};

TEST_F(HotKeysTest, ChoosingAKeyChangesOnlyThePrefixOfItsTrayEntries) {
    load("fOnOff=10\r\nfIEWhiteList=0\r\nfCloseBrowser=3\r\nfBlockByTitle=9\r\n");
    struct Case {
        const char* name;
        forms::ComboBox& combo;
        const char* choice;
        forms::Label& label;
        const char* labelText;
        std::string& variable;
        const char* number;
        std::vector<std::pair<forms::MenuItem*, const char*>> captions;
    };
    const Case cases[] = {
        {"F10 to F5",
         form.cmbOnOff,
         "F5",
         form.lblOnOff,
         "F5",
         state.ngOnOff,
         "5",
         {{&form.mnuTrayPopups,
           "F5 - Block IE Popup Ads - ON (uncheck to temporarily allow popups)"}}},
        // The load wrote "-- Allow ...": the rest keeps its blank and has no dash.
        {"none to F3",
         form.cmbIEWhiteList,
         "F3",
         form.lblIEWhiteList,
         "F3",
         state.ngIEWhiteList,
         "3",
         {{&form.mnuTrayLastIEPop, "F3 Allow the most recent IE popup (WhiteList based on URL)"}}},
        {"F3 to none",
         form.cmbCloseBrowser,
         "none",
         form.lblCloseBrowser,
         "---",
         state.ngCloseBrowser,
         "0",
         {{&form.mnuTrayCloseBrowser, "-- - Close All Open IE and Netscape Browsers."}}},
        {"F9 to F12, both title entries",
         form.cmbBlockByTitle,
         "F12",
         form.lblBlockByTitle,
         "F12",
         state.ngBlockByTitle,
         "12",
         {{&form.mnuTrayBlockTitle, "F12 - Block specific Popup Windows by Title..."},
          {&form.mnuTrayLastPop, "F12 - Allow the most recent blocked popup (by Window Title)"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.combo.setText(c.choice);
        EXPECT_EQ(c.label.caption(), c.labelText);
        EXPECT_EQ(c.variable, c.number);
        for (const auto& [entry, caption] : c.captions) {
            EXPECT_EQ(entry->caption(), caption);
        }
    }
    ASSERT_TRUE(parts.settings.Save());
    EXPECT_EQ(saved("fOnOff"), "5");
    EXPECT_EQ(saved("fIEWhiteList"), "3");
    EXPECT_EQ(saved("fCloseBrowser"), "0");
    EXPECT_EQ(saved("fBlockByTitle"), "12");
}

TEST_F(HotKeysTest, TheLoadWritesTheCaptionsItself) {
    load("fOnOff=7\r\n");
    EXPECT_EQ(form.mnuTrayPopups.caption(),
              "F7 - Block IE Popup Ads - ON (uncheck to temporarily allow popups)");
    state.bLoadingSettings = true;
    form.cmbOnOff.setText("F2");
    EXPECT_EQ(state.ngOnOff, "7");
    EXPECT_EQ(form.lblOnOff.caption(), "F7");
    EXPECT_EQ(form.mnuTrayPopups.caption(),
              "F7 - Block IE Popup Ads - ON (uncheck to temporarily allow popups)");
}

TEST_F(HotKeysTest, EachKeyRunsItsCommandThroughItsTrayEntry) {
    struct Case {
        std::string& variable;
        forms::MenuItem& entry;
        int key;
        const char* keyText;
    };
    const Case cases[] = {
        {state.ngIEWhiteList, form.mnuTrayLastIEPop, 2, "[F2] WL IE"},
        {state.ngBlockByTitle, form.mnuTrayBlockTitle, 7, "[F7] Block T"},
        {state.ngOnOff, form.mnuTrayPopups, 11, "[F11] block pop"},
        {state.ngCloseBrowser, form.mnuTrayCloseBrowser, 12, "[F12] close b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.keyText);
        ran.clear();
        record(c.entry, c.keyText);
        c.entry.setEnabled(false);  // as the white-list entry is until a popup is blocked
        c.variable = std::to_string(c.key);
        press(vk::kF1 - 1 + c.key);
        EXPECT_EQ(ran, std::vector<std::string>{c.keyText});
        EXPECT_EQ(form.LblKeyName.caption(), c.keyText);
        EXPECT_EQ(form.LblVKeycode.caption(), std::to_string(111 + c.key));
        c.variable = "0";
    }
}

TEST_F(HotKeysTest, AKeySharedByTwoCommandsRunsBothInOrder) {
    record(form.mnuTrayLastIEPop, "white list");
    record(form.mnuTrayCloseBrowser, "close browsers");
    state.ngIEWhiteList = "3";
    state.ngCloseBrowser = "3";
    press(vk::kF1 + 2);
    EXPECT_EQ(ran, (std::vector<std::string>{"white list", "close browsers"}));
    EXPECT_EQ(form.LblKeyName.caption(), "[F3] close b");
}

TEST_F(HotKeysTest, AKeyWithoutACommandOrHeldBackByTheStartupTabRunsNothing) {
    record(form.mnuTrayLastIEPop, "white list");
    state.ngIEWhiteList = "3";
    press(vk::kF1 + 3);  // F4: no command
    EXPECT_EQ(form.LblVKeycode.caption(), "115");
    EXPECT_EQ(form.LblKeyName.caption(), "");
    form.frmMain.show();
    form.A.setTab(forms::MainForm::kTabStartup);
    press(vk::kF1 + 2);
    EXPECT_TRUE(ran.empty());
    form.A.setTab(forms::MainForm::kTabHotKeys);
    press(vk::kF1 + 2);
    EXPECT_EQ(ran, std::vector<std::string>{"white list"});
}

TEST_F(HotKeysTest, AHeldKeyTogglesTheTemporaryAllowOncePerPress) {
    load("fOnOff=5\r\n");
    input.press(vk::kF1 + 4);  // F5, which also reloads the browser's page
    clock.advance(1000ms);
    EXPECT_TRUE(state.bTempPopsAllowed);
    EXPECT_FALSE(form.mnuTrayPopups.checked());
    EXPECT_EQ(form.mnuTrayPopups.caption(),
              "F5 - Block Popup Ads - OFF (click here to block popups again)");
    input.release(vk::kF1 + 4);
    press(vk::kF1 + 4);
    EXPECT_FALSE(state.bTempPopsAllowed);
    EXPECT_EQ(form.mnuTrayPopups.caption(),
              "F5 - Block Popup Ads - ON (click here to temporarily allow popups)");
}

TEST_F(HotKeysTest, ThePlaceholderServerIsDownWhileCtrlOrAltCountsAsHeld) {
    form.chkAdServers.setChecked(true);
    poll();  // the poll finds the server down and starts it
    EXPECT_TRUE(state.bWebServerOn);
    EXPECT_EQ(form.lblWS.caption(), "WS Started.");
    const std::size_t idle = polls();
    clock.advance(10000ms);
    EXPECT_EQ(polls(), idle) << "nothing to do: the poll sleeps";

    press(vk::kMenu);
    EXPECT_FALSE(state.bWebServerOn);
    // The click window's end clears the modifier, and the next poll starts the server again.
    clock.advance(2000ms);
    EXPECT_FALSE(intent.IsHotKeyDown());
    clock.advance(49ms);
    EXPECT_FALSE(state.bWebServerOn);
    clock.advance(1ms);
    EXPECT_TRUE(state.bWebServerOn);

    // Stopped by someone else (the developer's button), it is back within one poll.
    clock.advance(1017ms);
    form.cmdOff.click();
    EXPECT_FALSE(state.bWebServerOn);
    clock.advance(33ms);
    EXPECT_TRUE(state.bWebServerOn);
}

TEST_F(HotKeysTest, WithoutAdServerBlockingCtrlLeavesTheServerAlone) {
    for (const bool serverOn : {true, false}) {
        SCOPED_TRACE(serverOn);
        if (serverOn) {
            server.StartWebServerCrap();
        } else {
            server.StopWebServer();
        }
        press(vk::kControl);
        EXPECT_EQ(state.bWebServerOn, serverOn);
        clock.advance(3000ms);
        EXPECT_EQ(state.bWebServerOn, serverOn);
    }
}

TEST_F(HotKeysTest, OnceTheExitHasBegunTheServerStaysDown) {
    form.chkAdServers.setChecked(true);
    poll();
    state.bExiting = true;
    server.StopWebServer();
    clock.advance(1000ms);
    EXPECT_FALSE(state.bWebServerOn);
}

TEST_F(HotKeysTest, ReadsTheStoredKeyNumber) {
    struct Case {
        const char* setting;
        int number;
    };
    for (const Case& c : {Case{"5", 5}, Case{"12", 12}, Case{"0", 0}, Case{"", 0}, Case{"junk", 0},
                          Case{" 7 ", 7}}) {
        SCOPED_TRACE(c.setting);
        EXPECT_EQ(HotKeys::keyNumber(c.setting), c.number);
    }
}

}  // namespace
}  // namespace halvern::popups::fixture
