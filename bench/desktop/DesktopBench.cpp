// One uncached walk of the desktop's windows (every property of every top-level window, as the
// cache's refresh reads them) against `wmctrl -l`, which lists the same windows with their titles
// one round trip at a time. Both run on a private Xvfb display with openbox and N test windows.
//
//   desktop_bench [windows] [rounds]
// Prints the median of each and the ratio; exits 1 when the walk is not at least 5x faster.

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "X11TestSupport.h"
#include "platform/linux/PollScheduler.h"
#include "platform/x11/XcbDesktop.h"

namespace {

using namespace halvern::platform;
using Clock = std::chrono::steady_clock;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double millisSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

/// Runs `wmctrl -l` with its output discarded; returns the lines it printed, -1 on failure.
int wmctrlLines() {
    FILE* pipe = ::popen("wmctrl -l", "r");
    if (!pipe) {
        return -1;
    }
    int lines = 0;
    char buffer[8192];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        ++lines;
    }
    return ::pclose(pipe) == 0 ? lines : -1;
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 50;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 30;
    testing::XServer server(true);
    std::vector<std::unique_ptr<testing::TestWindow>> windows;
    for (int i = 0; i < count; ++i) {
        windows.push_back(std::make_unique<testing::TestWindow>(std::vector<std::string>{
            "--title", "Benchmark window " + std::to_string(i) + " – with a longer title", "--role",
            "pop-up"}));
    }
    PollScheduler scheduler;
    XcbDesktop desktop(scheduler, server.name());
    if (!testing::runUntil(
            scheduler, [&] { return desktop.windows().size() == static_cast<std::size_t>(count); },
            std::chrono::seconds(30))) {
        std::fprintf(stderr, "only %zu of %d windows showed up\n", desktop.windows().size(), count);
        return 1;
    }

    std::vector<double> walk;
    std::vector<double> wmctrl;
    for (int round = 0; round < rounds; ++round) {
        // Alternating, so a change of load mid-run hits both alike.
        auto start = Clock::now();
        const std::size_t listed = desktop.readAll().size();
        walk.push_back(millisSince(start));
        start = Clock::now();
        const int lines = wmctrlLines();
        wmctrl.push_back(millisSince(start));
        if (listed != static_cast<std::size_t>(count) || lines != count) {
            std::fprintf(stderr, "round %d: the walk saw %zu windows, wmctrl %d\n", round, listed,
                         lines);
            return 1;
        }
    }
    const double ours = median(walk);
    const double theirs = median(wmctrl);
    std::printf("windows: %d, rounds: %d\n", count, rounds);
    std::printf("uncached walk (XcbDesktop::readAll): %8.3f ms median\n", ours);
    std::printf("wmctrl -l:                          %8.3f ms median\n", theirs);
    std::printf("ratio: %.1fx faster (goal >= 5x)\n", theirs / ours);
    return theirs / ours >= 5.0 ? 0 : 1;
}
