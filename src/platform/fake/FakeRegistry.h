#pragma once

#include <cstddef>
#include <map>
#include <string>

#include "platform/Registry.h"
#include "platform/RegistryTree.h"

namespace halvern::platform {

/// The registry in memory, with the real one's rules (the same RegistryTree), a record of the
/// changes made, and roots whose changes a test makes fail.
class FakeRegistry final : public Registry {
public:
    bool keyExists(RegistryRoot root, const std::string& key) const override;
    std::optional<RegistryValue> value(RegistryRoot root, const std::string& key,
                                       const std::string& name) const override;
    bool createKey(RegistryRoot root, const std::string& key) override;
    bool setValue(RegistryRoot root, const std::string& key, const std::string& name,
                  const RegistryValue& value) override;
    RegistryRemoval removeValue(RegistryRoot root, const std::string& key,
                                const std::string& name) override;
    RegistryRemoval removeKey(RegistryRoot root, const std::string& key) override;

    /// Makes every later change under the root fail with the given reason, as a registry file
    /// that cannot be written does.
    void refuseChanges(RegistryRoot root, std::string why) { m_refused[root] = std::move(why); }
    /// The root's keys and values, or null for a root the registry does not have.
    const RegistryTree* tree(RegistryRoot root) const;
    /// The key, or null when it is missing.
    const RegistryTree::Key* key(RegistryRoot root, const std::string& path) const;
    /// How many changes were stored, over all roots.
    std::size_t changes() const { return m_changes; }

private:
    /// The root's tree when the root and the path are valid, or null after failed() said why.
    RegistryTree* addressed(RegistryRoot root, const std::string& key);
    /// Counts a change, or fails it on a refusing root.
    bool storable(RegistryRoot root);

    RegistryTree m_currentUser;
    RegistryTree m_localMachine;
    std::map<RegistryRoot, std::string> m_refused;
    std::size_t m_changes = 0;
};

}  // namespace halvern::platform
