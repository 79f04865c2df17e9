#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A command button.
class Button : public CaptionControl {
public:
    using CaptionControl::CaptionControl;
};

}  // namespace halvern::forms
