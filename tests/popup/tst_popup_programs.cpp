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
}

void TestPopupPrograms::endsByItself()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("SDL_AUDIODRIVER"), QStringLiteral("dummy"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PLOVI_DELIVERY_DIR "/") + program, arguments);
    QVERIFY2(process.waitForStarted(5000), qPrintable(process.errorString()));
    // The alert opens, holds for 3 s and closes: about four seconds in all.
    QVERIFY2(process.waitForFinished(6000), "still running after six seconds");
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

QTEST_GUILESS_MAIN(TestPopupPrograms)
#include "tst_popup_programs.moc"
