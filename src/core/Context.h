#pragma once

#include "core/AppPaths.h"
#include "core/MainState.h"
#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "platform/Platform.h"

namespace halvern::core {

/// The shared things of the running program, handed in one piece to every main-window service
/// and subsystem that needs more than one of them: the platform, the shared state, the window
/// models and the paths. Program owns what it refers to and outlives every holder.
///
/// A class takes the Context plus direct references to the services below it that it calls
/// (the status log, the help line, the settings, another subsystem); a callback is used only
/// where a call would point up a layer (the settings asking the tray icon to show the window).
struct Context {
    platform::Platform& platform;
    MainState& state;
    forms::MainForm& form;
    forms::StatsForm& stats;
    AppPaths& paths;
};

}  // namespace halvern::core
