// Tracks on a share that stopped answering: a FUSE folder whose reads never
// return (tests/fakes/stalling_share.py). Skipped where FUSE is missing.
#include "AudioSystem.h"
#include "CodePage.h"
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackPlayer.h"
#include "TrackSettingsDialog.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QtTest>

using namespace plovi;

namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");

QString fixture(const QString &name)
{
    return QStringLiteral(PLOVI_FIXTURES_DIR "/audio/") + name;
}

QByteArray record(const QString &path, const QString &name)
{
    return codepage::toGb18030(QStringLiteral("\"%1\",\"%2\"\r\n").arg(path, name));
}

void dropOn(QWidget *target, const QString &path)
{
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint pos(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    QDropEvent dropped(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
}

} // namespace

class TestStalledShare : public QObject
{
    Q_OBJECT
  private slots:
    void initTestCase();
    void cleanupTestCase();
    void hoverOverStalledTrackThenClickOnLocal_data();
    void hoverOverStalledTrackThenClickOnLocal();
    void dropOfStalledFileLeavesTheDialogAnswering();

  private:
    [[nodiscard]] QString stalled(const QString &extension) const
    {
        return m_dir.filePath(QStringLiteral("share/stalled.") + extension);
    }

    QTemporaryDir m_dir;
    QProcess m_share;
    audio::AudioSystem m_audio;
};

void TestStalledShare::initTestCase()
{
    if (!QFileInfo::exists(QStringLiteral("/dev/fuse")) ||
        QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import fuse")}) != 0) {
        QSKIP("FUSE or python3-fuse is missing");
    }
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("share")));
    m_share.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_share.start(kPython, {QStringLiteral(PLOVI_FIXTURES_DIR "/../fakes/stalling_share.py"),
                            m_dir.filePath(QStringLiteral("share")),
                            fixture(QStringLiteral("chord_cbr.mp3")),
                            fixture(QStringLiteral("formats/tone.flac")),
                            fixture(QStringLiteral("formats/tone.ogg"))});
    if (!m_share.waitForStarted(5000) ||
        !QTest::qWaitFor([this] { return QFileInfo::exists(stalled(QStringLiteral("mp3"))); },
                         5000)) {
        QSKIP("the FUSE folder could not be mounted here");
    }
}

// The share's end fails every read still waiting on it.
void TestStalledShare::cleanupTestCase()
{
    if (m_share.state() != QProcess::NotRunning) {
        m_share.kill();
        m_share.waitForFinished(5000);
    }
    QProcess::execute(QStringLiteral("fusermount"),
                      {QStringLiteral("-u"), QStringLiteral("-z"), m_dir.filePath("share")});
}

void TestStalledShare::hoverOverStalledTrackThenClickOnLocal_data()
{
    QTest::addColumn<QString>("extension");
    QTest::newRow("MP3") << QStringLiteral("mp3");
    QTest::newRow("FLAC") << QStringLiteral("flac");
    QTest::newRow("Ogg Vorbis") << QStringLiteral("ogg");
}

void TestStalledShare::hoverOverStalledTrackThenClickOnLocal()
{
    QFETCH(QString, extension);
    PlayerHarness h;
    const QString local = fixture(QStringLiteral("chord_cbr.mp3"));
    h.writeBindings(record(stalled(extension), QStringLiteral("远程")) +
                    record(local, QStringLiteral("本机")));
    audio::TrackPlayer media(m_audio);
    PlayerWindow form(h.services(nullptr, &media));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.LblLCD()->setText(QStringLiteral("09:09"));

    QTest::mouseMove(form.CmdTrack(0), QPoint(5, 5));
    QTest::mouseMove(form.CmdTrack(0), QPoint(6, 6));
    QCOMPARE(media.fileName(), stalled(extension));
    QTest::qWait(200);
    // Still waiting for the share: no length, and nothing plays.
    QVERIFY(media.isLoading());
    QCOMPARE(form.LblLCD()->text(), QStringLiteral("09:09"));

    QTest::mouseClick(form.CmdTrack(1), Qt::LeftButton);
    QCOMPARE(media.fileName(), local);
    QTRY_VERIFY_WITH_TIMEOUT(media.currentPosition() > 0.0, 1000);
    QCOMPARE(form.LblLCD()->text(), QStringLiteral("00:01"));
    QVERIFY(form.Timer1()->isActive());
    // A second click stops it; the window is no worse for the stuck load.
    QTest::mouseClick(form.CmdTrack(1), Qt::LeftButton);
    QVERIFY(!form.Timer1()->isActive());
    QTRY_COMPARE_WITH_TIMEOUT(form.LblLCD3()->text(), QStringLiteral("00:01"), 1000);
}

// A drop of a file on the share, then one of a local file: the local one
// fills its row at once, the stalled one never lands.
void TestStalledShare::dropOfStalledFileLeavesTheDialogAnswering()
{
    PlayerHarness h;
    h.writeBindings(record(QString(), QString()));
    PlayerWindow form(h.services());
    TrackSettingsDialog *dialog = form.settingsDialog();
    QVERIFY(dialog != nullptr);
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    dropOn(dialog->fullPathBox(0), stalled(QStringLiteral("flac")));
    QTest::qWait(200);
    QVERIFY(dialog->isProbingDrop());
    const QString local = fixture(QStringLiteral("formats/tone.flac"));
    dropOn(dialog->fullPathBox(1), local);
    QTRY_COMPARE_WITH_TIMEOUT(dialog->fullPathBox(1)->text(), local, 1000);
    QCOMPARE(dialog->fullPathBox(0)->text(), QString());
    QVERIFY(!dialog->isProbingDrop());
    QCOMPARE(h.messages.shown(), QStringList());
}

QTEST_MAIN(TestStalledShare)
#include "tst_StalledShare.moc"
