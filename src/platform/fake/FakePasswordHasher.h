#pragma once

#include <string>

#include "platform/PasswordHasher.h"

namespace halvern::platform {

/// A fast, deterministic stand-in for the slow hash: "$fake$<salt>$<digest>", the salt counting
/// up from 1 so that two hashes of one text differ, as real salted hashes do.
class FakePasswordHasher final : public PasswordHasher {
public:
    std::string hash(const std::string& text) override;
    bool verify(const std::string& text, const std::string& stored) const override;
    bool isHash(const std::string& stored) const override;

    /// When set, hash() fails and returns "".
    bool fails = false;
    /// Number of hash() calls, failed ones included.
    int hashes = 0;

private:
    static std::string digest(const std::string& salt, const std::string& text);
    int m_salt = 0;
};

}  // namespace halvern::platform
