// Times zorvik-helper's check of a new hosts file (the user's 20 lines and 4 million block lines
// against the user's file alone) beside `grep -c` counting the block lines of the same file, in
// the same run, and prints both and their ratio. Exit status 1 when the check takes more than
// 2 s, the bound a hosts write through the helper may spend on it.
//
//   hostscheck_bench [rounds]

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "helper/HostsChange.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kNames = 4'000'000;
constexpr double kLimitSeconds = 2.0;

std::string usersOwn() {
    std::string text = "127.0.0.1 localhost\n::1 localhost ip6-localhost ip6-loopback\n";
    for (int i = 0; i < 18; ++i) {
        text += "10.0.0." + std::to_string(i) + " host" + std::to_string(i) + ".lan\n";
    }
    return text;
}

double grepSeconds(const std::string& path) {
    const char* argv[] = {"grep", "-c", "^127\\.0\\.0\\.1[[:blank:]]", path.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "grep", &actions, nullptr, const_cast<char**>(argv), environ) != 0) {
        return -1;
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const std::string current = usersOwn();
    std::string proposed = current;
    proposed.reserve(current.size() + static_cast<std::size_t>(kNames) * 32);
    for (int i = 0; i < kNames; ++i) {
        proposed += "127.0.0.1 ads" + std::to_string(i) + ".tracker.example\n";
    }
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("hostscheck-" + std::to_string(::getpid()));
    std::ofstream(file, std::ios::binary) << proposed;

    double best = 1e9;
    double bestGrep = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const auto start = Clock::now();
        const auto verdict = halvern::helper::HostsChange::check(current, proposed, "workstation");
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!verdict.accepted) {
            std::fprintf(stderr, "the check refused the file: %s\n", verdict.reason.c_str());
            return 1;
        }
        best = std::min(best, seconds);
        bestGrep = std::min(bestGrep, grepSeconds(file.string()));
    }
    std::filesystem::remove(file);
    std::printf("hosts file: %d block lines, %.1f MB\n", kNames, proposed.size() / 1e6);
    std::printf("helper check (best of %d): %.3f s\n", rounds, best);
    std::printf("grep -c (best of %d):      %.3f s\n", rounds, bestGrep);
    std::printf("ratio check / grep:        %.2f\n", best / bestGrep);
    if (best > kLimitSeconds) {
        std::printf("over the goal of %.1f s\n", kLimitSeconds);
        return 1;
    }
    return 0;
}
