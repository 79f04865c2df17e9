#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace halvern::platform {

/// One root's keys and values in memory, with the registry's rules: paths and names match
/// without regard to ASCII case and keep the case they were first written with, a key's parents
/// exist with it, and deleting a key deletes its subkeys. The fake and the file-backed registry
/// both keep their roots in it, so they follow one set of rules.
class RegistryTree {
public:
    struct Value {
        std::string name;  ///< as first written; "" is the default value
        RegistryValue value;
    };
    struct Key {
        std::string path;           ///< as first written; "" is the root
        std::vector<Value> values;  ///< in the order they were first written
    };

    /// True for "" (the root) and for paths of non-empty parts between single backslashes.
    static bool validPath(const std::string& key);

    /// The tree holds the root key, empty.
    RegistryTree();

    bool keyExists(const std::string& key) const;
    /// The key, or null when it is missing.
    const Key* key(const std::string& path) const;
    /// The value, or null when it or its key is missing.
    const RegistryValue* value(const std::string& key, const std::string& name) const;
    /// Creates the key and its missing parents. The path must be valid.
    void createKey(const std::string& key);
    /// Creates the key when needed and stores the value over any of the same name.
    void setValue(const std::string& key, const std::string& name, const RegistryValue& value);
    RegistryRemoval removeValue(const std::string& key, const std::string& name);
    /// Removes the key and its subkeys; Missing for a missing key. Not for the root.
    RegistryRemoval removeKey(const std::string& key);

    /// Every key, the root first and each key before its subkeys.
    std::vector<const Key*> keys() const;

private:
    /// Keys by their path in lower case, so a key's subkeys follow it.
    std::map<std::string, Key> m_keys;
};

}  // namespace halvern::platform
