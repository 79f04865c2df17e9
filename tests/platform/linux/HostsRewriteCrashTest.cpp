// The exit's restore of the user's hosts file over a bind-mounted /etc/hosts, killed between the
// in-place write and the cut: the next start's recovery must finish it from the journal.

#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>

#include <fstream>
#include <sstream>

#include "LinuxTestSupport.h"
#include "adservers/AdServerBlocking.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeScheduler.h"
#include "platform/linux/PosixFileSystem.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using namespace halvern;
using namespace halvern::platform::testing;
using Step = platform::PosixFileSystem::Step;

namespace {

const std::string kUsersOwn = "127.0.0.1 localhost\n::1 localhost\n10.0.0.7 nas\n";

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The program's hosts-file steps on real files, as a start or an exit runs them.
struct Zorvik {
    explicit Zorvik(const std::string& root)
        : parts(platform, {root + "/app", root + "/etc/hosts"}) {
        parts.state.bBlockAdServers = true;
        blocking.setExcludeArray();
    }
    halvern::testing::FakePlatform fake;
    platform::PosixFileSystem files;
    platform::Platform platform{fake.clock,     files,         fake.dialogs,  fake.userStore,
                                fake.launcher,  fake.process,  fake.resolver, fake.instance,
                                fake.tray,      fake.sound,    fake.listener, fake.desktop,
                                fake.processes, fake.http,     fake.hasher,   fake.scratch,
                                fake.autostart, fake.registry, fake.browser,  fake.input};
    halvern::testing::ProgramParts parts;
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings, parts.counter,
                                        [] {}};
    adservers::AdServerBlocking blocking{parts.context, parts.log, parts.help, parts.settings,
                                         server};
};

TEST(HostsRewriteCrash, AnExitKilledInsideTheRewriteOfAMountedHostsFileIsFinishedAtTheNextStart) {
    TempFolder root;
    const int code = runInChild([&] {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return kNotPermitted;
        }
        for (const char* folder : {"app", "etc", "source"}) {
            ::mkdir((root / folder).c_str(), 0755);
        }
        std::string list = "[DomainCount]\nN=500\n[Domains]\n";
        for (int i = 0; i < 500; ++i) {
            list += "D" + std::to_string(i) + "=ads" + std::to_string(i) + ".tracker.example\n";
        }
        std::ofstream(root / "app/zorvikhosts.ini") << list;
        std::ofstream(root / "source/hosts") << kUsersOwn;
        std::ofstream(root / "etc/hosts") << "";
        const std::string hosts = root / "etc/hosts";
        if (::mount((root / "source/hosts").c_str(), hosts.c_str(), nullptr, MS_BIND, nullptr) !=
            0) {
            return kNotPermitted;
        }
        {
            Zorvik start(root.path());
            start.blocking.BackupUserHostsFile();
            start.blocking.startUpHostsFile();
        }
        const std::string blocked = slurp(hosts);
        if (blocked.size() < 10000 || !blocked.ends_with(kUsersOwn)) {
            return 1;
        }
        // The exit, killed right after the user's file was written over the longer block list.
        const int exitCode = runInChild([&] {
            Zorvik exit(root.path());
            exit.files.afterStep = [](Step step) {
                if (step == Step::InPlaceWritten) {
                    ::raise(SIGKILL);
                }
            };
            exit.blocking.restoreHostsFileAtExit();
            return 0;
        });
        if (exitCode != -1) {
            return 2;
        }
        const std::string torn = slurp(hosts);
        if (!torn.starts_with(kUsersOwn) || torn.size() != blocked.size()) {
            return 3;  // the window the journal closes was not reached
        }
        Zorvik next(root.path());
        next.files.recover(hosts);
        if (slurp(hosts) != kUsersOwn || slurp(root / "source/hosts") != kUsersOwn) {
            return 4;
        }
        return namesIn(root / "etc") == std::set<std::string>{"hosts", "hostszvb", "hostszvf"} ? 0
                                                                                               : 5;
    });
    if (code == kNotPermitted) {
        GTEST_SKIP() << "mount namespaces are not permitted here";
    }
    EXPECT_EQ(code, 0);
}

}  // namespace
