#include "popups/WhiteList.h"

#include "WhiteListFixture.h"
#include "popups/AddressText.h"

namespace halvern::popups::fixture {
namespace {

TEST_F(WhiteListTest, AnEntryMatchesAnywhereInTheWholeAddressIgnoringCase) {
    useShipped({"example.com", "Checkout/Pay", "https://secure.", "partner", "Partner.test"});
    const std::string far(1 << 20, 'x');
    struct Case {
        std::string url;
        const char* found;  // nullptr: not white-listed
    };
    const Case cases[] = {
        {"http://www.example.com/index.html", "example.com"},        // in the host name
        {"https://shop.test/CHECKOUT/pay?id=1", "Checkout/Pay"},     // in the path
        {"http://ads.test/click?u=www.Example.COM", "example.com"},  // in an unrelated query
        {"HTTP://WWW.EXAMPLE.COM/", "example.com"},                  // capitals in the address
        {"https://secure.bank.test/", "https://secure."},            // the scheme takes part
        {"http://secure.bank.test/", nullptr},
        {"http://www.partner.test/", "partner"},                       // the first in list order
        {"http://other.test/" + far + "/example.com", "example.com"},  // past what is shown
        {"http://other.test/", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        std::string found = "unchanged";
        EXPECT_EQ(list.IsInIEWhiteList(c.url, found), c.found != nullptr) << c.url.substr(0, 60);
        EXPECT_EQ(found, c.found != nullptr ? c.found : "unchanged") << c.url.substr(0, 60);
        EXPECT_EQ(list.IsInIEWhiteList(c.url), c.found != nullptr);
    }
}

TEST_F(WhiteListTest, GapsAreEmptySlotsThatNeverMatchAndEachEntryIsLogged) {
    fake.files.put(shippedPath(),
                   "[DomainCount]\r\nN=3\r\n[Domains]\r\nD0=  first.test  \r\nD2=third.test\r\n"
                   "D3=stale.test\r\n");
    list.setWhiteListArray();
    EXPECT_EQ(list.entries(), (std::vector<std::string>{"first.test", "", "third.test"}));
    EXPECT_EQ(statusLines, (std::vector<std::string>{"User Defined IE WhiteList in Memory "
                                                     "'first.test'",
                                                     "User Defined IE WhiteList in Memory "
                                                     "'third.test'"}));
    EXPECT_TRUE(list.IsInIEWhiteList("http://first.test/"));
    EXPECT_TRUE(list.IsInIEWhiteList("http://third.test/"));
    EXPECT_FALSE(list.IsInIEWhiteList("http://stale.test/")) << "keys at or beyond N are ignored";
    EXPECT_FALSE(list.IsInIEWhiteList("http://any.test/")) << "an empty slot matches nothing";
}

TEST_F(WhiteListTest, NothingIsWhiteListedWithoutEntries) {
    struct Case {
        const char* name;
        const char* shipped;  // nullptr: no file
    };
    const Case cases[] = {
        {"never loaded", "[DomainCount]\r\nN=1\r\n[Domains]\r\nD0=site.test\r\n"},
        {"no file", nullptr},
        {"N=0", "[DomainCount]\r\nN=0\r\n[Domains]\r\nD0=site.test\r\n"},
        {"no count", "[Domains]\r\nD0=site.test\r\n"},
        {"count not a number", "[DomainCount]\r\nN=many\r\n[Domains]\r\nD0=site.test\r\n"},
    };
    for (const Case& c : cases) {
        WhiteList fresh{parts.context, parts.log, parts.rings};
        fake.files.remove(shippedPath());
        if (c.shipped != nullptr) {
            fake.files.put(shippedPath(), c.shipped);
        }
        if (std::string(c.name) != "never loaded") {
            fresh.setWhiteListArray();
        }
        EXPECT_FALSE(fresh.IsInIEWhiteList("http://site.test/")) << c.name;
    }
    EXPECT_EQ(statusLines.back(), "#White list '" + shippedPath() +
                                      "': the count N='many' is not a number; no pages read");
}

TEST_F(WhiteListTest, TheUsersListReplacesTheShippedOneWhole) {
    fake.files.put(shippedPath(), listFile({"shipped.test"}));
    fake.files.put(userPath(), listFile({}));
    list.setWhiteListArray();
    EXPECT_FALSE(list.IsInIEWhiteList("http://shipped.test/"));
    EXPECT_EQ(list.fileInUse(), userPath());

    fake.files.put(userPath(), listFile({"mine.test"}));
    list.setWhiteListArray();
    EXPECT_TRUE(list.IsInIEWhiteList("http://mine.test/"));
    EXPECT_FALSE(list.IsInIEWhiteList("http://shipped.test/"));
}

TEST_F(WhiteListTest, ABlockedPopupsPageIsRecordedShownAndOffered) {
    struct Case {
        std::string hotKey;
        std::string url;
        std::string page;
        std::string trayCaption;
    };
    const Case cases[] = {
        {"0", "http://www.pop.test/page?a=1", "www.pop.test/page?a=1",
         "-- Allow all Popups on page www.pop.test/page?a=1"},
        {"", "https://pop.test/", "pop.test/", "-- Allow all Popups on page pop.test/"},
        {"7", "https://pop.test/", "pop.test/", "F7 - Allow all Popups on page pop.test/"},
        // Without "://" the address is taken whole; only the first scheme is cut.
        {"0", "about:blank", "about:blank", "-- Allow all Popups on page about:blank"},
        {"0", "a://b://c", "b://c", "-- Allow all Popups on page b://c"},
    };
    for (const Case& c : cases) {
        parts.rings.ClearLog();
        form.mnuTrayLastIEPop.setEnabled(false);
        parts.state.ngIEWhiteList = c.hotKey;
        list.setLastIEPopURL(c.url);
        EXPECT_EQ(list.lastBlockedPopPage(), c.page);
        EXPECT_EQ(ring(),
                  std::vector<std::string>{"09:05:07 - Blocked Popup on Page '" + c.page + "'"});
        EXPECT_EQ(form.lblLastIEPop.caption(), "Allow all Popups on page " + c.page);
        EXPECT_EQ(form.lblLastIEPop1.caption(),
                  "The last popup ad was from the page above.  You may allow popups based on a "
                  "site URL or site name.");
        EXPECT_TRUE(form.mnuTrayLastIEPop.enabled());
        EXPECT_EQ(form.mnuTrayLastIEPop.caption(), c.trayCaption);
    }
}

TEST_F(WhiteListTest, AWhiteListedPopupsPageTurnsTheTrayEntryToBlockingIt) {
    list.setLastIEPopURL("http://blocked.test/");
    form.lblLastIEPop.setCaption("unchanged");
    struct Case {
        std::string hotKey;
        std::string url;
        std::string trayCaption;
    };
    const Case cases[] = {
        {"0", "http://ok.test/x", "-- Block Popups recently allowed from 'ok.test/x'"},
        {"12", "ok.test/y", "F12 - Block Popups recently allowed from 'ok.test/y'"},
    };
    for (const Case& c : cases) {
        form.mnuTrayLastIEPop.setEnabled(false);
        parts.state.ngIEWhiteList = c.hotKey;
        list.setLastAllowedIEPopURL(c.url);
        EXPECT_TRUE(form.mnuTrayLastIEPop.enabled());
        EXPECT_EQ(form.mnuTrayLastIEPop.caption(), c.trayCaption);
    }
    // Nothing was blocked: the record, the labels and the editor's page stay.
    EXPECT_EQ(ring().size(), 1u);
    EXPECT_EQ(form.lblLastIEPop.caption(), "unchanged");
    EXPECT_EQ(list.lastBlockedPopPage(), "blocked.test/");
}

TEST_F(WhiteListTest, CaptionsShowAnAmpersandAsItIsAndAtMostAboutTwoKilobytes) {
    parts.state.ngIEWhiteList = "0";
    list.setLastIEPopURL("http://pop.test/?a=1&b=2");
    EXPECT_EQ(form.lblLastIEPop.caption(), "Allow all Popups on page pop.test/?a=1&&b=2");
    EXPECT_EQ(form.mnuTrayLastIEPop.caption(), "-- Allow all Popups on page pop.test/?a=1&&b=2");
    EXPECT_EQ(ring().back(), "09:05:07 - Blocked Popup on Page 'pop.test/?a=1&b=2'");
    EXPECT_EQ(list.lastBlockedPopPage(), "pop.test/?a=1&b=2");
    list.setLastAllowedIEPopURL("http://ok.test/?a&b");
    EXPECT_EQ(form.mnuTrayLastIEPop.caption(),
              "-- Block Popups recently allowed from 'ok.test/?a&&b'");

    const std::string huge = "http://pop.test/" + std::string(1 << 20, 'q');
    const std::string shown = shownAddress(WhiteList::CutScheme(huge));
    ASSERT_LT(shown.size(), kMaxShownAddress + 8);
    list.setLastIEPopURL(huge);
    EXPECT_EQ(list.lastBlockedPopPage(), shown);
    EXPECT_EQ(form.lblLastIEPop.caption(), "Allow all Popups on page " + shown);
    EXPECT_EQ(form.mnuTrayLastIEPop.caption(), "-- Allow all Popups on page " + shown);
    EXPECT_EQ(ring().back(), "09:05:07 - Blocked Popup on Page '" + shown + "'");
    list.setLastAllowedIEPopURL(huge);
    EXPECT_EQ(form.mnuTrayLastIEPop.caption(),
              "-- Block Popups recently allowed from '" + shown + "'");
}

TEST_F(WhiteListTest, APageFromTheLogIsOfferedWithoutANewRecord) {
    list.setLastIEPopPage("www.pop.test/page");
    EXPECT_TRUE(ring().empty());
    EXPECT_EQ(list.lastBlockedPopPage(), "www.pop.test/page");
    EXPECT_EQ(form.lblLastIEPop.caption(), "Allow all Popups on page www.pop.test/page");
    EXPECT_EQ(form.mnuTrayLastIEPop.caption(), "-- Allow all Popups on page www.pop.test/page");
}

TEST(WhiteListCutScheme, KeepsWhatFollowsTheFirstSchemeMark) {
    const std::pair<const char*, const char*> cases[] = {
        {"http://a.test/b", "a.test/b"},
        {"HTTPS://A.test", "A.test"},
        {"a.test/b", "a.test/b"},
        {"x://y://z", "y://z"},
        {"://", ""},
        {"", ""},
    };
    for (const auto& [address, page] : cases) {
        EXPECT_EQ(WhiteList::CutScheme(address), page) << address;
    }
}

}  // namespace
}  // namespace halvern::popups::fixture
