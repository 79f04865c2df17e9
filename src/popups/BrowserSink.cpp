#include "popups/BrowserSink.h"

#include "popups/AddressText.h"

namespace halvern::popups {

namespace {

bool holdsScriptAddress(const std::string& url) {
    std::string lowered = url;
    for (char& c : lowered) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lowered.find("javascript:") != std::string::npos;
}

}  // namespace

IE_Class::IE_Class(PopupDecision& decision) : m_decision(decision) {
    m_decision.log().AddToStatus("# IE_Class Initialize:");
}

IE_Class::~IE_Class() = default;

void IE_Class::IEctl(const platform::BrowserPage& page) {
    m_page = page.id;
    core::StatusLog& log = m_decision.log();
    // What the browser tells of a page: an interface page of its own has no address bar.
    log.AddToStatus("# ---------");
    log.AddToStatus("# app Chromium");
    log.AddToStatus(std::string("# addbar ") + (page.browserUi ? "False" : "True"));
    log.AddToStatus("# fname " + page.id);
    log.AddToStatus("# locname " + shownAddress(page.title));
    log.AddToStatus("# url " + shownAddress(page.url));
    log.AddToStatus(std::string("# type ") + (page.browserUi ? "browser interface" : "web page"));
    log.AddToStatus("# ---------");
}

std::string IE_Class::LocationURL() const {
    return m_decision.browser().locationUrl(m_page);
}

void IE_Class::NewWindow2(const platform::HeldPopup& popup) {
    m_decision.NewWindow2(*this, popup);
}

void IE_Class::BeforeNavigate2(const platform::PageNavigation& navigation) {
    PopupDecision& d = m_decision;
    UserIntent& intent = d.intent();
    core::StatusLog& log = d.log();
    d.TimerIEActive().setEnabled(true);
    // Only the page's own navigation makes it a script link: a frame's does not count.
    if (navigation.topFrame) {
        bNavJava = holdsScriptAddress(navigation.url);
    }
    if (intent.timerClickReset.enabled()) {
        d.gstrPrevIEURLClicked = d.gstrCurIEURLClicked;
        d.gstrCurIEURLClicked = navigation.url;
    } else {
        log.AddToStatus("--- BN2: timerclickReset not enabled. timout=" +
                        std::to_string(intent.timerClickReset.interval()));
    }
    if (d.gstrPrevIEURLClicked == d.gstrCurIEURLClicked) {
        log.AddToStatus("--- BN2: prevClickUrl = curClickUrl");
    }
    intent.setMouseClick(false, "reset: about to navigate");
    const std::string location = LocationURL();
    log.AddToStatus("BN2: nav begin (click reset) to URL '" + shownAddress(navigation.url) +
                    "'. ie.locationurl=" + shownAddress(location));
    d.setCurURL(location);
    bDownloading = true;
}

void IE_Class::NavigateComplete2(const platform::PageNavigation& navigation) {
    m_decision.setCurURL(navigation.url);
    m_decision.intent().setMouseClick(false, "reset: nav complete");
    m_decision.log().AddToStatus("-Nav Complete (click reset) to \r\n    '" +
                                 shownAddress(navigation.url) + "'");
}

void IE_Class::DocumentComplete() {
    const std::string location = LocationURL();
    m_decision.intent().setMouseClick(false, "reset: doc complete");
    m_decision.log().AddToStatus("-doc complete (reset click) to " + shownAddress(location));
    bDownloading = false;
    m_decision.setCurURL(location);
}

void IE_Class::DownloadBegin() {
    m_decision.TimerIEActive().setEnabled(true);
    m_decision.setCurURL(LocationURL());
    bDownloading = true;
}

void IE_Class::DownloadComplete() {
    const std::string location = LocationURL();
    m_decision.log().AddToStatus("download Complete (reset click) to " + shownAddress(location));
    m_decision.setCurURL(location);
    bDownloading = false;
}

void IE_Class::OnQuit() {
    m_decision.TimerNoNewWindow.setEnabled(true);
}

}  // namespace halvern::popups
