#include "popups/HotKeys.h"

namespace halvern::popups {

HotKeys::HotKeys(core::Context& context, adservers::PlaceholderServer& server)
    : m_context(context), m_server(server) {}

HotKeys::~HotKeys() = default;

void HotKeys::functionKeyPass() {}

void HotKeys::pauseWebServer(bool) {}

}  // namespace halvern::popups
