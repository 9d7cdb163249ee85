// The second baseline of the pop-up start-up benchmark: the minimal window of
// minimal_window.cpp with one label of Chinese text on it, so that the program
// has to load the font configuration and a CJK face before its first frame,
// as a pop-up does for its labels. It ends by itself after four seconds.
#include <QApplication>
#include <QLabel>
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
    auto *label = new QLabel(QStringLiteral("邮件联系"), &window);
    label->move(30, 54);
    window.show();
    QTimer::singleShot(4000, &app, &QCoreApplication::quit);
    return QApplication::exec();
}
