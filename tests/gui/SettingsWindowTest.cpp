// The settings window as the user meets it with the program behind it: tool tips, keyboard,
// the controls whose subsystem is missing, the about window and the tray's clicks.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <string>
#include <vector>

#include "forms/MainForm.h"
#include "gui/AboutWindow.h"
#include "gui/ClickableLabel.h"
#include "gui/MainWindow.h"
#include "gui/TabRows.h"
#include "gui/TrayMenuView.h"
#include "platform/qt/TrayReleaseFilter.h"
#include "program/Program.h"
#include "support/FakePlatform.h"

namespace halvern::gui {
namespace {

using forms::MainForm;

struct SettingsWindowTest : ::testing::Test {
    SettingsWindowTest() {
        program.Form_Load();
        // The first start's information boxes come from the start-up timer, never run here.
    }
    /// The bound widget that shows a control's tool tip, or null.
    QWidget* showing(const std::string& tip) {
        for (QWidget* widget : window.findChildren<QWidget*>()) {
            if (widget->toolTip().toStdString() == tip) {
                return widget;
            }
        }
        return nullptr;
    }
    QPushButton* button(const forms::Button& model) {
        for (QPushButton* push : window.findChildren<QPushButton*>()) {
            if (push->text().toStdString() == model.caption() &&
                push->toolTip().toStdString() == model.toolTip()) {
                return push;
            }
        }
        return nullptr;
    }

    testing::FakePlatform fake;
    program::Program program{fake.platform};
    MainForm& form = program.form();
    MainWindow window{form, QIcon()};
};

TEST_F(SettingsWindowTest, ThirtyControlsShowTheirToolTipAndFeedTheHelpLine) {
    const forms::Control* controls[] = {
        &form.chkAdServers,   &form.chkAuto,
        &form.chkBannerSound, &form.chkFlashIE,
        &form.chkIEPops,      &form.chkIEToolBar,
        &form.chkJavaPops,    &form.chkPlayAnimationinWebPagesIE,
        &form.chkPopSound,    &form.chkRunIE,
        &form.chkStartup,     &form.cmdAddSites,
        &form.cmdAllow,       &form.cmdAllowIEPop,
        &form.cmdAllowTitle,  &form.cmdData,
        &form.cmdData2,       &form.cmdGuessProxy2,
        &form.cmdLog,         &form.cmdNew,
        &form.cmdPopupTitles, &form.cmdReset,
        &form.cmdTestConn,    &form.frameRecentAd,
        &form.frameAdStats,   &form.lblAllowServer,
        &form.lblLastIEPop,   &form.lblLastTitle,
        &form.picOn,          &form.cmdSpyWare,
    };
    ASSERT_EQ(std::size(controls), 30u);
    for (const forms::Control* control : controls) {
        ASSERT_FALSE(control->toolTip().empty()) << control->name();
        QWidget* widget = showing(control->toolTip());
        ASSERT_NE(widget, nullptr) << control->name();
        form.lblHelpText.setCaption("");
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(widget, &enter);
        EXPECT_EQ(form.lblHelpText.caption(), control->toolTip()) << control->name();
    }
}

TEST_F(SettingsWindowTest, EveryWindowCommandIsEnabledAndTheTrayEntryFollowsItsModel) {
    for (const forms::Button* model :
         {&form.cmdLog, &form.cmdAllow, &form.cmdPopupTitles, &form.cmdAllowIEPop}) {
        QPushButton* push = button(*model);
        ASSERT_NE(push, nullptr) << model->name();
        EXPECT_TRUE(push->isEnabled()) << model->name();
        EXPECT_FALSE(push->toolTip().contains("Not available yet")) << model->name();
    }
    TrayMenuView tray(form);
    QAction* allowLastPopup = nullptr;
    for (QAction* action : tray.menu().actions()) {
        if (action->text().contains("WhiteList based on URL")) {
            allowLastPopup = action;
        }
    }
    ASSERT_NE(allowLastPopup, nullptr);
    EXPECT_FALSE(allowLastPopup->isEnabled()) << "nothing was blocked yet";
    form.mnuTrayLastIEPop.setEnabled(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return allowLastPopup->isEnabled(); }, 5000));
}

TEST(SettingsWindowSeams, ControlsWithoutTheirSubsystemAreDisabledAndSayWhy) {
    testing::FakePlatform fake;
    program::Program program{fake.platform};
    // A build without the white-list editor.
    program.windowSeams().openWhiteList = nullptr;
    program.Form_Load();
    MainForm& form = program.form();
    MainWindow window{form, QIcon()};
    const auto button = [&window](const forms::Button& model) -> QPushButton* {
        for (QPushButton* push : window.findChildren<QPushButton*>()) {
            if (push->text().toStdString() == model.caption()) {
                return push;
            }
        }
        return nullptr;
    };
    QPushButton* allowPopup = button(form.cmdAllowIEPop);
    ASSERT_NE(allowPopup, nullptr);
    EXPECT_FALSE(allowPopup->isEnabled());
    EXPECT_TRUE(allowPopup->toolTip().contains("Not available yet"));
    for (const forms::Button* model : {&form.cmdLog, &form.cmdAllow, &form.cmdPopupTitles}) {
        QPushButton* push = button(*model);
        ASSERT_NE(push, nullptr) << model->name();
        EXPECT_TRUE(push->isEnabled()) << model->name();
        EXPECT_FALSE(push->toolTip().contains("Not available yet")) << model->name();
    }
    TrayMenuView tray(form);
    EXPECT_TRUE(tray.menu().toolTipsVisible());
    QAction* allowLastPopup = nullptr;
    QAction* settings = nullptr;
    for (QAction* action : tray.menu().actions()) {
        if (action->text().contains("WhiteList based on URL")) {
            allowLastPopup = action;
        }
        if (action->text() == "&Display Program Settings") {
            settings = action;
        }
    }
    ASSERT_NE(allowLastPopup, nullptr);
    form.mnuTrayLastIEPop.setEnabled(true);
    EXPECT_FALSE(allowLastPopup->isEnabled()) << "an entry without its editor stays disabled";
    EXPECT_TRUE(allowLastPopup->toolTip().contains("popup white-list editor"));
    ASSERT_NE(settings, nullptr);
    EXPECT_TRUE(settings->isEnabled());
    EXPECT_FALSE(settings->icon().isNull()) << "the menu pictures are set at start-up";
}

TEST(SettingsWindowPopupOptions, TheirControlsFollowTheLockAndTheLogin) {
    testing::FakePlatform fake;
    fake.userStore.set("KorvaneSoft", "Zorvik", "BlockLevel", "secret");
    program::Program program{fake.platform};
    program.Form_Load();
    MainForm& form = program.form();
    MainWindow window{form, QIcon()};
    // The hot-key lists and the block-all option work in this build: nothing says otherwise.
    // The lists have no tool tip of their own: they are the combo boxes that offer "none".
    std::vector<QWidget*> offered;
    for (QComboBox* list : window.findChildren<QComboBox*>()) {
        if (list->count() == 13 && list->itemText(0) == "none") {
            offered.push_back(list);
        }
    }
    ASSERT_EQ(offered.size(), 4U) << "the four hot-key lists";
    for (QWidget* widget : window.findChildren<QWidget*>()) {
        if (widget->toolTip().toStdString() == form.chkJavaPops.toolTip()) {
            offered.push_back(widget);
        }
    }
    ASSERT_EQ(offered.size(), 5U) << "the block-all box";
    window.show();
    QTest::qWait(Bindings::kRepaintInterval + 50);
    for (QWidget* widget : offered) {
        EXPECT_FALSE(widget->isEnabled()) << widget->metaObject()->className() << " while locked";
        EXPECT_FALSE(widget->toolTip().contains("Not available yet"));
    }
    form.txtPass.setText("secret");
    form.cmdPass.click();
    QTest::qWait(Bindings::kRepaintInterval + 50);
    for (int tab = 0; tab < window.tabs().count(); ++tab) {
        form.A.setTab(tab);
        QTest::qWait(10);
        for (QWidget* widget : offered) {
            EXPECT_TRUE(widget->isEnabled())
                << widget->metaObject()->className() << " on page " << tab;
        }
    }
    window.hide();
}

TEST(SettingsWindowSeams, AFilledSeamLeavesItsControlsEnabled) {
    testing::FakePlatform fake;
    program::Program program{fake.platform};
    int opened = 0;
    program.windowSeams().openLogWindow = [&] { ++opened; };
    program.Form_Load();
    MainWindow window{program.form(), QIcon()};
    QPushButton* log = nullptr;
    for (QPushButton* push : window.findChildren<QPushButton*>()) {
        if (push->text() == "Logging") {
            log = push;
        }
    }
    ASSERT_NE(log, nullptr);
    EXPECT_TRUE(log->isEnabled());
    EXPECT_FALSE(log->toolTip().contains("Not available"));
    log->click();
    EXPECT_EQ(opened, 1);
}

TEST_F(SettingsWindowTest, CtrlTabAndCtrlPageDownTurnThePagesFromAnyControl) {
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTabWidget& tabs = window.tabs();
    form.A.setTab(MainForm::kTabAdTypes);
    QWidget* start = tabs.currentWidget()->findChild<QAbstractButton*>();
    ASSERT_NE(start, nullptr);
    start->setFocus();

    struct Step {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int tab;
    };
    const Step steps[] = {
        {Qt::Key_Tab, Qt::ControlModifier, MainForm::kTabStartup},
        {Qt::Key_PageDown, Qt::ControlModifier, MainForm::kTabLogHistory},
        {Qt::Key_PageUp, Qt::ControlModifier, MainForm::kTabStartup},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, MainForm::kTabAdTypes},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, MainForm::kTabSpyware},
        {Qt::Key_Tab, Qt::ControlModifier, MainForm::kTabAdTypes},
    };
    for (const Step& s : steps) {
        QWidget* focus = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(focus, s.key, s.modifiers);
        EXPECT_EQ(form.A.tab(), s.tab) << "key " << s.key;
        EXPECT_EQ(tabs.currentIndex(), s.tab);
    }
    // A page that may not be chosen (the password lock) is passed over.
    tabs.setTabEnabled(MainForm::kTabStartup, false);
    QTest::keyClick(&window, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(form.A.tab(), MainForm::kTabLogHistory);
    tabs.setTabEnabled(MainForm::kTabStartup, true);
    window.hide();
}

TEST_F(SettingsWindowTest, TabGoesRoundTheRowsAndTheShownPageAndAPageTurnKeepsTheFocusShown) {
    // Block-all is offered only while browser popups are blocked: switched off, it is a disabled
    // box on the shown page.
    form.chkIEPops.setChecked(false);
    ASSERT_FALSE(form.chkJavaPops.enabled());
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QTest::qWait(Bindings::kRepaintInterval + 50);
    TabRows* rows = window.findChild<TabRows*>();
    ASSERT_NE(rows, nullptr);
    const auto press = [&](Qt::Key key) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : &window, key);
        focus = QApplication::focusWidget();
        EXPECT_TRUE(focus && focus->isVisible() && focus->isEnabled())
            << (focus ? focus->metaObject()->className() : "no focus");
        return focus;
    };
    // The first Tab of a fresh window goes to a control the user sees; then the round.
    QList<QWidget*> round;
    for (QWidget* focus = press(Qt::Key_Tab); !round.contains(focus); focus = press(Qt::Key_Tab)) {
        ASSERT_LT(round.size(), 40) << "Tab never comes back";
        round << focus;
    }
    const auto at = [&round](const QWidget* w) { return round.indexOf(const_cast<QWidget*>(w)); };
    ASSERT_GE(at(&rows->row(0)), 0);
    ASSERT_GE(at(&rows->row(1)), 0);
    EXPECT_EQ((at(&rows->row(1)) - at(&rows->row(0)) + round.size()) % round.size(), 1)
        << "the two rows follow each other";
    EXPECT_GE(at(showing(form.chkIEPops.toolTip())), 0);
    EXPECT_GE(at(button(form.Command3)), 0);
    EXPECT_LT(at(window.tabs().tabBar()), 0) << "the hidden bar of the tab control is not a stop";
    EXPECT_LT(at(showing(form.chkJavaPops.toolTip())), 0) << "a disabled box is not a stop";

    // Shift+Tab goes the same round backwards.
    QWidget* start = QApplication::focusWidget();
    for (int i = 1; i <= round.size(); ++i) {
        QWidget* focus = press(Qt::Key_Backtab);
        EXPECT_EQ(focus, round[(round.indexOf(start) - i + 2 * round.size()) % round.size()]);
    }

    // A page turned under a focused control gives the focus to the new page.
    showing(form.chkIEPops.toolTip())->setFocus();
    for (int turn = 0; turn < 5; ++turn) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus, Qt::Key_PageDown, Qt::ControlModifier);
        focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        EXPECT_TRUE(focus->isVisible()) << "page " << form.A.tab();
        EXPECT_TRUE(window.tabs().currentWidget()->isAncestorOf(focus)) << "page " << form.A.tab();
    }
    window.hide();
}

TEST_F(SettingsWindowTest, EveryButtonAndLinkIsReachedWithTabAndTheFontIsTheDesktops) {
    for (QPushButton* push : window.findChildren<QPushButton*>()) {
        EXPECT_TRUE(push->focusPolicy() & Qt::TabFocus) << push->text().toStdString();
    }
    int links = 0;
    for (ClickableLabel* label : window.findChildren<ClickableLabel*>()) {
        if (label->font().underline()) {
            ++links;
            EXPECT_TRUE(label->focusPolicy() & Qt::TabFocus) << label->text().toStdString();
        }
    }
    EXPECT_GE(links, 6);
    EXPECT_EQ(window.font().pointSizeF(), QApplication::font().pointSizeF());

    // Space on a focused link follows it, as a click does.
    int clicks = 0;
    form.lbladaware.onClick = [&] { ++clicks; };
    for (ClickableLabel* label : window.findChildren<ClickableLabel*>()) {
        if (label->text().toStdString() == form.lbladaware.caption()) {
            QTest::keyClick(label, Qt::Key_Space);
        }
    }
    EXPECT_EQ(clicks, 1);
}

TEST_F(SettingsWindowTest, AboutWindowShowsNameVersionLicenceAndTheAddressLink) {
    AboutWindow about(program.about(), QIcon());
    EXPECT_FALSE(about.isVisible());
    form.mnuHelpAbout.click();
    EXPECT_TRUE(about.isVisible());
    EXPECT_EQ(about.windowTitle(), "About Zorvik");
    QStringList texts;
    ClickableLabel* address = nullptr;
    for (ClickableLabel* label : about.findChildren<ClickableLabel*>()) {
        texts << label->text();
        if (label->text() == "https://halvern.org") {
            address = label;
        }
    }
    EXPECT_TRUE(texts.contains("Zorvik"));
    EXPECT_TRUE(texts.contains("Version 4.2.8"));
    ASSERT_NE(address, nullptr);
    QTest::mouseClick(address, Qt::LeftButton);
    EXPECT_EQ(fake.launcher.opened, std::vector<std::string>{"https://halvern.org"});

    QPushButton* ok = about.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_FALSE(program.about().frmAbout.visible());
}

/// A stand-in for the tray icon's window that counts what reaches it.
class IconWindow final : public QWidget {
public:
    int presses = 0;

protected:
    void mousePressEvent(QMouseEvent*) override { ++presses; }
};

TEST(TrayReleaseFilter, ClicksOnTheIconCountOnReleaseInsideIt) {
    IconWindow icon;
    icon.resize(22, 22);
    QWidget other;
    other.resize(22, 22);
    std::vector<platform::TrayMouse> clicks;
    platform::TrayReleaseFilter filter([&icon](const QObject* o) { return o == &icon; },
                                       [&clicks](platform::TrayMouse m) { clicks.push_back(m); });
    QCoreApplication::instance()->installEventFilter(&filter);

    QTest::mousePress(&icon, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(clicks.empty()) << "nothing as the button goes down";
    EXPECT_EQ(icon.presses, 0) << "Qt's own report on press is held back";
    QTest::mouseRelease(&icon, Qt::LeftButton, {}, QPoint(6, 6));
    EXPECT_EQ(clicks, std::vector<platform::TrayMouse>{platform::TrayMouse::LeftUp});

    clicks.clear();
    QTest::mousePress(&icon, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&icon, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicks, std::vector<platform::TrayMouse>{platform::TrayMouse::RightUp});

    clicks.clear();
    QTest::mousePress(&icon, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&icon, Qt::LeftButton, {}, QPoint(60, 5));
    EXPECT_TRUE(clicks.empty()) << "let go outside the icon";

    QTest::mouseRelease(&icon, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_TRUE(clicks.empty()) << "a release without its press";

    QTest::mousePress(&other, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(&other, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_TRUE(clicks.empty()) << "other windows are left alone";
    QCoreApplication::instance()->removeEventFilter(&filter);
}

}  // namespace
}  // namespace halvern::gui
