#include <gtest/gtest.h>

#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include "forms/MainForm.h"
#include "gui/Bindings.h"
#include "gui/MainWindow.h"
#include "gui/TabRows.h"
#include "gui/TrayMenuView.h"
#include "platform/qt/QtTray.h"
#include "program/Program.h"
#include "support/FakePlatform.h"
#include "ui/PasswordLock.h"

namespace halvern::gui {
namespace {

TEST(MaskedTextBox, ShowsMarksAndPassesTypingToTheModel) {
    forms::TextBox model("txtPass");
    Bindings bindings;
    QLineEdit* edit = bindings.lineEdit(model);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
    model.setPasswordChar("*");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    QTest::keyClicks(edit, "secret");
    EXPECT_EQ(model.text(), "secret");
    EXPECT_NE(edit->displayText(), QStringLiteral("secret"));
    model.setPasswordChar("");
    EXPECT_EQ(edit->echoMode(), QLineEdit::Normal);
    delete edit;
}

TEST(TabEnabled, EachTabFollowsItsModel) {
    forms::TabControl model("A", {"one", "two", "three"});
    QTabWidget tabs;
    for (int i = 0; i < 3; ++i) {
        tabs.addTab(new QWidget, QString());
    }
    Bindings bindings;
    bindings.bind(model, tabs);
    for (int i = 0; i < 3; ++i) {
        model.setTabEnabled(i, i == 2);
    }
    model.setTab(2);
    EXPECT_FALSE(tabs.isTabEnabled(0));
    EXPECT_FALSE(tabs.isTabEnabled(1));
    EXPECT_TRUE(tabs.isTabEnabled(2));
    EXPECT_EQ(tabs.currentIndex(), 2);
    model.setTabEnabled(0, true);
    EXPECT_TRUE(tabs.isTabEnabled(0));
}

struct LockedProgram : ::testing::Test {
    LockedProgram() {
        fake.userStore.set("KorvaneSoft", "Zorvik", "BlockLevel", "secret");
        program.Form_Load();
    }
    testing::FakePlatform fake;
    program::Program program{fake.platform};
};

TEST_F(LockedProgram, TheSettingsWindowOffersOnlyThePasswordTab) {
    MainWindow window(program.form(), QIcon());
    QTabWidget& tabs = window.tabs();
    for (int i = 0; i < tabs.count(); ++i) {
        EXPECT_EQ(tabs.isTabEnabled(i), i == forms::MainForm::kTabOtherPassword) << i;
    }
    EXPECT_EQ(tabs.currentIndex(), forms::MainForm::kTabOtherPassword);
    QGroupBox* other = nullptr;
    for (QGroupBox* box : window.findChildren<QGroupBox*>()) {
        if (box->title() == QStringLiteral("Other Options:")) {
            other = box;
        }
    }
    ASSERT_NE(other, nullptr);
    EXPECT_TRUE(other->isHidden());

    TabRows* rows = window.findChild<TabRows*>();
    ASSERT_NE(rows, nullptr);
    const auto rowTabEnabled = [rows](int tab) { return rows->row(tab / 6).isTabEnabled(tab % 6); };
    for (int i = 0; i < tabs.count(); ++i) {
        EXPECT_EQ(rowTabEnabled(i), i == forms::MainForm::kTabOtherPassword) << i;
    }

    program.form().txtPass.setText("secret");
    program.form().cmdPass.click();
    for (int i = 0; i < tabs.count(); ++i) {
        EXPECT_TRUE(tabs.isTabEnabled(i)) << i;
        EXPECT_TRUE(rowTabEnabled(i)) << i;
    }
    window.show();
    QTest::qWait(Bindings::kRepaintInterval + 50);
    EXPECT_FALSE(other->isHidden());
}

TEST_F(LockedProgram, TheTrayMenuHoldsOnlyTheSettingsEntryWhileLocked) {
    TrayMenuView view(program.form());
    const auto visibleEntries = [&view] {
        QStringList shown;
        for (QAction* action : view.menu().actions()) {
            if (action->isVisible()) {
                shown << action->text();
            }
        }
        return shown;
    };
    EXPECT_EQ(visibleEntries(), QStringList{QStringLiteral("&Display Program Settings")});

    program.form().txtPass.setText("secret");
    program.form().cmdPass.click();
    EXPECT_GT(visibleEntries().size(), 10);
}

TEST(QtTrayMenu, OnlyAStatusNotifierHostTakesTheMenuAndItsRightClicks) {
    QMenu menu;
    platform::QtTray xembed("/nonexistent", false);
    EXPECT_FALSE(xembed.handOverMenu(menu));
    platform::QtTray notifier("/nonexistent", true);
    EXPECT_TRUE(notifier.handOverMenu(menu));
    EXPECT_TRUE(notifier.statusNotifierHost());
}

}  // namespace
}  // namespace halvern::gui
