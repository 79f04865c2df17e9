#pragma once

#include <cstdint>
#include <string>

#include "forms/Form.h"
#include "forms/Label.h"

namespace halvern::forms {

/// The small statistics window: the counts show in its caption, so on its task-bar button.
struct StatsForm {
    forms::Form frmStats{"frmStats", "Ads 0 : 0"};
    forms::Label lbltot{"lbltot", "0"};
    forms::Label lblTotBlocked{"lblTotBlocked", "0"};
    forms::Label lblTotHosts{"lblTotHosts", "0"};
    forms::Label lblDateUpdate{"lblDateUpdate", "Last Data Update: Never"};
    /// Clicks on "Mini Stats" since the window was last closed.
    int ngClickMiniStatsButton = 0;

    void setToday(std::int32_t n) {
        lbltot.setCaption(std::to_string(n));
        updateCaption();
    }
    void setLifeTime(std::int32_t n) {
        lblTotBlocked.setCaption(std::to_string(n));
        updateCaption();
    }
    void setServers(std::int32_t n) { lblTotHosts.setCaption(std::to_string(n)); }
    void setLastUpdate(const std::string& text) { lblDateUpdate.setCaption(text); }
    /// Closes the window.
    void Form_Unload() {
        ngClickMiniStatsButton = 0;
        frmStats.hide();
    }

private:
    void updateCaption() {
        frmStats.setCaption("Ads " + lbltot.caption() + " : " + lblTotBlocked.caption());
    }
};

}  // namespace halvern::forms
