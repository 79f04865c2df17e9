#include "titles/TitleScanner.h"

#include <algorithm>
#include <cmath>
#include <random>

#include "base/ValueConversion.h"
#include "core/TimeStamp.h"
#include "titles/TitleText.h"

namespace halvern::titles {

namespace {

bool ask(const std::function<bool()>& signal) {
    return signal && signal();
}

/// The old generator's draw: a fraction times 100, rounded half to even.
std::function<int()> clockDraw() {
    return [rng = std::minstd_rand(std::random_device{}())]() mutable {
        std::uniform_real_distribution<double> fraction(0.0, 1.0);
        return static_cast<int>(std::nearbyint(fraction(rng) * 100.0));
    };
}

}  // namespace

TitleScanner::TitleScanner(core::Context& context, core::StatusLog& log, core::BlockedRings& rings,
                           TitleList& list, popups::BlockedPopupReaction& reaction,
                           ScriptErrorDismissal& dismissal)
    : TimerCloseByTitle(context.platform.scheduler, "TimerCloseByTitle", kScanInterval, true),
      TimerResetByTitleTimer(context.platform.scheduler, "TimerResetByTitleTimer", 1000, true),
      TimerPopupTitleClosed(context.platform.scheduler, "TimerPopupTitleClosed", 2000, false),
      draw(clockDraw()),
      m_context(context),
      m_log(log),
      m_rings(rings),
      m_list(list),
      m_reaction(reaction),
      m_dismissal(dismissal) {
    TimerCloseByTitle.onTimer = [this] { TimerCloseByTitle_Timer(); };
    TimerResetByTitleTimer.onTimer = [this] { TimerResetByTitleTimer_Timer(); };
    TimerPopupTitleClosed.onTimer = [this] { TimerPopupTitleClosed_Timer(); };
}

bool TitleScanner::gateOpen(bool whiteListed) const {
    return m_context.form.chkIEPops.checked() && !m_context.state.bTempPopsAllowed &&
           !ask(browser.IsHotKeyDown) && !whiteListed;
}

void TitleScanner::TimerCloseByTitle_Timer() {
    // A second copy asks this one to show itself through the single-instance socket, not
    // through a window: there is no such window to look for here.
    const bool whiteListed = ask(browser.isCurrentPageWhiteListed);
    if (browser.CheckKeys) {
        browser.CheckKeys();
    }
    if (!gateOpen(whiteListed)) {
        return;
    }
    const int drawn = draw ? draw() : 100;
    const bool active = ask(browser.isBrowserActive);
    m_walkSetInterval = false;
    if (active || drawn < 30) {
        EnumCloseByTitle();
    }
    if (active) {
        m_dismissal.mySimulateButtonClick("Error", "&No");
    }
    // A back-off the walk asked for lasts; otherwise the scan goes fast.
    if (!m_walkSetInterval) {
        TimerCloseByTitle.setInterval(kFastInterval);
    }
}

void TitleScanner::TimerResetByTitleTimer_Timer() {
    TimerCloseByTitle.setInterval(kScanInterval);
    TimerResetByTitleTimer.setInterval(2000);
}

void TitleScanner::TimerPopupTitleClosed_Timer() {
    TimerPopupTitleClosed.setEnabled(false);
}

void TitleScanner::DoShellWindowEvent() {
    if (gateOpen(ask(browser.isCurrentPageWhiteListed))) {
        EnumCloseByTitle();
    }
}

void TitleScanner::installShellHook() {
    platform::Desktop& desktop = m_context.platform.desktop;
    const auto event = [this](platform::WindowId) { DoShellWindowEvent(); };
    desktop.onCreated = [this](platform::WindowId window) {
        forgetAsked(window);
        DoShellWindowEvent();
    };
    desktop.onActivated = event;
    // A page that retitles its window after it opened is caught at once as well.
    desktop.onTitleChanged = event;
    desktop.follow(true);
}

void TitleScanner::removeShellHook() {
    platform::Desktop& desktop = m_context.platform.desktop;
    desktop.follow(false);
    desktop.onCreated = nullptr;
    desktop.onActivated = nullptr;
    desktop.onTitleChanged = nullptr;
}

void TitleScanner::EnumCloseByTitle() {
    // A notification handled inside a walk (a box pumps the loop) does not start a second one.
    if (m_walking) {
        return;
    }
    const QuietWalk now{m_context.platform.desktop.generation(), m_list.loads(),
                        TimerPopupTitleClosed.enabled()};
    if (m_quiet == now) {
        return;  // most ticks: nothing changed since a walk that found nothing to close
    }
    m_walking = true;
    const int ownPid = m_context.platform.processes.ownPid();
    m_seen.clear();
    bool complete = true;
    // Mostly nothing on the desktop is to be closed, and a look at the desktop's own list says so
    // without copying it. A close or a box may change that list, so a walk that acts walks a copy.
    const std::vector<platform::WindowInfo>& live = m_context.platform.desktop.windows();
    if (std::ranges::none_of(live, [&](const auto& window) { return mayClose(window, ownPid); })) {
        for (const platform::WindowInfo& window : live) {
            m_seen.push_back(window.id);
        }
        m_quiet = now;
    } else {
        m_quiet.reset();
        const std::vector<platform::WindowInfo> windows = live;
        for (const platform::WindowInfo& window : windows) {
            if (!closeIfBlocked(window, ownPid)) {
                complete = false;
                break;
            }
        }
    }
    if (complete && !m_asked.empty()) {
        // Forget the windows that are gone; an id the desktop reuses is a new window.
        std::erase_if(m_asked, [this](platform::WindowId id) {
            return std::ranges::find(m_seen, id) == m_seen.end();
        });
    }
    m_walking = false;
}

std::optional<std::string> TitleScanner::blockedEntry(const WindowText& read) {
    if (!read.isTitle || countCharacters(read.text) < kMinClosedTitle) {
        return std::nullopt;
    }
    return m_list.IsInPopupList(read.text, m_context.platform.desktop.generation());
}

void TitleScanner::forgetAsked(platform::WindowId window) {
    // A program that ended frees its window's id, and the next program to connect often gets
    // the same one: a window new with that id is not the one asked, even when no walk saw the
    // id gone. A walk that found nothing is no longer the answer for it.
    m_dismissal.forgetWindow(window);
    if (std::erase(m_asked, window) > 0) {
        m_quiet.reset();
    }
}

bool TitleScanner::alreadyAsked(platform::WindowId window) const {
    return std::ranges::find(m_asked, window) != m_asked.end();
}

std::optional<TitleScanner::Look> TitleScanner::look(const platform::WindowInfo& window,
                                                     int ownPid) {
    if (!window.visible || isOwnWindow(window, ownPid)) {
        return std::nullopt;
    }
    Look seen{GetWindowTitleOrClass(window), false, std::nullopt};
    if (!seen.read.isTitle) {
        return std::nullopt;
    }
    seen.subWindows = contains(seen.read.text, "America") && contains(seen.read.text, "Online");
    // A browser's main window bears its active tab's title: closing it would close every tab.
    if (!isBrowserMainWindow(window)) {
        seen.entry = blockedEntry(seen.read);
    }
    return seen;
}

bool TitleScanner::closable(platform::WindowId window) const {
    return !TimerPopupTitleClosed.enabled() && !alreadyAsked(window);
}

bool TitleScanner::mayClose(const platform::WindowInfo& window, int ownPid) {
    const std::optional<Look> seen = look(window, ownPid);
    return seen && (seen->subWindows || (seen->entry && closable(window.id)));
}

bool TitleScanner::closeIfBlocked(const platform::WindowInfo& window, int ownPid) {
    m_seen.push_back(window.id);
    const std::optional<Look> seen = look(window, ownPid);
    if (!seen) {
        return true;
    }
    if (seen->subWindows) {
        closeChildrenIfBlocked(window.id, ownPid);
    }
    // After the sub-windows: closing one of them suspends closing for a while.
    if (!seen->entry || !closable(window.id)) {
        return true;
    }
    const WindowText& read = seen->read;
    const std::string& entry = *seen->entry;
    if (read.text == strgLastTitle) {
        ++ngSameLastTitleCount;
        m_walkSetInterval = true;
        if (ngSameLastTitleCount > kMaxRepeats) {
            // The same popup keeps coming back: give it a rest instead of fighting it.
            ngSameLastTitleCount = 0;
            TimerCloseByTitle.setInterval(kBackOffInterval);
            return false;
        }
        TimerCloseByTitle.setInterval(kRepeatInterval);
    }
    if (requestClose(window.id, read, entry)) {
        strgLastTitle = read.text;
    }
    return true;
}

void TitleScanner::closeChildrenIfBlocked(platform::WindowId parent, int ownPid) {
    for (const platform::WindowInfo& child : m_context.platform.desktop.children(parent)) {
        m_seen.push_back(child.id);
        if (!child.visible || isOwnWindow(child, ownPid)) {
            continue;
        }
        const WindowText read = GetWindowTitleOrClass(child);
        const std::optional<std::string> entry = blockedEntry(read);
        if (!entry || !closable(child.id)) {
            continue;
        }
        if (requestClose(child.id, read, *entry)) {
            TimerPopupTitleClosed.setEnabled(true);
        }
    }
}

bool TitleScanner::requestClose(platform::WindowId window, const WindowText& read,
                                const std::string& entry) {
    m_asked.push_back(window);
    switch (m_context.platform.desktop.requestClose(window)) {
        case platform::CloseResult::Requested:
            DoBlockedTitlePopup(read.text, entry, read.className);
            return true;
        case platform::CloseResult::NotAccepted:
            // Only a polite request is ever made; a window that takes none stays, unrecorded.
            m_log.AddToStatus("#Window '" + read.text + "' takes no close request; left open");
            return false;
        case platform::CloseResult::Gone:
            return false;
    }
    return false;
}

void TitleScanner::DoBlockedTitlePopup(const std::string& title,
                                       const std::string& strFoundSubString,
                                       const std::string& strClass) {
    m_rings.cycTitles.PutItem(core::GetTimeStamp(m_context.platform.scheduler) + " found '" +
                              strFoundSubString + "' within Window Title '" + title + "'");
    const std::string text =
        "User Defined Popup Blocked (sub window) '" + title + "' '" + strClass + "'";
    m_reaction.DoBlockedPopup(text);
    m_log.AddToStatus(text);
    const std::string allow = "Allow Popup '" + strFoundSubString + "' from now on...";
    forms::MainForm& form = m_context.form;
    const auto key = base::ValueConversion::toInt32(m_context.state.ngBlockByTitle);
    form.mnuTrayLastPop.setCaption(key && *key > 0 ? "F" + std::to_string(*key) + allow
                                                   : "-- " + allow);
    form.mnuTrayLastPop.setEnabled(true);
    form.lblLastTitle.setCaption(allow);
    form.lblLastTitle1.setCaption("A Popup Window was closed that contained '" + strFoundSubString +
                                  "' in the Window Title.");
    strLastPopupTitle = strFoundSubString;
}

}  // namespace halvern::titles
