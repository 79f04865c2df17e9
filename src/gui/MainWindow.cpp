#include "gui/MainWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QWindow>
#include <algorithm>

#include "forms/MainForm.h"
#include "gui/ClickableLabel.h"
#include "gui/DeveloperPanel.h"
#include "gui/InfoPages.h"
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
    QFont compact = font();
    compact.setPointSize(8);
    setFont(compact);
    m_bindings.onHover = [this](const forms::Control& control) {
        m_form.lblHelpText.setCaption(control.toolTip());
    };
    buildMenus();
    buildClientArea(icon);
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
        m_bindings.bind(*top, *menu->menuAction());
        for (forms::MenuItem* entry : top->children()) {
            m_bindings.bind(*entry, *menu->addAction(QString()));
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
    // The rows show which tabs the settings lock leaves enabled, also when the page stays.
    m_bindings.watch(m_form.A.changed(), [this] { m_rows->refresh(); });
    // The tab control on top, then the progress bar and the help line; the help line spans most
    // of the width so that the longest tool tip fits in four lines.
    m_rows->setGeometry(twips(60, 30, 7725, 4770));

    auto* progress = new QProgressBar(m_client);
    progress->setTextVisible(false);
    progress->setGeometry(twips(30, 4845, 7050, 210));
    m_bindings.bind(m_form.ProgressBar1, *progress);

    ClickableLabel* help = m_bindings.label(m_form.lblHelpText);
    help->setParent(m_client);
    help->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    help->setGeometry(twips(90, 5100, 7050, 900));
    help->show();

    auto* picture = new QLabel(m_client);
    picture->setPixmap(icon.pixmap(32, 32));
    picture->setAlignment(Qt::AlignCenter);
    picture->setGeometry(twips(7200, 5130, 600, 600));

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

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_client && event->type() == QEvent::Resize) {
        placeDeveloperPanel();
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
