#include "gui/LogWindowView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "program/Program.h"
#include "support/FakePlatform.h"
#include "ui/LogWindow.h"

using namespace std::chrono_literals;

namespace halvern::gui {
namespace {

struct LogWindowViewTest : ::testing::Test {
    LogWindowViewTest() { program.Form_Load(); }

    QPushButton* buttonCaptioned(const QString& caption) {
        for (QPushButton* button : view.findChildren<QPushButton*>()) {
            if (button->text() == caption) {
                return button;
            }
        }
        return nullptr;
    }
    /// Paints what the coalescing bindings still hold.
    void settle() {
        QTest::qWait(Bindings::kRepaintInterval + 50);
        QApplication::processEvents();
    }

    testing::FakePlatform fake;
    program::Program program{fake.platform};
    ui::LogWindow& model = program.logWindow();
    LogWindowView view{model.form, QIcon()};
};

TEST_F(LogWindowViewTest, OpensWithViewOneAndSwitchesViewsByItsButtons) {
    EXPECT_FALSE(view.isVisible());
    program.openLogWindow();
    settle();
    ASSERT_TRUE(view.isVisible());
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Recent Ads Blocked"));
    ASSERT_EQ(view.list().count(), 1);
    EXPECT_EQ(view.list().item(0)->text(),
              QStringLiteral("No Ads Blocked by Host (ad server) yet during this Zorvik session."));
    QPushButton* hosts = buttonCaptioned(QStringLiteral("Blocked Hosts (Ad Servers)"));
    QPushButton* titles = buttonCaptioned(QStringLiteral("Window Titles"));
    ASSERT_NE(hosts, nullptr);
    ASSERT_NE(titles, nullptr);
    EXPECT_TRUE(hosts->font().bold());

    QTest::mouseClick(titles, Qt::LeftButton);
    settle();
    EXPECT_EQ(model.nView, 3);
    EXPECT_TRUE(titles->font().bold());
    EXPECT_FALSE(hosts->font().bold());
    EXPECT_EQ(view.list().item(0)->text(),
              QStringLiteral("No Ads Blocked by Window Title yet during this Zorvik session."));
}

TEST_F(LogWindowViewTest, TheListTakesTheWindowsSizeLessTheButtonsRoom) {
    program.openLogWindow();
    view.resize(700, 450);
    settle();
    EXPECT_EQ(view.list().width(), (700 * 15 - 350) / 15);
    EXPECT_EQ(view.list().height(), (450 * 15 - 2500) / 15);
}

TEST_F(LogWindowViewTest, DoubleClickClosesAndTheTitleBarCloseUnloads) {
    program.openLogWindow();
    settle();
    QListWidgetItem* item = view.list().item(0);
    view.list().setCurrentItem(item);
    Q_EMIT view.list().itemDoubleClicked(item);
    EXPECT_FALSE(model.form.frmLastBlocked.visible());
    EXPECT_FALSE(view.isVisible());

    program.openLogWindow();
    EXPECT_TRUE(view.isVisible());
    view.close();
    EXPECT_FALSE(model.form.frmLastBlocked.visible());
    EXPECT_FALSE(model.Timer1.enabled());
}

}  // namespace
}  // namespace halvern::gui
