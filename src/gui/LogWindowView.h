#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

class QListWidget;

namespace halvern::ui {
struct LogWindowForm;
}

namespace halvern::gui {

/// The recently-blocked log window "Recent Ads Blocked": the four view buttons above the list,
/// the commands below it. The list's size is the model's; the window tells the model its size.
class LogWindowView final : public QWidget {
public:
    LogWindowView(ui::LogWindowForm& form, const QIcon& icon, QWidget* parent = nullptr);

    QListWidget& list() const { return *m_list; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    /// The title-bar close is the Close command.
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();
    void placeList();

    ui::LogWindowForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
    QListWidget* m_list = nullptr;
    QWidget* m_commands = nullptr;
    QWidget* m_views = nullptr;
};

}  // namespace halvern::gui
