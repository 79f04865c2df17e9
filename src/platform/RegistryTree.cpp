#include "platform/RegistryTree.h"

#include <algorithm>
#include <utility>

namespace halvern::platform {

namespace {

std::string folded(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    });
    return text;
}

}  // namespace

bool RegistryTree::validPath(const std::string& key) {
    if (key.empty()) {
        return true;
    }
    return key.front() != '\\' && key.back() != '\\' && key.find("\\\\") == std::string::npos;
}

RegistryTree::RegistryTree() {
    m_keys.emplace(std::string(), Key{});
}

bool RegistryTree::keyExists(const std::string& key) const {
    return m_keys.count(folded(key)) > 0;
}

const RegistryTree::Key* RegistryTree::key(const std::string& path) const {
    const auto it = m_keys.find(folded(path));
    return it == m_keys.end() ? nullptr : &it->second;
}

const RegistryValue* RegistryTree::value(const std::string& key, const std::string& name) const {
    const Key* k = this->key(key);
    if (!k) {
        return nullptr;
    }
    const std::string wanted = folded(name);
    for (const Value& v : k->values) {
        if (folded(v.name) == wanted) {
            return &v.value;
        }
    }
    return nullptr;
}

void RegistryTree::createKey(const std::string& key) {
    // Each missing part is added below its parent as written, under the parent's own spelling.
    std::string path;     // the parts so far, as given
    std::string spelled;  // the same key as the tree spells it
    std::size_t begin = 0;
    while (begin < key.size()) {
        const std::size_t end = std::min(key.find('\\', begin), key.size());
        if (!path.empty()) {
            path += '\\';
        }
        path.append(key, begin, end - begin);
        auto it = m_keys.find(folded(path));
        if (it == m_keys.end()) {
            std::string written = spelled;
            if (!written.empty()) {
                written += '\\';
            }
            written.append(key, begin, end - begin);
            it = m_keys.emplace(folded(path), Key{std::move(written), {}}).first;
        }
        spelled = it->second.path;
        begin = end + 1;
    }
}

void RegistryTree::setValue(const std::string& key, const std::string& name,
                            const RegistryValue& value) {
    createKey(key);
    Key& k = m_keys.at(folded(key));
    const std::string wanted = folded(name);
    for (Value& v : k.values) {
        if (folded(v.name) == wanted) {
            v.value = value;
            return;
        }
    }
    k.values.push_back(Value{name, value});
}

RegistryRemoval RegistryTree::removeValue(const std::string& key, const std::string& name) {
    const auto it = m_keys.find(folded(key));
    if (it == m_keys.end()) {
        return RegistryRemoval::Missing;
    }
    std::vector<Value>& values = it->second.values;
    const std::string wanted = folded(name);
    const auto found = std::find_if(values.begin(), values.end(),
                                    [&wanted](const Value& v) { return folded(v.name) == wanted; });
    if (found == values.end()) {
        return RegistryRemoval::Missing;
    }
    values.erase(found);
    return RegistryRemoval::Removed;
}

RegistryRemoval RegistryTree::removeKey(const std::string& key) {
    const std::string path = folded(key);
    const auto it = m_keys.find(path);
    if (path.empty() || it == m_keys.end()) {
        return path.empty() ? RegistryRemoval::Failed : RegistryRemoval::Missing;
    }
    // The subkeys sort right after "<path>\", all together.
    const std::string below = path + "\\";
    auto last = m_keys.lower_bound(below);
    while (last != m_keys.end() && last->first.compare(0, below.size(), below) == 0) {
        ++last;
    }
    m_keys.erase(m_keys.lower_bound(below), last);
    m_keys.erase(path);
    return RegistryRemoval::Removed;
}

std::vector<const RegistryTree::Key*> RegistryTree::keys() const {
    std::vector<const Key*> all;
    all.reserve(m_keys.size());
    for (const auto& [path, key] : m_keys) {
        all.push_back(&key);
    }
    return all;
}

}  // namespace halvern::platform
