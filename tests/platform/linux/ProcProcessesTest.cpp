#include "platform/linux/ProcProcesses.h"

#include <gtest/gtest.h>
#include <linux/sched.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/PollScheduler.h"

using namespace std::chrono_literals;
using halvern::platform::EndResult;
using halvern::platform::HeldProcess;
using halvern::platform::Millis;
using halvern::platform::PollScheduler;
using halvern::platform::ProcessInfo;
using halvern::platform::ProcProcesses;
using halvern::platform::testing::eventually;
using halvern::platform::testing::kNotPermitted;
using halvern::platform::testing::runInChild;
using halvern::platform::testing::TempFolder;

namespace {

constexpr uid_t kNobody = 65534;

std::string realPath(const std::string& path) {
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? resolved : "";
}

struct ProcProcessesTest : ::testing::Test {
    PollScheduler loop;
    TempFolder dir;
    std::optional<ProcProcesses> processes{std::in_place, loop};
    std::vector<pid_t> children;

    void TearDown() override {
        processes.reset();
        for (pid_t pid : children) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    /// A copy of /bin/sleep under the given name in the test's folder.
    std::string copyOfSleep(const std::string& name) {
        const std::string path = dir / name;
        std::filesystem::copy_file("/bin/sleep", path);
        std::filesystem::permissions(path, std::filesystem::perms::owner_all);
        return path;
    }

    /// Starts a program as our child; it may ignore SIGTERM or run as another user.
    pid_t spawn(std::vector<std::string> argv, bool ignoreTerm = false,
                std::optional<uid_t> user = std::nullopt) {
        std::vector<char*> args;
        for (auto& arg : argv) {
            args.push_back(arg.data());
        }
        args.push_back(nullptr);
        const pid_t pid = ::fork();
        if (pid == 0) {
            if (ignoreTerm) {
                ::signal(SIGTERM, SIG_IGN);
            }
            if (user && (::setgid(*user) != 0 || ::setuid(*user) != 0)) {
                ::_exit(126);
            }
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        children.push_back(pid);
        return pid;
    }

    /// The process once it runs the program (after its exec).
    std::optional<ProcessInfo> started(pid_t pid, const std::string& comm) {
        std::optional<ProcessInfo> info;
        eventually([&] {
            info = ProcProcesses::read(pid);
            return info && info->comm == comm;
        });
        return info && info->comm == comm ? info : std::nullopt;
    }

    /// Ends a process and runs the loop until the answer is in.
    std::optional<EndResult> endAndWait(std::unique_ptr<HeldProcess> held) {
        std::optional<EndResult> result;
        processes->end(std::move(held), [&](EndResult r) { result = r; });
        loop.runUntil([&] { return result.has_value(); }, 10s);
        return result;
    }

    /// How a child ended: the signal that killed it, 0 when it exited.
    static int killedBy(pid_t pid) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    }
};

TEST_F(ProcProcessesTest, OneWalkListsCopiesOfAProgramByNameAndPath) {
    const std::vector<std::string> names = {"popupmaker", "AdWare.Bin", "name (with) blanks",
                                            "a-very-long-name-over-15-bytes"};
    std::vector<pid_t> pids;
    for (const std::string& name : names) {
        pids.push_back(spawn({copyOfSleep(name), "30"}));
        ASSERT_TRUE(started(pids.back(), name.substr(0, 15))) << name;
    }
    const std::vector<ProcessInfo> all = processes->list();
    for (std::size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        auto it = std::ranges::find(all, pids[i], &ProcessInfo::pid);
        ASSERT_NE(it, all.end());
        EXPECT_EQ(it->comm, names[i].substr(0, 15));
        EXPECT_EQ(it->exe, dir / names[i]);
        EXPECT_EQ(it->uid, ::getuid());
        EXPECT_FALSE(it->kernelThread);
        EXPECT_FALSE(it->zombie);
    }
    auto self = std::ranges::find(all, ::getpid(), &ProcessInfo::pid);
    ASSERT_NE(self, all.end());
    EXPECT_EQ(self->exe, realPath("/proc/self/exe"));
    EXPECT_EQ(processes->ownPid(), ::getpid());
    EXPECT_EQ(processes->endableUid(), ::getuid());
}

TEST_F(ProcProcessesTest, ADeletedProgramKeepsItsPath) {
    const std::string path = copyOfSleep("vanishing");
    const pid_t pid = spawn({path, "30"});
    ASSERT_TRUE(started(pid, "vanishing"));
    std::filesystem::remove(path);
    const auto info = ProcProcesses::read(pid);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->exe, path);
}

TEST_F(ProcProcessesTest, AScriptIsNamedByItsFileAndRunByItsInterpreter) {
    const std::string script = dir / "spyscript.py";
    std::ofstream(script) << "#!/usr/bin/python3\nimport time\ntime.sleep(30)\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    const pid_t pid = spawn({script});
    const auto info = started(pid, "spyscript.py");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->exe, realPath("/usr/bin/python3"));
}

TEST_F(ProcProcessesTest, ZombiesAndKernelThreadsAreMarked) {
    const pid_t zombie = ::fork();
    if (zombie == 0) {
        ::_exit(0);
    }
    children.push_back(zombie);
    std::optional<ProcessInfo> info;
    ASSERT_TRUE(eventually([&] {
        info = ProcProcesses::read(zombie);
        return info && info->zombie;
    }));
    EXPECT_FALSE(info->kernelThread);
    EXPECT_EQ(info->exe, "");
    // A zombie has ended already: it is never signalled.
    EXPECT_EQ(endAndWait(processes->hold(zombie)), EndResult::Gone);

    bool sawKernelThreadDaemon = false;
    for (const ProcessInfo& process : processes->list()) {
        if (process.kernelThread) {
            EXPECT_EQ(process.exe, "") << process.pid << " " << process.comm;
        }
        if (process.pid == 2 && process.comm == "kthreadd") {
            sawKernelThreadDaemon = true;
            EXPECT_TRUE(process.kernelThread);
        }
    }
    if (!sawKernelThreadDaemon) {
        std::cout << "note: no kernel threads in this pid namespace\n";
    } else {
        EXPECT_EQ(endAndWait(processes->hold(2)), EndResult::Refused);
    }
}

TEST_F(ProcProcessesTest, EndingAsksPolitelyFirst) {
    const pid_t pid = spawn({copyOfSleep("popupmaker"), "30"});
    ASSERT_TRUE(started(pid, "popupmaker"));
    auto held = processes->hold(pid);
    ASSERT_TRUE(held);
    EXPECT_EQ(held->pid(), pid);
    EXPECT_TRUE(held->alive());
    EXPECT_EQ(endAndWait(std::move(held)), EndResult::Ended);
    EXPECT_EQ(killedBy(pid), SIGTERM);
}

TEST_F(ProcProcessesTest, AProcessIgnoringTheRequestIsForcedAfterTheGraceWhileTheLoopRuns) {
    const pid_t pid = spawn({copyOfSleep("stubborn"), "30"}, true);
    ASSERT_TRUE(started(pid, "stubborn"));
    int ticks = 0;
    std::function<void()> tick = [&] {
        ++ticks;
        loop.callAfter(20ms, tick);
    };
    loop.callAfter(20ms, tick);
    const Millis start = loop.now();
    EXPECT_EQ(endAndWait(processes->hold(pid)), EndResult::Ended);
    EXPECT_GE(loop.now() - start, 900ms);
    EXPECT_GT(ticks, 20);
    EXPECT_EQ(killedBy(pid), SIGKILL);
}

TEST_F(ProcProcessesTest, AHeldProcessThatEndedIsGoneEvenWhenItsIdIsReused) {
    EXPECT_EQ(processes->hold(INT_MAX), nullptr);
    EXPECT_EQ(processes->hold(0), nullptr);
    EXPECT_EQ(endAndWait(nullptr), EndResult::Gone);

    const std::string sleep = copyOfSleep("popupmaker");
    const pid_t pid = spawn({sleep, "30"});
    ASSERT_TRUE(started(pid, "popupmaker"));
    auto held = processes->hold(pid);
    ASSERT_TRUE(held);
    // Read again through the hold, it is the program that was found.
    const auto now = held->current();
    ASSERT_TRUE(now);
    EXPECT_EQ(now->pid, pid);
    EXPECT_EQ(now->exe, sleep);
    EXPECT_EQ(now->uid, ::getuid());
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    std::erase(children, pid);
    EXPECT_FALSE(held->alive());
    EXPECT_FALSE(held->current());

    // A new process with the very same id (clone3 can ask for one when we may).
    clone_args args{};
    args.exit_signal = SIGCHLD;
    pid_t wanted = pid;
    args.set_tid = reinterpret_cast<std::uintptr_t>(&wanted);
    args.set_tid_size = 1;
    char* const argv[] = {const_cast<char*>(sleep.c_str()), const_cast<char*>("30"), nullptr};
    const long reused = ::syscall(SYS_clone3, &args, sizeof args);
    if (reused == 0) {
        ::execv(argv[0], argv);
        ::_exit(127);
    }
    if (reused > 0) {
        children.push_back(static_cast<pid_t>(reused));
        ASSERT_EQ(reused, pid);
        ASSERT_TRUE(started(pid, "popupmaker"));
    } else {
        std::cout << "note: cannot choose a process id here; the reuse is not exercised\n";
    }
    EXPECT_FALSE(held->alive());
    // The newcomer with the old id is never taken for the held process.
    EXPECT_FALSE(held->current());
    EXPECT_EQ(endAndWait(std::move(held)), EndResult::Gone);
    if (reused > 0) {
        loop.wait(100ms);
        const auto info = ProcProcesses::read(pid);
        ASSERT_TRUE(info);
        EXPECT_FALSE(info->zombie) << "the newcomer with the old id was signalled";
    }
}

TEST_F(ProcProcessesTest, NeverEndsPidOneOrItself) {
    EXPECT_EQ(endAndWait(processes->hold(1)), EndResult::Refused);
    EXPECT_EQ(endAndWait(processes->hold(::getpid())), EndResult::Refused);
}

TEST_F(ProcProcessesTest, AnotherUsersProcessIsListedWithItsOwnerAndNeverEnded) {
    if (::getuid() != 0) {
        GTEST_SKIP() << "only root can start a process of another user";
    }
    const pid_t pid = spawn({"/bin/sleep", "30"}, false, kNobody);
    std::optional<ProcessInfo> info;
    ASSERT_TRUE(eventually([&] {
        info = ProcProcesses::read(pid);
        return info && info->uid == kNobody && info->comm == "sleep";
    }));
    const auto all = processes->list();
    auto it = std::ranges::find(all, pid, &ProcessInfo::pid);
    ASSERT_NE(it, all.end());
    EXPECT_EQ(it->uid, kNobody);
    EXPECT_EQ(endAndWait(processes->hold(pid)), EndResult::Refused);
    loop.wait(100ms);
    ASSERT_TRUE(ProcProcesses::read(pid));
    EXPECT_FALSE(ProcProcesses::read(pid)->zombie);
}

TEST_F(ProcProcessesTest, AsRootItEndsOnlyTheSessionUsersProcesses) {
    if (::getuid() != 0) {
        GTEST_SKIP() << "only root can start a process of another user";
    }
    constexpr uid_t kUser = 1000;
    const pid_t users = spawn({"/bin/sleep", "30"}, false, kUser);
    const pid_t roots = spawn({"/bin/sleep", "30"});
    ASSERT_TRUE(eventually([&] {
        const auto a = ProcProcesses::read(users);
        const auto b = ProcProcesses::read(roots);
        return a && a->uid == kUser && a->comm == "sleep" && b && b->comm == "sleep";
    }));

    // With no session user, no one's processes are ended.
    processes.emplace(loop, ProcProcesses::Options{}, std::nullopt);
    EXPECT_EQ(processes->endableUid(), std::nullopt);
    EXPECT_EQ(endAndWait(processes->hold(users)), EndResult::Refused);

    processes.emplace(loop, ProcProcesses::Options{}, kUser);
    EXPECT_EQ(processes->endableUid(), kUser);
    // Root's own program is never ended on the user's behalf.
    EXPECT_EQ(endAndWait(processes->hold(roots)), EndResult::Refused);
    loop.wait(100ms);
    ASSERT_TRUE(ProcProcesses::read(roots));
    EXPECT_FALSE(ProcProcesses::read(roots)->zombie);
    EXPECT_EQ(endAndWait(processes->hold(users)), EndResult::Ended);
    EXPECT_EQ(killedBy(users), SIGTERM);
    std::erase(children, users);
}

/// A unix socket at the path, owned by the user; false when it cannot be made so.
bool socketOwnedBy(const std::string& path, uid_t owner) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    const bool made =
        fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
        ::chown(path.c_str(), owner, owner) == 0;
    if (fd >= 0) {
        ::close(fd);
    }
    return made;
}

TEST(ProcProcessesSession, AsRootTheSessionsUserIsTheOnlyOneWhoseProcessesEnd) {
    TempFolder dir;
    const std::string sockets = dir / "X11";
    std::filesystem::create_directory(sockets);
    if (!socketOwnedBy(sockets + "/X5", 1001) || !socketOwnedBy(sockets + "/X7", 0)) {
        GTEST_SKIP() << "cannot hand a socket to another user here (needs root)";
    }
    std::ofstream(sockets + "/X8") << "not a socket";
    ASSERT_EQ(::chown((sockets + "/X8").c_str(), 1001, 1001), 0);
    const std::string debian = dir / "login.defs";
    std::ofstream(debian) << "# comment UID_MIN 5\n"
                             "UID_MIN\t\t\t 1000\n"
                             "UID_MAX\t\t\t60000\n"
                             "SYS_UID_MIN\t\t  100\n";
    const std::string lower = dir / "login-500.defs";
    std::ofstream(lower) << "UID_MIN 500\n";

    using Session = ProcProcesses::Session;
    const auto session = [&](std::optional<std::string> sudo, std::optional<std::string> display,
                             const std::string& defs) {
        Session s;
        s.sudoUid = std::move(sudo);
        s.display = std::move(display);
        s.socketFolder = sockets;
        s.loginDefs = defs;
        return s;
    };
    const std::optional<std::string> none;
    struct Case {
        const char* what;
        unsigned ownUid;
        Session session;
        std::optional<unsigned> user;
    };
    const Case cases[] = {
        {"a normal user: its own", 1000, session(none, none, debian), 1000},
        {"a normal user, whatever sudo says", 1002, session("1000", ":5", debian), 1002},
        {"root through sudo", 0, session("1000", none, debian), 1000},
        {"sudo wins over the display", 0, session("1003", ":5", debian), 1003},
        {"SUDO_UID not a number", 0, session("1000x", none, debian), std::nullopt},
        {"SUDO_UID empty", 0, session("", none, debian), std::nullopt},
        {"SUDO_UID negative", 0, session("-1", none, debian), std::nullopt},
        {"SUDO_UID too large", 0, session("4294967296", none, debian), std::nullopt},
        {"SUDO_UID root", 0, session("0", none, debian), std::nullopt},
        {"SUDO_UID a system account", 0, session("999", none, debian), std::nullopt},
        {"SUDO_UID nobody", 0, session("65534", none, debian), std::nullopt},
        {"SUDO_UID root, the display's user", 0, session("0", ":5", debian), 1001},
        {"the display's socket owner", 0, session(none, ":5", debian), 1001},
        {"a screen of the display", 0, session(none, ":5.0", debian), 1001},
        {"a unix display", 0, session(none, "unix:5", debian), 1001},
        {"a remote display", 0, session(none, "far.example:5", debian), std::nullopt},
        {"a display without a socket", 0, session(none, ":6", debian), std::nullopt},
        {"a display whose socket is root's", 0, session(none, ":7", debian), std::nullopt},
        {"a display whose socket is a plain file", 0, session(none, ":8", debian), std::nullopt},
        {"a malformed display", 0, session(none, ":x", debian), std::nullopt},
        {"no session at all", 0, session(none, none, debian), std::nullopt},
        {"a lower UID_MIN", 0, session("600", none, lower), 600},
        {"no login.defs: from 1000", 0, session("999", none, dir / "missing"), std::nullopt},
        {"no login.defs: 1000 is a user", 0, session("1000", none, dir / "missing"), 1000},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ProcProcesses::endableUser(c.ownUid, c.session), c.user) << c.what;
    }
}

TEST_F(ProcProcessesTest, DestroyingTheBackendForgetsItsEndsWithoutAnswering) {
    const pid_t pid = spawn({copyOfSleep("stubborn"), "30"}, true);
    ASSERT_TRUE(started(pid, "stubborn"));
    processes.emplace(loop, ProcProcesses::Options{200ms, 200ms});
    bool answered = false;
    processes->end(processes->hold(pid), [&](EndResult) { answered = true; });
    loop.wait(50ms);
    processes.reset();
    loop.wait(400ms);
    EXPECT_FALSE(answered);
    EXPECT_EQ(loop.pendingCount(), 0u);
    // Never forced: it still runs.
    const auto info = ProcProcesses::read(pid);
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->zombie);
}

TEST_F(ProcProcessesTest, InAPrivatePidNamespaceTheWalkSeesOnlyItsOwnProcesses) {
    const std::string sleep = copyOfSleep("popupmaker");
    // Each step that fails leaves with its own code.
    const int code = runInChild([&sleep] {
        if (::unshare(CLONE_NEWPID | CLONE_NEWNS) != 0) {
            return kNotPermitted;
        }
        return runInChild([&sleep] {
            // pid 1 of the new namespace, with its own /proc.
            if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("proc", "/proc", "proc", 0, nullptr) != 0) {
                return kNotPermitted;
            }
            const pid_t child = ::fork();
            if (child == 0) {
                ::execl(sleep.c_str(), sleep.c_str(), "30", nullptr);
                ::_exit(127);
            }
            PollScheduler innerLoop;
            ProcProcesses inner(innerLoop);
            if (inner.ownPid() != 1 || child != 2) {
                return 10;
            }
            if (!eventually([&] {
                    const auto info = ProcProcesses::read(child);
                    return info && info->comm == "popupmaker";
                })) {
                return 11;
            }
            const auto all = inner.list();
            if (all.size() != 2) {
                return 12;
            }
            // pid 2 here is an ordinary process, not the kernel's thread daemon.
            for (const ProcessInfo& info : all) {
                if (info.kernelThread || info.zombie) {
                    return 13;
                }
            }
            std::optional<EndResult> self;
            inner.end(inner.hold(1), [&](EndResult r) { self = r; });
            innerLoop.runUntil([&] { return self.has_value(); }, 5s);
            if (self != EndResult::Refused) {
                return 14;
            }
            std::optional<EndResult> ended;
            inner.end(inner.hold(child), [&](EndResult r) { ended = r; });
            innerLoop.runUntil([&] { return ended.has_value(); }, 5s);
            if (ended != EndResult::Ended) {
                return 15;
            }
            int status = 0;
            ::waitpid(child, &status, 0);
            return WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM ? 0 : 16;
        });
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "no private pid namespace here (needs root or CAP_SYS_ADMIN)";
    }
    EXPECT_EQ(code, 0);
}

}  // namespace
