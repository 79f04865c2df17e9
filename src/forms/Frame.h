#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A frame: a caption around a group of controls.
class Frame : public CaptionControl {
public:
    using CaptionControl::CaptionControl;
};

}  // namespace halvern::forms
