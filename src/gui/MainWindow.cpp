#include "gui/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QWindow>
#include <algorithm>

#include "forms/MainForm.h"
#include "gui/ClickableLabel.h"
#include "gui/DeveloperPanel.h"
#include "gui/InfoPages.h"
#include "gui/MenuIcons.h"
#include "gui/OptionPages.h"
#include "gui/TabRows.h"

namespace halvern::gui {
namespace {

QRect twips(int left, int top, int width, int height) {
    constexpr int k = MainWindow::kTwipsPerPixel;
    return {left / k, top / k, width / k, height / k};
}

}  // namespace

MainWindow::MainWindow(forms::MainForm& form, const QIcon& icon, QWidget* parent)
    : QMainWindow(parent), m_form(form) {
    setWindowIcon(icon);
    m_bindings.onHover = [this](const forms::Control& control) {
        m_form.lblHelpText.setCaption(control.toolTip());
    };
    buildMenus();
    buildClientArea(icon);
    buildTabKeys();
    m_bindings.watch(form.frmMain.changed(), [this] { syncForm(); });
    m_bindings.watch(form.frmMain.raiseRequested(), [this] {
        if (isMinimized()) {
            showNormal();
        }
        raise();
        activateWindow();
    });
    m_bindings.watch(form.developerZoneChanged, [this] { syncDeveloperZone(); });
    syncDeveloperZone();
    syncForm();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildMenus() {
    for (forms::MenuItem* top : m_form.menuBar()) {
        QMenu* menu = menuBar()->addMenu(QString());
        // A disabled entry says why in its tool tip.
        menu->setToolTipsVisible(true);
        m_bindings.bind(*top, *menu->menuAction());
        for (forms::MenuItem* entry : top->children()) {
            QAction* action = menu->addAction(QString());
            m_bindings.bind(*entry, *action);
            MenuIcons::follow(m_bindings, *entry, *action);
        }
    }
}

void MainWindow::buildClientArea(const QIcon& icon) {
    m_client = new QWidget(this);
    m_client->installEventFilter(this);
    setCentralWidget(m_client);

    m_tabs = new QTabWidget;
    OptionPages::addTo(*m_tabs, m_bindings, m_form);
    InfoPages::addTo(*m_tabs, m_bindings, m_form);
    // The binding gives every page its caption, so it comes before the rows that show them.
    m_bindings.bind(m_form.A, *m_tabs);
    m_rows = new TabRows(*m_tabs, 6, m_client);
    // The rows stand in for the tab control's own bar, which is hidden: neither takes the focus.
    m_tabs->setFocusPolicy(Qt::NoFocus);
    m_tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
    connect(m_tabs, &QTabWidget::currentChanged, this, [this] { keepFocusShown(); });
    // The rows show which tabs the settings lock leaves enabled, also when the page stays.
    m_bindings.watch(m_form.A.changed(), [this] { m_rows->refresh(); });
    // The tab control on top, then the progress bar and the help line; the help line spans most
    // of the width so that the longest tool tip fits in four lines.
    m_rows->setGeometry(twips(60, 30, 7725, 4770 + kPageGrowth));

    auto* progress = new QProgressBar(m_client);
    progress->setTextVisible(false);
    progress->setGeometry(twips(30, 4845 + kPageGrowth, 7050, 210));
    m_bindings.bind(m_form.ProgressBar1, *progress);

    ClickableLabel* help = m_bindings.label(m_form.lblHelpText);
    help->setParent(m_client);
    help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    help->setGeometry(twips(90, 5100 + kPageGrowth, 7050, 900));
    help->show();

    // picOn: the program's picture, a link to the online help.
    m_picture = new ClickableLabel(m_client);
    m_picture->setPixmap(icon.pixmap(32, 32));
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setCursor(Qt::PointingHandCursor);
    m_picture->setGeometry(twips(7200, 5130 + kPageGrowth, 600, 600));
    m_picture->installEventFilter(this);
    connect(m_picture, &ClickableLabel::clicked, this, [this] { m_form.picOn.click(); });
    const auto picOn = [this] {
        m_picture->setToolTip(QString::fromStdString(m_form.picOn.toolTip()));
        m_picture->setEnabled(m_form.picOn.enabled());
    };
    picOn();
    m_bindings.watch(m_form.picOn.changed(), picOn);

    m_developer = new DeveloperPanel(m_bindings, m_form, m_client);
}

void MainWindow::syncForm() {
    const forms::Form& frm = m_form.frmMain;
    setWindowTitle(QString::fromStdString(frm.caption()));
    setEnabled(frm.enabled());
    if (frm.left() != m_left || frm.top() != m_top) {
        m_left = frm.left();
        m_top = frm.top();
        placeFrame();
    }
    if (frm.visible() != isVisible()) {
        setVisible(frm.visible());
    }
}

QPoint MainWindow::framePlace(QPoint wanted, QSize frame, const QRect& area) {
    // Right and bottom first, so that a frame larger than the area keeps its top left corner,
    // and with it the title bar, in view.
    const int x = std::max(area.left(), std::min(wanted.x(), area.right() + 1 - frame.width()));
    const int y = std::max(area.top(), std::min(wanted.y(), area.bottom() + 1 - frame.height()));
    return {x, y};
}

void MainWindow::placeFrame() {
    const QPoint wanted(m_left / kTwipsPerPixel, m_top / kTwipsPerPixel);
    QScreen* screen = QGuiApplication::screenAt(wanted);
    if (!screen) {
        screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    }
    QPoint place = wanted;
    if (screen) {
        place = framePlace(wanted, frameGeometry().size(), screen->availableGeometry());
    }
    // The stored place is where the frame goes, title bar included, not the client area: a
    // window manager would otherwise push the title bar above the screen. Before the window
    // exists, move() places the frame too.
    if (QWindow* handle = windowHandle()) {
        handle->setFramePosition(place);
    } else {
        move(place);
    }
}

void MainWindow::syncDeveloperZone() {
    const bool open = m_form.nDebugClicks > 4;
    if (m_zoneApplied && open == m_developerOpen) {
        return;
    }
    m_zoneApplied = true;
    m_developerOpen = open;
    m_developer->setVisible(open);
    if (open) {
        layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
        m_client->setMinimumSize(kClientWidth, kClientHeight);
        m_client->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        resize(width(), height() + 300);
    } else {
        // Locked: the window keeps its size, and the zone beyond it cannot be reached.
        m_client->setFixedSize(kClientWidth, kClientHeight);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
    placeDeveloperPanel();
}

void MainWindow::placeDeveloperPanel() {
    m_developer->setGeometry(0, kClientHeight, std::max(kClientWidth, m_client->width()),
                             std::max(0, m_client->height() - kClientHeight));
}

void MainWindow::buildTabKeys() {
    // The pages turn from anywhere in the window, whichever control has the focus, as tabbed
    // windows do: Ctrl+Tab and Ctrl+Page Down forwards, Ctrl+Shift+Tab and Ctrl+Page Up back.
    const std::pair<QKeySequence, int> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Tab), 1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), -1},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
        {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1},
    };
    for (const auto& [key, step] : keys) {
        auto* shortcut = new QShortcut(key, this);
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { turnPage(step); });
    }
}

void MainWindow::turnPage(int step) {
    const int count = m_tabs->count();
    if (!m_tabs->isEnabled() || count < 2) {
        return;
    }
    // The next page that may be chosen, round the end; a locked page is passed over.
    int index = m_tabs->currentIndex();
    for (int tried = 1; tried < count; ++tried) {
        index = (index + step + count) % count;
        if (m_tabs->isTabEnabled(index)) {
            m_tabs->setCurrentIndex(index);
            return;
        }
    }
}

QList<QWidget*> MainWindow::tabChain() const {
    const auto reachable = [](const QWidget* widget) {
        return widget->isVisible() && widget->isEnabled() && widget->focusProxy() == nullptr &&
               (widget->focusPolicy() & Qt::TabFocus) != 0;
    };
    QList<QWidget*> rows;
    for (int r = 0; r < m_rows->rowCount(); ++r) {
        if (reachable(&m_rows->row(r))) {
            rows << &m_rows->row(r);
        }
    }
    // The rest in the window's own focus order, which is the order the controls were laid out.
    QList<QWidget*> rest;
    for (QWidget* widget = m_client->nextInFocusChain(); widget != m_client;
         widget = widget->nextInFocusChain()) {
        if (rows.contains(widget) || rest.contains(widget)) {
            continue;
        }
        if (m_client->isAncestorOf(widget) && reachable(widget)) {
            rest << widget;
        }
    }
    return rows + rest;
}

void MainWindow::keepFocusShown() {
    QWidget* focus = focusWidget();
    if (focus == nullptr || focus->isVisible()) {
        return;
    }
    const QList<QWidget*> chain = tabChain();
    QWidget* page = m_tabs->currentWidget();
    for (QWidget* widget : chain) {
        if (page != nullptr && page->isAncestorOf(widget)) {
            widget->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    if (!chain.isEmpty()) {
        chain.front()->setFocus(Qt::OtherFocusReason);
    }
}

bool MainWindow::focusNextPrevChild(bool next) {
    const QList<QWidget*> chain = tabChain();
    if (chain.isEmpty()) {
        return QMainWindow::focusNextPrevChild(next);
    }
    // From a control outside the round (none yet, or one just hidden with its page) Tab starts
    // at the first row and Shift+Tab at the last control.
    const auto count = chain.size();
    const auto at = chain.indexOf(focusWidget());
    const auto target = at < 0 ? (next ? 0 : count - 1) : (at + (next ? 1 : count - 1)) % count;
    chain[target]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) {
        placeDeveloperPanel();
    }
    if (watched == m_picture && event->type() == QEvent::Enter && !m_form.picOn.toolTip().empty()) {
        m_form.lblHelpText.setCaption(m_form.picOn.toolTip());
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!m_form.frmMain.queryUnload(forms::UnloadMode::FormControlMenu)) {
        // The model cancelled; it has hidden the window into the tray itself.
        event->ignore();
        return;
    }
    event->accept();
    m_form.frmMain.hide();
}

}  // namespace halvern::gui
