#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A command button.
class Button : public CaptionControl {
public:
    using CaptionControl::CaptionControl;

    /// Bold type on the caption.
    bool bold() const { return m_bold; }
    void setBold(bool bold) { update(m_bold, bold); }

private:
    bool m_bold = false;
};

}  // namespace halvern::forms
