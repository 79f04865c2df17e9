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
#include "platform/fake/FakeResolver.h"
#include "platform/fake/FakeScheduler.h"
#include "platform/linux/PosixFileSystem.h"

using namespace halvern;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: hosts_crash_worker <folder>\n");
        return 2;
    }
    const std::string folder = argv[1];
    platform::PosixFileSystem files;
    platform::FakeDialogs dialogs;
    platform::FakeResolver resolver;
    platform::FakeScheduler clock;
    core::MainState state;
    const core::AppPaths paths(folder + "/app", folder + "/etc/hosts");
    forms::MainForm form;
    forms::StatsForm stats;
    // Every status line here means a fault: after a kill, the next start must recognise the
    // hosts file and the parked copy as the program's own, never as someone else's edit.
    adservers::AdServerBlocking::Callbacks callbacks;
    callbacks.AddToStatus = [](const std::string& text) {
        std::fprintf(stderr, "%s\n", text.c_str());
        std::_Exit(3);
    };
    adservers::AdServerBlocking blocking(files, dialogs, resolver, clock, state, paths, form, stats,
                                         callbacks);
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
