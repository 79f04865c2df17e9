#include "spyware/SpywareList.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace SpywareList = halvern::spyware::SpywareList;
using halvern::base::IniDocument;

namespace {

TEST(SpywareList, SplitsAValueIntoItsThreeFields) {
    struct Case {
        const char* value;
        const char* watch;
        const char* asked;
        const char* description;
        int present;
        bool watched;
        bool silent;
    };
    const Case cases[] = {
        {"1:0:Shows ads", "1", "0", "Shows ads", 3, true, false},
        {"1:1:Shows ads:hidden part", "1", "1", "Shows ads", 3, true, true},
        {"0:1:Useful", "0", "1", "Useful", 3, false, true},
        {"1:1:", "1", "1", "", 3, true, true},
        // A missing or empty asked field asks first.
        {"1:", "1", "", "", 2, true, false},
        {"1::x", "1", "", "x", 3, true, false},
        {"1", "1", "", "", 1, true, false},
        {"", "", "", "", 1, false, false},
        // Only the first character is the watch flag.
        {"10:1:x", "10", "1", "x", 3, true, true},
    };
    for (const Case& c : cases) {
        const SpywareList::Fields f = SpywareList::split(c.value);
        EXPECT_EQ(f.watch, c.watch) << c.value;
        EXPECT_EQ(f.asked, c.asked) << c.value;
        EXPECT_EQ(f.description, c.description) << c.value;
        EXPECT_EQ(f.present, c.present) << c.value;
        EXPECT_EQ(f.watched(), c.watched) << c.value;
        EXPECT_EQ(f.closeWithoutAsking(), c.silent) << c.value;
    }
}

TEST(SpywareList, MergesADownloadedLineKeepingTheUsersChoices) {
    struct Case {
        std::optional<std::string> current;
        const char* merged;
    };
    const Case cases[] = {
        {std::nullopt, "1:0:Shows ads"},
        {std::string(""), "1:0:Shows ads"},
        {std::string("1"), "1:0:Shows ads"},
        {std::string("0:1:Old text"), "0:1:Shows ads"},
        {std::string("1:1:Old text:extra"), "1:1:Shows ads"},
        // Fewer than three fields: the missing asked field means "ask first".
        {std::string("0:"), "0:0:Shows ads"},
        {std::string("1x"), "1x:0:Shows ads"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SpywareList::merged(c.current, "Shows ads"), c.merged)
            << c.current.value_or("(missing)");
    }
}

TEST(SpywareList, SetsTheWatchFlagOnly) {
    EXPECT_EQ(SpywareList::withWatch("1:1:Shows ads", false), "0:1:Shows ads");
    EXPECT_EQ(SpywareList::withWatch("0:1:Shows ads", true), "1:1:Shows ads");
    EXPECT_EQ(SpywareList::withWatch("0:0:a:b", true), "1:0:a:b");
    EXPECT_EQ(SpywareList::withWatch("", true), "1:0:");
    EXPECT_EQ(SpywareList::withWatch("1", false), "0:0:");
}

TEST(SpywareList, ReadsTheWholeSectionAndTheFirstOfTwoLinesWins) {
    std::string text = "[Other]\r\nspy.exe=0:0:elsewhere\r\n[Spyware]\r\n";
    for (int i = 0; i < 400; ++i) {
        text += "program" + std::to_string(i) +
                ".exe=1:0:a description long enough to pass the "
                "old buffers soon\r\n";
    }
    text += "Spy.exe=1:1:first\r\nSPY.EXE=0:1:second\r\n  blank.exe  = 1:0:x \r\n";
    const IniDocument doc = IniDocument::parse(text);
    std::vector<std::string> duplicates;
    const std::vector<SpywareList::Line> lines = SpywareList::read(doc, &duplicates);
    ASSERT_EQ(lines.size(), 402u);
    EXPECT_EQ(lines[399].name, "program399.exe");
    EXPECT_EQ(lines[400].name, "Spy.exe");
    EXPECT_EQ(lines[400].value, "1:1:first");
    EXPECT_EQ(lines[401].name, "blank.exe");
    EXPECT_EQ(lines[401].value, "1:0:x");
    EXPECT_EQ(duplicates, (std::vector<std::string>{"SPY.EXE"}));
    EXPECT_EQ(SpywareList::value(doc, "spy.exe"), "1:1:first");
    EXPECT_EQ(SpywareList::value(doc, "gone.exe"), std::nullopt);
}

}  // namespace
