// The placeholder web server as the program runs it (listener, parser, labels, ring, counters,
// status log), on the poll loop and a port of the caller's choice, until SIGINT or SIGTERM.
//
//   placeholder_bench_server <port> <folder holding 1by1.jpg>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "core/AppPaths.h"
#include "core/BlockedRings.h"
#include "core/MainState.h"
#include "core/StatusLog.h"
#include "core/TimeStamp.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "platform/fake/FakeAutostart.h"
#include "platform/fake/FakeBrowser.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeHttp.h"
#include "platform/fake/FakeInputDevice.h"
#include "platform/fake/FakeLauncher.h"
#include "platform/fake/FakePasswordHasher.h"
#include "platform/fake/FakeProcesses.h"
#include "platform/fake/FakeProgramProcess.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/fake/FakeResolver.h"
#include "platform/fake/FakeScratchFiles.h"
#include "platform/fake/FakeSingleInstance.h"
#include "platform/fake/FakeSound.h"
#include "platform/fake/FakeTray.h"
#include "platform/fake/FakeUserStore.h"
#include "platform/linux/PollScheduler.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PosixTcpListener.h"

using namespace halvern;

namespace {

int g_stopPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(g_stopPipe[1], &byte, 1);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <port> <folder holding 1by1.jpg>\n", argv[0]);
        return 2;
    }
    const auto port = static_cast<std::uint16_t>(std::atoi(argv[1]));
    if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return 1;
    }
    ::signal(SIGINT, onSignal);
    ::signal(SIGTERM, onSignal);
    ::signal(SIGPIPE, SIG_IGN);

    platform::PollScheduler scheduler;
    platform::PosixFileSystem files;
    platform::FakeSound sound;  // no audio device on a benchmark machine; the calls still happen
    platform::FakeDialogs dialogs;
    platform::PosixTcpListener listener(scheduler);
    platform::FakeUserStore userStore;
    platform::FakeLauncher launcher;
    platform::FakeProgramProcess process;
    platform::FakeResolver resolver;
    platform::FakeSingleInstance instance;
    platform::FakeTray tray;
    platform::FakeDesktop desktop;
    platform::FakeProcesses processes{scheduler};
    platform::FakeHttp http{scheduler};
    platform::FakePasswordHasher hasher;
    platform::FakeScratchFiles scratch;
    platform::FakeRegistry registry;
    platform::FakeBrowser browser;
    platform::FakeInputDevice input;
    platform::FakeAutostart autostart;
    platform::Platform platform{scheduler, files,     dialogs,   userStore, launcher,
                                process,   resolver,  instance,  tray,      sound,
                                listener,  desktop,   processes, http,      hasher,
                                scratch,   autostart, registry,  browser,   input};
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    core::AppPaths paths(argv[2], "/etc/hosts");
    core::Context context{platform, state, form, stats, paths};
    core::StatusLog log(form, scheduler);
    core::BlockedRings rings(dialogs);
    adservers::BlockCounter counter(form, state, stats);
    form.chkBannerSound.setChecked(true);
    form.txtBannerWav.setText(paths.shippedFile("ad.wav"));

    adservers::PlaceholderServer server(
        context, log, rings, counter, [] {}, port);
    server.StartWebServerCrap();
    if (!listener.isListening()) {
        std::fprintf(stderr, "cannot listen on 127.0.0.1:%u\n", port);
        return 1;
    }
    scheduler.watchFd(g_stopPipe[0], platform::Scheduler::kReadable,
                      [&](int) { scheduler.stop(); });
    std::printf("listening on 127.0.0.1:%u\n", listener.localPort());
    std::fflush(stdout);
    scheduler.run();
    std::printf("answered %d ads, %zu sounds, last host '%s'\n", state.nBlockedToday,
                sound.played.size(), server.getLastHost().c_str());
    return 0;
}
