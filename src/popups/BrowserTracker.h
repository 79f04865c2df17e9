#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/Context.h"
#include "core/StatusLog.h"
#include "platform/Browser.h"
#include "popups/BrowserSink.h"
#include "popups/PopupDecision.h"
#include "ui/TrayIcon.h"

namespace halvern::popups {

/// Follows the protected browser while popup blocking is on: one sink per page the browser has
/// open, all rebuilt whenever a page opens or closes. Creating it starts following the browser;
/// destroying it stops, which lets every popup still held run, and with "run only with the
/// browser" checked removes the tray icon. Pages of the browser's own interface get a sink but
/// do not count as browser windows.
class BrowserTracker {
public:
    BrowserTracker(core::Context& context, core::StatusLog& log, ui::TrayIcon& tray,
                   PopupDecision& decision);
    ~BrowserTracker();
    BrowserTracker(const BrowserTracker&) = delete;
    BrowserTracker& operator=(const BrowserTracker&) = delete;

    /// Drops every sink and makes one for each page the browser has open now.
    void RefreshCol();
    /// Makes and attaches the sink of one page.
    std::shared_ptr<IE_Class> Add(const platform::BrowserPage& page);
    /// How many sinks there are.
    std::int32_t Count() const { return static_cast<std::int32_t>(colIE.size()); }
    /// A page opened or closed: every sink is made anew.
    void WindowRegistered(const platform::TargetId& lCookie);
    void WindowRevoked(const platform::TargetId& lCookie);

    /// The sink of a page, or none.
    IE_Class* sink(const platform::TargetId& page) const;

    /// True while RefreshCol runs.
    bool bRefreshing = false;

    /// What the status line says while no protected browser is connected, and once one is.
    static const std::string& noBrowserText();
    static const std::string& browserText();

private:
    /// The sink of a page, made now for a page the browser did not announce (a popup that was
    /// allowed), so that every popup is decided on a sink.
    std::shared_ptr<IE_Class> sinkFor(const platform::TargetId& page);
    void PageClosed(const platform::TargetId& page, bool byUser);
    void connectEvents();
    void disconnectEvents();
    void say(const std::string& text);

    core::Context& m_context;
    core::StatusLog& m_log;
    ui::TrayIcon& m_tray;
    PopupDecision& m_decision;
    platform::Browser& m_browser;
    /// One sink per page, in the browser's order; events hold a sink while they run, so a
    /// rebuild inside an event leaves the running one intact.
    std::vector<std::shared_ptr<IE_Class>> colIE;
    bool m_starting = false;
};

}  // namespace halvern::popups
