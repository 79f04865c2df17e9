#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
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

/// Binds form-model controls to Qt widgets: the widget repaints from the model, and the user's
/// actions on the widget become the control's own events at once. Visible, enabled and tool tip
/// follow the model for every control. The models must outlive the bindings; destroying the
/// bindings disconnects them, and a widget that dies first is simply no longer painted.
///
/// With a repaint interval, a widget shows its control's latest state at most once per interval
/// and not at all while its window is hidden: a model that changes on every request costs a flag,
/// not a text layout. A hidden window catches up as it is shown, before it paints. Menu entries,
/// check marks, the page of a tab control and watched signals always follow at once.
class Bindings final : public QObject {
public:
    /// The interval the views use: about ten repaints a second.
    static constexpr int kRepaintInterval = 100;

    /// repaintInterval in milliseconds; 0 repaints on every change, whatever the window shows.
    explicit Bindings(int repaintInterval = 0);
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
    /// Runs repaint on every change of signal as the bound widgets repaint: at once, or coalesced
    /// and held while the widget's window is hidden.
    void repaintOn(forms::Signal& signal, QWidget* widget, std::function<void()> repaint);

    /// Paints every pending change of the widgets whose window is shown, now.
    void flush();
    /// True while some widget has not yet shown its control's latest state.
    bool pending() const { return m_dirty != 0; }

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
    /// Flushes as the window is shown.
    void catchUpWhenShown(QWidget* window);

    /// A coalesced repaint, kept in binding order so that later repaints of a widget still win.
    struct Follower {
        QPointer<QWidget> widget;
        std::function<void()> repaint;
        bool dirty = false;
    };

    const int m_repaintInterval;
    QTimer m_timer;
    std::vector<std::unique_ptr<Follower>> m_followers;
    std::size_t m_dirty = 0;
    std::unordered_set<const QObject*> m_windows;
    std::vector<std::pair<forms::Signal*, std::size_t>> m_links;
    std::unordered_map<const QObject*, const forms::Control*> m_hoverControls;
};

}  // namespace halvern::gui
