// The baseline of the pop-up start-up benchmark: the least a Qt Widgets
// program does to show one window of the alert's size at the alert's place.
// It ends by itself after four seconds, about as long as an alert lives.
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QWidget window(nullptr, Qt::Tool | Qt::FramelessWindowHint);
    QPalette palette = window.palette();
    palette.setColor(QPalette::Window, QColor(255, 192, 255));
    window.setPalette(palette);
    window.setAutoFillBackground(true);
    window.setGeometry(913, 608, 111, 127);
    window.show();
    QTimer::singleShot(4000, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
