#include "titles/TitleEditor.h"

#include "TitlesFixture.h"

namespace halvern::titles::fixture {
namespace {

class TitleEditorTest : public TitlesTest {
protected:
    TitleEditorTest() {
        editor.getWhiteListItemText = [this] { return handedOver; };
    }
    void setHandOver() {
        editor.setWhiteListItemText = [this](const std::string& text) { handedOver = text; };
    }
    std::string userFile() { return fake.files.text(paths.getUserTitleIniFileName()); }

    TitleEditor& editor = titles.editor;
    TitleEditorForm& f = titles.editor.form;
    std::string handedOver;
};

TEST_F(TitleEditorTest, ListsTheOpenWindowsButItsOwnAndTheDesktopsFurniture) {
    const auto aol = open("America Online");
    for (const char* title : {"Welcome Screen", "AOL Mail", "Buddy List Window", "Stock Quotes"}) {
        platform::WindowInfo child;
        child.title = title;
        child.visible = true;
        desktop.subWindows[aol].push_back(child);
    }
    platform::WindowInfo own;
    own.title = "Preferences";
    own.pid = fake.processes.selfPid;
    own.localMachine = true;
    own.visible = true;
    desktop.open(own);
    open("", "Shell_TrayWnd");
    open("", "Untitled Class");
    open("Program Manager");
    open("Program Manager 2");
    open("Popup Window Blocking Using  Window Titles");
    open("Zorvik statistics");
    open("Static");
    desktop.topLevel.front().visible = false;
    open("Hidden helper");
    desktop.topLevel.front().visible = false;

    editor.open();
    EXPECT_TRUE(f.frmPopupTitles.visible());
    EXPECT_EQ(f.lstCurrent.items(),
              (std::vector<std::string>{"Program Manager 2", "Untitled Class", "America Online",
                                        "   Stock Quotes"}));
    EXPECT_FALSE(f.cmdAdd.enabled());
    EXPECT_FALSE(f.cmdDel.enabled());

    f.lstCurrent.setListIndex(3);
    EXPECT_EQ(f.txtTitle.text(), "Stock Quotes");
    EXPECT_TRUE(f.cmdAdd.enabled());

    open("A new popup");
    f.cmdRefresh.click();
    EXPECT_EQ(f.lstCurrent.item(0), "A new popup");
}

TEST_F(TitleEditorTest, AddRefusesShortAndDuplicateTitles) {
    fake.files.put(paths.getZVTitleIniFileName(), listFile({" casino ", "Messenger Service"}));
    struct Case {
        std::string typed;
        std::string boxText;
        std::string boxTitle;
        bool added;
    };
    const Case cases[] = {
        {"ab", "'ab' is too short.  Needs to be 3 characters or more.", "Substring too short.",
         false},
        {"Casino", "'Casino' is already in your list of 'Additional Popup Windows to Block'. ",
         "Duplicate Entry Found.", false},
        {"   ", "", "", true},  // the length counts the untrimmed text
        {"Äöü", "", "", true},  // three characters, six bytes
        {"\xC3\xA9\xC3\xA9", "'\xC3\xA9\xC3\xA9' is too short.  Needs to be 3 characters or more.",
         "Substring too short.", false},  // two characters, four bytes
        {"New Offer", "", "", true},
    };
    for (const Case& c : cases) {
        editor.open();
        fake.dialogs.clear();
        const int before = f.lstAdd.listCount();
        f.txtTitle.setText(c.typed);
        f.cmdAdd.click();
        if (c.added) {
            EXPECT_TRUE(fake.dialogs.boxes().empty()) << c.typed;
            ASSERT_EQ(f.lstAdd.listCount(), before + 1) << c.typed;
            EXPECT_EQ(f.lstAdd.item(before), c.typed);
            EXPECT_EQ(f.lstAdd.listIndex(), before);
            EXPECT_TRUE(editor.bListChanged);
        } else {
            ASSERT_EQ(fake.dialogs.boxes().size(), 1u) << c.typed;
            EXPECT_EQ(fake.dialogs.boxes()[0].text, c.boxText);
            EXPECT_EQ(fake.dialogs.boxes()[0].title, c.boxTitle);
            EXPECT_EQ(fake.dialogs.boxes()[0].icon, platform::BoxIcon::Information);
            EXPECT_EQ(f.lstAdd.listCount(), before);
            EXPECT_FALSE(editor.bListChanged);
        }
        f.cmdCancel.click();
    }
}

TEST_F(TitleEditorTest, OkSavesAnEditedListAndReloadsTheScanner) {
    fake.files.put(paths.getZVTitleIniFileName(), listFile({"Casino", "Poker"}));
    titles.setPopupListArray();
    editor.open();
    f.txtTitle.setText("New Offer");
    f.cmdAdd.click();
    f.lstAdd.setListIndex(0);
    f.cmdDel.click();
    EXPECT_FALSE(f.cmdDel.enabled());
    f.cmdOK.click();
    EXPECT_FALSE(f.frmPopupTitles.visible());
    EXPECT_EQ(userFile(), listFile({"Poker", "New Offer"}));
    EXPECT_EQ(titles.list.entries(), (std::vector<std::string>{"Poker", "New Offer"}));
    EXPECT_EQ(fake.files.writes(paths.getZVTitleIniFileName()), 0);
}

TEST_F(TitleEditorTest, CancelAndUneditedOkWriteNothing) {
    fake.files.put(paths.getZVTitleIniFileName(), listFile({"Casino"}));
    titles.setPopupListArray();
    editor.open();
    f.txtTitle.setText("New Offer");
    f.cmdAdd.click();
    f.lstAdd.setListIndex(0);
    f.cmdDel.click();
    f.cmdCancel.click();
    EXPECT_FALSE(f.frmPopupTitles.visible());
    editor.open();
    f.cmdOK.click();
    EXPECT_FALSE(fake.files.exists(paths.getUserTitleIniFileName()));
    EXPECT_EQ(titles.list.entries(), std::vector<std::string>{"Casino"});
}

TEST_F(TitleEditorTest, AFailedSaveKeepsTheWindowOpenWithAWarning) {
    useList({"Casino"});
    fake.files.setReadOnly(paths.getUserTitleIniFileName());
    editor.open();
    f.txtTitle.setText("New Offer");
    f.cmdAdd.click();
    f.cmdOK.click();
    EXPECT_TRUE(f.frmPopupTitles.visible());
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].icon, platform::BoxIcon::Warning);
    EXPECT_NE(fake.dialogs.boxes()[0].text.find("usertitles.ini"), std::string::npos);
    EXPECT_EQ(f.lstAdd.items(), (std::vector<std::string>{"Casino", "New Offer"}));
    EXPECT_EQ(titles.list.entries(), std::vector<std::string>{"Casino"});

    fake.files.setReadOnly(paths.getUserTitleIniFileName(), false);
    f.cmdOK.click();
    EXPECT_FALSE(f.frmPopupTitles.visible());
    EXPECT_EQ(titles.list.entries(), (std::vector<std::string>{"Casino", "New Offer"}));
}

TEST_F(TitleEditorTest, OpensOnTheLastBlockedEntryAndBlinksDeleteForTenSeconds) {
    useList({"Poker", "Casino"});
    open("Online casino");
    scanner.EnumCloseByTitle();
    editor.open();
    EXPECT_EQ(f.lstAdd.listIndex(), 1);
    EXPECT_TRUE(editor.Timer1.enabled());
    std::vector<bool> states;
    for (int second = 1; second <= 10; ++second) {
        clock.advance(1s);
        states.push_back(f.cmdDel.enabled());
    }
    EXPECT_EQ(states,
              (std::vector<bool>{false, true, false, true, false, true, false, true, false, true}));
    EXPECT_FALSE(editor.Timer1.enabled());
}

TEST_F(TitleEditorTest, TheHandedOverRecordSelectsItsEntryApostrophesIncluded) {
    setHandOver();
    useList({"Don't", "Don't miss", "Casino"});
    handedOver = "09:05:07 found 'Don't miss' within Window Title 'Don't miss this offer'";
    editor.open();
    EXPECT_EQ(f.lstAdd.listIndex(), 1);
    EXPECT_TRUE(editor.Timer1.enabled());
    EXPECT_EQ(handedOver, "");
}

TEST_F(TitleEditorTest, AHandedOverTextOfAnotherKindIsLeftAlone) {
    setHandOver();
    useList({"Casino"});
    handedOver = "09:05:07 http://ads.example.com/pop";
    editor.open();
    EXPECT_EQ(f.lstAdd.listIndex(), -1);
    EXPECT_EQ(handedOver, "09:05:07 http://ads.example.com/pop");
}

TEST(TitleEditorRecord, EntryOfRecord) {
    EXPECT_EQ(entryOfRecord("09:05:07 found 'Don't miss' within Window Title 'x'"), "Don't miss");
    EXPECT_EQ(entryOfRecord("found 'Casino' and more"), "Casino");
    EXPECT_EQ(entryOfRecord("nothing here"), std::nullopt);
}

TEST_F(TitleEditorTest, TheSpecialTitleLinksAddOrReportTheirTitle) {
    struct Case {
        std::vector<std::string> list;
        bool messenger;
        const char* boxTitle;
        const char* start;
        bool added;
    };
    const Case cases[] = {
        {{"Messenger"},
         true,
         "Messenger  Service popup ad blocking.",
         "You'll notice you are already having Zorvik watch for the title 'Messenger Service' "
         "(look on the list on the right column)\r\n\r\nThese are a new kind of popup ad that's "
         "more and more popular.  It effects Windows XP, Windows 2000, and Windows XP users "
         "only. These are messages broadcast to your computer from the Internet. They always "
         "have a window  title of 'Messenger Service' so Zorvik is already set to stop these "
         "when they occur.",
         false},
        {{"Casino"},
         true,
         "Messenger  Service popup ad blocking.",
         "Up until now, you were NOT protected from 'Messenger Service' popup Ads.\r\n\r\nThe "
         "Entry 'Messenger Service' was just added to the list of blocked window titles.  Zorvik "
         "will now watch and block any of these types of ads from now on.\r\n\r\nThese are a new "
         "kind of popup ad that's more and more popular these days.  It effects Windows XP, "
         "Windows 2000, and Windows XP users only. Messenger Service are messages broadcast to "
         "your computer from the Internet. They always have a Window  Title of 'Messenger "
         "Service' so Zorvik is now set to watch for these types of popups.",
         true},
        {{"Web Page Dialog"},
         false,
         "Web Page  Dialog Popup blocking.",
         "You'll notice you are already having Zorvik watch for the title '-- Web Page Dialog' "
         "(look on the list on the right column)\r\n\r\nThese are a new kind of popup ad that's "
         "more and more popular.  It effects all users.  It's special HTML that creates a web "
         "page dialog box mostly used for Ads. These ads always have a window  title of '-- Web "
         "Page Dialog' (e.g. 'Some Great Offer -- Web Page Dialog') so Zorvik is already set to "
         "stop these when they occur.",
         false},
        {{"Casino"},
         false,
         "Web Page  Dialog Popup blocking.",
         "Up until now, you were NOT protected from '-- Web Page Dialog' popup Ads.\r\n\r\nThe "
         "Entry '-- Web Page Dialog' was just added to the list of blocked window titles.  Zorvik "
         "will now watch and block any of these types of ads from now on.\r\n\r\nThese are a new "
         "kind of popup ad that's more and more popular.  It effects all users.  It's special "
         "HTML that creates a web page dialog box mostly used for Ads. These ads always have a "
         "window  title of '-- Web Page Dialog' (e.g. 'Some Great Offer -- Web Page Dialog') so "
         "Zorvik is now set to stop these when they occur.",
         true},
    };
    for (const Case& c : cases) {
        useList(c.list);
        fake.dialogs.clear();
        form.frmMain.show();
        f.frmPopupTitles.hide();
        c.messenger ? editor.lblMessengerPops_Click() : editor.lblWebPagePops_Click();
        ASSERT_EQ(fake.dialogs.boxes().size(), 1u) << c.boxTitle;
        EXPECT_EQ(fake.dialogs.boxes()[0].text, c.start);
        EXPECT_EQ(fake.dialogs.boxes()[0].title, c.boxTitle);
        EXPECT_EQ(fake.dialogs.boxes()[0].icon, platform::BoxIcon::Information);
        EXPECT_TRUE(f.frmPopupTitles.visible());
        EXPECT_FALSE(form.frmMain.visible());
        const std::string title = c.messenger ? "Messenger Service" : "-- Web Page Dialog";
        std::vector<std::string> expected = c.list;
        if (c.added) {
            expected.push_back(title);
        }
        EXPECT_EQ(titles.list.entries(), expected) << c.boxTitle;
        EXPECT_EQ(userFile(), listFile(expected));
    }
}

TEST_F(TitleEditorTest, AThreeCharacterEntryIsSavedButNeverCloses) {
    useList({});
    editor.open();
    f.txtTitle.setText("Ads");
    f.cmdAdd.click();
    f.cmdOK.click();
    EXPECT_EQ(titles.list.entries(), std::vector<std::string>{"Ads"});
    const auto window = open("Ads everywhere");
    scanner.EnumCloseByTitle();
    EXPECT_TRUE(isOpen(window));
}

TEST_F(TitleEditorTest, TheDomainLinkClosesTheEditorAndOpensTheServerList) {
    int opened = 0;
    editor.openAdServerEditor = [&] { ++opened; };
    editor.open();
    f.lblPopupTitles.click();
    EXPECT_FALSE(f.frmPopupTitles.visible());
    EXPECT_EQ(opened, 1);
}

TEST_F(TitleEditorTest, CloseAllBrowsersGoesByClassNotByTitleAndAsksTitledWindowsOnly) {
    const auto chromium = open("News - Chromium", "Chromium", "browser");
    const auto firefox = open("Mozilla Firefox", "firefox", "browser");
    const auto notes = open("netscape notes.txt - Notepad", "Gedit");
    const auto hidden = open("Hidden tab", "Google-chrome");
    desktop.topLevel.front().visible = false;
    const auto untitled = open("", "Chromium");
    platform::WindowInfo own;
    own.title = "Zorvik";
    own.className = "chromium";
    own.pid = fake.processes.selfPid;
    own.localMachine = true;
    own.visible = true;
    const auto ownId = desktop.open(own);

    titles.CloseAllBrowsers();
    EXPECT_FALSE(isOpen(chromium));
    EXPECT_FALSE(isOpen(firefox));
    EXPECT_TRUE(isOpen(notes));
    EXPECT_TRUE(isOpen(hidden));
    EXPECT_TRUE(isOpen(untitled));
    EXPECT_TRUE(isOpen(ownId));
    EXPECT_NE(
        std::find(statusLines.begin(), statusLines.end(), "Closing Browser Window News - Chromium"),
        statusLines.end());
}

}  // namespace
}  // namespace halvern::titles::fixture
