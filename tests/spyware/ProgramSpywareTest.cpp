#include <gtest/gtest.h>

#include <string>

#include "program/Program.h"
#include "spyware/SpywareDetection.h"
#include "support/FakePlatform.h"

using namespace std::chrono_literals;

namespace halvern::testing {
namespace {

const std::string kList = FakePlatform::kAppFolder + "/zvspyware.ini";

TEST(ProgramSpyware, TheLoadReadsTheListAndTheScanRunsEvery15Seconds) {
    FakePlatform fake;
    fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
    fake.files.put(kList, "[Spyware]\r\nspy.exe=1:1:Shows ads\r\n");
    platform::ProcessInfo spy;
    spy.exe = "/home/user/spy.exe";
    spy.comm = "spy.exe";
    spy.uid = *fake.processes.endableUser;
    const int pid = fake.processes.start(spy);
    program::Program program(fake.platform);
    program.Form_Load();
    EXPECT_EQ(program.spyware().scanner.names(), std::vector<std::string>{"spy.exe"});

    fake.clock.advance(14s);
    EXPECT_TRUE(fake.processes.running(pid));
    fake.clock.advance(2s);
    EXPECT_FALSE(fake.processes.running(pid));
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST(ProgramSpyware, TheExitClosesTheListWindowAndStopsScanning) {
    FakePlatform fake;
    fake.userStore.set("Zorvik", "State", "FirstStart", "Done");
    fake.files.put(kList, "[Spyware]\r\nspy.exe=1:1:Shows ads\r\n");
    program::Program program(fake.platform);
    program.Form_Load();
    program.spyware().openViewer();
    EXPECT_TRUE(program.spyware().viewer.form().frmAdWare.visible());
    program.mnuFileExit_Click();
    EXPECT_FALSE(program.spyware().viewer.form().frmAdWare.visible());

    platform::ProcessInfo spy;
    spy.exe = "/home/user/spy.exe";
    spy.comm = "spy.exe";
    spy.uid = *fake.processes.endableUser;
    const int pid = fake.processes.start(spy);
    fake.clock.advance(31s);
    EXPECT_TRUE(fake.processes.running(pid));
}

}  // namespace
}  // namespace halvern::testing
