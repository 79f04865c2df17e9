// Zorvik's composition root: the command line, the real platform, the behaviour, the Qt views,
// and the loop.

#include <unistd.h>
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "adservers/AdServerBlocking.h"
#include "core/AppPaths.h"
#include "core/MainState.h"
#include "gui/AboutWindow.h"
#include "gui/AdServerEditorWindow.h"
#include "gui/DomainTesterWindow.h"
#include "gui/LogWindowView.h"
#include "gui/MainWindow.h"
#include "gui/SpywareViewerWindow.h"
#include "gui/StatsWindow.h"
#include "gui/TitleEditorWindow.h"
#include "gui/TrayMenuView.h"
#include "gui/WhiteListWindow.h"
#include "platform/Platform.h"
#include "platform/browser/DevToolsBrowser.h"
#include "platform/browser/RelaySocket.h"
#include "platform/linux/CryptPasswordHasher.h"
#include "platform/linux/CurlHttp.h"
#include "platform/linux/FileRegistry.h"
#include "platform/linux/HelperBackends.h"
#include "platform/linux/HelperClient.h"
#include "platform/linux/LinuxProgramProcess.h"
#include "platform/linux/LinuxResolver.h"
#include "platform/linux/LockFileSingleInstance.h"
#include "platform/linux/PosixFileSystem.h"
#include "platform/linux/PosixTcpListener.h"
#include "platform/linux/ProcProcesses.h"
#include "platform/linux/XdgAutostart.h"
#include "platform/linux/XdgLauncher.h"
#include "platform/linux/XdgScratchFiles.h"
#include "platform/linux/XdgUserStore.h"
#include "platform/qt/QtDialogs.h"
#include "platform/qt/QtScheduler.h"
#include "platform/qt/QtSound.h"
#include "platform/qt/QtTray.h"
#include "platform/qt/StopSignals.h"
#include "platform/x11/XInputDevice.h"
#include "platform/x11/XcbDesktop.h"
#include "popups/WhiteList.h"
#include "program/Program.h"
#include "spyware/SpywareDetection.h"
#include "titles/TitleBlocking.h"
#include "ui/LogWindow.h"

namespace {

using namespace halvern;

// The desktop where there is no X display (a Wayland-only session): it lists nothing and closes
// nothing, and the title blocking that needs it stays off.
class UnavailableDesktop final : public platform::Desktop {
public:
    bool available() const override { return false; }
    const std::vector<platform::WindowInfo>& windows() override { return m_none; }
    std::vector<platform::WindowInfo> children(platform::WindowId) override { return {}; }
    std::uint64_t generation() const override { return 0; }
    platform::CloseResult requestClose(platform::WindowId) override {
        return platform::CloseResult::Gone;
    }
    bool pressButton(platform::WindowId, const std::string&) override { return false; }
    void follow(bool) override {}

private:
    const std::vector<platform::WindowInfo> m_none{};
};

// The mouse and keyboard where there is no X display, or it has no XInput 2: nothing is ever
// pressed.
class UnavailableInput final : public platform::InputDevice {
public:
    bool available() const override { return false; }
    void watch(const std::vector<int>&) override {}
    void drain() override {}
    bool pressedSinceLastQuery(int) override { return false; }
    bool isDown(int) const override { return false; }
    bool anythingPending() const override { return false; }
};

/// The version is the one the main window's caption shows, the text after its last " v".
std::string version() {
    const std::string_view caption = core::kMainCaption;
    const auto at = caption.rfind(" v");
    return std::string(at == std::string_view::npos ? caption : caption.substr(at + 2));
}

const char* const kUsage =
    "Usage: zorvik [--help | --version] [-platform NAME] [-display NAME] [-style NAME]\n"
    "\n"
    "Zorvik, the popup blocker and ad stopper, starts in the system tray. It writes the names\n"
    "of known ad servers into /etc/hosts and answers their requests on 127.0.0.1:80. Run as a\n"
    "user, it asks zorvik-helper (socket $ZORVIK_HELPER_SOCKET, else /run/zorvik-helper.sock)\n"
    "to do both, which serves members of the group zorvik, one user's Zorvik at a time; run as\n"
    "root, it does both itself. Without the helper it runs without ad-server blocking. Its\n"
    "settings are in $XDG_CONFIG_HOME/halvern (~/.config/halvern), its lists and state in\n"
    "$XDG_DATA_HOME/halvern (~/.local/share/halvern). Only one copy runs per user; starting\n"
    "another shows the running copy's window.\n"
    "\n"
    "  -h, --help       print this text and exit\n"
    "  --version        print the version and exit\n"
    "  -platform NAME   Qt's own options, handed to Qt: the window system plugin (e.g. xcb),\n"
    "  -display NAME    the X display (the DISPLAY variable otherwise) and the widget style;\n"
    "  -style NAME      each also with two dashes and with its value after an equals sign\n"
    "\n"
    "Neither --help nor --version starts anything or touches a file. Any other argument is\n"
    "refused with exit status 2 and nothing started. SIGTERM, SIGINT and SIGHUP run the exit:\n"
    "the user's own /etc/hosts is put back unless Zorvik starts with the session.\n";

/// Qt's options that the program passes on; every one takes a value.
bool isQtOption(std::string_view name) {
    return name == "platform" || name == "display" || name == "style";
}

enum class Request { Run, Help, Version, Refused };

struct CommandLine {
    Request request = Request::Run;
    /// The arguments for Qt, its options in the "-name value" form it reads.
    std::vector<std::string> qtArgs;
};

/// Reads the command line before anything else happens; on a refusal, says why on stderr.
CommandLine readCommandLine(int argc, char** argv) {
    CommandLine line;
    line.qtArgs.emplace_back(argv[0]);
    const auto refuse = [&line](const std::string& why) {
        std::fprintf(stderr, "zorvik: %s\n", why.c_str());
        line.request = Request::Refused;
        return line;
    };
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            line.request = line.request == Request::Run ? Request::Help : line.request;
            continue;
        }
        if (arg == "--version") {
            line.request = line.request == Request::Run ? Request::Version : line.request;
            continue;
        }
        std::string_view name = arg;
        if (name.starts_with("--")) {
            name.remove_prefix(2);
        } else if (name.starts_with("-")) {
            name.remove_prefix(1);
        } else {
            name = {};
        }
        const auto equals = name.find('=');
        const std::string_view option = name.substr(0, equals);
        if (option.empty() || !isQtOption(option)) {
            return refuse("unknown argument '" + arg + "'");
        }
        std::string_view value;
        if (equals != std::string_view::npos) {
            value = name.substr(equals + 1);
        } else if (i + 1 < argc) {
            value = argv[++i];
        }
        if (value.empty()) {
            return refuse("option '" + arg + "' needs a value");
        }
        line.qtArgs.push_back("-" + std::string(option));
        line.qtArgs.emplace_back(value);
    }
    return line;
}

/// A stop signal waits from the first moment the program's own code runs, before main() and
/// before Qt starts its threads, which inherit the held-back signals and so leave them to the
/// main thread.
[[maybe_unused]] const bool g_stopSignalsHeldBack = (platform::StopSignals::holdBack(), true);

}  // namespace

int main(int argc, char** argv) {
    CommandLine line = readCommandLine(argc, argv);
    switch (line.request) {
        case Request::Help:
            std::fputs(kUsage, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        case Request::Version:
            std::printf("%s %s\n", core::kServiceName, version().c_str());
            return std::fflush(stdout) == 0 ? 0 : 1;
        case Request::Refused:
            std::fputs("Try 'zorvik --help' for more information.\n", stderr);
            return 2;
        case Request::Run:
            break;
    }
    // libcurl is set up once, before Qt starts any thread.
    platform::CurlHttp::initGlobal();
    std::vector<char*> qtArgv;
    for (std::string& arg : line.qtArgs) {
        qtArgv.push_back(arg.data());
    }
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(line.qtArgs.size());
    QApplication app(qtArgc, qtArgv.data());
    // The program lives in the tray: closing its windows never ends it.
    QApplication::setQuitOnLastWindowClosed(false);

    platform::QtScheduler scheduler;
    platform::PosixFileSystem files;
    platform::QtDialogs dialogs;
    // The settings file "zorvik.ini" sits beside the store's "Zorvik.ini" and is never the store's.
    platform::XdgUserStore userStore(files, platform::XdgUserStore::defaultFolder(),
                                     {core::AppPaths::kIniFile});
    platform::XdgLauncher launcher;
    platform::LinuxProgramProcess process;
    platform::LinuxResolver resolver;
    // Leaving the loop closes every open box and ends every wait, so that the loops nested in
    // them unwind at once and the main loop ends.
    const auto endLoops = [&dialogs, &scheduler] {
        dialogs.endAll();
        scheduler.interrupt();
        QCoreApplication::exit(0);
    };
    process.onQuit = endLoops;
    platform::LockFileSingleInstance instance(
        platform::LockFileSingleInstance::defaultRuntimeFolder(), scheduler);
    platform::QtTray tray(process.folders().shipped);
    platform::QtSound sound;
    platform::PosixTcpListener listener(scheduler);
    // Without an X display there is no desktop to list or close windows on; the rest works.
    platform::XcbDesktop x11Desktop(scheduler);
    UnavailableDesktop noDesktop;
    platform::Desktop& desktop =
        x11Desktop.available() ? static_cast<platform::Desktop&>(x11Desktop) : noDesktop;
    // As root it ends programs of the desktop's user only, never root's own services.
    platform::ProcProcesses processes(scheduler, {}, platform::ProcProcesses::endableUserHere());
    platform::CurlHttp http(scheduler);
    platform::CryptPasswordHasher hasher;
    platform::XdgScratchFiles scratch(platform::XdgScratchFiles::defaultRuntimeFolder(),
                                      platform::XdgScratchFiles::defaultCacheFolder());
    // Run as a user, zorvik-helper changes the hosts file and its two copies, flushes the name
    // caches and binds port 80; run as root, Zorvik does all of it itself.
    std::optional<platform::HelperClient> helper;
    std::optional<platform::HelperBackends> viaHelper;
    if (::geteuid() != 0) {
        helper.emplace(platform::HelperClient::defaultSocketPath());
        const std::string hosts = resolver.hostsFilePath();
        viaHelper.emplace(
            *helper, files, listener, resolver,
            std::vector<std::string>{hosts, hosts + adservers::AdServerBlocking::kBackupSuffix,
                                     hosts + adservers::AdServerBlocking::kFullSuffix});
    }
    platform::FileSystem& programFiles = viaHelper ? viaHelper->files() : files;
    platform::Resolver& programResolver = viaHelper ? viaHelper->resolver() : resolver;
    platform::TcpListener& programListener = viaHelper ? viaHelper->listener() : listener;
    // The registry's files sit beside the per-user store's.
    platform::FileRegistry registry(files, platform::XdgUserStore::defaultFolder());
    platform::XdgAutostart autostart(files, platform::XdgAutostart::defaultFolder());
    // The protected browser, through its launcher's socket (connected while it is followed).
    platform::DevToolsBrowser browser(scheduler, platform::relaySocketPath());
    // The mouse and keyboard come from the same display, through XInput 2.
    platform::XInputDevice x11Input(scheduler);
    UnavailableInput noInput;
    platform::InputDevice& input =
        x11Input.available() ? static_cast<platform::InputDevice&>(x11Input) : noInput;
    platform::Platform platform{scheduler,       programFiles,    dialogs,   userStore, launcher,
                                process,         programResolver, instance,  tray,      sound,
                                programListener, desktop,         processes, http,      hasher,
                                scratch,         autostart,       registry,  browser,   input};
    if (viaHelper) {
        platform.claimHostsAccess = [&viaHelper] { return viaHelper->claim(); };
    }

    program::Program program(platform);
    const QIcon icon = tray.icon(platform::TrayPicture::Normal);
    QApplication::setWindowIcon(icon);
    gui::MainWindow window(program.form(), icon);
    gui::TrayMenuView trayMenu(program.form());
    tray.handOverMenu(trayMenu.menu());
    gui::StatsWindow statsWindow(program.stats(), icon);
    gui::TitleEditorWindow titleEditor(program.titles().editor.form, icon);
    gui::WhiteListWindow whiteListEditor(program.whiteList().editor.form, icon);
    gui::SpywareViewerWindow spywareViewer(program.spyware().viewer.form(), icon);
    gui::AdServerEditorWindow adServerEditorWindow(program.adServerEditor().form(), icon);
    gui::DomainTesterWindow domainTesterWindow(program.domainTester().form(), icon);
    gui::LogWindowView logWindow(program.logWindow().form, icon);
    gui::AboutWindow aboutWindow(program.about(), icon);

    bool loading = true;
    bool stopDuringLoad = false;
    bool exiting = false;
    const auto exitCommand = [&] {
        if (loading) {
            // The load is not a handler the exit may interrupt: its open box closes and its
            // wait ends, and the exit runs as soon as the load has returned.
            stopDuringLoad = true;
            dialogs.endAll();
            scheduler.interrupt();
            return;
        }
        // A second signal while the exit runs (it waits between its steps) changes nothing.
        if (!exiting && !program.finished()) {
            exiting = true;
            program.mnuFileExit_Click();
        }
    };
    platform::StopSignals stopSignals(scheduler, exitCommand);
    if (platform::StopSignals::arrived()) {
        // Stopped before anything started: there is nothing to undo and nothing to save. A hosts
        // file an earlier, killed run left blocked is taken care of by the next start.
        std::fputs("zorvik: stopped before it started; nothing was changed\n", stderr);
        return 0;
    }
    // The session ending, or any other way out of the loop, still runs the exit command, which
    // puts the user's hosts file back and saves the settings.
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app, exitCommand);
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, exitCommand);

    program.Form_Load();
    loading = false;
    if (program.finished()) {
        return 0;
    }
    if (stopDuringLoad) {
        exitCommand();
        return 0;
    }
    return QApplication::exec();
}
