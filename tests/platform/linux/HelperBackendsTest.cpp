#include "platform/linux/HelperBackends.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHelperConnection.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeResolver.h"
#include "platform/linux/PollScheduler.h"

namespace halvern::platform {
namespace {

using testing::FakeHelperConnection;
using Claim = HelperConnection::Claim;
using Status = HostsAccess::Status;

TEST(HelperBackends, TheHelpersAnswerToTheClaimIsTheRunsAccess) {
    const struct {
        HelperConnection::ClaimResult claim;
        Status status;
        std::string holder;
        std::string error;
    } cases[] = {
        {{Claim::Granted, {}, {}}, Status::Granted, "", ""},
        {{Claim::HeldByOther, "bob", {}}, Status::HeldByOther, "bob", ""},
        {{Claim::NotAuthorised, {}, "uid 1001 is not in the group zorvik"},
         Status::NotAuthorised,
         "",
         "uid 1001 is not in the group zorvik"},
        {{Claim::Unavailable, {}, "/run/zorvik-helper.sock: No such file or directory"},
         Status::Unavailable,
         "",
         "/run/zorvik-helper.sock: No such file or directory"},
    };
    for (const auto& c : cases) {
        const HostsAccess access = HelperBackends::accessOf(c.claim);
        EXPECT_EQ(access.status, c.status) << c.holder << c.error;
        EXPECT_EQ(access.holder, c.holder);
        EXPECT_EQ(access.error, c.error);
        EXPECT_EQ(access.granted(), c.status == Status::Granted);
    }
}

TEST(HelperBackends, ClaimsWhenAskedAndRoutesTheThreePrivilegedThingsThroughTheHelper) {
    FakeFileSystem files;
    files.put("/etc/hosts", "127.0.0.1 localhost\n");
    FakeHelperConnection helper{files};
    helper.claimResult = {Claim::HeldByOther, "bob", {}};
    FakeResolver resolver;
    PollScheduler scheduler;
    PosixTcpListener listener{scheduler};
    HelperBackends backends{helper, files, listener, resolver, {"/etc/hosts"}};
    EXPECT_TRUE(helper.calls.empty()) << "nothing is asked before the program's lock is taken";
    const HostsAccess access = backends.claim();
    EXPECT_EQ(access.status, Status::HeldByOther);
    EXPECT_EQ(access.holder, "bob");

    EXPECT_TRUE(backends.files().write("/etc/hosts", "127.0.0.1 localhost\n"));
    backends.resolver().flushNameCaches();
    EXPECT_FALSE(backends.listener().listen("127.0.0.1", 80));
    EXPECT_EQ(helper.calls,
              (std::vector<std::string>{"claim", "write /etc/hosts", "flush", "port80"}));
    EXPECT_EQ(resolver.cacheFlushes, 0) << "only root may flush the machine's caches";
    EXPECT_EQ(backends.resolver().hostsFilePath(), "/etc/hosts");
    EXPECT_EQ(backends.resolver().hostName(), "workstation");
}

}  // namespace
}  // namespace halvern::platform
