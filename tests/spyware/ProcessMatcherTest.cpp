#include "spyware/ProcessMatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using halvern::platform::ProcessInfo;
using halvern::spyware::ProcessMatcher;

namespace {

constexpr int kSelf = 4242;
constexpr unsigned kUid = 1000;

ProcessInfo process(int pid, std::string exe, std::string comm, unsigned uid = kUid) {
    ProcessInfo info;
    info.pid = pid;
    info.exe = std::move(exe);
    info.comm = std::move(comm);
    info.uid = uid;
    return info;
}

TEST(ProcessMatcher, MatchesTheExecutablesBaseNameExactlyIgnoringCase) {
    struct Case {
        const char* name;
        const char* exe;
        const char* comm;
        bool match;
    };
    const Case cases[] = {
        {"spy.exe", "/home/u/spy.exe", "spy.exe", true},
        {"SPY.EXE", "/home/u/Spy.Exe", "Spy.Exe", true},
        {"xmrig", "/tmp/.x/xmrig", "xmrig", true},
        // Substrings, prefixes and suffixes of the base name or the path never match.
        {"a.exe", "/x/data.exe", "data.exe", false},
        {"spy.exe", "/x/notspy.exe", "notspy.exe", false},
        {"spy.exe", "/x/spy.exe.bak", "spy.exe.bak", false},
        {"miner", "/opt/miner/bin/worker", "worker", false},
        {"xmri", "/tmp/xmrig", "xmrig", false},
        // An executable deleted after it started still counts by its base name.
        {"xmrig", "/tmp/xmrig (deleted)", "xmrig", true},
        // An unreadable executable: the short name stands in, for names of at most 15 bytes.
        {"kinsing", "", "kinsing", true},
        {"KINSING", "", "kinsing", true},
        {"fifteen-bytes.x", "", "fifteen-bytes.x", true},
        // A readable executable is the only word: its short name is never trusted, neither a
        // name the program gave itself nor one the kernel cut from a longer file name.
        {"kinsing", "/usr/bin/bash", "kinsing", false},
        {"fifteen-bytes.x", "/usr/bin/fifteen-bytes.xyz", "fifteen-bytes.x", false},
        {"fifteen-bytes.x", "/opt/fifteen-bytes.x-updater", "fifteen-bytes.x", false},
        // The kernel cuts a long name to 15 bytes: a prefix in comm is not the program.
        {"sixteen-bytes.xy", "", "sixteen-bytes.x", false},
        {"sixteen-bytes.xy", "/usr/bin/sixteen-bytes.xy", "sixteen-bytes.x", true},
        {"teamredminer-long", "/x/teamredminer-long", "teamredminer-lo", true},
        // Names under 4 characters and empty names match nothing, however exact.
        {"abc", "/usr/bin/abc", "abc", false},
        {"", "/usr/bin/", "", false},
        {"x", "/x", "x", false},
    };
    for (const Case& c : cases) {
        const ProcessInfo info = process(100, c.exe, c.comm);
        EXPECT_EQ(ProcessMatcher::matches(info, c.name), c.match)
            << c.name << " vs " << c.exe << " / " << c.comm;
        const ProcessMatcher walk({info}, kSelf, kUid);
        EXPECT_EQ(walk.find(c.name).size(), c.match ? 1u : 0u) << c.name << " in a walk";
    }
}

TEST(ProcessMatcher, NeverFindsWhatItMustNotEnd) {
    struct Case {
        const char* what;
        ProcessInfo info;
    };
    ProcessInfo kernel = process(200, "", "watchdog");
    kernel.kernelThread = true;
    ProcessInfo zombie = process(201, "/usr/bin/watchdog", "watchdog");
    zombie.zombie = true;
    const Case cases[] = {
        {"pid 1", process(1, "/usr/bin/watchdog", "watchdog")},
        {"itself", process(kSelf, "/usr/bin/watchdog", "watchdog")},
        {"another user's", process(202, "/usr/bin/watchdog", "watchdog", 0)},
        {"a kernel thread", kernel},
        {"a zombie", zombie},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(ProcessMatcher::endable(c.info, kSelf, kUid)) << c.what;
        const ProcessMatcher walk({c.info}, kSelf, kUid);
        EXPECT_TRUE(walk.find("watchdog").empty()) << c.what;
    }
    EXPECT_TRUE(
        ProcessMatcher::endable(process(203, "/usr/bin/watchdog", "watchdog"), kSelf, kUid));
}

TEST(ProcessMatcher, FindsEveryCopyOnceInWalkOrder) {
    const ProcessMatcher walk(
        {process(10, "/a/miner.bin", "miner.bin"), process(11, "/b/other", "other"),
         process(12, "", "miner.bin"), process(13, "/c/MINER.BIN", "MINER.BIN")},
        kSelf, kUid);
    std::vector<int> pids;
    for (const ProcessInfo& info : walk.find("miner.bin")) {
        pids.push_back(info.pid);
    }
    EXPECT_EQ(pids, (std::vector<int>{10, 12, 13}));
}

TEST(ProcessMatcher, BaseNameDropsTheFolderAndTheDeletedMark) {
    EXPECT_EQ(ProcessMatcher::baseName("/usr/bin/xmrig"), "xmrig");
    EXPECT_EQ(ProcessMatcher::baseName("/usr/bin/xmrig (deleted)"), "xmrig");
    EXPECT_EQ(ProcessMatcher::baseName("xmrig"), "xmrig");
    EXPECT_EQ(ProcessMatcher::baseName("/usr/bin/"), "");
}

}  // namespace
