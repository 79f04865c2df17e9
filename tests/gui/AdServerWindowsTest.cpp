#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "adservers/AdServerEditor.h"
#include "adservers/DomainTester.h"
#include "gui/AdServerEditorWindow.h"
#include "gui/DomainTesterWindow.h"
#include "support/FakePlatform.h"
#include "support/ProgramParts.h"

using namespace std::chrono_literals;

namespace halvern::gui {
namespace {

std::string listFile(const std::vector<std::string>& entries) {
    std::string text = "[DomainCount]\r\nN=" + std::to_string(entries.size()) + "\r\n[Domains]\r\n";
    for (std::size_t i = 0; i < entries.size(); ++i) {
        text += "D" + std::to_string(i) + "=" + entries[i] + "\r\n";
    }
    return text;
}

QPushButton* buttonShowing(QWidget& window, const QString& caption) {
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        if (button->text() == caption) {
            return button;
        }
    }
    return nullptr;
}

bool labelShows(QWidget& window, const QString& text) {
    for (QLabel* label : window.findChildren<QLabel*>()) {
        if (label->text() == text) {
            return true;
        }
    }
    return false;
}

struct AdServerWindowsTest : ::testing::Test {
    halvern::testing::FakePlatform fake;
    halvern::testing::ProgramParts parts{fake.platform, {"/opt/halvern", "/etc/hosts"}};
    adservers::PlaceholderServer server{parts.context, parts.log, parts.rings, parts.counter,
                                        [] {}};
    adservers::AdServerBlocking blocking{parts.context, parts.log, parts.help, parts.settings,
                                         server};
};

TEST_F(AdServerWindowsTest, TheEditorWindowShowsTheListsAndTurnsClicksIntoCommands) {
    fake.files.put("/opt/halvern/zorvikhosts.ini", listFile({"ads.one.example", "pix.example"}));
    adservers::AdServerEditor editor(parts.context, blocking);
    AdServerEditorWindow window(editor.form(), QIcon());
    EXPECT_FALSE(window.isVisible());

    editor.show();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Block or Allow all content from ad server domains.");
    const QList<QListWidget*> lists = window.findChildren<QListWidget*>();
    ASSERT_EQ(lists.size(), 3);
    QListWidget& all = *lists[0];
    QListWidget& allowed = *lists[1];
    QListWidget& own = *lists[2];
    ASSERT_TRUE(QTest::qWaitFor([&] { return all.count() == 2; }, 5000));
    EXPECT_TRUE(labelShows(window, "0 Allowed (unblocked) Ad Servers"));

    all.setCurrentRow(1);
    QPushButton* allow = buttonShowing(window, "=>");
    ASSERT_NE(allow, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return allow->isEnabled(); }, 5000));
    QTest::mouseClick(allow, Qt::LeftButton);
    EXPECT_EQ(editor.form().lstExclude.items(), std::vector<std::string>{"pix.example"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return allowed.count() == 1 && all.count() == 1; }, 5000));

    const QList<QLineEdit*> edits = window.findChildren<QLineEdit*>();
    ASSERT_EQ(edits.size(), 2);
    QTest::keyClicks(edits[1], "mine.example");
    EXPECT_EQ(editor.form().txtServer.text(), "mine.example");
    QPushButton* add = buttonShowing(window, "Add to List");
    ASSERT_TRUE(QTest::qWaitFor([&] { return add->isEnabled(); }, 5000));
    QTest::mouseClick(add, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return own.count() == 1; }, 5000));

    QTest::keyClicks(edits[0], "ads");
    QPushButton* find = buttonShowing(window, "Find");
    ASSERT_NE(find, nullptr);
    QTest::mouseClick(find, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return find->text() == "Find Next"; }, 5000));
    EXPECT_EQ(all.currentRow(), 0);

    // Closing is Cancel: nothing is saved.
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(editor.form().frmExclude.visible());
    EXPECT_EQ(fake.files.writes("/opt/halvern/userhosts.ini"), 0);
}

TEST_F(AdServerWindowsTest, TheTesterWindowFollowsARunAndClosingStopsIt) {
    fake.files.put("/opt/halvern/zorvikhosts.ini", listFile({"a.example", "b.example"}));
    platform::FakeHttp::Script answer;
    answer.body = "hello";
    fake.http.scripts["http://a.example/"] = {answer};
    adservers::DomainTester tester(parts.context);
    DomainTesterWindow window(tester.form(), QIcon());
    tester.show();
    ASSERT_TRUE(window.isVisible());
    EXPECT_EQ(window.windowTitle(), "Ad Blocking Servers Update");

    QPushButton* test = buttonShowing(window, "1 TEST");
    ASSERT_NE(test, nullptr);
    QTest::mouseClick(test, Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !test->isEnabled(); }, 5000));
    fake.clock.advance(2s);  // b is unknown: its quick failures are over by now
    const QList<QListWidget*> lists = window.findChildren<QListWidget*>();
    ASSERT_EQ(lists.size(), 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lists[0]->count() == 2; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return lists[1]->count() == 1; }, 5000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return labelShows(window, "Fail list tries: 1"); }, 5000));
    auto* result = window.findChild<QPlainTextEdit*>();
    ASSERT_NE(result, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return result->toPlainText() == "hello"; }, 5000));

    QTest::mouseClick(buttonShowing(window, "1 TEST"), Qt::LeftButton);
    EXPECT_TRUE(window.close());
    EXPECT_FALSE(tester.form().frmTestDomains.visible());
    EXPECT_EQ(fake.http.active, 0);
    EXPECT_FALSE(tester.timer().enabled());
}

}  // namespace
}  // namespace halvern::gui
