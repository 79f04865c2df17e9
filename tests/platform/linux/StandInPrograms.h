#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "LinuxTestSupport.h"

namespace halvern::platform::testing {

/// Puts stand-in programs first in PATH for the test's duration, for the backends that start
/// the desktop's tools.
struct StandInPrograms : ::testing::Test {
    TempFolder dir;
    TempFolder bin;
    std::string oldPath = std::getenv("PATH") ? std::getenv("PATH") : "";

    void SetUp() override { ::setenv("PATH", (bin.path() + ":" + oldPath).c_str(), 1); }
    void TearDown() override { ::setenv("PATH", oldPath.c_str(), 1); }

    /// A shell script named name in the stand-in folder.
    void fakeProgram(const std::string& name, const std::string& body) {
        const std::string path = bin / name;
        std::ofstream(path) << "#!/bin/sh\n" << body << "\n";
        ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
    }

    static std::string slurp(const std::string& path) {
        std::ifstream in(path);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    /// True when every program started was orphaned or reaped: none is left as our child.
    static bool haveNoChildren() {
        int status = 0;
        return ::waitpid(-1, &status, WNOHANG) < 0 && errno == ECHILD;
    }
};

}  // namespace halvern::platform::testing
