#pragma once

#include <functional>

#include "forms/Control.h"

namespace halvern::forms {

/// Why a window is being closed, as the old toolkit told its QueryUnload handler.
enum class UnloadMode { FormControlMenu = 0, Code = 1, AppWindows = 2, TaskManager = 3 };

/// A top-level window: caption, place in twips, shown or hidden.
class Form : public CaptionControl {
public:
    Form(std::string name, std::string caption)
        : CaptionControl(std::move(name), std::move(caption)) {
        setVisible(false);
    }

    void show() { setVisible(true); }
    void hide() { setVisible(false); }

    int left() const { return m_left; }
    int top() const { return m_top; }
    void move(int left, int top) {
        m_left = left;
        m_top = top;
        changed().emit();
    }

    /// Asks the window to close; returns false when its QueryUnload handler cancelled.
    bool queryUnload(UnloadMode mode) { return !(onQueryUnload && onQueryUnload(mode)); }

    /// Returns true to cancel the unload.
    std::function<bool(UnloadMode)> onQueryUnload;

    /// Raised when the view asks to bring the window to the front.
    Signal& raiseRequested() { return m_raise; }

private:
    int m_left = 0;
    int m_top = 0;
    Signal m_raise;
};

}  // namespace halvern::forms
