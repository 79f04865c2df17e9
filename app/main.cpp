// Zorvik's composition root: the real platform, the behaviour, the Qt views, and the loop.

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <csignal>

#include "gui/MainWindow.h"
#include "gui/StatsWindow.h"
#include "gui/TrayMenuView.h"
#include "platform/Platform.h"
#include "platform/linux/LinuxShell.h"
#include "platform/linux/LockFileSingleInstance.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PosixTcpListener.h"
#include "platform/linux/XdgUserStore.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtScheduler.h"
#include "platform/qt/QtSound.h"
#include "platform/qt/QtTray.h"
#include "program/Program.h"

namespace {

using namespace halvern;

int g_signalWrite = -1;

extern "C" void onStopSignal(int signal) {
    // Only async-signal-safe work here: the loop reads the pipe and runs the exit command.
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const auto written = ::write(g_signalWrite, &byte, 1);
}

/// Turns SIGTERM, SIGINT and SIGHUP into the exit command, run on the loop like any other event.
class StopSignals {
public:
    StopSignals(platform::Scheduler& scheduler, std::function<void()> onStop)
        : m_scheduler(scheduler) {
        if (::pipe2(m_pipe, O_NONBLOCK | O_CLOEXEC) != 0) {
            return;
        }
        g_signalWrite = m_pipe[1];
        m_watch = scheduler.watchFd(m_pipe[0], platform::Scheduler::kReadable,
                                    [this, onStop = std::move(onStop)](int) {
                                        char buffer[64];
                                        while (::read(m_pipe[0], buffer, sizeof buffer) > 0) {
                                        }
                                        onStop();
                                    });
        struct sigaction action = {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            ::sigaction(signal, &action, nullptr);
        }
    }
    ~StopSignals() {
        if (m_pipe[0] < 0) {
            return;
        }
        for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
            std::signal(signal, SIG_DFL);
        }
        m_scheduler.unwatch(m_watch);
        g_signalWrite = -1;
        ::close(m_pipe[0]);
        ::close(m_pipe[1]);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    platform::Scheduler& m_scheduler;
    int m_pipe[2] = {-1, -1};
    platform::Scheduler::Id m_watch = 0;
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program lives in the tray: closing its windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);
    const std::string appFolder = QCoreApplication::applicationDirPath().toStdString();

    platform::QtScheduler scheduler;
    platform::PosixFileSystem files;
    platform::QtDialogs dialogs;
    platform::XdgUserStore userStore(files, platform::XdgUserStore::defaultFolder());
    platform::LinuxShell shell;
    shell.onQuit = [] { QCoreApplication::quit(); };
    platform::LockFileSingleInstance instance(
        platform::LockFileSingleInstance::defaultRuntimeFolder(), scheduler);
    platform::QtTray tray(appFolder);
    platform::QtSound sound;
    platform::PosixTcpListener listener(scheduler);
    platform::Platform platform{scheduler, files, dialogs, userStore, shell,
                                instance,  tray,  sound,   listener};

    program::Program program(platform);
    const QIcon icon = tray.icon(platform::TrayPicture::Normal);
    QApplication::setWindowIcon(icon);
    gui::MainWindow window(program.form(), icon);
    gui::TrayMenuView trayMenu(program.form());
    gui::StatsWindow statsWindow(program.stats(), icon);

    const auto exitCommand = [&program] {
        if (!program.finished()) {
            program.mnuFileExit_Click();
        }
    };
    StopSignals stopSignals(scheduler, exitCommand);
    // The session ending, or any other way out of the loop, still runs the exit command, which
    // puts the user's hosts file back and saves the settings.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, exitCommand);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, exitCommand);

    program.Form_Load();
    if (program.finished()) {
        return 0;
    }
    return QApplication::exec();
}
