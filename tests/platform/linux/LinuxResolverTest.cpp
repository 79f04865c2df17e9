#include "platform/linux/LinuxResolver.h"

#include <gtest/gtest.h>

#include "StandInPrograms.h"

using namespace std::chrono_literals;
using halvern::platform::LinuxResolver;
using namespace halvern::platform::testing;

namespace {

struct LinuxResolverTest : StandInPrograms {
    LinuxResolver resolver{300ms};
};

TEST_F(LinuxResolverTest, FlushNameCachesInvalidatesNscdsHostsCache) {
    const std::string log = dir / "nscd";
    fakeProgram("nscd", "echo \"$@\" > '" + log + "'");
    resolver.flushNameCaches();
    EXPECT_EQ(slurp(log), "-i hosts\n");
    EXPECT_TRUE(haveNoChildren());
}

TEST_F(LinuxResolverTest, TheHostsFileIsEtcHosts) {
    EXPECT_EQ(resolver.hostsFilePath(), "/etc/hosts");
}

TEST_F(LinuxResolverTest, TheMachinesNameIsTheKernels) {
    // The name of this UTS namespace, as the kernel shows it.
    std::string name = slurp("/proc/sys/kernel/hostname");
    if (name.ends_with('\n')) {
        name.pop_back();
    }
    EXPECT_FALSE(name.empty());
    EXPECT_EQ(resolver.hostName(), name);
}

}  // namespace
