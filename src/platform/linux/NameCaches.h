#pragma once

#include "platform/Scheduler.h"

namespace halvern::platform {

/// Makes the machine's resolver caches forget the hosts file: nscd's hosts table and
/// systemd-resolved's cache, where they run. Best effort: each tool gets toolTimeout to answer,
/// and a machine without these caches reads the hosts file afresh anyway. Needs root to reach
/// either daemon, so Zorvik asks zorvik-helper, and only a root Zorvik calls it directly.
void flushSystemNameCaches(Millis toolTimeout);

}  // namespace halvern::platform
