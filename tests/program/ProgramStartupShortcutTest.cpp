// The start with the session in the running program: the first start's silent entry, the load
// that leaves it alone, and the uninstall that takes it away.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/IniDocument.h"
#include "program/Program.h"
#include "support/FakePlatform.h"

namespace {

using namespace std::chrono_literals;
using halvern::base::IniDocument;
using halvern::platform::BoxAnswer;
using halvern::program::Program;

const std::string kIni = halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini";
const std::string kEntry = "/home/user/.config/autostart/Zorvik.desktop";

struct ProgramStartupShortcutTest : ::testing::Test {
    std::unique_ptr<Program> load() {
        auto program = std::make_unique<Program>(fake.platform);
        program->Form_Load();
        return program;
    }
    bool anyBoxSays(const std::string& words) const {
        for (const auto& box : fake.dialogs.boxes()) {
            if (box.text.find(words) != std::string::npos) {
                return true;
            }
        }
        return false;
    }
    std::string stored(const char* key) const {
        return IniDocument::parse(fake.files.text(kIni)).get("Settings", key).value_or("");
    }

    halvern::testing::FakePlatform fake;
};

TEST_F(ProgramStartupShortcutTest, TheFirstStartAddsTheEntrySilentlyAndChecksTheBox) {
    struct Case {
        const char* why;
        bool writesVanish;
        const char* settings;
    } cases[] = {
        {"defaults", false, ""},
        {"the box was unchecked", false, "[Settings]\r\nbStartup=False\r\n"},
        {"the entry cannot be made", true, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        fake.userStore.remove("Zorvik", "State", "FirstStart");
        fake.autostart.entries.clear();
        fake.autostart.writesVanish = c.writesVanish;
        fake.dialogs.clear();
        fake.files.put(kIni, c.settings);
        const int writes = fake.autostart.writes(kEntry);
        auto program = load();
        EXPECT_EQ(fake.autostart.writes(kEntry), writes) << "the load writes no entry";
        fake.clock.advance(2500ms);

        EXPECT_EQ(fake.autostart.exists(kEntry), !c.writesVanish);
        if (!c.writesVanish) {
            EXPECT_EQ(fake.autostart.entries.at(kEntry).program, "/opt/halvern/zorvik");
        }
        EXPECT_TRUE(program->form().chkStartup.checked());
        EXPECT_EQ(stored("bStartup"), "True");
        EXPECT_FALSE(anyBoxSays("NOT ABLE to add a shortcut")) << "the first start is silent";
        EXPECT_FALSE(anyBoxSays("trouble removing the shortcut"));
        program->mnuFileExit_Click();
    }
}

TEST_F(ProgramStartupShortcutTest, ALaterStartLeavesTheEntryAsTheUserLeftIt) {
    fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
    struct Case {
        const char* settings;
        bool entry;
    } cases[] = {{"[Settings]\r\nbStartup=True\r\n", true},
                 {"[Settings]\r\nbStartup=False\r\n", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.settings);
        fake.autostart.entries.clear();
        if (c.entry) {
            fake.autostart.put(kEntry, {"Zorvik", "", "/opt/halvern/zorvik", "/opt/halvern", ""});
        }
        fake.files.put(kIni, c.settings);
        fake.dialogs.clear();
        auto program = load();
        fake.clock.advance(2500ms);
        EXPECT_EQ(program->form().chkStartup.checked(), c.entry);
        EXPECT_EQ(fake.autostart.writes(kEntry), 0);
        EXPECT_EQ(fake.autostart.exists(kEntry), c.entry);
        EXPECT_TRUE(fake.dialogs.boxes().empty());
        program->mnuFileExit_Click();
    }
}

TEST_F(ProgramStartupShortcutTest, UnticksRemoveTheEntryAndTheChoiceIsSaved) {
    auto program = load();
    fake.clock.advance(2500ms);
    ASSERT_TRUE(fake.autostart.exists(kEntry));
    program->form().chkStartup.click();
    EXPECT_FALSE(fake.autostart.exists(kEntry));
    EXPECT_FALSE(anyBoxSays("trouble removing the shortcut"));
    program->mnuFileExit_Click();
    EXPECT_EQ(stored("bStartup"), "False");
}

TEST_F(ProgramStartupShortcutTest, TheUninstallRemovesTheEntry) {
    auto program = load();
    fake.clock.advance(2500ms);
    ASSERT_TRUE(fake.autostart.exists(kEntry));
    fake.dialogs.clear();
    fake.dialogs.answerNext(BoxAnswer::Yes);
    program->form().mnuUninstallUninstall.click();
    EXPECT_FALSE(fake.autostart.exists(kEntry));
    EXPECT_FALSE(anyBoxSays("trouble removing the shortcut"));
    EXPECT_TRUE(program->finished());
}

}  // namespace
