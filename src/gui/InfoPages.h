#pragma once

class QTabWidget;

namespace halvern::forms {
struct MainForm;
}

namespace halvern::gui {

class Bindings;

/// The settings window's remaining tabs: " Status", " Allow (whitelist)", " Block (blacklist)",
/// " Hot Keys", " Help" and " Spyware", each control bound to its model.
class InfoPages {
public:
    static void addTo(QTabWidget& tabs, Bindings& bindings, forms::MainForm& form);

private:
    static void status(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void allow(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void block(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void hotKeys(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void help(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void spyware(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
};

}  // namespace halvern::gui
