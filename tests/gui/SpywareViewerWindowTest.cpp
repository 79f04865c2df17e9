#include "gui/SpywareViewerWindow.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QTreeWidget>
#include <string>

#include "spyware/SpywareDetection.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"
#include "ui/TrayIcon.h"

namespace halvern::gui {
namespace {

struct Viewer {
    Viewer() {
        fake.files.put(kList,
                       "[Spyware]\r\nspy.exe=1:1:Shows ads\r\ntool.exe=0:1:Useful\r\n"
                       "SPY.EXE=0:0:second line\r\n");
    }
    QPushButton* button(const QString& text) {
        for (QPushButton* b : window.findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }

    static inline const std::string kList = testing::FakePlatform::kAppFolder + "/zvspyware.ini";
    testing::FakePlatform fake;
    testing::ProgramParts parts{fake.platform,
                                core::AppPaths(testing::FakePlatform::kAppFolder, "/etc/hosts")};
    ui::TrayIcon tray{parts.context, parts.settings};
    spyware::SpywareDetection spyware{parts.context, parts.log, parts.rings, tray};
    SpywareViewerWindow window{spyware.viewer.form(), QIcon()};
};

TEST(SpywareViewerWindow, ShowsEachProgramWithItsCheckMarkAndSavesTheUsersChange) {
    Viewer v;
    EXPECT_FALSE(v.window.isVisible());
    v.spyware.openViewer();
    ASSERT_TRUE(v.window.isVisible());
    EXPECT_EQ(v.window.windowTitle().toStdString(), "Block Known AdWare and SpyWare");
    QTreeWidget& list = v.window.list();
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(0)->text(0).toStdString(), "spy.exe");
    EXPECT_EQ(list.topLevelItem(0)->text(1).toStdString(), "Shows ads");
    EXPECT_EQ(list.topLevelItem(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(list.topLevelItem(1)->text(0).toStdString(), "tool.exe");
    EXPECT_EQ(list.topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_EQ(list.currentItem(), list.topLevelItem(0));

    // The user's clicks on the boxes reach the model; OK writes them and closes the window.
    list.topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    list.topLevelItem(1)->setCheckState(0, Qt::Checked);
    EXPECT_FALSE(v.spyware.viewer.form().lstSpyware.checked(0));
    EXPECT_TRUE(v.spyware.viewer.form().lstSpyware.checked(1));
    QPushButton* ok = v.button(QStringLiteral("OK"));
    ASSERT_NE(ok, nullptr);
    ok->click();
    EXPECT_FALSE(v.window.isVisible());
    EXPECT_EQ(v.fake.files.text(Viewer::kList),
              "[Spyware]\r\nspy.exe=0:1:Shows ads\r\ntool.exe=1:1:Useful\r\n"
              "SPY.EXE=0:0:second line\r\n");
}

TEST(SpywareViewerWindow, TheCloseBoxIsCancelAndAReopenedWindowIsFilledAfresh) {
    Viewer v;
    v.spyware.openViewer();
    v.window.list().topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    v.window.close();
    EXPECT_FALSE(v.window.isVisible());
    EXPECT_FALSE(v.spyware.viewer.form().frmAdWare.visible());
    EXPECT_EQ(v.fake.files.writes(Viewer::kList), 0);

    v.fake.files.put(Viewer::kList, "[Spyware]\r\nnew.exe=1:0:Just downloaded\r\n");
    v.spyware.openViewer();
    ASSERT_EQ(v.window.list().topLevelItemCount(), 1);
    EXPECT_EQ(v.window.list().topLevelItem(0)->text(0).toStdString(), "new.exe");
    EXPECT_EQ(v.window.list().topLevelItem(0)->checkState(0), Qt::Checked);
    QPushButton* cancel = v.button(QStringLiteral("Cancel"));
    ASSERT_NE(cancel, nullptr);
    cancel->click();
    EXPECT_FALSE(v.window.isVisible());
}

TEST(SpywareViewerWindow, OpenedAgainItComesToTheFrontWithTheUsersUnsavedMarks) {
    Viewer v;
    v.spyware.openViewer();
    QTreeWidget& list = v.window.list();
    list.topLevelItem(0)->setCheckState(0, Qt::Unchecked);
    QWidget other;
    other.show();
    other.raise();
    v.spyware.openViewer();
    EXPECT_TRUE(v.window.isVisible());
    ASSERT_EQ(list.topLevelItemCount(), 2);
    EXPECT_EQ(list.topLevelItem(0)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(v.spyware.viewer.form().lstSpyware.checked(0));
    EXPECT_EQ(v.fake.files.writes(Viewer::kList), 0);
}

}  // namespace
}  // namespace halvern::gui
