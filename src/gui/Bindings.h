#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "forms/Button.h"
#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/Frame.h"
#include "forms/Label.h"
#include "forms/ListBox.h"
#include "forms/MenuItem.h"
#include "forms/ProgressBar.h"
#include "forms/TabControl.h"
#include "forms/TextBox.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFontMetrics;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QWidget;

namespace halvern::gui {

class ClickableLabel;

/// Binds form-model controls to Qt widgets: the widget repaints from the model on every change,
/// and the user's actions on the widget become the control's own events. Visible, enabled and
/// tool tip follow the model for every control. The models must outlive the bindings; destroying
/// the bindings disconnects them, and a widget that dies first is simply no longer painted.
class Bindings final : public QObject {
public:
    Bindings() = default;
    ~Bindings() override;

    void bind(forms::CheckBox& model, QCheckBox& widget);
    void bind(forms::Button& model, QPushButton& widget);
    void bind(forms::Label& model, ClickableLabel& widget);
    void bind(forms::Frame& model, QGroupBox& widget);
    void bind(forms::TextBox& model, QLineEdit& widget);
    /// A multi-line box: CR LF in the model, LF in the widget; appended text is appended.
    void bind(forms::TextBox& model, QPlainTextEdit& widget);
    void bind(forms::ComboBox& model, QComboBox& widget);
    void bind(forms::ListBox& model, QListWidget& widget);
    void bind(forms::ProgressBar& model, QProgressBar& widget);
    /// The widget already holds one page per caption of the model.
    void bind(forms::TabControl& model, QTabWidget& widget);
    void bind(forms::MenuItem& model, QAction& action);

    /// New widgets bound to their controls; a layout takes ownership.
    /// A check box whose caption is broken into lines no wider than wrapWidth pixels (0: one line).
    QCheckBox* checkBox(forms::CheckBox& model, int wrapWidth = 0);
    QPushButton* button(forms::Button& model);
    ClickableLabel* label(forms::Label& model, bool link = false);
    QLineEdit* lineEdit(forms::TextBox& model);
    QComboBox* comboBox(forms::ComboBox& model);

    /// Follows a model signal until the bindings die.
    void watch(forms::Signal& signal, forms::Signal::Slot slot);

    /// Called when the mouse enters a bound widget whose control has a tool tip.
    std::function<void(const forms::Control&)> onHover;

    /// A caption as a plain label shows it: "&&" is one ampersand, a single "&" marks the access
    /// key and is not shown.
    static QString plainCaption(const std::string& caption);
    /// The text broken at blanks into lines no wider than width.
    static QString wrapped(const QString& text, const QFontMetrics& metrics, int width);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Repaints the common properties and then the widget's own, now and on every change.
    void follow(forms::Control& model, QWidget* widget, std::function<void()> sync);

    std::vector<std::pair<forms::Signal*, std::size_t>> m_links;
    std::unordered_map<const QObject*, const forms::Control*> m_hoverControls;
};

}  // namespace halvern::gui
