// Times the hosts-file merge (170,000 default names, 5,000 user names, 1,000 allowed names over
// a 10,000-line hosts file) against `sort -u` of the same names, in the same run, and prints
// both and their ratio. Exit status 1 when the merge takes more than 3 times as long as
// `sort -u` or more than 0.3 s.
//
//   hostsbuild_bench [rounds]

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "adservers/HostsFileBuilder.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Names = std::vector<std::string>;
using halvern::adservers::HostsFileBuilder;

struct Workload {
    Names defaults;
    Names users;
    Names allowed;
    std::string hosts;
};

std::string randomName(std::mt19937& rng, int serial) {
    static const char* const kWords[] = {"ads",   "track", "banner", "pixel",   "stats", "cdn",
                                         "media", "click", "serve",  "metrics", "img",   "pop"};
    static const char* const kTlds[] = {"com", "net", "org", "example", "info", "io"};
    std::uniform_int_distribution<int> word(0, 11);
    std::uniform_int_distribution<int> tld(0, 5);
    return std::string(kWords[word(rng)]) + std::to_string(serial) + "." + kWords[word(rng)] + "-" +
           kWords[word(rng)] + "." + kTlds[tld(rng)];
}

Workload makeWorkload() {
    std::mt19937 rng(20261210);
    Workload w;
    for (int i = 0; i < 170000; ++i) {
        w.defaults.push_back(randomName(rng, i));
    }
    // A tenth of the user's names repeat default names.
    for (int i = 0; i < 5000; ++i) {
        w.users.push_back(i % 10 == 0 ? w.defaults[static_cast<std::size_t>(i * 30)]
                                      : randomName(rng, 200000 + i));
    }
    for (int i = 0; i < 1000; ++i) {
        w.allowed.push_back(w.defaults[static_cast<std::size_t>(i * 170)]);
    }
    // Half the file blocks names of an earlier build; the rest is the user's own.
    for (int i = 0; i < 10000; ++i) {
        if (i % 2 == 0) {
            w.hosts += "127.0.0.1 " + w.defaults[static_cast<std::size_t>(i * 17)] + "\n";
        } else if (i % 50 == 1) {
            w.hosts += "\n";
        } else {
            w.hosts += "10.0." + std::to_string(i % 250) + ".1 host" + std::to_string(i) + "\n";
        }
    }
    return w;
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

double timeMerge(const Workload& w, std::size_t& bytes) {
    const auto start = Clock::now();
    const auto merge = HostsFileBuilder::merge(w.hosts, w.defaults, w.users, w.allowed);
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    bytes = merge.text.size();
    return took.count();
}

double timeSort(const std::string& input, const std::string& output) {
    const char* argv[] = {"sort", "-u", input.c_str(), "-o", output.c_str(), nullptr};
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, "sort", nullptr, nullptr, const_cast<char**>(argv), environ) != 0) {
        std::perror("sort");
        std::exit(2);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "sort -u failed\n");
        std::exit(2);
    }
    return took.count();
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    // The C locale: the fastest `sort`, so the strictest comparison.
    setenv("LC_ALL", "C", 1);
    const Workload w = makeWorkload();

    const auto folder =
        std::filesystem::temp_directory_path() / ("hostsbuild-" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);
    const std::string input = (folder / "names.txt").string();
    const std::string output = (folder / "sorted.txt").string();
    {
        std::ofstream out(input, std::ios::binary);
        for (const Names* list : {&w.defaults, &w.users, &w.allowed}) {
            for (const std::string& name : *list) {
                out << name << '\n';
            }
        }
    }

    std::vector<double> merges;
    std::vector<double> sorts;
    std::size_t bytes = 0;
    for (int i = 0; i < rounds; ++i) {
        merges.push_back(timeMerge(w, bytes));
        sorts.push_back(timeSort(input, output));
    }
    std::filesystem::remove_all(folder);

    const double ours = median(merges);
    const double sort = median(sorts);
    std::printf("names: %zu default, %zu user, %zu allowed; hosts file: 10000 lines\n",
                w.defaults.size(), w.users.size(), w.allowed.size());
    std::printf("hosts merge : %8.1f ms (median of %d; %zu bytes written)\n", ours, rounds, bytes);
    std::printf("sort -u     : %8.1f ms (median of %d, LC_ALL=C)\n", sort, rounds);
    std::printf("ratio       : %8.2f (limit 3.00; merge limit 300 ms)\n", ours / sort);
    return ours <= 3 * sort && ours < 300 ? 0 : 1;
}
