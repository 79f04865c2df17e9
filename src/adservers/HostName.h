#pragma once

#include "base/HostName.h"

namespace halvern::adservers {

/// The host-name rules sit in base/, where zorvik-helper can use them too.
using base::HostName;

}  // namespace halvern::adservers
