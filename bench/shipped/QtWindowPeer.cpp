// The smallest Qt Widgets program with a settings-like window: a caption, a label and a button,
// shown at once, then idle until it is ended. The peer of the start-up and idle benchmarks.
// With --ticking it also wakes as zorvik's title scan does, doing nothing each time: a 50 ms
// timer put back to 500 ms one second after the start and every 2 s after that.
//
//   bench_qt_window [caption [--ticking]]

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
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

    QTimer scan;
    QTimer reset;
    if (argc > 2 && QString::fromLocal8Bit(argv[2]) == QStringLiteral("--ticking")) {
        scan.setTimerType(Qt::PreciseTimer);
        reset.setTimerType(Qt::PreciseTimer);
        QObject::connect(&scan, &QTimer::timeout, [&scan] { scan.start(50); });
        QObject::connect(&reset, &QTimer::timeout, [&scan, &reset] {
            scan.start(500);
            reset.start(2000);
        });
        scan.start(500);
        reset.start(1000);
    }
    return app.exec();
}
