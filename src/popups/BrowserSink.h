#pragma once

#include <string>

#include "platform/Browser.h"
#include "popups/PopupDecision.h"

namespace halvern::popups {

/// The sink of one browser page: receives the page's events, keeps the main window's picture of
/// the browser (its current page, its activity, the click state) up to date, and hands the
/// popups the page asks for to the decision. The tracker creates one per page and drops them all
/// whenever a page opens or closes, so its flags start afresh then.
class IE_Class {
public:
    explicit IE_Class(PopupDecision& decision);
    ~IE_Class();
    IE_Class(const IE_Class&) = delete;
    IE_Class& operator=(const IE_Class&) = delete;

    /// Attaches the sink to its page and logs what is known of the page.
    void IEctl(const platform::BrowserPage& page);
    /// The page's address now, "" when the browser does not know it.
    std::string LocationURL() const;

    /// The page asked for a new window.
    void NewWindow2(const platform::HeldPopup& popup);
    /// A navigation of the page or of one of its frames began.
    void BeforeNavigate2(const platform::PageNavigation& navigation);
    /// The page's top frame arrived at an address.
    void NavigateComplete2(const platform::PageNavigation& navigation);
    /// The page's top document finished loading.
    void DocumentComplete();
    /// The page's top frame began and stopped loading.
    void DownloadBegin();
    void DownloadComplete();
    /// The user closed the page.
    void OnQuit();

    /// The page this sink is attached to; "" before IEctl.
    const platform::TargetId& page() const { return m_page; }

    /// The last navigation begun in the page's top frame went to a "javascript:" address.
    bool bNavJava = false;
    /// A navigation or load began and has not completed.
    bool bDownloading = false;

private:
    PopupDecision& m_decision;
    platform::TargetId m_page;
};

}  // namespace halvern::popups
