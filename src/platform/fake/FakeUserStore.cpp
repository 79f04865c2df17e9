#include "platform/fake/FakeUserStore.h"

#include <algorithm>
#include <cctype>

namespace halvern::platform {

namespace {

bool holdsLineBreak(const std::string& text) {
    return text.find_first_of("\r\n") != std::string::npos;
}

std::string lowerCase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    });
    return text;
}

std::string trimBlanks(const std::string& text) {
    const auto begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) {
        return {};
    }
    return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

}  // namespace

std::optional<FakeUserStore::Address> FakeUserStore::address(const std::string& application,
                                                             const std::string& section,
                                                             const std::string& key) {
    // The real store keeps one INI file per application and reads names with the INI rules.
    const std::string sectionName = trimBlanks(section);
    const std::string keyName = trimBlanks(key);
    if (application.empty() || application == "." || application == ".." ||
        application.find('/') != std::string::npos || holdsLineBreak(application) ||
        sectionName.empty() || keyName.empty() || holdsLineBreak(section) || holdsLineBreak(key) ||
        section.find(']') != std::string::npos || key.find('=') != std::string::npos ||
        keyName.front() == '[' || keyName.front() == ';' || sectionName.front() == '[' ||
        sectionName.front() == ';') {
        return std::nullopt;
    }
    return Address{lowerCase(application), lowerCase(sectionName), lowerCase(keyName)};
}

std::optional<std::string> FakeUserStore::get(const std::string& application,
                                              const std::string& section,
                                              const std::string& key) const {
    const auto at = address(application, section, key);
    auto it = at ? m_values.find(*at) : m_values.end();
    if (it == m_values.end()) {
        return std::nullopt;
    }
    return it->second;
}

bool FakeUserStore::set(const std::string& application, const std::string& section,
                        const std::string& key, const std::string& value) {
    const auto at = address(application, section, key);
    if (readOnly || !at || holdsLineBreak(value)) {
        return false;
    }
    m_values[*at] = value;
    return true;
}

bool FakeUserStore::remove(const std::string& application, const std::string& section,
                           const std::string& key) {
    const auto at = address(application, section, key);
    return !readOnly && at && m_values.erase(*at) > 0;
}

}  // namespace halvern::platform
