#pragma once

#include <cstddef>
#include <functional>
#include <utility>
#include <vector>

namespace halvern::forms {

/// A list of observers called in the order they connected; views use it to follow a control.
class Signal {
public:
    using Slot = std::function<void()>;

    /// Adds an observer; returns its id for disconnect().
    std::size_t connect(Slot slot) {
        m_slots.emplace_back(++m_lastId, std::move(slot));
        return m_lastId;
    }

    void disconnect(std::size_t id) {
        std::erase_if(m_slots, [id](const auto& entry) { return entry.first == id; });
    }

    /// Calls every observer. An observer may connect or disconnect others while it runs.
    void emit() const {
        const auto slots = m_slots;
        for (const auto& entry : slots) {
            entry.second();
        }
    }

private:
    std::vector<std::pair<std::size_t, Slot>> m_slots;
    std::size_t m_lastId = 0;
};

/// One event handler, as the old toolkit had one handler per control event.
using Handler = std::function<void()>;

}  // namespace halvern::forms
