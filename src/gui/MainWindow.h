#pragma once

#include <QIcon>
#include <QMainWindow>

#include "gui/Bindings.h"

class QTabWidget;

namespace halvern::forms {
struct MainForm;
}

namespace halvern::gui {

class ClickableLabel;
class DeveloperPanel;
class TabRows;

/// The main (settings) window: the menu bar, the tab control with its eleven pages, the progress
/// bar, the help line and, beyond the fixed size, the developer zone. It shows, hides, moves and
/// closes as the form model says; all behaviour stays in the model's handlers.
class MainWindow final : public QMainWindow {
public:
    /// Twips per screen pixel at the usual 96 dots per inch.
    static constexpr int kTwipsPerPixel = 15;
    /// The pages' extra height beyond the old window's, in twips: the Ad Types page holds links
    /// with longer captions than that window had room for.
    static constexpr int kPageGrowth = 540;
    /// The client area below the menu bar: 7845 x 6015 twips, and the pages' growth.
    static constexpr int kClientWidth = 7845 / kTwipsPerPixel;
    static constexpr int kClientHeight = (6015 + kPageGrowth) / kTwipsPerPixel;

    MainWindow(forms::MainForm& form, const QIcon& icon, QWidget* parent = nullptr);
    ~MainWindow() override;

    /// The tab control `A`, for tests and for the password lock's per-tab state.
    QTabWidget& tabs() const { return *m_tabs; }
    /// True once the developer zone is unlocked and the window may be resized.
    bool developerZoneOpen() const { return m_developerOpen; }

    /// Where a frame of the given size goes when its place should be wanted: as near to it as
    /// the area allows, never with its top left corner (the title bar) outside the area.
    static QPoint framePlace(QPoint wanted, QSize frame, const QRect& area);

protected:
    /// The title-bar close asks the model; a cancelled close leaves the window to the model.
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Tab and Shift+Tab go round the tab rows, then the shown page's controls, then what lies
    /// below the tab control (the picture, the developer zone when it is open), and back.
    bool focusNextPrevChild(bool next) override;

private:
    void buildMenus();
    void buildClientArea(const QIcon& icon);
    /// Ctrl+Tab, Ctrl+Page Down and their reverses turn the pages.
    void buildTabKeys();
    /// Shows the next (step 1) or previous (-1) page that is enabled.
    void turnPage(int step);
    /// The controls that Tab visits now, in its order: each enabled, shown and taking focus by Tab.
    QList<QWidget*> tabChain() const;
    /// After a page turn: a focus left on a hidden control goes to the new page's first
    /// control, or to the first row when the page has none.
    void keepFocusShown();
    void syncForm();
    /// Places the frame at the model's position, kept on the screen's available area.
    void placeFrame();
    void syncDeveloperZone();
    void placeDeveloperPanel();

    forms::MainForm& m_form;
    Bindings m_bindings{Bindings::kRepaintInterval};
    QWidget* m_client = nullptr;
    QTabWidget* m_tabs = nullptr;
    TabRows* m_rows = nullptr;
    DeveloperPanel* m_developer = nullptr;
    ClickableLabel* m_picture = nullptr;
    bool m_developerOpen = false;
    bool m_zoneApplied = false;
    int m_left = -1;
    int m_top = -1;
};

}  // namespace halvern::gui
