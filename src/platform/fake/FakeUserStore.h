#pragma once

#include <map>
#include <tuple>

#include "platform/UserStore.h"

namespace halvern::platform {

/// The per-user store in memory; keys compare without regard to case, as the registry does.
class FakeUserStore final : public UserStore {
public:
    using UserStore::get;
    std::optional<std::string> get(const std::string& application, const std::string& section,
                                   const std::string& key) const override;
    bool set(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
    bool remove(const std::string& application, const std::string& section,
                const std::string& key) override;

    /// Every stored value, keyed "application\section\key" in lower case.
    const std::map<std::string, std::string>& values() const { return m_values; }
    /// Makes every later set() fail, as a read-only store would.
    bool readOnly = false;

private:
    static std::string address(const std::string& application, const std::string& section,
                               const std::string& key);
    std::map<std::string, std::string> m_values;
};

}  // namespace halvern::platform
