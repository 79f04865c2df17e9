#pragma once

#include <QString>
#include <initializer_list>

class QBoxLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLayout;
class QTabWidget;
class QVBoxLayout;
class QWidget;

namespace halvern::gui {

/// Small layout pieces shared by the settings window's tab pages, so every page has the same
/// compact spacing.
class PageParts {
public:
    /// A frame with a caption ("&&" shows one ampersand) and a vertical layout inside.
    static QGroupBox* frame(const QString& caption);
    /// The vertical layout of a frame made by frame().
    static QVBoxLayout* column(QGroupBox* frame);
    /// The text with its last two words joined by a no-break space, so that wrapping never
    /// leaves one word alone on the last line.
    static QString keepLastWords(QString text);
    /// A static explanatory text that wraps, never with one word alone on its last line.
    static QLabel* note(const QString& text);
    /// A row of widgets, left-aligned unless a widget expands; a null entry is a stretch.
    static QHBoxLayout* row(std::initializer_list<QWidget*> widgets);
    /// A new page of the tab control, with a vertical layout.
    static QVBoxLayout* page(QTabWidget& tabs);
};

}  // namespace halvern::gui
