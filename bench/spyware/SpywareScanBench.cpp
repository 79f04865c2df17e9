// Times one spyware scan against `pgrep -x` once per name, on the same real processes, and
// prints both and their ratio.
//
// The machine's process table is topped up to the asked number of processes (default 1000) with
// sleeping copies of `sleep` started under names of the list, so some names match. Then, per
// round:
//   - scan: one walk of /proc (comm, the exe link, the owner, the state; what the scanner's
//     process seam reads) and the matcher over 1000 names, each answered with the processes
//     Zorvik may end;
//   - match: the matcher alone over the same walk (the scanner's own part; goal < 20 ms);
//   - pgrep: `pgrep -x NAME` for each of the 1000 names, one after the other. pgrep -x compares
//     the kernel's 15-byte short name only, so it answers a simpler question than the scan.
// Exit status 1 when the matcher takes 20 ms or more, or the scan is not faster than pgrep.
//
// A busy machine makes each pgrep slow: a sample of the names (every k-th) can stand for all
// of them, and the figure printed is then scaled to the 1000 names and says so.
//
//   spyware_bench [rounds] [processes] [pgrep sample]

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "spyware/ProcessMatcher.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using halvern::platform::ProcessInfo;
using halvern::spyware::ProcessMatcher;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

/// One walk of /proc as the process seam reads it.
std::vector<ProcessInfo> walkProc() {
    std::vector<ProcessInfo> all;
    DIR* dir = opendir("/proc");
    if (dir == nullptr) {
        return all;
    }
    const int procFd = dirfd(dir);
    char buffer[1024];
    while (dirent* entry = readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] < '1' || name[0] > '9') {
            continue;
        }
        ProcessInfo info;
        info.pid = std::atoi(name);
        struct stat st {};
        if (fstatat(procFd, name, &st, 0) != 0) {
            continue;
        }
        info.uid = st.st_uid;
        const std::string statPath = std::string(name) + "/stat";
        const int fd = openat(procFd, statPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        const ssize_t n = read(fd, buffer, sizeof buffer - 1);
        close(fd);
        if (n <= 0) {
            continue;
        }
        const std::string text(buffer, static_cast<std::size_t>(n));
        const auto open = text.find('(');
        const auto close = text.rfind(')');
        if (open == std::string::npos || close == std::string::npos || close + 2 >= text.size()) {
            continue;
        }
        info.comm = text.substr(open + 1, close - open - 1);
        info.zombie = text[close + 2] == 'Z';
        // The ninth field, the flags: PF_KTHREAD marks a kernel thread.
        std::size_t pos = close + 2;
        for (int field = 3; field < 9 && pos != std::string::npos; ++field) {
            pos = text.find(' ', pos + 1);
        }
        if (pos != std::string::npos) {
            info.kernelThread =
                (std::strtoul(text.c_str() + pos + 1, nullptr, 10) & 0x00200000u) != 0;
        }
        const std::string exePath = std::string(name) + "/exe";
        const ssize_t len = readlinkat(procFd, exePath.c_str(), buffer, sizeof buffer - 1);
        if (len > 0) {
            info.exe.assign(buffer, static_cast<std::size_t>(len));
            const std::string deleted = " (deleted)";
            if (info.exe.ends_with(deleted)) {
                info.exe.resize(info.exe.size() - deleted.size());
            }
        }
        all.push_back(std::move(info));
    }
    closedir(dir);
    return all;
}

int countProcesses() {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        count += !name.empty() && name[0] >= '1' && name[0] <= '9';
    }
    return count;
}

pid_t spawn(const std::string& path, std::vector<std::string> args, bool quiet) {
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) {
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    }
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const int wanted = argc > 2 ? std::max(1, std::atoi(argv[2])) : 1000;
    const int sample = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 1000) : 1000;

    // 1000 names: 10 of them the names of the sleepers below, the rest names nothing runs.
    std::vector<std::string> names;
    for (int i = 0; i < 10; ++i) {
        names.push_back("zvbench-spy" + std::to_string(i));  // 12 bytes
    }
    for (int i = 10; i < 1000; ++i) {
        // At most 15 bytes, so that pgrep -x really walks the table for each.
        names.push_back("nosuch" + std::to_string(i) + ".bin");
    }

    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("zvbench-spyware-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    for (int i = 0; i < 10; ++i) {
        std::filesystem::copy_file("/bin/sleep", folder / names[static_cast<std::size_t>(i)]);
    }
    std::vector<pid_t> sleepers;
    for (int have = countProcesses(); have < wanted; ++have) {
        const std::size_t which = sleepers.size() % 10;
        const pid_t pid = spawn((folder / names[which]).string(), {names[which], "600"}, false);
        if (pid <= 0) {
            break;
        }
        sleepers.push_back(pid);
    }
    usleep(300000);  // let the copies reach their sleep

    const int ownPid = getpid();
    const unsigned ownUid = getuid();
    std::vector<double> scanMs;
    std::vector<double> matchMs;
    std::vector<double> pgrepMs;
    std::size_t processes = 0;
    std::size_t found = 0;
    for (int round = 0; round < rounds; ++round) {
        auto start = Clock::now();
        std::vector<ProcessInfo> table = walkProc();
        processes = table.size();
        const auto matchStart = Clock::now();
        const ProcessMatcher matcher(std::move(table), ownPid, ownUid);
        found = 0;
        for (const std::string& name : names) {
            found += matcher.find(name).size();
        }
        matchMs.push_back(msSince(matchStart));
        scanMs.push_back(msSince(start));

        start = Clock::now();
        const std::size_t step = names.size() / static_cast<std::size_t>(sample);
        int calls = 0;
        for (std::size_t i = 0; i < names.size() && calls < sample; i += step, ++calls) {
            const pid_t pid = spawn("/usr/bin/pgrep", {"pgrep", "-x", names[i]}, true);
            int status = 0;
            waitpid(pid, &status, 0);
        }
        pgrepMs.push_back(msSince(start) * static_cast<double>(names.size()) / calls);
    }

    for (pid_t pid : sleepers) {
        kill(pid, SIGTERM);
    }
    for (pid_t pid : sleepers) {
        waitpid(pid, nullptr, 0);
    }
    std::filesystem::remove_all(folder);

    const double scan = median(scanMs);
    const double match = median(matchMs);
    const double pgrep = median(pgrepMs);
    std::printf("spyware scan: %zu processes, %zu names, %zu processes found (medians of %d)\n",
                processes, names.size(), found, rounds);
    std::printf("  matcher alone          %9.3f ms   (goal < 20 ms)\n", match);
    std::printf("  /proc walk + matcher   %9.3f ms\n", scan);
    std::printf("  pgrep -x once per name %9.3f ms%s\n", pgrep,
                sample < 1000 ? "   (scaled from a sample of the names)" : "");
    std::printf("  ratio pgrep / scan     %9.1fx\n", pgrep / scan);
    return match < 20.0 && scan < pgrep ? 0 : 1;
}
