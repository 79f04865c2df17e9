#include "platform/fake/FakeBrowser.h"

#include <algorithm>

namespace halvern::platform {

void FakeBrowser::follow(bool on) {
    followCalls.push_back(on);
    if (!on) {
        // Stopping lets every held popup run, as the real browser does.
        for (const TargetId& popup : std::vector<TargetId>(held)) {
            allow(popup);
        }
    }
    const bool was = live();
    m_following = on;
    announceIfNew(was);
}

void FakeBrowser::announceIfNew(bool wasLive) {
    if (wasLive || !live()) {
        return;
    }
    if (onConnected) {
        onConnected();
    }
    for (const BrowserPage& page : std::vector<BrowserPage>(m_pages)) {
        if (onPageOpened) {
            onPageOpened(page);
        }
    }
}

std::vector<BrowserPage> FakeBrowser::pages() const {
    return live() ? m_pages : std::vector<BrowserPage>{};
}

std::string FakeBrowser::locationUrl(const TargetId& page) const {
    const auto found = std::find_if(m_pages.begin(), m_pages.end(),
                                    [&](const BrowserPage& p) { return p.id == page; });
    return found == m_pages.end() ? std::string() : found->url;
}

void FakeBrowser::settle(const TargetId& popup) {
    held.erase(std::remove(held.begin(), held.end(), popup), held.end());
}

void FakeBrowser::allow(const TargetId& popup) {
    if (std::find(held.begin(), held.end(), popup) == held.end()) {
        return;
    }
    settle(popup);
    allowed.push_back(popup);
    // An allowed popup becomes a page of its own.
    m_pages.push_back(BrowserPage{popup, "", "", false});
}

void FakeBrowser::cancel(const TargetId& popup) {
    if (std::find(held.begin(), held.end(), popup) == held.end()) {
        return;
    }
    settle(popup);
    cancelled.push_back(popup);
    if (live() && onPageClosed) {
        onPageClosed(popup, false);
    }
}

void FakeBrowser::connect() {
    const bool was = live();
    m_connected = true;
    announceIfNew(was);
}

void FakeBrowser::disconnect() {
    const bool was = live();
    m_connected = false;
    held.clear();
    if (was && onDisconnected) {
        onDisconnected();
    }
}

TargetId FakeBrowser::openPage(const std::string& url, bool browserUi) {
    BrowserPage page{"T" + std::to_string(m_next++), url, "", browserUi};
    m_pages.push_back(page);
    if (live() && onPageOpened) {
        onPageOpened(page);
    }
    return page.id;
}

void FakeBrowser::closePage(const TargetId& page) {
    const auto before = m_pages.size();
    m_pages.erase(std::remove_if(m_pages.begin(), m_pages.end(),
                                 [&](const BrowserPage& p) { return p.id == page; }),
                  m_pages.end());
    if (m_pages.size() != before && live() && onPageClosed) {
        onPageClosed(page, true);
    }
}

TargetId FakeBrowser::openPopup(const TargetId& opener, std::optional<bool> userGesture,
                                const std::string& url) {
    TargetId id = "P" + std::to_string(m_next++);
    held.push_back(id);
    if (live() && onPopupHeld) {
        onPopupHeld(HeldPopup{id, opener, url, userGesture});
    }
    return id;
}

void FakeBrowser::startNavigation(const TargetId& page, const std::string& url, bool topFrame) {
    if (live() && onNavigationStarted) {
        onNavigationStarted(PageNavigation{page, url, topFrame});
    }
}

void FakeBrowser::navigated(const TargetId& page, const std::string& url) {
    for (BrowserPage& p : m_pages) {
        if (p.id == page) {
            p.url = url;
        }
    }
    if (live() && onNavigated) {
        onNavigated(PageNavigation{page, url, true});
    }
}

void FakeBrowser::loaded(const TargetId& page) {
    if (live() && onLoaded) {
        onLoaded(page);
    }
}

void FakeBrowser::loadingStarted(const TargetId& page) {
    if (live() && onLoadingStarted) {
        onLoadingStarted(page);
    }
}

void FakeBrowser::loadingStopped(const TargetId& page) {
    if (live() && onLoadingStopped) {
        onLoadingStopped(page);
    }
}

void FakeBrowser::problem(const std::string& text) {
    if (live() && onProtocolProblem) {
        onProtocolProblem(text);
    }
}

}  // namespace halvern::platform
