#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "adservers/HostsFileBuilder.h"

namespace fs = std::filesystem;
using halvern::adservers::HostsFileBuilder;

namespace {

constexpr int kMaxKills = 200;

std::string slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void spill(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string listFile(const std::vector<std::string>& names) {
    std::string text = "[DomainCount]\nN=" + std::to_string(names.size()) + "\n[Domains]\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + names[i] + "\n";
    }
    return text;
}

struct HostsCrashTest : ::testing::Test {
    void SetUp() override {
        char pattern[] = "/tmp/hosts-crash-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root = pattern;
        fs::create_directories(root / "app");
        fs::create_directories(root / "etc");
    }
    void TearDown() override { fs::remove_all(root); }

    fs::path root;
};

TEST_F(HostsCrashTest, KilledAtAnyMomentTheHostsFileIsWholeAndTheBackupIntact) {
    // Large enough that a kill often lands inside a write.
    std::vector<std::string> defaults;
    for (int i = 0; i < 6000; ++i) {
        defaults.push_back("ads" + std::to_string(i) + ".tracker.example");
    }
    const std::vector<std::string> users = {"mine.example", "ads7.tracker.example"};
    spill(root / "app/zorvikhosts.ini", listFile(defaults));
    spill(root / "app/userhosts.ini", listFile(users));
    const std::string usersOwn = "127.0.0.1 localhost\n::1 localhost\n10.0.0.7 nas\n";
    const std::string complete = HostsFileBuilder::merge(usersOwn, defaults, users, {}).text;
    const fs::path hosts = root / "etc/hosts";
    spill(hosts, usersOwn);
    ::chmod(hosts.c_str(), 0640);

    // How long the worker takes to its first complete file (much longer under the sanitizers):
    // the kills fall within three times that, so they land in both halves of its loop.
    const auto launch = [&] {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::execl(HOSTS_CRASH_WORKER, HOSTS_CRASH_WORKER, root.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        return pid;
    };
    const auto calibrate = std::chrono::steady_clock::now();
    const pid_t probe = launch();
    ASSERT_GT(probe, 0);
    while (slurp(hosts) != complete &&
           std::chrono::steady_clock::now() - calibrate < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const auto firstComplete = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - calibrate);
    ::kill(probe, SIGKILL);
    ::waitpid(probe, nullptr, 0);
    ASSERT_EQ(slurp(hosts), complete) << "the worker never completed the hosts file";
    const int maxDelayUs = std::max(
        60000, static_cast<int>(std::min<std::int64_t>(3 * firstComplete.count(), 2000000)));
    // About 15 s of kills at most, a start of the worker included.
    const int kKills = std::min(kMaxKills, 15000000 / (maxDelayUs / 2 + 20000));

    std::mt19937 rng(std::random_device{}());
    std::uniform_int_distribution<int> delayUs(0, maxDelayUs);
    int sawUsersOwn = 0;
    int sawComplete = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int kill = 0; kill < kKills; ++kill) {
        const pid_t pid = launch();
        ASSERT_GE(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(rng)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "kill " << kill << ": the worker ended by itself (3: it took its own hosts file "
            << "for someone else's), status " << WEXITSTATUS(status);

        // The hosts file is always there and always one whole version.
        ASSERT_TRUE(fs::exists(hosts)) << "kill " << kill;
        const std::string text = slurp(hosts);
        ASSERT_TRUE(text == usersOwn || text == complete)
            << "kill " << kill << ": a mixed hosts file of " << text.size() << " bytes";
        (text == usersOwn ? sawUsersOwn : sawComplete) += 1;
        struct stat st {};
        ASSERT_EQ(::stat(hosts.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << "kill " << kill;

        // The backup, once made, is the user's file; the parked copy is the complete one.
        if (fs::exists(root / "etc/hostszvb")) {
            ASSERT_EQ(slurp(root / "etc/hostszvb"), usersOwn) << "kill " << kill;
        }
        if (fs::exists(root / "etc/hostszvf")) {
            ASSERT_EQ(slurp(root / "etc/hostszvf"), complete) << "kill " << kill;
        }
    }
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_TRUE(fs::exists(root / "etc/hostszvb"));
    // The kills landed in both halves of the loop, not only at the start.
    EXPECT_GT(sawUsersOwn, 0);
    EXPECT_GT(sawComplete, 0);
    EXPECT_LT(took, std::chrono::seconds(30));
    std::printf("first complete file after %lld ms; ",
                static_cast<long long>(firstComplete.count() / 1000));
    std::printf("%d kills: %d with the user's file, %d with the complete file\n", kKills,
                sawUsersOwn, sawComplete);
}

}  // namespace
