#include "PlatformSelection.h"

#include <QtTest>

class TestPlatformSelection : public QObject
{
    Q_OBJECT
  private slots:
    void choice_data();
    void choice();
};

void TestPlatformSelection::choice_data()
{
    QTest::addColumn<QByteArray>("wayland");
    QTest::addColumn<QByteArray>("display");
    QTest::addColumn<QByteArray>("chosen"); // "-" for unset
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Wayland with XWayland")
        << QByteArray("wayland-0") << QByteArray(":0") << QByteArray("-") << QByteArray("xcb");
    QTest::newRow("user's choice kept") << QByteArray("wayland-0") << QByteArray(":0")
                                        << QByteArray("wayland") << QByteArray("wayland");
    QTest::newRow("Wayland only") << QByteArray("wayland-0") << QByteArray() << QByteArray("-")
                                  << QByteArray("-");
    QTest::newRow("X11 only") << QByteArray() << QByteArray(":0") << QByteArray("-")
                              << QByteArray("-");
}

void TestPlatformSelection::choice()
{
    QFETCH(QByteArray, wayland);
    QFETCH(QByteArray, display);
    QFETCH(QByteArray, chosen);
    QFETCH(QByteArray, expected);
    auto set = [](const char *name, const QByteArray &value) {
        if (value.isEmpty() || value == "-") {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    };
    set("WAYLAND_DISPLAY", wayland);
    set("DISPLAY", display);
    set("QT_QPA_PLATFORM", chosen);
    selectQtPlatform();
    const QByteArray actual =
        qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? qgetenv("QT_QPA_PLATFORM") : "-";
    QCOMPARE(actual, expected);
}

QTEST_GUILESS_MAIN(TestPlatformSelection)
#include "tst_PlatformSelection.moc"
