#include "core/StatusLog.h"

#include <algorithm>

namespace halvern::core {

namespace {

/// The longest prefix of at most limit bytes of text that ends on a character boundary, so a cut
/// never leaves half of a multi-byte character for the view to show.
std::size_t prefixLength(const std::string& text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t n = limit;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) {
        --n;
    }
    return n;
}

}  // namespace

StatusLog::StatusLog(forms::MainForm& form, platform::Scheduler& scheduler)
    : m_form(form), m_scheduler(scheduler) {
    m_form.cmdClear.onClick = [this] { cmdClear_Click(); };
}

void StatusLog::AddToStatus(const std::string& strIn) {
    for (const auto& observer : m_observers) {
        observer(strIn);
    }
    if (!bStatusLogOn) {
        return;
    }
    if (!strIn.empty() && strIn.front() == '#' && !m_form.chkDebug.checked()) {
        return;
    }
    const platform::LocalTime now = m_scheduler.localTime();
    const std::string stamp = std::to_string(now.minute) + ":" + std::to_string(now.second);
    const std::string& old = m_form.txtStatus.text();

    // One buffer, one copy of the kept old text: a burst of lines costs a bounded copy each.
    std::string text;
    text.reserve(std::min(kMaxChars, stamp.size() + 5 + strIn.size() + old.size()));
    text.append(stamp).append(" - ").append(strIn).append("\r\n");
    text.resize(prefixLength(text, kMaxChars));
    text.append(old, 0, prefixLength(old, kMaxChars - text.size()));
    m_form.txtStatus.setText(std::move(text));
}

void StatusLog::cmdClear_Click() {
    bStatusLogOn = true;
    m_form.txtStatus.setText("");
}

}  // namespace halvern::core
