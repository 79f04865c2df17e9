#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A text label; some labels act as links and raise Click and DblClick.
class Label : public CaptionControl {
public:
    using CaptionControl::CaptionControl;

    bool bold() const { return m_bold; }
    void setBold(bool bold) { update(m_bold, bold); }

    Handler onDblClick;
    void dblClick() {
        if (enabled() && onDblClick) {
            onDblClick();
        }
    }

private:
    bool m_bold = false;
};

}  // namespace halvern::forms
