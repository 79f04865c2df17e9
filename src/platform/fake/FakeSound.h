#pragma once

#include <string>
#include <vector>

#include "platform/Sound.h"

namespace halvern::platform {

/// Records the sounds played.
class FakeSound final : public Sound {
public:
    void play(const std::string& path) override { played.push_back(path); }
    std::vector<std::string> played;
};

}  // namespace halvern::platform
