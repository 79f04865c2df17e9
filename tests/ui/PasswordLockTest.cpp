#include "ui/PasswordLock.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using halvern::forms::MainForm;
using halvern::ui::PasswordLock;

namespace {

const std::string kSet =
    "Thank you.  Your password was set.  The next time you start Zorvik will ask for this "
    "password before any configuration settings may be changed.";
const std::string kAccepted =
    "Thank you.  Your password was accepted.  You now can change configuration settings.";
const std::string kTypeFirst = "Please type in a password first.";
const std::string kSetFailed =
    "Sorry, your password could not be stored, so no password is set.  The configuration "
    "settings stay unlocked.";

std::string mismatch(const std::string& typed) {
    return "Sorry, the password you entered '" + typed +
           "' does not match.  Please contact the person who set the password.";
}

struct PasswordLockTest : ::testing::Test {
    PasswordLockTest() {
        parts.log.observe([this](const std::string& line) { logLines.push_back(line); });
    }

    /// The value the store holds for the password, or nothing.
    std::optional<std::string> stored() const {
        return fake.userStore.get("KorvaneSoft", "Zorvik", "BlockLevel");
    }
    void store(const std::string& value) {
        fake.userStore.set("KorvaneSoft", "Zorvik", "BlockLevel", value);
    }
    /// The text of the last box, "" when none was shown.
    std::string lastBox() const {
        return fake.dialogs.boxes().empty() ? "" : fake.dialogs.boxes().back().text;
    }
    void type(const std::string& text) { form().txtPass.setText(text); }
    MainForm& form() { return parts.form; }

    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    PasswordLock lock{parts.context, parts.log};
    std::vector<std::string> logLines;
};

TEST_F(PasswordLockTest, LoginAndFirstPasswordCases) {
    struct Case {
        const char* name;
        std::optional<std::string> before;  // the stored value; a "#" is the hash of what follows
        std::string typed;
        bool readOnlyStore;
        bool lockedAtStart;
        bool lockedAfter;
        std::string message;
        std::string passwordAfter;  // what verifies against the store afterwards ("" = none)
    } cases[] = {
        {"empty field, no password", std::nullopt, "", false, false, false, kTypeFirst, ""},
        {"empty field, password set", "#secret", "", false, true, true, kTypeFirst, "secret"},
        {"blanks are no password", std::nullopt, "   ", false, false, false, kTypeFirst, ""},
        {"first password, trimmed", std::nullopt, "  new one  ", false, false, false, kSet,
         "new one"},
        {"first password, store fails", std::nullopt, "new", true, false, false, kSetFailed, ""},
        {"trimmed match", "#secret", "  secret ", false, true, false, kAccepted, "secret"},
        {"wrong case", "#secret", "Secret", false, true, true, mismatch("Secret"), "secret"},
        {"blanks kept in the message", "#secret", " nope ", false, true, true, mismatch(" nope "),
         "secret"},
        {"old plain value migrates", " secret ", "secret", false, true, false, kAccepted, "secret"},
        {"old plain value, store fails", "secret", "secret", true, true, false, kAccepted, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        halvern::testing::FakePlatform f;
        halvern::testing::ProgramParts p{f.platform, {"/opt/halvern", "/etc/hosts"}};
        std::vector<std::string> log;
        p.log.observe([&log](const std::string& line) { log.push_back(line); });
        PasswordLock l{p.context, p.log};
        if (c.before) {
            const bool hashed = c.before->starts_with("#");
            f.userStore.set("KorvaneSoft", "Zorvik", "BlockLevel",
                            hashed ? f.hasher.hash(c.before->substr(1)) : *c.before);
        }
        f.userStore.readOnly = c.readOnlyStore;
        l.setUp();
        EXPECT_EQ(l.locked(), c.lockedAtStart);
        f.userStore.readOnly = c.readOnlyStore;

        p.form.txtPass.setText(c.typed);
        p.form.cmdPass.click();
        ASSERT_FALSE(f.dialogs.boxes().empty());
        EXPECT_EQ(f.dialogs.boxes().back().text, c.message);
        EXPECT_EQ(f.dialogs.boxes().back().title, "Zorvik");
        EXPECT_EQ(l.locked(), c.lockedAfter);

        const auto value = f.userStore.get("KorvaneSoft", "Zorvik", "BlockLevel");
        if (c.passwordAfter.empty()) {
            EXPECT_TRUE(!value || !f.hasher.isHash(*value)) << *value;
        } else {
            ASSERT_TRUE(value);
            EXPECT_TRUE(f.hasher.isHash(*value)) << "kept in plain text: " << *value;
            EXPECT_TRUE(f.hasher.verify(c.passwordAfter, *value));
        }
        const std::string secret = c.typed.find_first_not_of(' ') == std::string::npos
                                       ? std::string()
                                       : c.typed.substr(c.typed.find_first_not_of(' '), 3);
        for (const std::string& line : log) {
            EXPECT_TRUE(secret.empty() || line.find(secret) == std::string::npos) << line;
        }
    }
}

TEST_F(PasswordLockTest, AnOldPlainPasswordKeptInMemoryAsAHashWhenTheStoreCannotTakeIt) {
    store("secret");
    fake.userStore.readOnly = true;
    lock.setUp();
    EXPECT_EQ(stored(), "secret") << "the failed write changes nothing stored";
    EXPECT_TRUE(fake.hasher.isHash(lock.strPassword));
    ASSERT_EQ(logLines.size(), 1u);
    EXPECT_EQ(logLines[0],
              "The settings password could not be stored as a hash; it is still kept as typed.");

    type("secret");
    form().cmdPass.click();
    EXPECT_FALSE(lock.locked());
}

TEST_F(PasswordLockTest, SetUpLabelsTheTabForEachState) {
    lock.setUp();
    EXPECT_EQ(form().lblSetPass.caption(), "Type in a password:");
    EXPECT_EQ(form().cmdPass.caption(), "Set Password");
    EXPECT_FALSE(form().txtNewPass.visible());
    EXPECT_FALSE(form().lblNewPass.visible());
    EXPECT_FALSE(form().cmdNewPass.visible());

    store(fake.hasher.hash("secret"));
    form().txtPass.setText("left over");
    lock.setUp();
    EXPECT_EQ(form().txtPass.text(), "");
    EXPECT_EQ(form().lblSetPass.caption(), "Enter your password:");
    EXPECT_EQ(form().cmdPass.caption(), "Login to Settings");
    EXPECT_EQ(form().lblPassHelp.caption(),
              "Please enter the configuration password to change Zorvik settings or contact the "
              "person who set the password.");
    EXPECT_EQ(form().txtPass.passwordChar(), "*");
    EXPECT_EQ(form().txtNewPass.passwordChar(), "*");
}

TEST_F(PasswordLockTest, TheLockHidesTabsMenusFramesAndTrayEntriesUntilTheLogin) {
    // This build hides the version check for good; a login must not bring it back.
    form().cmdNew.setVisible(false);
    form().lblNewV.setVisible(false);
    store(fake.hasher.hash("secret"));
    lock.setUp();

    for (int tab = 0; tab < 11; ++tab) {
        EXPECT_EQ(form().A.tabEnabled(tab), tab == MainForm::kTabOtherPassword) << tab;
    }
    EXPECT_EQ(form().A.tab(), MainForm::kTabOtherPassword);
    EXPECT_FALSE(form().mnuSettings.visible());
    for (const halvern::forms::Control* c : std::vector<const halvern::forms::Control*>{
             &form().frameOtherOptions, &form().cmdData, &form().lbldownload, &form().cmdReset,
             &form().lblreset, &form().cmdTestConn, &form().lblconnect}) {
        EXPECT_FALSE(c->visible()) << c->name();
    }
    for (const halvern::forms::MenuItem* entry : form().mnuTray.children()) {
        EXPECT_EQ(entry->visible(), entry == &form().mnuTraySettings) << entry->name();
    }
    EXPECT_TRUE(form().frameAdStats.visible());
    EXPECT_TRUE(form().frameRecentAd.visible());

    type("secret");
    form().cmdPass.click();
    for (int tab = 0; tab < 11; ++tab) {
        EXPECT_TRUE(form().A.tabEnabled(tab)) << tab;
    }
    EXPECT_TRUE(form().mnuSettings.visible());
    for (const halvern::forms::Control* c : std::vector<const halvern::forms::Control*>{
             &form().frameOtherOptions, &form().cmdData, &form().lbldownload, &form().cmdReset,
             &form().lblreset, &form().cmdTestConn, &form().lblconnect}) {
        EXPECT_TRUE(c->visible()) << c->name();
    }
    for (const halvern::forms::MenuItem* entry : form().mnuTray.children()) {
        EXPECT_TRUE(entry->visible()) << entry->name();
    }
    EXPECT_FALSE(form().cmdNew.visible());
    EXPECT_FALSE(form().lblNewV.visible());
    EXPECT_EQ(form().lblPassHelp.caption(),
              "You are logged in.  It is now possible to set a new password.  ");
    EXPECT_TRUE(form().txtNewPass.visible());
    EXPECT_TRUE(form().cmdNewPass.visible());
}

TEST_F(PasswordLockTest, FirstPasswordShowsTheNewPasswordControls) {
    lock.setUp();
    form().txtNewPass.setText("stale");
    type("first");
    form().cmdPass.click();
    EXPECT_EQ(lastBox(), kSet);
    EXPECT_EQ(form().txtNewPass.text(), "");
    EXPECT_EQ(form().lblNewPass.caption(), "Set a different password:");
    EXPECT_EQ(form().cmdNewPass.caption(), "Set New Password");
    EXPECT_TRUE(form().txtNewPass.visible());
    EXPECT_TRUE(form().lblNewPass.visible());
    EXPECT_EQ(form().lblPassHelp.caption(),
              "You are logged in.  It is now possible to set a new password.  ");

    // The next start asks for it.
    PasswordLock next{parts.context, parts.log};
    next.setUp();
    EXPECT_TRUE(next.locked());
}

TEST_F(PasswordLockTest, NewPasswordNeedsTheOldOneAndAnEmptyOneRemovesTheLock) {
    store(fake.hasher.hash("old"));
    lock.setUp();
    type("wrong");
    form().txtNewPass.setText("new");
    form().cmdNewPass.click();
    EXPECT_EQ(lastBox(), "Please type in the original configuration password first.");
    EXPECT_TRUE(fake.hasher.verify("old", *stored()));

    type(" old ");
    form().txtNewPass.setText("  new  ");
    form().cmdNewPass.click();
    EXPECT_EQ(lastBox(), "Thank you.  The new password was accepted.");
    EXPECT_TRUE(fake.hasher.verify("new", *stored()));
    EXPECT_EQ(form().txtPass.text(), "new");
    EXPECT_EQ(form().txtNewPass.text(), "");
    EXPECT_FALSE(lock.locked());

    fake.userStore.readOnly = true;
    form().txtNewPass.setText("newer");
    form().cmdNewPass.click();
    EXPECT_EQ(lastBox(),
              "Sorry, the new password could not be stored.  The old password stays in place.");
    fake.userStore.readOnly = false;
    EXPECT_TRUE(fake.hasher.verify("new", *stored()));

    form().txtNewPass.setText("   ");
    form().cmdNewPass.click();
    EXPECT_EQ(stored(), "");
    PasswordLock next{parts.context, parts.log};
    next.setUp();
    EXPECT_FALSE(next.locked());
}

TEST_F(PasswordLockTest, SixHelpClicksClearThePasswordFiveDoNot) {
    store(fake.hasher.hash("secret"));
    lock.setUp();
    type("typed");
    for (int i = 0; i < 5; ++i) {
        form().lblPassHelp.click();
    }
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_TRUE(fake.hasher.isHash(*stored()));

    form().lblPassHelp.click();
    EXPECT_EQ(lastBox(), "The password has been cleared.");
    EXPECT_EQ(stored(), "");
    EXPECT_EQ(form().txtPass.text(), "");
    EXPECT_EQ(lock.strPassword, "");
    EXPECT_TRUE(lock.locked()) << "the window stays as it is until the next start";

    // Any text now sets a new password.
    type("another");
    form().cmdPass.click();
    EXPECT_EQ(lastBox(), kSet);
    EXPECT_FALSE(lock.locked());
}

TEST_F(PasswordLockTest, HelpClicksSaturateAndAFailedClearSaysSo) {
    store(fake.hasher.hash("secret"));
    lock.setUp();
    lock.nPassHelpClicks = 32767;
    fake.userStore.readOnly = true;
    form().lblPassHelp.click();
    EXPECT_EQ(lock.nPassHelpClicks, 32767);
    EXPECT_EQ(lastBox(), "Sorry, the password could not be cleared.");
    EXPECT_FALSE(lock.strPassword.empty());
    fake.userStore.readOnly = false;
    form().lblPassHelp.click();
    EXPECT_EQ(lastBox(), "The password has been cleared.");
}

TEST_F(PasswordLockTest, AFailedHashSetsNoPassword) {
    lock.setUp();
    fake.hasher.fails = true;
    type("first");
    form().cmdPass.click();
    EXPECT_EQ(lastBox(), kSetFailed);
    EXPECT_FALSE(stored());
    EXPECT_EQ(lock.strPassword, "");
}

}  // namespace
