#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace halvern::platform {

/// A root key, by the handle value the registry's callers pass for it.
using RegistryRoot = std::uint32_t;
inline constexpr RegistryRoot HKEY_CURRENT_USER = 0x80000001;
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = 0x80000002;

/// A value's type code: text or a 32-bit number; other codes are kept as they are.
using RegistryType = std::uint32_t;
inline constexpr RegistryType REG_SZ = 1;
inline constexpr RegistryType REG_BINARY = 3;
inline constexpr RegistryType REG_DWORD = 4;

/// A stored value: its type code and its data, byte for byte as written (a text's data holds a
/// terminating NUL only when the writer gave one; a number's is 4 bytes, little-endian).
struct RegistryValue {
    RegistryType type = REG_SZ;
    std::string data;

    friend bool operator==(const RegistryValue&, const RegistryValue&) = default;
};

/// What a removal did.
enum class RegistryRemoval {
    Removed,  ///< it was there and is gone
    Missing,  ///< there was nothing to remove
    Failed,   ///< it could not be removed; error() says why
};

/// A registry of keys and values under the two roots HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE,
/// for the system settings the program switches on the user's behalf. A key path is a
/// backslash-separated path below its root ("Software\Microsoft\Internet Explorer\Main"; "" is
/// the root itself); a value name of "" is the key's default value. Paths and names match
/// without regard to ASCII case and keep the case they were first written with. Other roots,
/// and paths with an empty part, are refused.
class Registry {
public:
    virtual ~Registry() = default;

    /// True when the key exists.
    virtual bool keyExists(RegistryRoot root, const std::string& key) const = 0;
    /// The value, or nothing when it or its key is missing or the root cannot be read.
    virtual std::optional<RegistryValue> value(RegistryRoot root, const std::string& key,
                                               const std::string& name) const = 0;
    /// Creates the key and its parents when missing; false when it could not be stored.
    virtual bool createKey(RegistryRoot root, const std::string& key) = 0;
    /// Stores the value, creating its key when needed; false when it could not be stored.
    virtual bool setValue(RegistryRoot root, const std::string& key, const std::string& name,
                          const RegistryValue& value) = 0;
    /// Deletes one value; the key stays.
    virtual RegistryRemoval removeValue(RegistryRoot root, const std::string& key,
                                        const std::string& name) = 0;
    /// Deletes the key with its values and its subkeys; the root itself cannot be deleted.
    virtual RegistryRemoval removeKey(RegistryRoot root, const std::string& key) = 0;

    /// Why the last change that failed did so, in words a user can act on; empty before any.
    const std::string& error() const { return m_error; }

protected:
    /// Notes why a change failed and returns false.
    bool failed(std::string why) {
        m_error = std::move(why);
        return false;
    }

private:
    std::string m_error;
};

}  // namespace halvern::platform
