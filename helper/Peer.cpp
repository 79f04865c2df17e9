#include "helper/Peer.h"

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>

#include <algorithm>
#include <vector>

namespace halvern::helper {

namespace {

struct Account {
    bool found = false;
    std::string name;
    gid_t primary = 0;
};

Account accountOf(uid_t uid) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* result = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) != 0 || !result) {
        return {};
    }
    return {true, result->pw_name, result->pw_gid};
}

}  // namespace

bool Peer::of(int fd, Peer& peer) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return false;
    }
    peer.uid = credentials.uid;
    peer.gid = credentials.gid;
    peer.pid = credentials.pid;
    const Account account = accountOf(peer.uid);
    peer.name = account.found ? account.name : std::to_string(peer.uid);
    return true;
}

bool Peer::isAuthorised(gid_t group) const {
    if (uid == 0 || gid == group) {
        return true;
    }
    const Account account = accountOf(uid);
    if (!account.found) {
        return false;
    }
    if (account.primary == group) {
        return true;
    }
    std::vector<gid_t> groups(64);
    for (;;) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(account.name.c_str(), account.primary, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return std::find(groups.begin(), groups.end(), group) != groups.end();
        }
        if (count <= static_cast<int>(groups.size())) {
            return false;
        }
        groups.resize(static_cast<std::size_t>(count));
    }
}

std::string Peer::describe() const {
    return name + " (uid " + std::to_string(uid) + ")";
}

}  // namespace halvern::helper
