#include "platform/fake/FakeRegistry.h"

namespace halvern::platform {

const RegistryTree* FakeRegistry::tree(RegistryRoot root) const {
    if (root == HKEY_CURRENT_USER) {
        return &m_currentUser;
    }
    return root == HKEY_LOCAL_MACHINE ? &m_localMachine : nullptr;
}

const RegistryTree::Key* FakeRegistry::key(RegistryRoot root, const std::string& path) const {
    const RegistryTree* t = tree(root);
    return t ? t->key(path) : nullptr;
}

bool FakeRegistry::keyExists(RegistryRoot root, const std::string& key) const {
    const RegistryTree* t = tree(root);
    return t && RegistryTree::validPath(key) && t->keyExists(key);
}

std::optional<RegistryValue> FakeRegistry::value(RegistryRoot root, const std::string& key,
                                                 const std::string& name) const {
    const RegistryTree* t = tree(root);
    const RegistryValue* found = t && RegistryTree::validPath(key) ? t->value(key, name) : nullptr;
    return found ? std::optional<RegistryValue>(*found) : std::nullopt;
}

RegistryTree* FakeRegistry::addressed(RegistryRoot root, const std::string& key) {
    RegistryTree* t = root == HKEY_CURRENT_USER    ? &m_currentUser
                      : root == HKEY_LOCAL_MACHINE ? &m_localMachine
                                                   : nullptr;
    if (!t) {
        failed("there is no root key " + std::to_string(root));
        return nullptr;
    }
    if (!RegistryTree::validPath(key)) {
        failed("the key path '" + key + "' has an empty part");
        return nullptr;
    }
    return t;
}

bool FakeRegistry::storable(RegistryRoot root) {
    if (const auto refused = m_refused.find(root); refused != m_refused.end()) {
        return failed(refused->second);
    }
    ++m_changes;
    return true;
}

bool FakeRegistry::createKey(RegistryRoot root, const std::string& key) {
    RegistryTree* t = addressed(root, key);
    if (!t) {
        return false;
    }
    // An existing key needs no change, as the file needs no write.
    if (t->keyExists(key)) {
        return true;
    }
    if (!storable(root)) {
        return false;
    }
    t->createKey(key);
    return true;
}

bool FakeRegistry::setValue(RegistryRoot root, const std::string& key, const std::string& name,
                            const RegistryValue& value) {
    RegistryTree* t = addressed(root, key);
    if (!t || !storable(root)) {
        return false;
    }
    t->setValue(key, name, value);
    return true;
}

RegistryRemoval FakeRegistry::removeValue(RegistryRoot root, const std::string& key,
                                          const std::string& name) {
    RegistryTree* t = addressed(root, key);
    if (!t) {
        return RegistryRemoval::Failed;
    }
    if (!t->value(key, name)) {
        return RegistryRemoval::Missing;
    }
    return storable(root) ? t->removeValue(key, name) : RegistryRemoval::Failed;
}

RegistryRemoval FakeRegistry::removeKey(RegistryRoot root, const std::string& key) {
    RegistryTree* t = addressed(root, key);
    if (!t) {
        return RegistryRemoval::Failed;
    }
    if (key.empty()) {
        failed("the root key cannot be deleted");
        return RegistryRemoval::Failed;
    }
    if (!t->keyExists(key)) {
        return RegistryRemoval::Missing;
    }
    return storable(root) ? t->removeKey(key) : RegistryRemoval::Failed;
}

}  // namespace halvern::platform
