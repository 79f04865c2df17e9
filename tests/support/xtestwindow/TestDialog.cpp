// zorvik_testdialog: a Qt message box, as a browser's script-error question looks, for the tests
// that press its buttons through the accessibility bus.
//
//   zorvik_testdialog [--title TEXT] [--button CAPTION]...
//
//   --title TEXT      the box's title (default "Error")
//   --button CAPTION  a push button, mnemonic mark included (default "&Yes" and "&No")
//   --help            print this text
//
// Run it with QT_ACCESSIBILITY=1 and a session bus (dbus-run-session) so that it shows up on the
// accessibility bus. It prints "window 0x<id>" once the box is shown and "answered <caption>"
// (mnemonic marks removed) when a button is pressed, then exits with 0.

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QString title = "Error";
    QStringList captions;
    const QStringList args = QApplication::arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == "--title" && i + 1 < args.size()) {
            title = args[++i];
        } else if (args[i] == "--button" && i + 1 < args.size()) {
            captions << args[++i];
        } else {
            std::fputs("Usage: zorvik_testdialog [--title TEXT] [--button CAPTION]...\n",
                       args[i] == "--help" ? stdout : stderr);
            return args[i] == "--help" ? 0 : 2;
        }
    }
    if (captions.isEmpty()) {
        captions << "&Yes"
                 << "&No";
    }
    QMessageBox box(QMessageBox::Question, title, "Do you want to debug this page?");
    for (const QString& caption : captions) {
        QPushButton* button = box.addButton(caption, QMessageBox::ActionRole);
        QObject::connect(button, &QPushButton::clicked, [caption] {
            std::printf("answered %s\n", QString(caption).remove('&').toUtf8().constData());
            std::fflush(stdout);
            QCoreApplication::exit(0);
        });
    }
    box.setModal(false);
    box.show();
    QTimer::singleShot(0, [&box] {
        std::printf("window 0x%llx\n", static_cast<unsigned long long>(box.winId()));
        std::fflush(stdout);
    });
    return QApplication::exec();
}
