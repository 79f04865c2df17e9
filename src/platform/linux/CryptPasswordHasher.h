#pragma once

#include "platform/PasswordHasher.h"

namespace halvern::platform {

/// Passwords as libxcrypt's yescrypt hashes ("$y$..."): a fresh random salt for every hash, about
/// 20 ms per hash or check.
class CryptPasswordHasher final : public PasswordHasher {
public:
    std::string hash(const std::string& text) override;
    bool verify(const std::string& text, const std::string& stored) const override;
    /// A "$y$" setting that libxcrypt accepts, followed by a hash of the right length and
    /// alphabet.
    bool isHash(const std::string& stored) const override;
};

}  // namespace halvern::platform
