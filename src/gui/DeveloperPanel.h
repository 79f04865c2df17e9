#pragma once

#include <QWidget>

namespace halvern::forms {
struct MainForm;
}

namespace halvern::gui {

class Bindings;

/// The developer zone of the settings window: file and web-server buttons, the process killer,
/// the status log with its switches, the key diagnostics and the proxy setting. It lies beyond
/// the window's fixed size and is reached only once the window may be enlarged.
class DeveloperPanel final : public QWidget {
public:
    DeveloperPanel(Bindings& bindings, forms::MainForm& form, QWidget* parent);
};

}  // namespace halvern::gui
