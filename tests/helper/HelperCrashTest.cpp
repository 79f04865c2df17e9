// zorvik-helper killed with SIGKILL in the middle of writing the hosts file: the next helper's
// start finds the old or the new file, never a torn one, and leaves no temporary behind.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <chrono>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>

#include "LinuxTestSupport.h"
#include "helper/HelperDaemon.h"
#include "platform/linux/HelperClient.h"

using namespace halvern;
using namespace halvern::platform::testing;
using halvern::helper::testing::HelperDaemon;
using Claim = platform::HelperConnection::Claim;

namespace {

const std::string kUsersOwn = "127.0.0.1 localhost\n::1 localhost\n10.0.0.7 nas\n";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void spill(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

/// The user's lines and a few megabytes of block lines, so a kill often lands inside a write.
std::string blocked(const std::string& stem) {
    std::string text = kUsersOwn;
    for (int i = 0; i < 150000; ++i) {
        text += "127.0.0.1 " + stem + std::to_string(i) + ".tracker.example\n";
    }
    return text;
}

/// Writes the two texts in turn through the helper for ever, claiming it again whenever the
/// helper was killed. Runs in a child process.
[[noreturn]] void writeForEver(const std::string& socket, const std::string& hosts,
                               const std::string& first, const std::string& second) {
    platform::HelperClient client(socket);
    for (bool odd = false;; odd = !odd) {
        std::string error;
        if (!client.writeFile(hosts, odd ? second : first, error)) {
            while (client.claim().claim != Claim::Granted) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        }
    }
}

/// Kills the helper again and again while a writer keeps it busy; after each kill a new helper
/// starts, and once it grants a claim (its recovery is done) the file must be whole. Returns
/// the first fault found, "" when there was none.
std::string killRepeatedly(const std::string& root, const std::string& hosts, int kills) {
    const std::string socket = root + "/helper.sock";
    const std::string first = blocked("a");
    const std::string second = blocked("b");
    const std::set<std::string> whole = {kUsersOwn, first, second};
    auto daemon = std::make_unique<HelperDaemon>(socket, hosts);
    if (!daemon->start()) {
        return "the helper did not start: " + daemon->log();
    }
    std::fflush(nullptr);
    const pid_t writer = ::fork();
    if (writer == 0) {
        writeForEver(socket, hosts, first, second);
    }
    std::mt19937 random(20261211);
    std::string fault;
    for (int kill = 0; kill < kills && fault.empty(); ++kill) {
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 150000));
        daemon->stop(SIGKILL);
        // The writer waits while the file is looked at: a claim of its own would take the new
        // helper over and start the next write.
        ::kill(writer, SIGSTOP);
        daemon = std::make_unique<HelperDaemon>(socket, hosts);
        if (!daemon->start()) {
            fault = "the helper did not start again: " + daemon->log();
            break;
        }
        platform::HelperClient check(socket);
        if (check.claim().claim != Claim::Granted) {
            fault = "the restarted helper granted no claim";
            break;
        }
        if (!whole.contains(slurp(hosts))) {
            fault = "kill " + std::to_string(kill) + " left a torn hosts file of " +
                    std::to_string(slurp(hosts).size()) + " bytes";
        }
        for (const std::string& name : namesIn(root + "/etc")) {
            if (name != "hosts" && name != "hostszvb") {
                fault = "kill " + std::to_string(kill) + " left " + name + " behind";
            }
        }
        ::kill(writer, SIGCONT);
    }
    ::kill(writer, SIGKILL);
    ::waitpid(writer, nullptr, 0);
    return fault;
}

struct HelperCrashTest : ::testing::Test {
    void SetUp() override {
        ::mkdir((dir / "etc").c_str(), 0755);
        spill(hosts, kUsersOwn);
    }
    TempFolder dir;
    const std::string hosts = dir / "etc/hosts";
};

TEST_F(HelperCrashTest, KilledWhileReplacingTheFileTheNextStartFindsItWhole) {
    EXPECT_EQ(killRepeatedly(dir.path(), hosts, 40), "");
}

TEST_F(HelperCrashTest, KilledWhileRewritingABindMountedFileTheNextStartFinishesTheJournal) {
    // A bind-mounted hosts file (as containers have) cannot be renamed over: the helper rewrites
    // it in place from a journal, and a new helper's start completes what a kill cut short.
    const int code = runInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return kNotPermitted;
        }
        const std::string source = dir / "hosts.source";
        spill(source, kUsersOwn);
        if (::mount(source.c_str(), hosts.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return kNotPermitted;
        }
        const std::string fault = killRepeatedly(dir.path(), hosts, 40);
        std::fprintf(stderr, "%s\n", fault.c_str());
        return fault.empty() ? 0 : 1;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "needs a private mount namespace (root)";
    }
    EXPECT_EQ(code, 0);
}

}  // namespace
