#include "platform/fake/FakeAutostart.h"

namespace halvern::platform {

AutostartResult FakeAutostart::write(const std::string& path, const AutostartEntry& entry) {
    if (!writeFailure.empty()) {
        return {false, writeFailure};
    }
    ++m_writes[path];
    if (!writesVanish) {
        entries[path] = entry;
    }
    return {true, {}};
}

AutostartResult FakeAutostart::remove(const std::string& path) {
    if (!removeFailure.empty()) {
        return {false, removeFailure};
    }
    if (entries.erase(path) == 0) {
        return {false, "No such file or directory"};
    }
    return {true, {}};
}

int FakeAutostart::writes(const std::string& path) const {
    const auto found = m_writes.find(path);
    return found == m_writes.end() ? 0 : found->second;
}

}  // namespace halvern::platform
