#pragma once

#include <string>

namespace halvern::platform {

/// Turns a password into the form the per-user store keeps: a salted, deliberately slow hash, so
/// that reading the store does not give the password away. The real one is libxcrypt's
/// yescrypt (CryptPasswordHasher); tests use FakePasswordHasher.
class PasswordHasher {
public:
    virtual ~PasswordHasher() = default;

    /// The stored form of the text, freshly salted; "" when it could not be made.
    virtual std::string hash(const std::string& text) = 0;
    /// True when the text is the password the stored form was made from. Takes the same time
    /// whatever the text; a failure output ("*...") or a malformed stored form never matches.
    virtual bool verify(const std::string& text, const std::string& stored) const = 0;
    /// True when the stored value is a well-formed stored form of this hasher (and not, say, a
    /// password kept in plain text by an older version).
    virtual bool isHash(const std::string& stored) const = 0;
};

}  // namespace halvern::platform
