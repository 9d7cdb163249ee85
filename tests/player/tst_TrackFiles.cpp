#include "CodePage.h"
#include "Fonts.h"
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "ReadableFileCheck.h"
#include "SysColors.h"
#include "TaggedTimer.h"
#include "TrackButton.h"
#include "TrackSettingsDialog.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>

using namespace plovi;

namespace {

QByteArray record(const QString &path, const QString &name)
{
    return codepage::toGb18030(QStringLiteral("\"%1\",\"%2\"\r\n").arg(path, name));
}

void writeFile(const QString &path, const QByteArray &bytes = "ID3")
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size()) {
        qFatal("cannot write %s", qPrintable(path));
    }
}

// Slots whose button carries the missing-file mark.
QList<int> marked(const PlayerWindow &form)
{
    QList<int> out;
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        if (form.CmdTrack(i)->fileMissing()) {
            out << i;
        }
    }
    return out;
}

bool isMarkRed(const QColor &c)
{
    return c.red() > 180 && c.green() < 60 && c.blue() < 60;
}

// The last line of every track button's tooltip, naming its key.
QString keyLine(const char *key)
{
    return QStringLiteral("按键：%1（Shift+%1 或 Shift+单击：淡出后停止）").arg(QLatin1String(key));
}

} // namespace

class TestTrackFiles : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void missingMarkedAtStartUpAndAfterSave();
    void unreadableMarked();
    void markedButtonStillPlays();
    void startUpNotHeldByAHungCheck();
    void answerAfterWindowGone();
    void answerOfAnEarlierCheckDropped();
    void markLeavesCaptionAndColourInView();
    void resolveTrackPath_data();
    void resolveTrackPath();
    void relativePathsMoveWithTheirBindings();
    void relativeToTheUsersBindingsOnceSaved();
};

void TestTrackFiles::initTestCase()
{
    registerFontSubstitutions();
}

void TestTrackFiles::missingMarkedAtStartUpAndAfterSave()
{
    PlayerHarness h;
    const QString a = h.dir.filePath("a.mp3");
    const QString b = h.dir.filePath(QStringLiteral("乙.mp3"));
    const QString gone = h.dir.filePath("gone.mp3");
    writeFile(a);
    writeFile(b);
    h.writeBindings(record(a, "a") + record(b, "b") + record(gone, "") + record("  ", "blank"));
    PlayerServices services = h.services();
    services.fileCheck = std::make_shared<ReadableFileCheck>();
    PlayerWindow form(services);
    QTRY_COMPARE(marked(form), QList<int>{2});
    QCOMPARE(form.CmdTrack(2)->toolTip(),
             QStringLiteral("找不到文件：") + gone + "\n" + keyLine("3"));
    QCOMPARE(form.CmdTrack(0)->toolTip(), QString("a\n") + a + "\n" + keyLine("1"));
    QCOMPARE(form.CmdTrack(1)->toolTip(), QString("b\n") + b + "\n" + keyLine("2"));

    QVERIFY(QFile::remove(b));
    writeFile(gone);
    QTimer::singleShot(0, &form, [&] {
        QTest::mouseClick(form.settingsDialog()->findChild<QPushButton *>("CmdExit"),
                          Qt::LeftButton);
    });
    QTest::mouseClick(form.findChild<QPushButton *>("CmdSet"), Qt::LeftButton);
    QTRY_COMPARE(marked(form), QList<int>{1});
    QCOMPARE(form.CmdTrack(1)->toolTip(), QStringLiteral("找不到文件：") + b + "\n" + keyLine("2"));
    QCOMPARE(form.CmdTrack(2)->toolTip(), gone + "\n" + keyLine("3"));
    QCOMPARE(form.CmdTrack(0)->toolTip(), QString("a\n") + a + "\n" + keyLine("1"));
}

void TestTrackFiles::unreadableMarked()
{
    PlayerHarness h;
    const QString folder = h.dir.filePath("folder.mp3");
    QVERIFY(QDir().mkpath(folder));
    const QString pipe = h.dir.filePath("pipe.mp3");
    QCOMPARE(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const QString closed = h.dir.filePath("closed.mp3");
    writeFile(closed);
    QVERIFY(QFile::setPermissions(closed, QFileDevice::WriteOwner));
    const bool canReadAnything = QFileInfo(closed).isReadable(); // root
    h.writeBindings(record(folder, "") + record(pipe, "") + record(closed, ""));
    PlayerServices services = h.services();
    services.fileCheck = std::make_shared<ReadableFileCheck>();
    PlayerWindow form(services);
    QTRY_COMPARE(marked(form), canReadAnything ? (QList<int>{0, 1}) : (QList<int>{0, 1, 2}));
    QCOMPARE(form.CmdTrack(0)->toolTip(),
             QStringLiteral("找不到文件：") + folder + "\n" + keyLine("1"));
}

void TestTrackFiles::markedButtonStillPlays()
{
    PlayerHarness h;
    h.writeBindings(record("/m/gone.mp3", "gone"));
    h.fileCheck->setMissing({"/m/gone.mp3"});
    PlayerWindow form(h.services());
    QTRY_COMPARE(marked(form), QList<int>{0});
    QVERIFY(form.CmdTrack(0)->isEnabled());
    QTest::mouseClick(form.CmdTrack(0), Qt::LeftButton);
    QCOMPARE(h.media.assigned(), QStringList{"/m/gone.mp3"});
    QVERIFY(form.Timer1()->isActive());
}

// A path on a dead network mount: the check never comes back while the
// window starts.
void TestTrackFiles::startUpNotHeldByAHungCheck()
{
    PlayerHarness h;
    h.writeBindings(record("/net/dead/a.mp3", "a") + record("/m/b.mp3", "b"));
    h.fileCheck->setMissing({"/net/dead/a.mp3"});
    h.fileCheck->hold();
    QElapsedTimer clock;
    clock.start();
    {
        PlayerWindow form(h.services());
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(form.CmdTrack(0)->text(), QString("a"));
        QTRY_COMPARE(h.fileCheck->asked().size(), 2);
        QTest::qWait(50);
        QCOMPARE(marked(form), QList<int>());
        h.fileCheck->release();
        QTRY_COMPARE(marked(form), QList<int>{0});
    }
}

void TestTrackFiles::answerAfterWindowGone()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", "a"));
    h.fileCheck->setMissing({"/m/a.mp3"});
    h.fileCheck->hold();
    {
        PlayerWindow form(h.services());
        QTRY_COMPARE(h.fileCheck->asked().size(), 1);
    }
    h.fileCheck->release();
    QTest::qWait(50);
    // Nothing to see: the answer found no window, and nothing crashed.
}

void TestTrackFiles::answerOfAnEarlierCheckDropped()
{
    PlayerHarness h;
    h.writeBindings(record("/m/a.mp3", "a"));
    h.fileCheck->setMissing({"/m/a.mp3"});
    h.fileCheck->hold();
    PlayerWindow form(h.services());
    QTRY_COMPARE(h.fileCheck->asked().size(), 1);
    // The file is back before the save: the answer of the first check,
    // arriving late, must not mark it.
    h.fileCheck->setMissing({});
    std::vector<TrackBinding> rows(kTrackSlots);
    rows[0] = {"/m/a.mp3", "a"};
    emit form.settingsDialog()->saved(rows);
    QTRY_COMPARE(h.fileCheck->asked().size(), 2);
    h.fileCheck->release();
    QTest::qWait(50);
    QCOMPARE(marked(form), QList<int>());
}

void TestTrackFiles::markLeavesCaptionAndColourInView()
{
    PlayerHarness h;
    PlayerWindow form(h.services());
    form.show();
    TrackButton *track = form.CmdTrack(3);
    const int32_t colour = 0x22C80C; // RGB(12,200,34)
    track->setBackColor(colour);
    const QImage before = track->grab().toImage();
    QVERIFY(!isMarkRed(before.pixelColor(before.width() - 4, 3)));
    track->setFileMissing(true);
    const QImage after = track->grab().toImage();
    QVERIFY(isMarkRed(after.pixelColor(after.width() - 4, 3)));
    // Only the corner changed: the face around it and the whole caption
    // (the middle of the button) are as they were.
    int changed = 0;
    for (int y = 0; y < after.height(); ++y) {
        for (int x = 0; x < after.width(); ++x) {
            if (after.pixel(x, y) != before.pixel(x, y)) {
                ++changed;
                QVERIFY2(x >= after.width() - 12 && y < 12,
                         qPrintable(QString("%1,%2").arg(x).arg(y)));
            }
        }
    }
    QVERIFY(changed > 10);
    QCOMPARE(fromQColor(after.pixelColor(4, 4)), colour);
    QCOMPARE(fromQColor(after.pixelColor(after.width() - 5, after.height() - 5)), colour);
}

void TestTrackFiles::resolveTrackPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("absolute") << "/m/a.mp3"
                              << "/m/a.mp3";
    QTest::newRow("relative") << "a.mp3"
                              << "/home/u/tracks/a.mp3";
    QTest::newRow("relative in folder")
        << QStringLiteral("歌/a b.mp3") << QStringLiteral("/home/u/tracks/歌/a b.mp3");
    QTest::newRow("dot") << "./a.mp3"
                         << "/home/u/tracks/./a.mp3";
    QTest::newRow("up") << "../a.mp3"
                        << "/home/u/tracks/../a.mp3";
    QTest::newRow("drive letter") << "c:\\*.mp3"
                                  << "c:\\*.mp3";
    QTest::newRow("drive letter, slash") << "D:/m/a.mp3"
                                         << "D:/m/a.mp3";
    QTest::newRow("blank") << "   "
                           << "   ";
    QTest::newRow("empty") << ""
                           << "";
}

void TestTrackFiles::resolveTrackPath()
{
    QFETCH(QString, path);
    QFETCH(QString, resolved);
    PlayerHarness h;
    h.bindingsPath = "/home/u/tracks/yygj";
    QCOMPARE(h.services().resolveTrackPath(path), resolved);
}

// A folder of tracks with its yygj, moved as a whole, still plays.
void TestTrackFiles::relativePathsMoveWithTheirBindings()
{
    QTemporaryDir root;
    const QString before = root.filePath("before");
    QVERIFY(QDir().mkpath(before + QStringLiteral("/歌")));
    writeFile(before + QStringLiteral("/歌/a.mp3"));
    writeFile(before + "/b.mp3");
    {
        QFile f(before + "/yygj");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(record(QStringLiteral("歌/a.mp3"), "a") + record("b.mp3", "b") +
                record("gone.mp3", "g"));
    }
    const QString after = root.filePath("after");
    QVERIFY(QDir().rename(before, after));

    PlayerHarness h;
    h.bindingsPath = after + "/yygj";
    PlayerServices services = h.services();
    services.fileCheck = std::make_shared<ReadableFileCheck>();
    PlayerWindow form(services);
    QCOMPARE(form.CmdTrack(0)->tag(), QStringLiteral("歌/a.mp3"));
    QTRY_COMPARE(marked(form), QList<int>{2});
    QCOMPARE(form.CmdTrack(2)->toolTip(),
             QStringLiteral("找不到文件：") + after + "/gone.mp3\n" + keyLine("3"));

    QTest::mouseClick(form.CmdTrack(0), Qt::LeftButton);
    QCOMPARE(h.media.assigned(), QStringList{after + QStringLiteral("/歌/a.mp3")});
    QTest::mouseClick(form.CmdTrack(0), Qt::LeftButton);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseMove(form.CmdTrack(1), QPoint(5, 5));
    QTest::mouseMove(form.CmdTrack(1), QPoint(6, 6));
    QCOMPARE(h.media.assigned().last(), after + "/b.mp3");

    // A save keeps the paths as typed.
    QTimer::singleShot(0, &form, [&] {
        QTest::mouseClick(form.settingsDialog()->findChild<QPushButton *>("CmdExit"),
                          Qt::LeftButton);
    });
    QTest::mouseClick(form.findChild<QPushButton *>("CmdSet"), Qt::LeftButton);
    QFile saved(after + "/yygj");
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(
        saved.readAll().startsWith(record(QStringLiteral("歌/a.mp3"), "a") + record("b.mp3", "b")));
}

// An installed copy reads the user's yygj once it exists; its relative paths
// are taken from there.
void TestTrackFiles::relativeToTheUsersBindingsOnceSaved()
{
    PlayerHarness h;
    const QString seedDir = h.dir.filePath("lib");
    const QString userDir = h.dir.filePath("config/plovi");
    QVERIFY(QDir().mkpath(seedDir));
    QVERIFY(QDir().mkpath(userDir));
    h.bindingsPath = seedDir + "/yygj";
    h.bindingsSavePath = userDir + "/yygj";
    writeFile(h.bindingsPath, record("seed.mp3", "s"));
    QCOMPARE(h.services().resolveTrackPath("a.mp3"), seedDir + "/a.mp3");
    writeFile(h.bindingsSavePath, record("mine.mp3", "m"));
    QCOMPARE(h.services().resolveTrackPath("a.mp3"), userDir + "/a.mp3");
    PlayerWindow form(h.services());
    QTest::mouseClick(form.CmdTrack(0), Qt::LeftButton);
    QCOMPARE(h.media.assigned(), QStringList{userDir + "/mine.mp3"});
}

QTEST_MAIN(TestTrackFiles)
#include "tst_TrackFiles.moc"
