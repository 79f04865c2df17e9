#include "popups/BrowserTracker.h"

#include <algorithm>
#include <string>

namespace halvern::popups {

BrowserTracker::BrowserTracker(core::Context& context, core::StatusLog& log, ui::TrayIcon& tray,
                               PopupDecision& decision)
    : m_context(context),
      m_log(log),
      m_tray(tray),
      m_decision(decision),
      m_browser(context.platform.browser) {
    connectEvents();
    // The pages a connected browser has open arrive as registrations.
    m_starting = true;
    m_browser.follow(true);
    m_starting = false;
    RefreshCol();
    m_log.AddToStatus(m_browser.connected() ? browserText() : noBrowserText());
}

BrowserTracker::~BrowserTracker() {
    // Stopping lets every popup still held run: one left held would freeze its page's script.
    m_browser.follow(false);
    disconnectEvents();
    colIE.clear();
    if (m_context.form.chkRunIE.checked()) {
        m_tray.TrayIconDelete();
        m_context.form.frmMain.hide();
    }
}

const std::string& BrowserTracker::noBrowserText() {
    static const std::string text = std::string("No protected browser is connected: start ") +
                                    "\"Chromium (" + core::kServiceName + ")\" to have " +
                                    core::kServiceName + " block its popup windows.";
    return text;
}

const std::string& BrowserTracker::browserText() {
    static const std::string text = std::string("A protected browser is connected: ") +
                                    core::kServiceName + " blocks its unwanted popup windows.";
    return text;
}

void BrowserTracker::say(const std::string& text) {
    // While the tracker starts, the status line keeps what the start-up says.
    if (m_starting) {
        return;
    }
    m_log.AddToStatus(text);
    m_context.form.lblStatus.setCaption(text);
}

void BrowserTracker::connectEvents() {
    platform::Browser& b = m_browser;
    b.onConnected = [this] { say(browserText()); };
    b.onDisconnected = [this] {
        // Its pages went with it.
        RefreshCol();
        say(noBrowserText());
    };
    b.onPageOpened = [this](const platform::BrowserPage& page) { WindowRegistered(page.id); };
    b.onPageClosed = [this](const platform::TargetId& page, bool byUser) {
        PageClosed(page, byUser);
    };
    b.onPopupHeld = [this](const platform::HeldPopup& popup) {
        sinkFor(popup.opener)->NewWindow2(popup);
    };
    b.onNavigationStarted = [this](const platform::PageNavigation& navigation) {
        sinkFor(navigation.page)->BeforeNavigate2(navigation);
    };
    b.onNavigated = [this](const platform::PageNavigation& navigation) {
        sinkFor(navigation.page)->NavigateComplete2(navigation);
    };
    b.onLoaded = [this](const platform::TargetId& page) { sinkFor(page)->DocumentComplete(); };
    b.onLoadingStarted = [this](const platform::TargetId& page) { sinkFor(page)->DownloadBegin(); };
    b.onLoadingStopped = [this](const platform::TargetId& page) {
        sinkFor(page)->DownloadComplete();
    };
    b.onProtocolProblem = [this](const std::string& text) {
        m_log.AddToStatus("# browser: " + text);
    };
}

void BrowserTracker::disconnectEvents() {
    platform::Browser& b = m_browser;
    b.onConnected = nullptr;
    b.onDisconnected = nullptr;
    b.onPageOpened = nullptr;
    b.onPageClosed = nullptr;
    b.onPopupHeld = nullptr;
    b.onNavigationStarted = nullptr;
    b.onNavigated = nullptr;
    b.onLoaded = nullptr;
    b.onLoadingStarted = nullptr;
    b.onLoadingStopped = nullptr;
    b.onProtocolProblem = nullptr;
}

void BrowserTracker::RefreshCol() {
    bRefreshing = true;
    colIE.clear();
    std::int32_t IECount = 0;
    for (const platform::BrowserPage& page : m_browser.pages()) {
        if (!page.browserUi) {
            ++IECount;
        }
        Add(page);
    }
    bRefreshing = false;
    m_log.AddToStatus("# cIEWindows: RefreshCol. Num=" + std::to_string(Count()) +
                      " IECount=" + std::to_string(IECount));
    if (m_context.form.chkRunIE.checked() && IECount == 0) {
        m_log.AddToStatus("# cIEWindows: RefreshCol: Zero IE Windows. Delete Tray Icon.");
        m_tray.TrayIconDelete();
        m_context.form.frmMain.hide();
    }
}

std::shared_ptr<IE_Class> BrowserTracker::Add(const platform::BrowserPage& page) {
    if (page.browserUi) {
        m_log.AddToStatus("# cIEWindows Add WINDOWS explorer (file manager).");
    } else {
        m_log.AddToStatus("# cIEWindows Add INTERNET explorer (IE). ");
        if (m_context.form.chkRunIE.checked()) {
            // The tray icon comes back with the first browser window.
            m_tray.TrayIconOn(false, true);
        }
    }
    auto sink = std::make_shared<IE_Class>(m_decision);
    sink->IEctl(page);
    colIE.push_back(sink);
    return sink;
}

void BrowserTracker::WindowRegistered(const platform::TargetId& lCookie) {
    m_log.AddToStatus("# winShell_Window registered cookie=" + lCookie);
    RefreshCol();
}

void BrowserTracker::WindowRevoked(const platform::TargetId& lCookie) {
    (void)lCookie;
    RefreshCol();
}

IE_Class* BrowserTracker::sink(const platform::TargetId& page) const {
    const auto found =
        std::ranges::find_if(colIE, [&](const auto& each) { return each->page() == page; });
    return found == colIE.end() ? nullptr : found->get();
}

std::shared_ptr<IE_Class> BrowserTracker::sinkFor(const platform::TargetId& page) {
    const auto found =
        std::ranges::find_if(colIE, [&](const auto& each) { return each->page() == page; });
    if (found != colIE.end()) {
        return *found;
    }
    return Add(platform::BrowserPage{page, m_browser.locationUrl(page), "", false});
}

void BrowserTracker::PageClosed(const platform::TargetId& page, bool byUser) {
    if (!byUser) {
        // A popup the program cancelled: never a window of its own, and not the browser
        // closing one, so the closing-window rule does not start.
        std::erase_if(colIE, [&](const auto& sink) { return sink->page() == page; });
        return;
    }
    if (IE_Class* closing = sink(page)) {
        closing->OnQuit();
    } else {
        // A page the browser did not announce closes all the same.
        m_decision.TimerNoNewWindow.setEnabled(true);
    }
    WindowRevoked(page);
}

}  // namespace halvern::popups
