#include "platform/fake/FakeDesktop.h"

#include <algorithm>

namespace halvern::platform {

namespace {

std::string withoutMnemonics(const std::string& caption) {
    std::string plain;
    for (char c : caption) {
        if (c != '&' && c != '_') {
            plain += c;
        }
    }
    return plain;
}

}  // namespace

std::vector<WindowInfo> FakeDesktop::children(WindowId window) {
    auto it = subWindows.find(window);
    return it == subWindows.end() ? std::vector<WindowInfo>{} : it->second;
}

CloseResult FakeDesktop::requestClose(WindowId window) {
    if (find(window) == nullptr) {
        return CloseResult::Gone;
    }
    if (std::ranges::find(refusesClose, window) != refusesClose.end()) {
        return CloseResult::NotAccepted;
    }
    closeRequests.push_back(window);
    if (std::ranges::find(ignoresClose, window) == ignoresClose.end()) {
        close(window);
    }
    return CloseResult::Requested;
}

bool FakeDesktop::pressButton(WindowId window, const std::string& caption) {
    pressAsked.emplace_back(window, caption);
    auto it = buttons.find(window);
    if (it == buttons.end()) {
        return false;
    }
    for (const std::string& button : it->second) {
        if (withoutMnemonics(button) == withoutMnemonics(caption)) {
            pressed.emplace_back(window, button);
            return true;
        }
    }
    return false;
}

WindowId FakeDesktop::open(WindowInfo window) {
    if (window.id == 0) {
        window.id = m_nextId++;
    }
    const WindowId id = window.id;
    topLevel.insert(topLevel.begin(), std::move(window));
    ++m_generation;
    if (following && onCreated) {
        onCreated(id);
    }
    return id;
}

void FakeDesktop::retitle(WindowId window, const std::string& title) {
    if (WindowInfo* info = find(window)) {
        info->title = title;
        ++m_generation;
        if (following && onTitleChanged) {
            onTitleChanged(window);
        }
    }
}

void FakeDesktop::close(WindowId window) {
    std::erase_if(topLevel, [window](const WindowInfo& info) { return info.id == window; });
    subWindows.erase(window);
    for (auto& [parent, list] : subWindows) {
        std::erase_if(list, [window](const WindowInfo& info) { return info.id == window; });
    }
    ++m_generation;
}

void FakeDesktop::activate(WindowId window) {
    if (following && onActivated) {
        onActivated(window);
    }
}

WindowInfo* FakeDesktop::find(WindowId window) {
    for (WindowInfo& info : topLevel) {
        if (info.id == window) {
            return &info;
        }
    }
    for (auto& [parent, list] : subWindows) {
        for (WindowInfo& info : list) {
            if (info.id == window) {
                return &info;
            }
        }
    }
    return nullptr;
}

}  // namespace halvern::platform
