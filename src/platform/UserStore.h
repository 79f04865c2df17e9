#pragma once

#include <optional>
#include <string>

namespace halvern::platform {

/// The per-user key-value store: text values addressed by (application, section, key).
class UserStore {
public:
    virtual ~UserStore() = default;

    /// The stored value, or nothing when it was never stored.
    virtual std::optional<std::string> get(const std::string& application,
                                           const std::string& section,
                                           const std::string& key) const = 0;
    /// Stores a value; false when it could not be kept.
    virtual bool set(const std::string& application, const std::string& section,
                     const std::string& key, const std::string& value) = 0;
    virtual bool remove(const std::string& application, const std::string& section,
                        const std::string& key) = 0;

    /// The value, or the caller's default when none is stored.
    std::string get(const std::string& application, const std::string& section,
                    const std::string& key, const std::string& fallback) const {
        return get(application, section, key).value_or(fallback);
    }
};

}  // namespace halvern::platform
