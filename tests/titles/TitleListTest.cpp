#include "titles/TitleList.h"

#include "TitlesFixture.h"

namespace halvern::titles::fixture {
namespace {

class TitleListTest : public TitlesTest {};

TEST_F(TitleListTest, MatchesCaseInsensitiveSubstringsFirstEntryWins) {
    struct Case {
        std::vector<std::string> entries;
        std::string title;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {{"Casino"}, "Online CASINO bonus", "Casino"},
        {{"abc", "Bonus"}, "abc Bonus", "Bonus"},  // entries of 3 or 4 characters never match
        {{"abcd"}, "xx abcd xx", std::nullopt},
        {{"Bonus"}, "Bonus", "Bonus"},  // five characters match; the walk skips such titles
        {{"Bonus"}, "Bo", std::nullopt},
        {{"Casino", "Online"}, "Online Casino", "Casino"},
        {{"Online", "Casino"}, "Online Casino", "Online"},
        {{"", "   ", "Offer"}, "Great offer", "Offer"},
        {{"Größe Deal"}, "Die Größe Deal Seite", "Größe Deal"},
        {{"Messenger Service"}, "Messenger", std::nullopt},
    };
    for (const Case& c : cases) {
        useList(c.entries);
        EXPECT_EQ(titles.list.IsInPopupList(c.title), c.expected) << c.title;
        EXPECT_EQ(titles.list.IsInPopupList(c.title, desktop.generation()), c.expected) << c.title;
    }
}

TEST_F(TitleListTest, LengthsCountCharactersNotBytes) {
    // "K\xC3\xA4se" is 4 characters in 5 bytes, the Cyrillic entry 4 in 8.
    struct Case {
        std::vector<std::string> entries;
        std::string title;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {{"K\xC3\xA4se"}, "Billiger K\xC3\xA4se hier", std::nullopt},      // 4 characters: never
        {{"K\xC3\xA4se!"}, "Billiger K\xC3\xA4se! hier", "K\xC3\xA4se!"},  // 5 characters
        {{"\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB8"},
         "\xD0\x9A\xD0\xB0\xD0\xB7\xD0\xB8\xD0\xBD\xD0\xBE",
         std::nullopt},
    };
    for (const Case& c : cases) {
        useList(c.entries);
        EXPECT_EQ(titles.list.IsInPopupList(c.title), c.expected) << c.title;
    }
}

TEST_F(TitleListTest, UserListReplacesTheShippedOneAndNeitherGivesAnEmptyList) {
    titles.setPopupListArray();
    EXPECT_TRUE(titles.list.entries().empty());
    EXPECT_FALSE(titles.list.IsInPopupList("Casino night"));

    fake.files.put(paths.getZVTitleIniFileName(), listFile({"Casino"}));
    titles.setPopupListArray();
    EXPECT_EQ(titles.list.entries(), std::vector<std::string>{"Casino"});

    fake.files.put(paths.getUserTitleIniFileName(), listFile({"Poker"}));
    titles.setPopupListArray();
    EXPECT_EQ(titles.list.entries(), std::vector<std::string>{"Poker"});
    EXPECT_FALSE(titles.list.IsInPopupList("Casino night"));
}

TEST_F(TitleListTest, LoadLogsEachEntryKeepsGapsAndTheFirstOfADuplicateKey) {
    fake.files.put(paths.getUserTitleIniFileName(),
                   "[DomainCount]\r\nN=4\r\n[Domains]\r\nD0=  Casino  \r\nD0=Poker\r\n"
                   "D2=Offer\r\nD3=\r\nD4=Beyond the count\r\n");
    titles.setPopupListArray();
    EXPECT_EQ(titles.list.entries(), (std::vector<std::string>{"Casino", "", "Offer", ""}));
    EXPECT_EQ(statusLines, (std::vector<std::string>{"User Defined Popup in Memory 'Casino'",
                                                     "User Defined Popup in Memory 'Offer'"}));
}

TEST_F(TitleListTest, ACountThatIsNoNumberIsReportedAndGivesAnEmptyList) {
    fake.files.put(paths.getUserTitleIniFileName(),
                   "[DomainCount]\r\nN=many\r\n[Domains]\r\nD0=Casino\r\n");
    titles.setPopupListArray();
    EXPECT_TRUE(titles.list.entries().empty());
    ASSERT_EQ(statusLines.size(), 1u);
    EXPECT_EQ(statusLines[0].substr(0, 13), "#Title list '");
}

TEST_F(TitleListTest, ReadsAWholeSectionWithoutASizeCap) {
    std::vector<std::string> entries;
    for (int i = 0; i < 2000; ++i) {
        entries.push_back("Popup title [" + std::to_string(i) + "]");
    }
    useList(entries);
    ASSERT_EQ(titles.list.entries().size(), 2000u);
    EXPECT_EQ(titles.list.IsInPopupList("a Popup title [1999] !"), "Popup title [1999]");
}

TEST_F(TitleListTest, AReloadIsSeenAtOnceThoughTheTitleWasCached) {
    useList({"Casino"});
    const auto generation = desktop.generation();
    EXPECT_FALSE(titles.list.IsInPopupList("Poker night", generation));
    useList({"Poker"});
    EXPECT_EQ(titles.list.IsInPopupList("Poker night", generation), "Poker");
}

TEST_F(TitleListTest, AnEntryHandedOutSurvivesAReload) {
    useList({"Casino"});
    const auto entry = titles.list.IsInPopupList("Casino night", desktop.generation());
    useList({"Other"});
    EXPECT_EQ(entry, "Casino");
}

}  // namespace
}  // namespace halvern::titles::fixture
