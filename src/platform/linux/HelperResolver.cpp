#include "platform/linux/HelperResolver.h"

#include <cstdio>

namespace halvern::platform {

HelperResolver::HelperResolver(Resolver& resolver, HelperConnection& helper)
    : m_resolver(resolver), m_helper(helper) {}

void HelperResolver::flushNameCaches() {
    std::string error;
    if (!m_helper.flushNameCaches(error)) {
        std::fprintf(stderr, "zorvik: zorvik-helper could not flush the name caches: %s\n",
                     error.c_str());
    }
}

}  // namespace halvern::platform
