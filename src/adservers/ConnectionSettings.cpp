#include "adservers/ConnectionSettings.h"

namespace halvern::adservers {

namespace {

const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;

}  // namespace

ConnectionSettings::ConnectionSettings(core::Context& context, UpdateFetch& fetch,
                                       BrowserProxy browserProxy)
    : m_http(context.platform.http),
      m_dialogs(context.platform.dialogs),
      m_state(context.state),
      m_form(context.form),
      m_fetch(fetch),
      m_browserProxy(std::move(browserProxy)) {
    m_form.mnuTest.onClick = [this] { mnuTest_Click(); };
    m_form.cmdTestConn.onClick = [this] { mnuTest_Click(); };
    m_form.cmdGuessProxy2.onClick = [this] { cmdGuessProxy2_Click(); };
    m_form.txtProxyName.onChange = [this] { txtProxyName_Change(); };
    m_form.cmdTestConn.setToolTip(
        "Just tests to make sure you are able to connect and download ad blocking data from the "
        "Internet Ad Blocking Data Site.");
    m_form.cmdGuessProxy2.setToolTip(
        "Click here if you use Internet Explorer.  It should correctly read in the proxy server "
        "information you have configured.  if " +
        kN +
        " complains about connection errors, clear out the proxy server name and save the "
        "program settings and try it that way (with no proxy server name).");
}

void ConnectionSettings::applyProxy() {
    m_http.setProxy(proxySetting(m_state.ProxyName, m_state.ProxyPort));
}

void ConnectionSettings::mnuTest_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    // A download under way keeps the connection: the test waits for another click.
    if (m_fetch.busy()) {
        m_form.lblStatus.setCaption(UpdateFetch::kBusyText);
        return;
    }
    m_form.A.setTab(forms::MainForm::kTabStartup);
    m_form.lblStatus.setCaption("Testing Connection to " + kN + " . Please wait...");
    const bool viaProxy = !m_form.txtProxyName.text().empty();
    if (!viaProxy) {
        m_form.lblStatus.setCaption(
            "Testing Connection to " + kN +
            "  ad definitions site  (no proxy server used). Please wait...");
    }
    std::string errorText;
    std::string body;
    {
        // The job ends with the download: the box leaves the way open for others.
        UpdateFetch::Job job(m_fetch);
        body = m_fetch.FetchURL(m_fetch.serverUrl(kDomainsPath), 20, errorText);
    }
    if (m_state.bExiting) {
        return;
    }
    if (!viaProxy) {
        m_dialogs.messageBox(body.empty() ? failureText(errorText) : successText(), kN,
                             platform::BoxButtons::Ok, platform::BoxIcon::None);
        if (m_state.bExiting) {
            return;
        }
    }
    m_form.lblStatus.setCaption("Connection Tests Concluded.");
}

void ConnectionSettings::cmdGuessProxy2_Click() {
    const std::string proxy = m_browserProxy ? m_browserProxy() : std::string();
    if (proxy.empty()) {
        m_form.cmdGuessProxy2.setVisible(false);
    } else {
        m_form.txtProxyName.setText(proxy);
    }
}

void ConnectionSettings::txtProxyName_Change() {
    // The load fills the field from the settings: that is no change of the user's.
    if (m_state.bLoadingSettings) {
        return;
    }
    m_form.lblStatus.setCaption(
        "Proxy settings will only take effect when you RESTART " + kN + " . " + kCrLf + kCrLf +
        "When you're done typing in the proxy server name: " + kCrLf + "--1) Close " + kN + "  " +
        kCrLf + "--2) Restart " + kN + "  " + kCrLf + "--3) Choose Settings-Test Connection to " +
        kN + "  to test your Proxy Server Name settings.");
}

std::string ConnectionSettings::successText() {
    return "The test was a success. " + kN +
           "  was able to connect to the internet (no proxy server used).";
}

std::string ConnectionSettings::failureText(const std::string& errorText) {
    // The error number is always 0: the fetch clears the error it ends with.
    return kCrLf + "0" + kCrLf + "The test of your internet connection failed." + kCrLf +
           "Reason: " + errorText + kCrLf + kCrLf +
           "Are you sure you're connected to the internet?" + kCrLf + kCrLf +
           "If you use Window ME or NT, some users can't connect. " +
           "In this case, simply download the latest version at any time to get the latest "
           "updates.";
}

}  // namespace halvern::adservers
