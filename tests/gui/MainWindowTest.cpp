#include "gui/MainWindow.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTabBar>
#include <QTest>

#include "forms/MainForm.h"
#include "forms/StatsForm.h"
#include "gui/StatsWindow.h"
#include "gui/TabRows.h"
#include "gui/TrayMenuView.h"

namespace halvern::gui {
namespace {

class MainWindowTest : public ::testing::Test {
protected:
    MainWindowTest() {
        form.frmMain.setCaption("Zorvik Popup Blocker Ad Stopper v4.2.8");
        form.frmMain.move(1500, 1500);
        form.frmMain.show();
    }

    QCheckBox* checkBoxShowing(const forms::CheckBox& model) {
        for (QCheckBox* box : window.findChildren<QCheckBox*>()) {
            if (box->text() == QString::fromStdString(model.caption())) {
                return box;
            }
        }
        return nullptr;
    }

    forms::MainForm form;
    MainWindow window{form, QIcon()};
};

TEST_F(MainWindowTest, FollowsTheFormsCaptionPlaceAndVisibility) {
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Zorvik Popup Blocker Ad Stopper v4.2.8");
    EXPECT_EQ(window.pos(), QPoint(100, 100));
    // The old window's 523 x 401, 36 pixels taller for the Ad Types page's links.
    EXPECT_EQ(window.centralWidget()->size(), QSize(523, 437));

    form.frmMain.hide();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(MainWindowTest, EveryPageFitsItsPlaceWithItsLongestCaptions) {
    // Pages are laid out for the captions they carry: a page whose content needs more room than
    // the fixed window gives squeezes its rows on top of each other or cuts its links off.
    for (int i = 0; i < window.tabs().count(); ++i) {
        QWidget* page = window.tabs().widget(i);
        const QSize needed = page->minimumSizeHint();
        EXPECT_LE(needed.height(), page->height()) << window.tabs().tabText(i).toStdString();
        EXPECT_LE(needed.width(), page->width()) << window.tabs().tabText(i).toStdString();
    }
}

TEST_F(MainWindowTest, AStoredPlaceOffTheScreenKeepsTheFrameOnIt) {
    const QRect area = window.screen()->availableGeometry();
    for (const QPoint twips : {QPoint(200000, -3000), QPoint(-45000, 150000)}) {
        form.frmMain.move(twips.x(), twips.y());
        const QRect frame = window.frameGeometry();
        EXPECT_TRUE(area.contains(frame.topLeft())) << twips.x() << "," << twips.y();
        EXPECT_TRUE(area.contains(frame.bottomRight())) << twips.x() << "," << twips.y();
    }
}

TEST(MainWindowPlace, TheFrameStaysInTheAreaTitleBarFirst) {
    struct Case {
        const char* what;
        QPoint wanted;
        QSize frame;
        QRect area;
        QPoint place;
    };
    const QRect screen(0, 0, 1280, 1024);
    const Case cases[] = {
        {"inside", {6, 6}, {525, 440}, screen, {6, 6}},
        {"above and left", {-40, -300}, {525, 440}, screen, {0, 0}},
        {"beyond right and bottom", {1200, 1000}, {525, 440}, screen, {755, 584}},
        {"below a top panel", {6, 6}, {525, 440}, {0, 24, 1280, 1000}, {6, 24}},
        {"second screen", {1300, 10}, {525, 440}, {1280, 0, 1024, 768}, {1300, 10}},
        {"larger than the area", {50, 50}, {2000, 1500}, screen, {0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MainWindow::framePlace(c.wanted, c.frame, c.area), c.place) << c.what;
    }
}

TEST_F(MainWindowTest, CancelledCloseKeepsTheProgramAndHidesTheWindow) {
    int asked = 0;
    form.frmMain.onQueryUnload = [&](forms::UnloadMode mode) {
        ++asked;
        EXPECT_EQ(mode, forms::UnloadMode::FormControlMenu);
        form.frmMain.hide();  // the program goes to the tray instead
        return true;
    };
    EXPECT_FALSE(window.close());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(QCoreApplication::closingDown());

    // Shown again from the tray, it is the same live window.
    form.frmMain.show();
    EXPECT_TRUE(window.isVisible());
}

TEST_F(MainWindowTest, AcceptedCloseHidesTheModelToo) {
    form.frmMain.onQueryUnload = [](forms::UnloadMode) { return false; };
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(form.frmMain.visible());
}

TEST_F(MainWindowTest, UserTabClickOnARowReachesTheModel) {
    std::vector<int> seen;
    form.A.onClick = [&] { seen.push_back(form.A.tab()); };
    auto* rows = window.findChild<TabRows*>();
    ASSERT_NE(rows, nullptr);
    QTabBar& second = rows->row(1);
    EXPECT_EQ(second.tabText(2), " Hot Keys");

    QTest::mouseClick(&second, Qt::LeftButton, {}, second.tabRect(2).center());
    EXPECT_EQ(form.A.tab(), forms::MainForm::kTabHotKeys);
    EXPECT_EQ(window.tabs().currentIndex(), forms::MainForm::kTabHotKeys);
    EXPECT_EQ(seen, (std::vector<int>{forms::MainForm::kTabHotKeys}));

    form.A.setTab(forms::MainForm::kTabStartup);
    EXPECT_EQ(rows->row(0).currentIndex(), forms::MainForm::kTabStartup);

    // An assistive tool's Press on a tab of a row picks that page, without any click.
    QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(&second);
    ASSERT_NE(bar, nullptr);
    QAccessibleInterface* tab = bar->child(1);
    ASSERT_NE(tab, nullptr);
    ASSERT_NE(tab->actionInterface(), nullptr);
    tab->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_EQ(form.A.tab(), forms::MainForm::kTabBlock);
    EXPECT_EQ(window.tabs().currentIndex(), forms::MainForm::kTabBlock);
    EXPECT_EQ(seen, (std::vector<int>{forms::MainForm::kTabHotKeys, forms::MainForm::kTabStartup,
                                      forms::MainForm::kTabBlock}));
}

TEST_F(MainWindowTest, AnOptionToggledWithoutAClickChangesItsSetting) {
    // The program's option handler: blocking follows the box.
    bool blocking = true;
    form.chkAdServers.setChecked(true);
    int clicks = 0;
    form.chkAdServers.onClick = [&] {
        ++clicks;
        blocking = form.chkAdServers.checked();
    };
    QCheckBox* box = checkBoxShowing(form.chkAdServers);
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(box->isChecked());

    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(box);
    ASSERT_NE(accessible, nullptr);
    accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(form.chkAdServers.checked());
    EXPECT_FALSE(blocking);
    EXPECT_EQ(clicks, 1);
}

TEST_F(MainWindowTest, OptionClickAndHelpLine) {
    int clicks = 0;
    form.chkAdServers.onClick = [&] { ++clicks; };
    QCheckBox* box = checkBoxShowing(form.chkAdServers);
    ASSERT_NE(box, nullptr);
    box->click();
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(form.chkAdServers.checked());

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(box, &enter);
    EXPECT_EQ(form.lblHelpText.caption(), form.chkAdServers.toolTip());
}

TEST_F(MainWindowTest, MenuBarHoldsTheFormsMenus) {
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(menus[0]->text(), "&File");
    EXPECT_EQ(menus[0]->menu()->actions().size(), 3);

    form.mnuSettings.setVisible(false);
    EXPECT_FALSE(menus[1]->isVisible());

    int exits = 0;
    form.mnuFileExit.onClick = [&] { ++exits; };
    menus[0]->menu()->actions()[2]->trigger();
    EXPECT_EQ(exits, 1);
}

TEST_F(MainWindowTest, DeveloperZoneOpensOnlyAfterFiveClicks) {
    const QSize locked = window.size();
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    form.nDebugClicks = 4;
    form.developerZoneChanged.emit();
    EXPECT_FALSE(window.developerZoneOpen());
    EXPECT_EQ(window.size(), locked);

    form.nDebugClicks = 5;
    form.developerZoneChanged.emit();
    EXPECT_TRUE(window.developerZoneOpen());
    EXPECT_GT(window.maximumHeight(), locked.height());
    QCheckBox* debug = checkBoxShowing(form.chkDebug);
    ASSERT_NE(debug, nullptr);
    EXPECT_TRUE(debug->isVisible());
}

TEST(TrayMenuView, BuildsEveryEntryAndPopsUpWhenAsked) {
    forms::MainForm form;
    TrayMenuView view(form);
    const QList<QAction*> actions = view.menu().actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(form.mnuTray.children().size()));
    int separators = 0;
    for (QAction* action : actions) {
        separators += action->isSeparator() ? 1 : 0;
    }
    EXPECT_EQ(separators, 3);

    form.trayMenuRequested.emit();
    EXPECT_TRUE(view.menu().isVisible());
    view.menu().hide();
}

TEST(StatsWindow, FollowsTheModelAndClosingUnloadsIt) {
    forms::StatsForm form;
    StatsWindow window(form, QIcon());
    EXPECT_FALSE(window.isVisible());

    form.ngClickMiniStatsButton = 2;
    form.setToday(3);
    form.setLifeTime(1234);
    form.frmStats.show();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Ads 3 : 1234");

    EXPECT_TRUE(window.close());
    EXPECT_FALSE(form.frmStats.visible());
    EXPECT_EQ(form.ngClickMiniStatsButton, 0);
}

}  // namespace
}  // namespace halvern::gui
