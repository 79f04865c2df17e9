#pragma once

#include <QIcon>
#include <QWidget>

#include "gui/Bindings.h"

class QTreeWidget;

namespace halvern::spyware {
struct AdWareForm;
}

namespace halvern::gui {

/// The window of known spyware programs: one row per program of the list, with a check box that
/// says whether Zorvik closes it, its description beside it, and OK and Cancel.
class SpywareViewerWindow final : public QWidget {
public:
    SpywareViewerWindow(spyware::AdWareForm& form, const QIcon& icon, QWidget* parent = nullptr);

    /// The list of programs, for the tests.
    QTreeWidget& list() { return *m_list; }

protected:
    /// The close box is Cancel.
    void closeEvent(QCloseEvent* event) override;

private:
    void syncForm();
    void syncList();

    spyware::AdWareForm& m_form;
    QTreeWidget* m_list = nullptr;
    bool m_syncing = false;
    Bindings m_bindings;
};

}  // namespace halvern::gui
