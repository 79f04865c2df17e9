#pragma once

#include <QIcon>
#include <string>

class QAction;

namespace halvern::forms {
class MenuItem;
}

namespace halvern::gui {

class Bindings;

/// The small pictures beside menu entries, by the picture keys the form models use.
class MenuIcons {
public:
    /// The desktop theme's picture for a key, or the style's own when the theme has none; an
    /// empty icon for "" or an unknown key.
    static QIcon icon(const std::string& key);
    /// The action shows the picture of its entry's key, now and whenever it changes.
    static void follow(Bindings& bindings, forms::MenuItem& entry, QAction& action);
};

}  // namespace halvern::gui
