#include "Fonts.h"
#include "PlayerHarness.h"
#include "PlayerWindow.h"
#include "TrackButton.h"
#include "TrackSettingsDialog.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

#include <sys/stat.h>

using namespace plovi;

namespace {

// Titles as tests/fixtures/make_tag_fixtures.sh wrote them.
const QString kUtf16Title = QStringLiteral("春江花月夜");
const QString kLongTitleCut = QStringLiteral("A Very Long Title Th"); // first 20 characters

QString tagFixture(const QString &name)
{
    return QStringLiteral(PLOVI_FIXTURES_DIR "/tags/") + name;
}

// Sends a drag of urls onto target and drops it there, as a file manager's
// drag would arrive. Returns whether the drop was taken.
bool dropOnly(QWidget *target, const QList<QUrl> &urls, bool *entered = nullptr)
{
    QMimeData mime;
    mime.setUrls(urls);
    const QPoint pos(target->width() / 2, target->height() / 2);
    QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &mime,
                          Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &enter);
    if (entered != nullptr) {
        *entered = enter.isAccepted() && enter.dropAction() == Qt::CopyAction;
    }
    QDropEvent dropped(QPointF(pos), Qt::CopyAction | Qt::MoveAction | Qt::LinkAction, &mime,
                       Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &dropped);
    return dropped.isAccepted();
}

// Drops as dropOnly() does, then waits for the dialog's probe of the files. Returns
// whether the drop was taken.
bool drop(QWidget *target, const QList<QUrl> &urls, bool *entered = nullptr)
{
    const bool taken = dropOnly(target, urls, entered);
    const auto *dialog = qobject_cast<const TrackSettingsDialog *>(target->window());
    return taken && dialog != nullptr &&
           QTest::qWaitFor([dialog] { return !dialog->isProbingDrop(); }, 5000);
}

QList<QUrl> files(const QStringList &paths)
{
    QList<QUrl> urls;
    for (const QString &path : paths) {
        urls << QUrl::fromLocalFile(path);
    }
    return urls;
}

// "path|name" of every row.
QStringList rows(const TrackSettingsDialog &d)
{
    QStringList out;
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        out << d.fullPathBox(i)->text() + '|' + d.shortNameBox(i)->text();
    }
    return out;
}

} // namespace

class TestTrackDrops : public QObject
{
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();
    void oneFileOnAnyPartOfARow_data();
    void oneFileOnAnyPartOfARow();
    void oneFileOnAFilledRow_data();
    void oneFileOnAFilledRow();
    void severalFilesFillEmptyRowsBelow();
    void severalFilesOnAFilledDialog();
    void namesFromTheTracks_data();
    void namesFromTheTracks();
    void refusals_data();
    void refusals();
    void refusalsAmongTakenFiles();
    void rowsTakeDrops();
    void otherControlsTakeNoFiles();
    void nothingSavedBeforeSave();
    void browseNeverNames();
    void trackButtonsRefuseDrops();

  private:
    // A copy of a tag fixture in this test's folder, under the given name.
    QString track(const QString &fixture, const QString &name);

    std::unique_ptr<PlayerHarness> m_h;
    std::unique_ptr<TrackSettingsDialog> m_d;
};

void TestTrackDrops::initTestCase()
{
    registerFontSubstitutions();
}

void TestTrackDrops::init()
{
    m_h = std::make_unique<PlayerHarness>();
    QVERIFY(m_h->dir.isValid());
    m_d = std::make_unique<TrackSettingsDialog>(m_h->services(), nullptr);
}

void TestTrackDrops::cleanup()
{
    m_d.reset();
    m_h.reset();
}

QString TestTrackDrops::track(const QString &fixture, const QString &name)
{
    const QString path = m_h->dir.filePath(name);
    if (!QFile::exists(path) && !QFile::copy(tagFixture(fixture), path)) {
        qFatal("cannot copy %s", qPrintable(fixture));
    }
    return path;
}

void TestTrackDrops::oneFileOnAnyPartOfARow_data()
{
    QTest::addColumn<QString>("part");
    QTest::newRow("path box") << "完整路经";
    QTest::newRow("name box") << "TxtShortName";
    QTest::newRow("row label") << "LblTrackNo";
}

void TestTrackDrops::oneFileOnAnyPartOfARow()
{
    QFETCH(QString, part);
    const QString song = track("id3v2_utf16.mp3", "song.mp3");
    auto *target = m_d->findChild<QWidget *>(part + "_4");
    QVERIFY(target != nullptr);
    bool entered = false;
    QVERIFY(drop(target, files({song}), &entered));
    QVERIFY(entered);
    QStringList expected(kTrackSlots, "|");
    expected[4] = song + '|' + kUtf16Title;
    QCOMPARE(rows(*m_d), expected);
    QCoreApplication::processEvents();
    QCOMPARE(m_h->messages.shown(), QStringList());
}

void TestTrackDrops::oneFileOnAFilledRow_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expectedName");
    QTest::newRow("named") << "mine"
                           << "mine";
    QTest::newRow("name of spaces") << "  "
                                    << "  ";
    QTest::newRow("no name") << "" << kUtf16Title;
}

void TestTrackDrops::oneFileOnAFilledRow()
{
    QFETCH(QString, name);
    QFETCH(QString, expectedName);
    m_d->setRecords({{"/old/0.mp3", "zero"}, {"/old/1.mp3", name}, {"/old/2.mp3", "two"}});
    const QString song = track("id3v2_utf16.mp3", "song.mp3");
    QVERIFY(drop(m_d->fullPathBox(1), files({song})));
    QCOMPARE(m_d->fullPathBox(1)->text(), song);
    QCOMPARE(m_d->shortNameBox(1)->text(), expectedName);
    QCOMPARE(rows(*m_d).at(0), QString("/old/0.mp3|zero"));
    QCOMPARE(rows(*m_d).at(2), QString("/old/2.mp3|two"));
    QCOMPARE(rows(*m_d).at(3), QString("|"));
}

void TestTrackDrops::severalFilesFillEmptyRowsBelow()
{
    const QStringList songs{track("id3v2_utf16.mp3", "a.mp3"), track("untagged.mp3", "b b.mp3"),
                            track("titled.flac", "c.flac"), track("titled.ogg", "d.ogg")};
    const QStringList before = rows(*m_d);
    QVERIFY(dropOnly(m_d->shortNameBox(12), files(songs)));
    // The files are probed once the drop has ended: nothing has changed yet.
    QCOMPARE(rows(*m_d), before);
    QCOMPARE(m_h->messages.shown(), QStringList());
    QVERIFY(m_d->isProbingDrop());
    QStringList expected(kTrackSlots, "|");
    expected[12] = songs[0] + '|' + kUtf16Title;
    expected[13] = songs[1] + "|b b";
    expected[14] = songs[2] + QStringLiteral("|流水 FLAC");
    QTRY_COMPARE(rows(*m_d), expected);
    // Told in one line.
    QCOMPARE(m_h->messages.shown(),
             QStringList{QStringLiteral("下面没有空行了，1 个文件没有放入。")});
}

void TestTrackDrops::severalFilesOnAFilledDialog()
{
    m_d->setRecords({{"/m/0.mp3", "zero"},
                     {"", ""},
                     {"/m/2.mp3", ""},
                     {"", "kept"},
                     {"   ", ""},
                     {"/m/5.mp3", "five"}});
    const QStringList songs{track("titled.ogg", "a.ogg"), track("id3v1_gbk.mp3", "b.mp3"),
                            track("id3v2_long.mp3", "c.mp3"), track("untagged.flac", "d.flac")};
    QVERIFY(drop(m_d->findChild<QLabel *>("LblTrackNo_0"), files(songs)));
    QStringList expected(kTrackSlots, "|");
    expected[0] = songs[0] + "|zero";
    expected[1] = songs[1] + '|' + kUtf16Title;
    expected[2] = "/m/2.mp3|";
    expected[3] = songs[2] + "|kept";
    expected[4] = songs[3] + "|d";
    expected[5] = "/m/5.mp3|five";
    QCOMPARE(rows(*m_d), expected);
    QTest::qWait(20);
    QCOMPARE(m_h->messages.shown(), QStringList());
}

void TestTrackDrops::namesFromTheTracks_data()
{
    QTest::addColumn<QString>("fixture");
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QString>("name");
    QTest::newRow("ID3v2 UTF-16") << "id3v2_utf16.mp3"
                                  << "x.mp3" << kUtf16Title;
    QTest::newRow("ID3v2 cut to 20") << "id3v2_long.mp3"
                                     << "x.mp3" << kLongTitleCut;
    QTest::newRow("ID3v2 Latin-1 holding GBK") << "id3v2_latin1_gbk.mp3"
                                               << "x.mp3" << kUtf16Title;
    QTest::newRow("ID3v1 ASCII") << "id3v1_ascii.mp3"
                                 << "x.mp3"
                                 << "Plain Title";
    QTest::newRow("ID3v1 GBK") << "id3v1_gbk.mp3"
                               << "x.mp3" << kUtf16Title;
    QTest::newRow("ID3v1 not GBK: file name")
        << "id3v1_notgbk.mp3" << QStringLiteral("旧歌 v1.mp3") << QStringLiteral("旧歌 v1");
    QTest::newRow("untagged: file name") << "untagged.mp3"
                                         << "song.live.mp3"
                                         << "song.live";
    QTest::newRow("file name cut to 20")
        << "untagged.mp3" << QStringLiteral("一二三四五六七八九十一二三四五六七八九十多.mp3")
        << QStringLiteral("一二三四五六七八九十一二三四五六七八九十");
    // U+1D11E takes two UTF-16 units, the 20th and 21st: it goes whole.
    QTest::newRow("cut keeps characters whole")
        << "untagged.mp3" << QStringLiteral("aaaaaaaaaaaaaaaaaaa\U0001D11Eb.mp3")
        << QStringLiteral("aaaaaaaaaaaaaaaaaaa");
    QTest::newRow("FLAC TITLE") << "titled.flac"
                                << "x.flac" << QStringLiteral("流水 FLAC");
    QTest::newRow("Ogg TITLE") << "titled.ogg"
                               << "x.ogg" << QStringLiteral("高山 Ogg");
    QTest::newRow("FLAC untagged")
        << "untagged.flac" << QStringLiteral("河.flac") << QStringLiteral("河");
    QTest::newRow("WAV") << "../audio/beep.wav"
                         << "beep.wav"
                         << "beep";
}

void TestTrackDrops::namesFromTheTracks()
{
    QFETCH(QString, fixture);
    QFETCH(QString, fileName);
    QFETCH(QString, name);
    const QString song = track(fixture, fileName);
    QVERIFY(drop(m_d->fullPathBox(0), files({song})));
    QCOMPARE(m_d->fullPathBox(0)->text(), song);
    QCOMPARE(m_d->shortNameBox(0)->text(), name);
}

void TestTrackDrops::refusals_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("web address") << "web";
    QTest::newRow("folder") << "folder";
    QTest::newRow("text named .mp3") << "text";
    QTest::newRow("missing file") << "missing";
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("double quote") << "quote";
    QTest::newRow("line break") << "break";
}

void TestTrackDrops::refusals()
{
    QFETCH(QString, kind);
    const QString folder = m_h->dir.filePath("音乐");
    QVERIFY(QDir().mkpath(folder));
    QUrl url;
    QString expected;
    const QString pathRefused =
        QStringLiteral("所选文件的路径含有双引号或换行，无法保存到曲目设置中：\n");
    if (kind == "web") {
        url = QUrl("http://example.com/a.mp3");
        expected = QStringLiteral("只能放入本机上的文件：http://example.com/a.mp3");
    } else if (kind == "folder") {
        url = QUrl::fromLocalFile(folder);
        expected = QStringLiteral("“%1”是文件夹，不是音频文件。").arg(folder);
    } else if (kind == "text" || kind == "missing" || kind == "fifo") {
        QString path = m_h->dir.filePath("missing.mp3");
        if (kind == "text") {
            path = track("text.mp3", "text.mp3");
        } else if (kind == "fifo") {
            path = m_h->dir.filePath("pipe.mp3");
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        }
        url = QUrl::fromLocalFile(path);
        expected = QStringLiteral("“%1”不是能播放的音频文件，或者无法读取。").arg(path);
    } else {
        const QString path = track("untagged.mp3", kind == "quote" ? "a\"b.mp3" : "a\nb.mp3");
        url = QUrl::fromLocalFile(path);
        expected = pathRefused + path;
    }
    m_d->setRecords({{"/m/0.mp3", "zero"}});
    const QStringList before = rows(*m_d);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(drop(m_d->fullPathBox(0), {url}));
    QVERIFY(clock.elapsed() < 1000);
    QCOMPARE(rows(*m_d), before);
    QTRY_COMPARE(m_h->messages.shown(), QStringList{expected});
}

void TestTrackDrops::refusalsAmongTakenFiles()
{
    const QString text = track("text.mp3", "text.mp3");
    const QStringList songs{track("id3v1_ascii.mp3", "a.mp3"), track("titled.ogg", "b.ogg")};
    QList<QUrl> urls = files({text, songs[0]});
    urls << QUrl("ftp://example.com/c.mp3") << QUrl::fromLocalFile(songs[1]);
    QVERIFY(drop(m_d->shortNameBox(2), urls));
    QStringList expected(kTrackSlots, "|");
    expected[2] = songs[0] + "|Plain Title";
    expected[3] = songs[1] + QStringLiteral("|高山 Ogg");
    QCOMPARE(rows(*m_d), expected);
    QTRY_COMPARE(m_h->messages.shown().size(), 1);
    QCOMPARE(m_h->messages.shown().first(),
             QStringLiteral("“%1”不是能播放的音频文件，或者无法读取。\n"
                            "只能放入本机上的文件：ftp://example.com/c.mp3")
                 .arg(text));
}

void TestTrackDrops::rowsTakeDrops()
{
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        for (const char *part : {"LblTrackNo", "完整路经", "TxtShortName"}) {
            auto *w = m_d->findChild<QWidget *>(QStringLiteral("%1_%2").arg(part).arg(i));
            QVERIFY(w != nullptr);
            QVERIFY2(w->acceptDrops(), qPrintable(w->objectName()));
        }
    }
}

void TestTrackDrops::otherControlsTakeNoFiles()
{
    const QString song = track("untagged.mp3", "a.mp3");
    for (const char *name : {"CmdFindTrack_3", "CmdDelete_3", "CmdExit"}) {
        QVERIFY(!drop(m_d->findChild<QPushButton *>(name), files({song})));
    }
    QCOMPARE(rows(*m_d), QStringList(kTrackSlots, "|"));
}

void TestTrackDrops::nothingSavedBeforeSave()
{
    const QByteArray before = "\"/m/0.mp3\",\"zero\"\r\n";
    m_h->writeBindings(before);
    m_d->setRecords({{"/m/0.mp3", "zero"}});
    const QString song = track("id3v1_ascii.mp3", "a.mp3");
    QVERIFY(drop(m_d->fullPathBox(1), files({song})));
    QCOMPARE(m_h->bindingsBytes(), before);
    QTest::mouseClick(m_d->findChild<QPushButton *>("CmdExit"), Qt::LeftButton);
    QTRY_VERIFY(!m_d->isSaving()); // the save runs off the window's thread
    QVERIFY(m_h->bindingsBytes().startsWith(before + "\"" + QFile::encodeName(song) +
                                            "\",\"Plain Title\"\r\n"));
}

void TestTrackDrops::browseNeverNames()
{
    const QString song = track("id3v2_utf16.mp3", "a.mp3");
    m_h->dialogs->answers.push_back(song);
    QTest::mouseClick(m_d->findChild<QPushButton *>("CmdFindTrack_2"), Qt::LeftButton);
    QCOMPARE(m_d->fullPathBox(2)->text(), song);
    QCOMPARE(m_d->shortNameBox(2)->text(), QString());
}

// Binding stays in the settings dialog, where "取消" can undo it.
void TestTrackDrops::trackButtonsRefuseDrops()
{
    m_h->writeBindings("\"/m/0.mp3\",\"zero\"\r\n");
    PlayerWindow form(m_h->services());
    QVERIFY(!form.acceptDrops());
    const QString song = track("untagged.mp3", "a.mp3");
    for (int16_t i = 0; i < kTrackSlots; ++i) {
        QVERIFY(!form.CmdTrack(i)->acceptDrops());
        QVERIFY(!drop(form.CmdTrack(i), files({song})));
    }
    QCOMPARE(form.CmdTrack(0)->tag(), QString("/m/0.mp3"));
    QCOMPARE(form.CmdTrack(1)->tag(), QString());
}

QTEST_MAIN(TestTrackDrops)
#include "tst_TrackDrops.moc"
