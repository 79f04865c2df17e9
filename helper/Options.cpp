#include "helper/Options.h"

namespace halvern::helper {

const char* Options::usage() {
    return "usage: zorvik-helper [--socket PATH] [--group NAME] [--hosts PATH]\n"
           "  --socket PATH  the Unix socket Zorvik connects to (default "
           "/run/zorvik-helper.sock)\n"
           "  --group NAME   the group whose members may use the helper (default zorvik)\n"
           "  --hosts PATH   the hosts file; its copies are PATH+\"zvb\" and PATH+\"zvf\" "
           "(default /etc/hosts)\n";
}

std::optional<Options> Options::parse(const std::vector<std::string>& arguments,
                                      std::string& error) {
    Options options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        std::string name = arguments[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
            continue;
        }
        std::string value;
        const std::string bare = name.substr(0, name.find('='));
        if (bare != "--socket" && bare != "--group" && bare != "--hosts") {
            error = "unknown option " + name;
            return std::nullopt;
        }
        if (const auto equals = name.find('='); name.starts_with("--") && equals != name.npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = name + " needs a value";
            return std::nullopt;
        }
        if (value.empty()) {
            error = name + " needs a value";
            return std::nullopt;
        }
        if (name == "--socket") {
            options.socketPath = value;
        } else if (name == "--group") {
            options.group = value;
        } else {
            options.hostsPath = value;
            options.hostsGiven = true;
        }
    }
    return options;
}

}  // namespace halvern::helper
