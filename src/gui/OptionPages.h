#pragma once

class QTabWidget;

namespace halvern::forms {
struct MainForm;
}

namespace halvern::gui {

class Bindings;

/// The settings window's option tabs: " Ad Types", " Startup", "Log History", " Sounds" and
/// " Other / Password", each control bound to its model.
class OptionPages {
public:
    static void addTo(QTabWidget& tabs, Bindings& bindings, forms::MainForm& form);

private:
    static void adTypes(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void startup(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void logHistory(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void sounds(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
    static void otherPassword(QTabWidget& tabs, Bindings& b, forms::MainForm& f);
};

}  // namespace halvern::gui
