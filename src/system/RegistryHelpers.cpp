#include "system/RegistryHelpers.h"

#include <optional>

namespace halvern::system {

using platform::Registry;
using platform::RegistryRemoval;
using platform::RegistryRoot;
using platform::RegistryValue;

namespace {

/// The most a text read takes; a longer value does not fit and is not read.
constexpr std::size_t kTextBuffer = 10000;
/// The most a number read takes.
constexpr std::size_t kNumberBytes = 4;

/// The text without its terminating NUL; text that has none is whole.
std::string withoutNul(std::string text) {
    if (!text.empty() && text.back() == '\0') {
        text.pop_back();
    }
    return text;
}

std::uint32_t littleEndian(const std::string& bytes) {
    std::uint32_t number = 0;
    for (std::size_t i = bytes.size(); i-- > 0;) {
        number = (number << 8) | static_cast<unsigned char>(bytes[i]);
    }
    return number;
}

/// The toolbar helpers' key path: one leading and one trailing backslash taken off.
std::string trimmedKey(std::string key) {
    if (!key.empty() && key.front() == '\\') {
        key.erase(0, 1);
    }
    if (!key.empty() && key.back() == '\\') {
        key.pop_back();
    }
    return key;
}

/// The toolbar helpers' value name: "*" is the default value.
std::string valueName(const std::string& name) {
    return name == "*" ? std::string() : name;
}

}  // namespace

std::string GetRegString(Registry& registry, RegistryRoot root, const std::string& key,
                         const std::string& name, const std::string& fallback) {
    if (!registry.keyExists(root, key)) {
        return "";
    }
    const std::optional<RegistryValue> value = registry.value(root, key, name);
    if (!value || value->type != platform::REG_SZ || value->data.size() > kTextBuffer) {
        return fallback;
    }
    return withoutNul(value->data);
}

bool SetRegString(Registry& registry, RegistryRoot root, const std::string& key,
                  const std::string& name, const std::string& text) {
    return registry.setValue(root, key, name,
                             RegistryValue{platform::REG_SZ, text + std::string(1, '\0')});
}

bool DeleteRegKey(Registry& registry, RegistryRoot root, const std::string& key) {
    return registry.removeKey(root, key) != RegistryRemoval::Failed;
}

std::uint32_t GetRegDword(Registry& registry, RegistryRoot root, const std::string& key,
                          const std::string& name) {
    const std::optional<RegistryValue> value = registry.value(root, key, name);
    if (!value || value->type != platform::REG_DWORD || value->data.size() > kNumberBytes) {
        return 0;
    }
    return littleEndian(value->data);
}

bool SetRegDword(Registry& registry, RegistryRoot root, const std::string& key,
                 const std::string& name, std::uint32_t number) {
    std::string bytes;
    for (std::size_t i = 0; i < kNumberBytes; ++i) {
        bytes += static_cast<char>((number >> (8 * i)) & 0xFF);
    }
    return registry.setValue(root, key, name, RegistryValue{platform::REG_DWORD, bytes});
}

std::string QueryRegValue(Registry& registry, const std::string& key, const std::string& name,
                          RegistryRoot root) {
    const std::optional<RegistryValue> value = registry.value(root, key, name);
    if (!value) {
        return "";
    }
    if (value->type == platform::REG_SZ) {
        return withoutNul(value->data);
    }
    if (value->type == platform::REG_DWORD && value->data.size() <= kNumberBytes) {
        return std::to_string(littleEndian(value->data));
    }
    return "";
}

bool SetKeyValueString(Registry& registry, RegistryRoot root, const std::string& key,
                       const std::string& name, const std::string& text) {
    return registry.setValue(root, trimmedKey(key), valueName(name),
                             RegistryValue{platform::REG_SZ, text});
}

bool DeleteKeyOrValue(Registry& registry, RegistryRoot root, const std::string& key,
                      const std::string& name) {
    const std::string path = trimmedKey(key);
    const RegistryRemoval removal = name.empty()
                                        ? registry.removeKey(root, path)
                                        : registry.removeValue(root, path, valueName(name));
    return removal == RegistryRemoval::Removed;
}

}  // namespace halvern::system
