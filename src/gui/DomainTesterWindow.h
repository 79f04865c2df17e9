#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

namespace halvern::adservers {
struct DomainTesterForm;
}

namespace halvern::gui {

/// The domain tester's window: its commands, the folder of the server copies, the tried and the
/// failed hosts with their counters, the progress and the last answer. It shows, hides and
/// closes as the form model says; all behaviour stays in the model's handlers.
class DomainTesterWindow final : public QWidget {
public:
    DomainTesterWindow(adservers::DomainTesterForm& form, const QIcon& icon,
                       QWidget* parent = nullptr);

protected:
    /// The title-bar close asks the model, which stops the tests and closes the window.
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();

    adservers::DomainTesterForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
};

}  // namespace halvern::gui
