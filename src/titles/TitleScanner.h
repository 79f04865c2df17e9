#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Timer.h"
#include "popups/BlockedPopupReaction.h"
#include "titles/ScriptErrorDismissal.h"
#include "titles/TitleList.h"
#include "titles/WindowReading.h"

namespace halvern::titles {

/// What the scanner asks of browser popup blocking (the key poll, the white list, the browser's
/// activity). That subsystem fills them; an empty one answers "no" and does nothing.
struct BrowserSignals {
    /// Whether the browser's current page is white-listed.
    std::function<bool()> isCurrentPageWhiteListed;
    /// The key poll.
    std::function<void()> CheckKeys;
    std::function<bool()> IsHotKeyDown;
    /// Recent browser activity or a click: TimerIEActive, TimerLDClick or TimerRDClick running,
    /// or a double click just now.
    std::function<bool()> isBrowserActive;
};

/// Closes windows of any program whose title holds a blocked entry: a fast timer on the main
/// window walks the desktop's windows, each close is recorded in the title ring and reported as
/// a blocked popup, and new, activated or retitled windows are walked at once.
class TitleScanner {
public:
    /// Starts the scan and reset timers; wires their handlers.
    TitleScanner(core::Context& context, core::StatusLog& log, core::BlockedRings& rings,
                 TitleList& list, popups::BlockedPopupReaction& reaction,
                 ScriptErrorDismissal& dismissal);
    TitleScanner(const TitleScanner&) = delete;
    TitleScanner& operator=(const TitleScanner&) = delete;

    /// One scan decision: the gate, the draw (or browser activity), the walk, the error box.
    void TimerCloseByTitle_Timer();
    /// Puts the scan back to 500 ms, then itself to 2 s.
    void TimerResetByTitleTimer_Timer();
    /// Ends the suspension that follows a sub-window close.
    void TimerPopupTitleClosed_Timer();

    /// The gated walk run for a new, activated or retitled window.
    void DoShellWindowEvent();
    /// Starts and stops following the desktop's notifications.
    void installShellHook();
    void removeShellHook();

    /// Walks the top-level windows (and the sub-windows of America Online windows) and asks
    /// those with a blocked title to close.
    void EnumCloseByTitle();
    /// Records one window closed by title: ring, reaction, log, captions.
    void DoBlockedTitlePopup(const std::string& title, const std::string& strFoundSubString,
                             const std::string& strClass);

    /// The entry of the most recent title block; "" before the first.
    const std::string& getLastPopupTitle() const { return strLastPopupTitle; }

    forms::Timer TimerCloseByTitle;
    forms::Timer TimerResetByTitleTimer;
    /// While it runs (2 s after a sub-window close), no window is closed by title.
    forms::Timer TimerPopupTitleClosed;

    std::string strLastPopupTitle;
    /// Title of the window most recently closed by the top-level walk, and its repeats.
    std::string strgLastTitle;
    std::int16_t ngSameLastTitleCount = 0;

    BrowserSignals browser;
    /// A number from 0 to 100; the walk runs without browser activity when it is below 30.
    std::function<int()> draw;

    /// Titles shorter than this (in characters) are never closed.
    static constexpr std::size_t kMinClosedTitle = 6;
    static constexpr int kScanInterval = 500;
    static constexpr int kFastInterval = 50;
    static constexpr int kRepeatInterval = 100;
    static constexpr int kBackOffInterval = 3500;
    static constexpr int kMaxRepeats = 10;

private:
    bool gateOpen(bool whiteListed) const;
    /// What the walk reads of a top-level window: nothing for a hidden, untitled or own one.
    struct Look {
        WindowText read;
        bool subWindows = false;           ///< its sub-windows are looked at
        std::optional<std::string> entry;  ///< the blocked entry its title holds
    };
    std::optional<Look> look(const platform::WindowInfo& window, int ownPid);
    /// Neither suspended after a sub-window close nor asked before.
    bool closable(platform::WindowId window) const;
    /// Whether the walk would close the window or look at its sub-windows; only looks.
    bool mayClose(const platform::WindowInfo& window, int ownPid);
    /// One top-level window; false ends the walk.
    bool closeIfBlocked(const platform::WindowInfo& window, int ownPid);
    void closeChildrenIfBlocked(platform::WindowId parent, int ownPid);
    std::optional<std::string> blockedEntry(const WindowText& read);
    bool alreadyAsked(platform::WindowId window) const;
    /// A new window took the id of one asked before: it has not been asked.
    void forgetAsked(platform::WindowId window);
    /// Asks a window to close and records it when the request went out.
    bool requestClose(platform::WindowId window, const WindowText& read, const std::string& entry);

    core::Context& m_context;
    core::StatusLog& m_log;
    core::BlockedRings& m_rings;
    TitleList& m_list;
    popups::BlockedPopupReaction& m_reaction;
    ScriptErrorDismissal& m_dismissal;
    /// Windows asked to close once already: one that ignores the request is not recorded,
    /// counted and sounded again on every walk. Forgotten once gone, or when a new window gets
    /// the id.
    std::vector<platform::WindowId> m_asked;
    std::vector<platform::WindowId> m_seen;
    /// What a walk that found nothing to do looked at: while the desktop's list, the title list
    /// and the sub-window suspension stay as they were, the next walk would find nothing either.
    struct QuietWalk {
        std::uint64_t generation = 0;
        std::uint64_t loads = 0;
        bool suspended = false;
        bool operator==(const QuietWalk&) const = default;
    };
    std::optional<QuietWalk> m_quiet;
    bool m_walking = false;
    bool m_walkSetInterval = false;
};

}  // namespace halvern::titles
