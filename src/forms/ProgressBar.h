#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A progress bar from 0 to max().
class ProgressBar : public Control {
public:
    using Control::Control;

    int max() const { return m_max; }
    void setMax(int max) { update(m_max, max); }
    int value() const { return m_value; }
    void setValue(int value) { update(m_value, value); }

private:
    int m_max = 100;
    int m_value = 0;
};

}  // namespace halvern::forms
