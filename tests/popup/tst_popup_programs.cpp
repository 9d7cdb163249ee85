#include <QProcess>
#include <QProcessEnvironment>
#include <QtTest>

// The real pop-up programs, started as the player starts them, end by
// themselves with status 0.
class TestPopupPrograms : public QObject
{
    Q_OBJECT

  private slots:
    void endsByItself_data();
    void endsByItself();
};

void TestPopupPrograms::endsByItself_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("Nobix") << "Nobix" << QStringList();
    QTest::newRow("Tarvel") << "Tarvel" << QStringList();
    QTest::newRow("Nobix with arguments") << "Nobix" << QStringList{"-x", "任意"};
    // Qt's own options are arguments like any other: with no X display,
    // "-platform xcb" would end the program at once if Qt took it.
    QTest::newRow("Nobix with Qt's options")
        << "Nobix" << QStringList{"-platform", "xcb", "-style", "windows", "-reverse"};
    QTest::newRow("Tarvel with Qt's options")
        << "Tarvel" << QStringList{"-platform", "xcb", "-display", ":0", "-qwindowgeometry", "1x1"};
}

void TestPopupPrograms::endsByItself()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PLOVI_DELIVERY_DIR "/") + program, arguments);
    QVERIFY2(process.waitForStarted(5000), qPrintable(process.errorString()));
    // The alert opens, holds for 3 s and closes: about four seconds in all.
    QVERIFY2(process.waitForFinished(6000), "still running after six seconds");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QVERIFY2(process.exitCode() == 0, process.readAllStandardError().constData());
}

QTEST_GUILESS_MAIN(TestPopupPrograms)
#include "tst_popup_programs.moc"
