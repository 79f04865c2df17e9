#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

namespace halvern::adservers {
struct AdServerEditorForm;
}

namespace halvern::gui {

/// The ad-server list editor's window: the default list with its search, the allowed list
/// between the two move buttons, and the user's own servers. It shows, hides and closes as the
/// form model says; all behaviour stays in the model's handlers.
class AdServerEditorWindow final : public QWidget {
public:
    AdServerEditorWindow(adservers::AdServerEditorForm& form, const QIcon& icon,
                         QWidget* parent = nullptr);

protected:
    /// The title-bar close asks the model, which closes the window without saving.
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();

    adservers::AdServerEditorForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
};

}  // namespace halvern::gui
