// Runs the hosts-file operations of a program's life in an endless loop, on real files under
// the folder given: start (backup, complete file back or built), switch off, switch on, exit
// (the user's file back). The crash test kills it at random moments.
//
//   hosts_crash_worker <folder>    the folder holds app/ (the lists) and etc/hosts

#include <cstdio>
#include <cstdlib>
#include <string>

#include "adservers/AdServerBlocking.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeScheduler.h"
#include "platform/linux/PosixFileSystem.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using namespace halvern;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: hosts_crash_worker <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    halvern::testing::FakePlatform fake;
    platform::PosixFileSystem files;
    platform::Platform platform{fake.clock,     files,         fake.dialogs,  fake.userStore,
                                fake.launcher,  fake.process,  fake.resolver, fake.instance,
                                fake.tray,      fake.sound,    fake.listener, fake.desktop,
                                fake.processes, fake.http,     fake.hasher,   fake.scratch,
                                fake.autostart, fake.registry, fake.browser,  fake.input};
    halvern::testing::ProgramParts parts(platform, {folder + "/app", folder + "/etc/hosts"});
    core::MainState& state = parts.state;
    platform::FakeDialogs& dialogs = fake.dialogs;
    // Every detail line of the hosts steps means a fault here: after a kill, the next start must
    // recognise the hosts file and the parked copy as the program's own, never as someone
    // else's edit. (The placeholder server's own lines are no detail lines.)
    parts.log.observe([](const std::string& text) {
        if (text.starts_with("#")) {
            std::fprintf(stderr, "%s\n", text.c_str());
            std::_Exit(3);
        }
    });
    adservers::PlaceholderServer server(parts.context, parts.log, parts.rings, parts.counter,
                                        [] {});
    adservers::AdServerBlocking blocking(parts.context, parts.log, parts.help, parts.settings,
                                         server);
    blocking.setExcludeArray();
    state.bBlockAdServers = true;
    for (;;) {
        blocking.BackupUserHostsFile();
        blocking.startUpHostsFile();
        blocking.RemoveBanListFromHostsFile();
        blocking.ReadLocalBanListAndUpdateHostsFile(false);
        blocking.restoreHostsFileAtExit();
        if (!dialogs.boxes().empty()) {
            std::fprintf(stderr, "a write failed\n");
            return 1;
        }
    }
}
