#include "adservers/AdServerEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using halvern::adservers::AdServerEditor;
using halvern::platform::BoxAnswer;
using Names = std::vector<std::string>;

namespace {

const std::string kHosts = "/etc/hosts";
const std::string kDefaultList = "/opt/halvern/zorvikhosts.ini";
const std::string kUserList = "/opt/halvern/userhosts.ini";
const std::string kAllowedList = "/opt/halvern/zorvikhostsexc.ini";

std::string listFile(const Names& entries) {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
    }
    return text;
}

struct AdServerEditorTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", kHosts}};
    halvern::adservers::PlaceholderServer server{parts.context, parts.log, parts.rings,
                                                 parts.counter, [] {}};
    halvern::adservers::AdServerBlocking blocking{parts.context, parts.log, parts.help,
                                                  parts.settings, server};
    AdServerEditor editor{parts.context, blocking};
    halvern::adservers::AdServerEditorForm& f = editor.form();

    void lists(const Names& defaults, const Names& users = {}, const Names& allowed = {}) {
        fake.files.put(kDefaultList, listFile(defaults));
        fake.files.put(kUserList, listFile(users));
        fake.files.put(kAllowedList, listFile(allowed));
    }
    /// Opens the editor on the standard lists, with no hint.
    void open(const Names& defaults = {"ads.one.example", "track.two.example", "ads.three.example",
                                       "pix.four.example"},
              const Names& users = {"mine.example"}, const Names& allowed = {"old.example"}) {
        lists(defaults, users, allowed);
        editor.show();
    }
    std::string lastTitle() const {
        return fake.dialogs.boxes().empty() ? "" : fake.dialogs.boxes().back().title;
    }
    std::size_t boxCount() const { return fake.dialogs.boxes().size(); }
    void select(halvern::forms::ListBox& list, const std::string& item) {
        for (int i = 0; i < list.listCount(); ++i) {
            if (list.item(i) == item) {
                list.setListIndex(i);
                return;
            }
        }
        FAIL() << item << " is not listed";
    }
    void add(const std::string& value) {
        f.txtServer.setText(value);
        f.cmdAdd.click();
    }
};

TEST_F(AdServerEditorTest, LoadFillsTheThreeListsAndStartsWithTheCommandsOff) {
    fake.files.put(kDefaultList,
                   "[DomainCount]\r\nN=4\r\n[Domains]\r\nD0=a.example\r\nD1=\r\nD2= c.example "
                   "\r\nD3=d.example\r\n");
    fake.files.put(kAllowedList, "[DomainCount]\r\nN=3\r\n[Domains]\r\nD0=x.example\r\n");
    fake.files.put(kUserList, listFile({"mine.example"}));
    editor.show();

    EXPECT_TRUE(f.frmExclude.visible());
    EXPECT_EQ(f.lstAll.items(), (Names{"a.example", "c.example", "d.example"}));
    EXPECT_EQ(f.lstExclude.items(), Names{"x.example"});
    EXPECT_EQ(f.lstAdd.items(), Names{"mine.example"});
    // The count as the file states it.
    EXPECT_EQ(f.lblExclude.caption(), "3 Allowed (unblocked) Ad Servers");
    EXPECT_EQ(f.lblTotal.caption(), "4 Total Ad Servers");
    for (auto* button : {&f.cmdDo, &f.cmdUndo, &f.cmdAdd, &f.cmdDel}) {
        EXPECT_FALSE(button->enabled()) << button->name();
    }
    EXPECT_GE(fake.clock.pumpCount(), 1u);
}

TEST_F(AdServerEditorTest, MissingListsGiveEmptyLists) {
    editor.show();
    EXPECT_EQ(f.lstAll.listCount(), 0);
    EXPECT_EQ(f.lblExclude.caption(), "0 Allowed (unblocked) Ad Servers");
}

TEST_F(AdServerEditorTest, HintNamesTheLastBlockedServerAndFindsIt) {
    parts.state.strLastHost = "ads.three.example";
    open();
    EXPECT_EQ(f.lblLast.caption(),
              "The last Ad blocked was from the server 'ads.three.example' To allow all content "
              "from ads.three.example from now on, click the '=>' button.");
    EXPECT_EQ(f.txtFind.text(), "ads.three.example");
    EXPECT_EQ(f.lstAll.listIndex(), 2);
    EXPECT_TRUE(f.cmdDo.enabled());
    EXPECT_EQ(f.cmdGo.caption(), "Find Next");
}

TEST_F(AdServerEditorTest, AHandedOverRecordWinsOverTheLastHost) {
    parts.state.strLastHost = "ads.one.example";
    lists({"ads.one.example", "pix.four.example"});
    editor.show("10:00:01 Blocked 'pix.four.example' /banner.gif");
    EXPECT_EQ(f.lblLast.caption(),
              "The Ad Server you click on was 'pix.four.example' To allow all content from "
              "pix.four.example from now on, click the '=>' button.");
    EXPECT_EQ(f.lstAll.listIndex(), 1);
}

TEST_F(AdServerEditorTest, SelectionsEnableTheirCommandsAndSixCharactersEnableAdd) {
    open();
    f.lstAll.setListIndex(0);
    f.lstExclude.setListIndex(0);
    f.lstAdd.setListIndex(0);
    EXPECT_TRUE(f.cmdDo.enabled());
    EXPECT_TRUE(f.cmdUndo.enabled());
    EXPECT_TRUE(f.cmdDel.enabled());
    f.txtServer.setText("abcde");
    EXPECT_FALSE(f.cmdAdd.enabled());
    f.txtServer.setText("abcdef");
    EXPECT_TRUE(f.cmdAdd.enabled());
    f.txtServer.setText("a");
    EXPECT_TRUE(f.cmdAdd.enabled()) << "never disabled again";
}

TEST_F(AdServerEditorTest, CommandsOnTheSelectedEntryDoNothingWithoutASelection) {
    open();
    f.cmdDo.setEnabled(true);
    f.cmdUndo.setEnabled(true);
    f.cmdDel.setEnabled(true);
    for (auto* button : {&f.cmdDo, &f.cmdUndo, &f.cmdDel}) {
        button->click();
    }
    EXPECT_EQ(f.lstAll.listCount(), 4);
    EXPECT_EQ(f.lstExclude.items(), Names{"old.example"});
    EXPECT_EQ(f.lstAdd.items(), Names{"mine.example"});
    EXPECT_EQ(boxCount(), 0u);
    f.cmdOK.click();
    EXPECT_EQ(fake.files.writes(kUserList), 0) << "nothing changed, nothing saved";
}

TEST_F(AdServerEditorTest, AllowMovesADefaultServerAndRefusesADuplicate) {
    open({"ads.one.example", "old.example"});
    select(f.lstAll, "ads.one.example");
    f.cmdDo.click();
    EXPECT_EQ(f.lstAll.items(), Names{"old.example"});
    EXPECT_EQ(f.lstExclude.items(), (Names{"old.example", "ads.one.example"}));
    EXPECT_EQ(f.lblExclude.caption(), "1 Allowed (unblocked) Ad Servers") << "not updated here";

    select(f.lstAll, "old.example");
    f.cmdDo.click();
    EXPECT_EQ(lastTitle(), "Duplicate Server Entry");
    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "'old.example' is already in the 'Allow Sites List'");
    EXPECT_EQ(f.lstAll.items(), Names{"old.example"});
}

TEST_F(AdServerEditorTest, UndoPutsADefaultBackOnTopAndAFormerUserServerBackToTheUser) {
    open({"ads.one.example", "track.two.example"}, {"mine.example"}, {});
    select(f.lstAll, "track.two.example");
    f.cmdDo.click();
    select(f.lstAdd, "mine.example");
    f.cmdDel.click();
    EXPECT_EQ(f.lstExclude.items(), (Names{"track.two.example", "mine.example"}));
    EXPECT_FALSE(f.cmdDel.enabled());

    select(f.lstExclude, "track.two.example");
    f.cmdUndo.click();
    EXPECT_EQ(f.lstAll.items(), (Names{"track.two.example", "ads.one.example"}));
    EXPECT_EQ(f.lstAll.listIndex(), 0);
    EXPECT_EQ(f.lblExclude.caption(), "1 Allowed (unblocked) Ad Servers");

    // Not a default: back among the user's own servers, not the defaults.
    select(f.lstExclude, "mine.example");
    f.cmdUndo.click();
    EXPECT_EQ(f.lstAll.items(), (Names{"track.two.example", "ads.one.example"}));
    EXPECT_EQ(f.lstAdd.items(), Names{"mine.example"});
    EXPECT_TRUE(f.lstExclude.items().empty());
    EXPECT_EQ(f.lblExclude.caption(), "0 Allowed (unblocked) Ad Servers");
}

TEST_F(AdServerEditorTest, FindWalksTheMatchesOneByOneThenStartsOver) {
    open();
    f.txtFind.setText("ads");
    f.cmdGo.click();
    EXPECT_EQ(f.lstAll.listIndex(), 0);
    EXPECT_EQ(f.cmdGo.caption(), "Find Next");
    f.cmdGo.click();
    EXPECT_EQ(f.lstAll.listIndex(), 2);
    f.cmdGo.click();
    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "Sorry, didn't find ads in the list.  Please try again.");
    EXPECT_EQ(f.cmdGo.caption(), "Find");
    f.cmdGo.click();
    EXPECT_EQ(f.lstAll.listIndex(), 0) << "starts over";

    // Any change of the text starts the search at the top.
    f.cmdGo.click();
    EXPECT_EQ(f.lstAll.listIndex(), 2);
    f.txtFind.setText("ADS");
    f.txtFind.setText("ads");
    f.cmdGo.click();
    EXPECT_EQ(f.lstAll.listIndex(), 0);
}

TEST_F(AdServerEditorTest, FindWithAnEmptyBoxOrTheUsersOwnLastServer) {
    open();
    f.cmdGo.click();
    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "You need to first type something in the 'Find' box i.e. ads.example.com");
    parts.state.strLastHost = "mine.example";
    f.txtFind.setText("mine.example");
    fake.dialogs.clear();
    f.cmdGo.click();
    EXPECT_EQ(boxCount(), 0u);
    EXPECT_EQ(f.lblLast.caption(),
              "The last Ad blocked was from the server 'mine.example' To allow all content from "
              "mine.example select it from your personal blocked server list and click the "
              "'Delete from List' button.");
}

TEST_F(AdServerEditorTest, AddChecksInOrderAndStopsAtTheFirstRefusal) {
    struct Case {
        std::string value;
        std::string title;
    };
    const std::vector<Case> cases = {
        {"http://ads.example/x", "Don't use leading http://"},
        {"http://10.0.0.1", "Don't use leading http://"},
        {"ads.example/x", "Compound URLs not supported at this time."},
        {"10.0.0.1/x", "Compound URLs not supported at this time."},
        {"192.168.0.1", "There was an error in your input"},
        {"", "There was an error in your input"},
        // What the hosts file would leave out is refused as a compound name.
        {"ads example.com", "Compound URLs not supported at this time."},
        {"ads..example.com", "Compound URLs not supported at this time."},
        {"ads.example.com#", "Compound URLs not supported at this time."},
        {"*.ads.example", "Compound URLs not supported at this time."},
    };
    open();
    for (const Case& c : cases) {
        fake.dialogs.clear();
        add(c.value);
        ASSERT_EQ(boxCount(), 1u) << c.value;
        EXPECT_EQ(lastTitle(), c.title) << c.value;
    }
    EXPECT_EQ(f.lstAdd.items(), Names{"mine.example"});
    const auto& box = fake.dialogs.boxes().back();
    EXPECT_TRUE(box.text.ends_with(AdServerEditor::httpText())) << box.text;
    EXPECT_EQ(AdServerEditor::httpText(),
              "Do not use a leading \"http://\".  Just specify a domain like \"ads.example.com\"");
}

TEST_F(AdServerEditorTest, AddAppendsANewServerAndRefusesADuplicateOfAnyCase) {
    open();
    add("new.ads.example");
    EXPECT_EQ(f.lstAdd.items(), (Names{"mine.example", "new.ads.example"}));
    EXPECT_EQ(f.lstAdd.listIndex(), 1);
    add("MINE.example");
    EXPECT_EQ(lastTitle(), "Duplicate Entry Found.");
    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "'MINE.example' is already in your list of 'Additional Ad Server to Block'. ");
    add("Ads.One.Example");
    EXPECT_EQ(lastTitle(), "Duplicate Ad Server Entry Found.");
    EXPECT_EQ(f.lstAll.listIndex(), 0);
    EXPECT_EQ(f.lstAdd.listCount(), 2);
}

TEST_F(AdServerEditorTest, AddingAnAllowedServerAsksFirst) {
    open({"ads.one.example", "old.example"}, {}, {"old.example", "gone.example"});
    fake.dialogs.answerNext(BoxAnswer::No);
    add("gone.example");
    EXPECT_EQ(lastTitle(), "Are you Sure?");
    EXPECT_EQ(fake.dialogs.boxes().back().text,
              "'gone.example' is already in the 'Allowed Sites' list. \r\n\r\nAre you sure you "
              "want to block all content  from 'gone.example'?");
    EXPECT_EQ(f.lstExclude.listCount(), 2);
    EXPECT_TRUE(f.lstAdd.items().empty());

    fake.dialogs.answerNext(BoxAnswer::Yes);
    add("gone.example");
    EXPECT_EQ(f.lstExclude.items(), Names{"old.example"});
    EXPECT_EQ(f.lstAdd.items(), Names{"gone.example"});

    // A default server leaves the allowed list and is blocked again as a default.
    fake.dialogs.answerNext(BoxAnswer::Yes);
    add("old.example");
    EXPECT_EQ(lastTitle(), "Duplicate Ad Server Entry Found.");
    EXPECT_TRUE(f.lstExclude.items().empty());
    EXPECT_EQ(f.lstAdd.items(), Names{"gone.example"});
    EXPECT_EQ(f.lstExclude.listIndex(), -1);
}

struct EditorOkTest : AdServerEditorTest {
    void SetUp() override {
        fake.files.put(kHosts, "127.0.0.1 localhost\n");
        parts.state.bBlockAdServers = true;
        open({"ads.one.example", "track.two.example"}, {"mine.example"}, {});
        select(f.lstAll, "track.two.example");
        f.cmdDo.click();
        add("more.example");
    }
};

TEST_F(EditorOkTest, OkSavesBothListsAndRebuildsWhileBlockingIsOn) {
    f.cmdOK.click();
    EXPECT_FALSE(f.frmExclude.visible());
    EXPECT_EQ(fake.files.text(kUserList),
              "[DomainCount]\r\nN=2\r\n[Domains]\r\nD0=mine.example\r\nD1=more.example\r\n");
    EXPECT_EQ(fake.files.text(kAllowedList),
              "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=track.two.example\r\n");
    const std::string hosts = fake.files.text(kHosts);
    EXPECT_NE(hosts.find("127.0.0.1 ads.one.example\n"), std::string::npos) << hosts;
    EXPECT_NE(hosts.find("127.0.0.1 more.example\n"), std::string::npos) << hosts;
    EXPECT_EQ(hosts.find("track.two.example"), std::string::npos) << hosts;
    EXPECT_EQ(blocking.getExcludeArray(), (Names{"track.two.example", ""}));
    EXPECT_TRUE(fake.dialogs.boxes().back().text.starts_with(
        "If the changes you've made don't seem to work right away"));
    EXPECT_EQ(fake.files.writes(kDefaultList), 0);
}

TEST_F(AdServerEditorTest, ALongNameIsShownAndSavedWhole) {
    // 253 characters: the longest host name, longer than the settings reader's 249.
    const std::string longName = std::string(63, 'a') + "." + std::string(63, 'b') + "." +
                                 std::string(63, 'c') + "." + std::string(61, 'd');
    ASSERT_EQ(longName.size(), 253u);
    open({"ads.one.example", longName}, {longName + "x"}, {});
    EXPECT_EQ(f.lstAll.items(), (Names{"ads.one.example", longName}));
    EXPECT_EQ(f.lstAdd.items(), Names{longName + "x"});
    select(f.lstAll, longName);
    f.cmdDo.click();
    f.cmdOK.click();
    EXPECT_EQ(fake.files.text(kAllowedList),
              "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=" + longName + "\r\n");
    EXPECT_EQ(fake.files.text(kUserList),
              "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=" + longName + "x\r\n");
}

TEST_F(EditorOkTest, OkWhileBlockingIsOffSavesTheListsButLeavesTheHostsFile) {
    parts.state.bBlockAdServers = false;
    f.cmdOK.click();
    EXPECT_EQ(fake.files.text(kAllowedList),
              "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=track.two.example\r\n");
    EXPECT_EQ(fake.files.text(kHosts), "127.0.0.1 localhost\n");
    EXPECT_EQ(fake.files.writes(kHosts), 0);
}

TEST_F(EditorOkTest, AnExitDuringTheNoticeWritesNothing) {
    fake.clock.callAfter(std::chrono::milliseconds(0), [this] {
        parts.state.bExiting = true;
        editor.unload();
    });
    f.cmdOK.click();
    EXPECT_EQ(fake.files.writes(kUserList), 0);
    EXPECT_EQ(fake.files.writes(kAllowedList), 0);
    EXPECT_EQ(fake.files.writes(kHosts), 0);
}

TEST_F(EditorOkTest, AListThatCannotBeWrittenIsReportedAndTheWindowStaysOpen) {
    fake.files.setReadOnly(kAllowedList);
    f.cmdOK.click();
    ASSERT_FALSE(fake.dialogs.boxes().empty());
    EXPECT_EQ(fake.dialogs.boxes().back().text, "Zorvik could not write the file named '" +
                                                    kAllowedList +
                                                    "'. Your changes are not saved yet.");
    EXPECT_TRUE(f.frmExclude.visible());
    EXPECT_EQ(fake.files.writes(kHosts), 0);
    fake.files.setReadOnly(kAllowedList, false);
    f.cmdOK.click();
    EXPECT_FALSE(f.frmExclude.visible());
    EXPECT_EQ(fake.files.text(kAllowedList),
              "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=track.two.example\r\n");
}

TEST_F(EditorOkTest, CancelAndClosingDiscardTheChanges) {
    f.cmdCancel.click();
    EXPECT_FALSE(f.frmExclude.visible());
    editor.show();
    EXPECT_EQ(f.lstAdd.items(), Names{"mine.example"}) << "loaded fresh";
    add("more.example");
    EXPECT_TRUE(f.frmExclude.queryUnload(halvern::forms::UnloadMode::FormControlMenu));
    EXPECT_FALSE(f.frmExclude.visible());
    EXPECT_EQ(fake.files.writes(kUserList), 0);
}

TEST_F(AdServerEditorTest, TheTitleLabelClosesTheEditorAndAsksForTheTitleEditor) {
    int asked = 0;
    editor.openTitleEditor = [&asked] { ++asked; };
    open();
    f.lblPopupTitles.click();
    EXPECT_FALSE(f.frmExclude.visible());
    EXPECT_EQ(asked, 1);
}

}  // namespace
