#include "platform/fake/FakeUserStore.h"

#include <algorithm>
#include <cctype>

namespace halvern::platform {

std::string FakeUserStore::address(const std::string& application, const std::string& section,
                                   const std::string& key) {
    std::string result = application + "\\" + section + "\\" + key;
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

std::optional<std::string> FakeUserStore::get(const std::string& application,
                                              const std::string& section,
                                              const std::string& key) const {
    auto it = m_values.find(address(application, section, key));
    if (it == m_values.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool FakeUserStore::set(const std::string& application, const std::string& section,
                        const std::string& key, const std::string& value) {
    if (readOnly) {
        return false;
    }
    m_values[address(application, section, key)] = value;
    return true;
}

bool FakeUserStore::remove(const std::string& application, const std::string& section,
                           const std::string& key) {
    return !readOnly && m_values.erase(address(application, section, key)) > 0;
}

}  // namespace halvern::platform
