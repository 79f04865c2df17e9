#pragma once

#include <string>

namespace halvern::platform {

/// Plays WAV files without blocking the loop.
class Sound {
public:
    virtual ~Sound() = default;
    /// Starts playing the file and returns at once; a file that cannot be played plays nothing.
    virtual void play(const std::string& path) = 0;
};

}  // namespace halvern::platform
