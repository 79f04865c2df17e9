#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "SpywareFixture.h"
#include "spyware/ProcessMatcher.h"

using namespace std::chrono_literals;
using halvern::platform::BoxAnswer;
using halvern::platform::BoxButtons;
using halvern::spyware::ProcessMatcher;
using Names = std::vector<std::string>;

namespace halvern::testing {
namespace {

using SpywareScanner = SpywareFixture;

const std::string kQuestionTitle = "Zorvik has detected Spyware.";

std::string question(const std::string& name, const std::string& description) {
    return "Zorvik has detected the following Spyware:\r\n\r\n" + name +
           " - Description: " + description +
           "\r\n\r\nWould you like Zorvik to close this program?";
}

TEST_F(SpywareScanner, LoadsEachLineAsItsNameOrThePlaceholder) {
    writeList({"spy.exe=1:0:Shows ads", "abc=1:1:x", "tool.exe=0:0:Useful", "bare.exe=1",
               "  pad.exe  = 1:1:padded ", "SPY.EXE=0:1:again", "asked.exe=1:", "nofields=0",
               "; a comment", "quoted.exe=\"1:1:q\""});
    spyware.setSpyWareListArray();
    EXPECT_EQ(spyware.scanner.names(),
              (Names{"spy.exe", "abc", "x", "x", "pad.exe", "asked.exe", "x", "quoted.exe"}));
    EXPECT_TRUE(logged("#Spyware list: 'bare.exe=1' has no fields"));
    EXPECT_TRUE(logged("#Spyware list: 'nofields=0' has no fields"));
    EXPECT_TRUE(logged("#Spyware list: 'SPY.EXE' is listed again; the first line counts."));

    // A missing file, or a section without lines, watches nothing.
    fake.files.remove(kList);
    spyware.setSpyWareListArray();
    EXPECT_TRUE(spyware.scanner.names().empty());
    fake.files.put(kList, "[Spyware]\r\n[AppCount]\r\nN=3\r\n");
    spyware.setSpyWareListArray();
    EXPECT_TRUE(spyware.scanner.names().empty());
}

TEST_F(SpywareScanner, AsksOnceAndANoLeavesTheProgramAlone) {
    writeList({"spy.exe=1:0:Shows ads"});
    spyware.setSpyWareListArray();
    const int pid = run("/home/user/bin/spy.exe");
    fake.dialogs.answerNext(BoxAnswer::No);
    parts.form.frmMain.hide();
    scan();

    ASSERT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.dialogs.boxes()[0].title, kQuestionTitle);
    EXPECT_EQ(fake.dialogs.boxes()[0].text, question("spy.exe", "Shows ads"));
    EXPECT_EQ(fake.dialogs.boxes()[0].buttons, BoxButtons::YesNo);
    // The settings window comes to the front with the question.
    EXPECT_TRUE(parts.form.frmMain.visible());
    EXPECT_TRUE(fake.processes.running(pid));
    EXPECT_EQ(fake.files.text(kList), "[Spyware]\r\nspy.exe=0:1:Shows ads\r\n");
    EXPECT_EQ(spyware.scanner.names(), Names{"x"});
    EXPECT_TRUE(records().empty());

    for (int i = 0; i < 3; ++i) {
        fake.clock.advance(15s);
    }
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_TRUE(fake.processes.running(pid));
}

TEST_F(SpywareScanner, AYesEndsItNowAndSilentlyFromThenOn) {
    fake.clock.setLocalTime({2026, 12, 10, 14, 5, 9});
    writeList({"spy.exe=1:0:Shows ads"});
    spyware.setSpyWareListArray();
    const int pid = run("/home/user/bin/spy.exe");
    fake.dialogs.answerNext(BoxAnswer::Yes);
    scan();

    EXPECT_FALSE(fake.processes.running(pid));
    EXPECT_EQ(fake.processes.ended, std::vector<int>{pid});
    EXPECT_EQ(records(), Names{"14:05:09 Spyware application 'spy.exe' running. Closed it."});
    EXPECT_EQ(fake.files.text(kList), "[Spyware]\r\nspy.exe=1:1:Shows ads\r\n");

    // Started again: ended at the next scan without a question.
    const int again = run("/home/user/bin/spy.exe");
    fake.clock.advance(15s);
    fake.clock.advance(1s);
    EXPECT_FALSE(fake.processes.running(again));
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(records().size(), 2u);
}

TEST_F(SpywareScanner, AProcessThatCannotBeEndedIsNotRecordedAsClosed) {
    writeList({"spy.exe=1:0:Shows ads"});
    spyware.setSpyWareListArray();
    const int pid = run("/home/user/bin/spy.exe");
    fake.processes.survivors.push_back(pid);
    fake.dialogs.answerNext(BoxAnswer::Yes);
    scan();

    EXPECT_TRUE(fake.processes.running(pid));
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(logged("#Spyware application 'spy.exe' (pid " + std::to_string(pid) +
                       ") could not be closed"));
    // Answered Yes: tried again at the next scan, without a question and still without a record.
    logLines.clear();
    scan();
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_TRUE(logged("could not be closed"));
    EXPECT_TRUE(records().empty());
}

TEST_F(SpywareScanner, AnAnswerThatCannotBeWrittenHoldsForTheRun) {
    struct Case {
        BoxAnswer answer;
        bool endedAfterRestart;
    };
    for (const Case c : {Case{BoxAnswer::No, false}, Case{BoxAnswer::Yes, true}}) {
        SCOPED_TRACE(c.answer == BoxAnswer::Yes ? "Yes" : "No");
        FakePlatform localFake;
        ProgramParts localParts{localFake.platform,
                                core::AppPaths(FakePlatform::kAppFolder, "/etc/hosts")};
        ui::TrayIcon localTray{localParts.context, localParts.settings};
        spyware::SpywareDetection detection{localParts.context, localParts.log, localParts.rings,
                                            localTray};
        std::vector<std::string> lines;
        localParts.log.observe([&lines](const std::string& line) { lines.push_back(line); });
        localFake.files.put(kList, "[Spyware]\r\nspy.exe=1:0:Shows ads\r\n");
        localFake.files.setReadOnly(kList);
        detection.setSpyWareListArray();
        platform::ProcessInfo info;
        info.exe = "/usr/local/bin/spy.exe";
        info.comm = "spy.exe";
        info.uid = *localFake.processes.endableUser;
        localFake.processes.start(info);
        localFake.dialogs.answerNext(c.answer);

        detection.scanner.TimerSpyWare_Timer();
        localFake.clock.advance(1s);
        const int restarted = localFake.processes.start(info);
        for (int i = 0; i < 4; ++i) {
            localFake.clock.advance(15s);
        }
        localFake.clock.advance(1s);

        EXPECT_EQ(localFake.dialogs.boxes().size(), 1u);
        EXPECT_EQ(localFake.files.text(kList), "[Spyware]\r\nspy.exe=1:0:Shows ads\r\n");
        EXPECT_EQ(localFake.processes.running(restarted), !c.endedAfterRestart);
        bool reported = false;
        for (const std::string& line : lines) {
            reported = reported || line.find("could not be written") != std::string::npos;
        }
        EXPECT_TRUE(reported);
    }
}

TEST_F(SpywareScanner, AProcessReplacedWhileTheQuestionIsOpenIsNotSignalled) {
    writeList({"spy.exe=1:0:Shows ads"});
    spyware.setSpyWareListArray();
    const int pid = run("/home/user/bin/spy.exe");
    // While the box is open the program ends and another takes its process id.
    fake.dialogs.whileOpen = [this, pid](const platform::FakeDialogs::Box&) {
        fake.processes.exit(pid);
        platform::ProcessInfo editor;
        editor.pid = pid;
        editor.exe = "/usr/bin/editor";
        editor.comm = "editor";
        editor.uid = *fake.processes.endableUser;
        fake.processes.start(editor);
    };
    fake.dialogs.answerNext(BoxAnswer::Yes);
    scan();

    EXPECT_TRUE(fake.processes.running(pid));
    EXPECT_EQ(fake.processes.table.at(pid).exe, "/usr/bin/editor");
    EXPECT_TRUE(fake.processes.ended.empty());
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(logged("had ended already; nothing was signalled"));
    // The answer itself is kept.
    EXPECT_EQ(fake.files.text(kList), "[Spyware]\r\nspy.exe=1:1:Shows ads\r\n");
}

TEST_F(SpywareScanner, AnIdTakenByAnotherProgramSinceTheWalkIsLeftAlone) {
    // Events run between the walk and the end (a box opened meanwhile can stretch that to
    // minutes): the listed program ends and its id goes to another process.
    struct Case {
        const char* what;
        const char* exe;
        unsigned uid;
        bool ended;
    };
    const unsigned user = *fake.processes.endableUser;
    const Case cases[] = {
        {"another program of the user", "/usr/bin/editor", user, false},
        {"the same program of root", "/home/user/bin/spy.exe", 0, false},
        {"a new copy of the listed program", "/tmp/spy.exe", user, true},
    };
    for (const bool killExe : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (killExe ? ", kill exe" : ", scan"));
            writeList({"spy.exe=1:1:Shows ads"});
            spyware.setSpyWareListArray();
            fake.processes.ended.clear();
            const int pid = run("/home/user/bin/spy.exe");
            fake.processes.afterList = [&] {
                platform::ProcessInfo newcomer;
                newcomer.exe = c.exe;
                newcomer.comm = ProcessMatcher::baseName(c.exe);
                newcomer.uid = c.uid;
                fake.processes.replace(pid, newcomer);
            };
            if (killExe) {
                parts.form.txtKillExe.setText("spy.exe");
                parts.form.cmdKill.click();
                fake.clock.advance(1s);
            } else {
                scan();
            }
            EXPECT_EQ(fake.processes.running(pid), !c.ended);
            EXPECT_EQ(fake.processes.ended, c.ended ? std::vector<int>{pid} : std::vector<int>{});
            if (!c.ended) {
                EXPECT_EQ(fake.processes.table.at(pid).exe, c.exe);
                EXPECT_TRUE(logged("not the program listed; nothing was signalled"));
                fake.processes.exit(pid);
            }
        }
    }
    // Only the scan's ends of the listed program are recorded.
    EXPECT_EQ(records().size(), 1u);
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(SpywareScanner, WithNoOneToActForNothingIsAskedOrEnded) {
    // Root with no desktop user: neither root's own programs nor anyone else's are ended.
    writeList({"spy.exe=1:0:Shows ads", "tool.exe=1:1:x"});
    spyware.setSpyWareListArray();
    const int asked = run("/bin/spy.exe");
    const int silent = run("/bin/tool.exe");
    fake.processes.endableUser.reset();
    scan();
    parts.form.txtKillExe.setText("tool.exe");
    parts.form.cmdKill.click();
    fake.clock.advance(1s);
    scan();
    EXPECT_TRUE(fake.processes.running(asked));
    EXPECT_TRUE(fake.processes.running(silent));
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_EQ(fake.processes.listCalls, 0);
    EXPECT_EQ(std::ranges::count_if(logLines,
                                    [](const std::string& line) {
                                        return line.find("no desktop user") != std::string::npos;
                                    }),
              1);
    // The status line still names what the scan looked for.
    EXPECT_TRUE(parts.form.lblStatus.caption().ends_with(".. spy.exe.. tool.exe"));
}

TEST_F(SpywareScanner, AListReloadedDuringTheScanDoesNotDerailIt) {
    writeList({"spy.exe=1:0:Shows ads", "other.exe=1:1:x", "third.exe=1:1:y"});
    spyware.setSpyWareListArray();
    run("/bin/spy.exe");
    const int third = run("/bin/third.exe");
    // The list window's OK reloads a shorter list while the question is open.
    fake.dialogs.whileOpen = [this](const platform::FakeDialogs::Box&) {
        writeList({"third.exe=1:1:y", "spy.exe=1:0:Shows ads"});
        spyware.setSpyWareListArray();
    };
    fake.dialogs.answerNext(BoxAnswer::No);
    scan();
    EXPECT_EQ(fake.dialogs.boxes().size(), 1u);
    EXPECT_EQ(fake.files.text(kList), "[Spyware]\r\nthird.exe=1:1:y\r\nspy.exe=0:1:Shows ads\r\n");
    EXPECT_EQ(spyware.scanner.names(), (Names{"third.exe", "x"}));
    // third.exe moved to index 0, behind the scan: the next scan ends it.
    EXPECT_TRUE(fake.processes.running(third));
    scan();
    EXPECT_FALSE(fake.processes.running(third));
}

TEST_F(SpywareScanner, LeavesDecoysAndShortNamesAlone) {
    writeList({"spy.exe=1:1:x", "abc=1:1:short", "watchdog=1:1:w", "xmrig=1:1:m"});
    spyware.setSpyWareListArray();
    const std::vector<int> decoys = {run("/usr/bin/notspy.exe"), run("/usr/bin/spy.exe.bak"),
                                     run("/usr/bin/abc"), run("/opt/xmrig-helper/run", "run")};
    platform::ProcessInfo foreign;
    foreign.exe = "/usr/bin/spy.exe";
    foreign.comm = "spy.exe";
    foreign.uid = 0;
    const int foreignPid = fake.processes.start(foreign);
    platform::ProcessInfo kernel;
    kernel.comm = "watchdog";
    kernel.kernelThread = true;
    kernel.uid = *fake.processes.endableUser;
    const int kernelPid = fake.processes.start(kernel);
    platform::ProcessInfo self;
    self.pid = fake.processes.selfPid;
    self.exe = "/opt/halvern/xmrig";
    self.comm = "xmrig";
    self.uid = *fake.processes.endableUser;
    fake.processes.start(self);
    platform::ProcessInfo init;
    init.pid = 1;
    init.exe = "/sbin/xmrig";
    init.comm = "xmrig";
    init.uid = *fake.processes.endableUser;
    fake.processes.start(init);
    // A program whose executable cannot be read: only its short name says what it is.
    const int unreadable = run("", "watchdog");
    // A readable program is known by its file alone: a short name cut from a longer file name
    // (or chosen by the program) does not make it the one listed.
    writeList({"spy.exe=1:1:x", "abc=1:1:short", "watchdog=1:1:w", "xmrig=1:1:m",
               "fifteen-bytes.x=1:1:f"});
    spyware.setSpyWareListArray();
    const int longer = run("/usr/bin/fifteen-bytes.xyz");
    const int renamed = run("/usr/bin/python3", "watchdog");
    scan();
    EXPECT_TRUE(fake.processes.running(longer));
    EXPECT_TRUE(fake.processes.running(renamed));
    for (int pid : decoys) {
        EXPECT_TRUE(fake.processes.running(pid)) << fake.processes.table.at(pid).exe;
    }
    EXPECT_TRUE(fake.processes.running(foreignPid));
    EXPECT_TRUE(fake.processes.running(kernelPid));
    EXPECT_TRUE(fake.processes.running(fake.processes.selfPid));
    EXPECT_TRUE(fake.processes.running(1));
    EXPECT_FALSE(fake.processes.running(unreadable));
    EXPECT_EQ(fake.processes.ended, std::vector<int>{unreadable});
    EXPECT_TRUE(fake.dialogs.boxes().empty());
}

TEST_F(SpywareScanner, TheStatusLineNamesEachWatchedEntryOfTheScan) {
    fake.clock.setLocalTime({2026, 12, 10, 14, 5, 9});
    writeList({"spy.exe=1:0:a", "abc=1:1:b", "off.exe=0:1:c", "tool2.exe=1:1:d"});
    spyware.setSpyWareListArray();
    EXPECT_TRUE(spyware.scanner.TimerSpyWare.enabled());
    EXPECT_EQ(spyware.scanner.TimerSpyWare.interval(), 15000);
    fake.clock.advance(15s);
    EXPECT_EQ(parts.form.lblStatus.caption(),
              "checking for spyware... 12/10/2026 2:05:24 PM.. spy.exe.. tool2.exe");
    // One walk of the process table serves the whole scan.
    EXPECT_EQ(fake.processes.listCalls, 1);
}

TEST_F(SpywareScanner, AnExitDuringTheQuestionWritesNothing) {
    writeList({"spy.exe=1:0:Shows ads"});
    spyware.setSpyWareListArray();
    const int pid = run("/bin/spy.exe");
    fake.dialogs.whileOpen = [this](const platform::FakeDialogs::Box&) {
        parts.state.bExiting = true;
    };
    fake.dialogs.answerNext(BoxAnswer::Yes);
    scan();
    EXPECT_TRUE(fake.processes.running(pid));
    EXPECT_EQ(fake.files.writes(kList), 0);
}

TEST_F(SpywareScanner, KillExeEndsOnlyTheNamedProgramOfTheUser) {
    const int mine = run("/usr/bin/notepad.exe");
    const int decoy = run("/usr/bin/mynotepad.exe");
    platform::ProcessInfo foreign;
    foreign.exe = "/usr/bin/notepad.exe";
    foreign.comm = "notepad.exe";
    foreign.uid = 0;
    const int foreignPid = fake.processes.start(foreign);
    parts.form.cmdKill.click();
    fake.clock.advance(1s);
    EXPECT_FALSE(fake.processes.running(mine));
    EXPECT_TRUE(fake.processes.running(decoy));
    EXPECT_TRUE(fake.processes.running(foreignPid));
    // It asks nothing and records nothing.
    EXPECT_TRUE(fake.dialogs.boxes().empty());
    EXPECT_TRUE(records().empty());

    for (const char* text : {"", "   ", "pad", " ad "}) {
        const int shortOne = run(std::string("/usr/bin/") + text);
        parts.form.txtKillExe.setText(text);
        parts.form.cmdKill.click();
        fake.clock.advance(1s);
        EXPECT_TRUE(fake.processes.running(shortOne)) << '"' << text << '"';
    }
    EXPECT_TRUE(logged("matches nothing"));
}

}  // namespace
}  // namespace halvern::testing
