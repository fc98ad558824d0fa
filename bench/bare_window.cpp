// SPDX-License-Identifier: MIT
// The floors: a bare Qt window of the panel's size, with nothing in it; with --text, one line of
// text, which is what loading fonts costs any window; with --clock, a label showing the time
// once a second, the least an idle clock can cost.
#include <QApplication>
#include <QLabel>
#include <QTime>
#include <QTimer>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle(QStringLiteral("Bare Qt window"));
    window.resize(650, 466);
    window.move(192, 124);
    if (QApplication::arguments().contains(QStringLiteral("--text")))
        (new QLabel(QStringLiteral("Hora Atual:"), &window))->move(8, 368);
    if (QApplication::arguments().contains(QStringLiteral("--clock"))) {
        auto* clock = new QLabel(QStringLiteral("HH:MM:SS"), &window);
        clock->setGeometry(8, 384, 94, 24);
        auto* tick = new QTimer(&window);
        QObject::connect(tick, &QTimer::timeout, clock, [clock] {
            clock->setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
        });
        tick->start(1000);
    }
    window.show();
    return QApplication::exec();
}
