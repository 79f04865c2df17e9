#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

namespace halvern::popups {
struct WhiteListForm;
}

namespace halvern::gui {

/// The popup white-list editor: the entry to add with its button, the list with Delete, and OK
/// and Cancel. It shows and hides as its model says; closing it asks the model.
class WhiteListWindow final : public QWidget {
public:
    WhiteListWindow(popups::WhiteListForm& form, const QIcon& icon, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();

    popups::WhiteListForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
};

}  // namespace halvern::gui
