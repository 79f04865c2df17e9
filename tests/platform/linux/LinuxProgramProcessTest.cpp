#include "platform/linux/LinuxProgramProcess.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "LinuxTestSupport.h"

using halvern::platform::LinuxProgramProcess;
using namespace halvern::platform::testing;

namespace {

TEST(LinuxProgramProcess, TerminateFlushesOutputAndEndsWithTheCode) {
    LinuxProgramProcess process;
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    int code = runInChild([&]() -> int {
        ::dup2(out[1], 1);
        std::printf("unsaved output");
        process.terminate(7);
    });
    ::close(out[1]);
    char buffer[64] = {};
    ssize_t n = ::read(out[0], buffer, sizeof buffer - 1);
    ::close(out[0]);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(std::string(buffer, n > 0 ? n : 0), "unsaved output");
}

TEST(LinuxProgramProcess, ExecutablePathIsTheRunningFile) {
    LinuxProgramProcess process;
    std::string exe = process.executablePath();
    ASSERT_FALSE(exe.empty());
    EXPECT_EQ(exe.front(), '/');
    struct stat named {};
    struct stat running {};
    ASSERT_EQ(::stat(exe.c_str(), &named), 0) << exe;
    ASSERT_EQ(::stat("/proc/self/exe", &running), 0);
    EXPECT_EQ(named.st_ino, running.st_ino) << exe;
    EXPECT_EQ(named.st_dev, running.st_dev) << exe;
}

TEST(LinuxProgramProcess, QuitCallsOnQuitWhenSetAndIsHarmlessWithout) {
    LinuxProgramProcess process;
    int quits = 0;
    process.quit();
    process.onQuit = [&] { ++quits; };
    process.quit();
    EXPECT_EQ(quits, 1);
}

}  // namespace
