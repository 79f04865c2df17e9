#include "gui/TitleEditorWindow.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "titles/TitleEditorForm.h"

namespace halvern::gui {
namespace {

class TitleEditorWindowTest : public ::testing::Test {
protected:
    TitleEditorWindowTest() {
        form.lstCurrent.addItem("Casino Royale - Chromium");
        form.lstCurrent.addItem("   Sub window");
        form.lstAdd.addItem("Messenger Service");
        form.frmPopupTitles.show();
    }

    QPushButton* button(const QString& text) {
        for (QPushButton* b : window.findChildren<QPushButton*>()) {
            if (b->text() == text) {
                return b;
            }
        }
        return nullptr;
    }
    QListWidget* listShowing(const QString& first) {
        for (QListWidget* list : window.findChildren<QListWidget*>()) {
            if (list->count() > 0 && list->item(0)->text() == first) {
                return list;
            }
        }
        return nullptr;
    }

    titles::TitleEditorForm form;
    TitleEditorWindow window{form, QIcon()};
};

TEST_F(TitleEditorWindowTest, ShowsTheModelsCaptionListsAndVisibility) {
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Popup Window Blocking Using  Window Titles");
    ASSERT_TRUE(QTest::qWaitFor([&] { return listShowing("Messenger Service") != nullptr; }, 5000));
    QListWidget* current = listShowing("Casino Royale - Chromium");
    ASSERT_NE(current, nullptr);
    EXPECT_EQ(current->count(), 2);
    QGroupBox* frame = window.findChild<QGroupBox*>();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Close windows based on Window Title:");
    for (const char* caption :
         {"Refresh Current Window List", "Add to List", "Delete from List", "OK", "Cancel"}) {
        EXPECT_NE(button(caption), nullptr) << caption;
    }

    form.lstAdd.addItem("-- Web Page Dialog");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QListWidget* blocked = listShowing("Messenger Service");
            return blocked != nullptr && blocked->count() == 2;
        },
        5000));

    form.frmPopupTitles.hide();
    EXPECT_FALSE(window.isVisible());
}

TEST_F(TitleEditorWindowTest, TheUsersActionsBecomeTheModelsEvents) {
    int added = 0;
    int picked = 0;
    form.cmdAdd.onClick = [&] { ++added; };
    form.lstCurrent.onClick = [&] { ++picked; };
    ASSERT_TRUE(QTest::qWaitFor([&] { return listShowing("Casino Royale - Chromium"); }, 5000));

    listShowing("Casino Royale - Chromium")->setCurrentRow(1);
    EXPECT_EQ(form.lstCurrent.listIndex(), 1);
    EXPECT_EQ(picked, 1);

    QLineEdit* title = window.findChild<QLineEdit*>();
    ASSERT_NE(title, nullptr);
    QTest::keyClicks(title, "Casino");
    EXPECT_EQ(form.txtTitle.text(), "Casino");

    button("Add to List")->click();
    EXPECT_EQ(added, 1);

    form.cmdDel.setEnabled(false);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !button("Delete from List")->isEnabled(); }, 5000));
}

TEST_F(TitleEditorWindowTest, ClosingTheWindowAsksTheModel) {
    int asked = 0;
    form.frmPopupTitles.onQueryUnload = [&](forms::UnloadMode mode) {
        ++asked;
        EXPECT_EQ(mode, forms::UnloadMode::FormControlMenu);
        form.frmPopupTitles.hide();
        return false;
    };
    window.close();
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(form.frmPopupTitles.visible());
}

}  // namespace
}  // namespace halvern::gui
