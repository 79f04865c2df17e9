#pragma once

#include "core/MainState.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"

namespace halvern::adservers {

/// Counts blocked items, ads and popups alike, and shows the counts on the main window and the
/// statistics window.
class BlockCounter {
public:
    BlockCounter(forms::MainForm& form, core::MainState& state, forms::StatsForm& stats)
        : m_form(form), m_state(state), m_stats(stats) {}

    /// One more item blocked today and to date. The tenth item of the day and every 25th bring
    /// the " Status" tab forward. The argument is kept for the callers' sake and not used.
    void CountBlockedAd(bool bPopupAd);

private:
    forms::MainForm& m_form;
    core::MainState& m_state;
    forms::StatsForm& m_stats;
};

}  // namespace halvern::adservers
