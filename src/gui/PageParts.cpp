#include "gui/PageParts.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QTabWidget>
#include <QVBoxLayout>

namespace halvern::gui {

QGroupBox* PageParts::frame(const QString& caption) {
    auto* box = new QGroupBox(caption);
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(8, 2, 8, 4);
    layout->setSpacing(1);
    return box;
}

QVBoxLayout* PageParts::column(QGroupBox* frame) {
    return static_cast<QVBoxLayout*>(frame->layout());
}

QString PageParts::keepLastWords(QString text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == QLatin1Char(' ')) {
        --end;
    }
    const qsizetype at = end > 0 ? text.lastIndexOf(QLatin1Char(' '), end - 1) : -1;
    if (at > 0 && text[at - 1] != QLatin1Char(' ')) {
        text[at] = QChar::Nbsp;
    }
    return text;
}

QLabel* PageParts::note(const QString& text) {
    // A wrapped note never ends with a line of one word.
    auto* label = new QLabel(keepLastWords(text));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

QHBoxLayout* PageParts::row(std::initializer_list<QWidget*> widgets) {
    auto* layout = new QHBoxLayout;
    // A description keeps clear of the button it explains.
    layout->setSpacing(10);
    bool stretched = false;
    for (QWidget* widget : widgets) {
        if (widget) {
            // A wrapping text takes the rest of the row; so does a widget that expands.
            auto* label = qobject_cast<QLabel*>(widget);
            const bool wraps = label && label->wordWrap();
            layout->addWidget(widget, wraps ? 1 : 0);
            stretched |=
                wraps || (widget->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag) != 0;
        } else {
            layout->addStretch(1);
            stretched = true;
        }
    }
    if (!stretched) {
        layout->addStretch(1);
    }
    return layout;
}

QVBoxLayout* PageParts::page(QTabWidget& tabs) {
    auto* page = new QWidget;
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    tabs.addTab(page, QString());
    return layout;
}

}  // namespace halvern::gui
