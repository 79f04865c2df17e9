#pragma once

#include <cstdint>
#include <string>

#include "platform/Registry.h"

namespace halvern::system {

// The registry helpers the system options use. Each does one thing and gives the documented
// empty result on any failure; the writers also say whether the change was stored, and the
// registry's error() says why one was not.

/// The text value, without a terminating NUL (and only a NUL is dropped): "" when the key is
/// missing, `fallback` when the value is missing, not text, or over 10000 bytes.
std::string GetRegString(platform::Registry& registry, platform::RegistryRoot root,
                         const std::string& key, const std::string& name,
                         const std::string& fallback);
/// Stores the text as REG_SZ with a terminating NUL, creating the key; true when stored.
bool SetRegString(platform::Registry& registry, platform::RegistryRoot root, const std::string& key,
                  const std::string& name, const std::string& text);
/// Deletes the key with everything below it; true when it is gone (or was never there).
bool DeleteRegKey(platform::Registry& registry, platform::RegistryRoot root,
                  const std::string& key);
/// The REG_DWORD value, or 0 when it is missing, of another type or over 4 bytes.
std::uint32_t GetRegDword(platform::Registry& registry, platform::RegistryRoot root,
                          const std::string& key, const std::string& name);
/// Stores the number as REG_DWORD (4 bytes, little-endian), creating the key; true when stored.
bool SetRegDword(platform::Registry& registry, platform::RegistryRoot root, const std::string& key,
                 const std::string& name, std::uint32_t number);
/// A text value without its terminating NUL, a number in decimal; "" for a missing value or
/// any other type.
std::string QueryRegValue(platform::Registry& registry, const std::string& key,
                          const std::string& name, platform::RegistryRoot root);
/// Stores the text as REG_SZ without a terminating NUL, in the key with one leading and one
/// trailing backslash taken off; the name "*" is the key's default value. True when stored.
bool SetKeyValueString(platform::Registry& registry, platform::RegistryRoot root,
                       const std::string& key, const std::string& name, const std::string& text);
/// With a name, deletes that value ("*": the default value) and keeps the key; with an empty
/// name, deletes the key. The key path is trimmed as SetKeyValueString does. True when
/// something was deleted.
bool DeleteKeyOrValue(platform::Registry& registry, platform::RegistryRoot root,
                      const std::string& key, const std::string& name);

}  // namespace halvern::system
