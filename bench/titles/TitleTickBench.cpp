// Times the title scan tick (gate, walk, match) with 50 windows open and 500 blocked titles, the
// windows read from the desktop's cache as the real backend keeps it, best of several rounds:
// a walk with every title's match known (the walk must look again, as when the sub-window
// suspension starts or ends, but no title changed), beside the same tick with the match cache
// dropped before every tick (as after a window list change), so the ratio shows what the cache
// saves, and the common tick that finds nothing changed since a walk that found nothing. Exit
// status 1 when a walk from the match cache takes 0.05 ms or more.
//
//   titletick_bench [ticks]

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "core/BlockedRings.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "popups/BlockedPopupReaction.h"
#include "popups/UserIntent.h"
#include "support/FakePlatform.h"
#include "titles/TitleBlocking.h"
#include "ui/TrayIcon.h"

namespace {

using namespace halvern;
using Clock = std::chrono::steady_clock;

constexpr int kWindows = 50;
constexpr int kEntries = 500;
constexpr double kGoalMs = 0.05;

struct Bench {
    testing::FakePlatform fake;
    forms::MainForm form;
    forms::StatsForm stats;
    core::MainState state;
    core::AppPaths paths{"/opt/halvern", "/etc/hosts"};
    core::Context context{fake.platform, state, form, stats, paths};
    core::StatusLog log{form, fake.clock};
    core::BlockedRings rings{fake.dialogs};
    core::Settings settings{context, {}};
    ui::TrayIcon trayIcon{context, settings};
    adservers::BlockCounter counter{form, state, stats};
    adservers::PlaceholderServer server{context, log, rings, counter, [] {}};
    popups::UserIntent intent{context, server};
    popups::BlockedPopupReaction reaction{context, trayIcon, counter, intent};
    titles::TitleBlocking titles{context, log, rings, trayIcon, reaction};
};

void setUp(Bench& b) {
    std::string list = "[DomainCount]\r\nN=" + std::to_string(kEntries) + "\r\n[Domains]\r\n";
    for (int i = 0; i < kEntries; ++i) {
        list += "D" + std::to_string(i) + "=Blocked offer " + std::to_string(i * 7919) + "\r\n";
    }
    b.fake.files.put(b.paths.getUserTitleIniFileName(), list);
    b.titles.setPopupListArray();
    const char* const kPrograms[] = {"Mozilla Firefox", "Terminal", "Text Editor", "Files",
                                     "Calculator"};
    for (int i = 0; i < kWindows; ++i) {
        platform::WindowInfo window;
        window.title =
            "Document " + std::to_string(i) + " of the project plan - " + kPrograms[i % 5];
        window.className = "App" + std::to_string(i % 5);
        window.pid = 1000 + i;
        window.localMachine = true;
        window.visible = true;
        b.fake.desktop.open(window);
    }
    b.form.chkIEPops.setChecked(true);
    b.titles.scanner.draw = [] { return 0; };  // every tick walks
}

enum class Before { Nothing, Suspend, DropMatchCache };

/// Milliseconds per tick, best of five rounds.
double timeTicks(Bench& b, int ticks, Before before) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const auto start = Clock::now();
        for (int i = 0; i < ticks; ++i) {
            if (before == Before::DropMatchCache) {
                b.fake.desktop.touch();
            } else if (before == Before::Suspend) {
                // The suspension on every other tick (the virtual clock never ends it): the walk
                // looks again each time, every title's match still known.
                b.titles.scanner.TimerPopupTitleClosed.setEnabled(i % 2 == 0);
            }
            b.titles.scanner.TimerCloseByTitle_Timer();
        }
        const std::chrono::duration<double, std::milli> spent = Clock::now() - start;
        best = std::min(best, spent.count() / ticks);
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const int ticks = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20000;
    Bench bench;
    setUp(bench);
    const double cached = timeTicks(bench, ticks, Before::Suspend);
    const double uncached = timeTicks(bench, std::max(1, ticks / 10), Before::DropMatchCache);
    const double quiet = timeTicks(bench, ticks, Before::Nothing);
    if (!bench.fake.desktop.closeRequests.empty()) {
        std::fprintf(stderr, "a window was closed: the workload is wrong\n");
        return 2;
    }
    std::printf("title tick, %d windows, %d entries, from the cache: %.4f ms (goal < %.2f ms)\n",
                kWindows, kEntries, cached, kGoalMs);
    std::printf("title tick with the match cache dropped every tick:     %.4f ms (%.1fx)\n",
                uncached, uncached / cached);
    std::printf("title tick with nothing changed since a quiet walk:     %.5f ms (%.3fx)\n", quiet,
                quiet / cached);
    return cached < kGoalMs ? 0 : 1;
}
