#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Browser.h"

namespace halvern::platform {

/// A scripted browser: tests open pages, ask for popups and navigate, and read which popups the
/// program allowed and cancelled. Events reach the program only while it follows and the browser
/// is connected, as from the real one.
class FakeBrowser final : public Browser {
public:
    bool connected() const override { return m_connected && m_following; }
    void follow(bool on) override;
    std::vector<BrowserPage> pages() const override;
    std::string locationUrl(const TargetId& page) const override;
    void allow(const TargetId& popup) override;
    void cancel(const TargetId& popup) override;

    /// A browser connects (its open pages are announced) or goes away (held popups with it).
    void connect();
    void disconnect();
    /// The user opens a page; returns its id.
    TargetId openPage(const std::string& url, bool browserUi = false);
    /// The user closes a page.
    void closePage(const TargetId& page);
    /// A page asks for a new window; returns the held popup's id.
    TargetId openPopup(const TargetId& opener, std::optional<bool> userGesture = std::nullopt,
                       const std::string& url = "");
    /// A navigation begins in the page's top frame (or a frame), then arrives.
    void startNavigation(const TargetId& page, const std::string& url, bool topFrame = true);
    void navigated(const TargetId& page, const std::string& url);
    void loaded(const TargetId& page);
    void loadingStarted(const TargetId& page);
    void loadingStopped(const TargetId& page);
    /// A message the program could not use.
    void problem(const std::string& text);

    /// Popups waiting for a decision, and those decided, in order.
    std::vector<TargetId> held;
    std::vector<TargetId> allowed;
    std::vector<TargetId> cancelled;
    /// Every follow(true) and follow(false), in order.
    std::vector<bool> followCalls;

private:
    bool live() const { return m_connected && m_following; }
    /// Announces the connection and the open pages when the browser has just become live.
    void announceIfNew(bool wasLive);
    void settle(const TargetId& popup);
    bool m_connected = false;
    bool m_following = false;
    std::vector<BrowserPage> m_pages;
    int m_next = 1;
};

}  // namespace halvern::platform
