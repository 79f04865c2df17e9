#include "gui/WhiteListWindow.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "popups/WhiteListForm.h"

namespace halvern::gui {
namespace {

class WhiteListWindowTest : public ::testing::Test {
protected:
    WhiteListWindowTest() {
        form.lstAdd.addItem("shipped.test");
        form.frmIEWhiteList.show();
    }

    QPushButton* button(const QString& text) {
        for (QPushButton* b : window.findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }

    popups::WhiteListForm form;
    WhiteListWindow window{form, QIcon()};
};

TEST_F(WhiteListWindowTest, ShowsTheModelsCaptionListAndVisibility) {
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(),
              "Popup Ad site White List (Effects Internet Explorer users ONLY)");
    for (const char* caption : {"Add to White List", "Delete from White List", "OK", "Cancel"}) {
        EXPECT_NE(button(caption), nullptr) << caption;
    }
    QListWidget* list = window.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 5000));
    EXPECT_EQ(list->item(0)->text(), "shipped.test");

    form.lstAdd.addItem("pop.test/page");
    EXPECT_TRUE(QTest::qWaitFor([&] { return list->count() == 2; }, 5000));
    form.txtTitle.setText("www.pop.test/");
    QLineEdit* entry = window.findChild<QLineEdit*>();
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return entry->text() == "www.pop.test/"; }, 5000));

    form.frmIEWhiteList.hide();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(WhiteListWindowTest, TheUsersActionsBecomeTheModelsEvents) {
    int added = 0;
    int picked = 0;
    form.cmdAdd.onClick = [&] { ++added; };
    form.lstAdd.onClick = [&] { ++picked; };
    QListWidget* list = window.findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return list->count() == 1; }, 5000));

    list->setCurrentRow(0);
    EXPECT_EQ(form.lstAdd.listIndex(), 0);
    EXPECT_EQ(picked, 1);

    QLineEdit* entry = window.findChild<QLineEdit*>();
    ASSERT_NE(entry, nullptr);
    QTest::keyClicks(entry, "mine.test");
    EXPECT_EQ(form.txtTitle.text(), "mine.test");
    button("Add to White List")->click();
    EXPECT_EQ(added, 1);

    form.cmdDel.setEnabled(false);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !button("Delete from White List")->isEnabled(); }, 5000));
}

TEST_F(WhiteListWindowTest, ClosingTheWindowAsksTheModel) {
    int asked = 0;
    form.frmIEWhiteList.onQueryUnload = [&](forms::UnloadMode mode) {
        ++asked;
        EXPECT_EQ(mode, forms::UnloadMode::FormControlMenu);
        form.frmIEWhiteList.hide();
        return false;
    };
    window.close();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(form.frmIEWhiteList.visible());
}

}  // namespace
}  // namespace halvern::gui
