#include "ui/DeveloperZone.h"

namespace halvern::ui {

DeveloperZone::DeveloperZone(forms::MainForm& form) : m_form(form) {
    m_form.Label4.onDblClick = [this] { Label4_DblClick(); };
    m_form.lblHelpText.onClick = [this] { lblHelpText_Click(); };
}

DeveloperZone::~DeveloperZone() {
    m_form.Label4.onDblClick = nullptr;
    m_form.lblHelpText.onClick = nullptr;
}

void DeveloperZone::countClick() {
    // The zone opens once and stays open; further clicks change nothing the view shows.
    if (m_form.nDebugClicks > kClosedUpTo) {
        return;
    }
    ++m_form.nDebugClicks;
    if (m_form.nDebugClicks > kClosedUpTo) {
        m_form.developerZoneChanged.emit();
    }
}

}  // namespace halvern::ui
