// zorvik-helper as a process: its command line, its socket, socket activation and its end.

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "helper/HelperDaemon.h"
#include "platform/linux/HelperClient.h"

using namespace halvern;
using namespace halvern::platform::testing;
using halvern::helper::testing::HelperDaemon;
using halvern::helper::testing::ownGroupName;
using Claim = platform::HelperConnection::Claim;

namespace {

struct Ran {
    int exitCode = -1;
    std::string errors;
};

/// Runs the helper to its end with the arguments; before the exec, prepare runs in the child.
Ran runHelper(const std::vector<std::string>& arguments, const std::string& log,
              const std::function<void()>& prepare = {}) {
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(fd, 2);
        if (prepare) {
            prepare();
        }
        std::vector<std::string> args = {HALVERN_HELPER_BINARY};
        args.insert(args.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    std::ifstream in(log);
    std::ostringstream text;
    text << in.rdbuf();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text.str()};
}

int listeningSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    ::listen(fd, 8);
    return fd;
}

struct HelperProcessTest : ::testing::Test {
    void SetUp() override {
        ::chmod(dir.path().c_str(), 0755);
        std::ofstream(hosts) << "127.0.0.1 localhost\n";
    }
    TempFolder dir;
    const std::string socket = dir / "helper.sock";
    const std::string hosts = dir / "hosts";
    const std::string log = dir / "log";
};

TEST_F(HelperProcessTest, AWrongCommandLineOrSetUpEndsWithCode2AndSaysWhy) {
    struct Case {
        std::vector<std::string> arguments;
        const char* says;
    };
    const Case cases[] = {
        {{"--sockets", socket}, "unknown option --sockets"},
        {{"--socket"}, "--socket needs a value"},
        {{"--hosts="}, "--hosts needs a value"},
        {{"--socket", socket, "--hosts", hosts, "--group", "no-such-group-here"},
         "no group named no-such-group-here"},
    };
    for (const Case& c : cases) {
        const Ran ran = runHelper(c.arguments, log);
        EXPECT_EQ(ran.exitCode, 2) << c.says;
        EXPECT_NE(ran.errors.find(c.says), std::string::npos) << ran.errors;
    }
    const Ran help = runHelper({"--help"}, log);
    EXPECT_EQ(help.exitCode, 0);
}

TEST_F(HelperProcessTest, WithoutRootOnlyATestsOwnHostsFileIsServed) {
    const passwd* nobody = ::getpwnam("nobody");
    if (::geteuid() != 0 || !nobody) {
        GTEST_SKIP() << "needs root to run the helper as another user";
    }
    const Ran ran = runHelper({"--socket", socket}, log, [&] {
        ::setgroups(0, nullptr);
        ::setgid(nobody->pw_gid);
        ::setuid(nobody->pw_uid);
    });
    EXPECT_EQ(ran.exitCode, 2);
    EXPECT_NE(ran.errors.find("must run as root"), std::string::npos) << ran.errors;
}

TEST_F(HelperProcessTest, MakesItsSocketForTheGroupAndRemovesItAtTheEnd) {
    // A stale socket from a killed helper is replaced.
    ::close(listeningSocket(socket));
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    struct stat st {};
    ASSERT_EQ(::lstat(socket.c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0660u);
    EXPECT_EQ(st.st_gid, ::getgrnam(ownGroupName().c_str())->gr_gid);

    // A second helper on the same socket leaves the first alone.
    const Ran second =
        runHelper({"--socket", socket, "--hosts", hosts, "--group", ownGroupName()}, log);
    EXPECT_EQ(second.exitCode, 1);
    EXPECT_NE(second.errors.find("another zorvik-helper already listens"), std::string::npos)
        << second.errors;
    EXPECT_TRUE(daemon.connects());

    const int status = daemon.stop(SIGTERM);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(::lstat(socket.c_str(), &st), 0);
}

TEST_F(HelperProcessTest, LeavesAFileThatIsNotASocketAlone) {
    std::ofstream(socket) << "mine\n";
    const Ran ran =
        runHelper({"--socket", socket, "--hosts", hosts, "--group", ownGroupName()}, log);
    EXPECT_EQ(ran.exitCode, 1);
    EXPECT_NE(ran.errors.find("is not a socket"), std::string::npos) << ran.errors;
    std::ifstream in(socket);
    std::string line;
    EXPECT_TRUE(std::getline(in, line) && line == "mine");
}

TEST_F(HelperProcessTest, SocketActivatedItServesAndEndsWhenNobodyIsConnected) {
    const int listener = listeningSocket(socket);
    const auto started = std::chrono::steady_clock::now();
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(listener, 3);
        ::setenv("LISTEN_PID", std::to_string(::getpid()).c_str(), 1);
        ::setenv("LISTEN_FDS", "1", 1);
        const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        ::dup2(fd, 2);
        const std::string group = ownGroupName();
        ::execl(HALVERN_HELPER_BINARY, HALVERN_HELPER_BINARY, "--hosts", hosts.c_str(), "--group",
                group.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(listener);
    {
        platform::HelperClient client(socket);
        ASSERT_EQ(client.claim().claim, Claim::Granted);
        std::string error;
        EXPECT_TRUE(client.writeFile(hosts, "127.0.0.1 localhost\n127.0.0.1 ads.example\n", error))
            << error;
    }
    // About 30 s after the last client left; the bound is generous.
    int status = 0;
    bool ended = eventually([&] { return ::waitpid(pid, &status, WNOHANG) == pid; },
                            std::chrono::seconds(90));
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(ended);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(25));
    // The socket is systemd's: it stays for the next activation.
    struct stat st {};
    EXPECT_EQ(::lstat(socket.c_str(), &st), 0);
}

}  // namespace
