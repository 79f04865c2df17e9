#include <gtest/gtest.h>

#include "program/Program.h"
#include "support/FakePlatform.h"

using halvern::platform::BoxIcon;
using halvern::platform::FakeProgramProcess;
using halvern::program::Program;

namespace {

TEST(ProgramSingleInstance, ALockThatCannotBeTakenStopsTheStartWithoutWritingAnything) {
    halvern::testing::FakePlatform fake;
    fake.instance.lockError = "Is a directory";
    Program program(fake.platform);
    try {
        program.Form_Load();
        FAIL() << "the program must not start";
    } catch (const FakeProgramProcess::Terminated& end) {
        EXPECT_EQ(end.exitCode, 1);
    }
    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    const auto& box = fake.dialogs.boxes()[0];
    EXPECT_EQ(box.text,
              "Zorvik cannot start: it could not use its lock file "
              "'/run/user/1000/zorvik-1000.lock' (Is a directory), which keeps two copies of "
              "Zorvik from running at once.\r\n\r\nCheck that file and its folder, then start "
              "Zorvik again.");
    EXPECT_EQ(box.icon, BoxIcon::Critical);
    EXPECT_EQ(fake.instance.signals, 0) << "there is no running copy to signal";
    EXPECT_FALSE(fake.tray.shown);
    EXPECT_TRUE(fake.userStore.values().empty());
    EXPECT_TRUE(fake.files.recovered.empty()) << "not even the hosts file's recovery runs";
    fake.clock.advance(std::chrono::seconds(10));
    EXPECT_FALSE(fake.files.exists(halvern::testing::FakePlatform::kConfigFolder + "/zorvik.ini"));
    EXPECT_FALSE(fake.files.isDirectory(halvern::testing::FakePlatform::kDataFolder));
}

TEST(ProgramSingleInstance, TheStartFinishesAnInterruptedHostsRewriteOnceTheLockIsHeld) {
    halvern::testing::FakePlatform fake;
    Program program(fake.platform);
    program.Form_Load();
    EXPECT_EQ(fake.files.recovered, std::vector<std::string>{"/etc/hosts"});

    halvern::testing::FakePlatform second;
    second.instance.otherCopyRunning = true;
    Program copy(second.platform);
    copy.Form_Load();
    EXPECT_TRUE(second.files.recovered.empty()) << "a second copy touches nothing";
}

}  // namespace
