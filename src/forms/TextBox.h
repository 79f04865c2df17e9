#pragma once

#include "forms/Control.h"

namespace halvern::forms {

/// A text box, plain or masked; any change of its text, by the user or by code, raises Change.
class TextBox : public Control {
public:
    TextBox(std::string name, std::string text = {})
        : Control(std::move(name)), m_text(std::move(text)) {}

    const std::string& text() const { return m_text; }
    void setText(std::string text) {
        if (update(m_text, std::move(text)) && onChange) {
            onChange();
        }
    }

    /// The character shown for each typed one ("*"), or "" to show the text itself.
    const std::string& passwordChar() const { return m_passwordChar; }
    void setPasswordChar(std::string passwordChar) {
        update(m_passwordChar, std::move(passwordChar));
    }

    Handler onChange;

private:
    std::string m_text;
    std::string m_passwordChar;
};

}  // namespace halvern::forms
