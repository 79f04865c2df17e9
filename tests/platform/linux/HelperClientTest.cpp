// Zorvik's client against the real zorvik-helper on a test's own socket and hosts file.

#include "platform/linux/HelperClient.h"

#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "LinuxTestSupport.h"
#include "helper/HelperDaemon.h"
#include "helper/Protocol.h"

using namespace halvern;
using namespace halvern::platform::testing;
using halvern::helper::testing::HelperDaemon;
using platform::HelperClient;
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

bool fileExists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

struct HelperClientTest : ::testing::Test {
    void SetUp() override {
        ::chmod(dir.path().c_str(), 0755);
        spill(hosts, kUsersOwn);
    }

    /// Runs body as nobody in a child process; its exit code, kNotPermitted when this test cannot
    /// become another user.
    int asNobody(const std::function<int()>& body) {
        return runInChild([&] {
            const passwd* nobody = ::getpwnam("nobody");
            if (::geteuid() != 0 || !nobody || ::setgroups(0, nullptr) != 0 ||
                ::setgid(nobody->pw_gid) != 0 || ::setuid(nobody->pw_uid) != 0) {
                return kNotPermitted;
            }
            return body();
        });
    }

    TempFolder dir;
    const std::string socket = dir / "helper.sock";
    const std::string hosts = dir / "hosts";
};

TEST_F(HelperClientTest, TheDefaultSocketFollowsTheEnvironment) {
    ::unsetenv("ZORVIK_HELPER_SOCKET");
    EXPECT_EQ(HelperClient::defaultSocketPath(), "/run/zorvik-helper.sock");
    ::setenv("ZORVIK_HELPER_SOCKET", "", 1);
    EXPECT_EQ(HelperClient::defaultSocketPath(), "/run/zorvik-helper.sock");
    ::setenv("ZORVIK_HELPER_SOCKET", "/tmp/x.sock", 1);
    EXPECT_EQ(HelperClient::defaultSocketPath(), "/tmp/x.sock");
    ::unsetenv("ZORVIK_HELPER_SOCKET");
}

TEST_F(HelperClientTest, NoHelperIsUnavailableAndEveryCallSaysSo) {
    HelperClient client(socket);
    const auto result = client.claim();
    EXPECT_EQ(result.claim, Claim::Unavailable);
    EXPECT_NE(result.error.find("No such file or directory"), std::string::npos) << result.error;
    std::string error;
    EXPECT_FALSE(client.writeFile(hosts, kUsersOwn, error));
    EXPECT_EQ(error, "not connected to zorvik-helper");
    EXPECT_EQ(client.takePort80Listener(error), -1);
}

TEST_F(HelperClientTest, EveryFileRequestOnTheHostsFileAndItsCopies) {
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    HelperClient client(socket);
    ASSERT_EQ(client.claim().claim, Claim::Granted);
    std::string error;
    const std::string complete = kUsersOwn + "127.0.0.1 ads.example\n";

    EXPECT_TRUE(client.copyFile(hosts, hosts + "zvb", error)) << error;
    EXPECT_EQ(slurp(hosts + "zvb"), kUsersOwn);
    EXPECT_TRUE(client.writeFile(hosts + "zvf", complete, error)) << error;
    EXPECT_TRUE(client.renameFile(hosts + "zvf", hosts, error)) << error;
    EXPECT_EQ(slurp(hosts), complete);
    EXPECT_FALSE(fileExists(hosts + "zvf"));
    EXPECT_TRUE(client.writeFile(hosts, kUsersOwn, error)) << error;
    EXPECT_EQ(slurp(hosts), kUsersOwn);
    EXPECT_TRUE(client.removeFile(hosts + "zvb", error)) << error;
    EXPECT_FALSE(fileExists(hosts + "zvb"));
    EXPECT_TRUE(client.recover(hosts, error)) << error;
    EXPECT_TRUE(client.flushNameCaches(error)) << error;

    // Failures carry the system's words.
    EXPECT_FALSE(client.removeFile(hosts + "zvb", error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    EXPECT_FALSE(client.copyFile(hosts + "zvf", hosts, error));
    EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
}

TEST_F(HelperClientTest, RefusesTextsThatDoMoreThanBlockAndKeepsTheFile) {
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    HelperClient client(socket);
    ASSERT_EQ(client.claim().claim, Claim::Granted);
    std::string error;

    EXPECT_FALSE(client.writeFile(hosts, kUsersOwn + "10.0.0.1 bank.example\n", error));
    EXPECT_NE(error.find("\"10.0.0.1 bank.example\""), std::string::npos) << error;
    EXPECT_FALSE(client.writeFile(hosts + "zvf", "127.0.0.1 ads.example\n", error));
    EXPECT_NE(error.find("127.0.0.1 localhost"), std::string::npos) << error;
    // The user's own lines keep /etc/hosts from going.
    EXPECT_FALSE(client.removeFile(hosts, error));
    EXPECT_FALSE(client.renameFile(hosts, hosts + "zvb", error));
    EXPECT_EQ(slurp(hosts), kUsersOwn);
    EXPECT_FALSE(fileExists(hosts + "zvb"));
    EXPECT_FALSE(fileExists(hosts + "zvf"));
    // A refusal is one line of the helper's log, and the connection stays.
    EXPECT_NE(daemon.log().find("bank.example"), std::string::npos);
    EXPECT_TRUE(client.recover(hosts, error)) << error;

    // A file of block lines only was the program's: it may go.
    spill(hosts, "127.0.0.1 ads.example\n");
    EXPECT_TRUE(client.removeFile(hosts, error)) << error;
}

TEST_F(HelperClientTest, RefusesEveryOtherPathAndSymbolicLinks) {
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    HelperClient client(socket);
    ASSERT_EQ(client.claim().claim, Claim::Granted);
    std::string error;
    const std::string other = dir / "passwd";
    for (const std::string& path : {other, hosts + "zvb/..", hosts + "zvx", dir / "./hosts",
                                    hosts + "zvbzvb", std::string()}) {
        EXPECT_FALSE(client.writeFile(path, kUsersOwn, error)) << path;
        EXPECT_NE(error.find("handles only"), std::string::npos) << error;
    }
    EXPECT_FALSE(client.copyFile(hosts, other, error));
    EXPECT_FALSE(client.renameFile(other, hosts, error));
    EXPECT_FALSE(client.removeFile(other, error));
    EXPECT_FALSE(client.recover(other, error));
    EXPECT_FALSE(fileExists(other));

    spill(other, "secret\n");
    ASSERT_EQ(::symlink(other.c_str(), (hosts + "zvb").c_str()), 0);
    EXPECT_FALSE(client.writeFile(hosts + "zvb", kUsersOwn, error));
    EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
    EXPECT_EQ(slurp(other), "secret\n");
}

TEST_F(HelperClientTest, ANewerConnectionOfTheSameUserTakesOver) {
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    HelperClient dying(socket);
    HelperClient restarted(socket);
    ASSERT_EQ(dying.claim().claim, Claim::Granted);
    ASSERT_EQ(restarted.claim().claim, Claim::Granted);
    std::string error;
    EXPECT_FALSE(dying.recover(hosts, error));
    EXPECT_NE(error.find("lost"), std::string::npos) << error;
    EXPECT_TRUE(restarted.recover(hosts, error)) << error;
}

TEST_F(HelperClientTest, ALostHelperFailsEveryLaterCallUntilClaimedAgain) {
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    HelperClient client(socket);
    ASSERT_EQ(client.claim().claim, Claim::Granted);
    daemon.stop(SIGKILL);
    std::string error;
    EXPECT_FALSE(client.writeFile(hosts, kUsersOwn, error));
    EXPECT_NE(error.find("the connection to zorvik-helper was lost"), std::string::npos) << error;
    const std::string first = error;
    EXPECT_FALSE(client.flushNameCaches(error));
    EXPECT_EQ(error, first);

    HelperDaemon again(socket, hosts);
    ASSERT_TRUE(again.start()) << again.log();
    ASSERT_EQ(client.claim().claim, Claim::Granted);
    EXPECT_TRUE(client.recover(hosts, error)) << error;
}

TEST_F(HelperClientTest, AHelperThatNeverAnswersTimesOut) {
    // A listening socket nobody serves: the connect succeeds, the answer never comes.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    HelperClient client(socket, std::chrono::milliseconds(300));
    const auto result = client.claim();
    EXPECT_EQ(result.claim, Claim::Unavailable);
    EXPECT_NE(result.error.find("did not answer"), std::string::npos) << result.error;
    ::close(fd);
}

/// Sends raw bytes as a client and returns what came back before the helper closed.
std::string rawExchange(const std::string& socketPath, const std::string& bytes) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return "no connection";
    }
    ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    timeval wait{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    std::string answer;
    char buffer[4096];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof buffer, 0)) > 0;) {
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return answer;
}

TEST_F(HelperClientTest, AnotherVersionIsRefusedInWordsAndMalformedInputClosesTheConnection) {
    namespace protocol = helper::protocol;
    HelperDaemon daemon(socket, hosts);
    ASSERT_TRUE(daemon.start()) << daemon.log();

    const std::string answer =
        rawExchange(socket, protocol::encode({protocol::Kind::Hello, 999, {}, {}}));
    const auto mismatch = protocol::decode(std::string_view(answer).substr(protocol::kPrefix));
    ASSERT_TRUE(mismatch.has_value());
    EXPECT_EQ(mismatch->kind, protocol::Kind::VersionMismatch);
    EXPECT_EQ(mismatch->version, protocol::kVersion);

    const std::string garbage[] = {
        "GET / HTTP/1.1\r\n\r\n",
        std::string("\0\0\0\0", 4),
        std::string("\0\0\x10\0", 4) + std::string(4096, 'x'),         // over the Hello's limit
        protocol::encode({protocol::Kind::WriteFile, 0, hosts, "x"}),  // a request before Hello
        protocol::encode({protocol::Kind::Granted, 0, {}, {}}),
    };
    for (const std::string& bytes : garbage) {
        EXPECT_EQ(rawExchange(socket, bytes), "") << testing::PrintToString(bytes);
    }
    // A claimed connection that sends nonsense is closed too.
    HelperClient client(socket);
    ASSERT_EQ(client.claim().claim, Claim::Granted);
    EXPECT_EQ(
        rawExchange(socket, protocol::encode({protocol::Kind::Hello, protocol::kVersion, {}, {}}) +
                                std::string("\0\0\0\x01\x7f", 5))
            .size(),
        protocol::encode({protocol::Kind::Granted, 0, {}, {}}).size());
    // The helper lives on.
    HelperClient after(socket);
    EXPECT_EQ(after.claim().claim, Claim::Granted);
    EXPECT_EQ(slurp(hosts), kUsersOwn);
}

TEST_F(HelperClientTest, AUserOutsideTheGroupIsNotAuthorised) {
    HelperDaemon daemon(socket, hosts, "root");
    ASSERT_TRUE(daemon.start()) << daemon.log();
    // The socket's own mode keeps strangers out...
    int code = asNobody([&] {
        HelperClient client(socket);
        const auto result = client.claim();
        return result.claim == Claim::NotAuthorised &&
                       result.error.find("Permission denied") != std::string::npos
                   ? 0
                   : 1;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "needs root to act as a second user";
    }
    EXPECT_EQ(code, 0);
    // ... and the group check does when the socket lets them in.
    ASSERT_EQ(::chmod(socket.c_str(), 0666), 0);
    code = asNobody([&] {
        HelperClient client(socket);
        const auto result = client.claim();
        std::string error;
        return result.claim == Claim::NotAuthorised &&
                       result.error.find("nobody may not use zorvik-helper") != std::string::npos &&
                       !client.writeFile(hosts, kUsersOwn, error)
                   ? 0
                   : 1;
    });
    EXPECT_EQ(code, 0);
    EXPECT_NE(daemon.log().find("refused nobody"), std::string::npos) << daemon.log();
}

TEST_F(HelperClientTest, AnotherUserIsToldWhoHoldsTheHelper) {
    // nobody's own group lets nobody in; root is always let in.
    const group* nogroup = ::getgrgid(65534);
    if (::geteuid() != 0 || !nogroup || !::getpwnam("nobody")) {
        GTEST_SKIP() << "needs root and the user nobody to act as a second user";
    }
    HelperDaemon daemon(socket, hosts, nogroup->gr_name);
    ASSERT_TRUE(daemon.start()) << daemon.log();
    HelperClient holder(socket);
    ASSERT_EQ(holder.claim().claim, Claim::Granted);
    int code = asNobody([&] {
        HelperClient other(socket);
        const auto result = other.claim();
        return result.claim == Claim::HeldByOther && result.holder == "root" ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    std::string error;
    EXPECT_TRUE(holder.recover(hosts, error)) << error;

    // Once the holder lets go, the other user may claim it.
    holder.release();
    code = asNobody([&] {
        HelperClient other(socket);
        return other.claim().claim == Claim::Granted ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
}

}  // namespace
