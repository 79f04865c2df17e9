#pragma once

#include "forms/MainForm.h"

namespace halvern::ui {

/// The hidden way into the developer zone: five double-clicks on Label4 or clicks on the help
/// line let the window grow and show the status log. The zone's "kill exe" (cmdKill) is wired
/// by the spyware scanner, which ends only what its matcher finds.
class DeveloperZone {
public:
    /// Wires Label4's double-click and lblHelpText's click.
    explicit DeveloperZone(forms::MainForm& form);
    ~DeveloperZone();
    DeveloperZone(const DeveloperZone&) = delete;
    DeveloperZone& operator=(const DeveloperZone&) = delete;

    void Label4_DblClick() { countClick(); }
    void lblHelpText_Click() { countClick(); }

    /// Clicks after which the zone opens are those above this count.
    static constexpr int kClosedUpTo = 4;

private:
    void countClick();

    forms::MainForm& m_form;
};

}  // namespace halvern::ui
