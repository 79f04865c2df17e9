#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SpywareFixture.h"

using namespace std::chrono_literals;
using Names = std::vector<std::string>;

namespace halvern::testing {
namespace {

using SpywareViewer = SpywareFixture;

struct Item {
    std::string text;
    bool checked;
    bool operator==(const Item&) const = default;
};

std::vector<Item> items(const spyware::CheckList& list) {
    std::vector<Item> out;
    for (int i = 0; i < list.listCount(); ++i) {
        out.push_back({list.item(i), list.checked(i)});
    }
    return out;
}

TEST_F(SpywareViewer, ShowsEveryLineOfTheWholeSection) {
    std::vector<std::string> lines = {"spy.exe=1:1:Shows ads:hidden", "tool.exe=0:1:Useful",
                                      "bare.exe=1", "SPY.EXE=0:0:second line of spy.exe"};
    for (int i = 0; i < 300; ++i) {
        lines.push_back("program" + std::to_string(i) +
                        ".exe=1:0:a description long enough to pass any small buffer at all");
    }
    writeList(lines);
    spyware.openViewer();
    spyware::AdWareForm& f = spyware.viewer.form();
    EXPECT_TRUE(f.frmAdWare.visible());
    EXPECT_EQ(f.frmAdWare.caption(), "Block Known AdWare and SpyWare");
    EXPECT_EQ(f.lbl2.caption(),
              "The following shows the known list of SpyWare/AdWare based on the latest "
              "information  on the Zorvik spyware database server.  This software normally "
              "checks our server for the latest updates to this list.");
    EXPECT_EQ(f.lblSpyCount.caption(), "303");
    EXPECT_EQ(f.lblSpyCount.toolTip(),
              "Total number of known spyware programs Zorvik watches for.");
    ASSERT_EQ(f.lstSpyware.listCount(), 303);
    const std::vector<Item> shown = items(f.lstSpyware);
    EXPECT_EQ(shown[0], (Item{"spy.exe\tShows ads", true}));
    EXPECT_EQ(shown[1], (Item{"tool.exe\tUseful", false}));
    EXPECT_EQ(shown[2], (Item{"bare.exe\t", false}));
    EXPECT_EQ(shown[302].text,
              "program299.exe\ta description long enough to pass any small buffer at all");
    EXPECT_EQ(f.lstSpyware.listIndex(), 0);
    EXPECT_TRUE(fake.http.requests.empty());
}

TEST_F(SpywareViewer, OkWritesTheCheckMarksAndTheScannerFollowsAtOnce) {
    writeList({"spy.exe=1:1:Shows ads", "tool.exe=0:1:Useful", "ask.exe=1:0:Asks"});
    spyware.setSpyWareListArray();
    spyware.openViewer();
    spyware::AdWareForm& f = spyware.viewer.form();
    f.lstSpyware.setChecked(0, false);
    f.lstSpyware.setChecked(1, true);
    f.cmdOK.click();
    EXPECT_EQ(fake.files.text(kList),
              "[Spyware]\r\nspy.exe=0:1:Shows ads\r\ntool.exe=1:1:Useful\r\nask.exe=1:0:Asks\r\n");
    EXPECT_EQ(spyware.scanner.names(), (Names{"x", "tool.exe", "ask.exe"}));
    EXPECT_FALSE(f.frmAdWare.visible());

    // Checked again, it is watched again, with its asked field as it was.
    spyware.openViewer();
    f.lstSpyware.setChecked(0, true);
    f.cmdOK.click();
    EXPECT_EQ(fake.files.text(kList),
              "[Spyware]\r\nspy.exe=1:1:Shows ads\r\ntool.exe=1:1:Useful\r\nask.exe=1:0:Asks\r\n");
}

TEST_F(SpywareViewer, OpeningItAgainWhileOpenBringsItToTheFrontWithTheMarksNotYetSaved) {
    writeList({"spy.exe=1:1:Shows ads", "tool.exe=0:1:Useful"});
    spyware::AdWareForm& f = spyware.viewer.form();
    int raised = 0;
    f.frmAdWare.raiseRequested().connect([&] { ++raised; });
    spyware.openViewer();
    f.lstSpyware.setChecked(0, false);
    f.lstSpyware.setListIndex(1);
    // The list changes behind the open window (a download, say): a refill would show it.
    writeList({"spy.exe=1:1:Shows ads", "tool.exe=0:1:Useful", "new.exe=1:0:New"});

    spyware.openViewer();
    EXPECT_EQ(raised, 1);
    EXPECT_TRUE(f.frmAdWare.visible());
    EXPECT_EQ(items(f.lstSpyware),
              (std::vector<Item>{{"spy.exe\tShows ads", false}, {"tool.exe\tUseful", false}}));
    EXPECT_EQ(f.lstSpyware.listIndex(), 1);
    f.cmdOK.click();
    EXPECT_EQ(fake.files.text(kList),
              "[Spyware]\r\nspy.exe=0:1:Shows ads\r\ntool.exe=0:1:Useful\r\n"
              "new.exe=1:0:New\r\n");

    // Closed, it opens filled afresh.
    spyware.openViewer();
    EXPECT_EQ(f.lstSpyware.listCount(), 3);
    EXPECT_EQ(raised, 1);
}

TEST_F(SpywareViewer, OkRewritesOnlyKeysThatStillExist) {
    writeList({"spy.exe=1:1:Shows ads", "gone.exe=1:0:Removed meanwhile", "bare.exe=1"});
    spyware.openViewer();
    spyware::AdWareForm& f = spyware.viewer.form();
    writeList({"spy.exe=1:1:Shows ads", "bare.exe=1"});
    f.lstSpyware.setChecked(1, false);
    f.lstSpyware.setChecked(2, true);
    f.cmdOK.click();
    EXPECT_EQ(fake.files.text(kList), "[Spyware]\r\nspy.exe=1:1:Shows ads\r\nbare.exe=1:0:\r\n");
}

TEST_F(SpywareViewer, AListThatCannotBeSavedKeepsTheWindowOpen) {
    writeList({"spy.exe=1:1:Shows ads"});
    spyware.openViewer();
    spyware::AdWareForm& f = spyware.viewer.form();
    fake.files.setReadOnly(kList);
    f.lstSpyware.setChecked(0, false);
    f.cmdOK.click();
    EXPECT_TRUE(f.frmAdWare.visible());
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].icon, platform::BoxIcon::Warning);
    EXPECT_NE(fake.dialogs.boxes()[0].text.find(kList), std::string::npos);
    EXPECT_TRUE(logged("could not be written"));
    EXPECT_EQ(spyware.scanner.names(), Names{});
}

TEST_F(SpywareViewer, CancelAndTheCloseBoxWriteNothing) {
    writeList({"spy.exe=1:1:Shows ads"});
    for (const bool closeBox : {false, true}) {
        spyware.openViewer();
        spyware::AdWareForm& f = spyware.viewer.form();
        f.lstSpyware.setChecked(0, false);
        if (closeBox) {
            EXPECT_TRUE(f.frmAdWare.queryUnload(forms::UnloadMode::FormControlMenu));
        } else {
            f.cmdCancel.click();
        }
        EXPECT_FALSE(f.frmAdWare.visible());
    }
    EXPECT_EQ(fake.files.writes(kList), 0);
}

TEST_F(SpywareViewer, WithoutAListFileItDownloadsTheListFirst) {
    platform::FakeHttp::Script script;
    script.body = "spy.exe:Shows ads\r\n[END]";
    fake.http.scripts["https://updates.halvern.org/zshared/spyware.txt"] = {script};
    spyware.openViewer();
    EXPECT_EQ(fake.http.requests.size(), 1u);
    EXPECT_EQ(items(spyware.viewer.form().lstSpyware),
              (std::vector<Item>{{"spy.exe\tShows ads", true}}));

    // The download failed: the window opens empty, and says nothing of the failure beyond
    // the status line.
    spyware.viewer.form().cmdCancel.click();
    fake.files.remove(kList);
    fake.http.scripts.clear();
    spyware.openViewer();
    EXPECT_EQ(spyware.viewer.form().lstSpyware.listCount(), 0);
    EXPECT_EQ(spyware.viewer.form().lblSpyCount.caption(), "0");
    EXPECT_EQ(parts.form.lblStatus.caption(), "spyware.txt connect failed.");
}

TEST_F(SpywareViewer, TheSelectedEntryHandlersDoNothingWithoutOne) {
    spyware.openViewer();  // no list: the download fails, the list stays empty
    spyware::AdWareForm& f = spyware.viewer.form();
    EXPECT_EQ(f.lstSpyware.listIndex(), -1);
    spyware.viewer.toggleCurrent();
    f.lstSpyware.setChecked(0, true);
    f.cmdOK.click();
    EXPECT_FALSE(fake.files.exists(kList));

    writeList({"spy.exe=1:1:Shows ads", "b.exe=0:1:x"});
    spyware.openViewer();
    f.lstSpyware.setListIndex(1);
    spyware.viewer.toggleCurrent();
    EXPECT_TRUE(f.lstSpyware.checked(1));
    f.lstSpyware.setListIndex(7);
    EXPECT_EQ(f.lstSpyware.listIndex(), -1);
    spyware.viewer.toggleCurrent();
    EXPECT_EQ(items(f.lstSpyware),
              (std::vector<Item>{{"spy.exe\tShows ads", true}, {"b.exe\tx", true}}));
}

TEST_F(SpywareViewer, TheRemovalToolLinkAndPictureOpenItsPage) {
    spyware::AdWareForm& f = spyware.viewer.form();
    EXPECT_EQ(f.lbladaware.caption(),
              "Click here to download AdAware.  It's FREE and it will detect and remove all "
              "known spyware.");
    f.lbladaware.click();
    f.Picture1.click();
    EXPECT_EQ(fake.launcher.opened, (Names{spyware::SpywareViewer::kRemovalToolPage,
                                           spyware::SpywareViewer::kRemovalToolPage}));
}

}  // namespace
}  // namespace halvern::testing
