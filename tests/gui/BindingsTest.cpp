#include "gui/Bindings.h"

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QVBoxLayout>
#include <functional>

#include "gui/ClickableLabel.h"

namespace halvern::gui {
namespace {

/// A shown window that holds the widgets under test, its bindings repainting at once or, given
/// the views' interval, coalesced. The bindings die first, as in the views; the models are
/// declared before it, so they outlive both, as in the program.
struct Window {
    explicit Window(int repaintInterval = 0) : bindings(repaintInterval) {
        window.resize(400, 300);
        window.show();
    }
    template <typename W>
    W* add(W* widget) {
        layout->addWidget(widget);
        return widget;
    }
    QWidget window;
    QVBoxLayout* layout = new QVBoxLayout(&window);
    Bindings bindings;
};

TEST(CheckBoxBinding, ModelChangesRepaintTheWidget) {
    forms::CheckBox model("chk", "Block &Popups");
    Window w;
    QCheckBox* box = w.add(w.bindings.checkBox(model));

    model.setChecked(true);
    model.setCaption("Block &All");
    model.setToolTip("Blocks every popup.");
    model.setEnabled(false);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(box->text(), "Block &All");
    EXPECT_EQ(box->toolTip(), "Blocks every popup.");
    EXPECT_FALSE(box->isEnabled());

    model.setVisible(false);
    EXPECT_FALSE(box->isVisible());
    model.setVisible(true);
    EXPECT_TRUE(box->isVisible());
}

TEST(CheckBoxBinding, UserClickRaisesClickOnceAndTogglesOnce) {
    forms::CheckBox model("chk", "Block");
    int clicks = 0;
    model.onClick = [&] { ++clicks; };
    Window w;
    QCheckBox* box = w.add(w.bindings.checkBox(model));

    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(model.checked());
    EXPECT_TRUE(box->isChecked());

    box->click();
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(model.checked());
    EXPECT_FALSE(box->isChecked());
}

TEST(CheckBoxBinding, WidgetShowsWhatTheHandlerDecided) {
    forms::CheckBox model("chk", "Locked");
    // A handler that refuses the change, as option handlers do while settings are locked.
    model.onClick = [&] { model.setChecked(false); };
    Window w;
    QCheckBox* box = w.add(w.bindings.checkBox(model));

    box->click();
    EXPECT_FALSE(model.checked());
    EXPECT_FALSE(box->isChecked());
}

/// Runs an assistive tool's named action on a widget, as a screen reader does.
void accessibleAction(QWidget* widget, const QString& action) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    ASSERT_NE(accessible, nullptr);
    ASSERT_NE(accessible->actionInterface(), nullptr);
    ASSERT_TRUE(accessible->actionInterface()->actionNames().contains(action));
    accessible->actionInterface()->doAction(action);
}

TEST(CheckBoxBinding, ChangesWithoutAClickReachTheModelOnce) {
    struct Case {
        const char* how;
        std::function<void(QCheckBox*)> change;
    };
    const Case cases[] = {
        {"toggle()", [](QCheckBox* box) { box->toggle(); }},
        {"setChecked()", [](QCheckBox* box) { box->setChecked(true); }},
        {"accessible Toggle",
         [](QCheckBox* box) { accessibleAction(box, QAccessibleActionInterface::toggleAction()); }},
        {"Space key",
         [](QCheckBox* box) {
             box->setFocus();
             QTest::keyClick(box, Qt::Key_Space);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        forms::CheckBox model("chkAdServers", "Block Banner Ads");
        int clicks = 0;
        model.onClick = [&] { ++clicks; };
        Window w;
        QCheckBox* box = w.add(w.bindings.checkBox(model));
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));

        c.change(box);
        EXPECT_TRUE(model.checked());
        EXPECT_TRUE(box->isChecked());
        EXPECT_EQ(clicks, 1);

        // The program's own change shows on the box and raises the model's Click once, not twice.
        model.setChecked(false);
        EXPECT_FALSE(box->isChecked());
        EXPECT_EQ(clicks, 2);
    }
}

TEST(CheckBoxBinding, ABoxOfADisabledControlCannotBeToggled) {
    forms::CheckBox model("chk", "Block");
    int clicks = 0;
    model.onClick = [&] { ++clicks; };
    model.setEnabled(false);
    Window w;
    QCheckBox* box = w.add(w.bindings.checkBox(model));

    box->toggle();
    EXPECT_FALSE(box->isChecked());
    EXPECT_FALSE(model.checked());
    EXPECT_EQ(clicks, 0);
}

TEST(LabelBinding, ClickAndDoubleClickReachTheModelOnce) {
    forms::Label model("lbl", "host list");
    int clicks = 0;
    int doubles = 0;
    model.onClick = [&] { ++clicks; };
    model.onDblClick = [&] { ++doubles; };
    Window w;
    ClickableLabel* label = w.add(w.bindings.label(model, true));

    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    QTest::mouseDClick(label, Qt::LeftButton);
    EXPECT_EQ(doubles, 1);
    EXPECT_LE(clicks, 2);  // the double click's first press may count as a click, never more
}

TEST(CaptionText, DoubleAmpersandShowsOneAmpersand) {
    struct Case {
        const char* caption;
        const char* shown;
    };
    const Case cases[] = {{"Startup && Install Settings:", "Startup & Install Settings:"},
                          {"&File", "File"},
                          {"Netscape && IE && &More", "Netscape & IE & More"},
                          {"trailing &", "trailing "},
                          {"", ""}};
    for (const Case& c : cases) {
        EXPECT_EQ(Bindings::plainCaption(c.caption), QString(c.shown)) << c.caption;
    }

    forms::Label model("lbl", "Startup && Install");
    Window w;
    EXPECT_EQ(w.add(w.bindings.label(model))->text(), "Startup & Install");
}

TEST(MenuItemBinding, CaptionShortcutCheckAndTrigger) {
    forms::MenuItem model("mnuTrayCloseBrowser", "Close ALL Open Browser Windows (Netscape && IE)");
    model.setShortcut("Ctrl+S");
    forms::MenuItem separator("mnuSPC1", "-");
    int clicks = 0;
    model.onClick = [&] { ++clicks; };
    QMenu menu;
    Bindings bindings;
    QAction* action = menu.addAction(QString());
    bindings.bind(model, *action);

    // The menu draws the text with "&&" as one ampersand, as iconText() spells it.
    EXPECT_EQ(action->iconText(), "Close ALL Open Browser Windows (Netscape & IE)");
    EXPECT_EQ(action->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_FALSE(action->isChecked());

    model.setChecked(true);
    EXPECT_TRUE(action->isCheckable());
    EXPECT_TRUE(action->isChecked());

    action->trigger();
    EXPECT_EQ(clicks, 1);
    // The entry's handler owns the check mark; triggering alone does not clear it.
    EXPECT_TRUE(action->isChecked());

    model.setVisible(false);
    model.setEnabled(false);
    EXPECT_FALSE(action->isVisible());
    EXPECT_FALSE(action->isEnabled());

    QAction* line = menu.addAction(QString());
    bindings.bind(separator, *line);
    EXPECT_TRUE(line->isSeparator());
}

TEST(TabControlBinding, UserAndModelChangesMeetOnce) {
    forms::TabControl model("A", {" Ad Types", " Startup", "Log History"});
    std::vector<int> seen;
    model.onClick = [&] { seen.push_back(model.tab()); };
    Window w;
    auto* tabs = w.add(new QTabWidget);
    for (int i = 0; i < 3; ++i) {
        tabs->addTab(new QWidget, QString());
    }
    w.bindings.bind(model, *tabs);
    EXPECT_EQ(tabs->tabText(1), " Startup");

    tabs->setCurrentIndex(2);
    EXPECT_EQ(model.tab(), 2);
    model.setTab(1);
    EXPECT_EQ(tabs->currentIndex(), 1);
    EXPECT_EQ(seen, (std::vector<int>{2, 1}));
}

TEST(TextBoxBinding, TypingReachesTheModelAndCodeReachesTheWidget) {
    forms::TextBox model("txtPopWav", "pop.wav");
    int changes = 0;
    model.onChange = [&] { ++changes; };
    Window w;
    QLineEdit* edit = w.add(w.bindings.lineEdit(model));
    EXPECT_EQ(edit->text(), "pop.wav");

    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "ad");
    EXPECT_EQ(model.text(), "ad");
    EXPECT_EQ(changes, 2);

    model.setText("/opt/ad.wav");
    EXPECT_EQ(edit->text(), "/opt/ad.wav");
    EXPECT_EQ(changes, 3);

    // An assistive tool sets the value without typing.
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(edit);
    ASSERT_NE(accessible, nullptr);
    accessible->setText(QAccessible::Value, "/opt/pop.wav");
    EXPECT_EQ(model.text(), "/opt/pop.wav");
    EXPECT_EQ(changes, 4);
}

TEST(TextBoxBinding, MultiLineBoxShowsLinesAndKeepsCrLfInTheModel) {
    forms::TextBox model("txtStatus", "Popup Status Information\r\n");
    Window w;
    auto* log = w.add(new QPlainTextEdit);
    w.bindings.bind(model, *log);

    model.setText(model.text() + "09:00:01 started\r\n");
    EXPECT_EQ(log->toPlainText(), "Popup Status Information\n09:00:01 started\n");

    log->setPlainText("cleared\nnext");
    EXPECT_EQ(model.text(), "cleared\r\nnext");
}

TEST(ComboBoxBinding, UserChoiceSelectsTheItemAndRaisesClickOnce) {
    forms::ComboBox model("cmbOnOff");
    for (const char* key : {"none", "F1", "F2"}) {
        model.addItem(key);
    }
    int clicks = 0;
    model.onClick = [&] { ++clicks; };
    Window w;
    QComboBox* combo = w.add(w.bindings.comboBox(model));
    EXPECT_EQ(combo->count(), 3);

    model.setText("F2");
    EXPECT_EQ(combo->currentText(), "F2");
    EXPECT_EQ(clicks, 1);

    combo->setFocus();
    QTest::keyClick(combo, Qt::Key_Up);  // a user's choice: F1
    EXPECT_EQ(model.text(), "F1");
    EXPECT_EQ(clicks, 2);

    combo->setCurrentIndex(0);  // chosen without the popup, as an assistive tool may
    EXPECT_EQ(model.text(), "none");
    EXPECT_EQ(clicks, 3);
}

TEST(Bindings, HoverOnAControlWithATipReportsIt) {
    forms::Button tipped("cmdLog", "Logging");
    tipped.setToolTip("Opens the log.");
    forms::Button plain("cmdOther", "Other");
    std::vector<std::string> hovered;
    Window w;
    w.bindings.onHover = [&](const forms::Control& c) { hovered.push_back(c.name()); };
    QPushButton* a = w.add(w.bindings.button(tipped));
    QPushButton* b = w.add(w.bindings.button(plain));

    QEvent enter(QEvent::Enter);
    QCoreApplication::sendEvent(a, &enter);
    QCoreApplication::sendEvent(b, &enter);
    EXPECT_EQ(hovered, (std::vector<std::string>{"cmdLog"}));
}

TEST(Bindings, ModelChangesAfterEitherSideDiedAreHarmless) {
    forms::CheckBox model("chk", "Block");
    {
        Bindings bindings;
        {
            QCheckBox box;
            bindings.bind(model, box);
        }
        model.setChecked(true);  // the widget is gone, the bindings are not
    }
    model.setChecked(false);  // both are gone
    EXPECT_FALSE(model.checked());
}

/// A window whose bindings coalesce as the views' do.
struct CoalescedWindow : Window {
    CoalescedWindow() : Window(Bindings::kRepaintInterval) {}
};

TEST(CoalescedBindings, SeveralChangesPaintOnceWithTheFinalState) {
    forms::CheckBox check("chk", "Block");
    forms::Label label("lbltot", "0");
    forms::TextBox log("txtStatus", "");
    CoalescedWindow w;
    QCheckBox* box = w.add(w.bindings.checkBox(check));
    ClickableLabel* count = w.add(w.bindings.label(label));
    auto* status = w.add(new QPlainTextEdit);
    w.bindings.bind(log, *status);
    int toggles = 0;
    QObject::connect(box, &QCheckBox::toggled, [&] { ++toggles; });

    for (int i = 1; i <= 50; ++i) {
        label.setCaption(std::to_string(i));
        log.setText(std::to_string(i) + "\r\n" + log.text());
    }
    check.setCaption("Block &All");
    check.setEnabled(false);
    label.setVisible(false);
    EXPECT_TRUE(w.bindings.pending());
    EXPECT_EQ(count->text(), "0");
    EXPECT_EQ(status->toPlainText(), "");
    EXPECT_EQ(box->text(), "Block");
    EXPECT_TRUE(box->isEnabled());
    // The check mark alone follows at once.
    check.setChecked(true);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(toggles, 1);

    w.bindings.flush();
    EXPECT_FALSE(w.bindings.pending());
    EXPECT_EQ(count->text(), "50");
    EXPECT_FALSE(count->isVisible());
    EXPECT_EQ(status->toPlainText().section('\n', 0, 1), "50\n49");
    EXPECT_EQ(status->blockCount(), 51);
    EXPECT_TRUE(box->isChecked());
    EXPECT_EQ(box->text(), "Block &All");
    EXPECT_FALSE(box->isEnabled());
    EXPECT_EQ(toggles, 1);
}

TEST(CoalescedBindings, TheTimerPaintsWithoutBeingAsked) {
    forms::Label label("lbltot", "0");
    CoalescedWindow w;
    ClickableLabel* count = w.add(w.bindings.label(label));
    label.setCaption("1");
    label.setCaption("2");
    EXPECT_TRUE(QTest::qWaitFor([&] { return count->text() == "2"; }, 5000));
    EXPECT_FALSE(w.bindings.pending());
}

TEST(CoalescedBindings, AHiddenWindowPaintsNothingUntilShown) {
    forms::Label label("lblpage", "none");
    forms::CheckBox wrapped("chkAdServers", "Block ad servers");
    CoalescedWindow w;
    ClickableLabel* page = w.add(w.bindings.label(label));
    QCheckBox* box = w.add(w.bindings.checkBox(wrapped, 60));
    w.window.hide();

    label.setCaption("Blocking ads.example");
    wrapped.setCaption("Block the ad servers of every page");
    QTest::qWait(3 * Bindings::kRepaintInterval);  // the timer has run by now
    w.bindings.flush();
    EXPECT_EQ(page->text(), "none");
    EXPECT_TRUE(w.bindings.pending());

    // Shown, the window holds the final texts before it paints, the wrapped caption included.
    w.window.show();
    EXPECT_EQ(page->text(), "Blocking ads.example");
    EXPECT_TRUE(box->text().contains('\n')) << box->text().toStdString();
    EXPECT_EQ(box->text().replace('\n', ' '), "Block the ad servers of every page");
    EXPECT_FALSE(w.bindings.pending());
}

TEST(CoalescedBindings, UserActionsReachTheModelAtOnce) {
    forms::CheckBox check("chk", "Block");
    forms::Button button("cmdOn", "On");
    forms::TextBox text("txtPopWav", "pop.wav");
    forms::TabControl tabs("A", {"One", "Two"});
    int checkClicks = 0;
    int buttonClicks = 0;
    std::vector<int> tabClicks;
    // The handler refuses the change; the box shows that at once, as without coalescing.
    check.onClick = [&] {
        ++checkClicks;
        check.setChecked(false);
    };
    button.onClick = [&] { ++buttonClicks; };
    tabs.onClick = [&] { tabClicks.push_back(tabs.tab()); };
    CoalescedWindow w;
    QCheckBox* box = w.add(w.bindings.checkBox(check));
    QPushButton* push = w.add(w.bindings.button(button));
    QLineEdit* edit = w.add(w.bindings.lineEdit(text));
    auto* pages = w.add(new QTabWidget);
    pages->addTab(new QWidget, QString());
    pages->addTab(new QWidget, QString());
    w.bindings.bind(tabs, *pages);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));

    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
    EXPECT_EQ(checkClicks, 2);  // the user's change, then the handler's own
    EXPECT_FALSE(check.checked());
    EXPECT_FALSE(box->isChecked());
    QTest::mouseClick(push, Qt::LeftButton, {}, push->rect().center());
    EXPECT_EQ(buttonClicks, 1);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, "ad");
    EXPECT_EQ(text.text(), "ad");
    pages->setCurrentIndex(1);
    EXPECT_EQ(tabs.tab(), 1);
    EXPECT_EQ(tabClicks, (std::vector<int>{1}));

    // The repaints due after the user's own changes leave the widgets as the user left them.
    w.bindings.flush();
    EXPECT_EQ(edit->text(), "ad");
    EXPECT_EQ(pages->currentIndex(), 1);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(checkClicks, 2);
    EXPECT_EQ(tabClicks, (std::vector<int>{1}));
}

TEST(CoalescedBindings, TypingEditsTheTextTheModelHoldsNow) {
    forms::TextBox model("txtPopWav", "pop.wav");
    CoalescedWindow w;
    QLineEdit* edit = w.add(w.bindings.lineEdit(model));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w.window));
    edit->setFocus();
    edit->end(false);

    model.setText("/opt/ad.wav");  // due, not yet painted
    QTest::keyClick(edit, Qt::Key_X);
    EXPECT_EQ(edit->text(), "/opt/ad.wavx");
    EXPECT_EQ(model.text(), "/opt/ad.wavx");
}

TEST(CoalescedBindings, AWidgetThatDiesWhileDueIsSkipped) {
    forms::Label label("lbltot", "0");
    CoalescedWindow w;
    ClickableLabel* count = w.add(w.bindings.label(label));
    label.setCaption("1");
    delete count;
    w.bindings.flush();
    EXPECT_FALSE(w.bindings.pending());
    label.setCaption("2");
    w.bindings.flush();
    EXPECT_FALSE(w.bindings.pending());
}

}  // namespace
}  // namespace halvern::gui
