// The smallest Qt Widgets program with a settings-like window: a caption, a label and a button,
// shown at once, then idle until it is ended. The peer of the start-up and idle benchmarks.
//
//   bench_qt_window [caption]

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("Peer"));
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("A window of the same toolkit, nothing else.")));
    layout->addWidget(new QPushButton(QStringLiteral("OK")));
    window.move(100, 100);
    window.show();
    return app.exec();
}
