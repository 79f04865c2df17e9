#include "adservers/HostsFileBuilder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using halvern::adservers::HostsFileBuilder;
using Names = std::vector<std::string>;

namespace {

struct MergeCase {
    const char* what;
    std::string hosts;
    Names defaults;
    Names users;
    Names allowed;
    std::string expected;
    int added;
};

TEST(HostsFileBuilder, MergesTheListsIntoTheFile) {
    const MergeCase cases[] = {
        {"empty file gets one LF line per name",
         "",
         {"a.example", "b.example"},
         {},
         {},
         "127.0.0.1 a.example\n127.0.0.1 b.example\n",
         2},
        {"names already present by whole line are not added again",
         "127.0.0.1 a.example\n127.0.0.1 b.example\n",
         {"a.example", "b.example"},
         {},
         {},
         "127.0.0.1 a.example\n127.0.0.1 b.example\n",
         0},
        {"a longer name with the same start does not hide a shorter one",
         "127.0.0.1 ads.x.example.org\n",
         {"ads.x.example"},
         {},
         {},
         "127.0.0.1 ads.x.example\n127.0.0.1 ads.x.example.org\n",
         1},
        {"a name inside a comment is no presence",
         "# 127.0.0.1 ads.x.example\n10.0.0.1 nas # ads.x.example\n",
         {"ads.x.example"},
         {},
         {},
         "127.0.0.1 ads.x.example\n# 127.0.0.1 ads.x.example\n10.0.0.1 nas # ads.x.example\n",
         1},
        {"a name in both lists or twice in one and absent is added twice",
         "",
         {"d.example", "d.example"},
         {"d.example"},
         {},
         "127.0.0.1 d.example\n127.0.0.1 d.example\n127.0.0.1 d.example\n",
         3},
        {"user names follow the default names; entries are trimmed; gaps skipped",
         "",
         {"  a.example ", ""},
         {"u.example"},
         {},
         "127.0.0.1 a.example\n127.0.0.1 u.example\n",
         2},
        {"an allowed name is never added and its line goes from the user's part",
         "10.1.1.1 router\n127.0.0.1 ads.x.example\n127.0.0.1 ads.x.example.org\n",
         {"ads.x.example", "b.example"},
         {"ads.x.example"},
         {"ads.x.example", ""},
         "127.0.0.1 b.example\n10.1.1.1 router\n127.0.0.1 ads.x.example.org\n",
         1},
        {"an allowed name absent from the file is not added",
         "",
         {"ads.x.example"},
         {},
         {"ads.x.example"},
         "",
         0},
        {"user lines keep their place after the new block; blank lines go",
         "\n127.0.0.1 localhost\n\n\n::1 localhost\n\n",
         {"a.example"},
         {},
         {},
         "127.0.0.1 a.example\n127.0.0.1 localhost\n::1 localhost\n",
         1},
        {"a last line without line break stays last, unchanged",
         "127.0.0.1 localhost\n10.0.0.2 nas",
         {"a.example"},
         {},
         {},
         "127.0.0.1 a.example\n127.0.0.1 localhost\n10.0.0.2 nas",
         1},
        {"a CR LF file gets CR LF lines; its blank CR LF lines go",
         "127.0.0.1 localhost\r\n\r\n\r\n::1 localhost\r\n",
         {"a.example"},
         {},
         {},
         "127.0.0.1 a.example\r\n127.0.0.1 localhost\r\n::1 localhost\r\n",
         1},
        {"a CR LF line counts as the same line as an LF one",
         "127.0.0.1 a.example\r\n",
         {"a.example"},
         {},
         {},
         "127.0.0.1 a.example\r\n",
         0},
        {"presence is case-sensitive",
         "127.0.0.1 A.example\n",
         {"a.example"},
         {},
         {},
         "127.0.0.1 a.example\n127.0.0.1 A.example\n",
         1},
        {"invalid entries are skipped",
         "",
         {"a.example other.example", "x.example#c", "ok.example"},
         {"bad..name"},
         {},
         "127.0.0.1 ok.example\n",
         1},
    };
    for (const MergeCase& c : cases) {
        const auto merge = HostsFileBuilder::merge(c.hosts, c.defaults, c.users, c.allowed);
        EXPECT_EQ(merge.text, c.expected) << c.what;
        EXPECT_EQ(merge.added, c.added) << c.what;
        EXPECT_TRUE(merge.text.starts_with(merge.newLines)) << c.what;
    }
}

TEST(HostsFileBuilder, TheMachinesNamesAndTheUsersOwnMappingsAreNeverBlocked) {
    // The user's own lines, as a distribution writes them: the machine's name on 127.0.1.1.
    const std::string usersOwn =
        "127.0.0.1\tlocalhost\n127.0.1.1\tworkbox.lan workbox\n"
        "10.0.0.1 Intranet.Example. # office\n0.0.0.0 tracker.example  other.example\n"
        "# 10.0.0.9 commented.example\n";
    const Names defaults = {"localhost",     "LocalHost",         "localhost.localdomain",
                            "WORKBOX",       "workbox.lan",       "intranet.example",
                            "other.example", "commented.example", "ads.example"};
    const Names users = {"Localhost.LocalDomain", "workbox", "intranet.example.org"};
    const auto merge = HostsFileBuilder::merge(usersOwn, defaults, users, {}, {}, "workbox.lan");
    EXPECT_EQ(merge.newLines,
              "127.0.0.1 commented.example\n127.0.0.1 ads.example\n"
              "127.0.0.1 intranet.example.org\n");
    EXPECT_EQ(merge.text, merge.newLines + usersOwn);
    EXPECT_EQ(merge.reserved, (Names{"localhost", "LocalHost", "localhost.localdomain", "WORKBOX",
                                     "workbox.lan", "Localhost.LocalDomain", "workbox"}));
    EXPECT_TRUE(merge.rejected.empty());

    // The machine's name reached the file through an older list: it stays, as the user's, at
    // the switch and at exit, and no allowed entry takes it out either.
    const std::string old = "127.0.0.1 localhost\n127.0.0.1 workbox\n127.0.0.1 ads.example\n";
    const auto removal = HostsFileBuilder::remove(old, defaults, users, "workbox");
    EXPECT_EQ(removal.text, "127.0.0.1 localhost\n127.0.0.1 workbox\n");
    EXPECT_EQ(HostsFileBuilder::withoutAdded(old, defaults, users, "", "workbox"), removal.text);
    EXPECT_EQ(HostsFileBuilder::merge(old, Names{"localhost", "workbox", "ads.example"}, {},
                                      Names{"localhost", "workbox"}, "", "workbox")
                  .text,
              old);
}

TEST(HostsFileBuilder, MergeReportsEveryInvalidEntryAndIsStable) {
    const Names defaults = {"ok.example", "two names.example", "tab\tname"};
    const Names users = {"-", "a..b", "fine.example"};
    const auto first = HostsFileBuilder::merge("127.0.0.1 localhost\n", defaults, users, {});
    EXPECT_EQ(first.rejected, (Names{"two names.example", "tab\tname", "a..b"}));
    EXPECT_EQ(first.newLines, "127.0.0.1 ok.example\n127.0.0.1 -\n127.0.0.1 fine.example\n");

    const auto second = HostsFileBuilder::merge(first.text, defaults, users, {});
    EXPECT_EQ(second.added, 0);
    EXPECT_EQ(second.text, first.text);
}

struct RemovalCase {
    const char* what;
    std::string hosts;
    Names defaults;
    Names users;
    std::string expected;
    int removed;
};

TEST(HostsFileBuilder, RemovesOnlyWholeLinesOfListedNames) {
    const RemovalCase cases[] = {
        {"both lists' lines go, other lines and blank lines stay",
         "127.0.0.1 a.example\n\n127.0.0.1 localhost\n127.0.0.1 u.example\n",
         {"a.example"},
         {"u.example"},
         "\n127.0.0.1 localhost\n",
         2},
        {"a last line without line break goes too",
         "127.0.0.1 localhost\n127.0.0.1 a.example",
         {"a.example"},
         {},
         "127.0.0.1 localhost\n",
         1},
        {"the line of a longer name stays",
         "127.0.0.1 ads.x.example.org\n127.0.0.1 ads.x.example\n",
         {"ads.x.example"},
         {},
         "127.0.0.1 ads.x.example.org\n",
         1},
        {"a line with more after the name stays",
         "127.0.0.1 a.example b.example\n",
         {"a.example"},
         {},
         "127.0.0.1 a.example b.example\n",
         0},
        {"duplicates all go and CR LF is kept",
         "127.0.0.1 a.example\r\n127.0.0.1 a.example\r\n::1 localhost\r\n",
         {"a.example"},
         {},
         "::1 localhost\r\n",
         2},
        {"an invalid entry never matches a user's line",
         "127.0.0.1 a.example b.example\n",
         {"a.example b.example"},
         {},
         "127.0.0.1 a.example b.example\n",
         0},
        {"an empty file stays empty", "", {"a.example"}, {}, "", 0},
    };
    for (const RemovalCase& c : cases) {
        const auto removal = HostsFileBuilder::remove(c.hosts, c.defaults, c.users);
        EXPECT_EQ(removal.text, c.expected) << c.what;
        EXPECT_EQ(removal.removed, c.removed) << c.what;
    }
}

TEST(HostsFileBuilder, LineEndingIsTheFirstLineBreaks) {
    EXPECT_EQ(HostsFileBuilder::lineEnding(""), "\n");
    EXPECT_EQ(HostsFileBuilder::lineEnding("one line"), "\n");
    EXPECT_EQ(HostsFileBuilder::lineEnding("a\r\nb\n"), "\r\n");
    EXPECT_EQ(HostsFileBuilder::lineEnding("a\nb\r\n"), "\n");
    EXPECT_EQ(HostsFileBuilder::lineEnding("\na"), "\n");
}

TEST(HostsFileBuilder, AllowedNamesTakeOutOnlyLinesTheProgramCouldHaveAdded) {
    const std::string own = "127.0.0.1 localhost\n127.0.0.1 mine.example\n";
    const std::string hosts = "127.0.0.1 b.example\n" + own;
    const Names defaults = {"localhost", "b.example", "mine.example"};
    // localhost and mine.example are lines of the user's own file; other.example is no list's.
    const auto merge = HostsFileBuilder::merge(
        hosts + "127.0.0.1 other.example\n", defaults, {},
        Names{"localhost", "b.example", "mine.example", "other.example"}, own);
    EXPECT_EQ(merge.text, own + "127.0.0.1 other.example\n");
    EXPECT_EQ(merge.added, 0);
}

TEST(HostsFileBuilder, WithoutAddedKeepsTheUsersOwnLinesOfListedNames) {
    const std::string usersOwn = "127.0.0.1 localhost\n127.0.0.1 a.example\n";
    const std::string complete = "127.0.0.1 a.example\n127.0.0.1 b.example\r\n" + usersOwn +
                                 "10.0.0.8 printer\n127.0.0.1 c.example";
    EXPECT_EQ(HostsFileBuilder::withoutAdded(complete, Names{"a.example", "b.example"},
                                             Names{"c.example"}, usersOwn),
              "127.0.0.1 a.example\n127.0.0.1 localhost\n127.0.0.1 a.example\n10.0.0.8 printer\n");
}

TEST(HostsFileBuilder, ScalesLinearly) {
    // 20,000 names over a 20,000-line file: a quadratic merge would take minutes here.
    Names defaults;
    std::string hosts;
    for (int i = 0; i < 20000; ++i) {
        defaults.push_back("n" + std::to_string(i) + ".example");
        hosts += "127.0.0.1 h" + std::to_string(i) + ".example\n";
    }
    const Names allowed = {"n5.example"};
    const auto merge = HostsFileBuilder::merge(hosts, defaults, {}, allowed);
    EXPECT_EQ(merge.added, 19999);
    const auto removal = HostsFileBuilder::remove(merge.text, defaults, {});
    EXPECT_EQ(removal.text, hosts);
}

}  // namespace
