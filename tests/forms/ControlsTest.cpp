#include <gtest/gtest.h>

#include "forms/CheckBox.h"
#include "forms/ComboBox.h"
#include "forms/TextBox.h"

namespace {

TEST(FormControls, SettingACheckBoxFromCodeRaisesClickOnlyOnChange) {
    halvern::forms::CheckBox box("chk", "caption");
    int clicks = 0;
    box.onClick = [&] { ++clicks; };
    box.setChecked(true);
    box.setChecked(true);
    EXPECT_EQ(clicks, 1);
    box.setEnabled(false);
    box.setChecked(false);
    EXPECT_EQ(clicks, 2) << "code reaches a disabled box";
    box.click();
    EXPECT_EQ(clicks, 2) << "the user cannot click a disabled box";
    EXPECT_FALSE(box.checked());
}

TEST(FormControls, TextChangeAndListSelectionRaiseTheirEvents) {
    halvern::forms::TextBox text("txt");
    int changes = 0;
    text.onChange = [&] { ++changes; };
    text.setText("a");
    text.setText("a");
    EXPECT_EQ(changes, 1);

    halvern::forms::ComboBox combo("cmb");
    int clicks = 0;
    combo.onClick = [&] { ++clicks; };
    combo.addItem("none");
    combo.addItem("F9");
    combo.setText("F9");
    EXPECT_EQ(combo.listIndex(), 1);
    EXPECT_EQ(clicks, 1);
    combo.setText("F13");
    EXPECT_EQ(combo.listIndex(), -1);
    EXPECT_EQ(combo.text(), "");
}

}  // namespace
