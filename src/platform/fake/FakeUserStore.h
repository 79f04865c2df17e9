#pragma once

#include <map>
#include <tuple>

#include "platform/UserStore.h"

namespace halvern::platform {

/// The per-user store in memory, with the real store's rules: application, section and key match
/// without regard to ASCII case, section and key also without their surrounding blanks, and
/// names or values an INI line cannot hold are refused.
class FakeUserStore final : public UserStore {
public:
    /// (application, section, key) as the store compares them.
    using Address = std::tuple<std::string, std::string, std::string>;

    using UserStore::get;
    std::optional<std::string> get(const std::string& application, const std::string& section,
                                   const std::string& key) const override;
    bool set(const std::string& application, const std::string& section, const std::string& key,
             const std::string& value) override;
    bool remove(const std::string& application, const std::string& section,
                const std::string& key) override;

    /// Every stored value, by its address in lower case.
    const std::map<Address, std::string>& values() const { return m_values; }
    /// Makes every later set() fail, as a read-only store would.
    bool readOnly = false;

private:
    /// The address, or nothing for names the real store refuses.
    static std::optional<Address> address(const std::string& application,
                                          const std::string& section, const std::string& key);
    std::map<Address, std::string> m_values;
};

}  // namespace halvern::platform
