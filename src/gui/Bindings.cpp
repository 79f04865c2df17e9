#include "gui/Bindings.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTextCursor>
#include <memory>

#include "gui/ClickableLabel.h"

namespace halvern::gui {
namespace {

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

QString fromCrLf(const std::string& text) {
    return qs(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

QStringList qItems(const forms::ListBox& model) {
    QStringList items;
    for (const std::string& item : model.items()) {
        items << qs(item);
    }
    return items;
}

}  // namespace

Bindings::Bindings(int repaintInterval) : m_repaintInterval(repaintInterval) {
    m_timer.setSingleShot(true);
    m_timer.setInterval(repaintInterval);
    connect(&m_timer, &QTimer::timeout, this, &Bindings::flush);
}

Bindings::~Bindings() {
    for (auto& [signal, id] : m_links) {
        signal->disconnect(id);
    }
}

void Bindings::watch(forms::Signal& signal, forms::Signal::Slot slot) {
    m_links.emplace_back(&signal, signal.connect(std::move(slot)));
}

void Bindings::follow(forms::Control& model, QWidget* widget, std::function<void()> sync) {
    QPointer<QWidget> alive(widget);
    auto repaint = [&model, alive, sync = std::move(sync)] {
        if (!alive) {
            return;
        }
        alive->setEnabled(model.enabled());
        alive->setToolTip(qs(model.toolTip()));
        sync();
        // A widget not yet placed in a window must not show as a window of its own; it shows
        // with its parent unless it was hidden.
        if (!model.visible()) {
            alive->hide();
        } else if (alive->parentWidget()) {
            alive->show();
        }
    };
    repaint();
    repaintOn(model.changed(), widget, std::move(repaint));
    m_hoverControls[widget] = &model;
    widget->installEventFilter(this);
    connect(widget, &QObject::destroyed, this,
            [this](QObject* gone) { m_hoverControls.erase(gone); });
}

void Bindings::repaintOn(forms::Signal& signal, QWidget* widget, std::function<void()> repaint) {
    if (m_repaintInterval <= 0) {
        watch(signal, std::move(repaint));
        return;
    }
    auto follower = std::make_unique<Follower>(Follower{widget, std::move(repaint)});
    watch(signal, [this, f = follower.get()] {
        if (f->dirty) {
            return;  // already due
        }
        f->dirty = true;
        ++m_dirty;
        if (f->widget && !f->widget->window()->isVisible()) {
            catchUpWhenShown(f->widget->window());  // shown before the timer runs out
        }
        if (!m_timer.isActive()) {
            m_timer.start();
        }
    });
    m_followers.push_back(std::move(follower));
}

void Bindings::flush() {
    m_timer.stop();
    // By index and in binding order; a repaint may mark others due again, for the next round.
    for (std::size_t i = 0; i < m_followers.size() && m_dirty != 0; ++i) {
        Follower& f = *m_followers[i];
        if (!f.dirty) {
            continue;
        }
        if (f.widget) {
            QWidget* window = f.widget->window();
            if (!window->isVisible()) {
                catchUpWhenShown(window);
                continue;  // stays due until the window is shown
            }
        }
        f.dirty = false;
        --m_dirty;
        if (f.widget) {
            f.repaint();
        }
    }
}

void Bindings::catchUpWhenShown(QWidget* window) {
    if (!m_windows.insert(window).second) {
        return;
    }
    window->installEventFilter(this);
    connect(window, &QObject::destroyed, this, [this](QObject* gone) { m_windows.erase(gone); });
}

bool Bindings::eventFilter(QObject* watched, QEvent* event) {
    // The window is visible with its children when its Show arrives, and paints later.
    if (event->type() == QEvent::Show && m_windows.contains(watched)) {
        flush();
    }
    // The user acts on what the control holds now: a key or a click on a bound widget first
    // paints what is still due, so typing never edits a text the model has already replaced.
    if (m_dirty != 0 && m_hoverControls.contains(watched)) {
        switch (event->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::InputMethod:
            case QEvent::FocusIn:
                flush();
                break;
            default:
                break;
        }
    }
    if (event->type() == QEvent::Enter && onHover) {
        auto it = m_hoverControls.find(watched);
        if (it != m_hoverControls.end() && !it->second->toolTip().empty()) {
            onHover(*it->second);
        }
    }
    return QObject::eventFilter(watched, event);
}

QString Bindings::plainCaption(const std::string& caption) {
    std::string shown;
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&') {
            if (i + 1 < caption.size() && caption[i + 1] == '&') {
                shown += '&';
                ++i;
            }
            continue;
        }
        shown += caption[i];
    }
    return qs(shown);
}

void Bindings::bind(forms::CheckBox& model, QCheckBox& widget) {
    // True while the model sets the widget, so that its change is not taken for the user's.
    auto syncing = std::make_shared<bool>(false);
    const auto show = [&model, &widget, syncing] {
        if (widget.isChecked() != model.checked()) {
            *syncing = true;
            widget.setChecked(model.checked());
            *syncing = false;
        }
    };
    follow(model, &widget, [&model, &widget, show] {
        widget.setText(qs(model.caption()));
        show();
    });
    // The check mark is state, not text: it follows at once, and costs nothing when unchanged.
    watch(model.changed(), [alive = QPointer<QCheckBox>(&widget), show] {
        if (alive) {
            show();
        }
    });
    // Every change of the box counts, not only a mouse click: the keyboard, an assistive tool's
    // Toggle action or any other caller of setChecked(). The model takes the new value and raises
    // its Click once; the widget then shows whatever the handler decided.
    connect(&widget, &QCheckBox::toggled, &widget, [&model, syncing, show](bool checked) {
        if (*syncing) {
            return;
        }
        if (model.enabled()) {
            model.setChecked(checked);
        }
        show();
    });
}

void Bindings::bind(forms::Button& model, QPushButton& widget) {
    follow(model, &widget, [&model, &widget] {
        widget.setText(qs(model.caption()));
        if (widget.font().bold() != model.bold()) {
            QFont font = widget.font();
            font.setBold(model.bold());
            widget.setFont(font);
        }
    });
    connect(&widget, &QPushButton::clicked, &widget, [&model] { model.click(); });
}

void Bindings::bind(forms::Label& model, ClickableLabel& widget) {
    follow(model, &widget, [&model, &widget] {
        widget.setText(plainCaption(model.caption()));
        QFont font = widget.font();
        font.setBold(model.bold());
        widget.setFont(font);
    });
    connect(&widget, &ClickableLabel::clicked, &widget, [&model] { model.click(); });
    connect(&widget, &ClickableLabel::doubleClicked, &widget, [&model] { model.dblClick(); });
}

void Bindings::bind(forms::Frame& model, QGroupBox& widget) {
    follow(model, &widget, [&model, &widget] { widget.setTitle(qs(model.caption())); });
}

void Bindings::bind(forms::TextBox& model, QLineEdit& widget) {
    auto syncing = std::make_shared<bool>(false);
    follow(model, &widget, [&model, &widget, syncing] {
        // A masked box shows one mark per character; Qt draws its own mark.
        const QLineEdit::EchoMode echo =
            model.passwordChar().empty() ? QLineEdit::Normal : QLineEdit::Password;
        if (widget.echoMode() != echo) {
            widget.setEchoMode(echo);
        }
        if (widget.text() != qs(model.text())) {
            *syncing = true;
            widget.setText(qs(model.text()));
            *syncing = false;
        }
    });
    // Typing, pasting and an assistive tool's new value all reach the model, which raises Change.
    connect(&widget, &QLineEdit::textChanged, &widget, [&model, syncing](const QString& text) {
        if (!*syncing) {
            model.setText(text.toStdString());
        }
    });
}

void Bindings::bind(forms::TextBox& model, QPlainTextEdit& widget) {
    // The text last shown, as the model holds it, so a growing log is appended, not redrawn.
    auto shown = std::make_shared<std::string>();
    auto syncing = std::make_shared<bool>(false);
    follow(model, &widget, [&model, &widget, shown, syncing] {
        const std::string& text = model.text();
        if (text == *shown) {
            return;
        }
        *syncing = true;
        if (text.starts_with(*shown) && !shown->empty()) {
            QTextCursor end(widget.document());
            end.movePosition(QTextCursor::End);
            end.insertText(fromCrLf(text.substr(shown->size())));
        } else {
            widget.setPlainText(fromCrLf(text));
        }
        widget.verticalScrollBar()->setValue(widget.verticalScrollBar()->maximum());
        *shown = text;
        *syncing = false;
    });
    connect(&widget, &QPlainTextEdit::textChanged, &widget, [&model, &widget, shown, syncing] {
        if (*syncing) {
            return;
        }
        *shown = widget.toPlainText().replace('\n', QStringLiteral("\r\n")).toStdString();
        model.setText(*shown);
    });
}

void Bindings::bind(forms::ComboBox& model, QComboBox& widget) {
    auto syncing = std::make_shared<bool>(false);
    const auto show = [&model, &widget, syncing] {
        *syncing = true;
        const QStringList items = qItems(model);
        QStringList shown;
        for (int i = 0; i < widget.count(); ++i) {
            shown << widget.itemText(i);
        }
        if (shown != items) {
            widget.clear();
            widget.addItems(items);
        }
        widget.setCurrentIndex(model.listIndex());
        *syncing = false;
    };
    follow(model, &widget, show);
    // Any new choice, by mouse, keyboard, wheel or an assistive tool, selects the model's item.
    connect(&widget, &QComboBox::currentIndexChanged, &widget, [&model, syncing, show](int index) {
        if (*syncing) {
            return;
        }
        model.setListIndex(index);
        show();
    });
}

void Bindings::bind(forms::ListBox& model, QListWidget& widget) {
    auto syncing = std::make_shared<bool>(false);
    follow(model, &widget, [&model, &widget, syncing] {
        *syncing = true;
        const QStringList items = qItems(model);
        QStringList shown;
        for (int i = 0; i < widget.count(); ++i) {
            shown << widget.item(i)->text();
        }
        if (shown != items) {
            widget.clear();
            widget.addItems(items);
        }
        widget.setCurrentRow(model.listIndex());
        *syncing = false;
    });
    connect(&widget, &QListWidget::currentRowChanged, &widget, [&model, syncing](int row) {
        if (!*syncing) {
            model.setListIndex(row);
        }
    });
    connect(&widget, &QListWidget::itemDoubleClicked, &widget, [&model] { model.dblClick(); });
}

void Bindings::bind(forms::ProgressBar& model, QProgressBar& widget) {
    follow(model, &widget, [&model, &widget] {
        widget.setMaximum(model.max());
        widget.setValue(model.value());
    });
}

void Bindings::bind(forms::TabControl& model, QTabWidget& widget) {
    auto syncing = std::make_shared<bool>(false);
    follow(model, &widget, [&model, &widget, syncing] {
        *syncing = true;
        const auto& captions = model.captions();
        for (int i = 0; i < widget.count() && i < static_cast<int>(captions.size()); ++i) {
            widget.setTabText(i, qs(captions[static_cast<std::size_t>(i)]));
            widget.setTabEnabled(i, model.tabEnabled(i));
        }
        widget.setCurrentIndex(model.tab());
        *syncing = false;
    });
    // The page shown follows at once: the program turns pages seldom, and a page turned by the
    // program is one the user is meant to see.
    // So do the tabs' Enabled: a locked tab must not be reachable for a moment.
    watch(model.changed(), [&model, alive = QPointer<QTabWidget>(&widget), syncing] {
        if (!alive) {
            return;
        }
        *syncing = true;
        for (int i = 0; i < alive->count(); ++i) {
            if (alive->isTabEnabled(i) != model.tabEnabled(i)) {
                alive->setTabEnabled(i, model.tabEnabled(i));
            }
        }
        if (alive->currentIndex() != model.tab()) {
            alive->setCurrentIndex(model.tab());
        }
        *syncing = false;
    });
    connect(&widget, &QTabWidget::currentChanged, &widget, [&model, &widget, syncing](int index) {
        if (*syncing) {
            return;
        }
        model.setTab(index);
        *syncing = true;
        widget.setCurrentIndex(model.tab());
        *syncing = false;
    });
}

void Bindings::bind(forms::MenuItem& model, QAction& action) {
    QPointer<QAction> alive(&action);
    auto repaint = [&model, alive] {
        if (!alive) {
            return;
        }
        const bool separator = model.isSeparator();
        alive->setSeparator(separator);
        alive->setText(separator ? QString() : qs(model.caption()));
        // Only a checked entry shows a check mark; the others show none, as the old menus did.
        alive->setCheckable(model.checked());
        alive->setChecked(model.checked());
        alive->setEnabled(model.enabled());
        alive->setVisible(model.visible());
        alive->setToolTip(qs(model.toolTip()));
        alive->setShortcut(QKeySequence(qs(model.shortcut())));
    };
    repaint();
    watch(model.changed(), repaint);
    connect(&action, &QAction::triggered, &action, [&model, repaint] {
        model.click();
        repaint();
    });
}

QCheckBox* Bindings::checkBox(forms::CheckBox& model, int wrapWidth) {
    auto* widget = new QCheckBox;
    bind(model, *widget);
    if (wrapWidth > 0) {
        // A check box cannot wrap its caption; the view breaks it into lines itself.
        const auto wrap = [&model, widget, wrapWidth] {
            widget->setText(wrapped(qs(model.caption()), widget->fontMetrics(), wrapWidth));
        };
        wrap();
        repaintOn(model.changed(), widget, wrap);
    }
    return widget;
}

QString Bindings::wrapped(const QString& text, const QFontMetrics& metrics, int width) {
    QString result;
    QString line;
    for (const QString& word : text.split(' ')) {
        const QString candidate = line.isEmpty() ? word : line + ' ' + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            result += line + '\n';
            line = word;
        } else {
            line = candidate;
        }
    }
    return result + line;
}

QPushButton* Bindings::button(forms::Button& model) {
    auto* widget = new QPushButton;
    bind(model, *widget);
    return widget;
}

ClickableLabel* Bindings::label(forms::Label& model, bool link) {
    auto* widget = new ClickableLabel;
    // A link reads as one phrase; other labels wrap within their place.
    widget->setWordWrap(!link);
    widget->setLink(link);
    bind(model, *widget);
    return widget;
}

QLineEdit* Bindings::lineEdit(forms::TextBox& model) {
    auto* widget = new QLineEdit;
    bind(model, *widget);
    return widget;
}

QComboBox* Bindings::comboBox(forms::ComboBox& model) {
    auto* widget = new QComboBox;
    bind(model, *widget);
    return widget;
}

}  // namespace halvern::gui
