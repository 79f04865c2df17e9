#include "adservers/BlockCounter.h"

#include <cstdint>
#include <limits>
#include <string>

namespace halvern::adservers {

namespace {

// The counters stop at their largest value instead of wrapping to a negative count.
std::int32_t plusOne(std::int32_t n) {
    return n < std::numeric_limits<std::int32_t>::max() ? n + 1 : n;
}

}  // namespace

void BlockCounter::CountBlockedAd(bool /*bPopupAd*/) {
    m_state.nBlockedToday = plusOne(m_state.nBlockedToday);
    if (m_state.nBlockedToday == 10 || m_state.nBlockedToday % 25 == 0) {
        m_form.A.setTab(forms::MainForm::kTabStatus);
    }
    m_form.lbltot.setCaption(std::to_string(m_state.nBlockedToday));
    m_stats.setToday(m_state.nBlockedToday);

    m_state.nTotBlocked = plusOne(m_state.nTotBlocked);
    m_form.lblTotBlocked.setCaption(std::to_string(m_state.nTotBlocked));
    m_stats.setLifeTime(m_state.nTotBlocked);
}

}  // namespace halvern::adservers
