#include "platform/fake/FakePasswordHasher.h"

#include <cstdint>
#include <cstdio>

namespace halvern::platform {

namespace {

const std::string kPrefix = "$fake$";

}  // namespace

std::string FakePasswordHasher::digest(const std::string& salt, const std::string& text) {
    // FNV-1a over salt and text: enough to tell texts apart in tests.
    std::uint64_t h = 14695981039346656037ull;
    for (const std::string* part : {&salt, &text}) {
        for (unsigned char c : *part) {
            h = (h ^ c) * 1099511628211ull;
        }
        h = (h ^ 0xFF) * 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

std::string FakePasswordHasher::hash(const std::string& text) {
    ++hashes;
    if (fails) {
        return {};
    }
    const std::string salt = std::to_string(++m_salt);
    return kPrefix + salt + "$" + digest(salt, text);
}

bool FakePasswordHasher::isHash(const std::string& stored) const {
    if (!stored.starts_with(kPrefix)) {
        return false;
    }
    const auto dollar = stored.find('$', kPrefix.size());
    return dollar != std::string::npos && dollar > kPrefix.size() &&
           stored.size() - dollar - 1 == 16 &&
           stored.find_first_not_of("0123456789", kPrefix.size()) == dollar;
}

bool FakePasswordHasher::verify(const std::string& text, const std::string& stored) const {
    if (!isHash(stored)) {
        return false;
    }
    const auto dollar = stored.find('$', kPrefix.size());
    const std::string salt = stored.substr(kPrefix.size(), dollar - kPrefix.size());
    return stored.substr(dollar + 1) == digest(salt, text);
}

}  // namespace halvern::platform
