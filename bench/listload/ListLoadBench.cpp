// Loads a full-size list file (32767 entries, the most a count can say) with ListFiles::readArray
// and with Python's configparser, each timed from inside its own process, best of several rounds.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

#include "core/ListFiles.h"
#include "platform/FileSystem.h"

namespace fs = std::filesystem;
using halvern::core::ListFiles::kMaxEntries;

namespace {

/// The real disk through standard streams: just enough of a file system for the loader.
class StreamFileSystem final : public halvern::platform::FileSystem {
public:
    std::optional<std::string> read(const std::string& path) const override {
        std::ifstream in(path, std::ios::binary | std::ios::ate);
        if (!in) {
            return std::nullopt;
        }
        std::string text(static_cast<std::size_t>(in.tellg()), '\0');
        in.seekg(0);
        if (!in.read(text.data(), static_cast<std::streamsize>(text.size()))) {
            return std::nullopt;
        }
        return text;
    }
    bool write(const std::string& path, const std::string& content) override {
        const std::string temp = path + ".tmp";
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << content;
        out.close();
        std::error_code error;
        fs::rename(temp, path, error);
        return out && !error;
    }
    bool exists(const std::string& path) const override { return fs::exists(path); }
    bool isDirectory(const std::string& path) const override { return fs::is_directory(path); }
    std::optional<std::uint64_t> size(const std::string& path) const override {
        std::error_code error;
        const auto bytes = fs::file_size(path, error);
        return error ? std::nullopt : std::optional<std::uint64_t>(bytes);
    }
    bool copy(const std::string&, const std::string&) override { return false; }
    bool rename(const std::string&, const std::string&) override { return false; }
    bool remove(const std::string& path) override { return fs::remove(path); }
    bool makeDirectories(const std::string& path) override {
        std::error_code error;
        fs::create_directories(path, error);
        return !error;
    }
};

std::string listText() {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(kMaxEntries) + "\r\n[Domains]\r\n";
    for (int i = 0; i < kMaxEntries; ++i) {
        text += "D" + std::to_string(i) + "=ads" + std::to_string(i * 7919 % 100003) +
                ".adserver-network.example\r\n";
    }
    return text;
}

double bestOfReadArray(const StreamFileSystem& files, const std::string& path, int rounds) {
    double best = 1e9;
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        const auto slots = halvern::core::ListFiles::readArray(files, path);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (slots.size() != kMaxEntries + 1 || slots[kMaxEntries - 1].empty()) {
            std::cerr << "readArray read " << slots.size() << " slots\n";
            std::exit(1);
        }
        best = std::min(best, took.count());
    }
    return best;
}

// The same work in Python: parse, read N, build the slots 0..N trimmed.
constexpr const char* kPython = R"(
import configparser, sys, time
path, rounds = sys.argv[1], int(sys.argv[2])
best = 1e9
for _ in range(rounds):
    start = time.perf_counter()
    parser = configparser.ConfigParser(interpolation=None)
    parser.read(path)
    n = int(parser["DomainCount"]["N"])
    items = parser["Domains"]
    slots = [items.get("D%d" % i, "").strip() for i in range(n)] + [""]
    best = min(best, time.perf_counter() - start)
assert len(slots) == n + 1 and slots[n - 1]
print(best)
)";

double bestOfConfigParser(const fs::path& dir, const std::string& path, int rounds) {
    const fs::path script = dir / "configparser_load.py";
    const fs::path result = dir / "configparser.txt";
    std::ofstream(script) << kPython;
    const std::string command = "python3 '" + script.string() + "' '" + path + "' " +
                                std::to_string(rounds) + " > '" + result.string() + "'";
    if (std::system(command.c_str()) != 0) {
        std::cerr << "python3 failed\n";
        std::exit(1);
    }
    double seconds = 0;
    std::ifstream(result) >> seconds;
    return seconds;
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = std::max(1, argc > 1 ? std::atoi(argv[1]) : 7);
    std::random_device seed;
    const fs::path dir = fs::temp_directory_path() / ("halvern-listload-" + std::to_string(seed()));
    StreamFileSystem files;
    files.makeDirectories(dir.string());
    const std::string path = (dir / "zorvikhosts.ini").string();
    if (!files.write(path, listText())) {
        std::cerr << "could not write " << path << "\n";
        return 1;
    }

    const double ours = bestOfReadArray(files, path, rounds);
    const double python = bestOfConfigParser(dir, path, rounds);
    fs::remove_all(dir);

    std::printf("list of %d entries, %llu bytes, best of %d rounds\n", kMaxEntries,
                static_cast<unsigned long long>(listText().size()), rounds);
    std::printf("  ListFiles::readArray    %8.2f ms\n", ours * 1000);
    std::printf("  python3 configparser    %8.2f ms\n", python * 1000);
    std::printf("  ratio                   %8.1fx faster (goal: at least 10x) %s\n", python / ours,
                python / ours >= 10 ? "met" : "NOT MET");
    return 0;
}
