#include "platform/linux/CryptPasswordHasher.h"

#include <crypt.h>

#include <cstring>
#include <memory>

namespace halvern::platform {

namespace {

const std::string kPrefix = "$y$";
/// yescrypt's hash part: 256 bits in crypt's base-64 alphabet.
constexpr std::size_t kHashChars = 43;

bool isCryptBase64(const std::string& text) {
    return text.find_first_not_of(
               "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") ==
           std::string::npos;
}

/// crypt_rn over a zeroed work area of its own: the result, or "" for a failure output.
std::string cryptText(const std::string& text, const std::string& setting) {
    // The work area is about 32 KiB: too large for the stack of a handler.
    auto data = std::make_unique<crypt_data>();
    std::memset(data.get(), 0, sizeof(crypt_data));
    const char* out = ::crypt_rn(text.c_str(), setting.c_str(), data.get(), sizeof(crypt_data));
    // A failure is a null pointer or, depending on the build, an output starting with "*".
    std::string result = out && out[0] != '*' ? std::string(out) : std::string();
    std::memset(data.get(), 0, sizeof(crypt_data));
    return result;
}

}  // namespace

std::string CryptPasswordHasher::hash(const std::string& text) {
    // A text with a NUL byte would be hashed only up to it.
    if (text.find('\0') != std::string::npos) {
        return {};
    }
    char setting[CRYPT_GENSALT_OUTPUT_SIZE];
    // A null random source makes libxcrypt take the salt from the system's random source;
    // count 0 is its default cost.
    if (!::crypt_gensalt_rn(kPrefix.c_str(), 0, nullptr, 0, setting, sizeof setting)) {
        return {};
    }
    std::string stored = cryptText(text, setting);
    return isHash(stored) ? stored : std::string();
}

bool CryptPasswordHasher::verify(const std::string& text, const std::string& stored) const {
    if (!isHash(stored) || text.find('\0') != std::string::npos) {
        return false;
    }
    const std::string computed = cryptText(text, stored);
    if (computed.size() != stored.size()) {
        return false;
    }
    // Every byte is compared, so the time taken says nothing about where they differ.
    unsigned char difference = 0;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        difference |= static_cast<unsigned char>(computed[i] ^ stored[i]);
    }
    return difference == 0;
}

bool CryptPasswordHasher::isHash(const std::string& stored) const {
    if (!stored.starts_with(kPrefix)) {
        return false;
    }
    const auto last = stored.rfind('$');
    if (last == std::string::npos || last < kPrefix.size() ||
        stored.size() - last - 1 != kHashChars) {
        return false;
    }
    const std::string setting = stored.substr(0, last);
    const std::string hashPart = stored.substr(last + 1);
    // "$y$" parameters "$" salt: both parts present, in crypt's alphabet.
    const auto saltDollar = setting.find('$', kPrefix.size());
    if (saltDollar == std::string::npos || saltDollar == kPrefix.size() ||
        saltDollar + 1 >= setting.size() || !isCryptBase64(hashPart) ||
        !isCryptBase64(setting.substr(kPrefix.size(), saltDollar - kPrefix.size())) ||
        !isCryptBase64(setting.substr(saltDollar + 1))) {
        return false;
    }
    return ::crypt_checksalt(setting.c_str()) == CRYPT_SALT_OK;
}

}  // namespace halvern::platform
