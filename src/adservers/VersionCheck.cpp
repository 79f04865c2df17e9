#include "adservers/VersionCheck.h"

namespace halvern::adservers {

namespace {

const std::string kCrLf = "\r\n";
const std::string kN = core::kServiceName;
constexpr int kVersionTimeout = 15;
/// The label in front of the version number.
constexpr std::size_t kLabelSize = 8;
constexpr std::size_t kMaxDigits = 9;

bool isVersionCharacter(char c) {
    return (c >= '0' && c <= '9') || c == '.';
}

std::string trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return std::string(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

}  // namespace

VersionCheck::VersionCheck(core::Context& context, UpdateFetch& fetch, std::string runningVersion,
                           std::function<void()> exitProgram)
    : m_dialogs(context.platform.dialogs),
      m_launcher(context.platform.launcher),
      m_state(context.state),
      m_form(context.form),
      m_fetch(fetch),
      m_runningVersion(std::move(runningVersion)),
      m_exitProgram(std::move(exitProgram)) {
    m_form.mnuVersion.onClick = [this] { mnuVersion_Click(); };
    m_form.cmdNew.onClick = [this] { cmdNew_Click(); };
}

std::optional<std::array<long, 3>> VersionCheck::parseVersion(std::string_view text) {
    std::array<long, 3> numbers{};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        std::size_t digits = 0;
        long value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
            if (++digits > kMaxDigits) {
                return std::nullopt;
            }
            value = value * 10 + (text[pos++] - '0');
        }
        if (digits == 0) {
            return std::nullopt;
        }
        numbers[i] = value;
        if (i + 1 < numbers.size()) {
            if (pos >= text.size() || text[pos] != '.') {
                return std::nullopt;
            }
            ++pos;
        }
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    return numbers;
}

VersionCheck::Info VersionCheck::GetNewVersionInfo() {
    Info info;
    info.current = m_runningVersion;
    info.newest = info.current;
    info.features = kUnavailable;
    std::string errorText;
    const std::string body =
        m_fetch.FetchURL(m_fetch.serverUrl(kVersionPath), kVersionTimeout, errorText);
    if (body.size() <= kLabelSize) {
        return info;
    }
    // The label, then the version number, one separator and the features. Only a number of the
    // form d.d.d counts: an error page or any other text offers nothing.
    std::size_t end = kLabelSize;
    while (end < body.size() && isVersionCharacter(body[end])) {
        ++end;
    }
    const std::string newest = body.substr(kLabelSize, end - kLabelSize);
    const auto newestNumbers = parseVersion(newest);
    const auto currentNumbers = parseVersion(trimmed(info.current));
    if (!newestNumbers || !currentNumbers) {
        return info;
    }
    std::size_t features = end + 1;
    if (end < body.size() && body.compare(end, 2, kCrLf) == 0) {
        features = end + 2;
    }
    info.newest = newest;
    info.features = features < body.size() ? body.substr(features) : std::string();
    info.isLatest = !(*currentNumbers < *newestNumbers);
    return info;
}

void VersionCheck::mnuVersion_Click() {
    Info info;
    {
        // The job ends with the download: a box leaves the way open for others.
        UpdateFetch::Job job(m_fetch);
        if (!job.started()) {
            m_form.lblStatus.setCaption(UpdateFetch::kBusyText);
            return;
        }
        info = GetNewVersionInfo();
    }
    if (m_state.bExiting) {
        return;
    }
    if (info.isLatest) {
        m_dialogs.messageBox("You have the latest version (" + info.current +
                                 ").  It has these features that the previous version did not:" +
                                 kCrLf + info.features,
                             kN, platform::BoxButtons::Ok, platform::BoxIcon::None);
        return;
    }
    const platform::BoxAnswer answer = m_dialogs.messageBox(
        "The newer version (" + info.newest + ") of " + kN + "  is available. " +
            "You have version (" + info.current + ")" + kCrLf + info.features + kCrLf + kCrLf +
            "Would you like to download this version now?" + kCrLf + kProductSite + "download.asp",
        "A New Version is Available", platform::BoxButtons::YesNo, platform::BoxIcon::None);
    if (answer != platform::BoxAnswer::Yes || m_state.bExiting) {
        return;
    }
    m_launcher.openUrl(installerUrl());
    if (m_exitProgram) {
        m_exitProgram();
    }
}

void VersionCheck::cmdNew_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    mnuVersion_Click();
}

std::string VersionCheck::installerUrl() const {
    std::string name = trimmed(kN);
    for (char& c : name) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return updateServer(m_state) + "/files/" + name + ".exe";
}

}  // namespace halvern::adservers
