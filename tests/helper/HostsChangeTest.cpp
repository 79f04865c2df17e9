#include "helper/HostsChange.h"

#include <gtest/gtest.h>

#include <string>

using halvern::helper::HostsChange;

namespace {

const std::string kUsers =
    "127.0.0.1 localhost\n::1 localhost ip6-localhost\n# my NAS\n10.0.0.7 nas\n";

struct Case {
    const char* what;
    std::string current;
    std::string proposed;
    bool accepted;
};

TEST(HostsChange, AcceptsOnlyAddedOrRemovedBlockAndBlankLines) {
    const Case cases[] = {
        {"no change", kUsers, kUsers, true},
        {"block lines added at the end", kUsers, kUsers + "127.0.0.1 ads.example\n127.0.0.1 t.co\n",
         true},
        {"block lines added between the user's lines", kUsers,
         "127.0.0.1 localhost\n127.0.0.1 ads.example\n::1 localhost ip6-localhost\n"
         "# my NAS\n\n127.0.0.1\tx.example  \n10.0.0.7 nas\n",
         true},
        {"block lines removed", kUsers + "\n127.0.0.1 ads.example\n", kUsers, true},
        {"blank lines added and removed", "\n\n" + kUsers + "\n", kUsers + "\n \t\n", true},
        {"tabs, trailing blanks and CR on block lines", kUsers,
         kUsers + "127.0.0.1\t\tads.example \t\r\n127.0.0.1 b.example\r\n", true},
        {"a name with a trailing dot", kUsers, kUsers + "127.0.0.1 b.example.\n", false},
        {"the hosts file made from nothing", "", "127.0.0.1 ads.example\n", true},
        {"all block lines dropped to nothing", "127.0.0.1 ads.example\n\n", "", true},
        {"a last line that gains its newline", "10.0.0.7 nas", "10.0.0.7 nas\n127.0.0.1 a.b\n",
         true},
        {"a redirect added", kUsers, kUsers + "10.0.0.1 ads.example\n", false},
        {"a redirect to 0.0.0.0", kUsers, kUsers + "0.0.0.0 ads.example\n", false},
        {"a block line with a second name", kUsers, kUsers + "127.0.0.1 a.example b.example\n",
         false},
        {"a block line with a comment", kUsers, kUsers + "127.0.0.1 a.example # ad\n", false},
        {"an address that only starts like loopback", kUsers, kUsers + "127.0.0.10 a.example\n",
         false},
        {"no blank after the address", kUsers, kUsers + "127.0.0.1a.example\n", false},
        {"a leading blank", kUsers, kUsers + " 127.0.0.1 a.example\n", false},
        {"an invalid host name", kUsers, kUsers + "127.0.0.1 bad..name\n", false},
        {"a name with a slash", kUsers, kUsers + "127.0.0.1 a/b\n", false},
        {"IPv6 loopback block", kUsers, kUsers + "::1 ads.example\n", false},
        {"127.0.0.1 localhost removed", kUsers, kUsers.substr(kUsers.find('\n') + 1), false},
        {"127.0.0.1 localhost added", "", "127.0.0.1 localhost\n", false},
        {"ip6-localhost blocked", kUsers, kUsers + "127.0.0.1 ip6-localhost\n", false},
        {"a name under localhost blocked", kUsers, kUsers + "127.0.0.1 db.localhost\n", false},
        {"the machine's name blocked", kUsers, kUsers + "127.0.0.1 WorkBox\n", false},
        {"the machine's full name blocked", kUsers, kUsers + "127.0.0.1 workbox.lan.\n", false},
        {"the machine's own line removed", kUsers + "127.0.0.1 workbox\n", kUsers, false},
        {"a comment changed", kUsers,
         "127.0.0.1 localhost\n::1 localhost ip6-localhost\n"
         "# my old NAS\n10.0.0.7 nas\n",
         false},
        {"the user's lines reordered", "10.0.0.7 nas\n10.0.0.8 printer\n",
         "10.0.0.8 printer\n10.0.0.7 nas\n", false},
        {"a user line dropped", kUsers, "127.0.0.1 localhost\n::1 localhost ip6-localhost\n",
         false},
        {"a user line duplicated", kUsers, kUsers + "10.0.0.7 nas\n", false},
        {"a blank inside a user line changed", "10.0.0.7 nas\n", "10.0.0.7  nas\n", false},
        {"CRLF turned into LF", "10.0.0.7 nas\r\n", "10.0.0.7 nas\n", false},
        {"LF turned into CRLF", "10.0.0.7 nas\n", "10.0.0.7 nas\r\n", false},
        {"a NUL inside a line", kUsers, kUsers + std::string("127.0.0.1 a\0b\n", 14), false},
        {"a hosts file made of user lines from nothing", "", "10.0.0.7 nas\n", false},
    };
    for (const Case& c : cases) {
        const auto verdict = HostsChange::check(c.current, c.proposed, "workbox.lan");
        EXPECT_EQ(verdict.accepted, c.accepted) << c.what << ": " << verdict.reason;
        EXPECT_EQ(verdict.reason.empty(), c.accepted) << c.what;
    }
}

TEST(HostsChange, CRLFFilesKeepTheirUserLinesAndTakeBlockLines) {
    const std::string current = "127.0.0.1 localhost\r\n10.0.0.7 nas\r\n";
    EXPECT_TRUE(HostsChange::check(current, current + "127.0.0.1 ads.example\r\n", "box").accepted);
    EXPECT_FALSE(
        HostsChange::check(current, "127.0.0.1 localhost\r\n10.0.0.8 nas\r\n", "box").accepted);
}

TEST(HostsChange, TheReasonNamesTheLineAndWhy) {
    auto verdict = HostsChange::check(kUsers, kUsers + "10.0.0.1 ads.example\n", "box");
    EXPECT_NE(verdict.reason.find("line 5"), std::string::npos) << verdict.reason;
    EXPECT_NE(verdict.reason.find("\"10.0.0.1 ads.example\""), std::string::npos) << verdict.reason;

    verdict = HostsChange::check(kUsers, kUsers.substr(kUsers.find('\n') + 1), "box");
    EXPECT_NE(verdict.reason.find("has \"127.0.0.1 localhost\""), std::string::npos)
        << verdict.reason;
    EXPECT_NE(verdict.reason.find("localhost is a name of this machine"), std::string::npos)
        << verdict.reason;

    verdict = HostsChange::check("127.0.0.1 localhost\n", "", "box");
    EXPECT_NE(verdict.reason.find("drops line 1 \"127.0.0.1 localhost\" (localhost"),
              std::string::npos)
        << verdict.reason;

    verdict = HostsChange::check("", "127.0.0.1 box\n", "box");
    EXPECT_NE(verdict.reason.find("box is a name of this machine"), std::string::npos)
        << verdict.reason;

    // A long line is shown cut short.
    const std::string longLine = "# " + std::string(500, 'x');
    verdict = HostsChange::check("", longLine, "box");
    EXPECT_LT(verdict.reason.size(), 300u);
}

TEST(HostsChange, RemovingTheFileNeedsAFileOfBlockLinesOnly) {
    // Removal is judged as a change to an empty text.
    EXPECT_TRUE(
        HostsChange::check("127.0.0.1 a.example\n\n127.0.0.1 b.example\n", "", "box").accepted);
    EXPECT_FALSE(HostsChange::check("127.0.0.1 a.example\n# mine\n", "", "box").accepted);
}

TEST(HostsChange, IgnorableLines) {
    EXPECT_TRUE(HostsChange::isIgnorable("", "box"));
    EXPECT_TRUE(HostsChange::isIgnorable(" \t\r", "box"));
    EXPECT_TRUE(HostsChange::isIgnorable("127.0.0.1 ads.example", "box"));
    EXPECT_FALSE(HostsChange::isIgnorable("127.0.0.1 box", "box"));
    EXPECT_FALSE(HostsChange::isIgnorable("127.0.0.1 ", "box"));
    EXPECT_FALSE(HostsChange::isIgnorable("127.0.0.1", "box"));
    EXPECT_FALSE(HostsChange::isIgnorable("#127.0.0.1 ads.example", "box"));
}

}  // namespace
