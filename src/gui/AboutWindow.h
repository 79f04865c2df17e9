#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

namespace halvern::forms {
struct AboutForm;
}

namespace halvern::gui {

/// The about window: the program's name, version, licence and the project's address as a link,
/// with an OK button. It shows and hides as its model says; closing it hides the model.
class AboutWindow final : public QWidget {
public:
    AboutWindow(forms::AboutForm& form, const QIcon& icon, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();

    forms::AboutForm& m_form;
    Bindings m_bindings;
};

}  // namespace halvern::gui
