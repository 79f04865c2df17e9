#include "popups/WhiteListEditor.h"

#include "WhiteListFixture.h"
#include "program/Program.h"
#include "ui/LogWindow.h"

namespace halvern::popups::fixture {
namespace {

using namespace std::chrono_literals;

class WhiteListEditorTest : public WhiteListTest {
protected:
    WhiteListEditorTest() { useShipped({"shipped.test", "other.test"}); }

    /// Types the text and presses "Add to White List", with no box left from before.
    void add(const std::string& typed) {
        fake.dialogs.clear();
        f.txtTitle.setText(typed);
        f.cmdAdd.click();
    }

    WhiteListEditor& editor = list.editor;
    WhiteListForm& f = list.editor.form;
};

TEST_F(WhiteListEditorTest, OpensOnTheListInUseWithTheLastBlockedPage) {
    int raised = 0;
    f.frmIEWhiteList.raiseRequested().connect([&] { ++raised; });
    list.openEditor();
    EXPECT_TRUE(f.frmIEWhiteList.visible());
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(f.frmIEWhiteList.caption(),
              "Popup Ad site White List (Effects Internet Explorer users ONLY)");
    EXPECT_EQ(f.lstAdd.items(), (std::vector<std::string>{"shipped.test", "other.test"}));
    EXPECT_EQ(f.txtTitle.text(), "");
    EXPECT_FALSE(f.cmdAdd.enabled());
    EXPECT_FALSE(f.cmdDel.enabled());
    f.cmdCancel.click();

    list.setLastIEPopURL("http://www.pop.test/page");
    list.openEditor();
    EXPECT_EQ(f.txtTitle.text(), "www.pop.test/page");
    EXPECT_TRUE(f.cmdAdd.enabled()) << "filling the text box is a change";
    EXPECT_FALSE(f.cmdDel.enabled());
    f.lstAdd.setListIndex(1);
    EXPECT_TRUE(f.cmdDel.enabled());

    // Opening it again while it is open only brings it to the front.
    f.txtTitle.setText("typed.test");
    list.openEditor();
    EXPECT_EQ(raised, 3);
    EXPECT_EQ(f.txtTitle.text(), "typed.test");
}

TEST_F(WhiteListEditorTest, AddTakesTheTextLowerCasedWithoutSchemeAndRefusesShortOrKnownOnes) {
    list.openEditor();
    struct Case {
        std::string typed;
        std::string boxText;  // "": added, no box
        std::string boxTitle;
        std::vector<std::string> items;
    };
    const std::vector<std::string> shipped = {"shipped.test", "other.test"};
    const std::string tooShort = "is too short.  Needs to be 5 characters or more.";
    const std::string known = "is already in your list of 'White Listed Sites' to Block'. ";
    const Case cases[] = {
        {"abcd", "'abcd' " + tooShort, "Substring too short.", shipped},
        {"", "'' " + tooShort, "Substring too short.", shipped},
        {"http://abcd", "'abcd' " + tooShort, "Substring too short.", shipped},
        {"HTTPS://ABCD", "'abcd' " + tooShort, "Substring too short.", shipped},
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F", "'\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F' " + tooShort,
         "Substring too short.", shipped},  // four characters in eight bytes
        {"Other.Test", "'other.test' " + known, "Duplicate Entry Found.", shipped},
        {"HTTP://Pop.Test/Page", "", "", {"shipped.test", "other.test", "pop.test/page"}},
        {" pop.test/page",
         "' pop.test/page' " + known,
         "Duplicate Entry Found.",
         {"shipped.test", "other.test", "pop.test/page"}},
        {"https://abcde", "", "", {"shipped.test", "other.test", "pop.test/page", "abcde"}},
    };
    for (const Case& c : cases) {
        const bool changedBefore = editor.bListChanged;
        add(c.typed);
        EXPECT_EQ(f.lstAdd.items(), c.items) << c.typed;
        if (c.boxText.empty()) {
            EXPECT_TRUE(fake.dialogs.boxes().empty()) << c.typed;
            EXPECT_EQ(f.lstAdd.listIndex(), f.lstAdd.listCount() - 1) << "the new entry";
            EXPECT_TRUE(editor.bListChanged);
            EXPECT_TRUE(f.cmdDel.enabled());
            continue;
        }
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u) << c.typed;
        EXPECT_EQ(fake.dialogs.boxes()[0].text, c.boxText);
        EXPECT_EQ(fake.dialogs.boxes()[0].title, c.boxTitle);
        EXPECT_EQ(fake.dialogs.boxes()[0].icon, platform::BoxIcon::Information);
        EXPECT_EQ(editor.bListChanged, changedBefore) << c.typed;
    }
    // The duplicate is left selected.
    add("OTHER.test");
    EXPECT_EQ(f.lstAdd.listIndex(), 1);
}

TEST_F(WhiteListEditorTest, DeleteRemovesTheSelectedEntry) {
    list.openEditor();
    f.cmdDel.click();  // nothing selected: nothing happens
    EXPECT_EQ(f.lstAdd.listCount(), 2);
    EXPECT_FALSE(editor.bListChanged);

    f.lstAdd.setListIndex(0);
    ASSERT_TRUE(f.cmdDel.enabled());
    f.cmdDel.click();
    EXPECT_EQ(f.lstAdd.items(), std::vector<std::string>{"other.test"});
    EXPECT_TRUE(editor.bListChanged);
    EXPECT_FALSE(f.cmdDel.enabled());
}

TEST_F(WhiteListEditorTest, OkWritesTheWholeListToTheUsersFileAndReloadsIt) {
    list.openEditor();
    add("mine.test");
    f.lstAdd.setListIndex(1);
    f.cmdDel.click();
    statusLines.clear();
    f.cmdOK.click();

    EXPECT_FALSE(f.frmIEWhiteList.visible());
    EXPECT_EQ(fake.files.text(userPath()), listFile({"shipped.test", "mine.test"}));
    EXPECT_EQ(fake.files.text(shippedPath()), listFile({"shipped.test", "other.test"}))
        << "the shipped list is never written";
    EXPECT_TRUE(list.IsInIEWhiteList("http://mine.test/"));
    EXPECT_FALSE(list.IsInIEWhiteList("http://other.test/"));
    EXPECT_EQ(statusLines,
              (std::vector<std::string>{"User Defined IE WhiteList in Memory 'shipped.test'",
                                        "User Defined IE WhiteList in Memory 'mine.test'"}));

    // From now on the user's file is the list, in the editor too.
    fake.files.put(shippedPath(), listFile({"new.shipped.test"}));
    list.openEditor();
    EXPECT_EQ(f.lstAdd.items(), (std::vector<std::string>{"shipped.test", "mine.test"}));
    EXPECT_FALSE(editor.bListChanged);
}

TEST_F(WhiteListEditorTest, OkWithoutChangesAndCancelWriteNothing) {
    list.openEditor();
    f.cmdOK.click();
    EXPECT_FALSE(f.frmIEWhiteList.visible());

    list.openEditor();
    add("mine.test");
    f.cmdCancel.click();
    EXPECT_FALSE(f.frmIEWhiteList.visible());

    // Closing the window by its frame is Cancel too.
    list.openEditor();
    add("mine.test");
    EXPECT_TRUE(f.frmIEWhiteList.queryUnload(forms::UnloadMode::FormControlMenu));
    EXPECT_FALSE(f.frmIEWhiteList.visible());

    EXPECT_EQ(fake.files.writes(userPath()), 0);
    EXPECT_FALSE(fake.files.exists(userPath()));
    EXPECT_FALSE(list.IsInIEWhiteList("http://mine.test/"));
    list.openEditor();
    EXPECT_EQ(f.lstAdd.items(), (std::vector<std::string>{"shipped.test", "other.test"}));
}

TEST_F(WhiteListEditorTest, OkWithAFailedSaveWarnsAndKeepsTheWindowAndTheEdits) {
    list.openEditor();
    add("mine.test");
    fake.files.setReadOnly(userPath());
    fake.dialogs.clear();
    f.cmdOK.click();

    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].text,
              "Zorvik could not save your popup White List to the file '" + userPath() +
                  "' (Permission denied).\r\n\r\nYour changes are still in the window: press OK "
                  "to try again, or Cancel to leave them.");
    EXPECT_EQ(fake.dialogs.boxes()[0].title, "Zorvik");
    EXPECT_EQ(fake.dialogs.boxes()[0].icon, platform::BoxIcon::Warning);
    EXPECT_TRUE(f.frmIEWhiteList.visible());
    EXPECT_EQ(f.lstAdd.items(),
              (std::vector<std::string>{"shipped.test", "other.test", "mine.test"}));
    EXPECT_TRUE(editor.bListChanged);
    EXPECT_FALSE(list.IsInIEWhiteList("http://mine.test/"));

    // Once the file can be written, OK saves the same edits.
    fake.files.setReadOnly(userPath(), false);
    fake.dialogs.clear();
    f.cmdOK.click();
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_FALSE(f.frmIEWhiteList.visible());
    EXPECT_TRUE(list.IsInIEWhiteList("http://mine.test/"));
}

/// The white list inside the whole program: the start-up load, the commands that open the
/// editor, and the recently-blocked log's hand-over.
class WhiteListProgramTest : public ::testing::Test {
protected:
    WhiteListProgramTest() {
        fake.files.put(testing::FakePlatform::kAppFolder + "/zvwl.ini",
                       "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=shipped.test\r\n");
        fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
        program.Form_Load();
        fake.clock.advance(2500ms);
    }

    testing::FakePlatform fake;
    program::Program program{fake.platform};
    forms::MainForm& form = program.form();
    WhiteList& list = program.whiteList();
    WhiteListForm& editor = program.whiteList().editor.form;
};

TEST_F(WhiteListProgramTest, TheStartLoadsTheListAndEveryCommandOpensTheEditor) {
    EXPECT_TRUE(list.IsInIEWhiteList("http://www.shipped.test/"));
    EXPECT_EQ(form.lblLastIEPop.caption(), "No Internet Explorer Popups have been blocked yet.");
    EXPECT_FALSE(form.mnuTrayLastIEPop.enabled());

    list.setLastIEPopURL("http://pop.test/");
    for (forms::CaptionControl* command : std::initializer_list<forms::CaptionControl*>{
             &form.mnuTrayLastIEPop, &form.cmdAllowIEPop, &form.lblLastIEPop}) {
        EXPECT_TRUE(command->enabled()) << command->name();
        command->click();
        EXPECT_TRUE(editor.frmIEWhiteList.visible()) << command->name();
        EXPECT_EQ(editor.txtTitle.text(), "pop.test/") << command->name();
        editor.cmdCancel.click();
    }
}

TEST_F(WhiteListProgramTest, ADoubleClickInThePopupLogOpensTheEditorOnThatPage) {
    list.setLastIEPopURL("http://first.test/a");
    list.setLastIEPopURL("http://second.test/b");
    ui::LogWindow& log = program.logWindow();
    log.open();
    log.form.cmdIEPopups.click();
    ASSERT_EQ(log.form.lstBlocked.listCount(), 2);
    log.form.lstBlocked.setListIndex(1);  // newest first: the first popup
    log.form.lstBlocked.dblClick();

    EXPECT_FALSE(log.form.frmLastBlocked.visible());
    EXPECT_TRUE(editor.frmIEWhiteList.visible());
    EXPECT_EQ(editor.txtTitle.text(), "first.test/a");
    EXPECT_EQ(form.lblLastIEPop.caption(), "Allow all Popups on page first.test/a");
    log.open();
    log.form.cmdIEPopups.click();
    EXPECT_EQ(log.form.lstBlocked.listCount(), 2) << "picking a record adds none";
}

}  // namespace
}  // namespace halvern::popups::fixture
