#pragma once

#include <string>

#include "adservers/AdServerBlocking.h"
#include "adservers/BlockCounter.h"
#include "adservers/PlaceholderServer.h"
#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/Settings.h"
#include "core/StatusLog.h"
#include "ui/HelpLine.h"

namespace halvern::testing {

/// The shared things and the main-window services of the program around a platform whose
/// backends the test chooses (the fakes, or some real ones): what a subsystem is built from.
struct ProgramParts {
    ProgramParts(platform::Platform& platform, core::AppPaths appPaths)
        : paths(std::move(appPaths)), context{platform, state, form, stats, paths} {}

    core::MainState state;
    forms::MainForm form;
    forms::StatsForm stats;
    core::AppPaths paths;
    core::Context context;
    core::StatusLog log{form, context.platform.scheduler};
    core::BlockedRings rings{context.platform.dialogs};
    ui::HelpLine help{context.platform.scheduler, form};
    core::Settings settings{context, {}};
    adservers::BlockCounter counter{form, state, stats};
};

}  // namespace halvern::testing
