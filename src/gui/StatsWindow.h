#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

namespace halvern::forms {
struct StatsForm;
}

namespace halvern::gui {

/// The small statistics window: today's and the total count in its caption (and so on its
/// task-bar button), the list size and the last update date; it stays above other windows.
class StatsWindow final : public QWidget {
public:
    StatsWindow(forms::StatsForm& form, const QIcon& icon, QWidget* parent = nullptr);

protected:
    /// Closing it unloads the model's window.
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();

    forms::StatsForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
};

}  // namespace halvern::gui
