#include "base/HostName.h"

#include <array>

namespace halvern::base {

namespace {

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

std::string_view withoutTrailingDot(std::string_view name) {
    return name.ends_with('.') ? name.substr(0, name.size() - 1) : name;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool HostName::sameHost(std::string_view a, std::string_view b) {
    a = withoutTrailingDot(a);
    b = withoutTrailingDot(b);
    if (a.empty() || a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string HostName::key(std::string_view name) {
    std::string result(withoutTrailingDot(name));
    for (char& c : result) {
        c = lower(c);
    }
    return result;
}

bool HostName::namesThisMachine(std::string_view name, std::string_view machineName) {
    // The resolver answers these itself or from the hosts file's own loopback lines.
    static constexpr std::array<std::string_view, 12> kLocalNames = {
        "localhost",     "localhost.localdomain", "localhost6",   "localhost6.localdomain6",
        "ip6-localhost", "ip6-loopback",          "ip6-localnet", "ip6-mcastprefix",
        "ip6-allnodes",  "ip6-allrouters",        "_gateway",     "_outbound"};
    for (std::string_view local : kLocalNames) {
        if (sameHost(name, local)) {
            return true;
        }
    }
    // Every name under localhost is loopback, and systemd-resolved answers its own stub names.
    const std::string_view bare = withoutTrailingDot(name);
    constexpr std::string_view kUnderLocalhost = ".localhost";
    constexpr std::string_view kResolvedStub = "_localdns";
    if ((bare.size() > kUnderLocalhost.size() &&
         sameHost(bare.substr(bare.size() - kUnderLocalhost.size()), kUnderLocalhost)) ||
        (bare.size() > kResolvedStub.size() &&
         sameHost(bare.substr(0, kResolvedStub.size()), kResolvedStub))) {
        return true;
    }
    machineName = withoutTrailingDot(machineName);
    if (machineName.empty()) {
        return false;
    }
    // A host name set as "box.lan" answers as "box" too.
    return sameHost(name, machineName) ||
           sameHost(name, machineName.substr(0, machineName.find('.')));
}

bool HostName::isValid(std::string_view name) {
    if (name.empty() || name.size() > kMaxName) {
        return false;
    }
    std::size_t label = 0;
    for (char c : name) {
        if (c == '.') {
            // An empty label: a leading dot, two dots in a row.
            if (label == 0) {
                return false;
            }
            label = 0;
        } else if (!isNameCharacter(c) || ++label > kMaxLabel) {
            return false;
        }
    }
    return label > 0;
}

}  // namespace halvern::base
