#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace halvern::base {

/// The names the program agrees to write into the hosts file. Zorvik's list handling and
/// zorvik-helper's check of a new hosts file both judge names here, so they never disagree.
class HostName {
public:
    /// The longest name and the longest label between dots.
    static constexpr std::size_t kMaxName = 253;
    static constexpr std::size_t kMaxLabel = 63;

    /// True for a host name: labels of letters, digits, '-' and '_' joined by single dots, each
    /// label 1..63 characters, the whole at most 253. Nothing else can reach the hosts file, so a
    /// list entry can never add a second name, a comment or another line.
    static bool isValid(std::string_view name);

    /// True when two names are the same host: letter case and one trailing dot do not count.
    static bool sameHost(std::string_view a, std::string_view b);
    /// The name as sameHost compares it: lower case, without a trailing dot.
    static std::string key(std::string_view name);
    /// True for the names of this machine, which no list may send elsewhere: localhost and every
    /// name under it, localhost.localdomain, the loopback and multicast names Debian's hosts file
    /// gives (ip6-localhost, ip6-allnodes ...), the names systemd-resolved answers itself
    /// (_gateway, _outbound ...), the machine's host name and its first label.
    static bool namesThisMachine(std::string_view name, std::string_view machineName);
};

}  // namespace halvern::base
