#include "ui/WindowCommands.h"

namespace halvern::ui {

namespace {

/// Runs a seam when it is filled; an empty one leaves its control disabled, so nothing happens.
template <typename... Args>
void run(const std::function<void(Args...)>& seam, Args... args) {
    if (seam) {
        seam(args...);
    }
}

constexpr const char* kLogWindow = "recently-blocked log window";
constexpr const char* kWhiteList = "popup white-list editor";
constexpr const char* kAdServerEditor = "ad-server list editor";
constexpr const char* kTitleEditor = "title list editor";
constexpr const char* kSpywareViewer = "spyware list window";
constexpr const char* kDomainTester = "domain tester";
constexpr const char* kCloseBrowsers = "command to close the browser windows";

}  // namespace

WindowCommands::WindowCommands(core::Context& context, TrayIcon& tray, const WindowSeams& seams)
    : m_form(context.form), m_tray(tray), m_seams(seams) {
    forms::MainForm& f = m_form;
    const WindowSeams& s = m_seams;
    using Controls = std::initializer_list<forms::CaptionControl*>;
    const auto filled = [](const auto& seam) { return [&seam] { return bool(seam); }; };

    add(f.cmdLog, kLogWindow, filled(s.openLogWindow), [&s] { run(s.openLogWindow); });
    for (forms::CaptionControl* c :
         Controls{&f.mnuTrayLastIEPop, &f.cmdAllowIEPop, &f.lblLastIEPop}) {
        add(*c, kWhiteList, filled(s.openWhiteList), [&s] { run(s.openWhiteList); });
    }
    for (forms::CaptionControl* c :
         Controls{&f.lblList, &f.cmdAllow, &f.cmdAddSites, &f.lblAllowServer}) {
        add(*c, kAdServerEditor, filled(s.openAdServerEditor), [&s] { run(s.openAdServerEditor); });
    }
    for (forms::CaptionControl* c : Controls{&f.mnuTrayAllow, &f.mnuTrayBlock}) {
        add(*c, kAdServerEditor, filled(s.openAdServerEditor), [this] { mnuTrayAllow_Click(); });
    }
    for (forms::CaptionControl* c :
         Controls{&f.mnuTrayLastPop, &f.mnuTrayBlockTitle, &f.cmdPopupTitles, &f.cmdAllowTitle,
                  &f.lblLastTitle}) {
        add(*c, kTitleEditor, filled(s.openTitleEditor), [&s] { run(s.openTitleEditor); });
    }
    for (forms::CaptionControl* c : Controls{&f.Label26, &f.cmdSpyWare, &f.lblSpyWare}) {
        add(*c, kSpywareViewer, filled(s.openSpywareViewer), [&s] { run(s.openSpywareViewer); });
    }
    add(f.cmdTestDomains, kDomainTester, filled(s.openDomainTester),
        [&s] { run(s.openDomainTester); });
    add(f.mnuTrayCloseBrowser, kCloseBrowsers, filled(s.closeAllBrowsers),
        [&s] { run(s.closeAllBrowsers); });
    add(f.lblMessengerPops, kTitleEditor, filled(s.blockSpecialTitle),
        [&s] { run<const std::string&>(s.blockSpecialTitle, "Messenger Service"); });
    add(f.lblWebPagePops, kTitleEditor, filled(s.blockSpecialTitle),
        [&s] { run<const std::string&>(s.blockSpecialTitle, "-- Web Page Dialog"); });
}

WindowCommands::~WindowCommands() {
    for (Command& command : m_commands) {
        command.control->onClick = nullptr;
    }
}

void WindowCommands::add(forms::CaptionControl& control, const char* missing,
                         std::function<bool()> filled, std::function<void()> action) {
    control.onClick = std::move(action);
    m_commands.push_back({&control, missing, std::move(filled)});
}

void WindowCommands::applySeams() {
    for (Command& command : m_commands) {
        if (command.filled()) {
            continue;
        }
        // Other code enables some of these controls as things happen (an ad server blocked, a
        // popup blocked); without the seam they would do nothing, so they stay disabled.
        m_unavailable.disable(*command.control, command.missing);
    }
}

void WindowCommands::mnuTrayAllow_Click() {
    m_tray.mnuTraySettings_Click();
    run(m_seams.openAdServerEditor);
}

std::string WindowCommands::unavailableTip(const std::string& ownTip, const std::string& missing) {
    return UnavailableControls::unavailableTip(ownTip, missing);
}

}  // namespace halvern::ui
