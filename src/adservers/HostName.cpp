#include "adservers/HostName.h"

namespace halvern::adservers {

namespace {

bool isNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

}  // namespace

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

}  // namespace halvern::adservers
