#include "platform/linux/XdgAutostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "LinuxTestSupport.h"
#include "platform/linux/PosixFileSystem.h"

using halvern::platform::AutostartEntry;
using halvern::platform::PosixFileSystem;
using halvern::platform::XdgAutostart;
using namespace halvern::platform::testing;

namespace {

/// The keys of a desktop entry file's [Desktop Entry] group, values as written.
std::map<std::string, std::string> keysOf(const std::string& text) {
    std::map<std::string, std::string> keys;
    std::size_t start = 0;
    bool inGroup = false;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        const std::string line = text.substr(start, end - start);
        start = end == std::string::npos ? text.size() : end + 1;
        if (line.starts_with("[")) {
            inGroup = line == "[Desktop Entry]";
        } else if (inGroup && line.find('=') != std::string::npos) {
            const auto equals = line.find('=');
            EXPECT_TRUE(keys.emplace(line.substr(0, equals), line.substr(equals + 1)).second)
                << "a key twice: " << line;
        }
    }
    return keys;
}

/// A value of type string read back: its escapes \s \n \t \r \\ undone; nothing for any other.
std::optional<std::string> unescapeString(const std::string& value) {
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\') {
            out += value[i];
            continue;
        }
        if (++i == value.size()) {
            return std::nullopt;
        }
        switch (value[i]) {
            case 's':
                out += ' ';
                break;
            case 'n':
                out += '\n';
                break;
            case 't':
                out += '\t';
                break;
            case 'r':
                out += '\r';
                break;
            case '\\':
                out += '\\';
                break;
            default:
                return std::nullopt;
        }
    }
    return out;
}

/// The program and arguments of an Exec value, read by the Desktop Entry rules: the
/// string escapes first, then the quoting (inside double quotes a backslash escapes only " ` $
/// and itself; outside them no reserved character may stand), then the field codes, of which
/// only %% (a literal %) may appear here. Nothing when the value breaks a rule.
std::optional<std::vector<std::string>> readExec(const std::string& value) {
    const auto line = unescapeString(value);
    if (!line) {
        return std::nullopt;
    }
    const std::string reserved = "\t\n\"'\\><~|&;$*?#()`";
    std::vector<std::string> words;
    std::optional<std::string> word;
    for (std::size_t i = 0; i < line->size(); ++i) {
        const char c = (*line)[i];
        if (c == ' ') {
            if (word) {
                words.push_back(*word);
            }
            word.reset();
        } else if (c == '"') {
            std::string quoted;
            for (++i;; ++i) {
                if (i >= line->size()) {
                    return std::nullopt;
                }
                char q = (*line)[i];
                if (q == '"') {
                    break;
                }
                if (q == '\\') {
                    if (++i >= line->size() ||
                        std::string("\"`$\\").find((*line)[i]) == std::string::npos) {
                        return std::nullopt;
                    }
                    q = (*line)[i];
                } else if (q == '`' || q == '$') {
                    return std::nullopt;
                }
                quoted += q;
            }
            word = word.value_or("") + quoted;
        } else if (reserved.find(c) != std::string::npos) {
            return std::nullopt;
        } else {
            word = word.value_or("") + c;
        }
    }
    if (word) {
        words.push_back(*word);
    }
    for (std::string& w : words) {
        std::string expanded;
        for (std::size_t i = 0; i < w.size(); ++i) {
            if (w[i] == '%') {
                if (++i >= w.size() || w[i] != '%') {
                    return std::nullopt;
                }
            }
            expanded += w[i];
        }
        w = expanded;
    }
    return words;
}

/// Runs desktop-file-validate on a file: its exit code and its words.
std::pair<int, std::string> validate(const std::string& path) {
    std::string output;
    FILE* pipe = ::popen(("desktop-file-validate '" + path + "' 2>&1").c_str(), "r");
    if (!pipe) {
        return {-1, "popen failed"};
    }
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) {
        output += buffer;
    }
    const int status = ::pclose(pipe);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

/// Sets an environment variable for a test's lifetime, or unsets it, and puts it back after.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const char* value) : m_name(name) {
        if (const char* old = std::getenv(name)) {
            m_old = old;
        }
        value ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { m_old ? ::setenv(m_name, m_old->c_str(), 1) : ::unsetenv(m_name); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Paths a user may really have: blanks, quotes, the shell's and the field codes' characters,
// control characters and letters beyond ASCII.
const std::vector<std::string> kAwkwardPrograms = {
    "/opt/halvern/zorvik",
    "/home/Ann/My Programs/Halvern/zorvik",
    "/home/ann/\"quoted\"/it's/zorvik",
    "/home/ann/back\\slash/\\\\two/zorvik",
    "/home/ann/$HOME/${PATH}/zorvik",
    "/home/ann/`id`/$(id)/zorvik",
    "/home/ann/100%/%f %u %%/zorvik",
    "/home/ann/;&|<>~*?#()[]{}!=^/zorvik",
    "/home/ann/new\nline/tab\there/cr\rreturn/zorvik",
    "/home/ann/ leading and trailing /zorvik",
    "/home/ann/Zörvik – Ünïcode ✓/zorvik",
    "/home/ann/\\\"$`%\\s\\n/zorvik",
};

TEST(XdgAutostartExec, AwkwardPathsReadBackAsTheProgramAlone) {
    // The reader catches what a careless writer gets wrong.
    struct Naive {
        const char* value;
        std::string program;
    } naive[] = {{"/a b/zorvik", "/a b/zorvik"},
                 {"\"/a/$HOME/zorvik\"", "/a/$HOME/zorvik"},
                 {"\"/a/100%/zorvik\"", "/a/100%/zorvik"},
                 {"\"/a\\\\b/zorvik\"", "/a\\b/zorvik"},
                 {"\"/a\\\"b/zorvik\"", "/a\"b/zorvik"}};
    for (const Naive& n : naive) {
        EXPECT_NE(readExec(n.value), std::vector<std::string>{n.program}) << n.value;
    }
    for (const std::string& program : kAwkwardPrograms) {
        SCOPED_TRACE(program);
        const std::string value = XdgAutostart::execValue(program);
        EXPECT_EQ(value.find('\n'), std::string::npos) << "the value keeps to its line";
        const auto words = readExec(value);
        ASSERT_TRUE(words) << "not a valid Exec value: " << value;
        EXPECT_EQ(*words, std::vector<std::string>{program}) << value;
    }
}

struct XdgAutostartTest : ::testing::Test {
    AutostartEntry entryFor(const std::string& program) const {
        const auto slash = program.find_last_of('/');
        return {"Zorvik", "Popup blocker and ad stopper", program, program.substr(0, slash),
                program.substr(0, slash) + "/zv.png"};
    }

    TempFolder config;
    PosixFileSystem files;
    XdgAutostart autostart{files, config / "autostart"};
    std::string path = config / "autostart/Zorvik.desktop";
};

TEST_F(XdgAutostartTest, WritesReplacesAndRemovesTheEntryFile) {
    EXPECT_FALSE(autostart.exists(path));
    auto written = autostart.write(path, entryFor("/opt/halvern/zorvik"));
    ASSERT_TRUE(written.done) << written.error;
    EXPECT_TRUE(written.error.empty());
    EXPECT_TRUE(autostart.exists(path));
    EXPECT_EQ(files.read(path),
              "[Desktop Entry]\nType=Application\nName=Zorvik\nComment=Popup blocker and ad "
              "stopper\nExec=\"/opt/halvern/zorvik\"\nPath=/opt/halvern\n"
              "Icon=/opt/halvern/zv.png\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");

    written = autostart.write(path, {"Zorvik", "Popup blocker", "/usr/bin/zorvik", "", "zorvik"});
    ASSERT_TRUE(written.done) << written.error;
    const auto keys = keysOf(files.read(path).value_or(""));
    EXPECT_EQ(keys.at("Exec"), "\"/usr/bin/zorvik\"");
    EXPECT_EQ(keys.at("Icon"), "zorvik");
    EXPECT_FALSE(keys.contains("Path")) << "no working folder, no key";
    EXPECT_EQ(namesIn(config / "autostart"), std::set<std::string>{"Zorvik.desktop"})
        << "the replacement left no temporary behind";

    const auto removed = autostart.remove(path);
    EXPECT_TRUE(removed.done) << removed.error;
    EXPECT_FALSE(autostart.exists(path));
    const auto again = autostart.remove(path);
    EXPECT_FALSE(again.done);
    EXPECT_EQ(again.error, "No such file or directory");
}

TEST_F(XdgAutostartTest, WhatIsNotAnEntryFileFailsWithTheSystemsWords) {
    ASSERT_TRUE(files.makeDirectories(path));
    EXPECT_FALSE(autostart.exists(path)) << "a folder is no entry";
    EXPECT_EQ(autostart.remove(path).error, "Is a directory");
    EXPECT_FALSE(autostart.write(path, entryFor("/opt/halvern/zorvik")).done);

    // A file where the folder should be.
    ASSERT_TRUE(files.write(config / "blocked", "not a folder"));
    XdgAutostart blocked{files, config / "blocked"};
    const auto written = blocked.write(config / "blocked/Zorvik.desktop", entryFor("/a/zorvik"));
    EXPECT_FALSE(written.done);
    EXPECT_EQ(written.error, "Not a directory");
}

TEST_F(XdgAutostartTest, APathThatIsNotUtf8IsRefusedAndNothingIsWritten) {
    const auto written = autostart.write(path, entryFor("/home/ann/caf\xe9/zorvik"));
    EXPECT_FALSE(written.done);
    EXPECT_NE(written.error.find("UTF-8"), std::string::npos) << written.error;
    EXPECT_FALSE(autostart.exists(path));
    EXPECT_FALSE(XdgAutostart::desktopEntry(entryFor(std::string("/a\0b/zorvik", 12))));
    EXPECT_FALSE(XdgAutostart::desktopEntry(entryFor("/a/\xc0\xaf/zorvik"))) << "overlong";
    EXPECT_FALSE(XdgAutostart::desktopEntry(entryFor("/a/\xed\xa0\x80/zorvik"))) << "surrogate";
    EXPECT_TRUE(XdgAutostart::desktopEntry(entryFor("/a/\xf0\x9f\x99\x82/zorvik")));
}

// The entry is checked by the freedesktop.org validator, as a desktop session's reading of it
// would be; setup-deps.sh installs it, so its absence is a failure, not a reason to pass.
TEST_F(XdgAutostartTest, EveryWrittenEntryPassesDesktopFileValidateAndReadsBack) {
    const auto tool = validate("/dev/null");
    ASSERT_NE(tool.first, 127) << "desktop-file-validate is not installed (package "
                                  "desktop-file-utils; run scripts/setup-deps.sh): "
                               << tool.second;
    for (const std::string& program : kAwkwardPrograms) {
        SCOPED_TRACE(program);
        const auto written = autostart.write(path, entryFor(program));
        ASSERT_TRUE(written.done) << written.error;
        const auto [code, words] = validate(path);
        EXPECT_EQ(code, 0) << words << files.read(path).value_or("");
        EXPECT_EQ(words, "") << "warnings or hints";

        const auto keys = keysOf(files.read(path).value_or(""));
        EXPECT_EQ(readExec(keys.at("Exec")), std::vector<std::string>{program});
        const std::string folder = program.substr(0, program.find_last_of('/'));
        EXPECT_EQ(unescapeString(keys.at("Path")), folder);
        EXPECT_EQ(unescapeString(keys.at("Icon")), folder + "/zv.png");
        EXPECT_EQ(keys.at("Type"), "Application");
        EXPECT_EQ(keys.at("Name"), "Zorvik");
        EXPECT_EQ(keys.at("Terminal"), "false");
    }
}

TEST(XdgAutostartFolder, FollowsXdgConfigHomeWhenItIsAbsolute) {
    struct Case {
        const char* configHome;
        const char* home;
        std::string folder;
    } cases[] = {
        {"/srv/ann/config", "/home/ann", "/srv/ann/config/autostart"},
        {nullptr, "/home/ann", "/home/ann/.config/autostart"},
        {"", "/home/ann", "/home/ann/.config/autostart"},
        {"relative/config", "/home/ann", "/home/ann/.config/autostart"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.configHome ? c.configHome : "(unset)");
        ScopedVariable configHome("XDG_CONFIG_HOME", c.configHome);
        ScopedVariable home("HOME", c.home);
        EXPECT_EQ(XdgAutostart::defaultFolder(), c.folder);
    }
}

}  // namespace
