#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

namespace halvern::titles {
struct TitleEditorForm;
}

namespace halvern::gui {

/// The title list editor: the open windows on the left, the title to add, and the blocked list
/// with Delete, OK and Cancel on the right. It shows and hides as its model says; closing it
/// asks the model.
class TitleEditorWindow final : public QWidget {
public:
    TitleEditorWindow(titles::TitleEditorForm& form, const QIcon& icon, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();

    titles::TitleEditorForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
};

}  // namespace halvern::gui
